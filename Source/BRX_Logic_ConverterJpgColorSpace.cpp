#include "BRX_Logic_ConverterJpgColorSpace.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {{"sRGB"}, {"Adobe RGB"}, {"ECI-RGB 2.0"}};

} // namespace

BRX_Logic_ConverterJpgColorSpace::BRX_Logic_ConverterJpgColorSpace()
{
    init();
}

void BRX_Logic_ConverterJpgColorSpace::init()
{
    loadTable(indexTable(kRows), "JPG Color Space");
}
