#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"
#include "FaultScript.h"
#include "LogCapture.h"
#include "VirtualCameraRig.h"
#include "VirtualCameraTarget.h"

#include <QtTest>

namespace {

const quint16 kOpTest = 0x9901;
const quint16 kOpGetCameraSettings = 0x9002;
const quint16 kOpSetCameraSettings = 0x9001;
const quint16 kOpGetLensData = 0x9003;
const quint16 kOpInitiateCapture = 0x100E;
const quint16 kOpSetDevicePropValue = 0x1016;
const quint16 kOpKeepCameraActive = 0x901D;
const quint32 kTestDataSize = 4096;

typedef BRX_Commu_VirtualCameraLink::Fault Fault;

// What a recovery test asks of the camera.
enum Operation { kKeepAlive, kLensData, kTestData, kSettingsWrite, kCapture };

QByteArray pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xFF);
    return data;
}

} // namespace

class TestUsbTransport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    // Framing
    void commandParameters_data();
    void commandParameters();
    void tooManyParametersAreNotSent();
    void dataIn_data();
    void dataIn();
    void dataOut_data();
    void dataOut();
    void smallPacketSize();

    // Sessions and transaction IDs
    void sessionOrder();
    void transactionIdsFollowEachOther();
    void sessionAlreadyOpenCountsAsSuccess();

    // Answers and faults
    void recvDataIntoLargerBuffer();
    void recvDataIntoSmallerBuffer();
    void responseInsteadOfData();
    void truncatedDataPhase();
    void unknownLengthIsBounded();
    void openTwiceFails();

    // Recovery
    void faultIsRecovered_data();
    void faultIsRecovered();

private:
    bool perform(Operation operation, const QByteArray& testData);

    std::unique_ptr<VirtualCameraRig> m_rig;
};

// Short waits, so that a late answer or a pause outlasts them quickly.
void TestUsbTransport::initTestCase()
{
    FaultScript::shortenLinkTimeouts();
}

void TestUsbTransport::init()
{
    setDebugFlags(kDebugPtp, true);
    m_rig.reset(new VirtualCameraRig(0x2031));
    QVERIFY(m_rig->connect());
}

void TestUsbTransport::commandParameters_data()
{
    QTest::addColumn<int>("count");
    for (int count = 0; count <= 5; ++count)
        QTest::addRow("%d parameters", count) << count;
}

void TestUsbTransport::commandParameters()
{
    QFETCH(int, count);
    QVector<quint32> received;
    m_rig->camera->setCustomOperation(kOpTest, BRX_Commu_VirtualCameraDevice::kNoData,
                                      [&received](const QVector<quint32>& params, const QByteArray&, QByteArray*) {
                                          received = params;
                                          return quint16(0x2001);
                                      });
    const quint32 params[] = {0x11111111, 2, 0xFFFFFFFF, 0, 0x80000000};
    QVERIFY(m_rig->access->sendCommand(kOpTest, quint32(count), count ? params : nullptr, "test"));
    QCOMPARE(received, QVector<quint32>(params, params + count));
}

void TestUsbTransport::tooManyParametersAreNotSent()
{
    LogCapture log;
    const quint32 params[6] = {};
    const int before = m_rig->camera->operationLog().size();
    QVERIFY(!m_rig->access->sendCommand(kOpTest, 6, params, "test"));
    QCOMPARE(m_rig->camera->operationLog().size(), before);
    QVERIFY(log.contains("test - invalid parameter count 6"));
    QVERIFY(m_rig->access->keepCameraActive());
}

