#include "BRX_Logic_ReleaseState.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// The quiet time is ended by hand here; its timer never fires in a test.
const int kNeverMs = 3600000;

void endQuietTime(BRX_Logic_ReleaseState& state)
{
    QVERIFY(QMetaObject::invokeMethod(&state, "catchQuietTimeOver"));
}

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
};

QTEST_GUILESS_MAIN(TestReleaseState)
#include "tst_releasestate.moc"
