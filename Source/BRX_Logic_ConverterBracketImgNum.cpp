#include "BRX_Logic_ConverterBracketImgNum.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {{"3 Images", 3}, {"5 Images", 5}};

} // namespace

BRX_Logic_ConverterBracketImgNum::BRX_Logic_ConverterBracketImgNum()
{
    init();
}

void BRX_Logic_ConverterBracketImgNum::init()
{
    loadTable(table(kRows), "Bracketing Image Number");
}
