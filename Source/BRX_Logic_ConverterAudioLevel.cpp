#include "BRX_Logic_ConverterAudioLevel.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {{"Auto"}, {"Manual"}};

} // namespace

BRX_Logic_ConverterAudioLevel::BRX_Logic_ConverterAudioLevel()
{
    init();
}

void BRX_Logic_ConverterAudioLevel::init()
{
    loadTable(indexTable(kRows), "Audio Level");
}
