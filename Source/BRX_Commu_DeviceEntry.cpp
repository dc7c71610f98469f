#include "BRX_Commu_DeviceEntry.h"

BRX_Commu_DeviceEntry::BRX_Commu_DeviceEntry(quint64 cameraId, int productId, const QString& deviceId)
    : cameraId(cameraId)
    , productId(productId)
    , deviceId(deviceId)
{
}

bool BRX_Commu_DeviceEntry::operator==(const BRX_Commu_DeviceEntry& other) const
{
    return cameraId == other.cameraId && productId == other.productId && deviceId == other.deviceId;
}
