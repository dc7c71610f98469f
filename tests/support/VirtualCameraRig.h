#ifndef VIRTUALCAMERARIG_H
#define VIRTUALCAMERARIG_H

#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"

#include <memory>

// A USB access wired to a virtual camera of one product, the usual fixture
// for everything above the pipe. connect() runs discovery and opens the
// camera as the controller would.
class VirtualCameraRig
{
public:
    explicit VirtualCameraRig(int productId, quint32 packetSize = BRX_Commu_VirtualCamera::kDefaultPacketSize);
    ~VirtualCameraRig();

    bool connect();

    std::shared_ptr<BRX_Commu_VirtualCamera> camera;
    std::unique_ptr<BRX_Commu_CameraAccess_Usb_PTP> access;
};

#endif
