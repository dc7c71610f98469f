#include "ScriptedUsbPipe.h"

#include <algorithm>
#include <cstring>

ScriptedUsbPipe::Script::Script(const QByteArray& script)
    : bytes(script)
    , input(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()))
{
}

ScriptedUsbPipe::ScriptedUsbPipe(quint32 packetSize, const QByteArray& bulkScript,
                                 const QByteArray& interruptScript)
    : m_packetSize(packetSize)
    , m_bulk(bulkScript)
    , m_interrupt(interruptScript)
{
}

BRX_Commu_UsbPipe::Status ScriptedUsbPipe::nextStatus(Script& script, quint8* action)
{
    if (script.input.atEnd())
        return kNoDevice;
    const quint8 step = script.input.u8();
    if (action)
        *action = step;
    static const Status statuses[] = {kOk, kTimeout, kStall, kOverflow, kNoDevice, kError};
    return statuses[step % 6];
}

BRX_Commu_UsbPipe::Status ScriptedUsbPipe::transferIn(Script& script, quint8* data, quint32 capacity,
                                                      quint32* received)
{
    *received = 0;
    const Status status = nextStatus(script);
    if (status != kOk)
        return status;
    const QByteArray packet = script.input.chunk();
    *received = std::min(capacity, quint32(packet.size()));
    if (*received)
        std::memcpy(data, packet.constData(), *received);
    return kOk;
}

BRX_Commu_UsbPipe::Status ScriptedUsbPipe::bulkOut(const quint8* data, quint32 size, quint32* sent, int)
{
    quint8 action = 0;
    const Status status = nextStatus(m_bulk, &action);
    *sent = status != kOk ? 0 : action & 0x80 ? size / 2 : size;
    if (*sent)
        m_sent.append(reinterpret_cast<const char*>(data), int(*sent));
    return status;
}

BRX_Commu_UsbPipe::Status ScriptedUsbPipe::bulkIn(quint8* data, quint32 capacity, quint32* received, int)
{
    return transferIn(m_bulk, data, capacity, received);
}

BRX_Commu_UsbPipe::Status ScriptedUsbPipe::interruptIn(quint8* data, quint32 capacity, quint32* received, int)
{
    return transferIn(m_interrupt, data, capacity, received);
}

BRX_Commu_UsbPipe::Status ScriptedUsbPipe::cancelTransaction(quint32)
{
    return nextStatus(m_bulk);
}

BRX_Commu_UsbPipe::Status ScriptedUsbPipe::getDeviceStatus(DeviceStatus* status)
{
    status->code = 0x2001;
    return nextStatus(m_bulk);
}

BRX_Commu_UsbPipe::Status ScriptedUsbPipe::resetDevice()
{
    return nextStatus(m_bulk);
}

BRX_Commu_UsbPipe::Status ScriptedUsbPipe::clearHalt(Endpoint endpoint)
{
    return nextStatus(endpoint == kInterruptIn ? m_interrupt : m_bulk);
}
