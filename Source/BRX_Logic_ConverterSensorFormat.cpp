#include "BRX_Logic_ConverterSensorFormat.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kRows[] = {{"35 mm", 0}, {"APS-C", 1}};

const Converter::ProductTable kTables[] = {
    {0x2041, Converter::table(kRows)},
};

} // namespace

BRX_Logic_ConverterSensorFormat::BRX_Logic_ConverterSensorFormat(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterSensorFormat::init(int productId)
{
    loadProductTable(productId, kTables, "Sensor Format", BRX_METHOD);
}
