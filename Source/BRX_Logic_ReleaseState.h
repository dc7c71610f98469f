#ifndef BRX_LOGIC_RELEASESTATE_H
#define BRX_LOGIC_RELEASESTATE_H

#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <mutex>

// Whether a release is under way, so that keep-alive and 3D-axis reads do
// not interleave with it, and whether the host was told that pictures are
// loading. A release begins with a release stage or a picture announcement
// and ends with the stage that ends it, the last download of its burst, a
// keep-alive that went through, or, when the camera gives no (further)
// picture, once it has been quiet for a bounded time with no download
// active: a dropped shot or a burst that promised more must not stop
// keep-alive for ever. Also tracks the time exposure and the stop of a
// continuous series, which the series' downloads repeat.
//
// For the host's record of a release's end it also counts the files a
// release delivered: from the first stage or announcement until the last
// download of the pictures the camera had pending, while no series runs, or
// until the quiet time ends it. Releases that overlap share one count.
//
// Owned by the camera model and living on its thread; the functions marked
// so may be called from transfer threads too.
class BRX_Logic_ReleaseState : public QObject
{
    Q_OBJECT
public:
    // Quiet time after the last release or picture, before the release is
    // taken as over; a release's exposure time counts twice on top (a long
    // exposure may be followed by a dark frame as long).
    static const int kQuietMs = 10000;

    // heldOpen: whether the camera holds the release open on its own (a
    // video recording); the quiet time does not end it then.
    explicit BRX_Logic_ReleaseState(const std::function<bool()>& heldOpen, int quietMs = kQuietMs,
                                    QObject* parent = nullptr);

    bool isInProgress() const { return m_inProgress; }
    // A release stage went out; exposureMs: its exposure time. Any thread.
    void began(int exposureMs = 0);
    // The camera announced a picture: the host is told it loads.
    void pictureAnnounced();
    // A stage that ends the release went out, or a keep-alive went through.
    void ended();

    // Transfer threads are counted from their start until they leave, so
    // that the quiet time never ends a release while one is queued. Any thread.
    int downloadQueued();
    int downloadLeft();
    int activeDownloads() const { return m_activeDownloads; }
    // A download ended with this many pictures still to load, itself
    // included; the last of a burst ends the release. Any thread.
    void downloadEnded(int remaining);
    // A download handed a picture's file to the host. Any thread.
    void fileDelivered();

    bool isTimeExposureRunning() const { return m_timeExposureRunning; }
    void setTimeExposureRunning(bool running) { m_timeExposureRunning = running; }

    // The start and the stop of a continuous series are sent by send under
    // one lock with the repetition of a stop (repeatStop, from the series'
    // downloads, until one went through), so that a stop is never repeated
    // into a series started after it. Any thread.
    bool startSeries(const std::function<bool()>& send);
    bool stopSeries(const std::function<bool()>& send);
    void repeatStop(const std::function<bool()>& send);

signals:
    void signalLoading(bool loading);
    void signalRemainingToLoad(int remaining);
    // The quiet time ended the release: no transfer runs any more.
    void signalQuiet();
    // Every file of a release has arrived, or it ended without one: files
    // is how many it delivered. Emitted in the thread that ended it (a
    // transfer thread or this object's).
    void signalReleaseFinished(int files);

private slots:
    void catchQuietTimeOver();

private:
    void restartQuietTime();
    void endLoading();
    void openRecord();
    void finishRecord();

    const std::function<bool()> m_heldOpen;
    const int m_quietMs;
    std::atomic<int> m_quietInterval;
    QTimer m_quietTimer;
    std::atomic<bool> m_inProgress{false};
    std::atomic<bool> m_loading{false};
    std::atomic<bool> m_timeExposureRunning{false};
    std::atomic<int> m_activeDownloads{0};
    std::mutex m_seriesMutex;
    bool m_stopPending = false;
    std::atomic<bool> m_seriesRunning{false};
    std::mutex m_recordMutex;
    bool m_recordOpen = false;
    int m_filesDelivered = 0;
};

#endif
