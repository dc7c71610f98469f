#include "VirtualCameraRig.h"

VirtualCameraRig::VirtualCameraRig(int productId, quint32 packetSize)
    : camera(BRX_Commu_VirtualCamera::create(productId, packetSize))
    , access(new BRX_Commu_CameraAccess_Usb_PTP(camera->createScanner()))
{
}

VirtualCameraRig::~VirtualCameraRig()
{
    access->closeConnection();
}

bool VirtualCameraRig::connect()
{
    return access->checkDeviceAvailable()
        && access->openConnection(BRX_Commu_VirtualCamera::kVendorId, camera->productId(), camera->deviceId());
}
