#include "BRX_Logic_ConverterFocusDistance.h"

#include "BRX_Logic_Rounding.h"

#include <cmath>

namespace {

const double kMetersPerFoot = 0.3048;
const double kInfiniteMeters = 1e6;
const char kErrorText[] = "Error";
const char kInfinityText[] = "Infinity";

} // namespace

BRX_Logic_ConverterFocusDistance::~BRX_Logic_ConverterFocusDistance() = default;

void BRX_Logic_ConverterFocusDistance::setFocusPositionMax(int position)
{
    m_focusPositionMax = position;
}

void BRX_Logic_ConverterFocusDistance::setFocusPositionMin(int position)
{
    m_focusPositionMin = position;
}

int BRX_Logic_ConverterFocusDistance::focusPositionMax() const
{
    return m_focusPositionMax;
}

int BRX_Logic_ConverterFocusDistance::focusPositionMin() const
{
    return m_focusPositionMin;
}

int BRX_Logic_ConverterFocusDistance::codeFromMeters(double meters)
{
    // Written as "not above zero" so that NaN is refused as well.
    if (!(meters > 0.0))
        return kInvalidCode;
    if (meters >= kInfiniteMeters)
        return kInfinityCode;
    return int(roundHalfUp(meters * 1000.0));
}

double BRX_Logic_ConverterFocusDistance::metersFromCode(int code)
{
    if (code == kInvalidCode)
        return 0.0;
    if (code == kInfinityCode)
        return kInfiniteMeters;
    return metersOfCode(code);
}

int BRX_Logic_ConverterFocusDistance::codeFromString(const QString& text, bool feet)
{
    if (text == kErrorText)
        return kInvalidCode;
    if (text == kInfinityText)
        return kInfinityCode;
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || number < 0.0)
        return kInvalidCode;
    const double millimetres = number * (feet ? kMetersPerFoot : 1.0) * 1000.0;
    // Also refuses NaN, which toDouble accepts.
    if (!(millimetres < double(kInfinityCode)))
        return kInvalidCode;
    return int(roundHalfUp(millimetres));
}

QString BRX_Logic_ConverterFocusDistance::toString(int code, bool feet)
{
    if (code == kInvalidCode)
        return kErrorText;
    if (code == kInfinityCode)
        return kInfinityText;
    const double distance = metersOfCode(code) / (feet ? kMetersPerFoot : 1.0);
    return QString::number(distance, 'f', distance >= 10.0 ? 1 : 2);
}

double BRX_Logic_ConverterFocusDistance::metersOfCode(int code)
{
    return quint32(code) / 1000.0;
}
