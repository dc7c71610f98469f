#include "BRX_Commu_CameraAccessFactory.h"
#include "BRX_Commu_CameraAccess_Dummy.h"
#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Commu_CameraSelector.h"
#include "BRX_Commu_LibusbHotplugWatcher.h"
#include "BRX_Commu_LibusbScanner.h"
#include "BRX_Commu_SelectingScanner.h"
#include "BRX_Commu_VirtualCamera.h"

#include <memory>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;

// Discovery sees only the cameras the process-wide selector matches.
std::shared_ptr<BRX_Commu_UsbScanner> selecting(std::shared_ptr<BRX_Commu_UsbScanner> scanner)
{
    const BRX_Commu_CameraSelector selector = BRX_Commu_CameraSelector::selected();
    if (selector.kind() == BRX_Commu_CameraSelector::kAny)
        return scanner;
    return std::make_shared<BRX_Commu_SelectingScanner>(std::move(scanner), selector);
}

// The periodic scan stays the fallback of the hotplug watcher.
BRX_Commu_CameraAccess_Base* createUsbHardwareAccess()
{
    const auto scanner = std::make_shared<BRX_Commu_LibusbScanner>();
    auto* access = new BRX_Commu_CameraAccess_Usb_PTP(selecting(scanner));
    auto* watcher = new BRX_Commu_LibusbHotplugWatcher(scanner->context(), access);
    QObject::connect(watcher, &BRX_Commu_LibusbHotplugWatcher::signalDevicesChanged, access,
                     &BRX_Commu_CameraAccess_Usb_PTP::checkDeviceAvailable);
    return access;
}

BRX_Commu_CameraAccess_Base* createUsbAccess()
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    if (camera)
        return new BRX_Commu_CameraAccess_Usb_PTP(selecting(camera->createScanner()));
    return createUsbHardwareAccess();
}

} // namespace

QList<BRX_Commu_DeviceEntry> BRX_Commu_CameraAccessFactory::listUsbCameras()
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    if (camera)
        return camera->createScanner()->list();
    return BRX_Commu_LibusbScanner().list();
}

BRX_Commu_CameraAccess_Base* BRX_Commu_CameraAccessFactory::create(int connectionType)
{
    switch (connectionType) {
    case Access::kConnectionUsb:
        return createUsbAccess();
    case Access::kConnectionWlan:
        return new BRX_Commu_CameraAccess_WLAN(BRX_Commu_CameraAccess_WLAN::selected());
    case Access::kConnectionSimulated:
        return new BRX_Commu_CameraAccess_Dummy;
    default:
        return nullptr;
    }
}
