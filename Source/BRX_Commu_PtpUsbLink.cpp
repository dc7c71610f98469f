#include "BRX_Commu_PtpUsbLink.h"
#include "BRX_Debug.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>

namespace {

std::mutex g_timeoutsMutex;
BRX_Commu_PtpUsbLink::Timeouts g_timeouts;

const quint32 kStagingBytes = 16384;
const quint32 kMaxTransferBytes = 1u << 20;
// A container whose length is a multiple of the packet size may be followed
// by a zero-length packet; more than that in a row is not a PTP device.
const int kMaxSkippedZeroLengthPackets = 2;

quint32 roundDown(quint64 value, quint32 unit)
{
    return quint32(value - value % unit);
}

} // namespace

void BRX_Commu_PtpUsbLink::setDefaultTimeouts(const Timeouts& timeouts)
{
    std::lock_guard<std::mutex> locker(g_timeoutsMutex);
    g_timeouts = timeouts;
}

BRX_Commu_PtpUsbLink::Timeouts BRX_Commu_PtpUsbLink::defaultTimeouts()
{
    std::lock_guard<std::mutex> locker(g_timeoutsMutex);
    return g_timeouts;
}

BRX_Commu_PtpUsbLink::BRX_Commu_PtpUsbLink(std::shared_ptr<BRX_Commu_UsbPipe> pipe)
    : m_pipe(std::move(pipe))
    , m_timeouts(defaultTimeouts())
    , m_packetSize(std::max<quint32>(1, m_pipe->maxPacketSize()))
    , m_staging(std::max(kStagingBytes / m_packetSize, 4u) * m_packetSize)
{
}

void BRX_Commu_PtpUsbLink::resetTransactionId()
{
    m_nextTransactionId = 0;
}

BRX_Commu_PtpUsbLink::Result BRX_Commu_PtpUsbLink::transact(quint16 opCode, const quint32* params,
                                                            quint32 numParams, Direction direction,
                                                            quint8* buffer, quint32 size,
                                                            const char* name, quint16* responseCode)
{
    m_name = name;
    m_pos = m_end = 0;
    if (numParams > BRX_Commu_PtpContainer::kMaxParams || (numParams && !params)) {
        debugPrint(kDebugAlways, "%s - invalid parameter count %u", m_name, numParams);
        return kFailed;
    }
    const quint32 transactionId = m_nextTransactionId++;
    m_payloadWritten = 0;
    bool ok = true;
    Status status = writeCommand(opCode, transactionId, params, numParams);
    if (status == BRX_Commu_UsbPipe::kOk && direction == kDataOut)
        status = writeData(opCode, transactionId, buffer, size);
    if (status == BRX_Commu_UsbPipe::kOk)
        status = readReply(transactionId, buffer, buffer ? size : 0, direction == kDataIn, responseCode, &ok);
    // Zeroing only what the data phase did not fill spares large objects a
    // second pass over their bytes.
    if (direction == kDataIn && buffer && size > m_payloadWritten)
        std::memset(buffer + m_payloadWritten, 0, size - m_payloadWritten);
    switch (status) {
    case BRX_Commu_UsbPipe::kOk:
        return ok ? kResponded : kFailed;
    case BRX_Commu_UsbPipe::kNoDevice:
        return kNoDevice;
    case BRX_Commu_UsbPipe::kStall:
        recoverStall();
        return kFailed;
    case BRX_Commu_UsbPipe::kError:
        return kFailed; // a protocol error, logged where found
    default:
        debugPrint(kDebugAlways, "%s - USB transfer failed, status %d", m_name, int(status));
        return kFailed;
    }
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::writeCommand(quint16 opCode, quint32 transactionId,
                                                             const quint32* params, quint32 numParams)
{
    const QVector<quint32> list(params, params + numParams);
    const QByteArray command = BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kCommand, opCode,
                                                      transactionId, list).encode();
    const Status status = writeTransfer(reinterpret_cast<const quint8*>(command.constData()), quint32(command.size()));
    return status == BRX_Commu_UsbPipe::kOk ? endContainer(quint32(command.size())) : status;
}

