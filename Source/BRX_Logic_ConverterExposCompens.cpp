#include "BRX_Logic_ConverterExposCompens.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kHalfStepRows[] = {
    {"-3 EV", -3000}, {"-2.5 EV", -2500}, {"-2 EV", -2000}, {"-1.5 EV", -1500}, {"-1 EV", -1000},
    {"-0.5 EV", -500}, {"0 EV", 0}, {"+0.5 EV", 500}, {"+1 EV", 1000}, {"+1.5 EV", 1500},
    {"+2 EV", 2000}, {"+2.5 EV", 2500}, {"+3 EV", 3000}};

const Converter::Row kThirdStepRows[] = {
    {"-3 EV", -3000}, {"-2.7 EV", -2667}, {"-2.3 EV", -2333}, {"-2 EV", -2000}, {"-1.7 EV", -1667},
    {"-1.3 EV", -1333}, {"-1 EV", -1000}, {"-0.7 EV", -667}, {"-0.3 EV", -333}, {"0 EV", 0},
    {"+0.3 EV", 333}, {"+0.7 EV", 667}, {"+1 EV", 1000}, {"+1.3 EV", 1333}, {"+1.7 EV", 1667},
    {"+2 EV", 2000}, {"+2.3 EV", 2333}, {"+2.7 EV", 2667}, {"+3 EV", 3000}};

const Converter::ProductTable kTables[] = {
    {0x2009, Converter::table(kHalfStepRows)},
    {0x2011, Converter::table(kHalfStepRows)},
    {0x2031, Converter::table(kHalfStepRows)},
    {0x2021, Converter::table(kThirdStepRows)},
    {0x2051, Converter::table(kThirdStepRows)},
    {0x2061, Converter::table(kThirdStepRows)},
};

// The one camera whose exposure step is a setting.
const int kStepSettingProductId = 0x2041;
const int kHalfStep = 500;
const int kThirdStep = 333;

} // namespace

BRX_Logic_ConverterExposCompens::BRX_Logic_ConverterExposCompens(int productId)
{
    init(productId);
}

// The texts are EV numbers and stay untranslated.
void BRX_Logic_ConverterExposCompens::init(int productId)
{
    m_productId = productId;
    if (productId != kStepSettingProductId) {
        loadProductTable(productId, kTables, nullptr, BRX_METHOD);
        return;
    }
    if (m_stepSize == kHalfStep) {
        loadTable(table(kHalfStepRows), nullptr);
    } else if (m_stepSize == kThirdStep) {
        loadTable(table(kThirdStepRows), nullptr);
    } else {
        clearTable();
        debugPrint(kDebugAlways, "%s - unknown step size %d", BRX_METHOD, m_stepSize);
    }
}

void BRX_Logic_ConverterExposCompens::setStepSize(int step)
{
    if (step == m_stepSize)
        return;
    m_stepSize = step;
    init(m_productId);
}

int BRX_Logic_ConverterExposCompens::stepSize() const
{
    return m_stepSize;
}
