#include "BRX_Commu_VirtualCameraPtpIpServer.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_PtpContainer.h"
#include "BRX_Commu_PtpIpPacket.h"
#include "BRX_Commu_PtpIpReader.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"

#include <algorithm>

namespace {

typedef BRX_Commu_PtpIpPacket Packet;
typedef BRX_Commu_PtpIpReader Reader;

// How often a waiting connection looks at the camera and the stop request.
const int kPollMs = 100;
// For a new connection's first packet, and without progress inside a packet.
const int kPatienceMs = 5000;
// A host's data phase is held whole: larger ones end the connection.
const quint64 kMaxDataOut = 16 << 20;
const quint32 kEventBytes = 64;

bool sendBytes(BRX_Commu_PtpIpStream& stream, const QByteArray& bytes)
{
    return stream.write(reinterpret_cast<const quint8*>(bytes.constData()), quint32(bytes.size()), kPatienceMs)
        == BRX_Commu_PtpIpStream::kOk;
}

QByteArray bareHeader(quint32 length, quint32 type)
{
    QByteArray out;
    BRX_Commu_ByteWriter::appendU32(out, length);
    BRX_Commu_ByteWriter::appendU32(out, type);
    return out;
}

} // namespace

struct BRX_Commu_VirtualCameraPtpIpServer::Session {
    quint32 number;
    int generation;
    BRX_Commu_PtpIpStream* command;
    BRX_Commu_PtpIpStream* events;
};

BRX_Commu_VirtualCameraPtpIpServer::BRX_Commu_VirtualCameraPtpIpServer(
    std::shared_ptr<BRX_Commu_VirtualCamera> camera, quint16 port, const QString& address)
    : BRX_Commu_VirtualCameraPtpIpServer(std::move(camera), port, address, Limits())
{
}

BRX_Commu_VirtualCameraPtpIpServer::BRX_Commu_VirtualCameraPtpIpServer(
    std::shared_ptr<BRX_Commu_VirtualCamera> camera, quint16 port, const QString& address, const Limits& limits)
    : m_camera(std::move(camera))
    , m_limits(limits)
    , m_listener(address, port)
{
    if (!m_listener.isListening()) {
        debugPrint(kDebugAlways, "%s - cannot listen on %s port %u: %s", BRX_METHOD, qPrintable(address), port,
                   qPrintable(m_listener.error()));
        return;
    }
    debugPrint(kDebugSimulation, "%s - product 0x%04X on %s port %u", BRX_METHOD, m_camera->productId(),
               qPrintable(address), m_listener.port());
    m_acceptor = std::thread(&BRX_Commu_VirtualCameraPtpIpServer::acceptConnections, this);
}

BRX_Commu_VirtualCameraPtpIpServer::~BRX_Commu_VirtualCameraPtpIpServer()
{
    m_stop = true;
    m_listener.shutdown();
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        for (BRX_Commu_PtpIpStream* stream : qAsConst(m_streams))
            stream->shutdown();
    }
    if (m_acceptor.joinable())
        m_acceptor.join();
    for (Worker& worker : m_workers)
        worker.thread.join();
}

QString BRX_Commu_VirtualCameraPtpIpServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

void BRX_Commu_VirtualCameraPtpIpServer::misbehave(quint16 opCode, Misbehaviour misbehaviour)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_misbehaviours.insert(opCode, misbehaviour);
}

int BRX_Commu_VirtualCameraPtpIpServer::connectionCount() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return int(m_connections);
}

int BRX_Commu_VirtualCameraPtpIpServer::turnedAwayCount() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_turnedAway;
}

bool BRX_Commu_VirtualCameraPtpIpServer::takeMisbehaviour(quint16 opCode, Misbehaviour* misbehaviour)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (!m_misbehaviours.contains(opCode))
        return false;
    *misbehaviour = m_misbehaviours.take(opCode);
    return true;
}

// A stream opened while the server stops is shut down at once.
void BRX_Commu_VirtualCameraPtpIpServer::registerStream(BRX_Commu_PtpIpStream* stream, bool open)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (!open) {
        m_streams.removeOne(stream);
        return;
    }
    m_streams.append(stream);
    if (m_stop)
        stream->shutdown();
}

void BRX_Commu_VirtualCameraPtpIpServer::acceptConnections()
{
    while (!m_stop) {
        reapWorkers();
        std::unique_ptr<BRX_Commu_TcpStream> accepted = m_listener.accept(kPollMs);
        if (accepted)
            admitConnection(std::move(accepted));
    }
}

// A connection beyond the waiting limit is closed at once, as a camera's
// full backlog would refuse it.
void BRX_Commu_VirtualCameraPtpIpServer::admitConnection(std::unique_ptr<BRX_Commu_PtpIpStream> accepted)
{
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (m_waiting >= m_limits.waitingConnections) {
            ++m_turnedAway;
            debugPrint(kDebugSimulation, "%s - %d connections wait for their handshake: one more turned away",
                       BRX_METHOD, m_waiting);
            return;
        }
        ++m_waiting;
    }
    BRX_Commu_PtpIpStream* stream = accepted.release();
    registerStream(stream, true);
    const auto done = std::make_shared<std::atomic<bool>>(false);
    m_workers.push_back({std::thread([this, stream, done] {
                             greetHost(stream);
                             registerStream(stream, false);
                             delete stream;
                             *done = true;
                         }),
                         done});
}

