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
    void reset() override;

    // Queues bytes as packets; a zero-length packet follows when asked and
    // the bytes end with a full packet.
    void queueBulkIn(const QByteArray& bytes, bool zeroLengthPacket = true);
    void queueEvent(const QByteArray& container) { m_events.append(container); }
    void stallBulkIn() { m_stalled = true; }

    QList<QByteArray> transfersOut() const { return m_transfersOut; }
    int resets() const { return m_resets; }

private:
    const quint32 m_packetSize;
    QList<QByteArray> m_packetsIn;
    QList<QByteArray> m_events;
    QList<QByteArray> m_transfersOut;
    bool m_stalled = false;
    int m_resets = 0;
};

#endif
