#include "BRX_Logic_APEXConverterShutterTime.h"

#include "BRX_Debug.h"
#include "BRX_Logic_Rounding.h"

#include <cmath>
#include <iterator>
#include <limits>

namespace {

using Entry = BRX_Logic_APEXConvertMap::Entry;

// The one camera whose exposure step is a setting.
const int kStepSettingProductId = 0x2041;
const int kHalfStep = 500;
const int kThirdStep = 333;

// 1/3 EV steps.
const Entry k2041ThirdStepTimes[] = {
    {-2816, 1800}, {-2730, 1440}, {-2645, 1200}, {-2560, 900}, {-2474, 720}, {-2389, 600},
    {-2304, 480}, {-2218, 360}, {-2133, 300}, {-2048, 240}, {-1962, 200}, {-1877, 150},
    {-1792, 120}, {-1706, 90}, {-1621, 75}, {-1536, 60}, {-1450, 48}, {-1365, 36}, {-1280, 30},
    {-1194, 24}, {-1109, 20}, {-1024, 15}, {-938, 12}, {-853, 10}, {-768, 8}, {-682, 6}, {-597, 5},
    {-512, 4}, {-426, 3}, {-341, 2.5}, {-256, 2}, {-170, 1.6}, {-85, 1.3}, {0, 1}, {86, 0.8},
    {171, 0.6}, {256, 0.5}, {342, 0.4}, {427, 0.3}, {512, 1.0 / 4}, {598, 1.0 / 5}, {683, 1.0 / 6},
    {768, 1.0 / 8}, {854, 1.0 / 10}, {939, 1.0 / 13}, {1024, 1.0 / 15}, {1110, 1.0 / 20},
    {1195, 1.0 / 25}, {1280, 1.0 / 30}, {1366, 1.0 / 40}, {1451, 1.0 / 50}, {1536, 1.0 / 60},
    {1622, 1.0 / 80}, {1707, 1.0 / 100}, {1792, 1.0 / 125}, {1878, 1.0 / 160}, {1963, 1.0 / 200},
    {2048, 1.0 / 250}, {2134, 1.0 / 320}, {2219, 1.0 / 400}, {2304, 1.0 / 500}, {2390, 1.0 / 640},
    {2475, 1.0 / 800}, {2560, 1.0 / 1000}, {2646, 1.0 / 1250}, {2731, 1.0 / 1600},
    {2816, 1.0 / 2000}, {2902, 1.0 / 2500}, {2987, 1.0 / 3200}, {3072, 1.0 / 4000},
    {3158, 1.0 / 5000}, {3243, 1.0 / 6400}, {3328, 1.0 / 8000}, {3414, 1.0 / 10000},
    {3499, 1.0 / 12500}, {3584, 1.0 / 16000}};

// 1/2 EV steps.
const Entry k2041HalfStepTimes[] = {
    {-2816, 1800}, {-2688, 1320}, {-2560, 900}, {-2432, 660}, {-2304, 480}, {-2176, 360},
    {-2048, 240}, {-1920, 180}, {-1792, 120}, {-1664, 90}, {-1536, 60}, {-1408, 45}, {-1280, 32},
    {-1152, 24}, {-1024, 16}, {-896, 12}, {-768, 8}, {-640, 6}, {-512, 4}, {-384, 3}, {-256, 2},
    {-128, 1.5}, {0, 1}, {128, 0.7}, {256, 0.5}, {384, 1.0 / 3}, {512, 1.0 / 4}, {640, 1.0 / 6},
    {768, 1.0 / 8}, {896, 1.0 / 12}, {1024, 1.0 / 15}, {1152, 1.0 / 24}, {1280, 1.0 / 30},
    {1408, 1.0 / 45}, {1536, 1.0 / 60}, {1664, 1.0 / 90}, {1792, 1.0 / 125}, {1920, 1.0 / 180},
    {2048, 1.0 / 250}, {2176, 1.0 / 360}, {2304, 1.0 / 500}, {2432, 1.0 / 750}, {2560, 1.0 / 1000},
    {2688, 1.0 / 1500}, {2816, 1.0 / 2000}, {2944, 1.0 / 3000}, {3072, 1.0 / 4000},
    {3200, 1.0 / 6000}, {3328, 1.0 / 8000}, {3456, 1.0 / 12500}, {3584, 1.0 / 16000}};

// Every other camera, whatever its step.
const Entry kCommonTimes[] = {
    {-1792, 125}, {-1664, 90}, {-1536, 60}, {-1408, 45}, {-1280, 32}, {-1152, 24}, {-1024, 16},
    {-896, 12}, {-768, 8}, {-640, 6}, {-512, 4}, {-384, 3}, {-256, 2}, {-128, 1.5}, {0, 1},
    {128, 0.7}, {256, 0.5}, {384, 1.0 / 3}, {512, 1.0 / 4}, {640, 1.0 / 6}, {768, 1.0 / 8},
    {896, 1.0 / 12}, {1024, 1.0 / 15}, {1152, 1.0 / 24}, {1280, 1.0 / 30}, {1408, 1.0 / 45},
    {1536, 1.0 / 60}, {1664, 1.0 / 90}, {1792, 1.0 / 125}, {1920, 1.0 / 180}, {2048, 1.0 / 250},
    {2176, 1.0 / 360}, {2304, 1.0 / 500}, {2432, 1.0 / 750}, {2560, 1.0 / 1000},
    {2688, 1.0 / 1500}, {2816, 1.0 / 2000}, {2944, 1.0 / 3000}, {3072, 1.0 / 4000}};

// Times shown with one decimal instead of the general rounding, tested in order.
struct NominalText
{
    double seconds;
    double tolerance;
};

const NominalText kThirdStepNominals[] = {
    {2.5, 0.05}, {1.6, 0.05}, {1.5, 0.05}, {1.3, 0.05}, {0.8, 0.05},
    {0.7, 0.05}, {0.6, 0.05}, {0.5, 0.05}, {0.4, 0.05}, {0.3, 0.02}};
const NominalText kHalfStepNominals[] = {{1.5, 0.05}, {0.7, 0.05}};

struct TextRules
{
    const NominalText* nominals;
    int count;
    double minutesAbove;
};

const TextRules kThirdStepRules = {kThirdStepNominals, int(std::size(kThirdStepNominals)), 220.0};
const TextRules kHalfStepRules = {kHalfStepNominals, int(std::size(kHalfStepNominals)), 105.0};
const TextRules kCommonRules = {kHalfStepNominals, int(std::size(kHalfStepNominals)),
                                std::numeric_limits<double>::infinity()};

// Null for an unknown step on the camera whose step is a setting.
const TextRules* textRulesFor(int productId, int stepSize)
{
    if (productId != kStepSettingProductId)
        return &kCommonRules;
    if (stepSize == kThirdStep)
        return &kThirdStepRules;
    if (stepSize == kHalfStep)
        return &kHalfStepRules;
    return nullptr;
}

// x rounded half up, without decimals; formatted from the double so that no
// range check is needed.
QString roundedText(double x)
{
    return QString::number(roundHalfUp(x), 'f', 0);
}

// The general form: whole seconds, or 1/n for times below a second.
QString plainText(double seconds)
{
    if (seconds >= 1.0)
        return roundedText(seconds) + "s";
    return "1/" + roundedText(1.0 / seconds) + "s";
}

} // namespace

