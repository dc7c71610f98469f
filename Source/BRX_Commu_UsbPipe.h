#ifndef BRX_COMMU_USBPIPE_H
#define BRX_COMMU_USBPIPE_H

#include <QVector>
#include <QtGlobal>

// One opened USB still-image (PTP) interface: bulk-out for commands and data
// to the device, bulk-in for data and responses, interrupt-in for events, and
// the class requests. Realised by the libusb binding and by the virtual camera.
//
// Threads: the bulk functions and the class requests are called by one thread
// at a time (the transport holds its device mutex); interruptIn is called only
// by the event thread and may run at the same time as a bulk transfer.
// Every function blocks for at most its timeout. Once the device has gone,
// every function returns kNoDevice and keeps doing so, even if a device with
// the same path comes back (that one is opened anew).
class BRX_Commu_UsbPipe
{
public:
    enum Status { kOk, kTimeout, kStall, kOverflow, kNoDevice, kError };
    enum Endpoint { kBulkOut, kBulkIn, kInterruptIn };

    // What Get Device Status reports: the device's state as a PTP response
    // code (0x2001 ready, 0x2019 busy) and the endpoints it has halted.
    struct DeviceStatus {
        quint16 code = 0;
        QVector<Endpoint> halted;
    };

    virtual ~BRX_Commu_UsbPipe();

    // wMaxPacketSize of the bulk endpoints; never 0.
    virtual quint32 maxPacketSize() const = 0;

    // One bulk-out transfer of size bytes. The device sees full packets and,
    // when size is not a multiple of maxPacketSize, one short packet; size 0
    // sends a zero-length packet. *sent receives the bytes accepted.
    virtual Status bulkOut(const quint8* data, quint32 size, quint32* sent, int timeoutMs) = 0;

    // One bulk-in transfer into capacity bytes: ends when capacity is filled
    // or after a short packet (a zero-length packet gives *received 0 and
    // kOk). capacity must be a multiple of maxPacketSize, else a packet that
    // does not fit returns kOverflow. kTimeout when the transfer did not end
    // in time; *received then holds the whole packets that did arrive, as it
    // does for kStall.
    virtual Status bulkIn(quint8* data, quint32 capacity, quint32* received, int timeoutMs) = 0;

    // One interrupt-in transfer (event endpoint), rules as bulkIn. kTimeout
    // with *received 0 when no event arrived within timeoutMs.
    virtual Status interruptIn(quint8* data, quint32 capacity, quint32* received, int timeoutMs) = 0;

    // Class request Cancel (cancellation code 0x4001): the device abandons
    // transaction transactionId.
    virtual Status cancelTransaction(quint32 transactionId) = 0;
    // Class request Get Device Status.
    virtual Status getDeviceStatus(DeviceStatus* status) = 0;
    // Class request Device Reset: the device drops whatever it was doing,
    // its session included.
    virtual Status resetDevice() = 0;
    // Clears a stall on the endpoint.
    virtual Status clearHalt(Endpoint endpoint) = 0;
};

#endif
