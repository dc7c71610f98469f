#include "BRX_Logic_ConverterJpgResolution.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row k2011Rows[] = {{"37.5 MP", 0}, {"9.3 MP", 1}, {"2.3 MP", 2}};

const Converter::Row kMRows[] = {{"24 MP"}, {"12 MP"}, {"6 MP"}, {"1.7 MP"}};

const Converter::Row kSizeRows[] = {{"L-JPG", 3}, {"M-JPG", 4}, {"S-JPG", 5}};

const Converter::ProductTable kTables[] = {
    {0x2011, Converter::table(k2011Rows)},
    {0x2031, Converter::table(k2011Rows)},
    {0x2021, Converter::indexTable(kMRows)},
    {0x2051, Converter::indexTable(kMRows)},
    {0x2041, Converter::table(kSizeRows)},
    {0x2061, Converter::table(kSizeRows)},
};

} // namespace

BRX_Logic_ConverterJpgResolution::BRX_Logic_ConverterJpgResolution(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterJpgResolution::init(int productId)
{
    loadProductTable(productId, kTables, "JPG Resolution", BRX_METHOD);
}
