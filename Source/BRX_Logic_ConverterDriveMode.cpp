#include "BRX_Logic_ConverterDriveMode.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row k2041Rows[] = {
    {"Single", 0}, {"Continuous S", 6}, {"Continuous M", 7}, {"Continuous F", 8},
    {"Self Timer 2s", 2}, {"Self Timer 12s", 3}, {"Interval", 5}, {"Bracketing", 4}};

const Converter::Row k2061Rows[] = {
    {"Single", 0}, {"Continuous", 1}, {"Self Timer 2s", 2}, {"Self Timer 12s", 3},
    {"Interval", 5}, {"Bracketing", 4}};

const Converter::Row kCommonRows[] = {
    {"Single", 0}, {"Continuous", 1}, {"Interval", 5}, {"Self Timer 2s", 2},
    {"Self Timer 12s", 3}, {"Bracketing", 4}};

const Converter::ProductTable kTables[] = {
    {0x2041, Converter::table(k2041Rows)},
    {0x2061, Converter::table(k2061Rows)},
};

} // namespace

BRX_Logic_ConverterDriveMode::BRX_Logic_ConverterDriveMode(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterDriveMode::init(int productId)
{
    const Table* own = findTable(productId, kTables);
    loadTable(own ? *own : table(kCommonRows), "Drive Mode");
}
