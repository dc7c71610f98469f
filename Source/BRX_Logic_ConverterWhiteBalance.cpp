#include "BRX_Logic_ConverterWhiteBalance.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kStructRows[] = {
    {"Auto", 0}, {"Daylight", 1}, {"Cloudy", 2}, {"Shadow", 3}, {"Tungsten", 4}, {"HMI", 10},
    {"Fluorescent warm", 5}, {"Fluorescent cool", 6}, {"Flash", 7}, {"Greycard", 8},
    {"Color Temperature", 9}};

const Converter::Row kMRows[] = {
    {"Auto", 0}, {"Daylight", 1}, {"Cloudy", 2}, {"Shadow", 3}, {"Tungsten", 4},
    {"Fluorescent warm", 5}, {"Fluorescent cool", 6}, {"Flash", 7}, {"Greycard", 8},
    {"Color Temperature", 9}};

const Converter::Row kDevicePropertyRows[] = {
    {"Auto", 0}, {"Daylight", 1}, {"Cloudy", 2}, {"Shadow", 3}, {"Tungsten", 4}, {"HMI", 5},
    {"Fluorescent warm", 6}, {"Fluorescent cool", 7}, {"Flash", 8}, {"Greycard LiveView", 9},
    {"Color Temperature", 11}};

const Converter::Row k2061Rows[] = {
    {"Auto", 0}, {"Daylight", 1}, {"Cloudy", 2}, {"Shadow", 3}, {"Tungsten", 4},
    {"Fluorescent warm", 6}, {"Fluorescent cool", 7}, {"Flash", 8}, {"Greycard Photo", 10},
    {"Color Temperature", 11}};

const Converter::ProductTable kTables[] = {
    {0x2009, Converter::table(kStructRows)},
    {0x2011, Converter::table(kStructRows)},
    {0x2021, Converter::table(kMRows)},
    {0x2031, Converter::table(kDevicePropertyRows)},
    {0x2041, Converter::table(kDevicePropertyRows)},
    {0x2061, Converter::table(k2061Rows)},
};

} // namespace

BRX_Logic_ConverterWhiteBalance::BRX_Logic_ConverterWhiteBalance(int productId)
{
    init(productId);
}

// HMI keeps code 10 on the struct cameras although it is offered sixth.
void BRX_Logic_ConverterWhiteBalance::init(int productId)
{
    loadProductTable(productId, kTables, "White Balance", BRX_METHOD);
}