BRX_Logic_APEXConverterShutterTime::BRX_Logic_APEXConverterShutterTime(int productId)
    : m_productId(productId)
{
    initConvertMap();
}

BRX_Logic_APEXConverterShutterTime::~BRX_Logic_APEXConverterShutterTime() = default;

void BRX_Logic_APEXConverterShutterTime::initConvertMap()
{
    m_convertMap.clear();
    if (m_productId != kStepSettingProductId)
        m_convertMap.load(kCommonTimes);
    else if (m_stepSize == kThirdStep)
        m_convertMap.load(k2041ThirdStepTimes);
    else if (m_stepSize == kHalfStep)
        m_convertMap.load(k2041HalfStepTimes);
    else
        debugPrint(kDebugAlways, "%s - unknown step size %d", BRX_METHOD, m_stepSize);
}

void BRX_Logic_APEXConverterShutterTime::setStepSize(int step)
{
    if (step == m_stepSize)
        return;
    m_stepSize = step;
    initConvertMap();
}

int BRX_Logic_APEXConverterShutterTime::stepSize() const
{
    return m_stepSize;
}

int BRX_Logic_APEXConverterShutterTime::productId() const
{
    return m_productId;
}

const BRX_Logic_APEXConvertMap& BRX_Logic_APEXConverterShutterTime::convertMap() const
{
    return m_convertMap;
}

double BRX_Logic_APEXConverterShutterTime::secondsFromCode(qint16 code, int) const
{
    return m_convertMap.valueNearestCode(code);
}

double BRX_Logic_APEXConverterShutterTime::secondsFromTv(double tv, int) const
{
    return secondsFromCode(BRX_Logic_APEXConvertMap::codeFromApex(tv));
}

qint16 BRX_Logic_APEXConverterShutterTime::codeFromSeconds(double seconds) const
{
    return m_convertMap.codeNearestInLog(seconds);
}

QString BRX_Logic_APEXConverterShutterTime::toString(double seconds) const
{
    // Bulb (-1.0) and other non-times have no text of their own here.
    if (!(seconds > 0.0) || std::isinf(seconds))
        return QString();
    const TextRules* rules = textRulesFor(m_productId, m_stepSize);
    if (!rules) {
        debugPrint(kDebugAlways, "%s - unknown step size %d", BRX_METHOD, m_stepSize);
        return QString();
    }
    for (int index = 0; index < rules->count; ++index) {
        const NominalText& nominal = rules->nominals[index];
        if (std::abs(seconds - nominal.seconds) < nominal.tolerance)
            return QString::number(nominal.seconds) + "s";
    }
    if (seconds > rules->minutesAbove)
        return roundedText(seconds / 60.0) + "m";
    return plainText(seconds);
}

double BRX_Logic_APEXConverterShutterTime::secondsFromString(const QString& text)
{
    QString number = text.trimmed();
    double unit = 1.0;
    if (number.endsWith('m')) {
        unit = 60.0;
    } else if (!number.endsWith('s')) {
        return 0.0;
    }
    number.chop(1);
    const bool fraction = number.startsWith("1/");
    if (fraction)
        number.remove(0, 2);
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || !(value > 0.0))
        return 0.0;
    return (fraction ? 1.0 / value : value) * unit;
}
