#ifndef BRX_COMMU_USBSCANNER_H
#define BRX_COMMU_USBSCANNER_H

#include "BRX_Commu_DeviceEntry.h"

#include <QList>
#include <memory>

class BRX_Commu_UsbPipe;

// Lists and opens the USB still-image devices present. Realised by the libusb
// binding and by the virtual camera. Called from the thread that owns the
// camera access (the controller thread); not used concurrently.
class BRX_Commu_UsbScanner
{
public:
    virtual ~BRX_Commu_UsbScanner();

    // The devices present now, in enumeration order, with vendor ID as
    // cameraId and the serial number when the device has one. Blocks
    // briefly; an empty list when enumeration fails. Claims nothing.
    virtual QList<BRX_Commu_DeviceEntry> scan() = 0;

    // As scan, with each device's model and whether it is in use, read from
    // its descriptors without claiming it or talking to it otherwise: a
    // listing never disturbs a camera another process tethers. The default
    // knows neither.
    virtual QList<BRX_Commu_DeviceEntry> list();

    // The vendor IDs whose devices the transport accepts. Empty accepts every
    // vendor, and the access then opens only a device whose DeviceInfo lists
    // the vendor operations of our cameras.
    virtual QList<quint16> acceptedVendorIds() const = 0;

    // Opens the device at deviceId and claims its interface. Null when the
    // device is gone or cannot be opened (the libusb scanner logs why). The
    // pipe may outlive the device: it then reports kNoDevice.
    virtual std::shared_ptr<BRX_Commu_UsbPipe> open(const QString& deviceId) = 0;
};

#endif
