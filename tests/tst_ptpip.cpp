#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Commu_PtpIpEventThread.h"
#include "BRX_Commu_PtpIpLink.h"
#include "BRX_Commu_PtpIpPacket.h"
#include "BRX_Commu_VirtualCameraPtpIpServer.h"
#include "BRX_Debug.h"
#include "BRX_SDK.h"
#include "BRX_Commu_TcpStream.h"
#include "BRX_Commu_VirtualCamera.h"
#include "LinkTimeouts.h"
#include "LogCapture.h"
#include "ProcessCounts.h"
#include "ScriptedPtpIpStream.h"
#include "SdkHost.h"

#include <QtTest>
#include <atomic>

// PTP over TCP/IP: the host's link and event thread against a scripted peer,
// the network export, and a hostile camera seen through the exported functions.
class TestPtpIp : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void addressesAreParsed_data();
    void addressesAreParsed();
    void dataPhasesArriveWhole_data();
    void dataPhasesArriveWhole();
    void brokenRepliesCostTheConnection_data();
    void brokenRepliesCostTheConnection();
    void dataPhaseOfTheCameraForAnOutgoingOneCostsTheConnection();
    void aLateCameraIsCancelledAndStaysInStep();
    void budgetsPerTransaction_data();
    void budgetsPerTransaction();
    void aTricklingCameraMeetsItsDeadline_data();
    void aTricklingCameraMeetsItsDeadline();
    void aTricklingHandshakeFails();
    void eventConnectionPassesEventsAndProbesTheSilence();
    void aTricklingEventConnectionIsGone();
    void servedCameraBoundsWaitingConnections();
    void hostilePeerCostsOnlyTheConnection_data();
    void hostilePeerCostsOnlyTheConnection();
};

namespace {

typedef BRX_Commu_PtpIpPacket Packet;
typedef BRX_Commu_PtpIpLink Link;
typedef BRX_Commu_PtpTransaction Transaction;
typedef BRX_Commu_VirtualCameraPtpIpServer Server;

const int kTimeoutMs = 20000;
const quint16 kOpGetObject = 0x1009;
const quint16 kOpRelease = 0x9004;

QByteArray u32(quint32 value)
{
    QByteArray out;
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char(value >> shift));
    return out;
}

QByteArray dataPacket(Packet::Type type, quint32 transactionId, const QByteArray& payload)
{
    return Packet::dataHeader(type, transactionId, quint32(payload.size())) + payload;
}

QByteArray repeated(const QByteArray& bytes, int times)
{
    QByteArray out;
    for (int i = 0; i < times; ++i)
        out += bytes;
    return out;
}

// A camera that trickles sends a byte or a packet this often, well within
// the progress limit of the short timeouts, which it yet outlasts.
const int kTrickleMs = 100;
const int kShortMs = 200;

enum Trickle { kBytewise, kProbes, kDataPackets, kLateProbe };

// An answer (OK, transaction 0) that comes a little at a time: its bytes,
// probes before it, or a data phase of bufferSize bytes in small packets.
void addTrickledAnswer(ScriptedPtpIpStream& peer, Trickle trickle, int bufferSize)
{
    const QByteArray response = Packet::operationResponse(0x2001, 0, {});
    if (trickle == kBytewise) {
        peer.addTrickle(response, kTrickleMs);
        return;
    }
    if (trickle == kLateProbe) {
        peer.addLate(Packet::bare(Packet::kProbeRequest), 3 * kShortMs);
        peer.addBytes(response);
        return;
    }
    if (trickle == kDataPackets)
        peer.addBytes(Packet::startData(0, quint64(bufferSize)));
    const int pieces = trickle == kProbes ? 10 : bufferSize / 10;
    for (int piece = 0; piece < pieces; ++piece) {
        peer.addQuiet(kTrickleMs);
        const Packet::Type type = piece + 1 < pieces ? Packet::kData : Packet::kEndData;
        peer.addBytes(trickle == kProbes ? Packet::bare(Packet::kProbeRequest)
                                         : dataPacket(type, 0, QByteArray(10, 'd')));
    }
    peer.addBytes(response);
}