void BRX_Commu_VirtualCameraPtpIpServer::reapWorkers()
{
    for (auto worker = m_workers.begin(); worker != m_workers.end();) {
        if (!*worker->done) {
            ++worker;
            continue;
        }
        worker->thread.join();
        worker = m_workers.erase(worker);
    }
}

// The first packet, whole within the handshake limit, says which of a
// host's two connections this is; the connection waits no more after it.
void BRX_Commu_VirtualCameraPtpIpServer::greetHost(BRX_Commu_PtpIpStream* stream)
{
    const std::string label = BRX_METHOD;
    Reader reader(*stream, label.c_str());
    reader.setDeadline(QDeadlineTimer(m_limits.handshakeMs));
    Packet request;
    const Reader::Result greeted = reader.next(&request, m_limits.handshakeMs, kPatienceMs);
    reader.setDeadline(QDeadlineTimer(QDeadlineTimer::Forever));
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        --m_waiting;
    }
    if (greeted != Reader::kOk)
        return;
    if (request.type == Packet::kInitCommandRequest)
        serveCommands(*stream, reader, request);
    else if (request.type == Packet::kInitEventRequest)
        serveEvents(*stream, reader, request);
    else
        debugPrint(kDebugAlways, "%s - a connection began with %s", label.c_str(), Packet::typeName(request.type));
}

// A camera switched off takes no connection; one that serves a host is busy.
void BRX_Commu_VirtualCameraPtpIpServer::serveCommands(BRX_Commu_PtpIpStream& stream, BRX_Commu_PtpIpReader& reader,
                                                       const BRX_Commu_PtpIpPacket& request)
{
    const int generation = m_camera->currentGeneration();
    if (generation < 0)
        return;
    std::shared_ptr<Session> session;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (!m_session)
            m_session = session = std::make_shared<Session>(Session{++m_connections, generation, &stream, nullptr});
    }
    if (!session) {
        sendBytes(stream, Packet::initFail(Packet::kBusy));
        return;
    }
    debugPrint(kDebugSimulation, "%s - connection %u from \"%s\"", BRX_METHOD, session->number,
               qPrintable(request.name));
    const QString model = BRX_Commu_VirtualCameraProfile::model(m_camera->productId());
    bool open = sendBytes(stream, Packet::initCommandAck(session->number, model.toLatin1(), model));
    while (open) {
        Packet packet;
        const Reader::Result result = reader.next(&packet, kPollMs, kPatienceMs);
        if (result == Reader::kTimeout) {
            open = !m_stop && m_camera->currentGeneration() == generation;
        } else if (result != Reader::kOk) {
            open = false;
        } else if (packet.type == Packet::kOperationRequest) {
            open = serveOperation(*session, reader, packet);
        } else if (packet.type == Packet::kProbeRequest) {
            open = sendBytes(stream, Packet::bare(Packet::kProbeResponse));
        } else if (packet.type == Packet::kCancel) {
            m_camera->cancelOperation(generation, packet.transactionId);
        } else {
            debugPrint(kDebugAlways, "%s - unexpected %s", BRX_METHOD, Packet::typeName(packet.type));
            open = false;
        }
    }
    finishSession(session);
}

// The camera is told first, so that a connection that follows at once gets
// the next generation.
void BRX_Commu_VirtualCameraPtpIpServer::finishSession(const std::shared_ptr<Session>& session)
{
    m_camera->endSessions(session->generation);
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (m_session == session)
            m_session.reset();
        if (session->events)
            session->events->shutdown();
    }
    debugPrint(kDebugSimulation, "%s - connection %u ended", BRX_METHOD, session->number);
}

bool BRX_Commu_VirtualCameraPtpIpServer::serveOperation(Session& session, BRX_Commu_PtpIpReader& reader,
                                                        const BRX_Commu_PtpIpPacket& request)
{
    QByteArray dataOut;
    if (request.dataPhase == Packet::kDataOut && !receiveData(reader, request.transactionId, &dataOut))
        return false;
    Misbehaviour misbehaviour = kSilence;
    const bool misbehaves = takeMisbehaviour(request.code, &misbehaviour);
    if (misbehaves && misbehaviour == kSilence)
        return true;
    BRX_Commu_VirtualCameraDevice::Reply reply;
    if (!m_camera->execute(session.generation, request.code, request.transactionId, request.params, dataOut,
                           &reply))
        return false;
    if (!misbehaves)
        return sendReply(session, request.transactionId, reply.code, reply.hasData ? &reply.data : nullptr);
    switch (misbehaviour) {
    case kOversizedLength:
        return sendBytes(*session.command, bareHeader(0xFFFFFFF0, Packet::kOperationResponse));
    case kUnknownType:
        return sendBytes(*session.command, bareHeader(Packet::kHeaderSize, 0x77));
    default:
        return !reply.hasData || sendData(session, request.transactionId, reply.data, true);
    }
}

