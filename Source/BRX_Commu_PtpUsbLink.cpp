#include "BRX_Commu_PtpUsbLink.h"
#include "BRX_Commu_PtpUsbRecovery.h"
#include "BRX_Debug.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>

namespace {

typedef BRX_Commu_UsbPipe Pipe;
typedef BRX_Commu_PtpContainer Container;

const quint32 kStagingBytes = 16384;
const quint32 kMaxTransferBytes = 1u << 20;
// A container whose length is a multiple of the packet size may be followed
// by a zero-length packet; more than that in a row is not a PTP device.
const int kMaxSkippedZeroLengthPackets = 2;
// A data phase of unknown length ends with a short packet; a device that
// sends no end is read no further than the bytes the caller expects or this,
// whichever is more, and what follows must then be the response.
const quint64 kUnknownLengthCeiling = 16u << 20;
// Containers of earlier transactions dropped before the current one's; more
// are not a late answer but a device out of step.
const int kMaxStaleContainers = 4;

quint32 roundDown(quint64 value, quint32 unit)
{
    return quint32(value - value % unit);
}

} // namespace

BRX_Commu_PtpUsbLink::BRX_Commu_PtpUsbLink(std::shared_ptr<BRX_Commu_UsbPipe> pipe)
    : m_pipe(std::move(pipe))
    , m_timeouts(BRX_Commu_PtpTransaction::defaultTimeouts())
    , m_packetSize(std::max<quint32>(1, m_pipe->maxPacketSize()))
    , m_staging(std::max(kStagingBytes / m_packetSize, 4u) * m_packetSize)
{
}

void BRX_Commu_PtpUsbLink::resetTransactionId()
{
    m_nextTransactionId = 0;
}