// A link over a scripted command connection, its handshake done.
struct ScriptedLink {
    ScriptedLink()
    {
        peer = new ScriptedPtpIpStream;
        peer->addBytes(Packet::initCommandAck(7, "camera-guid", QStringLiteral("Camera")));
        link.reset(new Link(std::unique_ptr<BRX_Commu_PtpIpStream>(peer)));
        QVERIFY(link->initCommand({"host-guid", QStringLiteral("Host")}, "test"));
        sentBefore = peer->written().size();
    }
    Link::Result transact(Transaction::Direction direction, QByteArray* buffer, quint16* code)
    {
        sentBefore = peer->written().size();
        const quint32 params[2] = {0x11, 0x22};
        return link->transact(
            Transaction::make(0x9002, 2, params, direction, buffer->data(), quint32(buffer->size()), "test"), code);
    }
    QByteArray sent() const { return peer->written().mid(sentBefore); }

    ScriptedPtpIpStream* peer;
    std::unique_ptr<Link> link;
    int sentBefore = 0;
};

} // namespace

void TestPtpIp::cleanup()
{
    BRX_Commu_PtpTransaction::setDefaultTimeouts(BRX_Commu_PtpTransaction::Timeouts());
}

void TestPtpIp::addressesAreParsed_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("name") << "camera.local" << true << "camera.local" << 15740;
    QTest::newRow("name and port") << "10.0.0.7:1234" << true << "10.0.0.7" << 1234;
    QTest::newRow("IPv6 in brackets") << "[fe80::1]:99" << true << "fe80::1" << 99;
    QTest::newRow("bare IPv6") << "fe80::1" << true << "fe80::1" << 15740;
    QTest::newRow("port 0") << "camera:0" << false << "" << 0;
    QTest::newRow("port too large") << "camera:65536" << false << "" << 0;
    QTest::newRow("no host") << ":15740" << false << "" << 0;
    QTest::newRow("blank inside") << "my camera" << false << "" << 0;
}

void TestPtpIp::addressesAreParsed()
{
    QFETCH(QString, address);
    QFETCH(bool, ok);
    QString host;
    quint16 port = 0;
    QCOMPARE(BRX_Commu_CameraAccess_WLAN::parseAddress(address, &host, &port), ok);
    QCOMPARE(BRX_SDK_useNetworkCamera(address.toUtf8().constData()), ok);
    BRX_SDK_useNetworkCamera(nullptr);
    if (!ok)
        return;
    QTEST(host, "host");
    QTEST(int(port), "port");
}

void TestPtpIp::dataPhasesArriveWhole_data()
{
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<bool>("bytewise");
    QTest::newRow("buffer of the data's size") << 300 << false;
    QTest::newRow("smaller buffer: the rest dropped") << 100 << false;
    QTest::newRow("larger buffer: zeroed past the data") << 400 << false;
    QTest::newRow("every read a single byte") << 300 << true;
}

// Start Data, Data, End Data and the response, split anyhow; the request is
// the standard's packet; data out goes as Start Data and End Data.
void TestPtpIp::dataPhasesArriveWhole()
{
    QFETCH(int, bufferSize);
    QFETCH(bool, bytewise);
    ScriptedLink scripted;
    QByteArray payload(300, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7);
    const QByteArray reply = Packet::startData(0, 300) + dataPacket(Packet::kData, 0, payload.left(120))
        + dataPacket(Packet::kEndData, 0, payload.mid(120)) + Packet::operationResponse(0x2001, 0, {});
    for (int i = 0; i < reply.size(); i += bytewise ? 1 : reply.size())
        scripted.peer->addBytes(reply.mid(i, bytewise ? 1 : -1));

    QByteArray buffer(bufferSize, 'x');
    quint16 code = 0;
    QCOMPARE(scripted.transact(Transaction::kDataIn, &buffer, &code), Link::kResponded);
    QCOMPARE(code, quint16(0x2001));
    QCOMPARE(scripted.sent(), Packet::operationRequest(Packet::kNoDataOrDataIn, 0x9002, 0, {0x11, 0x22}));
    const int kept = qMin(bufferSize, 300);
    QCOMPARE(int(scripted.link->payloadReceived()), kept);
    QCOMPARE(buffer.left(kept), payload.left(kept));
    QCOMPARE(buffer.mid(kept), QByteArray(bufferSize - kept, '\0'));

    scripted.peer->addBytes(Packet::operationResponse(0x2001, 1, {}));
    QByteArray out("settings");
    QCOMPARE(scripted.transact(Transaction::kDataOut, &out, &code), Link::kResponded);
    QCOMPARE(scripted.sent(), Packet::operationRequest(Packet::kDataOut, 0x9002, 1, {0x11, 0x22})
                                  + Packet::startData(1, 8) + dataPacket(Packet::kEndData, 1, out));
}

