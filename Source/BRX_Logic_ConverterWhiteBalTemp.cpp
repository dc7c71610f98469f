#include "BRX_Logic_ConverterWhiteBalTemp.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

// 2000 to 5000 K in steps of 100, to 8000 K in steps of 200, to 13100 K in steps of 300.
const Converter::Row kFineRows[] = {
    {"2000 K", 2000}, {"2100 K", 2100}, {"2200 K", 2200}, {"2300 K", 2300}, {"2400 K", 2400},
    {"2500 K", 2500}, {"2600 K", 2600}, {"2700 K", 2700}, {"2800 K", 2800}, {"2900 K", 2900},
    {"3000 K", 3000}, {"3100 K", 3100}, {"3200 K", 3200}, {"3300 K", 3300}, {"3400 K", 3400},
    {"3500 K", 3500}, {"3600 K", 3600}, {"3700 K", 3700}, {"3800 K", 3800}, {"3900 K", 3900},
    {"4000 K", 4000}, {"4100 K", 4100}, {"4200 K", 4200}, {"4300 K", 4300}, {"4400 K", 4400},
    {"4500 K", 4500}, {"4600 K", 4600}, {"4700 K", 4700}, {"4800 K", 4800}, {"4900 K", 4900},
    {"5000 K", 5000}, {"5200 K", 5200}, {"5400 K", 5400}, {"5600 K", 5600}, {"5800 K", 5800},
    {"6000 K", 6000}, {"6200 K", 6200}, {"6400 K", 6400}, {"6600 K", 6600}, {"6800 K", 6800},
    {"7000 K", 7000}, {"7200 K", 7200}, {"7400 K", 7400}, {"7600 K", 7600}, {"7800 K", 7800},
    {"8000 K", 8000}, {"8300 K", 8300}, {"8600 K", 8600}, {"8900 K", 8900}, {"9200 K", 9200},
    {"9500 K", 9500}, {"9800 K", 9800}, {"10100 K", 10100}, {"10400 K", 10400}, {"10700 K", 10700},
    {"11000 K", 11000}, {"11300 K", 11300}, {"11600 K", 11600}, {"11900 K", 11900},
    {"12200 K", 12200}, {"12500 K", 12500}, {"12800 K", 12800}, {"13100 K", 13100}};

const Converter::Row kCoarseRows[] = {
    {"2000 K", 2000}, {"2200 K", 2200}, {"2400 K", 2400}, {"2700 K", 2700}, {"3000 K", 3000},
    {"3300 K", 3300}, {"3600 K", 3600}, {"3900 K", 3900}, {"4200 K", 4200}, {"4600 K", 4600},
    {"5000 K", 5000}, {"5500 K", 5500}, {"6000 K", 6000}, {"6600 K", 6600}, {"7200 K", 7200},
    {"8000 K", 8000}, {"8700 K", 8700}, {"9500 K", 9500}, {"10300 K", 10300}, {"11500 K", 11500}};

// The struct cameras take the index of a temperature, the others the kelvin number.
const Converter::ProductTable kTables[] = {
    {0x2009, Converter::indexTable(kFineRows)},
    {0x2011, Converter::indexTable(kFineRows)},
    {0x2021, Converter::indexTable(kFineRows)},
    {0x2031, Converter::table(kFineRows)},
    {0x2061, Converter::table(kFineRows)},
    {0x2041, Converter::table(kCoarseRows)},
};

} // namespace

BRX_Logic_ConverterWhiteBalTemp::BRX_Logic_ConverterWhiteBalTemp(int productId)
{
    init(productId);
}

// Kelvin numbers are shown as they are, untranslated.
void BRX_Logic_ConverterWhiteBalTemp::init(int productId)
{
    loadProductTable(productId, kTables, nullptr, BRX_METHOD);
}