BRX_Commu_PtpUsbLink::Result BRX_Commu_PtpUsbLink::transact(const Transaction& transaction, quint16* responseCode)
{
    m_name = transaction.name;
    m_pos = m_end = 0;
    if (transaction.numParams > Container::kMaxParams || (transaction.numParams && !transaction.params)) {
        debugPrint(kDebugAlways, "%s - invalid parameter count %u", m_name, transaction.numParams);
        return kFailed;
    }
    const quint32 transactionId = m_nextTransactionId++;
    bool ok = true;
    const Status status = exchange(transaction, transactionId, responseCode, &ok);
    // Zeroing only what the data phase did not fill spares large objects a
    // second pass over their bytes.
    if (transaction.direction == kDataIn && transaction.buffer && transaction.size > m_payloadWritten)
        std::memset(transaction.buffer + m_payloadWritten, 0, transaction.size - m_payloadWritten);
    if (status == Pipe::kOk)
        return ok ? kResponded : kFailed;
    return recover(status, transactionId);
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::exchange(const Transaction& transaction, quint32 transactionId,
                                                         quint16* responseCode, bool* ok)
{
    m_payloadWritten = 0;
    m_halted.clear();
    m_waitMs = transaction.patient ? m_timeouts.patientAnswerMs : m_timeouts.firstAnswerMs;
    Status status = writeCommand(transaction.opCode, transactionId, transaction.params, transaction.numParams);
    if (status == Pipe::kOk && transaction.direction == kDataOut)
        status = writeData(transaction.opCode, transactionId, transaction.buffer, transaction.size);
    if (status == Pipe::kOk)
        status = readReply(transactionId, transaction.buffer, transaction.buffer ? transaction.size : 0,
                           transaction.direction == kDataIn, responseCode, ok);
    return status;
}

// The transaction is lost either way; what matters is that the next one
// finds the device in step.
BRX_Commu_PtpUsbLink::Result BRX_Commu_PtpUsbLink::recover(Status status, quint32 transactionId)
{
    if (status == Pipe::kNoDevice)
        return kNoDevice;
    if (status != Pipe::kError) // protocol errors are logged where they are found
        debugPrint(kDebugAlways, "%s - USB transfer failed, status %d", m_name, int(status));
    const BRX_Commu_PtpUsbRecovery::Outcome outcome =
        BRX_Commu_PtpUsbRecovery(*m_pipe, m_timeouts, m_name).run(transactionId, m_halted);
    m_pos = m_end = 0;
    switch (outcome) {
    case BRX_Commu_PtpUsbRecovery::kSettled:
        return kFailed;
    case BRX_Commu_PtpUsbRecovery::kReset:
        resetTransactionId();
        return kSessionLost;
    case BRX_Commu_PtpUsbRecovery::kSilent:
        return kSilent;
    default:
        return kNoDevice;
    }
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::writeCommand(quint16 opCode, quint32 transactionId,
                                                             const quint32* params, quint32 numParams)
{
    const QVector<quint32> list(params, params + numParams);
    const QByteArray command = Container(Container::kCommand, opCode, transactionId, list).encode();
    const Status status = writeTransfer(reinterpret_cast<const quint8*>(command.constData()), quint32(command.size()));
    return status == Pipe::kOk ? endContainer(quint32(command.size())) : status;
}

// The header and the start of the payload leave in one transfer; the rest of
// the payload goes straight from the caller's buffer. Every transfer but the
// last is a whole number of packets, so the device sees one container.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::writeData(quint16 opCode, quint32 transactionId,
                                                          const quint8* data, quint32 size)
{
    const quint64 total = quint64(Container::kHeaderSize) + size;
    if (total >= Container::kUnknownLength || (size && !data)) {
        debugPrint(kDebugAlways, "%s - invalid data size 0x%08X", m_name, size);
        return Pipe::kError;
    }
    const quint32 first = quint32(std::min<quint64>(total, m_staging.size()));
    Container::encodeHeader(m_staging.data(), quint32(total), Container::kData, opCode, transactionId);
    const quint32 firstPayload = first - Container::kHeaderSize;
    if (firstPayload)
        std::memcpy(m_staging.data() + Container::kHeaderSize, data, firstPayload);
    Status status = writeTransfer(m_staging.data(), first);
    const quint32 chunkLimit = roundDown(kMaxTransferBytes, m_packetSize);
    for (quint32 offset = firstPayload; status == Pipe::kOk && offset < size;) {
        const quint32 chunk = std::min(size - offset, chunkLimit);
        status = writeTransfer(data + offset, chunk);
        offset += chunk;
    }
    return status == Pipe::kOk ? endContainer(total) : status;
}

// A container that fills its last packet needs a zero-length packet to end it.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::endContainer(quint64 length)
{
    return length % m_packetSize == 0 ? writeTransfer(nullptr, 0) : Pipe::kOk;
}

// A transfer that timed out after the device took part of it made
// progress: the rest goes out in a new transfer.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::writeTransfer(const quint8* data, quint32 size)
{
    quint32 done = 0;
    for (;;) {
        quint32 sent = 0;
        const Status status = m_pipe->bulkOut(data + done, size - done, &sent, m_timeouts.progressMs);
        done += sent;
        if (status == Pipe::kTimeout && sent > 0 && done < size)
            continue;
        if (status == Pipe::kStall)
            m_halted.append(Pipe::kBulkOut);
        if (status == Pipe::kOk && done != size) {
            debugPrint(kDebugAlways, "%s - bulk-out sent %u of %u bytes", m_name, done, size);
            return Pipe::kError;
        }
        return status;
    }
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readReply(quint32 transactionId, quint8* buffer, quint32 size,
                                                          bool expectData, quint16* responseCode, bool* ok)
{
    BRX_Commu_PtpContainer header;
    Status status = readCurrentHeader(transactionId, &header);
    // A device that refuses the operation answers at once, without a data phase.
    if (status == Pipe::kOk && expectData && header.type == Container::kData) {
        status = readPayload(header, buffer, size, &m_payloadWritten, ok);
        if (status == Pipe::kOk)
            status = readCurrentHeader(transactionId, &header);
    }
    return status == Pipe::kOk ? readResponse(header, transactionId, responseCode) : status;
}

// The next container of this transaction: whole containers of earlier ones
// (a late answer to a transaction given up) are dropped on the way.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readCurrentHeader(quint32 transactionId,
                                                                  BRX_Commu_PtpContainer* header)
{
    for (int stale = 0;; ++stale) {
        const Status status = readHeader(header);
        const bool earlier = header->transactionId < transactionId
            && (header->type == Container::kData || header->type == Container::kResponse);
        if (status != Pipe::kOk || !earlier || stale == kMaxStaleContainers)
            return status;
        debugPrint(kDebugAlways, "%s - dropped a container of transaction 0x%08X", m_name, header->transactionId);
        const Status skipped = skipContainer(*header);
        if (skipped != Pipe::kOk)
            return skipped;
    }
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::skipContainer(const BRX_Commu_PtpContainer& header)
{
    BRX_Commu_PtpContainer container = header;
    if (container.type == Container::kResponse)
        return takeContainer(container);
    quint32 none = 0;
    bool ok = true;
    return readPayload(container, nullptr, 0, &none, &ok);
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readHeader(BRX_Commu_PtpContainer* container)
{
    int skipped = 0;
    while (available() < Container::kHeaderSize) {
        quint32 received = 0;
        bool ended = false;
        const Status status = fill(&received, &ended);
        if (status != Pipe::kOk)
            return status;
        if (received == 0 && (available() != 0 || ++skipped > kMaxSkippedZeroLengthPackets)) {
            debugPrint(kDebugAlways, "%s - incomplete container header", m_name);
            return Pipe::kError;
        }
    }
    if (!container->decodeHeader(m_staging.data() + m_pos, available())) {
        debugPrint(kDebugAlways, "%s - invalid container length %u", m_name, container->length);
        return Pipe::kError;
    }
    return Pipe::kOk;
}

// Whole packets of the payload are read into the caller's buffer; what does
// not fit there, and the last partial packet (which may carry the response
// too), goes through the staging buffer. *written counts the bytes placed
// in dest.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readPayload(const BRX_Commu_PtpContainer& header, quint8* dest,
                                                            quint32 destSize, quint32* written, bool* ok)
{
    m_pos += Container::kHeaderSize;
    const bool untilShortPacket = header.length == Container::kUnknownLength;
    const quint64 expected = untilShortPacket ? std::max<quint64>(destSize, kUnknownLengthCeiling)
                                              : header.length - Container::kHeaderSize;
    const quint64 taken = takeFromStaging(expected, dest, destSize, written);
    quint64 remaining = expected - taken;
    // A short transfer that carried payload ended the container; one that
    // carried only a header of known length is a device sending the header
    // on its own.
    bool ended = m_lastTransferShort && available() == 0 && (taken > 0 || untilShortPacket);
    while (remaining > 0 && !ended) {
        const quint32 direct = directSize(remaining, destSize - *written);
        quint32 received = 0;
        Status status;
        if (direct) {
            status = readIn(dest + *written, direct, &received, &ended);
            *written += received;
            remaining -= received;
        } else {
            status = fill(&received, &ended);
            remaining -= takeFromStaging(remaining, dest, destSize, written);
        }
        if (status != Pipe::kOk)
            return status;
    }
    if (!untilShortPacket && remaining > 0) {
        debugPrint(kDebugAlways, "%s - data phase truncated: %llu of %llu bytes", m_name,
                   (unsigned long long)(expected - remaining), (unsigned long long)expected);
        *ok = false;
    }
    return Pipe::kOk;
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readResponse(BRX_Commu_PtpContainer& header,
                                                             quint32 transactionId, quint16* responseCode)
{
    if (header.type != Container::kResponse) {
        debugPrint(kDebugAlways, "%s - unexpected container type %u", m_name, header.type);
        return Pipe::kError;
    }
    const Status status = takeContainer(header);
    if (status != Pipe::kOk)
        return status;
    if (header.transactionId != transactionId) {
        debugPrint(kDebugAlways, "%s - response transaction ID 0x%08X, expected 0x%08X", m_name,
                   header.transactionId, transactionId);
        return Pipe::kError;
    }
    *responseCode = header.code;
    return Pipe::kOk;
}

// Consumes a response-sized container whose header has been decoded.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::takeContainer(BRX_Commu_PtpContainer& header)
{
    const Status status = header.length <= Container::kMaxSize ? ensure(header.length) : Pipe::kOk;
    if (status != Pipe::kOk)
        return status;
    if (header.length > Container::kMaxSize || !header.decodeParams(m_staging.data() + m_pos, available())) {
        debugPrint(kDebugAlways, "%s - invalid response length %u", m_name, header.length);
        return Pipe::kError;
    }
    m_pos += header.length;
    return Pipe::kOk;
}

BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::ensure(quint32 bytes)
{
    while (available() < bytes) {
        quint32 received = 0;
        bool ended = false;
        const Status status = fill(&received, &ended);
        if (status != Pipe::kOk)
            return status;
        if (received == 0) {
            debugPrint(kDebugAlways, "%s - incomplete container", m_name);
            return Pipe::kError;
        }
    }
    return Pipe::kOk;
}

// Appends one transfer to the staging buffer, keeping unread bytes.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::fill(quint32* received, bool* ended)
{
    if (m_pos > 0) {
        std::memmove(m_staging.data(), m_staging.data() + m_pos, available());
        m_end -= m_pos;
        m_pos = 0;
    }
    const quint32 capacity = roundDown(m_staging.size() - m_end, m_packetSize);
    const Status status = readIn(m_staging.data() + m_end, capacity, received, ended);
    m_end += *received;
    m_lastTransferShort = *ended;
    return status;
}

// One bulk-in transfer. One that timed out after bytes came made progress:
// it counts as a transfer not yet ended, and the next one waits afresh.
BRX_Commu_UsbPipe::Status BRX_Commu_PtpUsbLink::readIn(quint8* data, quint32 capacity, quint32* received,
                                                       bool* ended)
{
    const Status status = m_pipe->bulkIn(data, capacity, received, m_waitMs);
    const bool progressed = *received > 0;
    if (progressed)
        m_waitMs = m_timeouts.progressMs;
    if (status == Pipe::kTimeout && progressed) {
        *ended = false;
        return Pipe::kOk;
    }
    if (status == Pipe::kStall)
        m_halted.append(Pipe::kBulkIn);
    *ended = status == Pipe::kOk && *received < capacity;
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

// The rest of the payload in one transfer: the pipe keeps it streaming
// (several pieces queued), which it cannot do across separate calls.
quint32 BRX_Commu_PtpUsbLink::directSize(quint64 remaining, quint32 space) const
{
    if (available() != 0)
        return 0;
    return roundDown(std::min<quint64>(remaining, space), m_packetSize);
}