void TestPtpIp::brokenRepliesCostTheConnection_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("staysOpen");
    QTest::addColumn<QString>("logged");
    QTest::newRow("length below the header") << u32(4) + u32(7) << true << "invalid packet length 0x00000004";
    QTest::newRow("length beyond any packet")
        << u32(0xFFFFFFF0) + u32(7) << true << "invalid packet length 0xFFFFFFF0";
    QTest::newRow("unknown type") << u32(8) + u32(0x77) << true << "invalid packet type 0x00000077";
    QTest::newRow("body of the wrong layout") << u32(11) + u32(7) + QByteArray(3, '\0') << true
                                              << "invalid Operation Response";
    QTest::newRow("data past its announced total")
        << Packet::startData(0, 4) + dataPacket(Packet::kEndData, 0, QByteArray(8, 'd')) << true
        << "data phase of 8 bytes runs past its announced 4";
    QTest::newRow("response of another transaction")
        << Packet::operationResponse(0x2001, 5, {}) << true << "unexpected Operation Response of transaction 0x00000005";
    QTest::newRow("peer stops inside a packet")
        << Packet::startData(0, 100) + Packet::dataHeader(Packet::kEndData, 0, 100) + QByteArray(10, 'd') << true
        << "the camera stopped inside a packet";
    QTest::newRow("peer closes mid-data")
        << Packet::startData(0, 100) + Packet::dataHeader(Packet::kEndData, 0, 100) + QByteArray(10, 'd') << false
        << "the camera closed the connection";
}

// Whatever the camera sends, the transaction ends with the connection lost
// and a line that says why; nothing is read past the packet's bounds.
void TestPtpIp::brokenRepliesCostTheConnection()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, staysOpen);
    QFETCH(QString, logged);
    ScriptedLink scripted;
    scripted.peer->addBytes(reply);
    if (staysOpen)
        scripted.peer->setEnd(BRX_Commu_PtpIpStream::kTimeout);
    LogCapture log;
    QByteArray buffer(64, '\0');
    quint16 code = 0;
    QCOMPARE(scripted.transact(Transaction::kDataIn, &buffer, &code), Link::kLost);
    QVERIFY2(log.contains(logged), qPrintable(log.lines().join('\n')));
}

// The host's outgoing data is only lent to the link: a camera that answers
// it with a data phase of its own is out of step and writes nothing there.
void TestPtpIp::dataPhaseOfTheCameraForAnOutgoingOneCostsTheConnection()
{
    ScriptedLink scripted;
    scripted.peer->addBytes(Packet::startData(0, 4) + dataPacket(Packet::kEndData, 0, "CAMR")
                            + Packet::operationResponse(0x2001, 0, {}));
    LogCapture log;
    QByteArray out("host");
    quint16 code = 0;
    QCOMPARE(scripted.transact(Transaction::kDataOut, &out, &code), Link::kLost);
    QCOMPARE(out, QByteArray("host"));
    QVERIFY2(log.contains("unexpected Start Data of transaction 0x00000000, expected 0x00000000"),
             qPrintable(log.lines().join('\n')));
}

