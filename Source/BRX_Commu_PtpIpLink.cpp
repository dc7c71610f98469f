#include "BRX_Commu_PtpIpLink.h"
#include "BRX_Commu_TcpStream.h"
#include "BRX_Debug.h"

#include <QVector>
#include <algorithm>
#include <cstring>

namespace {

typedef BRX_Commu_PtpIpPacket Packet;
typedef BRX_Commu_PtpIpReader Reader;


const char* readerFailure(Reader::Result result)
{
    switch (result) {
    case Reader::kTimeout:
        return "the camera does not answer";
    case Reader::kStalled:
        return "the camera stopped inside a packet";
    case Reader::kClosed:
        return "the camera closed the connection";
    case Reader::kOverdue:
        return "the camera's answer ran past its deadline";
    default:
        return "the camera sent no PTP/IP packet";
    }
}

} // namespace

std::unique_ptr<BRX_Commu_PtpIpLink> BRX_Commu_PtpIpLink::open(const QString& host, quint16 port,
                                                               const Initiator& initiator, const char* name)
{
    const BRX_Commu_PtpTransaction::Timeouts timeouts = BRX_Commu_PtpTransaction::defaultTimeouts();
    const int connectMs = std::min(timeouts.firstAnswerMs, timeouts.handshakeMs);
    QString error;
    std::unique_ptr<BRX_Commu_PtpIpStream> command = BRX_Commu_TcpStream::connectTo(host, port, connectMs, &error);
    if (!command) {
        debugPrint(kDebugPtp, "%s - %s port %u: %s", name, qPrintable(host), port, qPrintable(error));
        return nullptr;
    }
    std::unique_ptr<BRX_Commu_PtpIpLink> link(new BRX_Commu_PtpIpLink(std::move(command)));
    if (!link->initCommand(initiator, name))
        return nullptr;
    std::unique_ptr<BRX_Commu_PtpIpStream> events = BRX_Commu_TcpStream::connectTo(host, port, connectMs, &error);
    if (!events) {
        debugPrint(kDebugPtp, "%s - event connection to %s port %u: %s", name, qPrintable(host), port,
                   qPrintable(error));
        return nullptr;
    }
    return link->initEvents(std::move(events), name) ? std::move(link) : nullptr;
}

BRX_Commu_PtpIpLink::BRX_Commu_PtpIpLink(std::unique_ptr<BRX_Commu_PtpIpStream> command)
    : m_command(std::move(command))
    , m_timeouts(BRX_Commu_PtpTransaction::defaultTimeouts())
    , m_reader(*m_command, "")
{
}

BRX_Commu_PtpIpLink::~BRX_Commu_PtpIpLink() = default;

bool BRX_Commu_PtpIpLink::initCommand(const Initiator& initiator, const char* name)
{
    m_name = name;
    m_reader.setName(name);
    beginPhase(m_timeouts.handshakeMs);
    Packet answer;
    const Reader::Result read = send(Packet::initCommandRequest(initiator.guid, initiator.name))
        ? m_reader.next(&answer, m_timeouts.firstAnswerMs, m_timeouts.progressMs)
        : unsent();
    if (!isHandshakeAnswer(read, answer, Packet::kInitCommandAck, name))
        return false;
    m_connectionNumber = answer.connectionNumber;
    m_cameraName = answer.name;
    debugPrint(kDebugPtp, "%s - connection %u to \"%s\"", name, m_connectionNumber, qPrintable(m_cameraName));
    return true;
}

bool BRX_Commu_PtpIpLink::initEvents(std::unique_ptr<BRX_Commu_PtpIpStream> events, const char* name)
{
    const QByteArray request = Packet::initEventRequest(m_connectionNumber);
    Reader reader(*events, name);
    const QDeadlineTimer handshake(m_timeouts.handshakeMs);
    reader.setDeadline(handshake);
    Packet answer;
    const bool sent = events->write(reinterpret_cast<const quint8*>(request.constData()), quint32(request.size()),
                                    int(std::min<qint64>(m_timeouts.progressMs, handshake.remainingTime())))
        == BRX_Commu_PtpIpStream::kOk;
    const Reader::Result read = sent ? reader.next(&answer, m_timeouts.firstAnswerMs, m_timeouts.progressMs)
                                     : Reader::kClosed;
    if (!isHandshakeAnswer(read, answer, Packet::kInitEventAck, name))
        return false;
    m_events = std::move(events);
    return true;
}

