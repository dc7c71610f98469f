#include "ScriptedPtpIpStream.h"
#include "BRX_Commu_ByteReader.h"

#include <algorithm>
#include <cstring>

ScriptedPtpIpStream::ScriptedPtpIpStream(const QByteArray& script)
{
    BRX_Commu_ByteReader reader(script.constData(), quint32(script.size()));
    while (reader.hasRemaining(1)) {
        const quint8 control = reader.readU8();
        if (control % 8 == 6) {
            addTimeout();
            continue;
        }
        if (control % 8 == 7)
            break;
        const quint32 count = std::min<quint32>(reader.readU16(), quint32(script.size()) - reader.position());
        addBytes(script.mid(int(reader.position()), int(count)));
        reader.skip(count);
    }
}

BRX_Commu_PtpIpStream::Status ScriptedPtpIpStream::read(quint8* data, quint32 capacity, quint32* received, int)
{
    *received = 0;
    if (m_shutdown)
        return kClosed;
    if (m_steps.isEmpty())
        return m_end;
    Step& step = m_steps.first();
    if (step.status != kOk) {
        m_steps.removeFirst();
        return kTimeout;
    }
    *received = std::min(capacity, quint32(step.bytes.size()));
    std::memcpy(data, step.bytes.constData(), *received);
    step.bytes.remove(0, int(*received));
    if (step.bytes.isEmpty())
        m_steps.removeFirst();
    return *received ? kOk : read(data, capacity, received, 0);
}

BRX_Commu_PtpIpStream::Status ScriptedPtpIpStream::write(const quint8* data, quint32 size, int)
{
    if (m_shutdown)
        return kClosed;
    m_written.append(reinterpret_cast<const char*>(data), int(size));
    return kOk;
}