// No answer in time: Cancel goes out; the answer that then comes ends the
// transaction and the next one runs. A camera silent to Cancel too is lost.
void TestPtpIp::aLateCameraIsCancelledAndStaysInStep()
{
    ScriptedLink scripted;
    scripted.peer->addTimeout();
    scripted.peer->addBytes(Packet::operationResponse(0x201F, 0, {}) + Packet::operationResponse(0x2001, 1, {}));
    QByteArray none;
    quint16 code = 0;
    QCOMPARE(scripted.transact(Transaction::kNoData, &none, &code), Link::kFailed);
    QVERIFY(scripted.sent().endsWith(Packet::cancel(0)));
    QCOMPARE(scripted.transact(Transaction::kNoData, &none, &code), Link::kResponded);
    QCOMPARE(code, quint16(0x2001));

    scripted.peer->addTimeout();
    scripted.peer->addTimeout();
    QCOMPARE(scripted.transact(Transaction::kNoData, &none, &code), Link::kLost);
}

// Events reach the callback with their parameters, a probe is answered, a
// quiet connection is probed, and one that stays quiet is gone.
void TestPtpIp::eventConnectionPassesEventsAndProbesTheSilence()
{
    ScriptedPtpIpStream stream;
    stream.addBytes(Packet::event(0xC00A, 0, {0x5010}) + Packet::bare(Packet::kProbeRequest));
    stream.addTimeout();
    stream.setEnd(BRX_Commu_PtpIpStream::kTimeout);
    std::mutex mutex;
    QVector<BRX_Commu_PtpContainer> events;
    std::atomic<bool> gone{false};
    {
        BRX_Commu_PtpIpEventThread thread(
            stream, BRX_Commu_PtpTransaction::defaultTimeouts(),
            [&](const BRX_Commu_PtpContainer& event) {
                std::lock_guard<std::mutex> locker(mutex);
                events << event;
            },
            [&] { gone = true; });
        QTRY_VERIFY(gone);
    }
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().code, quint16(0xC00A));
    QCOMPARE(events.first().params, QVector<quint32>{0x5010});
    QCOMPARE(stream.written(), Packet::bare(Packet::kProbeResponse) + Packet::bare(Packet::kProbeRequest));
}

void TestPtpIp::budgetsPerTransaction_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("logged");
    const QByteArray probe = Packet::bare(Packet::kProbeRequest);
    const QByteArray empty = dataPacket(Packet::kData, 0, QByteArray());
    const QByteArray response = Packet::operationResponse(0x2001, 0, {});
    const QByteArray unknownLength = Packet::startData(0, ~quint64(0));
    QTest::newRow("probes within the budget") << repeated(probe, 16) + response << 0 << int(Link::kResponded) << "";
    QTest::newRow("a probe past the budget")
        << repeated(probe, 17) + response << 0 << int(Link::kLost) << "more than 16 probe requests in one transaction";
    QTest::newRow("empty data packets within the budget")
        << Packet::startData(0, 4) + repeated(empty, 16) + dataPacket(Packet::kEndData, 0, "abcd") + response
        << 4 << int(Link::kResponded) << "";
    QTest::newRow("an empty data packet past the budget")
        << Packet::startData(0, 4) + repeated(empty, 17) + dataPacket(Packet::kEndData, 0, "abcd") + response << 4
        << int(Link::kLost) << "more than 16 empty data packets in one transaction";
    QTest::newRow("unknown length within the buffer")
        << unknownLength + dataPacket(Packet::kEndData, 0, QByteArray(100, 'd')) + response << 300
        << int(Link::kResponded) << "";
    QTest::newRow("unknown length past the ceiling")
        << unknownLength + repeated(dataPacket(Packet::kData, 0, QByteArray(1 << 20, 'd')), 17)
            + dataPacket(Packet::kEndData, 0, QByteArray()) + response
        << 64 << int(Link::kLost) << "data phase of unknown length runs past 16777216 bytes";
}

