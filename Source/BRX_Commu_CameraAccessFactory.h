#ifndef BRX_COMMU_CAMERAACCESSFACTORY_H
#define BRX_COMMU_CAMERAACCESSFACTORY_H

#include "BRX_Commu_DeviceEntry.h"

#include <QList>

class BRX_Commu_CameraAccess_Base;

// Builds the camera access of a connection type; the one place that knows
// every transport, so that the access base and its users know none.
class BRX_Commu_CameraAccessFactory
{
public:
    // A new access for connectionType, or null for a type without a
    // transport. The caller owns it.
    //  1 (USB): over the virtual camera selected for this process, else over
    //    USB hardware, where a plugged camera is looked for at once;
    //  2 (WLAN): PTP/IP to the network address selected for this process;
    //  0x100: the simulated camera.
    static BRX_Commu_CameraAccess_Base* create(int connectionType);

    // Every supported camera on USB, whatever the process's selector: the
    // virtual camera selected for this process, else those on the bus, with
    // model, serial number, port and whether a program holds it, read from
    // descriptors only (BRX_Commu_UsbScanner::list). Blocks briefly; any
    // thread.
    static QList<BRX_Commu_DeviceEntry> listUsbCameras();
};

#endif
