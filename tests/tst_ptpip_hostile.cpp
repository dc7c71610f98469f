#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_PtpIpPacket.h"
#include "BRX_Commu_PtpTransaction.h"
#include "BRX_Debug.h"
#include "BRX_SDK.h"
#include "LinkTimeouts.h"
#include "LogCapture.h"
#include "PtpIpProxy.h"
#include "SdkHost.h"

#include <QtTest>
#include <memory>

// A hostile camera on the network, played by a proxy between the library
// and the served virtual camera, seen through the exported functions: a
// flood of events, a data phase without end, empty Data packets, probes
// without end, a handshake that trickles. Each costs the camera its
// connection (or keeps it from connecting) and nothing more; once the
// camera behaves, it connects and answers.
class TestPtpIpHostile : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void eventFloodCostsTheConnection();
    void answerWithoutEndIsGivenUp_data();
    void answerWithoutEndIsGivenUp();
    void tricklingHandshakeIsGivenUp();
};

namespace {

typedef BRX_Commu_PtpIpPacket Packet;

const int kTimeoutMs = 30000;
const quint16 kOpGetDeviceInfo = 0x1001;
const quint32 kUnknownLength = 0xFFFFFFFF;

quint32 u32At(const QByteArray& packet, quint32 offset)
{
    return BRX_Commu_ByteReader(packet.constData(), quint32(packet.size())).readU32At(offset);
}

quint16 u16At(const QByteArray& packet, quint32 offset)
{
    return BRX_Commu_ByteReader(packet.constData(), quint32(packet.size())).readU16At(offset);
}

QByteArray dataPacket(quint32 transactionId, int payloadSize)
{
    return Packet::dataHeader(Packet::kData, transactionId, quint32(payloadSize)) + QByteArray(payloadSize, 'd');
}

// How the proxy answers one operation in the camera's place.
enum Answer { kEndlessData, kEmptyDataPackets, kEndlessProbes };

// The answer to the next request of opCode on each command connection is
// replaced: its first packet (Start Data or the response) and everything
// after it give way to the answer, which never ends. The host's probe
// responses are kept from the camera, which sent no probe.
void hijackAnswer(PtpIpProxy& proxy, quint16 opCode, Answer answer)
{
    struct State {
        qint64 transactionId = -1;
        bool answering = false;
    };
    const auto state = std::make_shared<State>();
    proxy.setFilter(PtpIpProxy::kCommand, PtpIpProxy::kToCamera, [state, opCode](const QByteArray& packet) {
        const quint32 type = u32At(packet, 4);
        if (type == Packet::kInitCommandRequest)
            *state = State();
        if (type == Packet::kOperationRequest && u16At(packet, 12) == opCode)
            state->transactionId = u32At(packet, 14);
        return type == Packet::kProbeResponse ? QByteArray() : packet;
    });
    proxy.setFilter(PtpIpProxy::kCommand, PtpIpProxy::kToHost, [state, answer](const QByteArray& packet) {
        const quint32 type = u32At(packet, 4);
        const bool first = (type == Packet::kStartData && u32At(packet, 8) == state->transactionId)
            || (type == Packet::kOperationResponse && u32At(packet, 10) == state->transactionId);
        if (!first || state->answering)
            return state->answering ? QByteArray() : packet;
        state->answering = true;
        if (answer == kEndlessProbes)
            return QByteArray();
        const bool known = answer == kEmptyDataPackets && type == Packet::kStartData;
        return Packet::startData(quint32(state->transactionId),
                                 known ? BRX_Commu_ByteReader(packet.constData(), 20).readU64At(12) : ~quint64(0));
    });
    proxy.setSource(PtpIpProxy::kCommand, PtpIpProxy::kToHost, [state, answer] {
        if (!state->answering)
            return QByteArray();
        const quint32 transactionId = quint32(state->transactionId);
        return answer == kEndlessData     ? dataPacket(transactionId, 64 * 1024)
            : answer == kEmptyDataPackets ? dataPacket(transactionId, 0)
                                          : Packet::bare(Packet::kProbeRequest);
    });
}

void stopHijacking(PtpIpProxy& proxy)
{
    proxy.setFilter(PtpIpProxy::kCommand, PtpIpProxy::kToCamera, PtpIpProxy::Filter());
    proxy.setFilter(PtpIpProxy::kCommand, PtpIpProxy::kToHost, PtpIpProxy::Filter());
    proxy.setSource(PtpIpProxy::kCommand, PtpIpProxy::kToHost, PtpIpProxy::Source());
}

} // namespace

