#include "BRX_Logic_ConverterMonochrome.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {{"Off", 0}, {"On", 1}};

} // namespace

BRX_Logic_ConverterMonochrome::BRX_Logic_ConverterMonochrome()
{
    init();
}

void BRX_Logic_ConverterMonochrome::init()
{
    loadTable(table(kRows), "Monochrome");
}
