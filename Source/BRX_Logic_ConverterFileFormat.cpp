#include "BRX_Logic_ConverterFileFormat.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kStructRows[] = {
    {"DNG"}, {"DNG + JPG (fine)"}, {"DNG + JPG (basic)"}, {"JPG (fine)"}, {"JPG (basic)"}};

const Converter::Row kRows[] = {{"DNG", 0}, {"DNG + JPG", 1}, {"JPG", 3}};

const Converter::ProductTable kTables[] = {
    {0x2009, Converter::indexTable(kStructRows)},
    {0x2011, Converter::indexTable(kStructRows)},
    {0x2021, Converter::indexTable(kStructRows)},
    {0x2031, Converter::table(kRows)},
    {0x2041, Converter::table(kRows)},
    {0x2051, Converter::table(kRows)},
    {0x2061, Converter::table(kRows)},
};

} // namespace

BRX_Logic_ConverterFileFormat::BRX_Logic_ConverterFileFormat(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterFileFormat::init(int productId)
{
    loadProductTable(productId, kTables, "File Format", BRX_METHOD);
}
