#include "BRX_Logic_ConverterContrast.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {{"Low", 0}, {"Standard", 1}, {"High", 2}};

} // namespace

BRX_Logic_ConverterContrast::BRX_Logic_ConverterContrast()
{
    init();
}

void BRX_Logic_ConverterContrast::init()
{
    loadTable(table(kRows), "Contrast");
}