// Start Data, then Data packets up to End Data, no more than announced.
bool BRX_Commu_VirtualCameraPtpIpServer::receiveData(BRX_Commu_PtpIpReader& reader, quint32 transactionId,
                                                     QByteArray* data)
{
    Packet packet;
    if (reader.next(&packet, kPatienceMs, kPatienceMs) != Reader::kOk || packet.type != Packet::kStartData
        || packet.transactionId != transactionId || packet.totalLength > kMaxDataOut) {
        debugPrint(kDebugAlways, "%s - no acceptable data phase for transaction %u", BRX_METHOD, transactionId);
        return false;
    }
    data->reserve(int(packet.totalLength));
    do {
        if (reader.next(&packet, kPatienceMs, kPatienceMs) != Reader::kOk || !Packet::isData(packet.type)
            || packet.transactionId != transactionId
            || quint64(data->size()) + reader.payloadRemaining() > kMaxDataOut)
            return false;
        const int offset = data->size();
        data->resize(offset + int(reader.payloadRemaining()));
        if (reader.readPayload(reinterpret_cast<quint8*>(data->data()) + offset, reader.payloadRemaining(),
                               kPatienceMs)
            != Reader::kOk)
            return false;
    } while (packet.type != Packet::kEndData);
    return true;
}

bool BRX_Commu_VirtualCameraPtpIpServer::sendReply(Session& session, quint32 transactionId, quint16 code,
                                                   const QByteArray* data)
{
    return (!data || sendData(session, transactionId, *data, false))
        && sendBytes(*session.command, Packet::operationResponse(code, transactionId, {}));
}

// Data packets, the last one as End Data, each written whole.
bool BRX_Commu_VirtualCameraPtpIpServer::sendData(Session& session, quint32 transactionId, const QByteArray& data,
                                                  bool stopHalfway)
{
    BRX_Commu_PtpIpStream& stream = *session.command;
    const quint32 size = quint32(data.size());
    if (!sendBytes(stream, Packet::startData(transactionId, size)))
        return false;
    quint32 offset = 0;
    do {
        const quint32 chunk = std::min<quint32>(size - offset, Packet::kDataPacketPayload);
        const Packet::Type type = offset + chunk == size ? Packet::kEndData : Packet::kData;
        const quint32 sent = stopHalfway ? chunk / 2 : chunk;
        if (!sendBytes(stream, Packet::dataHeader(type, transactionId, chunk) + data.mid(int(offset), int(sent))))
            return false;
        offset += chunk;
    } while (offset < size && !stopHalfway);
    return true;
}

void BRX_Commu_VirtualCameraPtpIpServer::serveEvents(BRX_Commu_PtpIpStream& stream, BRX_Commu_PtpIpReader& reader,
                                                     const BRX_Commu_PtpIpPacket& request)
{
    std::shared_ptr<Session> session;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (m_session && m_session->number == request.connectionNumber && !m_session->events) {
            session = m_session;
            session->events = &stream;
        }
    }
    if (!session) {
        sendBytes(stream, Packet::initFail(Packet::kRejectedInitiator));
        return;
    }
    bool open = sendBytes(stream, Packet::bare(Packet::kInitEventAck));
    while (open && !m_stop)
        open = answerProbes(stream, reader) && passEvent(*session, stream);
    // Either connection ending ends both.
    std::lock_guard<std::mutex> locker(m_mutex);
    session->events = nullptr;
    if (m_session == session)
        session->command->shutdown();
}

bool BRX_Commu_VirtualCameraPtpIpServer::answerProbes(BRX_Commu_PtpIpStream& stream, BRX_Commu_PtpIpReader& reader)
{
    Packet packet;
    const Reader::Result result = reader.next(&packet, 0, kPatienceMs);
    if (result == Reader::kTimeout)
        return true;
    if (result != Reader::kOk)
        return false;
    if (packet.type == Packet::kProbeRequest)
        return sendBytes(stream, Packet::bare(Packet::kProbeResponse));
    return packet.type == Packet::kProbeResponse;
}

// False once the camera has been unplugged.
bool BRX_Commu_VirtualCameraPtpIpServer::passEvent(Session& session, BRX_Commu_PtpIpStream& stream)
{
    quint8 bytes[kEventBytes];
    quint32 received = 0;
    const BRX_Commu_UsbPipe::Status status =
        m_camera->interruptIn(session.generation, bytes, kEventBytes, &received, kPollMs);
    if (status == BRX_Commu_UsbPipe::kNoDevice)
        return false;
    BRX_Commu_PtpContainer event;
    if (status != BRX_Commu_UsbPipe::kOk || !event.decodeHeader(bytes, received) || !event.decodeParams(bytes, received))
        return true;
    return sendBytes(stream, Packet::event(event.code, event.transactionId, event.params));
}
