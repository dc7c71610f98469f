#ifndef SCRIPTEDFUNCTION_H
#define SCRIPTEDFUNCTION_H

#include "EmulatedFunction.h"

#include <QList>

// A device side driven by the test: records what the host sends and sends
// what the test queues, packet by packet.
class ScriptedFunction : public EmulatedFunction
{
public:
    explicit ScriptedFunction(quint32 packetSize);

    BRX_Commu_UsbPipe::Status receive(const quint8* data, quint32 size, quint32* accepted) override;
    BRX_Commu_UsbPipe::Status send(quint8* data, quint32 capacity, quint32* received) override;
    QByteArray takeEvent() override;
    void clearHalt(BRX_Commu_UsbPipe::Endpoint endpoint) override;
    void reset() override;
    void cancel(quint32 transactionId) override { m_cancelled.append(transactionId); }
    // Busy while bulk-in is halted, naming it.
    BRX_Commu_UsbPipe::DeviceStatus deviceStatus() const override;

    // Queues bytes as packets; a zero-length packet follows when asked and
    // the bytes end with a full packet.
    void queueBulkIn(const QByteArray& bytes, bool zeroLengthPacket = true);
    void queueEvent(const QByteArray& container) { m_events.append(container); }
    void stallBulkIn() { m_stalled = true; }

    QList<QByteArray> transfersOut() const { return m_transfersOut; }
    int resets() const { return m_resets; }
    QList<quint32> cancelled() const { return m_cancelled; }

private:
    const quint32 m_packetSize;
    QList<QByteArray> m_packetsIn;
    QList<QByteArray> m_events;
    QList<QByteArray> m_transfersOut;
    bool m_stalled = false;
    int m_resets = 0;
    QList<quint32> m_cancelled;
};

#endif
