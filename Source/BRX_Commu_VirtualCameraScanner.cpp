#include "BRX_Commu_VirtualCameraScanner.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"

BRX_Commu_VirtualCameraScanner::BRX_Commu_VirtualCameraScanner(std::shared_ptr<BRX_Commu_VirtualCamera> camera)
    : m_camera(std::move(camera))
{
}

QList<BRX_Commu_DeviceEntry> BRX_Commu_VirtualCameraScanner::scan()
{
    if (!m_camera->isPlugged())
        return {};
    BRX_Commu_DeviceEntry entry(BRX_Commu_VirtualCamera::kVendorId, m_camera->productId(), m_camera->deviceId());
    entry.serialNumber = m_camera->serialNumber();
    return {entry};
}

QList<BRX_Commu_DeviceEntry> BRX_Commu_VirtualCameraScanner::list()
{
    QList<BRX_Commu_DeviceEntry> entries = scan();
    for (BRX_Commu_DeviceEntry& entry : entries) {
        entry.model = BRX_Commu_VirtualCameraProfile::model(entry.productId);
        entry.inUse = m_camera->isHeldElsewhere();
    }
    return entries;
}

QList<quint16> BRX_Commu_VirtualCameraScanner::acceptedVendorIds() const
{
    return {BRX_Commu_VirtualCamera::kVendorId};
}

std::shared_ptr<BRX_Commu_UsbPipe> BRX_Commu_VirtualCameraScanner::open(const QString& deviceId)
{
    if (deviceId != m_camera->deviceId())
        return nullptr;
    return m_camera->open();
}
