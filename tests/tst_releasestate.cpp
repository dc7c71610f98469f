#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_Release.h"
#include "BRX_Logic_ReleaseState.h"
#include "FakeCameraAccess.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// The quiet time is ended by hand here; its timer never fires in a test.
const int kNeverMs = 3600000;

void endQuietTime(BRX_Logic_ReleaseState& state)
{
    QVERIFY(QMetaObject::invokeMethod(&state, "catchQuietTimeOver"));
}

// A release on a scripted camera whose record holds a storage type.
struct ReleaseRig
{
    ReleaseRig()
        : release(access, communication,
                  {[] { return 0.0; },
                   [this](int type, int& previous) {
                       if (!storageTaken)
                           return false;
                       previous = storageType;
                       storageType = type;
                       return true;
                   },
                   {}})
    {
    }
    // The release stages sent, in order.
    QVector<quint32> stages() const
    {
        QVector<quint32> sent;
        for (const FakeCameraAccess::Transaction& transaction : access.transactions) {
            if (transaction.opCode == BRX_Commu_CameraAccess_Base::kOpRelease)
                sent << transaction.params.value(0);
        }
        return sent;
    }

    FakeCameraAccess access{0x2031};
    std::mutex communication;
    int storageType = 2;
    bool storageTaken = true;
    BRX_Logic_Release release;
};

} // namespace

class TestReleaseState : public QObject
{
    Q_OBJECT
private slots:
    // The quiet time ends a release that gave no further picture, but never
    // while a download is queued, a time exposure runs or the camera holds
    // the release open; loading ends with it, once.
    void quietTimeEndsAReleaseOnlyWhenNothingHoldsIt()
    {
        bool recording = true;
        BRX_Logic_ReleaseState state([&recording] { return recording; }, kNeverMs);
        QSignalSpy loading(&state, &BRX_Logic_ReleaseState::signalLoading);
        QSignalSpy quiet(&state, &BRX_Logic_ReleaseState::signalQuiet);
        state.pictureAnnounced();
        state.downloadQueued();
        state.setTimeExposureRunning(true);
        for (int holds = 3; holds > 0; --holds) {
            endQuietTime(state);
            QVERIFY(state.isInProgress());
            if (holds == 3)
                state.downloadLeft();
            else if (holds == 2)
                state.setTimeExposureRunning(false);
            else
                recording = false;
        }
        endQuietTime(state);
        QVERIFY(!state.isInProgress());
        QCOMPARE(quiet.count(), 1);
        QCOMPARE(loading.count(), 1);
        QCOMPARE(loading.first().first().toBool(), false);
        endQuietTime(state);
        QCOMPARE(quiet.count(), 1);
    }

    // A burst that still has pictures to load stays a release; its last
    // download ends it.
    void lastDownloadOfABurstEndsIt()
    {
        BRX_Logic_ReleaseState state([] { return false; }, kNeverMs);
        QSignalSpy remaining(&state, &BRX_Logic_ReleaseState::signalRemainingToLoad);
        state.pictureAnnounced();
        state.downloadEnded(3);
        QVERIFY(state.isInProgress());
        state.downloadEnded(1);
        QVERIFY(!state.isInProgress());
        state.downloadEnded(0);
        QCOMPARE(remaining.count(), 1);
        QCOMPARE(remaining.first().first().toInt(), 0);
    }

    // The end of a release for the host's record: the last download of the
    // files the camera had waiting, with their count; for a series only once
    // it is stopped; for a release without a picture, the quiet time.
    void recordEndsWithTheLastFileOrTheQuietTime()
    {
        BRX_Logic_ReleaseState state([] { return false; }, kNeverMs);
        QSignalSpy finished(&state, &BRX_Logic_ReleaseState::signalReleaseFinished);
        const auto deliver = [&state](int remaining) {
            state.pictureAnnounced();
            state.fileDelivered();
            state.downloadEnded(remaining);
        };
        state.began();
        deliver(2);
        deliver(1);
        state.startSeries([] { return true; });
        deliver(1);
        deliver(1);
        QCOMPARE(finished.count(), 1);
        state.stopSeries([] { return true; });
        endQuietTime(state);
        state.began();
        endQuietTime(state);
        endQuietTime(state);
        QList<int> files;
        for (const QList<QVariant>& arguments : qAsConst(finished))
            files << arguments.first().toInt();
        QCOMPARE(files, (QList<int>{2, 2, 0}));
    }

