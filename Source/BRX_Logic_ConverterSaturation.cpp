#include "BRX_Logic_ConverterSaturation.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {{"Low", 0}, {"Standard", 1}, {"High", 2}};

} // namespace

BRX_Logic_ConverterSaturation::BRX_Logic_ConverterSaturation()
{
    init();
}

void BRX_Logic_ConverterSaturation::init()
{
    loadTable(table(kRows), "Saturation");
}
