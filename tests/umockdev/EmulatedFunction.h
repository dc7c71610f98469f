#ifndef EMULATEDFUNCTION_H
#define EMULATEDFUNCTION_H

#include "BRX_Commu_UsbPipe.h"

#include <QByteArray>

// The device side behind an emulated USB device's endpoints. Called with the
// device's lock held, from the testbed's ioctl thread or from a test.
class EmulatedFunction
{
public:
    virtual ~EmulatedFunction() = default;

    // One bulk-out transfer from the host.
    virtual BRX_Commu_UsbPipe::Status receive(const quint8* data, quint32 size, quint32* accepted) = 0;
    // Fills one bulk-in transfer by the packet rules; kTimeout with nothing
    // received leaves the host's transfer waiting.
    virtual BRX_Commu_UsbPipe::Status send(quint8* data, quint32 capacity, quint32* received) = 0;
    // The next event container to send on the interrupt endpoint, or empty.
    virtual QByteArray takeEvent() = 0;
    // Clear-halt on a bulk endpoint or Device Reset.
    virtual void reset() = 0;
    // The code for Get Device Status.
    virtual quint16 deviceStatus() const { return 0x2001; }
    // True once when the device wants to be unplugged.
    virtual bool takeUnplugRequest() { return false; }
};

#endif