void TestPtpIpHostile::cleanup()
{
    BRX_Commu_PtpTransaction::setDefaultTimeouts(BRX_Commu_PtpTransaction::Timeouts());
    setDebugFlags(kDebugPtp, false);
}

// 14-byte events sent faster than the host handles them: the camera is
// given up once (one line), its connection closes and opens again, and the
// host's next set is confirmed.
void TestPtpIpHostile::eventFloodCostsTheConnection()
{
    SdkHost host(0x2011, SdkHost::kProxiedNetwork);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    LogCapture log;
    QByteArray flood;
    const QByteArray settingsChanged = Packet::event(0xC000, 0, {});
    for (int i = 0; i < 200000; ++i)
        flood += settingsChanged;
    host.proxy()->inject(PtpIpProxy::kEvents, PtpIpProxy::kToHost, flood);
    const QList<QPair<bool, int>> expected{{true, 0x2011}, {false, 0x2011}, {true, 0x2011}};
    QTRY_COMPARE_WITH_TIMEOUT(host.connections(), expected, kTimeoutMs);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QCOMPARE(log.count(QStringLiteral("the camera sent more events than the host can queue")), 1);
}

void TestPtpIpHostile::answerWithoutEndIsGivenUp_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("logged");
    QTest::newRow("data of unknown length without end")
        << int(kEndlessData) << "data phase of unknown length runs past 16777216 bytes";
    QTest::newRow("empty Data packets without end")
        << int(kEmptyDataPackets) << "more than 16 empty data packets in one transaction";
    QTest::newRow("probe requests without end")
        << int(kEndlessProbes) << "more than 16 probe requests in one transaction";
}

// The camera's DeviceInfo, which discovery reads, never ends: discovery
// gives the connection up and tries again; once the camera answers
// properly, it connects.
void TestPtpIpHostile::answerWithoutEndIsGivenUp()
{
    QFETCH(int, answer);
    QFETCH(QString, logged);
    setAnyDataRate();
    LogCapture log;
    SdkHost host(0x2031, SdkHost::kProxiedNetwork);
    hijackAnswer(*host.proxy(), kOpGetDeviceInfo, Answer(answer));
    QTRY_VERIFY2_WITH_TIMEOUT(log.count(logged) >= 2, qPrintable(log.lines().join('\n')), kTimeoutMs);
    QVERIFY(host.connections().isEmpty());
    stopHijacking(*host.proxy());
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QCOMPARE(host.connections(), (QList<QPair<bool, int>>{{true, 0x2031}}));
}

// The camera's Ack comes a byte at a time, each within the progress
// timeout: the handshake is given up at the packet's limit, again at each
// try, until the camera answers at full speed.
void TestPtpIpHostile::tricklingHandshakeIsGivenUp()
{
    BRX_Commu_PtpTransaction::Timeouts timeouts;
    timeouts.progressMs = 500;
    timeouts.handshakeMs = 1000;
    BRX_Commu_PtpTransaction::setDefaultTimeouts(timeouts);
    LogCapture log;
    SdkHost host(0x2021, SdkHost::kProxiedNetwork);
    host.proxy()->setThrottle(PtpIpProxy::kToHost, 5);
    setDebugFlags(kDebugPtp, true);
    const QString givenUp = QStringLiteral("the handshake failed: the camera stopped inside a packet");
    QTRY_VERIFY2_WITH_TIMEOUT(log.count(givenUp) >= 2, qPrintable(log.lines().join('\n')), kTimeoutMs);
    QVERIFY(host.connections().isEmpty());
    host.proxy()->setThrottle(PtpIpProxy::kToHost, 0);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
}

QTEST_GUILESS_MAIN(TestPtpIpHostile)
#include "tst_ptpip_hostile.moc"
