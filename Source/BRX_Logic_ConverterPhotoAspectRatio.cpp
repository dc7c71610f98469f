#include "BRX_Logic_ConverterPhotoAspectRatio.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kRows[] = {
    {"3:2", 0}, {"7:5", 1}, {"4:3", 2}, {"1:1", 3}, {"3:1", 4}, {"16:9", 5}};

const Converter::ProductTable kTables[] = {
    {0x2041, Converter::table(kRows)},
};

} // namespace

BRX_Logic_ConverterPhotoAspectRatio::BRX_Logic_ConverterPhotoAspectRatio(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterPhotoAspectRatio::init(int productId)
{
    loadProductTable(productId, kTables, "Photo Aspect Ratio", BRX_METHOD);
}
