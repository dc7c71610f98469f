#include "BRX_Logic_ConverterBracketDeltaEV.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row k2041Rows[] = {{"1 EV", 1000}, {"2 EV", 2000}, {"3 EV", 3000}};

const Converter::Row k2061Rows[] = {
    {"0.3 EV", 333}, {"0.7 EV", 667}, {"1 EV", 1000}, {"2 EV", 2000}, {"3 EV", 3000}};

const Converter::Row kCommonRows[] = {
    {"0.5 EV", 500}, {"1 EV", 1000}, {"2 EV", 2000}, {"3 EV", 3000}};

const Converter::ProductTable kTables[] = {
    {0x2041, Converter::table(k2041Rows)},
    {0x2061, Converter::table(k2061Rows)},
};

} // namespace

BRX_Logic_ConverterBracketDeltaEV::BRX_Logic_ConverterBracketDeltaEV(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterBracketDeltaEV::init(int productId)
{
    const Table* own = findTable(productId, kTables);
    loadTable(own ? *own : table(kCommonRows), "Bracketing Delta EV");
}