// A camera may probe the host and send empty Data packets, but a few per
// transaction only; a data phase of unknown length ends at the larger of
// the buffer and the link's ceiling.
void TestPtpIp::budgetsPerTransaction()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, bufferSize);
    QFETCH(QString, logged);
    setAnyDataRate();
    ScriptedLink scripted;
    scripted.peer->addBytes(reply);
    scripted.peer->setEnd(BRX_Commu_PtpIpStream::kTimeout);
    LogCapture log;
    QByteArray buffer(bufferSize, '\0');
    quint16 code = 0;
    QTEST(int(scripted.transact(bufferSize ? Transaction::kDataIn : Transaction::kNoData, &buffer, &code)), "result");
    if (!logged.isEmpty())
        QVERIFY2(log.contains(logged), qPrintable(log.lines().join('\n')));
}

void TestPtpIp::aTricklingCameraMeetsItsDeadline_data()
{
    QTest::addColumn<int>("trickle");
    QTest::addColumn<QString>("logged");
    QTest::newRow("answer a byte at a time") << int(kBytewise) << "the camera stopped inside a packet";
    QTest::newRow("probes that stretch the wait") << int(kProbes) << "the camera's answer ran past its deadline";
    QTest::newRow("data a few bytes at a time")
        << int(kDataPackets) << "the camera's answer ran past its deadline";
    QTest::newRow("a probe read after the deadline")
        << int(kLateProbe) << "the camera's answer ran past its deadline";
}

// Each byte, probe or Data packet comes within the progress timeout, yet
// the packet, the answer or the data phase runs past its deadline: the
// transaction ends with the connection lost.
void TestPtpIp::aTricklingCameraMeetsItsDeadline()
{
    QFETCH(int, trickle);
    QFETCH(QString, logged);
    BRX_Commu_PtpTransaction::setDefaultTimeouts(shortLinkTimeouts(kShortMs));
    ScriptedLink scripted;
    const int bufferSize = trickle == kDataPackets ? 1000 : 0;
    addTrickledAnswer(*scripted.peer, Trickle(trickle), bufferSize);
    LogCapture log;
    QByteArray buffer(bufferSize, '\0');
    quint16 code = 0;
    QCOMPARE(scripted.transact(bufferSize ? Transaction::kDataIn : Transaction::kNoData, &buffer, &code),
             Link::kLost);
    QVERIFY2(log.contains(logged), qPrintable(log.lines().join('\n')));
}

void TestPtpIp::aTricklingHandshakeFails()
{
    BRX_Commu_PtpTransaction::setDefaultTimeouts(shortLinkTimeouts(kShortMs));
    auto* peer = new ScriptedPtpIpStream;
    peer->addTrickle(Packet::initCommandAck(7, "camera-guid", QStringLiteral("Camera")), kTrickleMs);
    Link link{std::unique_ptr<BRX_Commu_PtpIpStream>(peer)};
    LogCapture log;
    setDebugFlags(kDebugPtp, true);
    const bool accepted = link.initCommand({"host-guid", QStringLiteral("Host")}, "test");
    setDebugFlags(kDebugPtp, false);
    QVERIFY(!accepted);
    QVERIFY2(log.contains("test - the handshake failed: the camera stopped inside a packet"),
             qPrintable(log.lines().join('\n')));
}

void TestPtpIp::hostilePeerCostsOnlyTheConnection_data()
{
    QTest::addColumn<int>("misbehaviour");
    QTest::addColumn<int>("opCode");
    QTest::newRow("length beyond any packet") << int(Server::kOversizedLength) << int(kOpRelease);
    QTest::newRow("unknown packet type") << int(Server::kUnknownType) << int(kOpRelease);
    QTest::newRow("stops mid-data") << int(Server::kStopInData) << int(kOpGetObject);
    QTest::newRow("silent, even to Cancel") << int(Server::kSilence) << int(kOpRelease);
}

