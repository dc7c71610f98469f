#ifndef BRX_LOGIC_CAPTURECONTROL_H
#define BRX_LOGIC_CAPTURECONTROL_H

#include <QObject>
#include <QTimer>

#include <atomic>

class BRX_Logic_Camera;

// Turns the shutter button into release stages: single and continuous
// releases, the time-exposure stages with and without mirror-up, and the
// interval shooting emulated for cameras without their own. Also shows the
// bulb and self-timer counts and answers the camera's picture announcements.
//
// Lives in the controller thread with its timers. The emulation settings
// (software interval, frames, time) are also written from the host's thread
// through the property setters, hence atomic.
class BRX_Logic_CaptureControl : public QObject
{
    Q_OBJECT
public:
    explicit BRX_Logic_CaptureControl(QObject* parent = nullptr);
    ~BRX_Logic_CaptureControl() override;

    // The camera of the open connection, null when it closes (which ends a
    // running interval). Controller thread.
    void setCamera(BRX_Logic_Camera* camera);

    bool isSoftwareInterval() const { return m_softwareInterval; }
    void setSoftwareInterval(bool on) { m_softwareInterval = on; }
    int intervalFrames() const { return m_intervalFrames; }
    void setIntervalFrames(int frames) { m_intervalFrames = frames; }
    int intervalTime() const { return m_intervalTime; }
    void setIntervalTime(int seconds) { m_intervalTime = seconds; }
    bool isIntervalRunning() const { return m_intervalRunning; }

    // Drive modes in which a press starts a series and a release stops it.
    static bool isContinuousDriveMode(int driveMode);

signals:
    // The shutter-time display should show the camera's time again.
    void signalShutterTimeStale();
    void signalBulbCounter(int seconds);
    void signalSelfTimerCounter(int seconds);
    void signalLoading(bool loading);
    void signalFileNameAndNumber();

public slots:
    // Both need a camera; the controller checks for it.
    void doCaptureBtnPressed();
    void doCaptureBtnReleased();
    void tickInterval();
    void tickIntervalReleaseInMirrorUpMode();
    void emitBulbCounter(int seconds);
    void emitSelfTimerCounter(int seconds);
    void catchBulbResetTimerFired();
    void catchSelfResetTimerFired();
    void catchTransferRequest();
    void catchDngTransferDone();

private:
    // Without a camera logs "no camera" under label.
    bool hasCamera(const char* label) const;
    bool advanceTimeExposure(bool mirrorUp);
    void clearTimeExposure();
    void startInterval(bool mirrorUp);
    void endInterval();
    bool mayRelease() const;
    bool hasProduct(std::initializer_list<int> productIds) const;

    BRX_Logic_Camera* m_camera = nullptr;
    std::atomic<bool> m_softwareInterval{false};
    std::atomic<int> m_intervalFrames{5};
    std::atomic<int> m_intervalTime{2};
    int m_intervalRemaining = 0;
    bool m_intervalRunning = false;
    bool m_releaseAllowed = true;
    QTimer* m_intervalTimer = nullptr;
    int m_bracketCounter = 0;
    // The last press started a continuous series, which its release stops.
    bool m_seriesPressed = false;
    // 0 idle, 1 mirror raised for a time exposure, 2 time exposure running.
    int m_timeExposureStage = 0;
    QTimer m_bulbTimer;
    QTimer m_selfTimer;
};

#endif
