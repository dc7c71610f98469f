#include "BRX_SDK.h"
#include "EmulatedCameraTarget.h"
#include "EmulatedUsbDevice.h"
#include "FaultScript.h"
#include "SdkHost.h"
#include "VirtualCameraFixture.h"
#include "VirtualCameraFunction.h"

#include <QtTest>
#include <algorithm>
#include <memory>

// The whole library, through the exported functions, over real libusb to an
// emulated camera that misbehaves once: afterwards the camera is still (or,
// after leaving the bus, again) connected, a property set is confirmed and
// a picture arrives byte-exact.
class TestUsbRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cameraStaysUsable_data();
    void cameraStaysUsable();
    void silentCameraIsClosedAndConnectedAgain();
    void releasedPairArrivesAfterAnUnplug_data();
    void releasedPairArrivesAfterAnUnplug();

private:
    bool faultPlayedOut();
    void setCompensation(qint32 value);
    bool compensationConfirmed(qint32 value);
    bool pictureArrivesIntact();
    QVector<quint32> pictureHandles();

    std::unique_ptr<VirtualCameraFunction> m_function;
    std::unique_ptr<EmulatedUsbDevice> m_device;
    std::unique_ptr<SdkHost> m_host;
};

namespace {

typedef BRX_Commu_VirtualCameraLink::Fault Fault;

const int kProductId = 0x2031;
const int kTimeoutMs = 20000;
const quint16 kOpGetObject = 0x1009;
const quint16 kOpRelease = 0x9004;
const quint16 kOpGetDevicePropValue = 0x1015;
const quint16 kOpSetDevicePropValue = 0x1016;
const quint16 kPropExposureBias = 0x5010;
const int kPropertyCompensation = 7;
const quint32 kMidPicture = 64 * 1024;
const quint32 kSmallDng = 256 * 1024;
const quint32 kSmallJpg = 128 * 1024;
const quint32 kLargeDng = 25u << 20;
const int kFrameNoData = 6;
const int kFramePictureLost = 12;

} // namespace

// Short waits, so that a late answer or a pause outlasts them quickly.
void TestUsbRecovery::initTestCase()
{
    FaultScript::shortenLinkTimeouts();
}

void TestUsbRecovery::init()
{
    EmulatedUsbDevice::Descriptor descriptor;
    descriptor.productId = kProductId;
    m_function.reset(new VirtualCameraFunction(kProductId, descriptor.bulkPacketSize));
    m_function->device().store().setPictureWidth(VirtualCameraFixture::kPictureWidth);
    m_function->device().store().setPictureSizes(kSmallDng, kSmallJpg);
    m_device.reset(new EmulatedUsbDevice(descriptor, m_function.get()));
    m_device->plug();
    m_host.reset(new SdkHost(0)); // USB hardware: libusb finds the emulated camera
    QVERIFY(m_host->waitForInitialState(kTimeoutMs));
}

// Off the bus first, so that the library's last notification has arrived
// before it exits.
void TestUsbRecovery::cleanup()
{
    m_device->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!m_host->isConnected(), kTimeoutMs);
    m_host.reset();
    m_device.reset();
    m_function.reset();
}

void TestUsbRecovery::cameraStaysUsable_data()
{
    QTest::addColumn<FaultScript>("script");
    QTest::addColumn<bool>("duringDownload"); // else during a property set
    QTest::addColumn<bool>("leavesTheBus");
    QTest::newRow("late answer") << FaultScript().add(Fault::kLateAnswer, kOpGetDevicePropValue, 0, 1000) << false
                                 << false;
    QTest::newRow("pause in a data phase")
        << FaultScript().add(Fault::kPauseInData, kOpGetObject, kMidPicture, 3000) << true << false;
    QTest::newRow("bulk-in stalls") << FaultScript().add(Fault::kStallBulkIn, kOpGetObject, kMidPicture) << true
                                    << false;
    QTest::newRow("bulk-out stalls") << FaultScript().add(Fault::kStallBulkOut, kOpSetDevicePropValue) << false
                                     << false;
    QTest::newRow("short data phase") << FaultScript().add(Fault::kShortData, kOpGetObject, 100000) << true << false;
    QTest::newRow("over-long data phase") << FaultScript().add(Fault::kLongData, kOpGetObject, 3000) << true << false;
    QTest::newRow("wrong container type") << FaultScript().add(Fault::kWrongType, kOpGetObject) << true << false;
    QTest::newRow("busy for a while") << FaultScript().add(Fault::kBusy, kOpSetDevicePropValue, 0, 1500) << false
                                      << false;
    QTest::newRow("vanishes mid-transaction") << FaultScript().add(Fault::kVanish, kOpGetObject, kMidPicture) << true
                                              << true;
}

void TestUsbRecovery::cameraStaysUsable()
{
    QFETCH(FaultScript, script);
    QFETCH(bool, duringDownload);
    QFETCH(bool, leavesTheBus);
    EmulatedCameraTarget target(*m_device, *m_function);
    script.applyTo(target);
    if (duringDownload)
        m_device->withFunction([&](EmulatedFunction*) { m_function->device().takePicture(); });
    else
        setCompensation(1000);
    QVERIFY(faultPlayedOut());
    if (leavesTheBus) {
        QTRY_VERIFY_WITH_TIMEOUT(!m_host->isConnected(), kTimeoutMs);
        m_device->plug();
        m_host->clearChanges();
        QVERIFY(m_host->waitForInitialState(kTimeoutMs));
    }
    setCompensation(-1000);
    QVERIFY(compensationConfirmed(-1000));
    QVERIFY(pictureArrivesIntact());
    QCOMPARE(m_host->connections().size(), leavesTheBus ? 3 : 1);
}

