#include "BRX_Logic_ConverterAutoPowerOff.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {
    {"Off", 0}, {"2 minutes", 1}, {"5 minutes", 2}, {"10 minutes", 3}};

} // namespace

BRX_Logic_ConverterAutoPowerOff::BRX_Logic_ConverterAutoPowerOff()
{
    init();
}

void BRX_Logic_ConverterAutoPowerOff::init()
{
    loadTable(table(kRows), "Auto Power Saving");
}
