#ifndef BRX_LOGIC_ROUNDING_H
#define BRX_LOGIC_ROUNDING_H

#include <cmath>

// Every conversion from a double to a whole number (converters, settings
// records, camera model and controller) rounds half up: floor(x + 0.5), so
// -0.5 becomes 0 and 2.5 becomes 3. The result stays a double, so that a
// caller can check its range before it narrows it.
inline double roundHalfUp(double x)
{
    return std::floor(x + 0.5);
}

#endif
