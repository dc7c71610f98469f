#include "BRX_Logic_ConverterDngCompression.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {{"Off"}, {"On"}};

} // namespace

BRX_Logic_ConverterDngCompression::BRX_Logic_ConverterDngCompression()
{
    init();
}

void BRX_Logic_ConverterDngCompression::init()
{
    loadTable(indexTable(kRows), "DNG Compressed");
}