// A camera that answers nothing, not even after a reset, is given up; once
// it answers again, discovery connects it.
void TestUsbRecovery::silentCameraIsClosedAndConnectedAgain()
{
    EmulatedCameraTarget target(*m_device, *m_function);
    FaultScript().add(Fault::kSilence, 0, 0, 9000).applyTo(target);
    setCompensation(1000);
    setCompensation(500);
    QTRY_VERIFY_WITH_TIMEOUT(!m_host->isConnected(), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_host->isConnected(), kTimeoutMs);
    setCompensation(-1000);
    QVERIFY(compensationConfirmed(-1000));
    QCOMPARE(m_host->connections().size(), 3);
}

void TestUsbRecovery::releasedPairArrivesAfterAnUnplug_data()
{
    QTest::addColumn<FaultScript>("script");
    QTest::addColumn<quint32>("dngSize");
    QTest::newRow("download cut") << FaultScript().add(Fault::kVanish, kOpGetObject, kMidPicture) << kSmallDng;
    QTest::newRow("25 MB download cut halfway")
        << FaultScript().add(Fault::kVanish, kOpGetObject, kLargeDng / 2) << kLargeDng;
    QTest::newRow("release answer cut") << FaultScript().add(Fault::kVanish, kOpRelease, 1) << kSmallDng;
}

// The host's release, and the camera leaves the bus before the pair is
// delivered: once it is back, both files arrive byte-exact, each once, and
// the host hears of no file without data and no lost picture.
void TestUsbRecovery::releasedPairArrivesAfterAnUnplug()
{
    QFETCH(FaultScript, script);
    QFETCH(quint32, dngSize);
    m_device->withFunction(
        [&](EmulatedFunction*) { m_function->device().store().setPictureSizes(dngSize, kSmallJpg); });
    EmulatedCameraTarget target(*m_device, *m_function);
    script.applyTo(target);
    BRX_SDK_capture();
    QVERIFY(faultPlayedOut());
    QTRY_VERIFY_WITH_TIMEOUT(!m_host->isConnected(), kTimeoutMs);
    // The emulated camera stores a picture's files as it takes it.
    QList<QByteArray> files;
    m_device->withFunction([&](EmulatedFunction*) {
        for (quint32 handle : pictureHandles())
            files << m_function->device().store().find(handle)->data;
    });
    QCOMPARE(files.size(), 2);
    m_device->plug();

    FrameRecorder& frames = m_host->frames();
    const auto timesDelivered = [&frames](const QByteArray& file) {
        const QList<FrameRecorder::Record> records = frames.records();
        return int(std::count_if(records.begin(), records.end(),
                                 [&file](const FrameRecorder::Record& record) { return record.bytes == file; }));
    };
    QTRY_COMPARE_WITH_TIMEOUT(timesDelivered(files.at(0)) + timesDelivered(files.at(1)), 2, kTimeoutMs);
    QCOMPARE(timesDelivered(files.at(0)), 1);
    QCOMPARE(timesDelivered(files.at(1)), 1);
    QCOMPARE(frames.countOf(kFrameNoData), 0);
    QCOMPARE(frames.countOf(kFramePictureLost), 0);
}

// The fault has fired and the camera holds nothing back any more.
bool TestUsbRecovery::faultPlayedOut()
{
    const auto playedOut = [&] {
        bool done = false;
        m_device->withFunction([&](EmulatedFunction*) {
            done = m_function->link().pendingFaults() == 0 && m_function->link().msUntilDue() < 0;
        });
        return done;
    };
    return QTest::qWaitFor(playedOut, kTimeoutMs);
}

void TestUsbRecovery::setCompensation(qint32 value)
{
    BRX_SDK_setPropertyQueued(kPropertyCompensation, &value, sizeof value);
}

// The host was told, and the camera holds the value.
bool TestUsbRecovery::compensationConfirmed(qint32 value)
{
    const auto confirmed = [&] {
        qint64 onCamera = 0;
        m_device->withFunction(
            [&](EmulatedFunction*) { onCamera = m_function->device().propertyValue(kPropExposureBias); });
        return onCamera == value && m_host->last<qint32>(kPropertyCompensation) == value;
    };
    return QTest::qWaitFor(confirmed, kTimeoutMs);
}

// A picture taken on the camera body: each of its files reaches the frame
// callback with the camera's bytes.
bool TestUsbRecovery::pictureArrivesIntact()
{
    QList<QByteArray> files;
    m_device->withFunction([&](EmulatedFunction*) {
        const QVector<quint32> before = pictureHandles();
        m_function->device().takePicture();
        for (quint32 handle : pictureHandles()) {
            if (!before.contains(handle))
                files << m_function->device().store().find(handle)->data;
        }
    });
    const auto arrived = [&] {
        QList<QByteArray> frames;
        for (const FrameRecorder::Record& record : m_host->frames().records())
            frames << record.bytes;
        return std::all_of(files.begin(), files.end(), [&](const QByteArray& file) { return frames.contains(file); });
    };
    return !files.isEmpty() && QTest::qWaitFor(arrived, kTimeoutMs);
}

// The picture files on the camera; called with the device's lock held.
QVector<quint32> TestUsbRecovery::pictureHandles()
{
    QVector<quint32> pictures;
    for (quint32 handle : m_function->device().store().handles()) {
        if ((handle & 0xF) == 1 || (handle & 0xF) == 6)
            pictures << handle;
    }
    return pictures;
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (!EmulatedUsbDevice::createTestbed()) {
        std::fprintf(stderr, "umockdev preload library not loaded: skipping\n");
        return 77;
    }
    TestUsbRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_usbrecovery.moc"
