#ifndef SCRIPTEDUSBPIPE_H
#define SCRIPTEDUSBPIPE_H

#include "BRX_Commu_UsbPipe.h"
#include "FuzzInput.h"

#include <QByteArray>

// A USB pipe whose device is a script: each bulk call and each interrupt
// call takes the next step of its own script. A step is one action byte
// (its value modulo 6 is the status: ok, timeout, stall, overflow, no
// device, error); an ok bulk-in or interrupt-in step goes on with a 16-bit
// length and that many bytes, cut to the capacity, so the script chooses
// split points and zero-length packets; an ok bulk-out step with bit 0x80
// set accepts half of the bytes. A script that has run out has lost the
// device. The class requests take a status step of the bulk script; the
// device then reports itself ready. Whatever bulk-out accepted is kept for
// checks.
class ScriptedUsbPipe : public BRX_Commu_UsbPipe
{
public:
    ScriptedUsbPipe(quint32 packetSize, const QByteArray& bulkScript, const QByteArray& interruptScript);

    quint32 maxPacketSize() const override { return m_packetSize; }
    Status bulkOut(const quint8* data, quint32 size, quint32* sent, int timeoutMs) override;
    Status bulkIn(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override;
    Status interruptIn(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override;
    Status cancelTransaction(quint32 transactionId) override;
    Status getDeviceStatus(DeviceStatus* status) override;
    Status resetDevice() override;
    Status clearHalt(Endpoint endpoint) override;

    const QByteArray& sentBytes() const { return m_sent; }

private:
    struct Script {
        QByteArray bytes;
        FuzzInput input;
        explicit Script(const QByteArray& script);
    };
    static Status nextStatus(Script& script, quint8* action = nullptr);
    static Status transferIn(Script& script, quint8* data, quint32 capacity, quint32* received);

    const quint32 m_packetSize;
    Script m_bulk;
    Script m_interrupt;
    QByteArray m_sent;
};

#endif