// The camera breaks the protocol during a capture: the host sees the camera
// go (init callback false), then come back with the next connection.
void TestPtpIp::hostilePeerCostsOnlyTheConnection()
{
    QFETCH(int, misbehaviour);
    QFETCH(int, opCode);
    BRX_Commu_PtpTransaction::Timeouts timeouts;
    timeouts.firstAnswerMs = 1500;
    timeouts.patientAnswerMs = 1500;
    timeouts.progressMs = 1500;
    timeouts.settleMs = 500;
    BRX_Commu_PtpTransaction::setDefaultTimeouts(timeouts);
    SdkHost host(0x2009, SdkHost::kNetwork);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    host.server()->misbehave(quint16(opCode), Server::Misbehaviour(misbehaviour));

    BRX_SDK_capture();
    const QList<QPair<bool, int>> expected{{true, 0x2009}, {false, 0x2009}, {true, 0x2009}};
    QTRY_COMPARE_WITH_TIMEOUT(host.connections(), expected, kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(host.server()->connectionCount(), 2, kTimeoutMs);
}

// An event that trickles in is no event: the connection is gone.
void TestPtpIp::aTricklingEventConnectionIsGone()
{
    ScriptedPtpIpStream stream;
    stream.addTrickle(Packet::event(0xC000, 0, {}), kTrickleMs);
    stream.setEnd(BRX_Commu_PtpIpStream::kTimeout);
    std::atomic<int> events{0};
    std::atomic<bool> gone{false};
    {
        BRX_Commu_PtpIpEventThread thread(
            stream, shortLinkTimeouts(kShortMs), [&](const BRX_Commu_PtpContainer&) { ++events; },
            [&] { gone = true; });
        QTRY_VERIFY(gone);
    }
    QCOMPARE(int(events), 0);
}

// Connections that trickle their first packet take a thread each only up
// to the waiting limit and only until their handshake limit; the others are
// closed as they come. A host then gets in, and the next is told the camera
// is busy.
void TestPtpIp::servedCameraBoundsWaitingConnections()
{
    Server::Limits limits;
    limits.waitingConnections = 2;
    limits.handshakeMs = 500;
    Server server(BRX_Commu_VirtualCamera::create(0x2031), 0, QStringLiteral("127.0.0.1"), limits);
    QVERIFY(server.isListening());
    const int threadsBefore = ProcessCounts::threads();
    std::vector<std::unique_ptr<BRX_Commu_TcpStream>> clients;
    QString error;
    for (int i = 0; i < 12; ++i) {
        clients.push_back(
            BRX_Commu_TcpStream::connectTo(QStringLiteral("127.0.0.1"), server.port(), kTimeoutMs, &error));
        QVERIFY2(clients.back(), qPrintable(error));
    }
    const QByteArray request = Packet::initCommandRequest("trickler", QStringLiteral("Trickler"));
    int sent = 0;
    int mostThreads = 0;
    // Each look sends every client's next byte; a closed one is counted.
    const auto allClosed = [&] {
        mostThreads = qMax(mostThreads, ProcessCounts::threads());
        const quint8 next = quint8(request.at(sent++ % request.size()));
        int closed = 0;
        for (const auto& client : clients) {
            quint8 answer = 0;
            quint32 received = 0;
            if (client->read(&answer, 1, &received, 0) == BRX_Commu_PtpIpStream::kClosed
                || client->write(&next, 1, 0) == BRX_Commu_PtpIpStream::kClosed)
                ++closed;
        }
        return closed == int(clients.size());
    };
    QTRY_VERIFY_WITH_TIMEOUT(allClosed(), kTimeoutMs);
    QVERIFY2(mostThreads <= threadsBefore + limits.waitingConnections,
             qPrintable(QStringLiteral("%1 threads, %2 before").arg(mostThreads).arg(threadsBefore)));
    QVERIFY(server.turnedAwayCount() > 0);

    const Link::Initiator host{"host-guid", QStringLiteral("Host")};
    std::unique_ptr<Link> first = Link::open(QStringLiteral("127.0.0.1"), server.port(), host, "first");
    QVERIFY(first);
    QVERIFY(!Link::open(QStringLiteral("127.0.0.1"), server.port(), host, "second"));
}

QTEST_GUILESS_MAIN(TestPtpIp)
#include "tst_ptpip.moc"
