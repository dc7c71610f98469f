#include "BRX_Commu_VirtualCameraLink.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Debug.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

namespace {

typedef BRX_Commu_UsbPipe Pipe;
typedef BRX_Commu_VirtualCameraLink::Fault Fault;

const char kSurplusByte = 0x5A;
const qint64 kForever = std::numeric_limits<qint64>::max();

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

quint32 roundDown(quint32 value, quint32 unit)
{
    return value - value % unit;
}

} // namespace

BRX_Commu_VirtualCameraLink::BRX_Commu_VirtualCameraLink(BRX_Commu_VirtualCameraDevice* device,
                                                         quint32 packetSize)
    : m_device(device)
    , m_packetSize(packetSize)
{
}

qint64 BRX_Commu_VirtualCameraLink::now() const
{
    return m_clock ? m_clock() : steadyMs();
}

bool BRX_Commu_VirtualCameraLink::isSilent() const
{
    return m_silentUntil > 0 && now() < m_silentUntil;
}

Pipe::Status BRX_Commu_VirtualCameraLink::receive(const quint8* data, quint32 size, quint32* accepted)
{
    *accepted = 0;
    if (m_stalledOut)
        return Pipe::kStall;
    if (size == 0)
        receivePacket(nullptr, 0);
    for (quint32 offset = 0; offset < size; offset += m_packetSize) {
        const quint32 packet = std::min(m_packetSize, size - offset);
        if (stallsDataOut(packet))
            return Pipe::kStall;
        receivePacket(data + offset, packet);
        *accepted += packet;
    }
    return Pipe::kOk;
}

// A halt planned inside the host's data phase comes at a packet boundary.
bool BRX_Commu_VirtualCameraLink::stallsDataOut(quint32 size)
{
    if (m_stallOutAt < 0 || !m_awaitingData || quint32(m_incoming.size()) + size <= m_stallOutAt)
        return false;
    m_stallOutAt = -1;
    m_stalledOut = true;
    abortTransaction(m_pendingCommand.transactionId);
    return true;
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

// A silent camera takes what the host sends and does nothing with it.
void BRX_Commu_VirtualCameraLink::containerComplete(const QByteArray& bytes)
{
    if (isSilent())
        return;
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
        queueResponse(BRX_Commu_VirtualCameraDevice::kResponseParameterNotSupported, command.transactionId);
        return;
    }
    m_stallOutAt = -1;
    takeFaults(command.code);
    armCommandFaults();
    if (isSilent() || m_unplugRequested)
        return;
    if (m_device->expectsDataOut(command.code)) {
        m_pendingCommand = parsed;
        m_awaitingData = true;
        return;
    }
    execute(parsed, QByteArray());
}

void BRX_Commu_VirtualCameraLink::takeFaults(quint16 opCode)
{
    m_active.clear();
    while (!m_faults.isEmpty() && (m_faults.first().opCode == 0 || m_faults.first().opCode == opCode))
        m_active.append(m_faults.takeFirst());
}

// The faults that start with the command rather than with its reply.
void BRX_Commu_VirtualCameraLink::armCommandFaults()
{
    for (const Fault& fault : qAsConst(m_active)) {
        if (fault.kind == Fault::kBusy)
            m_busyUntil = now() + fault.ms;
        else if (fault.kind == Fault::kSilence)
            m_silentUntil = fault.ms > 0 ? now() + fault.ms : kForever;
        else if (fault.kind == Fault::kStallBulkOut)
            m_stallOutAt = roundDown(BRX_Commu_PtpContainer::kHeaderSize + fault.bytes, m_packetSize);
        else if (fault.kind == Fault::kVanish && fault.bytes == 0)
            m_unplugRequested = true;
    }
}

