#include "BRX_Logic_ConverterIntervalFrames.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kStructRows[] = {
    {"5 Frames", 5}, {"10 Frames", 10}, {"50 Frames", 50}, {"100 Frames", 100},
    {"500 Frames", 500}, {"1000 Frames", 1000}, {"2500 Frames", 2500}, {"5000 Frames", 5000},
    {"10000 Frames", 10000}};

const Converter::Row kDevicePropertyRows[] = {
    {"1 Frame", 1}, {"2 Frames", 2}, {"5 Frames", 5}, {"10 Frames", 10}, {"50 Frames", 50},
    {"100 Frames", 100}, {"500 Frames", 500}, {"1000 Frames", 1000}, {"2500 Frames", 2500},
    {"5000 Frames", 5000}, {"9999 Frames", 9999}};

const Converter::ProductTable kTables[] = {
    {0x2009, Converter::table(kStructRows)},
    {0x2011, Converter::table(kStructRows)},
    {0x2021, Converter::table(kStructRows)},
    {0x2051, Converter::table(kStructRows)},
    {0x2031, Converter::table(kDevicePropertyRows)},
    {0x2041, Converter::table(kDevicePropertyRows)},
    {0x2061, Converter::table(kDevicePropertyRows)},
};

} // namespace

BRX_Logic_ConverterIntervalFrames::BRX_Logic_ConverterIntervalFrames(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterIntervalFrames::init(int productId)
{
    loadProductTable(productId, kTables, "Interval Frames", BRX_METHOD);
}