    // A stop is repeated until a repetition went through, and never once a
    // new series has started.
    void stopIsRepeatedOnlyForItsOwnSeries()
    {
        BRX_Logic_ReleaseState state([] { return false; }, kNeverMs);
        QStringList sent;
        bool works = false;
        const auto stop = [&] { sent << "stop"; return works; };
        const auto start = [&] { sent << "start"; return true; };
        state.stopSeries(stop);
        state.repeatStop(stop);
        works = true;
        state.repeatStop(stop);
        state.repeatStop(stop);
        state.stopSeries(stop);
        state.startSeries(start);
        state.repeatStop(stop);
        QCOMPARE(sent, (QStringList{"stop", "stop", "stop", "stop", "start"}));
    }

    // --- The release ------------------------------------------------------------

    // A keep-alive never interleaves with a release; one that goes through
    // ends the release that nothing else ended.
    void keepAliveWaitsForTheRelease()
    {
        ReleaseRig rig;
        QSignalSpy alive(&rig.release, &BRX_Logic_Release::signalIsAlive);
        QVERIFY(rig.release.releaseCam(kVQReleaseCapture));
        rig.release.catchKeepAlive();
        QCOMPARE(alive.count(), 0);
        rig.release.state().ended();
        rig.release.catchKeepAlive();
        QCOMPARE(alive.count(), 1);
        QVERIFY(rig.release.timeExposurePrepare());
        rig.release.state().ended();
        rig.access.script(BRX_Commu_CameraAccess_Base::kOpRelease, FakeCameraAccess::fail());
        rig.release.catchKeepAlive();
        QCOMPARE(alive.last().first().toBool(), false);
        QCOMPARE(rig.stages(), (QVector<quint32>{kVQReleaseCapture, kVQReleaseKeepAlive, kVQReleaseTimeExposureStart,
                                                 kVQReleaseKeepAlive}));
    }

    // A recording takes the camera's card for the pictures and gives the
    // storage type back when it stops; a recording that cannot have the
    // card, or that the camera does not start, leaves everything as it was.
    void videoBorrowsTheStorageType()
    {
        ReleaseRig rig;
        rig.release.toggleVideoCapture();
        QVERIFY(rig.release.isVideoRecording());
        QCOMPARE(rig.storageType, 0);
        rig.release.toggleVideoCapture();
        QVERIFY(!rig.release.isVideoRecording());
        QCOMPARE(rig.storageType, 2);

        rig.storageTaken = false;
        rig.release.toggleVideoCapture();
        QVERIFY(!rig.release.isVideoRecording());
        rig.storageTaken = true;
        rig.access.script(BRX_Commu_CameraAccess_Base::kOpRelease, FakeCameraAccess::fail());
        rig.release.toggleVideoCapture();
        QVERIFY(!rig.release.isVideoRecording());
        QCOMPARE(rig.storageType, 2);
        QCOMPARE(rig.stages(), (QVector<quint32>{kVQReleaseVideoStart, kVQReleaseVideoStop, kVQReleaseVideoStart}));
    }

    // A stop the camera refuses leaves the recording on (and the card with
    // it); the next toggle stops it again.
    void refusedVideoStopKeepsTheRecording()
    {
        ReleaseRig rig;
        rig.release.toggleVideoCapture();
        rig.access.script(BRX_Commu_CameraAccess_Base::kOpRelease, FakeCameraAccess::fail());
        rig.release.toggleVideoCapture();
        QVERIFY(rig.release.isVideoRecording());
        QCOMPARE(rig.storageType, 0);
        rig.access.script(BRX_Commu_CameraAccess_Base::kOpRelease, FakeCameraAccess::ok());
        rig.release.toggleVideoCapture();
        QVERIFY(!rig.release.isVideoRecording());
        QCOMPARE(rig.storageType, 2);
        QCOMPARE(rig.stages(), (QVector<quint32>{kVQReleaseVideoStart, kVQReleaseVideoStop, kVQReleaseVideoStop}));
    }

    // A recording the camera reports on its own holds the release open.
    void reportedRecordingHoldsTheReleaseOpen()
    {
        ReleaseRig rig;
        QVERIFY(rig.release.releaseCam(kVQReleaseCapture));
        rig.release.setVideoRecording(true);
        endQuietTime(rig.release.state());
        QVERIFY(rig.release.state().isInProgress());
        rig.release.setVideoRecording(false);
        endQuietTime(rig.release.state());
        QVERIFY(!rig.release.state().isInProgress());
    }
};

QTEST_GUILESS_MAIN(TestReleaseState)
#include "tst_releasestate.moc"