void BRX_Commu_VirtualCameraLink::dataReceived(const BRX_Commu_PtpContainer& header, const QByteArray& bytes)
{
    if (!m_awaitingData) {
        ++m_protocolErrors;
        return;
    }
    m_awaitingData = false;
    m_stallOutAt = -1;
    if (header.transactionId != m_pendingCommand.transactionId || header.code != m_pendingCommand.code) {
        ++m_protocolErrors;
        queueResponse(BRX_Commu_VirtualCameraDevice::kResponseGeneralError, m_pendingCommand.transactionId);
        return;
    }
    execute(m_pendingCommand, bytes.mid(int(BRX_Commu_PtpContainer::kHeaderSize)));
}

void BRX_Commu_VirtualCameraLink::execute(const BRX_Commu_PtpContainer& command, const QByteArray& dataOut)
{
    if (now() < m_busyUntil)
        m_device->injectBusy(1);
    const BRX_Commu_VirtualCameraDevice::Reply answer =
        m_device->handle(command.code, command.transactionId, command.params, dataOut);
    Reply reply = buildReply(command, answer, shapeOfReply());
    for (const Fault& fault : qAsConst(m_active))
        applyTimingFault(fault, answer.hasData, reply);
    m_active.clear();
    m_outgoing.append(reply);
}

BRX_Commu_VirtualCameraLink::Shape BRX_Commu_VirtualCameraLink::shapeOfReply() const
{
    Shape shape;
    for (const Fault& fault : m_active) {
        if (fault.kind == Fault::kShortData)
            shape.payloadLimit = fault.bytes;
        else if (fault.kind == Fault::kLongData)
            shape.surplus = fault.bytes;
        else if (fault.kind == Fault::kWrongType)
            shape.eventType = true;
        else if (fault.kind == Fault::kMisnumbered)
            shape.responseIdOffset = 1;
    }
    return shape;
}

// The data container (header, payload) and the response, split into the
// transfers the device sends them in. Faults aside, the payload stays
// shared with the object it came from.
BRX_Commu_VirtualCameraLink::Reply BRX_Commu_VirtualCameraLink::buildReply(
    const BRX_Commu_PtpContainer& command, const BRX_Commu_VirtualCameraDevice::Reply& reply,
    const Shape& shape) const
{
    const quint32 id = command.transactionId;
    QByteArray response =
        BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kResponse, reply.code, id + shape.responseIdOffset).encode();
    const BRX_Commu_PtpContainer::Type firstType =
        shape.eventType ? BRX_Commu_PtpContainer::kEvent : BRX_Commu_PtpContainer::kData;
    if (!reply.hasData) {
        if (shape.eventType)
            BRX_Commu_ByteWriter::writeU16(reinterpret_cast<quint8*>(response.data()), 4, firstType);
        return {makeSegment({response}, false, id)};
    }
    const bool truncated = shape.payloadLimit >= 0 && shape.payloadLimit < reply.data.size();
    QByteArray payload = truncated ? reply.data.left(int(shape.payloadLimit)) : reply.data;
    if (shape.surplus)
        payload.append(QByteArray(int(shape.surplus), kSurplusByte));
    const bool untilShort = m_quirks & kUnknownDataLength;
    const quint32 length = untilShort ? quint32(BRX_Commu_PtpContainer::kUnknownLength)
                                      : BRX_Commu_PtpContainer::kHeaderSize + quint32(reply.data.size());
    QByteArray header(int(BRX_Commu_PtpContainer::kHeaderSize), '\0');
    BRX_Commu_PtpContainer::encodeHeader(reinterpret_cast<quint8*>(header.data()), length, firstType, command.code,
                                         id);
    const bool endsEarly = truncated || untilShort;
    Reply out;
    if (m_quirks & kHeaderInOwnPacket) {
        out << makeSegment({header}, true, id);
        if (!payload.isEmpty())
            out << makeSegment({payload}, endsEarly, id);
    } else {
        out << makeSegment({header, payload}, endsEarly, id);
    }
    // A response can only be glued where the host knows where the data ends.
    if ((m_quirks & kResponseGlued) && !endsEarly) {
        out.last().parts.append(response);
        out.last().size += quint32(response.size());
    } else {
        out << makeSegment({response}, false, id);
    }
    return out;
}

