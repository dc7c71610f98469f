#ifndef BRX_LOGIC_PROPERTYLISTS_H
#define BRX_LOGIC_PROPERTYLISTS_H

#include <QVector>

#include <functional>

// The selectable-value lists the controller notifies, computed from the
// camera's limits and an APEX step. Pure functions; the APEX conversions are
// passed in so that every camera's converter can be used.
class BRX_Logic_PropertyLists
{
public:
    typedef std::function<double(double)> ApexFunction;

    // APEX step of an exposure-compensation step in milli-EV: 333, 500 and
    // 1000 give 1/3, 1/2 and 1; anything else 0 (unusable).
    static double stepFromCompensStep(int step);
    // APEX step of the lens's aperture-step setting: 1, 2 and 3 give 1, 1/2
    // and 1/3; anything else 0 (unusable).
    static double stepFromApertureSteps(int setting);

    // The open aperture, the f-numbers of the APEX values beyond it that are
    // below the close aperture, then the close aperture. Empty for an
    // unusable step.
    static QVector<double> apertureList(double open, double close, double step,
                                        const ApexFunction& fNumberFromAv);
    // Shutter times from fastest (seconds) down in APEX steps while shorter
    // than slowest, then slowest itself. Empty for an unusable step.
    static QVector<double> shutterTimeList(double fastest, double slowest, double step,
                                           const ApexFunction& secondsFromTv);
    // Each value rounded half up.
    static QVector<int> roundedValues(const QVector<double>& values);
};

#endif
