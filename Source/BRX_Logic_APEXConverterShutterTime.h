#ifndef BRX_LOGIC_APEXCONVERTERSHUTTERTIME_H
#define BRX_LOGIC_APEXCONVERTERSHUTTERTIME_H

#include "BRX_Logic_APEXConvertMap.h"

#include <QString>

// Converts the camera's APEX shutter codes (time value x 256, 2^-Tv seconds)
// to the nominal shutter times the camera shows, and back, for one camera.
// The table follows the ProductId and the exposure step. Owned by one object
// and used on the controller thread.
class BRX_Logic_APEXConverterShutterTime
{
public:
    // The step size starts at 500 (1/2 EV).
    explicit BRX_Logic_APEXConverterShutterTime(int productId);
    ~BRX_Logic_APEXConverterShutterTime();

    // Rebuilds the table for the ProductId and step size; an unknown step on a
    // camera with a step setting leaves it empty.
    void initConvertMap();
    // Step in thousandths of an EV (500 or 333); a different step rebuilds the table.
    void setStepSize(int step);
    int stepSize() const;
    int productId() const;
    const BRX_Logic_APEXConvertMap& convertMap() const;

    // Nominal seconds of the nearest code; 0.0 with an empty table. The second
    // argument has no effect; callers pass 1.
    double secondsFromCode(qint16 code, int unused = 1) const;
    double secondsFromTv(double tv, int unused = 1) const;
    // Code of the time nearest in logarithm; 0 with an empty table.
    qint16 codeFromSeconds(double seconds) const;
    // The camera's display text: "1/250s", "2.5s", "4m"; empty for a time that
    // is not positive or an unknown step.
    QString toString(double seconds) const;
    // Reads a text of toString back into seconds; 0.0 if it does not parse.
    static double secondsFromString(const QString& text);

private:
    int m_productId;
    int m_stepSize = 500;
    BRX_Logic_APEXConvertMap m_convertMap;
};

#endif
