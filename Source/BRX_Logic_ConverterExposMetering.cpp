#include "BRX_Logic_ConverterExposMetering.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {
    {"Spot", 0}, {"Center-weighted", 1}, {"Multi-field", 2}};

} // namespace

BRX_Logic_ConverterExposMetering::BRX_Logic_ConverterExposMetering()
{
    init();
}

void BRX_Logic_ConverterExposMetering::init()
{
    loadTable(table(kRows), "Exposure Metering Mode");
}
