#include "BRX_Logic_ConverterOrientation.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {
    {"Top", 0}, {"Right", 90}, {"Bottom", 180}, {"Left", -90}};

} // namespace

BRX_Logic_ConverterOrientation::BRX_Logic_ConverterOrientation()
{
    init();
}

// The orientation texts are filed under the contrast title for translators.
void BRX_Logic_ConverterOrientation::init()
{
    loadTable(table(kRows), "Contrast");
}
