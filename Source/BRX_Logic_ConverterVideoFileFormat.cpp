#include "BRX_Logic_ConverterVideoFileFormat.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kRows[] = {{"MOV", 0}, {"MP4", 1}};

const Converter::ProductTable kTables[] = {
    {0x2041, Converter::table(kRows)},
};

} // namespace

BRX_Logic_ConverterVideoFileFormat::BRX_Logic_ConverterVideoFileFormat(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterVideoFileFormat::init(int productId)
{
    loadProductTable(productId, kTables, "Video File Format", BRX_METHOD);
}