// A handshake that did not end with the expected Ack is logged by why.
bool BRX_Commu_PtpIpLink::isHandshakeAnswer(Reader::Result read, const BRX_Commu_PtpIpPacket& answer,
                                            quint32 ackType, const char* name)
{
    if (read != Reader::kOk) {
        if (read != Reader::kMalformed)
            debugPrint(kDebugPtp, "%s - the handshake failed: %s", name, readerFailure(read));
        return false;
    }
    if (answer.type == ackType)
        return true;
    debugPrint(kDebugPtp, "%s - the camera refused the %s (reason %u)", name,
               ackType == Packet::kInitEventAck ? "event connection" : "connection",
               answer.type == Packet::kInitFail ? answer.reason : 0);
    return false;
}

void BRX_Commu_PtpIpLink::shutdown()
{
    m_command->shutdown();
    if (m_events)
        m_events->shutdown();
}

void BRX_Commu_PtpIpLink::beginPhase(qint64 ms)
{
    m_phase = QDeadlineTimer(ms);
    m_reader.setDeadline(m_phase);
}

// A data phase may last the progress timeout plus its size at the slowest
// rate allowed.
qint64 BRX_Commu_PtpIpLink::dataPhaseMs(quint64 size) const
{
    return m_timeouts.progressMs + qint64(size * 1000 / quint64(qMax(1, m_timeouts.minBytesPerSecond)));
}

// Why a packet could not go: a phase already over leaves no time to send
// in, which is the camera's lateness, not a closed connection.
BRX_Commu_PtpIpReader::Result BRX_Commu_PtpIpLink::unsent() const
{
    return m_phase.hasExpired() ? Reader::kOverdue : Reader::kClosed;
}

// Each packet within the progress timeout, and within the phase.
bool BRX_Commu_PtpIpLink::send(const QByteArray& packet)
{
    const qint64 phaseMs = m_phase.remainingTime();
    const int timeoutMs = phaseMs < 0 ? m_timeouts.progressMs : int(std::min<qint64>(m_timeouts.progressMs, phaseMs));
    return timeoutMs > 0
        && m_command->write(reinterpret_cast<const quint8*>(packet.constData()), quint32(packet.size()), timeoutMs)
        == BRX_Commu_PtpIpStream::kOk;
}

BRX_Commu_PtpIpLink::Result BRX_Commu_PtpIpLink::transact(const Transaction& transaction, quint16* responseCode)
{
    m_name = transaction.name;
    m_reader.setName(m_name);
    m_payloadWritten = 0;
    m_budget = Budget();
    Result result = kLost;
    if (transaction.numParams > Packet::kMaxParams || (transaction.numParams && !transaction.params)) {
        debugPrint(kDebugAlways, "%s - invalid parameter count %u", m_name, transaction.numParams);
        result = kFailed;
    } else {
        const quint32 transactionId = m_nextTransactionId++;
        const bool dataOut = transaction.direction == Transaction::kDataOut;
        const QVector<quint32> params(transaction.params, transaction.params + transaction.numParams);
        beginPhase(m_timeouts.progressMs);
        const bool sent = send(Packet::operationRequest(dataOut ? Packet::kDataOut : Packet::kNoDataOrDataIn,
                                                        transaction.opCode, transactionId, params))
            && (!dataOut || sendData(transactionId, transaction.buffer, transaction.size));
        const int firstMs = transaction.patient ? m_timeouts.patientAnswerMs : m_timeouts.firstAnswerMs;
        bool timedOut = false;
        if (sent)
            beginPhase(firstMs + m_timeouts.progressMs);
        result = sent ? readReply(transaction, transactionId, firstMs, responseCode, &timedOut)
                      : lost(unsent());
        if (timedOut)
            result = cancel(transaction, transactionId, responseCode);
    }
    if (transaction.direction == Transaction::kDataIn && transaction.buffer && transaction.size > m_payloadWritten)
        std::memset(transaction.buffer + m_payloadWritten, 0, transaction.size - m_payloadWritten);
    return result;
}

