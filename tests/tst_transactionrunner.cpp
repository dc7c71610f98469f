#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Commu_VirtualCameraPtpIpServer.h"
#include "BRX_Debug.h"
#include "LogCapture.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

// The USB and the network access run their transactions alike, through one
// runner: over either transport the same camera gives the same outcome, the
// same repetitions and the same log lines.
class TestTransactionRunner : public QObject
{
    Q_OBJECT
private slots:
    void init() { setDebugFlags(kDebugPtp, true); }
    void cleanup() { setDebugFlags(kDebugPtp, false); }
    void deviceBusyIsRepeatedFiveTimes_data();
    void deviceBusyIsRepeatedFiveTimes();
    void dataArrivesUnderTheTransportsLabel_data();
    void dataArrivesUnderTheTransportsLabel();
    void withoutACameraNothingIsSent_data();
    void withoutACameraNothingIsSent();
};

namespace {

enum Transport { kUsb, kNetwork };

const int kProduct = 0x2031;

// A virtual camera and an access to it over one transport, opened as the
// controller opens it.
struct Connection {
    explicit Connection(Transport transport)
        : camera(BRX_Commu_VirtualCamera::create(kProduct))
    {
        if (transport == kUsb) {
            access.reset(new BRX_Commu_CameraAccess_Usb_PTP(camera->createScanner()));
        } else {
            server.reset(new BRX_Commu_VirtualCameraPtpIpServer(camera));
            access.reset(new BRX_Commu_CameraAccess_WLAN(server->hostAndPort()));
        }
    }
    ~Connection() { access->closeConnection(); }

    bool open()
    {
        QSignalSpy available(access.get(), &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
        return access->checkDeviceAvailable() && available.count() == 1
            && access->openConnection(available.at(0).at(1).value<quint64>(), available.at(0).at(2).toInt(),
                                      available.at(0).at(3).toString());
    }
    int operationCount() const { return camera->operationLog().size(); }

    std::shared_ptr<BRX_Commu_VirtualCamera> camera;
    std::unique_ptr<BRX_Commu_VirtualCameraPtpIpServer> server;
    std::unique_ptr<BRX_Commu_CameraAccess_Base> access;
};

void addTransportColumn()
{
    QTest::addColumn<int>("transport");
}

QString transportName(int transport)
{
    return transport == kUsb ? QStringLiteral("USB") : QStringLiteral("network");
}

} // namespace

void TestTransactionRunner::deviceBusyIsRepeatedFiveTimes_data()
{
    addTransportColumn();
    QTest::addColumn<int>("busyAnswers");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("attempts");
    for (int transport : {kUsb, kNetwork}) {
        const QByteArray name = transportName(transport).toLatin1();
        QTest::newRow(name + ", busy once") << transport << 1 << true << 2;
        QTest::newRow(name + ", busy five times") << transport << 5 << true << 6;
        QTest::newRow(name + ", busy six times") << transport << 6 << false << 6;
    }
}

void TestTransactionRunner::deviceBusyIsRepeatedFiveTimes()
{
    QFETCH(int, transport);
    QFETCH(int, busyAnswers);
    QFETCH(bool, succeeds);
    QFETCH(int, attempts);
    Connection connection{Transport(transport)};
    QVERIFY(connection.open());
    LogCapture log;
    connection.camera->injectBusy(busyAnswers);
    const int before = connection.operationCount();
    QCOMPARE(connection.access->keepCameraActive(), succeeds);
    QCOMPARE(connection.operationCount() - before, attempts);
    QCOMPARE(log.count("keepCameraActive() - MTP Response code: 0x00002019"), succeeds ? 0 : 1);
    QCOMPARE(log.count("keepCameraActive() - successful"), succeeds ? 1 : 0);
}

void TestTransactionRunner::dataArrivesUnderTheTransportsLabel_data()
{
    addTransportColumn();
    QTest::addColumn<QString>("label");
    QTest::newRow("USB") << int(kUsb) << "BRX_Commu_CameraAccess_Usb_PTP::recvData()";
    QTest::newRow("network") << int(kNetwork) << "BRX_Commu_CameraAccess_WLAN::recvData()";
}

// A caller without a label of its own gets the transport's; the buffer holds
// what the camera sent, zeroed beyond, and the count says how much that was.
void TestTransactionRunner::dataArrivesUnderTheTransportsLabel()
{
    QFETCH(int, transport);
    QFETCH(QString, label);
    Connection connection{Transport(transport)};
    QVERIFY(connection.open());
    LogCapture log;
    QByteArray buffer(512, char(0xAA));
    quint32 received = 0;
    QVERIFY(connection.access->recvData(BRX_Commu_PtpCodes::kOpGetLensData, 0, nullptr, buffer.data(),
                                        quint32(buffer.size()), nullptr, &received));
    const QByteArray lens = BRX_Commu_VirtualCameraProfile::lensData();
    QCOMPARE(received, quint32(lens.size()));
    QCOMPARE(buffer.left(lens.size()), lens);
    QCOMPARE(buffer.mid(lens.size()), QByteArray(buffer.size() - lens.size(), '\0'));
    QVERIFY(log.contains(label + " - successful"));
}

void TestTransactionRunner::withoutACameraNothingIsSent_data()
{
    addTransportColumn();
    QTest::addColumn<QString>("line");
    QTest::newRow("USB, silently") << int(kUsb) << QString();
    QTest::newRow("network") << int(kNetwork) << "BRX_Commu_CameraAccess_WLAN::sendData() - Error: no device connected";
}

void TestTransactionRunner::withoutACameraNothingIsSent()
{
    QFETCH(int, transport);
    QFETCH(QString, line);
    Connection connection{Transport(transport)};
    LogCapture log;
    const QByteArray block(100, '\0');
    QVERIFY(!connection.access->sendData(BRX_Commu_PtpCodes::kOpSetCameraSettings, 0, nullptr, block.constData(),
                                         quint32(block.size()), nullptr));
    QCOMPARE(connection.operationCount(), 0);
    QCOMPARE(log.lines().filter(" - ").filter("sendData()"), line.isEmpty() ? QStringList() : QStringList(line));
}

QTEST_GUILESS_MAIN(TestTransactionRunner)
#include "tst_transactionrunner.moc"
