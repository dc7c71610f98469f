#include "BRX_Logic_ConverterSharpness.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {{"Low", 0}, {"Standard", 1}, {"High", 2}};

} // namespace

BRX_Logic_ConverterSharpness::BRX_Logic_ConverterSharpness()
{
    init();
}

void BRX_Logic_ConverterSharpness::init()
{
    loadTable(table(kRows), "Sharpness");
}