// Start Data, then the payload in Data packets, the last one as End Data.
bool BRX_Commu_PtpIpLink::sendData(quint32 transactionId, const quint8* data, quint32 size)
{
    beginPhase(dataPhaseMs(size));
    if (!send(Packet::startData(transactionId, size)))
        return false;
    quint32 offset = 0;
    do {
        const quint32 chunk = std::min<quint32>(size - offset, Packet::kDataPacketPayload);
        const Packet::Type type = offset + chunk == size ? Packet::kEndData : Packet::kData;
        QByteArray packet = Packet::dataHeader(type, transactionId, chunk);
        packet.append(reinterpret_cast<const char*>(data) + offset, int(chunk));
        if (!send(packet))
            return false;
        offset += chunk;
    } while (offset < size);
    return true;
}

// *timedOut: nothing of the answer came within firstMs.
BRX_Commu_PtpIpLink::Result BRX_Commu_PtpIpLink::readReply(const Transaction& transaction, quint32 transactionId,
                                                           int firstMs, quint16* responseCode, bool* timedOut)
{
    Packet packet;
    Reader::Result read = nextPacket(&packet, firstMs);
    *timedOut = read == Reader::kTimeout;
    if (*timedOut)
        return kLost;
    // Only a transaction that reads has a data phase from the camera: one in
    // answer to another would be written into a buffer the host only lent.
    if (read == Reader::kOk && packet.type == Packet::kStartData && packet.transactionId == transactionId
        && transaction.direction == Transaction::kDataIn) {
        const Result data = receiveData(packet, transaction, transactionId);
        if (data != kResponded)
            return data;
        beginPhase(m_timeouts.firstAnswerMs + m_timeouts.progressMs);
        read = nextPacket(&packet, m_timeouts.firstAnswerMs);
    }
    if (read != Reader::kOk)
        return lost(read);
    if (packet.type != Packet::kOperationResponse || packet.transactionId != transactionId)
        return unexpected(packet, transactionId);
    *responseCode = packet.code;
    return kResponded;
}

// The next packet; the camera's probes are answered on the way, as many as
// the transaction's budget allows.
BRX_Commu_PtpIpReader::Result BRX_Commu_PtpIpLink::nextPacket(BRX_Commu_PtpIpPacket* packet, int firstMs)
{
    for (;;) {
        const Reader::Result result = m_reader.next(packet, firstMs, m_timeouts.progressMs);
        if (result != Reader::kOk || packet->type != Packet::kProbeRequest)
            return result;
        if (++m_budget.probes > kProbeBudget) {
            debugPrint(kDebugAlways, "%s - more than %u probe requests in one transaction", m_name, kProbeBudget);
            return Reader::kMalformed;
        }
        if (!send(Packet::bare(Packet::kProbeResponse)))
            return unsent();
    }
}

// Data and End Data packets of this transaction, up to the total that Start
// Data announced (of unknown length: up to the larger of the buffer and the
// ceiling); what the buffer cannot hold is read and dropped. Its deadline
// comes from the size announced, else the size expected.
BRX_Commu_PtpIpLink::Result BRX_Commu_PtpIpLink::receiveData(const BRX_Commu_PtpIpPacket& start,
                                                             const Transaction& transaction, quint32 transactionId)
{
    const bool announced = start.totalLength != ~quint64(0);
    const quint64 unknownLimit = std::max<quint64>(transaction.size, kDataCeiling);
    const DataLimit limit{announced, announced ? start.totalLength : unknownLimit};
    const quint64 expected = transaction.size ? transaction.size : unknownLimit;
    beginPhase(dataPhaseMs(announced ? std::min(limit.bytes, unknownLimit) : expected));
    quint64 total = 0;
    Packet packet;
    do {
        const Reader::Result read = nextPacket(&packet, m_timeouts.progressMs);
        if (read != Reader::kOk)
            return lost(read == Reader::kTimeout ? Reader::kStalled : read);
        if (!Packet::isData(packet.type) || packet.transactionId != transactionId)
            return unexpected(packet, transactionId);
        const Result checked = checkDataPacket(limit, total);
        if (checked != kResponded)
            return checked;
        const Result taken = takePayload(transaction, &total);
        if (taken != kResponded)
            return taken;
    } while (packet.type != Packet::kEndData);
    return kResponded;
}

