#include "BRX_Logic_ConverterSensitivity.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row k2009Rows[] = {
    {"Auto", 0}, {"Pull 80", 80}, {"160", 160}, {"320", 320}, {"640", 640}, {"1250", 1250}};

const Converter::Row k2011Rows[] = {
    {"Auto", 0}, {"50", 50}, {"100", 100}, {"200", 200}, {"400", 400}, {"800", 800},
    {"1600", 1600}};

const Converter::Row k2021Rows[] = {
    {"Auto", 0}, {"50", 50}, {"100", 100}, {"125", 125}, {"160", 160}, {"200", 200}, {"250", 250},
    {"320", 320}, {"400", 400}, {"500", 500}, {"640", 640}, {"800", 800}, {"1000", 1000},
    {"1280", 1280}, {"1600", 1600}, {"2000", 2000}, {"2500", 2500}, {"3200", 3200}, {"4000", 4000},
    {"5000", 5000}, {"6400", 6400}};

const Converter::Row k2031Rows[] = {
    {"Auto", 0}, {"100", 100}, {"200", 200}, {"400", 400}, {"800", 800}, {"1600", 1600},
    {"3200", 3200}, {"6400", 6400}, {"12500", 12500}};

const Converter::Row k2041Rows[] = {
    {"Auto", 0}, {"50", 50}, {"100", 100}, {"200", 200}, {"400", 400}, {"800", 800},
    {"1600", 1600}, {"3200", 3200}, {"6400", 6400}, {"12500", 12500}, {"25000", 25000},
    {"50000", 50000}};

const Converter::Row k2051Rows[] = {
    {"Auto", 0}, {"320", 320}, {"400", 400}, {"500", 500}, {"640", 640}, {"800", 800},
    {"1000", 1000}, {"1280", 1280}, {"1600", 1600}, {"2000", 2000}, {"2500", 2500}, {"3200", 3200},
    {"4000", 4000}, {"5000", 5000}, {"6400", 6400}, {"8000", 8000}, {"10000", 10000},
    {"12500", 12500}, {"PUSH 25000", 25000}};

const Converter::Row k2061Rows[] = {
    {"Auto", 0}, {"100", 100}, {"200", 200}, {"250", 250}, {"320", 320}, {"400", 400},
    {"500", 500}, {"640", 640}, {"800", 800}, {"1000", 1000}, {"1250", 1250}, {"1600", 1600},
    {"2000", 2000}, {"2500", 2500}, {"3200", 3200}, {"4000", 4000}, {"5000", 5000}, {"6400", 6400},
    {"8000", 8000}, {"10000", 10000}, {"12500", 12500}, {"16000", 16000}, {"20000", 20000},
    {"25000", 25000}, {"32000", 32000}, {"40000", 40000}, {"50000", 50000}};

const Converter::ProductTable kTables[] = {
    {0x2009, Converter::table(k2009Rows)},
    {0x2011, Converter::table(k2011Rows)},
    {0x2021, Converter::table(k2021Rows)},
    {0x2031, Converter::table(k2031Rows)},
    {0x2041, Converter::table(k2041Rows)},
    {0x2051, Converter::table(k2051Rows)},
    {0x2061, Converter::table(k2061Rows)},
};

} // namespace

BRX_Logic_ConverterSensitivity::BRX_Logic_ConverterSensitivity(int productId)
{
    init(productId);
}

// ISO numbers are shown as they are, untranslated.
void BRX_Logic_ConverterSensitivity::init(int productId)
{
    loadProductTable(productId, kTables, nullptr, BRX_METHOD);
}