// The header and the start of the payload leave in one transfer; the rest of
// the payload goes straight from the caller's buffer. Every transfer but the
// last is a whole number of packets, so the device sees one container.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::writeData(quint16 opCode, quint32 transactionId,
                                                          const quint8* data, quint32 size)
{
    const quint64 total = quint64(BRX_Commu_PtpContainer::kHeaderSize) + size;
    if (total >= BRX_Commu_PtpContainer::kUnknownLength || (size && !data)) {
        debugPrint(kDebugAlways, "%s - invalid data size 0x%08X", m_name, size);
        return BRX_Commu_UsbPipe::kError;
    }
    const quint32 first = quint32(std::min<quint64>(total, m_staging.size()));
    BRX_Commu_PtpContainer::encodeHeader(m_staging.data(), quint32(total), BRX_Commu_PtpContainer::kData,
                                         opCode, transactionId);
    const quint32 firstPayload = first - BRX_Commu_PtpContainer::kHeaderSize;
    if (firstPayload)
        std::memcpy(m_staging.data() + BRX_Commu_PtpContainer::kHeaderSize, data, firstPayload);
    Status status = writeTransfer(m_staging.data(), first);
    const quint32 chunkLimit = roundDown(kMaxTransferBytes, m_packetSize);
    for (quint32 offset = firstPayload; status == BRX_Commu_UsbPipe::kOk && offset < size;) {
        const quint32 chunk = std::min(size - offset, chunkLimit);
        status = writeTransfer(data + offset, chunk);
        offset += chunk;
    }
    return status == BRX_Commu_UsbPipe::kOk ? endContainer(total) : status;
}

