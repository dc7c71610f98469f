#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Camera.h"
#include "FrameRecorder.h"
#include "LogCapture.h"
#include "VirtualCameraFixture.h"

#include <QPointer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;

const int kStorageTypeOffset = 0x1a;
const int kAutoPowerOffOffset = 0x2f;
const int kExposCompensOffset = 0x04;
const int kExposureModeOffset = 0x47;

void addProductRows(std::initializer_list<int> productIds)
{
    QTest::addColumn<int>("productId");
    for (int productId : productIds)
        QTest::newRow(qPrintable(QString::number(productId, 16))) << productId;
}

// Serves a device info without the given operation and event (0: keep all).
void serveDeviceInfoWithout(VirtualCameraFixture& fixture, quint16 operation, quint16 event)
{
    QVector<quint16> operations = BRX_Commu_VirtualCameraProfile::operations(fixture.device().productId());
    QVector<quint16> events = BRX_Commu_VirtualCameraProfile::events(fixture.device().productId());
    operations.removeAll(operation);
    events.removeAll(event);
    fixture.serveDeviceInfo(operations, events);
}

// Lets the camera run until the keep-alive and event traffic of its start
// has settled: a round trip through the event queue.
void settle()
{
    QCoreApplication::processEvents();
}

// A device-property camera reports the storage type written at start-up as
// a change of its own; waits until the camera has handled that echo.
bool waitForStorageTypeEcho(QSignalSpy& changed)
{
    const auto echoed = [&changed] {
        for (const QList<QVariant>& arguments : qAsConst(changed)) {
            if (arguments.first().toInt() == Access::kDevicePropExternalShooting)
                return true;
        }
        return false;
    };
    if (!echoed() && !QTest::qWaitFor(echoed))
        return false;
    settle();
    return true;
}

// A transfer thread stand-in that runs until the test lets it go.
class BlockingThread : public QThread
{
public:
    BlockingThread(QSemaphore& release, std::atomic<bool>& done)
        : m_release(release)
        , m_done(done)
    {
    }

protected:
    void run() override
    {
        m_release.acquire();
        m_done = true;
    }

private:
    QSemaphore& m_release;
    std::atomic<bool>& m_done;
};

}  // namespace

class TestCameraLifecycle : public QObject
{
    Q_OBJECT
private slots:
    // --- Construction per product ----------------------------------------------

    void comesUpForEveryProduct_data() { addProductRows({0x2009, 0x2011, 0x2021, 0x2051, 0x2031, 0x2041, 0x2061}); }
    void comesUpForEveryProduct()
    {
        QFETCH(int, productId);
        VirtualCameraFixture fixture(productId);
        QVERIFY(fixture.isOpen());
        BRX_Logic_Camera camera(fixture.access());

        QCOMPARE(camera.productId(), productId);
        // The record of the product's family read the camera's settings.
        const bool structRecord = BRX_Commu_ProductFamily::hasSettingsBlock(productId);
        QCOMPARE(fixture.operationCount(Access::kOpGetCameraSettings) > 0, structRecord);
        QCOMPARE(fixture.operationCount(Access::kOpGetDevicePropValue) > 0, !structRecord);
        QVERIFY(fixture.operationCount(Access::kOpGetDeviceInfo) > 0);
        QVERIFY(fixture.operationCount(Access::kOpGetLensData) > 0);
        QVERIFY(fixture.operationCount(Access::kOpGetGeotackingData) > 0);
        QVERIFY(camera.folderSettings());
    }

