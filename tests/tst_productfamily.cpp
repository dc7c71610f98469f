#include "BRX_Commu_CameraAccessFactory.h"
#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraPtpIpServer.h"
#include "BRX_Logic_CameraSettingsBase.h"
#include "BRX_Logic_CameraSettingsFactory.h"
#include "FakeCameraAccess.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

// Which access and which settings record a camera gets: every product is
// tethered over the access the factory builds and read through the record
// its family calls for, told apart by what each record does with the camera.
class TestProductFamily : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void everyProductGetsItsRecord_data();
    void everyProductGetsItsRecord();
    void anUnknownProductHasDeviceProperties();
    void everyConnectionTypeGetsItsTransport_data();
    void everyConnectionTypeGetsItsTransport();
};

namespace {

typedef BRX_Commu_CameraAccess_Base Access;
typedef BRX_Commu_PtpCodes Codes;

enum Family { kStruct, kStructM, kDeviceProperties };

// The access announces one camera; it is opened as the controller opens it.
// Returns the product announced, 0 for none.
int discoverAndOpen(Access& access)
{
    QSignalSpy available(&access, &Access::signalDeviceAvailable);
    if (!access.checkDeviceAvailable() || available.count() != 1)
        return 0;
    const QList<QVariant> camera = available.first();
    const int productId = camera.at(2).toInt();
    return access.openConnection(camera.at(1).value<quint64>(), productId, camera.at(3).toString()) ? productId : 0;
}

} // namespace

void TestProductFamily::cleanup()
{
    BRX_Commu_VirtualCamera::select(0);
    BRX_Commu_CameraAccess_WLAN::select(QString());
}

void TestProductFamily::everyProductGetsItsRecord_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("family");
    QTest::newRow("0x2009") << 0x2009 << int(kStruct);
    QTest::newRow("0x2011") << 0x2011 << int(kStruct);
    QTest::newRow("0x2021") << 0x2021 << int(kStructM);
    QTest::newRow("0x2031") << 0x2031 << int(kDeviceProperties);
    QTest::newRow("0x2041") << 0x2041 << int(kDeviceProperties);
    QTest::newRow("0x2051") << 0x2051 << int(kStructM);
    QTest::newRow("0x2061") << 0x2061 << int(kDeviceProperties);
}

// A record with a block reads and writes it whole and keeps compensation in
// half steps (struct) or thirds (M); a device-property record reads and
// writes the properties one by one.
void TestProductFamily::everyProductGetsItsRecord()
{
    QFETCH(int, productId);
    QFETCH(int, family);
    QVERIFY(BRX_Commu_VirtualCamera::select(productId));
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    const std::unique_ptr<Access> access(BRX_Commu_CameraAccessFactory::create(Access::kConnectionUsb));
    QCOMPARE(discoverAndOpen(*access), productId);

    const int before = camera->operationLog().size();
    const std::unique_ptr<BRX_Logic_CameraSettingsBase> record(
        BRX_Logic_CameraSettingsFactory::create(access.get(), nullptr));
    record->recvFromCamera(nullptr);
    const QVector<quint16> operations = camera->operationLog().mid(before);
    QCOMPARE(operations.contains(Codes::kOpGetCameraSettings), family != kDeviceProperties);
    QCOMPARE(operations.contains(Codes::kOpGetDevicePropValue), family == kDeviceProperties);

    const int afterRead = camera->operationLog().size();
    record->setExposCompens(333);
    record->sendIfChanged();
    const QVector<quint16> writes = camera->operationLog().mid(afterRead);
    QCOMPARE(writes.contains(Codes::kOpSetCameraSettings), family != kDeviceProperties);
    QCOMPARE(writes.contains(Codes::kOpSetDevicePropValue), family == kDeviceProperties);
    if (family != kDeviceProperties)
        QCOMPARE(record->exposCompens(), family == kStruct ? 500 : 333);
    QVERIFY(access->closeConnection());
}

void TestProductFamily::anUnknownProductHasDeviceProperties()
{
    FakeCameraAccess access(0x2099);
    const std::unique_ptr<BRX_Logic_CameraSettingsBase> record(
        BRX_Logic_CameraSettingsFactory::create(&access, nullptr));
    QVERIFY(access.transactions.isEmpty());
    record->recvFromCamera(nullptr);
    QVERIFY(!access.transactions.isEmpty());
    for (const FakeCameraAccess::Transaction& transaction : access.transactions)
        QCOMPARE(transaction.opCode, quint16(Codes::kOpGetDevicePropValue));
}

void TestProductFamily::everyConnectionTypeGetsItsTransport_data()
{
    QTest::addColumn<int>("connectionType");
    QTest::addColumn<int>("productId");
    QTest::newRow("USB") << int(Access::kConnectionUsb) << 0x2041;
    QTest::newRow("network") << int(Access::kConnectionWlan) << 0x2051;
    QTest::newRow("simulated") << int(Access::kConnectionSimulated) << 0x2031;
    QTest::newRow("none: 0") << 0 << 0;
    QTest::newRow("none: 3") << 3 << 0;
    QTest::newRow("none: 0x101") << 0x101 << 0;
}

// USB and the network reach the camera selected for them; the simulated
// camera is always there.
void TestProductFamily::everyConnectionTypeGetsItsTransport()
{
    QFETCH(int, connectionType);
    QFETCH(int, productId);
    std::unique_ptr<BRX_Commu_VirtualCameraPtpIpServer> server;
    if (connectionType == Access::kConnectionUsb) {
        QVERIFY(BRX_Commu_VirtualCamera::select(productId));
    } else if (connectionType == Access::kConnectionWlan) {
        server.reset(new BRX_Commu_VirtualCameraPtpIpServer(BRX_Commu_VirtualCamera::create(productId)));
        QVERIFY(BRX_Commu_CameraAccess_WLAN::select(server->hostAndPort()));
    }
    const std::unique_ptr<Access> access(BRX_Commu_CameraAccessFactory::create(connectionType));
    QCOMPARE(bool(access), productId != 0);
    if (!access)
        return;
    QCOMPARE(access->connectionType(), connectionType);
    QSignalSpy opened(access.get(), &Access::signalConnectionOpened);
    QCOMPARE(discoverAndOpen(*access), productId);
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.first().first().toInt(), connectionType);
    QVERIFY(access->closeConnection());
}

QTEST_GUILESS_MAIN(TestProductFamily)
#include "tst_productfamily.moc"
