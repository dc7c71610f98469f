#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccess_Dummy.h"
#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Debug.h"
#include "BRX_Logic_CameraLens.h"
#include "BRX_Logic_DeviceInfo.h"
#include "LogCapture.h"

#include <QCryptographicHash>
#include <QtTest>

namespace {

QString digest(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().left(12));
}

} // namespace

class TestDummyAccess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    // Simulated camera
    void announcesEveryTime();
    void openAndCloseOnce();
    void deviceInfoBufferSize_data();
    void deviceInfoBufferSize();
    void deviceInfoContents();
    void settingsBlock();
    void lensData();
    void commandsFail();

    // WLAN placeholder
    void wlanFailsEverything();
};

void TestDummyAccess::initTestCase()
{
    setDebugFlags(kDebugSimulation, true);
}

void TestDummyAccess::announcesEveryTime()
{
    BRX_Commu_CameraAccess_Dummy dummy;
    QSignalSpy available(&dummy, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(dummy.checkDeviceAvailable());
    QVERIFY(dummy.checkDeviceAvailable());
    QCOMPARE(available.count(), 2);
    const QList<QVariant> expected{0x100, QVariant::fromValue(quint64(0)), 0x2031, QStringLiteral("DummyID")};
    QCOMPARE(available.at(1), expected);
}

void TestDummyAccess::openAndCloseOnce()
{
    LogCapture log;
    BRX_Commu_CameraAccess_Dummy dummy;
    QSignalSpy opened(&dummy, &BRX_Commu_CameraAccess_Base::signalConnectionOpened);
    QSignalSpy closed(&dummy, &BRX_Commu_CameraAccess_Base::signalConnectionClosed);
    QVERIFY(!dummy.closeConnection());
    QVERIFY(dummy.openConnection(0, 0x2031, "DummyID"));
    QVERIFY(!dummy.openConnection(0, 0x2031, "DummyID"));
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(0).toInt(), 0x100);
    QCOMPARE(dummy.productId(), 0x2031);
    QVERIFY(log.contains("BRX_Commu_CameraAccess_Dummy::openConnection() - ProductId = 0x2031"));
    QVERIFY(dummy.closeConnection());
    QVERIFY(!dummy.closeConnection());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(dummy.productId(), 0);
}

void TestDummyAccess::deviceInfoBufferSize_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("255") << 255 << false;
    QTest::newRow("256") << 256 << true;
    QTest::newRow("1024") << 1024 << true;
}

void TestDummyAccess::deviceInfoBufferSize()
{
    QFETCH(int, size);
    QFETCH(bool, succeeds);
    LogCapture log;
    BRX_Commu_CameraAccess_Dummy dummy;
    QByteArray buffer(size, char(0x77));
    QCOMPARE(dummy.getDeviceInfo(buffer.data(), quint32(size)), succeeds);
    QCOMPARE(log.contains("getDeviceInfo() - Error: command code 0x00001001 (Device Info)"), !succeeds);
    if (succeeds)
        QVERIFY(buffer.mid(253) == QByteArray(size - 253, '\0')); // the strings end at 253
}

void TestDummyAccess::deviceInfoContents()
{
    BRX_Commu_CameraAccess_Dummy dummy;
    BRX_Logic_DeviceInfo info(&dummy);
    QCOMPARE(info.getManufacturer(), QStringLiteral("Orvane Dummy AG"));
    QCOMPARE(info.getModel(), QStringLiteral("ZQ Digital SLR Dummy"));
    QCOMPARE(info.getDeviceVersion(), QStringLiteral("01.02.03.04"));
    QCOMPARE(info.getSerialNumber(), QStringLiteral("0000000001200345"));
    QVERIFY(!info.isOperationSupported(0x9008));
    QVERIFY(info.isOperationSupported(0));

    QByteArray raw(256, '\0');
    QVERIFY(dummy.getDeviceInfo(raw.data(), 256));
    QCOMPARE(digest(raw), QString("b6dbf25802c2"));
}

void TestDummyAccess::settingsBlock()
{
    BRX_Commu_CameraAccess_Dummy dummy;
    QByteArray block(100, char(0x77));
    QVERIFY(dummy.getCameraSettings(block.data(), 100));
    BRX_Commu_ByteReader reader(block.constData(), 100);
    QCOMPARE(reader.readU16At(0x4a), quint16(0x0767));
    QCOMPARE(digest(block), QString("4630801139be"));
    LogCapture log;
    QVERIFY(!dummy.getCameraSettings(block.data(), 99));
    QVERIFY(log.contains("Error: command code 0x00009002 (Camera Settings)"));
}

void TestDummyAccess::lensData()
{
    LogCapture log;
    BRX_Commu_CameraAccess_Dummy dummy;
    QByteArray lens(101, '\0');
    QVERIFY(!dummy.getLensData(lens.data(), 100));
    QVERIFY(log.contains("getLensData() - Error: command code 0x00009003 (Lens Parameter)"));
    QVERIFY(dummy.getLensData(lens.data(), 101));
    QCOMPARE(lens.mid(1, 60), QByteArray("Varnix-T 70").leftJustified(60, ' '));
    QCOMPARE(digest(lens), QString("4974bb7a733a"));
}

void TestDummyAccess::commandsFail()
{
    LogCapture log;
    BRX_Commu_CameraAccess_Dummy dummy;
    QVERIFY(dummy.openConnection(0, 0x2031, "DummyID"));
    QVERIFY(!dummy.initiateCapture());
    QVERIFY(log.contains("initiateCapture() - Error: no device connected"));
    const QByteArray block(100, '\0');
    QVERIFY(!dummy.setCameraSettings(block.constData(), 100));
    QCOMPARE(log.count("Error: no device connected"), 2);
    QByteArray buffer(36, '\0');
    QVERIFY(!dummy.getStreamInfo(buffer.data(), 36));
    QVERIFY(log.contains("getStreamInfo() - Error: command code 0x00001024 not implemented"));
}

void TestDummyAccess::wlanFailsEverything()
{
    LogCapture log;
    BRX_Commu_CameraAccess_WLAN wlan;
    QSignalSpy available(&wlan, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QSignalSpy opened(&wlan, &BRX_Commu_CameraAccess_Base::signalConnectionOpened);
    QVERIFY(!wlan.checkDeviceAvailable());
    QVERIFY(!wlan.openConnection(1, 0x2031, "wlan"));
    QVERIFY(!wlan.closeConnection());
    QCOMPARE(available.count() + opened.count(), 0);
    QByteArray buffer(16, '\0');
    QVERIFY(!wlan.getLensData(buffer.data(), 16));
    QVERIFY(!wlan.setCameraSettings(buffer.constData(), 16));
    QVERIFY(!wlan.keepCameraActive());
    QVERIFY(!wlan.sendCommand(0x901D, 0, nullptr, nullptr));
    QCOMPARE(log.count("Error: no device connected"), 4);
    QVERIFY(log.contains("BRX_Commu_CameraAccess_WLAN::sendCommand() - Error: no device connected"));
}

QTEST_GUILESS_MAIN(TestDummyAccess)
#include "tst_dummyaccess.moc"