// Late and paused answers wait on the clock; a stall or a vanishing camera
// waits at the gate of the segment where it happens.
void BRX_Commu_VirtualCameraLink::applyTimingFault(const Fault& fault, bool hasData, Reply& reply) const
{
    const quint32 offset = hasData ? BRX_Commu_PtpContainer::kHeaderSize + fault.bytes : 0;
    switch (fault.kind) {
    case Fault::kLateAnswer:
        for (Segment& segment : reply) {
            segment.due = now() + fault.ms;
            segment.keptOnCancel = true;
        }
        break;
    case Fault::kPauseInData:
        for (int i = splitAt(reply, offset); i < reply.size(); ++i)
            reply[i].due = now() + fault.ms;
        break;
    case Fault::kStallBulkIn:
        reply[splitAt(reply, offset)].gate = kStallGate;
        break;
    case Fault::kVanish:
        reply[splitAt(reply, offset)].gate = kVanishGate;
        break;
    default:
        break;
    }
}

// Splits the segment holding offset at the packet boundary at or before it;
// returns the index of the segment that starts there. An offset past the
// data gives the response's segment.
int BRX_Commu_VirtualCameraLink::splitAt(Reply& reply, quint32 offset) const
{
    quint32 start = 0;
    int index = 0;
    while (index < reply.size() - 1 && offset >= start + reply.at(index).size)
        start += reply.at(index++).size;
    const quint32 local = roundDown(std::min(offset - start, reply.at(index).size), m_packetSize);
    if (local == 0 || local >= reply.at(index).size)
        return index;
    Segment head = reply.at(index);
    Segment tail = head;
    head.parts.clear();
    tail.parts.clear();
    quint32 position = 0;
    for (const QByteArray& part : reply.at(index).parts) {
        const quint32 cut = std::min(quint32(part.size()), local - std::min(local, position));
        if (cut > 0)
            head.parts.append(part.left(int(cut)));
        if (cut < quint32(part.size()))
            tail.parts.append(part.mid(int(cut)));
        position += quint32(part.size());
    }
    head.size = local;
    head.zeroLengthPacket = false; // the stream goes on after it
    tail.size -= local;
    reply[index] = head;
    reply.insert(index + 1, tail);
    return index + 1;
}

void BRX_Commu_VirtualCameraLink::queueResponse(quint16 code, quint32 transactionId)
{
    const QByteArray response = BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kResponse, code, transactionId).encode();
    m_outgoing.append(makeSegment({response}, false, transactionId));
}

