#include "ScriptedFunction.h"

#include <cstring>

ScriptedFunction::ScriptedFunction(quint32 packetSize)
    : m_packetSize(packetSize)
{
}

BRX_Commu_UsbPipe::Status ScriptedFunction::receive(const quint8* data, quint32 size, quint32* accepted)
{
    m_transfersOut.append(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    *accepted = size;
    return BRX_Commu_UsbPipe::kOk;
}

// Whole packets while they fit; a short packet ends the transfer, and a
// packet larger than the space left is babble.
BRX_Commu_UsbPipe::Status ScriptedFunction::send(quint8* data, quint32 capacity, quint32* received)
{
    *received = 0;
    if (m_stalled)
        return BRX_Commu_UsbPipe::kStall;
    while (!m_packetsIn.isEmpty()) {
        const QByteArray& packet = m_packetsIn.first();
        const quint32 size = quint32(packet.size());
        if (size > capacity - *received)
            return BRX_Commu_UsbPipe::kOverflow;
        std::memcpy(data + *received, packet.constData(), size);
        *received += size;
        m_packetsIn.removeFirst();
        if (size < m_packetSize || *received == capacity)
            return BRX_Commu_UsbPipe::kOk;
    }
    return *received ? BRX_Commu_UsbPipe::kOk : BRX_Commu_UsbPipe::kTimeout;
}

QByteArray ScriptedFunction::takeEvent()
{
    return m_events.isEmpty() ? QByteArray() : m_events.takeFirst();
}

void ScriptedFunction::clearHalt(BRX_Commu_UsbPipe::Endpoint endpoint)
{
    if (endpoint == BRX_Commu_UsbPipe::kBulkIn)
        m_stalled = false;
}

BRX_Commu_UsbPipe::DeviceStatus ScriptedFunction::deviceStatus() const
{
    if (!m_stalled)
        return {0x2001, {}};
    return {0x2019, {BRX_Commu_UsbPipe::kBulkIn}};
}

void ScriptedFunction::reset()
{
    m_stalled = false;
    ++m_resets;
}

void ScriptedFunction::queueBulkIn(const QByteArray& bytes, bool zeroLengthPacket)
{
    for (int offset = 0; offset < bytes.size(); offset += int(m_packetSize))
        m_packetsIn.append(bytes.mid(offset, int(m_packetSize)));
    if (zeroLengthPacket && bytes.size() % int(m_packetSize) == 0)
        m_packetsIn.append(QByteArray());
}
