#include "BRX_Commu_PtpIpReader.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Debug.h"

#include <algorithm>
#include <cstring>

namespace {

typedef BRX_Commu_PtpIpPacket Packet;

// Reads go through this buffer; a large payload bypasses it.
const quint32 kBufferSize = 64 * 1024;
const quint32 kDropChunk = 64 * 1024;

} // namespace

BRX_Commu_PtpIpReader::BRX_Commu_PtpIpReader(BRX_Commu_PtpIpStream& stream, const char* name)
    : m_stream(stream)
    , m_name(name)
    , m_buffer(kBufferSize)
{
}

BRX_Commu_PtpIpReader::Result BRX_Commu_PtpIpReader::next(BRX_Commu_PtpIpPacket* packet, int firstMs,
                                                          int progressMs)
{
    while (m_payloadRemaining > 0) {
        const Result dropped = readPayload(nullptr, m_payloadRemaining, progressMs);
        if (dropped != kOk)
            return dropped;
    }
    QDeadlineTimer packetEnd(QDeadlineTimer::Forever);
    quint8 header[Packet::kHeaderSize];
    Result result = readExactly(header, sizeof header, firstMs, progressMs, &packetEnd);
    if (result != kOk)
        return result;
    BRX_Commu_ByteReader reader(header, sizeof header);
    packet->length = reader.readU32At(0);
    packet->type = reader.readU32At(4);
    if (packet->length < Packet::kHeaderSize)
        return malformed("packet length", packet->length);
    if (!Packet::typeName(packet->type))
        return malformed("packet type", packet->type);
    const quint32 bodySize = packet->length - Packet::kHeaderSize;
    const bool data = Packet::isData(packet->type);
    if (data ? bodySize < Packet::kDataPrefixSize : bodySize > Packet::kMaxBodySize)
        return malformed("packet length", packet->length);
    quint8 body[Packet::kMaxBodySize];
    const quint32 fixedSize = data ? Packet::kDataPrefixSize : bodySize;
    result = readExactly(body, fixedSize, progressMs, progressMs, &packetEnd);
    if (result != kOk)
        return result == kTimeout ? kStalled : result;
    if (!packet->decodeBody(body, fixedSize))
        return malformed(Packet::typeName(packet->type), packet->length);
    m_payloadRemaining = data ? bodySize - Packet::kDataPrefixSize : 0;
    return kOk;
}

BRX_Commu_PtpIpReader::Result BRX_Commu_PtpIpReader::readPayload(quint8* dest, quint32 size, int progressMs)
{
    quint32 count = std::min(size, m_payloadRemaining);
    while (count > 0) {
        const quint32 chunk = dest ? count : std::min(count, kDropChunk);
        std::vector<quint8> scratch(dest ? 0 : chunk);
        const Result result = readExactly(dest ? dest : scratch.data(), chunk, progressMs, progressMs, nullptr);
        if (result != kOk)
            return result == kTimeout ? kStalled : result;
        m_payloadRemaining -= chunk;
        count -= chunk;
        if (dest)
            dest += chunk;
    }
    return kOk;
}

// From the buffer first; what is left of a large read goes straight to
// dest. packetEnd, when given, starts with the packet's first byte.
BRX_Commu_PtpIpReader::Result BRX_Commu_PtpIpReader::readExactly(quint8* dest, quint32 size, int firstMs,
                                                                 int progressMs, QDeadlineTimer* packetEnd)
{
    quint32 done = 0;
    while (done < size) {
        if (buffered() > 0) {
            const quint32 take = std::min(buffered(), size - done);
            std::memcpy(dest + done, m_buffer.data() + m_pos, take);
            m_pos += take;
            done += take;
            if (packetEnd && packetEnd->isForever())
                *packetEnd = QDeadlineTimer(progressMs);
            continue;
        }
        const Wait wait = nextWait(done > 0 ? progressMs : firstMs, done > 0, packetEnd);
        if (wait.ms < 0)
            return wait.onTimeout;
        quint32 received = 0;
        BRX_Commu_PtpIpStream::Status status;
        if (size - done >= kBufferSize) {
            status = m_stream.read(dest + done, size - done, &received, wait.ms);
            done += received;
        } else {
            status = fill(wait.ms);
        }
        if (status == BRX_Commu_PtpIpStream::kClosed)
            return kClosed;
        if (status == BRX_Commu_PtpIpStream::kTimeout)
            return wait.onTimeout;
    }
    return kOk;
}

// The wait before the next read: baseMs unless the phase's deadline or the
// packet's end comes first; -1 when one of them has passed already.
BRX_Commu_PtpIpReader::Wait BRX_Commu_PtpIpReader::nextWait(int baseMs, bool begun,
                                                            const QDeadlineTimer* packetEnd) const
{
    Wait wait{baseMs, begun || (packetEnd && !packetEnd->isForever()) ? kStalled : kTimeout};
    const qint64 phaseMs = m_deadline.remainingTime();
    if (phaseMs >= 0 && phaseMs <= wait.ms)
        wait = {int(phaseMs), kOverdue};
    const qint64 packetMs = packetEnd ? packetEnd->remainingTime() : -1;
    if (packetMs >= 0 && packetMs < wait.ms)
        wait = {int(packetMs), kStalled};
    if (wait.ms == 0 && wait.onTimeout != kTimeout && baseMs > 0)
        wait.ms = -1;
    return wait;
}

BRX_Commu_PtpIpStream::Status BRX_Commu_PtpIpReader::fill(int timeoutMs)
{
    m_pos = m_end = 0;
    quint32 received = 0;
    const BRX_Commu_PtpIpStream::Status status = m_stream.read(m_buffer.data(), kBufferSize, &received, timeoutMs);
    m_end = received;
    return status;
}

BRX_Commu_PtpIpReader::Result BRX_Commu_PtpIpReader::malformed(const char* what, quint32 value)
{
    debugPrint(kDebugAlways, "%s - invalid %s 0x%08X received", m_name, what, value);
    return kMalformed;
}
