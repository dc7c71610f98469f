#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_CaptureControl.h"
#include "BRX_Logic_ReleaseState.h"
#include "BRX_Logic_TransferThread.h"
#include "BRX_SDK.h"
#include "ReleaseRecorder.h"
#include "SdkHost.h"
#include "VirtualCameraRig.h"

#include <QtTest>

#include <memory>

namespace {

const int kTimeoutMs = 10000;
typedef BRX_Logic_TransferThread Transfer;

template <typename T>
bool setValue(int property, T value)
{
    return BRX_SDK_setProperty(property, &value, sizeof value);
}

// A host with a connected struct camera (no interval shooting of its own)
// whose releases are recorded.
struct Session {
    Session()
        : host(new SdkHost(0x2009))
    {
        connected = host->waitForInitialState(kTimeoutMs);
        releases.reset(new ReleaseRecorder(BRX_Commu_VirtualCamera::selected()));
    }

    // Returns once the controller has handled every request queued so far:
    // a queued set is confirmed after them.
    bool sync()
    {
        qint32 compensation = 0;
        if (!BRX_SDK_getProperty(7, &compensation, sizeof compensation))
            return false;
        const int before = host->count(7);
        BRX_SDK_setPropertyQueued(7, &compensation, sizeof compensation);
        return QTest::qWaitFor([&] { return host->count(7) > before; }, kTimeoutMs);
    }

    // The camera's clock moves only when the test moves it.
    std::shared_ptr<BRX_Commu_VirtualCamera> manualClock()
    {
        const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
        camera->useManualClock();
        return camera;
    }
    // Picture files delivered so far.
    int files() const
    {
        return host->frames().countOf(Transfer::kFrameDng) + host->frames().countOf(Transfer::kFrameJpg);
    }

    std::unique_ptr<SdkHost> host;
    std::unique_ptr<ReleaseRecorder> releases;
    bool connected = false;
};

// The capture control on a camera model of its own, to drive the emulated
// interval step by step: the DNG transfers that let it go on are announced
// by hand.
struct IntervalRig {
    IntervalRig()
        : rig(0x2009)
    {
        connected = rig.connect();
        camera.reset(new BRX_Logic_Camera(rig.access.get()));
        releases.reset(new ReleaseRecorder(rig.camera));
        capture.setCamera(camera.get());
        capture.setSoftwareInterval(true);
        capture.setIntervalTime(1);
    }
    ~IntervalRig() { capture.setCamera(nullptr); }

    // Announces a finished DNG transfer once count releases have been sent.
    bool transferAfter(int count)
    {
        if (!QTest::qWaitFor([&] { return releases->count() >= count; }, kTimeoutMs))
            return false;
        capture.catchDngTransferDone();
        return true;
    }

    VirtualCameraRig rig;
    std::unique_ptr<BRX_Logic_Camera> camera;
    std::unique_ptr<ReleaseRecorder> releases;
    BRX_Logic_CaptureControl capture;
    bool connected = false;
};

} // namespace

class TestControllerCapture : public QObject
{
    Q_OBJECT
private slots:
    // --- Through the exports ---------------------------------------------------

    // Let go and switched to single at once: the queued release still stops
    // the series the press started, whose pictures (a DNG and a JPG each, one
    // at the press and one per interval held) all arrive.
    void seriesLetGoThenSingleStops()
    {
        Session session;
        QVERIFY(session.connected);
        const std::shared_ptr<BRX_Commu_VirtualCamera> camera = session.manualClock();
        QVERIFY(setValue<qint32>(13, 1));
        BRX_SDK_capturePressed();
        QTRY_COMPARE_WITH_TIMEOUT(session.releases->stages(), QList<int>{12}, kTimeoutMs);
        camera->advanceClock(camera->seriesInterval());
        BRX_SDK_captureReleased();
        QVERIFY(setValue<qint32>(13, 0));
        QVERIFY(session.sync());
        QVERIFY(!camera->isSeriesRunning());
        QTRY_COMPARE_WITH_TIMEOUT(session.files(), 4, kTimeoutMs);
        QCOMPARE(session.releases->stages().mid(0, 2), (QList<int>{12, 13}));
        QCOMPARE(session.host->frames().countOf(Transfer::kFrameNoData), 0);
    }

