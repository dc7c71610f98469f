#ifndef BRX_COMMU_VIRTUALCAMERASCANNER_H
#define BRX_COMMU_VIRTUALCAMERASCANNER_H

#include "BRX_Commu_UsbScanner.h"

class BRX_Commu_VirtualCamera;

// Lists one virtual camera while it is plugged in.
class BRX_Commu_VirtualCameraScanner : public BRX_Commu_UsbScanner
{
public:
    explicit BRX_Commu_VirtualCameraScanner(std::shared_ptr<BRX_Commu_VirtualCamera> camera);

    QList<BRX_Commu_DeviceEntry> scan() override;
    // With the model its DeviceInfo names; in use while another program
    // holds it (holdElsewhere).
    QList<BRX_Commu_DeviceEntry> list() override;
    QList<quint16> acceptedVendorIds() const override;
    std::shared_ptr<BRX_Commu_UsbPipe> open(const QString& deviceId) override;

private:
    std::shared_ptr<BRX_Commu_VirtualCamera> m_camera;
};

#endif
