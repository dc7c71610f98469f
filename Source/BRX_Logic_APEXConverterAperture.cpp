#include "BRX_Logic_APEXConverterAperture.h"

#include "BRX_Debug.h"
#include "BRX_Logic_APEXConvertMap.h"
#include "BRX_Logic_Rounding.h"

#include <cmath>

namespace {

using Entry = BRX_Logic_APEXConvertMap::Entry;

// The one camera with a table of nominal f-numbers.
const int kTableProductId = 0x2041;
const int kHalfStep = 500;
const int kThirdStep = 333;
const QLatin1String kPrefix("f ");

// 1/3 EV steps.
const Entry kThirdStepFNumbers[] = {
    {0, 1.0}, {86, 1.1}, {171, 1.2}, {256, 1.4}, {342, 1.6}, {427, 1.8}, {512, 2.0}, {598, 2.2},
    {683, 2.5}, {768, 2.8}, {854, 3.2}, {938, 3.5}, {1024, 4.0}, {1110, 4.5}, {1195, 5.0},
    {1280, 5.6}, {1366, 6.3}, {1451, 7.1}, {1536, 8.0}, {1622, 9.0}, {1707, 10}, {1792, 11},
    {1878, 13}, {1963, 14}, {2048, 16}, {2134, 18}, {2219, 20}, {2304, 22}, {2390, 25}, {2475, 28},
    {2560, 32}};

// 1/2 EV steps; f/3.5 sits at 924, not at 896.
const Entry kHalfStepFNumbers[] = {
    {0, 1.0}, {128, 1.2}, {256, 1.4}, {384, 1.7}, {512, 2.0}, {640, 2.4}, {768, 2.8}, {924, 3.5},
    {1024, 4.0}, {1152, 4.8}, {1280, 5.6}, {1408, 6.8}, {1536, 8.0}, {1664, 9.5}, {1792, 11},
    {1920, 13}, {2048, 16}, {2176, 19}, {2304, 22}, {2432, 27}, {2560, 32}};

// Rounded f-numbers that the cameras show differently, for exact matches and
// for every f-number with the given integer part.
struct Correction
{
    double from;
    double to;
};
const Correction kExactCorrections[] = {{5.7, 5.6}, {6.4, 6.3}, {6.7, 6.8}};
const Correction kIntegerPartCorrections[] = {{12, 13}, {26, 27}};

int g_productId = 0;
int g_stepSize = kHalfStep;
BRX_Logic_APEXConvertMap g_convertMap;

// 2^(av / 2) to one decimal, then the camera's nominal value: f-numbers from
// 10 on are shown without decimals.
double nominalFNumber(double av)
{
    const double exact = std::pow(2.0, av / 2.0);
    const double fNumber = roundHalfUp(exact * 10.0) / 10.0;
    for (const Correction& correction : kExactCorrections) {
        if (fNumber == correction.from)
            return correction.to;
    }
    const double integerPart = std::trunc(fNumber);
    for (const Correction& correction : kIntegerPartCorrections) {
        if (integerPart == correction.from)
            return correction.to;
    }
    return fNumber >= 10.0 ? integerPart : fNumber;
}

} // namespace

void BRX_Logic_APEXConverterAperture::setProductId(int productId)
{
    if (productId == g_productId)
        return;
    g_productId = productId;
    initConvertMap();
}

int BRX_Logic_APEXConverterAperture::productId()
{
    return g_productId;
}

void BRX_Logic_APEXConverterAperture::setStepSize(int step)
{
    if (step == g_stepSize)
        return;
    g_stepSize = step;
    initConvertMap();
}

int BRX_Logic_APEXConverterAperture::stepSize()
{
    return g_stepSize;
}

void BRX_Logic_APEXConverterAperture::initConvertMap()
{
    g_convertMap.clear();
    if (g_productId != kTableProductId)
        return;
    if (g_stepSize == kThirdStep)
        g_convertMap.load(kThirdStepFNumbers);
    else if (g_stepSize == kHalfStep)
        g_convertMap.load(kHalfStepFNumbers);
    else
        debugPrint(kDebugAlways, "%s - unknown step size %d", BRX_METHOD, g_stepSize);
}

const BRX_Logic_APEXConvertMap& BRX_Logic_APEXConverterAperture::convertMap()
{
    return g_convertMap;
}

double BRX_Logic_APEXConverterAperture::fNumberFromAv(double av)
{
    if (g_convertMap.isEmpty())
        return nominalFNumber(av);
    return g_convertMap.valueNearestCode(BRX_Logic_APEXConvertMap::codeFromApex(av));
}

double BRX_Logic_APEXConverterAperture::avFromFNumber(double fNumber)
{
    if (g_convertMap.isEmpty())
        return 2.0 * std::log(fNumber) / std::log(2.0);
    return g_convertMap.codeNearestInLog(fNumber) / 256.0;
}

double BRX_Logic_APEXConverterAperture::fNumberFromCode(qint16 code)
{
    return fNumberFromAv(code / 256.0);
}

qint16 BRX_Logic_APEXConverterAperture::codeFromFNumber(double fNumber)
{
    return BRX_Logic_APEXConvertMap::codeFromApex(avFromFNumber(fNumber));
}

QString BRX_Logic_APEXConverterAperture::toString(double fNumber)
{
    const bool whole = fNumber == std::floor(fNumber);
    return QString(kPrefix) + QString::number(fNumber, 'f', whole ? 0 : 1);
}

double BRX_Logic_APEXConverterAperture::fNumberFromString(const QString& text)
{
    const QString number = text.startsWith(kPrefix) ? text.mid(kPrefix.size()) : text;
    bool ok = false;
    const double fNumber = number.toDouble(&ok);
    return ok ? fNumber : 0.0;
}