void TestUsbTransport::dataIn_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("quirks");
    const int sizes[] = {0, 1, 500, 511, 512, 1012, 1024, 16372, 16384, 3 * 1024 * 1024 + 7};
    const struct {
        const char* name;
        int quirks;
    } variants[] = {
        {"plain", 0},
        {"header packet", BRX_Commu_VirtualCameraLink::kHeaderInOwnPacket},
        {"glued response", BRX_Commu_VirtualCameraLink::kResponseGlued},
        {"no zero-length packet", BRX_Commu_VirtualCameraLink::kNoZeroLengthPacket},
        {"unknown length", BRX_Commu_VirtualCameraLink::kUnknownDataLength},
        {"header packet, glued", BRX_Commu_VirtualCameraLink::kHeaderInOwnPacket
                                     | BRX_Commu_VirtualCameraLink::kResponseGlued},
    };
    for (const auto& variant : variants) {
        for (int size : sizes)
            QTest::addRow("%s %d", variant.name, size) << size << variant.quirks;
    }
}

// The next transaction succeeding shows that nothing of this one was left
// in the pipe.
void TestUsbTransport::dataIn()
{
    QFETCH(int, size);
    QFETCH(int, quirks);
    const QByteArray data = pattern(size);
    m_rig->camera->setQuirks(quirks);
    m_rig->camera->setCustomOperation(kOpTest, BRX_Commu_VirtualCameraDevice::kDataIn,
                                      [&data](const QVector<quint32>&, const QByteArray&, QByteArray* out) {
                                          *out = data;
                                          return quint16(0x2001);
                                      });
    QByteArray buffer(size, char(0x5A));
    QVERIFY(m_rig->access->recvData(kOpTest, 0, nullptr, buffer.data(), quint32(buffer.size()), "test"));
    QVERIFY(buffer == data);
    QVERIFY(m_rig->access->keepCameraActive());
    QCOMPARE(m_rig->camera->protocolErrors(), 0);
}

void TestUsbTransport::dataOut_data()
{
    QTest::addColumn<int>("size");
    for (int size : {0, 1, 499, 500, 501, 1012, 16372, 16373, 16384, 3 * 1024 * 1024 + 5})
        QTest::addRow("%d", size) << size;
}

// The virtual camera counts a missing or spurious zero-length packet and a
// container split wrongly as protocol errors.
void TestUsbTransport::dataOut()
{
    QFETCH(int, size);
    QByteArray received;
    m_rig->camera->setCustomOperation(kOpTest, BRX_Commu_VirtualCameraDevice::kDataOut,
                                      [&received](const QVector<quint32>&, const QByteArray& in, QByteArray*) {
                                          received = in;
                                          return quint16(0x2001);
                                      });
    const QByteArray data = pattern(size);
    QVERIFY(m_rig->access->sendData(kOpTest, 0, nullptr, data.constData(), quint32(size), "test"));
    QCOMPARE(received.size(), size);
    QVERIFY(received == data);
    QCOMPARE(m_rig->camera->protocolErrors(), 0);
    QVERIFY(m_rig->access->keepCameraActive());
}

// With 16-byte packets even a command with one parameter fills a packet
// exactly and needs its zero-length packet.
void TestUsbTransport::smallPacketSize()
{
    VirtualCameraRig rig(0x2009, 16);
    QVERIFY(rig.connect());
    QByteArray settings(100, '\0');
    QVERIFY(rig.access->getCameraSettings(settings.data(), 100));
    QVERIFY(settings == rig.camera->settingsBlock());
    settings[1] = 3;
    QVERIFY(rig.access->setCameraSettings(settings.constData(), 100));
    QVERIFY(rig.camera->settingsBlock() == settings);
    QCOMPARE(rig.camera->protocolErrors(), 0);
}

void TestUsbTransport::sessionOrder()
{
    QCOMPARE(m_rig->camera->operationLog().mid(0, 2), (QVector<quint16>{0x1002, 0x9005}));
    QVERIFY(m_rig->camera->isVendorSessionOpen());
    QVERIFY(m_rig->access->closeConnection());
    const QVector<quint16> log = m_rig->camera->operationLog();
    QCOMPARE(log.mid(log.size() - 2), (QVector<quint16>{0x9006, 0x1003}));
    QVERIFY(!m_rig->camera->isSessionOpen());
}

