#include "BRX_Logic_ConverterWarning.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kRows[] = {
    {""}, {"Undefined Error"}, {"Overheating"}, {"USB Error"}, {"Lens Error"}, {"Shutter Error"},
    {"Card Open Error"}, {"Bulb mode and Self timer"}};

const Converter::ProductTable kTables[] = {
    {0x2009, Converter::indexTable(kRows)},
    {0x2011, Converter::indexTable(kRows)},
    {0x2021, Converter::indexTable(kRows)},
    {0x2051, Converter::indexTable(kRows)},
};

} // namespace

BRX_Logic_ConverterWarning::BRX_Logic_ConverterWarning(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterWarning::init(int productId)
{
    loadProductTable(productId, kTables, "Warning", BRX_METHOD);
}
