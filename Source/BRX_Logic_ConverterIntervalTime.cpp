#include "BRX_Logic_ConverterIntervalTime.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kStructRows[] = {
    {"2s", 2}, {"3s", 3}, {"4s", 4}, {"5s", 5}, {"10s", 10}, {"15s", 15}, {"20s", 20}, {"25s", 25},
    {"30s", 30}, {"45s", 45}, {"1Min", 60}, {"1.5Min", 90}, {"2Min", 120}, {"10Min", 600},
    {"30Min", 1800}, {"1h", 3600}};

const Converter::Row k2031Rows[] = {
    {"1s", 1}, {"2s", 2}, {"3s", 3}, {"4s", 4}, {"5s", 5}, {"10s", 10}, {"15s", 15}, {"20s", 20},
    {"25s", 25}, {"30s", 30}, {"45s", 45}, {"1Min", 60}, {"1.5Min", 90}, {"2Min", 120},
    {"10Min", 600}, {"15Min", 900}, {"999s", 999}};

const Converter::Row kLongRows[] = {
    {"1s", 1}, {"2s", 2}, {"3s", 3}, {"4s", 4}, {"5s", 5}, {"10s", 10}, {"15s", 15}, {"20s", 20},
    {"25s", 25}, {"30s", 30}, {"45s", 45}, {"1Min", 60}, {"1.5Min", 90}, {"2Min", 120},
    {"10Min", 600}, {"15Min", 900}, {"89999s", 89999}};

const Converter::ProductTable kTables[] = {
    {0x2009, Converter::table(kStructRows)},
    {0x2011, Converter::table(kStructRows)},
    {0x2021, Converter::table(kStructRows)},
    {0x2051, Converter::table(kStructRows)},
    {0x2031, Converter::table(k2031Rows)},
    {0x2041, Converter::table(kLongRows)},
    {0x2061, Converter::table(kLongRows)},
};

} // namespace

BRX_Logic_ConverterIntervalTime::BRX_Logic_ConverterIntervalTime(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterIntervalTime::init(int productId)
{
    loadProductTable(productId, kTables, "Interval Time", BRX_METHOD);
}
