#ifndef EMULATEDFUNCTION_H
#define EMULATEDFUNCTION_H

#include "BRX_Commu_UsbPipe.h"

#include <QByteArray>

// The device side behind an emulated USB device's endpoints. Called with the
// device's lock held, from the testbed's ioctl thread, the device's clock
// thread or a test.
class EmulatedFunction
{
public:
    virtual ~EmulatedFunction() = default;

    // One bulk-out transfer from the host.
    virtual BRX_Commu_UsbPipe::Status receive(const quint8* data, quint32 size, quint32* accepted) = 0;
    // Fills one bulk-in transfer by the packet rules; kTimeout leaves the
    // host's transfer waiting with the *received bytes it got so far.
    virtual BRX_Commu_UsbPipe::Status send(quint8* data, quint32 capacity, quint32* received) = 0;
    // The next event container to send on the interrupt endpoint, or empty.
    virtual QByteArray takeEvent() = 0;
    // Clear Feature (halt) on an endpoint.
    virtual void clearHalt(BRX_Commu_UsbPipe::Endpoint endpoint) = 0;
    // The class requests Device Reset, Cancel and Get Device Status.
    virtual void reset() = 0;
    virtual void cancel(quint32) {}
    virtual BRX_Commu_UsbPipe::DeviceStatus deviceStatus() const { return {0x2001, {}}; }
    // Milliseconds until held bulk-in bytes are due; -1 when none are held.
    virtual qint64 msUntilDue() const { return -1; }
    // True once when the device wants to be unplugged.
    virtual bool takeUnplugRequest() { return false; }
    // Off the bus: the device starts afresh when it comes back.
    virtual void unplugged() {}
};

#endif