    // The two block layouts keep compensation in half and in third stops.
    void blockLayoutFollowsTheProduct_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("compensation");
        QTest::newRow("2009") << 0x2009 << 500;
        QTest::newRow("2011") << 0x2011 << 500;
        QTest::newRow("2021") << 0x2021 << 333;
        QTest::newRow("2051") << 0x2051 << 333;
    }
    void blockLayoutFollowsTheProduct()
    {
        QFETCH(int, productId);
        QFETCH(int, compensation);
        VirtualCameraFixture fixture(productId);
        BRX_Logic_Camera camera(fixture.access());
        camera.setExposCompens(333);
        QCOMPARE(camera.exposCompens(), compensation);
    }

    void structProductsSwitchStorageAndPowerOffUntilRestored_data() { addProductRows({0x2009, 0x2011, 0x2021, 0x2051}); }
    void structProductsSwitchStorageAndPowerOffUntilRestored()
    {
        QFETCH(int, productId);
        VirtualCameraFixture fixture(productId);
        const QByteArray original = fixture.device().settingsBlock();
        QVERIFY(original.at(kStorageTypeOffset) != 2);
        QVERIFY(original.at(kAutoPowerOffOffset) != 0);

        BRX_Logic_Camera camera(fixture.access());
        QCOMPARE(int(fixture.device().settingsBlock().at(kStorageTypeOffset)), 2);
        QCOMPARE(int(fixture.device().settingsBlock().at(kAutoPowerOffOffset)), 0);
        QCOMPARE(camera.autoPowerOff(), 0);

        camera.restoreAutoPowerOff();
        camera.restoreStorageType();
        QCOMPARE(fixture.device().settingsBlock(), original);
    }

    void propertyProductsSwitchStorageTypeOnly_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<bool>("hasStorageType");
        QTest::newRow("2031") << 0x2031 << true;
        QTest::newRow("2041") << 0x2041 << true;
        QTest::newRow("2061") << 0x2061 << false;
    }
    void propertyProductsSwitchStorageTypeOnly()
    {
        QFETCH(int, productId);
        QFETCH(bool, hasStorageType);
        VirtualCameraFixture fixture(productId);
        const qint64 storageType = fixture.device().propertyValue(Access::kDevicePropExternalShooting);
        const qint64 autoPowerOff = fixture.device().propertyValue(Access::kDevicePropAutoPowerOff);

        BRX_Logic_Camera camera(fixture.access());
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropExternalShooting),
                 hasStorageType ? 2 : storageType);
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropAutoPowerOff), autoPowerOff);

        camera.restoreAutoPowerOff();
        camera.restoreStorageType();
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropExternalShooting), storageType);
    }

    // --- 3D-axis data: events, polling or nothing --------------------------------

    void threeDAxisDataFollowsEvents()
    {
        VirtualCameraFixture fixture(0x2009);
        BRX_Logic_Camera camera(fixture.access());
        QSignalSpy angles(&camera, &BRX_Logic_Camera::signal3DAxisAngles);
        QVERIFY(angles.isValid());
        settle();
        // Read once when the data object was created, not polled since.
        QCOMPARE(fixture.operationCount(Access::kOpGet3DAxisData), 1);

        fixture.device().raiseEvent(Access::kVQ3DAxisDataChanged);
        QTRY_COMPARE(angles.count(), 1);
        QCOMPARE(fixture.operationCount(Access::kOpGet3DAxisData), 2);
    }

    void threeDAxisDataIsPolledWithoutEvents()
    {
        VirtualCameraFixture fixture(0x2009);
        serveDeviceInfoWithout(fixture, 0, Access::kVQ3DAxisDataChanged);
        BRX_Logic_Camera camera(fixture.access());
        QSignalSpy angles(&camera, &BRX_Logic_Camera::signal3DAxisAngles);
        QTRY_VERIFY(angles.count() >= 2);
        QVERIFY(fixture.operationCount(Access::kOpGet3DAxisData) >= 2);
    }

    void noThreeDAxisDataWithoutEventAndOperation()
    {
        VirtualCameraFixture fixture(0x2009);
        serveDeviceInfoWithout(fixture, Access::kOpGet3DAxisData, Access::kVQ3DAxisDataChanged);
        BRX_Logic_Camera camera(fixture.access());
        QSignalSpy angles(&camera, &BRX_Logic_Camera::signal3DAxisAngles);

        QVERIFY(QMetaObject::invokeMethod(&camera, "catchRefresh3DAxisData"));
        fixture.device().raiseEvent(Access::kVQ3DAxisDataChanged);
        // A later lens event proves the 3D-axis event has been handled.
        QSignalSpy lens(&camera, &BRX_Logic_Camera::signalLensChanged);
        fixture.device().raiseEvent(Access::kVQLensChanged);
        QTRY_COMPARE(lens.count(), 1);
        QCOMPARE(angles.count(), 0);
        QCOMPARE(fixture.operationCount(Access::kOpGet3DAxisData), 0);
    }

    void threeDAxisReadIsSkippedDuringTransfer()
    {
        VirtualCameraFixture fixture(0x2009);
        BRX_Logic_Camera camera(fixture.access());
        const int reads = fixture.operationCount(Access::kOpGet3DAxisData);
        camera.setTransferInProgress(true);
        QVERIFY(QMetaObject::invokeMethod(&camera, "catchRefresh3DAxisData"));
        QCOMPARE(fixture.operationCount(Access::kOpGet3DAxisData), reads);
        camera.setTransferInProgress(false);
        QVERIFY(QMetaObject::invokeMethod(&camera, "catchRefresh3DAxisData"));
        QCOMPARE(fixture.operationCount(Access::kOpGet3DAxisData), reads + 1);
    }

    // --- Camera-side changes become signals ------------------------------------

    void structBlockChangeRaisesItsSignals()
    {
        VirtualCameraFixture fixture(0x2009);
        BRX_Logic_Camera camera(fixture.access());
        settle();
        QCOMPARE(camera.exposCompens(), 0);
        QSignalSpy compensation(&camera, &BRX_Logic_Camera::signalExposCompens);
        QSignalSpy driveMode(&camera, &BRX_Logic_Camera::signalDriveMode);
        QSignalSpy lensConnection(&camera, &BRX_Logic_Camera::signalLensConnectionType);

        QByteArray block = fixture.device().settingsBlock();
        block[kExposCompensOffset] = 8;  // +1 EV in half steps
        fixture.serveSettingsBlock(block);
        fixture.device().raiseEvent(Access::kVQCameraSettingsChanged);

        QTRY_COMPARE(compensation.count(), 1);
        QCOMPARE(compensation.first().first().toInt(), 1000);
        QCOMPARE(driveMode.count(), 0);
        QCOMPARE(lensConnection.count(), 0);
    }

    // Status codes below 0xD608 in a property event raise nothing; the
    // change that follows reads only its own property.
    void devicePropertyChangeReadsOnlyThatProperty_data()
    {
        QTest::addColumn<int>("statusCode");
        QTest::newRow("alone") << 0;
        QTest::newRow("after D601") << 0xD601;
        QTest::newRow("after D604") << 0xD604;
        QTest::newRow("after D607") << 0xD607;
    }
    void devicePropertyChangeReadsOnlyThatProperty()
    {
        QFETCH(int, statusCode);
        VirtualCameraFixture fixture(0x2031);
        QSignalSpy changed(fixture.access(), &Access::signalDevicePropertyChanged);
        BRX_Logic_Camera camera(fixture.access());
        QVERIFY(waitForStorageTypeEcho(changed));
        QSignalSpy compensation(&camera, &BRX_Logic_Camera::signalExposCompens);
        QSignalSpy anyDrive(&camera, &BRX_Logic_Camera::signalDriveMode);
        const int readsBefore = fixture.operationCount(Access::kOpGetDevicePropValue);

        setDebugFlags(kDebugSettings, true);
        LogCapture log;
        if (statusCode)
            fixture.device().raiseEvent(Access::kVQDevicePropChanged, {quint32(statusCode)});
        QVERIFY(fixture.device().changeProperty(Access::kDevicePropExposureBiasCompensation, 1000));
        QTRY_COMPARE(compensation.count(), 1);
        setDebugFlags(kDebugSettings, false);
        QCOMPARE(compensation.first().first().toInt(), 1000);
        QCOMPARE(fixture.operationCount(Access::kOpGetDevicePropValue), readsBefore + 1);
        QCOMPARE(anyDrive.count(), 0);
        // Not even handed to the record as an unknown property.
        QVERIFY(!log.contains("unknown device property"));
    }

    void exposureModeChangeAlsoSignalsApertureAndShutterTime()
    {
        VirtualCameraFixture fixture(0x2009);
        BRX_Logic_Camera camera(fixture.access());
        settle();
        QSignalSpy mode(&camera, &BRX_Logic_Camera::signalExposureMode);
        QSignalSpy shutter(&camera, &BRX_Logic_Camera::signalShutterTime);
        QSignalSpy aperture(&camera, &BRX_Logic_Camera::signalAperture);

        QByteArray block = fixture.device().settingsBlock();
        block[kExposureModeOffset] = char(kVQExposureModeBulb);
        fixture.serveSettingsBlock(block);
        fixture.device().raiseEvent(Access::kVQCameraSettingsChanged);

        QTRY_COMPARE(mode.count(), 1);
        QCOMPARE(mode.first().first().toInt(), int(kVQExposureModeBulb));
        QCOMPARE(shutter.count(), 1);
        QCOMPARE(shutter.first().first().toDouble(), -1.0);
        QCOMPARE(aperture.count(), camera.hasAperture() ? 1 : 0);
    }

    // Signals go out in flag order. (The lens connection type, which would
    // follow the maximum shutter time, is reported by no record yet.)
    void fullRefreshSignalsInDispatchOrder()
    {
        VirtualCameraFixture fixture(0x2031);
        QSignalSpy changed(fixture.access(), &Access::signalDevicePropertyChanged);
        BRX_Logic_Camera camera(fixture.access());
        QVERIFY(waitForStorageTypeEcho(changed));
        QStringList order;
        connect(&camera, &BRX_Logic_Camera::signalBatteryInfo, [&order] { order << "battery"; });
        connect(&camera, &BRX_Logic_Camera::signalMaxShutterTime, [&order] { order << "maxShutter"; });
        connect(&camera, &BRX_Logic_Camera::signalPowerSwitch, [&order] { order << "power"; });

        QVERIFY(fixture.device().changeProperty(Access::kDevicePropPowerSwitch, 1));
        QVERIFY(fixture.device().changeProperty(Access::kDevicePropExposureTimeMax, -2048));
        QVERIFY(fixture.device().changeProperty(Access::kDevicePropBatteryInfo, 2));
        QVERIFY(QMetaObject::invokeMethod(&camera, "catchSettingsChanged"));
        QCOMPARE(order, (QStringList{"battery", "maxShutter", "power"}));
    }

    // --- Keep-alive and release state -------------------------------------------

    void keepAliveIsSkippedWhileAReleaseRuns()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        QSignalSpy alive(&camera, &BRX_Logic_Camera::signalIsAlive);
        setDebugFlags(kDebugHousekeeping, true);
        LogCapture log;

        QVERIFY(camera.releaseCam(kVQReleaseCapture));
        QVERIFY(camera.isReleaseInProgress());
        QVERIFY(QMetaObject::invokeMethod(&camera, "catchKeepAlive"));
        QCOMPARE(alive.count(), 0);
        QVERIFY(log.contains("BRX_Logic_Release::catchKeepAlive() - KeepAlive skipped"));

        QVERIFY(camera.serialCaptureStop());
        QVERIFY(!camera.isReleaseInProgress());
        QVERIFY(QMetaObject::invokeMethod(&camera, "catchKeepAlive"));
        QCOMPARE(alive.count(), 1);
        QCOMPARE(alive.first().first().toBool(), true);
        setDebugFlags(kDebugHousekeeping, false);
        QCOMPARE(fixture.releases(),
                 (QVector<QVector<quint32>>{{kVQReleaseCapture}, {kVQReleaseSeriesStop}, {kVQReleaseKeepAlive}}));

        // A failed keep-alive reports the camera dead.
        fixture.setFailReleases(true);
        QVERIFY(QMetaObject::invokeMethod(&camera, "catchKeepAlive"));
        QCOMPARE(alive.count(), 2);
        QCOMPARE(alive.last().first().toBool(), false);
    }

    void successfulKeepAliveEndsARelease()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        camera.timeExposureStart();
        QVERIFY(camera.isTimeExposureRunning());
        camera.timeExposureEnd();
        QVERIFY(!camera.isReleaseInProgress());
        QVERIFY(!camera.isTimeExposureRunning());

        fixture.setFailReleases(true);
        QVERIFY(!camera.releaseCam(kVQReleaseCapture));
        QVERIFY(!camera.isReleaseInProgress());
        camera.timeExposureStart();
        QVERIFY(!camera.isTimeExposureRunning());
    }

    // --- Other events -------------------------------------------------------------

    void lensAndGeotaggingEventsRereadTheirData()
    {
        VirtualCameraFixture fixture(0x2011);
        BRX_Logic_Camera camera(fixture.access());
        QSignalSpy lens(&camera, &BRX_Logic_Camera::signalLensChanged);
        QSignalSpy geotagging(&camera, &BRX_Logic_Camera::signalGeotackingChanged);
        const int lensReads = fixture.operationCount(Access::kOpGetLensData);
        const int geoReads = fixture.operationCount(Access::kOpGetGeotackingData);
        fixture.device().raiseEvent(Access::kVQLensChanged);
        fixture.device().raiseEvent(Access::kVQGeoTackingStatusChanged);
        QTRY_COMPARE(lens.count(), 1);
        QTRY_COMPARE(geotagging.count(), 1);
        QCOMPARE(fixture.operationCount(Access::kOpGetLensData), lensReads + 1);
        QCOMPARE(fixture.operationCount(Access::kOpGetGeotackingData), geoReads + 1);
        QVERIFY(camera.apertureSteps() > 0);
    }

    // --- Destruction --------------------------------------------------------------

    void destructionWaitsForRunningTransferThreads()
    {
        VirtualCameraFixture fixture(0x2031);
        auto* camera = new BRX_Logic_Camera(fixture.access());
        QSemaphore release;
        std::atomic<bool> done{false};
        QPointer<QThread> blocking = new BlockingThread(release, done);
        QPointer<QThread> idle = new QThread;
        camera->startTransferThread(blocking);
        camera->startTransferThread(idle);
        QVERIFY(camera->isReleaseInProgress());
        // Let the blocking thread go only once the destructor waits for it.
        QTimer::singleShot(0, [&release] { release.release(); });
        camera->setTransferInProgress(true);
        QSignalSpy loading(camera, &BRX_Logic_Camera::signalLoading);
        delete camera;
        QVERIFY(done);
        QVERIFY(blocking.isNull());
        QVERIFY(idle.isNull());
        QCOMPARE(loading.count(), 1);
        QCOMPARE(loading.first().first().toBool(), false);
    }

    // A long session keeps only the threads still running.
    void finishedTransferThreadsAreDeletedAsNewOnesStart()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        QSemaphore release(1);
        std::atomic<bool> done{false};
        QPointer<QThread> finished = new BlockingThread(release, done);
        camera.startTransferThread(finished);
        QTRY_VERIFY(finished->isFinished());
        QPointer<QThread> running = new BlockingThread(release, done);
        camera.startTransferThread(running);
        QVERIFY(finished.isNull());
        QVERIFY(!running.isNull());
        release.release();
    }

    // Frames that arrive while no callback is set are dropped.
    void frameWithoutCallbackIsDropped()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        FrameRecorder frames;
        frames.attach(camera);
        camera.setFrameCallback(nullptr, nullptr);
        camera.callFrameCallback(9, "x", 1);
        frames.attach(camera);
        camera.callFrameCallback(9, "y", 1);
        QCOMPARE(frames.types(), QList<int>{9});
        QCOMPARE(frames.bytesOf(9), QByteArray("y"));
    }
};

QTEST_GUILESS_MAIN(TestCameraLifecycle)
#include "tst_camera_lifecycle.moc"