// A container that fills its last packet needs a zero-length packet to end it.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::endContainer(quint64 length)
{
    return length % m_packetSize == 0 ? writeTransfer(nullptr, 0) : BRX_Commu_UsbPipe::kOk;
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::writeTransfer(const quint8* data, quint32 size)
{
    quint32 sent = 0;
    const Status status = m_pipe->bulkOut(data, size, &sent, m_timeouts.firstAnswerMs);
    if (status == BRX_Commu_UsbPipe::kOk && sent != size) {
        debugPrint(kDebugAlways, "%s - bulk-out sent %u of %u bytes", m_name, sent, size);
        return BRX_Commu_UsbPipe::kError;
    }
    return status;
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readReply(quint32 transactionId, quint8* buffer, quint32 size,
                                                          bool expectData, quint16* responseCode, bool* ok)
{
    BRX_Commu_PtpContainer header;
    Status status = readHeader(&header);
    // A device that refuses the operation answers at once, without a data phase.
    if (status == BRX_Commu_UsbPipe::kOk && expectData && header.type == BRX_Commu_PtpContainer::kData) {
        status = readPayload(header, buffer, size, ok);
        if (status == BRX_Commu_UsbPipe::kOk)
            status = readHeader(&header);
    }
    if (status != BRX_Commu_UsbPipe::kOk)
        return status;
    return readResponse(header, transactionId, responseCode, ok);
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readHeader(BRX_Commu_PtpContainer* container)
{
    int skipped = 0;
    while (available() < BRX_Commu_PtpContainer::kHeaderSize) {
        quint32 received = 0;
        bool shortPacket = false;
        const Status status = fill(&received, &shortPacket);
        if (status != BRX_Commu_UsbPipe::kOk)
            return status;
        if (received == 0 && (available() != 0 || ++skipped > kMaxSkippedZeroLengthPackets)) {
            debugPrint(kDebugAlways, "%s - incomplete container header", m_name);
            return BRX_Commu_UsbPipe::kError;
        }
    }
    if (!container->decodeHeader(m_staging.data() + m_pos, available())) {
        debugPrint(kDebugAlways, "%s - invalid container length %u", m_name, container->length);
        return BRX_Commu_UsbPipe::kError;
    }
    return BRX_Commu_UsbPipe::kOk;
}

// Whole packets of the payload are read into the caller's buffer; what does
// not fit there, and the last partial packet (which may carry the response
// too), goes through the staging buffer.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readPayload(const BRX_Commu_PtpContainer& header, quint8* dest,
                                                            quint32 destSize, bool* ok)
{
    m_pos += BRX_Commu_PtpContainer::kHeaderSize;
    const bool untilShortPacket = header.length == BRX_Commu_PtpContainer::kUnknownLength;
    const quint64 expected = untilShortPacket ? std::numeric_limits<quint64>::max()
                                              : header.length - BRX_Commu_PtpContainer::kHeaderSize;
    quint32& written = m_payloadWritten;
    const quint64 taken = takeFromStaging(expected, dest, destSize, &written);
    quint64 remaining = expected - taken;
    // A short transfer that carried payload ended the container; one that
    // carried only a header of known length is a device sending the header
    // on its own.
    bool ended = m_lastTransferShort && available() == 0 && (taken > 0 || untilShortPacket);
    while (remaining > 0 && !ended) {
        const quint32 direct = directSize(remaining, destSize - written);
        quint32 received = 0;
        Status status;
        if (direct) {
            status = m_pipe->bulkIn(dest + written, direct, &received, m_timeouts.firstAnswerMs);
            written += received;
            remaining -= received;
            ended = received < direct;
        } else {
            status = fill(&received, &ended);
            remaining -= takeFromStaging(remaining, dest, destSize, &written);
        }
        if (status != BRX_Commu_UsbPipe::kOk)
            return status;
    }
    if (!untilShortPacket && remaining > 0) {
        debugPrint(kDebugAlways, "%s - data phase truncated: %llu of %llu bytes", m_name,
                   (unsigned long long)(expected - remaining), (unsigned long long)expected);
        *ok = false;
    }
    return BRX_Commu_UsbPipe::kOk;
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readResponse(BRX_Commu_PtpContainer& header,
                                                             quint32 transactionId, quint16* responseCode,
                                                             bool* ok)
{
    if (header.type != BRX_Commu_PtpContainer::kResponse) {
        debugPrint(kDebugAlways, "%s - unexpected container type %u", m_name, header.type);
        return BRX_Commu_UsbPipe::kError;
    }
    if (header.length > BRX_Commu_PtpContainer::kMaxSize) {
        debugPrint(kDebugAlways, "%s - invalid response length %u", m_name, header.length);
        return BRX_Commu_UsbPipe::kError;
    }
    const Status status = ensure(header.length);
    if (status != BRX_Commu_UsbPipe::kOk)
        return status;
    if (!header.decodeParams(m_staging.data() + m_pos, available())) {
        debugPrint(kDebugAlways, "%s - invalid response length %u", m_name, header.length);
        return BRX_Commu_UsbPipe::kError;
    }
    m_pos += header.length;
    if (header.transactionId != transactionId) {
        debugPrint(kDebugAlways, "%s - response transaction ID 0x%08X, expected 0x%08X", m_name,
                   header.transactionId, transactionId);
        *ok = false;
    }
    *responseCode = header.code;
    return BRX_Commu_UsbPipe::kOk;
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::ensure(quint32 bytes)
{
    while (available() < bytes) {
        quint32 received = 0;
        bool shortPacket = false;
        const Status status = fill(&received, &shortPacket);
        if (status != BRX_Commu_UsbPipe::kOk)
            return status;
        if (received == 0) {
            debugPrint(kDebugAlways, "%s - incomplete container", m_name);
            return BRX_Commu_UsbPipe::kError;
        }
    }
    return BRX_Commu_UsbPipe::kOk;
}

// Appends one transfer to the staging buffer, keeping unread bytes.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::fill(quint32* received, bool* shortPacket)
{
    if (m_pos > 0) {
        std::memmove(m_staging.data(), m_staging.data() + m_pos, available());
        m_end -= m_pos;
        m_pos = 0;
    }
    const quint32 capacity = roundDown(m_staging.size() - m_end, m_packetSize);
    const Status status = m_pipe->bulkIn(m_staging.data() + m_end, capacity, received, m_timeouts.firstAnswerMs);
    if (status != BRX_Commu_UsbPipe::kOk)
        *received = 0;
    m_end += *received;
    *shortPacket = *received < capacity;
    m_lastTransferShort = *shortPacket;
    return status;
}

quint64 BRX_Commu_PtpUsbLink::takeFromStaging(quint64 remaining, quint8* dest, quint32 destSize,
                                               quint32* written)
{
    const quint32 take = quint32(std::min<quint64>(available(), remaining));
    const quint32 copy = std::min(take, destSize - *written);
    if (copy)
        std::memcpy(dest + *written, m_staging.data() + m_pos, copy);
    *written += copy;
    m_pos += take;
    return take;
}

quint32 BRX_Commu_PtpUsbLink::directSize(quint64 remaining, quint32 space) const
{
    if (available() != 0)
        return 0;
    return roundDown(std::min<quint64>({remaining, space, kMaxTransferBytes}), m_packetSize);
}

// The transaction is lost either way; what matters is that the next one
// finds both pipes running.
void BRX_Commu_PtpUsbLink::recoverStall()
{
    BRX_Commu_UsbPipe::DeviceStatus deviceStatus;
    m_pipe->getDeviceStatus(&deviceStatus);
    debugPrint(kDebugAlways, "%s - endpoint stalled, device status 0x%04X", m_name, deviceStatus.code);
    const bool cleared = m_pipe->clearHalt(BRX_Commu_UsbPipe::kBulkIn) == BRX_Commu_UsbPipe::kOk
        && m_pipe->clearHalt(BRX_Commu_UsbPipe::kBulkOut) == BRX_Commu_UsbPipe::kOk;
    if (!cleared && m_pipe->resetDevice() != BRX_Commu_UsbPipe::kOk)
        debugPrint(kDebugAlways, "%s - device reset failed", m_name);
    m_pos = m_end = 0;
}