    // Pressed again while the first series' pictures wait to download: their
    // downloads repeat the first stop only until the new series starts, which
    // then shoots for as long as it is held.
    void seriesPressedAgainAtOnceLastsWhileHeld()
    {
        Session session;
        QVERIFY(session.connected);
        const std::shared_ptr<BRX_Commu_VirtualCamera> camera = session.manualClock();
        QVERIFY(setValue<qint32>(13, 1));
        FrameRecorder& frames = session.host->frames();
        frames.holdAt(Transfer::kFrameDngStarts);
        BRX_SDK_capturePressed();
        QTRY_COMPARE_WITH_TIMEOUT(session.releases->stages(), QList<int>{12}, kTimeoutMs);
        camera->advanceClock(camera->seriesInterval());
        QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameDngStarts), 1, kTimeoutMs);
        BRX_SDK_captureReleased();
        BRX_SDK_capturePressed();
        QTRY_COMPARE_WITH_TIMEOUT(session.releases->stages(), (QList<int>{12, 13, 12}), kTimeoutMs);
        frames.release();
        QTRY_COMPARE_WITH_TIMEOUT(session.files(), 6, kTimeoutMs);
        camera->advanceClock(2 * camera->seriesInterval());
        QVERIFY(camera->isSeriesRunning());
        BRX_SDK_captureReleased();
        QTRY_COMPARE_WITH_TIMEOUT(session.files(), 10, kTimeoutMs);
        QCOMPARE(session.releases->stages().mid(0, 4), (QList<int>{12, 13, 12, 13}));
    }

    // A release that gives no picture, or a burst that promises more than
    // come, ends after a quiet time: keep-alive runs again.
    void releaseWithoutFurtherPictureLetsKeepAliveRun_data()
    {
        QTest::addColumn<bool>("dropShot");
        QTest::newRow("shot dropped") << true;
        QTest::newRow("burst promises more") << false;
    }

    void releaseWithoutFurtherPictureLetsKeepAliveRun()
    {
        QFETCH(bool, dropShot);
        Session session;
        QVERIFY(session.connected);
        const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
        if (dropShot)
            camera->dropNextShot();
        else
            camera->promiseMorePictures(3);
        QVERIFY(setValue<qint32>(13, 0));
        BRX_SDK_capture();
        QTRY_COMPARE_WITH_TIMEOUT(session.releases->stages(), QList<int>{0}, kTimeoutMs);
        const qint64 released = session.releases->times().first();
        QTRY_VERIFY_WITH_TIMEOUT(!session.releases->keepAliveTimes().isEmpty()
                                     && session.releases->keepAliveTimes().last() > released,
                                 3 * BRX_Logic_ReleaseState::kQuietMs);
        QCOMPARE(session.files(), dropShot ? 0 : 2);
    }

    void bulbOpensAndCloses_data()
    {
        QTest::addColumn<bool>("mirrorUp");
        QTest::addColumn<QList<int>>("stages");
        QTest::newRow("without mirror-up") << false << QList<int>{7, 8};
        QTest::newRow("with mirror-up") << true << QList<int>{7, 7, 8};
    }

    void bulbOpensAndCloses()
    {
        QFETCH(bool, mirrorUp);
        QFETCH(QList<int>, stages);
        Session session;
        QVERIFY(session.connected);
        QVERIFY(setValue<qint32>(13, 0));
        QVERIFY(setValue<bool>(19, mirrorUp));
        QVERIFY(setValue<qint32>(0, 4));
        for (int press = 0; press < stages.size(); ++press)
            BRX_SDK_capturePressed();
        QTRY_COMPARE_WITH_TIMEOUT(session.releases->stages(), stages, kTimeoutMs);
    }

    void intervalDriveModeIsEmulatedAndIgnoresPresses()
    {
        Session session;
        QVERIFY(session.connected);
        QVERIFY(setValue<bool>(19, false));
        QVERIFY(setValue<qint32>(13, 5));
        QTRY_COMPARE_WITH_TIMEOUT(session.host->last<qint32>(13), 5, kTimeoutMs);
        qint32 driveMode = -1;
        QVERIFY(BRX_SDK_getProperty(13, &driveMode, sizeof driveMode));
        QCOMPARE(driveMode, 0);

        BRX_SDK_capturePressed();
        QTRY_COMPARE_WITH_TIMEOUT(session.releases->stages(), QList<int>{0}, kTimeoutMs);
        // The interval now waits for the picture's transfer; presses meanwhile do nothing.
        BRX_SDK_capturePressed();
        QVERIFY(session.sync());
        QCOMPARE(session.releases->stages(), QList<int>{0});
    }

    // Each picture after the first waits until the previous picture's DNG
    // has reached the host: count the DNGs delivered at every release.
    void emulatedIntervalReleasesAfterEachDownload()
    {
        Session session;
        QVERIFY(session.connected);
        QVERIFY(setValue<bool>(19, false));
        QVERIFY(setValue<qint32>(41, 3));
        QVERIFY(setValue<qint32>(43, 1));
        QVERIFY(setValue<qint32>(13, 5));
        QTRY_COMPARE_WITH_TIMEOUT(session.host->last<qint32>(13), 5, kTimeoutMs);
        FrameRecorder& frames = session.host->frames();
        std::mutex mutex;
        QList<int> dngsAtRelease;
        const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
        camera->setOperationObserver([&](quint16 opCode, const QVector<quint32>& params) {
            if (opCode != BRX_Commu_CameraAccess_Base::kOpRelease || params.value(0) != 0)
                return;
            std::lock_guard<std::mutex> locker(mutex);
            dngsAtRelease << frames.countOf(Transfer::kFrameDng);
        });

        BRX_SDK_capturePressed();
        QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameJpg), 3, kTimeoutMs);
        camera->setOperationObserver(nullptr);
        QCOMPARE(dngsAtRelease, (QList<int>{0, 1, 2}));
        QCOMPARE(frames.countOf(Transfer::kFrameDng), 3);
    }

    // --- The emulated interval step by step --------------------------------------

    // One release per picture, or mirror up then the exposure about 300 ms
    // later; pictures one interval time (1 s) apart, loosely.
    void intervalReleasesAfterEachTransfer_data()
    {
        QTest::addColumn<bool>("mirrorUp");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QList<int>>("minimumGaps");
        QTest::newRow("one release per picture") << false << 3 << QList<int>{700, 700};
        QTest::newRow("mirror-up, two per picture") << true << 2 << QList<int>{200, 500, 200};
    }

    void intervalReleasesAfterEachTransfer()
    {
        QFETCH(bool, mirrorUp);
        QFETCH(int, frames);
        QFETCH(QList<int>, minimumGaps);
        IntervalRig rig;
        QVERIFY(rig.connected);
        rig.camera->setMirrorUpMode(mirrorUp);
        rig.capture.setIntervalFrames(frames);
        rig.capture.doCaptureBtnPressed();
        QVERIFY(rig.capture.isIntervalRunning());
        const int perPicture = mirrorUp ? 2 : 1;
        for (int picture = 1; picture < frames + (mirrorUp ? 1 : 0); ++picture)
            QVERIFY(rig.transferAfter(picture * perPicture));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.capture.isIntervalRunning(), kTimeoutMs);
        QCOMPARE(rig.releases->stages(), QVector<int>(frames * perPicture, 0).toList());
        const QList<qint64> times = rig.releases->times();
        for (int i = 0; i < minimumGaps.size(); ++i)
            QVERIFY(times.at(i + 1) - times.at(i) >= minimumGaps.at(i));
    }

    void anotherDriveModeEndsTheInterval()
    {
        IntervalRig rig;
        QVERIFY(rig.connected);
        rig.camera->setMirrorUpMode(false);
        rig.capture.setIntervalFrames(5);
        rig.capture.doCaptureBtnPressed();
        QVERIFY(rig.transferAfter(1));
        rig.capture.doCaptureBtnPressed();
        rig.capture.setSoftwareInterval(false);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.capture.isIntervalRunning(), kTimeoutMs);
        QCOMPARE(rig.releases->count(), 1);

        // The next press is an ordinary release again.
        rig.capture.doCaptureBtnPressed();
        QCOMPARE(rig.releases->stages(), (QList<int>{0, 0}));
    }

    void closingTheCameraEndsTheInterval()
    {
        IntervalRig rig;
        QVERIFY(rig.connected);
        rig.capture.setIntervalFrames(5);
        rig.capture.doCaptureBtnPressed();
        QVERIFY(rig.capture.isIntervalRunning());
        rig.capture.setCamera(nullptr);
        QVERIFY(!rig.capture.isIntervalRunning());
    }

    void pressIsIgnoredWhileTheCameraWarnsOfBulbAndSelfTimer()
    {
        IntervalRig rig;
        QVERIFY(rig.connected);
        rig.capture.setSoftwareInterval(false);
        // The camera's settings block now carries warning 6.
        QByteArray block = rig.rig.camera->settingsBlock();
        block[0x44] = 6;
        rig.rig.camera->setCustomOperation(BRX_Commu_CameraAccess_Base::kOpGetCameraSettings,
                                           BRX_Commu_VirtualCameraDevice::kDataIn,
                                           [block](const QVector<quint32>&, const QByteArray&, QByteArray* dataIn) {
                                               *dataIn = block;
                                               return quint16(0x2001);
                                           });
        rig.rig.camera->raiseEvent(BRX_Commu_CameraAccess_Base::kVQCameraSettingsChanged);
        QTRY_COMPARE_WITH_TIMEOUT(rig.camera->warning(), 6, kTimeoutMs);
        rig.capture.doCaptureBtnPressed();
        QCOMPARE(rig.releases->count(), 0);
    }

    // --- Counters and picture announcements ------------------------------------------

    void bulbCountShowsOnlyInBulbAndResetsToTheShutterTime()
    {
        IntervalRig rig;
        QVERIFY(rig.connected);
        QSignalSpy counts(&rig.capture, &BRX_Logic_CaptureControl::signalBulbCounter);
        QSignalSpy stale(&rig.capture, &BRX_Logic_CaptureControl::signalShutterTimeStale);
        rig.camera->setExposureMode(eVQExposureMode(0));
        rig.capture.emitBulbCounter(5);
        QCOMPARE(counts.count(), 0);

        rig.camera->setExposureMode(eVQExposureMode(4));
        rig.capture.emitBulbCounter(5);
        QCOMPARE(counts.takeFirst().at(0).toInt(), 5);
        // This product sends no final count: the reset timer ends the display.
        QTRY_COMPARE_WITH_TIMEOUT(counts.count(), 1, kTimeoutMs);
        QCOMPARE(counts.takeFirst().at(0).toInt(), -1);
        QCOMPARE(stale.count(), 1);
        rig.capture.emitBulbCounter(-1);
        QCOMPARE(counts.takeFirst().at(0).toInt(), -1);
        QCOMPARE(stale.count(), 2);
    }

    void selfTimerCountEndsWithTheShutterTime()
    {
        IntervalRig rig;
        QVERIFY(rig.connected);
        QSignalSpy counts(&rig.capture, &BRX_Logic_CaptureControl::signalSelfTimerCounter);
        QSignalSpy stale(&rig.capture, &BRX_Logic_CaptureControl::signalShutterTimeStale);
        rig.capture.emitSelfTimerCounter(3);
        QCOMPARE(counts.count(), 1);
        QCOMPARE(stale.count(), 0);
        // Only some products need the reset timer; this one is not among them.
        rig.capture.catchSelfResetTimerFired();
        QCOMPARE(stale.count(), 0);
        rig.capture.emitSelfTimerCounter(0);
        QCOMPARE(stale.count(), 1);
    }

    void everyAnnouncedPictureStartsLoadingOutsideBracketing()
    {
        IntervalRig rig;
        QVERIFY(rig.connected);
        rig.camera->setBracketEnabled(false);
        QSignalSpy loading(&rig.capture, &BRX_Logic_CaptureControl::signalLoading);
        rig.capture.catchTransferRequest();
        rig.capture.catchTransferRequest();
        QCOMPARE(loading.count(), 2);
    }

};

QTEST_GUILESS_MAIN(TestControllerCapture)
#include "tst_controller_capture.moc"
