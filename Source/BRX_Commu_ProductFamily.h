#ifndef BRX_COMMU_PRODUCTFAMILY_H
#define BRX_COMMU_PRODUCTFAMILY_H

#include <QVector>

// How each product exchanges its settings with the host: the one table of
// product families, which the settings record, the camera model and the
// virtual camera all follow.
class BRX_Commu_ProductFamily
{
public:
    enum Family {
        kStruct,           // one 100-byte settings block
        kStructM,          // the same block in the M layout
        kDeviceProperties, // one device property per setting
    };

    // The family of productId; a product the table does not list is taken
    // to have device properties.
    static Family of(int productId);
    // Whether the settings travel as one block, in either layout.
    static bool hasSettingsBlock(int productId);
    // The products the table lists, in ascending order.
    static QVector<int> knownProducts();
};

#endif