// Before its payload is read: the packet must not carry the phase past its
// size, nor be one empty packet too many.
BRX_Commu_PtpIpLink::Result BRX_Commu_PtpIpLink::checkDataPacket(const DataLimit& limit, quint64 total)
{
    const quint32 size = m_reader.payloadRemaining();
    if (size == 0 && ++m_budget.emptyData > kEmptyDataBudget) {
        debugPrint(kDebugAlways, "%s - more than %u empty data packets in one transaction", m_name,
                   kEmptyDataBudget);
        return kLost;
    }
    if (total + size <= limit.bytes)
        return kResponded;
    if (limit.announced)
        debugPrint(kDebugAlways, "%s - data phase of %llu bytes runs past its announced %llu", m_name,
                   (unsigned long long)(total + size), (unsigned long long)limit.bytes);
    else
        debugPrint(kDebugAlways, "%s - data phase of unknown length runs past %llu bytes", m_name,
                   (unsigned long long)limit.bytes);
    return kLost;
}

BRX_Commu_PtpIpLink::Result BRX_Commu_PtpIpLink::takePayload(const Transaction& transaction, quint64* total)
{
    const quint32 size = m_reader.payloadRemaining();
    const quint32 space = transaction.buffer ? transaction.size - m_payloadWritten : 0;
    const quint32 kept = std::min(size, space);
    Reader::Result read = m_reader.readPayload(transaction.buffer + m_payloadWritten, kept, m_timeouts.progressMs);
    if (read == Reader::kOk)
        read = m_reader.readPayload(nullptr, size - kept, m_timeouts.progressMs);
    if (read != Reader::kOk)
        return lost(read);
    m_payloadWritten += kept;
    *total += size;
    return kResponded;
}

// The camera has not begun to answer: it is asked to give the transaction
// up. If its answer (whatever it is) comes within the settle limit, the
// connection is in step again.
BRX_Commu_PtpIpLink::Result BRX_Commu_PtpIpLink::cancel(const Transaction& transaction, quint32 transactionId,
                                                        quint16* responseCode)
{
    debugPrint(kDebugAlways, "%s - cancelling transaction 0x%08X", m_name, transactionId);
    beginPhase(m_timeouts.settleMs + m_timeouts.progressMs);
    if (!send(Packet::cancel(transactionId)))
        return lost(unsent());
    Transaction dropped = transaction;
    dropped.buffer = nullptr;
    bool timedOut = false;
    const Result result = readReply(dropped, transactionId, m_timeouts.settleMs, responseCode, &timedOut);
    if (timedOut)
        return lost(Reader::kTimeout);
    return result == kResponded ? kFailed : result;
}

BRX_Commu_PtpIpLink::Result BRX_Commu_PtpIpLink::lost(Reader::Result result)
{
    if (result != Reader::kMalformed) // the reader logs what it found
        debugPrint(kDebugAlways, "%s - %s", m_name, readerFailure(result));
    return kLost;
}

BRX_Commu_PtpIpLink::Result BRX_Commu_PtpIpLink::unexpected(const BRX_Commu_PtpIpPacket& packet,
                                                            quint32 transactionId)
{
    debugPrint(kDebugAlways, "%s - unexpected %s of transaction 0x%08X, expected 0x%08X", m_name,
               Packet::typeName(packet.type), packet.transactionId, transactionId);
    return kLost;
}