// The virtual camera answers InvalidTransactionID to any gap or repeat.
void TestUsbTransport::transactionIdsFollowEachOther()
{
    m_rig->camera->injectBusy(2);
    for (int i = 0; i < 20; ++i)
        QVERIFY(m_rig->access->keepCameraActive());
    QVERIFY(m_rig->access->closeConnection());
    QVERIFY(m_rig->access->openConnection(BRX_Commu_VirtualCamera::kVendorId, 0x2031, m_rig->camera->deviceId()));
    QVERIFY(m_rig->access->keepCameraActive());
}

// "Already open" is no failure of OpenSession. The camera counts the
// transactions of the session another access opened, though, so it refuses
// ours, and the second access does not report it open.
void TestUsbTransport::sessionAlreadyOpenCountsAsSuccess()
{
    LogCapture log;
    BRX_Commu_CameraAccess_Usb_PTP second(m_rig->camera->createScanner());
    QSignalSpy opened(&second, &BRX_Commu_CameraAccess_Base::signalConnectionOpened);
    QVERIFY(!second.openConnection(BRX_Commu_VirtualCamera::kVendorId, 0x2031, m_rig->camera->deviceId()));
    QVERIFY(log.contains("refused session 0x9005"));
    QVERIFY(!log.contains("0x0000201E"));
    QCOMPARE(opened.count(), 0);
}

void TestUsbTransport::recvDataIntoLargerBuffer()
{
    QByteArray buffer(1024, char(0xAA));
    QVERIFY(m_rig->access->getLensData(buffer.data(), 1024));
    QVERIFY(buffer.left(101) == BRX_Commu_VirtualCameraProfile::lensData());
    QVERIFY(buffer.mid(101) == QByteArray(1024 - 101, '\0'));
}

void TestUsbTransport::recvDataIntoSmallerBuffer()
{
    QByteArray buffer(16, char(0xAA));
    QVERIFY(m_rig->access->getLensData(buffer.data(), 16));
    QVERIFY(buffer == BRX_Commu_VirtualCameraProfile::lensData().left(16));
    QVERIFY(m_rig->access->keepCameraActive());
}

void TestUsbTransport::responseInsteadOfData()
{
    LogCapture log;
    m_rig->camera->failOperation(kOpGetLensData, 0x2005);
    QByteArray buffer(101, char(0xAA));
    QVERIFY(!m_rig->access->getLensData(buffer.data(), 101));
    QVERIFY(buffer == QByteArray(101, '\0'));
    QVERIFY(log.contains("getLensData() - MTP Response code: 0x00002005"));
}

void TestUsbTransport::truncatedDataPhase()
{
    VirtualCameraRig rig(0x2011);
    QVERIFY(rig.connect());
    LogCapture log;
    rig.camera->truncateNextDataPhase(40);
    QByteArray buffer(100, char(0xAA));
    QVERIFY(!rig.access->getCameraSettings(buffer.data(), 100));
    QVERIFY(log.contains("getCameraSettings() - data phase truncated: 40 of 100 bytes"));
    QVERIFY(buffer.mid(40) == QByteArray(60, '\0'));
    QVERIFY(rig.access->getCameraSettings(buffer.data(), 100));
}

// A data phase of unknown length is read no further than the caller's
// buffer or the link's ceiling (16 MiB) when the camera does not end it;
// the transaction fails and the camera is back in step.
void TestUsbTransport::unknownLengthIsBounded()
{
    const QByteArray overlong(17 << 20, char(0xEE));
    m_rig->camera->setQuirks(BRX_Commu_VirtualCameraLink::kUnknownDataLength);
    m_rig->camera->setCustomOperation(kOpTest, BRX_Commu_VirtualCameraDevice::kDataIn,
                                      [&overlong](const QVector<quint32>&, const QByteArray&, QByteArray* out) {
                                          *out = overlong;
                                          return quint16(0x2001);
                                      });
    QByteArray buffer(int(kTestDataSize), '\0');
    QVERIFY(!m_rig->access->recvData(kOpTest, 0, nullptr, buffer.data(), kTestDataSize, "test"));
    QVERIFY(m_rig->access->keepCameraActive());
}

