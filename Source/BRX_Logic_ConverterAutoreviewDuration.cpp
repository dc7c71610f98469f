#include "BRX_Logic_ConverterAutoreviewDuration.h"

namespace {

const BRX_Logic_ConverterBase::Row kRows[] = {
    {"Off", 0}, {"1 s", 1}, {"3 s", 3}, {"5 s", 5}, {"Hold", -1}};

} // namespace

BRX_Logic_ConverterAutoreviewDuration::BRX_Logic_ConverterAutoreviewDuration()
{
    init();
}

void BRX_Logic_ConverterAutoreviewDuration::init()
{
    loadTable(table(kRows), "Autoreview Duration");
}
