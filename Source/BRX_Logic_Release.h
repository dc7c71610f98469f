#ifndef BRX_LOGIC_RELEASE_H
#define BRX_LOGIC_RELEASE_H

#include "BRX_Logic_ReleaseState.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <mutex>

class BRX_Commu_CameraAccess_Base;

// Releases the camera: single pictures and continuous series, time
// exposures, video recordings, and the keep-alive that stops the camera
// from falling asleep while tethered. Owns the release state, which says
// whether a release is under way, so that keep-alive and other exchanges
// wait for it.
//
// Lives on the camera model's thread; repeatSeriesStop and the release
// state's functions marked so may be called from transfer threads.
class BRX_Logic_Release : public QObject
{
    Q_OBJECT
public:
    // What a release needs of the camera model.
    struct Hooks
    {
        // The shutter time in seconds, negative in bulb mode.
        std::function<double()> shutterSeconds;
        // When the record has a storage type: previous = the one it holds,
        // then type is written; otherwise previous stays as it is. Sends
        // what changed; false without a record or when the camera refused.
        std::function<bool(int type, int& previous)> swapStorageType;
        // The camera refused a release stage with responseCode (StoreFull:
        // its card is full). May be empty.
        std::function<void(quint16 responseCode)> refused;
    };

    static constexpr int kKeepAliveIntervalMs = 5000;

    // access is not owned and must outlive the release. communication is
    // held around each keep-alive exchange.
    BRX_Logic_Release(BRX_Commu_CameraAccess_Base& access, std::mutex& communication, Hooks hooks,
                      QObject* parent = nullptr);

    BRX_Logic_ReleaseState& state() { return m_state; }
    const BRX_Logic_ReleaseState& state() const { return m_state; }

    // Sends a release stage with parameter 0; success marks a release in
    // progress (a series start also a running series).
    bool releaseCam(int releaseMode);
    bool timeExposurePrepare();
    void timeExposureStart();
    void timeExposureEnd();
    bool serialCaptureStop();
    // Downloads repeat the stop of a stopped series before they fetch its
    // pictures, until one went through. Any thread.
    void repeatSeriesStop();

    // Starts or stops a video recording; the storage type is switched to
    // the camera's card for the recording and restored afterwards. A
    // recording that does not start leaves the storage type as it was.
    void toggleVideoCapture();
    bool isVideoRecording() const { return m_videoRecording; }
    // The camera reported a recording running or ended on its own.
    void setVideoRecording(bool recording) { m_videoRecording = recording; }

    // Whether an exchange of the caller (label) must wait for the running
    // release; logs the skip under flag.
    bool skippedForRelease(const char* label, quint32 flag, const char* what) const;

public slots:
    // One keep-alive; also what ends a release that no other path has ended.
    void catchKeepAlive();

signals:
    void signalIsAlive(bool alive);

private:
    bool sendStage(int stage);
    void reportRefusal(int releaseMode);
    int exposureMs() const;
    void startVideo();
    void stopVideo();
    bool switchStorageTypeForVideo();
    void restoreStorageTypeAfterVideo();

    BRX_Commu_CameraAccess_Base& m_access;
    std::mutex& m_communication;
    const Hooks m_hooks;
    BRX_Logic_ReleaseState m_state;
    QTimer m_keepAliveTimer;
    bool m_videoRecording = false;
    int m_storageTypeBeforeVideo = -1;
};

#endif