void TestUsbTransport::openTwiceFails()
{
    QSignalSpy opened(m_rig->access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionOpened);
    QVERIFY(opened.isValid());
    QVERIFY(!m_rig->access->openConnection(BRX_Commu_VirtualCamera::kVendorId, 0x2031, m_rig->camera->deviceId()));
    QCOMPARE(opened.count(), 0);
}

void TestUsbTransport::faultIsRecovered_data()
{
    QTest::addColumn<FaultScript>("script");
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("logged");
    QTest::newRow("misnumbered response")
        << FaultScript().add(Fault::kMisnumbered, 0) << int(kKeepAlive) << false
        << "keepCameraActive() - response transaction ID 0x00000003, expected 0x00000002";
    QTest::newRow("bulk-in halts") << FaultScript().add(Fault::kStallBulkIn, kOpGetLensData, 40) << int(kLensData)
                                   << false << "getLensData() - cancelling transaction 0x00000002";
    QTest::newRow("late answer, dropped by its ID")
        << FaultScript().add(Fault::kLateAnswer, kOpKeepCameraActive, 0, 500) << int(kKeepAlive) << false
        << "keepCameraActive() - dropped a container of transaction 0x00000002";
    QTest::newRow("late answer to a release, within its limit")
        << FaultScript().add(Fault::kLateAnswer, kOpInitiateCapture, 0, 700) << int(kCapture) << true
        << "initiateCapture() - successful";
    QTest::newRow("data phase slower in all than the progress limit")
        << FaultScript().add(Fault::kPauseInData, kOpTest, 1024, 200).add(Fault::kPauseInData, kOpTest, 2048, 200)
        << int(kTestData) << true << "test - successful";
    QTest::newRow("settings write while busy for a while")
        << FaultScript().add(Fault::kBusy, kOpSetDevicePropValue, 0, 1500) << int(kSettingsWrite) << true
        << "setDevicePropValue() - successful";
    QTest::newRow("camera that settles only after a reset")
        << FaultScript().add(Fault::kStallBulkIn, kOpGetLensData).add(Fault::kBusy, kOpGetLensData, 0, 60000)
        << int(kLensData) << false << "sessions open again after the reset";
}

// After the fault the camera answers the next transactions, in the same
// session unless it had to be reset.
void TestUsbTransport::faultIsRecovered()
{
    QFETCH(FaultScript, script);
    QFETCH(int, operation);
    QFETCH(bool, succeeds);
    QFETCH(QString, logged);
    const QByteArray testData = pattern(int(kTestDataSize));
    m_rig->camera->setCustomOperation(kOpTest, BRX_Commu_VirtualCameraDevice::kDataIn,
                                      [&](const QVector<quint32>&, const QByteArray&, QByteArray* out) {
                                          *out = testData;
                                          return quint16(0x2001);
                                      });
    VirtualCameraTarget target(m_rig->camera);
    script.applyTo(target);
    LogCapture log;
    QCOMPARE(perform(Operation(operation), testData), succeeds);
    QVERIFY(perform(kKeepAlive, testData));
    QVERIFY(perform(kLensData, testData));
    QVERIFY(log.contains(logged));
}

bool TestUsbTransport::perform(Operation operation, const QByteArray& testData)
{
    BRX_Commu_CameraAccess_Usb_PTP& access = *m_rig->access;
    QByteArray buffer(int(kTestDataSize), '\0');
    const qint16 compensation = 500;
    switch (operation) {
    case kKeepAlive:
        return access.keepCameraActive();
    case kLensData:
        return access.getLensData(buffer.data(), BRX_Commu_VirtualCameraProfile::kLensDataSize);
    case kTestData:
        return access.recvData(kOpTest, 0, nullptr, buffer.data(), kTestDataSize, "test") && buffer == testData;
    case kSettingsWrite:
        return access.setDevicePropValue(0x5010, &compensation, sizeof compensation);
    case kCapture:
        return access.initiateCapture();
    }
    return false;
}

QTEST_GUILESS_MAIN(TestUsbTransport)
#include "tst_usbtransport.moc"