// endWithShortPacket: the host must see where these bytes end even if they
// fill whole packets, whatever the quirks say.
BRX_Commu_VirtualCameraLink::Segment BRX_Commu_VirtualCameraLink::makeSegment(const QVector<QByteArray>& parts,
                                                                              bool endWithShortPacket,
                                                                              quint32 transactionId) const
{
    Segment segment;
    segment.parts = parts;
    for (const QByteArray& part : parts)
        segment.size += quint32(part.size());
    segment.zeroLengthPacket = endWithShortPacket || !(m_quirks & kNoZeroLengthPacket);
    segment.transactionId = transactionId;
    return segment;
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

Pipe::Status BRX_Commu_VirtualCameraLink::send(quint8* data, quint32 capacity, quint32* received)
{
    *received = 0;
    if (m_stalledIn)
        return Pipe::kStall;
    if (isSilent())
        return Pipe::kTimeout;
    while (!m_outgoing.isEmpty()) {
        Segment& segment = m_outgoing.first();
        if (segment.due > now())
            return Pipe::kTimeout; // the transfer waits for the rest
        if (segment.gate != kOpen)
            return passGate(segment);
        const quint32 size = segment.size;
        const quint32 left = size - segment.sent;
        const quint32 space = capacity - *received;
        if (left == 0) {
            // Only the segment's zero-length packet is left; a full transfer leaves it queued.
            const bool sendZlp = segment.zeroLengthPacket && size % m_packetSize == 0;
            if (sendZlp && space == 0)
                return Pipe::kOk;
            m_outgoing.removeFirst();
            if (sendZlp || size % m_packetSize != 0)
                return Pipe::kOk;
            continue;
        }
        const quint32 count = left <= space ? left : space - space % m_packetSize;
        if (count == 0)
            return *received ? Pipe::kOk : Pipe::kOverflow;
        copyOut(segment, data + *received, count);
        *received += count;
        if (count < left)
            return Pipe::kOk;
    }
    return *received ? Pipe::kOk : Pipe::kTimeout;
}

Pipe::Status BRX_Commu_VirtualCameraLink::passGate(Segment& segment)
{
    if (segment.gate == kVanishGate) {
        segment.gate = kOpen;
        m_unplugRequested = true;
        return Pipe::kNoDevice;
    }
    m_stalledIn = true;
    abortTransaction(segment.transactionId);
    return Pipe::kStall;
}

// The device gives up a transaction after halting a pipe: what it had
// queued goes, and a response says so once the host reads again.
void BRX_Commu_VirtualCameraLink::abortTransaction(quint32 transactionId)
{
    dropSegments(transactionId, false);
    m_active.clear();
    m_awaitingData = false;
    m_incoming.clear();
    m_device->cancelTransaction(transactionId);
    queueResponse(BRX_Commu_VirtualCameraDevice::kResponseTransactionCancelled, transactionId);
}

void BRX_Commu_VirtualCameraLink::dropSegments(quint32 transactionId, bool keepLateAnswers)
{
    for (int i = m_outgoing.size() - 1; i >= 0; --i) {
        const Segment& segment = m_outgoing.at(i);
        if (segment.transactionId == transactionId && !(keepLateAnswers && segment.keptOnCancel))
            m_outgoing.removeAt(i);
    }
}

qint64 BRX_Commu_VirtualCameraLink::msUntilDue() const
{
    qint64 earliest = -1;
    const qint64 time = now();
    for (const Segment& segment : m_outgoing) {
        if (segment.due > time && (earliest < 0 || segment.due - time < earliest))
            earliest = segment.due - time;
    }
    return earliest;
}

// A silent camera ignores the request.
void BRX_Commu_VirtualCameraLink::cancel(quint32 transactionId)
{
    if (isSilent())
        return;
    dropSegments(transactionId, true);
    if (m_awaitingData && m_pendingCommand.transactionId == transactionId) {
        m_awaitingData = false;
        m_incoming.clear();
        m_active.clear();
    }
    m_stallOutAt = -1;
    m_device->cancelTransaction(transactionId);
}

BRX_Commu_UsbPipe::DeviceStatus BRX_Commu_VirtualCameraLink::deviceStatus() const
{
    Pipe::DeviceStatus status;
    if (m_stalledIn)
        status.halted.append(Pipe::kBulkIn);
    if (m_stalledOut)
        status.halted.append(Pipe::kBulkOut);
    const bool busy = isSilent() || now() < m_busyUntil || !status.halted.isEmpty();
    status.code = busy ? BRX_Commu_VirtualCameraDevice::kResponseDeviceBusy : BRX_Commu_VirtualCameraDevice::kResponseOK;
    return status;
}

void BRX_Commu_VirtualCameraLink::clearHalt(BRX_Commu_UsbPipe::Endpoint endpoint)
{
    if (endpoint == Pipe::kBulkIn) {
        m_stalledIn = false;
    } else if (endpoint == Pipe::kBulkOut) {
        m_stalledOut = false;
        m_expectZeroLengthPacket = false;
    }
}

// A reset ends a busy spell, not a silence: the one is a camera stuck in a
// task, the other a camera that has stopped working.
void BRX_Commu_VirtualCameraLink::resetDevice()
{
    m_busyUntil = 0;
    m_outgoing.clear();
    m_incoming.clear();
    m_active.clear();
    m_expectZeroLengthPacket = false;
    m_awaitingData = false;
    m_stalledIn = false;
    m_stalledOut = false;
    m_stallOutAt = -1;
    m_device->endSession();
}

bool BRX_Commu_VirtualCameraLink::takeUnplugRequest()
{
    const bool requested = m_unplugRequested;
    m_unplugRequested = false;
    return requested;
}
