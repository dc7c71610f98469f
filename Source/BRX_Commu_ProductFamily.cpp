#include "BRX_Commu_ProductFamily.h"

#include <algorithm>
#include <iterator>

namespace {

typedef BRX_Commu_ProductFamily Family;

struct Product {
    int productId;
    Family::Family family;
};

const Product kProducts[] = {
    {0x2009, Family::kStruct},  {0x2011, Family::kStruct},
    {0x2021, Family::kStructM}, {0x2031, Family::kDeviceProperties},
    {0x2041, Family::kDeviceProperties}, {0x2051, Family::kStructM},
    {0x2061, Family::kDeviceProperties},
};

} // namespace

BRX_Commu_ProductFamily::Family BRX_Commu_ProductFamily::of(int productId)
{
    const auto found = std::find_if(std::begin(kProducts), std::end(kProducts),
                                    [productId](const Product& product) { return product.productId == productId; });
    return found == std::end(kProducts) ? kDeviceProperties : found->family;
}

bool BRX_Commu_ProductFamily::hasSettingsBlock(int productId)
{
    return of(productId) != kDeviceProperties;
}

QVector<int> BRX_Commu_ProductFamily::knownProducts()
{
    QVector<int> products;
    for (const Product& product : kProducts)
        products << product.productId;
    return products;
}
