#include "BRX_Logic_PropertyLists.h"
#include "BRX_Logic_Rounding.h"

#include <cmath>

namespace {

// The APEX converters saturate at the ends of their tables, and lens or
// camera data may be nonsense: no list runs beyond this many steps.
const int kMaxListSteps = 200;

// The converters snap to nominal values: a finer step than their table has
// maps neighbouring APEX values to the same entry, which a selectable list
// must show only once.
void appendIfNew(QVector<double>& list, double value)
{
    if (list.isEmpty() || list.last() != value)
        list.append(value);
}

} // namespace

double BRX_Logic_PropertyLists::stepFromCompensStep(int step)
{
    switch (step) {
    case 333:
        return 1.0 / 3.0;
    case 500:
        return 0.5;
    case 1000:
        return 1.0;
    default:
        return 0.0;
    }
}

double BRX_Logic_PropertyLists::stepFromApertureSteps(int setting)
{
    return setting >= 1 && setting <= 3 ? 1.0 / setting : 0.0;
}

QVector<double> BRX_Logic_PropertyLists::apertureList(double open, double close, double step,
                                                      const ApexFunction& fNumberFromAv)
{
    QVector<double> list;
    if (step <= 0.0)
        return list;
    int steps = 0;
    double av = 0.0;
    while (fNumberFromAv(av) <= open && ++steps < kMaxListSteps)
        av += step;
    list.append(open);
    for (; fNumberFromAv(av) < close && ++steps < kMaxListSteps; av += step)
        appendIfNew(list, fNumberFromAv(av));
    appendIfNew(list, close);
    return list;
}

QVector<double> BRX_Logic_PropertyLists::shutterTimeList(double fastest, double slowest, double step,
                                                         const ApexFunction& secondsFromTv)
{
    QVector<double> list;
    if (step <= 0.0 || fastest <= 0.0)
        return list;
    double tv = -std::log2(fastest);
    for (int steps = 0; steps < kMaxListSteps; ++steps, tv -= step) {
        const double seconds = secondsFromTv(tv);
        if (!(seconds < slowest))
            break;
        appendIfNew(list, seconds);
    }
    appendIfNew(list, slowest);
    return list;
}

QVector<int> BRX_Logic_PropertyLists::roundedValues(const QVector<double>& values)
{
    QVector<int> rounded;
    rounded.reserve(values.size());
    for (double value : values)
        rounded.append(int(roundHalfUp(value)));
    return rounded;
}
