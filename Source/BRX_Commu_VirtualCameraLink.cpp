#include "BRX_Commu_VirtualCameraLink.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Debug.h"

#include <algorithm>
#include <cstring>

BRX_Commu_VirtualCameraLink::BRX_Commu_VirtualCameraLink(BRX_Commu_VirtualCameraDevice* device,
                                                         quint32 packetSize)
    : m_device(device)
    , m_packetSize(packetSize)
{
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCameraLink::receive(const quint8* data, quint32 size, quint32* accepted)
{
    *accepted = size;
    if (size == 0)
        receivePacket(nullptr, 0);
    for (quint32 offset = 0; offset < size; offset += m_packetSize)
        receivePacket(data + offset, std::min(m_packetSize, size - offset));
    return BRX_Commu_UsbPipe::kOk;
}

void BRX_Commu_VirtualCameraLink::receivePacket(const quint8* data, quint32 size)
{
    if (m_expectZeroLengthPacket) {
        m_expectZeroLengthPacket = false;
        if (size == 0)
            return;
        debugPrint(kDebugSimulation, "%s - zero-length packet missing", BRX_METHOD);
        ++m_protocolErrors;
    }
    if (size > 0)
        m_incoming.append(reinterpret_cast<const char*>(data), int(size));
    BRX_Commu_ByteReader reader(m_incoming.constData(), quint32(m_incoming.size()));
    const quint32 length = reader.readU32At(0);
    if (reader.ok() && length >= BRX_Commu_PtpContainer::kHeaderSize && quint32(m_incoming.size()) >= length) {
        if (quint32(m_incoming.size()) > length)
            ++m_protocolErrors; // bytes past the container's end in its last packet
        const QByteArray container = m_incoming.left(int(length));
        m_incoming.clear();
        m_expectZeroLengthPacket = size == m_packetSize;
        containerComplete(container);
        return;
    }
    if (size < m_packetSize) {
        // A short packet ends a transfer: whatever came so far is not a container.
        debugPrint(kDebugSimulation, "%s - incomplete container of %d bytes", BRX_METHOD, m_incoming.size());
        ++m_protocolErrors;
        m_incoming.clear();
    }
}

void BRX_Commu_VirtualCameraLink::containerComplete(const QByteArray& bytes)
{
    BRX_Commu_PtpContainer header;
    header.decodeHeader(reinterpret_cast<const quint8*>(bytes.constData()), quint32(bytes.size()));
    if (header.type == BRX_Commu_PtpContainer::kCommand)
        commandReceived(header, bytes);
    else if (header.type == BRX_Commu_PtpContainer::kData)
        dataReceived(header, bytes);
    else
        ++m_protocolErrors;
}

void BRX_Commu_VirtualCameraLink::commandReceived(const BRX_Commu_PtpContainer& command, const QByteArray& bytes)
{
    if (m_awaitingData) {
        ++m_protocolErrors; // the data phase announced by the last command never came
        m_awaitingData = false;
    }
    BRX_Commu_PtpContainer parsed = command;
    if (!parsed.decodeParams(reinterpret_cast<const quint8*>(bytes.constData()), quint32(bytes.size()))) {
        queueResponse(BRX_Commu_VirtualCameraDevice::kParameterNotSupported, command.transactionId);
        return;
    }
    if (m_unplugOperation && m_unplugOperation == command.code) {
        m_unplugOperation = 0;
        m_unplugRequested = true;
        return;
    }
    if (m_device->expectsDataOut(command.code)) {
        m_pendingCommand = parsed;
        m_awaitingData = true;
        return;
    }
    execute(parsed, QByteArray());
}

void BRX_Commu_VirtualCameraLink::dataReceived(const BRX_Commu_PtpContainer& header, const QByteArray& bytes)
{
    if (!m_awaitingData) {
        ++m_protocolErrors;
        return;
    }
    m_awaitingData = false;
    if (header.transactionId != m_pendingCommand.transactionId || header.code != m_pendingCommand.code) {
        ++m_protocolErrors;
        queueResponse(BRX_Commu_VirtualCameraDevice::kGeneralError, m_pendingCommand.transactionId);
        return;
    }
    execute(m_pendingCommand, bytes.mid(int(BRX_Commu_PtpContainer::kHeaderSize)));
}

void BRX_Commu_VirtualCameraLink::execute(const BRX_Commu_PtpContainer& command, const QByteArray& dataOut)
{
    queueReply(command, m_device->handle(command.code, command.transactionId, command.params, dataOut));
}

void BRX_Commu_VirtualCameraLink::queueReply(const BRX_Commu_PtpContainer& command,
                                             const BRX_Commu_VirtualCameraDevice::Reply& reply)
{
    const quint32 responseId = command.transactionId + (m_misnumberResponse ? 1 : 0);
    m_misnumberResponse = false;
    const QByteArray response =
        BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kResponse, reply.code, responseId).encode();
    if (!reply.hasData) {
        queue({response}, false);
        return;
    }
    const bool truncated = m_truncateAt >= 0 && m_truncateAt < reply.data.size();
    const QByteArray payload = truncated ? reply.data.left(int(m_truncateAt)) : reply.data;
    m_truncateAt = -1;
    const bool untilShort = m_quirks & kUnknownDataLength;
    const quint32 length = untilShort ? quint32(BRX_Commu_PtpContainer::kUnknownLength)
                                      : BRX_Commu_PtpContainer::kHeaderSize + quint32(reply.data.size());
    QByteArray header(int(BRX_Commu_PtpContainer::kHeaderSize), '\0');
    BRX_Commu_PtpContainer::encodeHeader(reinterpret_cast<quint8*>(header.data()), length,
                                         BRX_Commu_PtpContainer::kData, command.code, command.transactionId);
    const bool endsEarly = truncated || untilShort;
    if (m_quirks & kHeaderInOwnPacket) {
        queue({header}, true);
        if (!payload.isEmpty())
            queue({payload}, endsEarly);
    } else {
        queue({header, payload}, endsEarly);
    }
    // A response can only be glued where the host knows where the data ends.
    if ((m_quirks & kResponseGlued) && !endsEarly) {
        m_outgoing.last().parts.append(response);
        m_outgoing.last().size += quint32(response.size());
    } else {
        queue({response}, false);
    }
}

