#ifndef BRX_LOGIC_RELEASESTATE_H
#define BRX_LOGIC_RELEASESTATE_H

#include <QObject>

#include <atomic>
#include <functional>
#include <mutex>

// Whether a release is under way, so that keep-alive and 3D-axis reads do
// not interleave with it: from a release stage or a picture announcement
// until the stage that ends it, the end of the burst's downloads or a
// keep-alive that went through. Also whether a time exposure runs and
// whether a stopped series still wants its stop repeated.
//
// Owned by the camera model and living on its thread; the flags are read and
// written from transfer threads too.
class BRX_Logic_ReleaseState : public QObject
{
    Q_OBJECT
public:
    explicit BRX_Logic_ReleaseState(QObject* parent = nullptr);

    bool isInProgress() const { return m_inProgress; }
    // A release stage went out or the camera announced a picture. Any thread.
    void began();
    // A stage that ends the release went out, or a keep-alive went through.
    void ended();
    // A download ended with this many pictures still to load, itself
    // included; the last of a burst ends the release. Any thread.
    void downloadEnded(int remaining);

    bool isTimeExposureRunning() const { return m_timeExposureRunning; }
    void setTimeExposureRunning(bool running) { m_timeExposureRunning = running; }

    // send is the stage that stops a series; the series' downloads repeat it
    // (repeatStop) until a repetition went through.
    bool stopSeries(const std::function<bool()>& send);
    void repeatStop(const std::function<bool()>& send);

private:
    std::atomic<bool> m_inProgress{false};
    std::atomic<bool> m_timeExposureRunning{false};
    std::atomic<bool> m_stopPending{false};
};

#endif