void BRX_Commu_VirtualCameraLink::queueResponse(quint16 code, quint32 transactionId)
{
    queue({BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kResponse, code, transactionId).encode()}, false);
}

// endWithShortPacket: the host must see where these bytes end even if they
// fill whole packets, whatever the quirks say.
void BRX_Commu_VirtualCameraLink::queue(const QVector<QByteArray>& parts, bool endWithShortPacket)
{
    Segment segment;
    segment.parts = parts;
    for (const QByteArray& part : parts)
        segment.size += quint32(part.size());
    segment.zeroLengthPacket = endWithShortPacket || !(m_quirks & kNoZeroLengthPacket);
    m_outgoing.append(segment);
}

void BRX_Commu_VirtualCameraLink::copyOut(Segment& segment, quint8* data, quint32 count)
{
    while (count > 0) {
        const QByteArray& part = segment.parts.at(segment.part);
        const quint32 chunk = std::min(count, quint32(part.size() - segment.partOffset));
        std::memcpy(data, part.constData() + segment.partOffset, chunk);
        data += chunk;
        count -= chunk;
        segment.sent += chunk;
        segment.partOffset += int(chunk);
        if (segment.partOffset == part.size()) {
            ++segment.part;
            segment.partOffset = 0;
        }
    }
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCameraLink::send(quint8* data, quint32 capacity, quint32* received)
{
    *received = 0;
    if (m_stallPending) {
        m_stallPending = false;
        m_stalled = true;
    }
    if (m_stalled)
        return BRX_Commu_UsbPipe::kStall;
    while (!m_outgoing.isEmpty()) {
        Segment& segment = m_outgoing.first();
        const quint32 size = segment.size;
        const quint32 left = size - segment.sent;
        const quint32 space = capacity - *received;
        if (left == 0) {
            // Only the segment's zero-length packet is left; a full transfer leaves it queued.
            const bool sendZlp = segment.zeroLengthPacket && size % m_packetSize == 0;
            if (sendZlp && space == 0)
                return BRX_Commu_UsbPipe::kOk;
            m_outgoing.removeFirst();
            if (sendZlp || size % m_packetSize != 0)
                return BRX_Commu_UsbPipe::kOk;
            continue;
        }
        const quint32 count = left <= space ? left : space - space % m_packetSize;
        if (count == 0)
            return *received ? BRX_Commu_UsbPipe::kOk : BRX_Commu_UsbPipe::kOverflow;
        copyOut(segment, data + *received, count);
        *received += count;
        if (count < left)
            return BRX_Commu_UsbPipe::kOk;
    }
    return *received ? BRX_Commu_UsbPipe::kOk : BRX_Commu_UsbPipe::kTimeout;
}

void BRX_Commu_VirtualCameraLink::reset()
{
    m_stalled = false;
    m_stallPending = false;
    m_incoming.clear();
    m_expectZeroLengthPacket = false;
    m_awaitingData = false;
    m_outgoing.clear();
}

void BRX_Commu_VirtualCameraLink::truncateNextDataPhase(quint32 bytes)
{
    m_truncateAt = bytes;
}

bool BRX_Commu_VirtualCameraLink::takeUnplugRequest()
{
    const bool requested = m_unplugRequested;
    m_unplugRequested = false;
    return requested;
}
