#ifndef BRX_LOGIC_LIVEVIEW_H
#define BRX_LOGIC_LIVEVIEW_H

#include "BRX_Logic_LiveViewPacer.h"
#include "BRX_Logic_LiveViewPacket.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_CameraStreamInfo;

// The camera's live view: streams while the host wants it and the camera
// is in a live-view mode, one packet per tick of a pacing timer, each
// checked, its frame (after its zoom level) handed to the host and its
// metadata signalled; also the live-view commands (photo or video live
// view, picture in picture, zoom, focus cross), which go to the camera as
// release stages.
//
// Lives on the camera model's thread, where every function but
// wantsLiveView is called and the frames are handed over.
class BRX_Logic_LiveView : public QObject
{
    Q_OBJECT
public:
    typedef std::function<void(int type, const void* data, unsigned int size)> FrameSink;
    // What the live view needs of the camera model.
    struct Hooks
    {
        // Whether the camera offers live view at all.
        std::function<bool()> offered;
        // The host's frame callback.
        FrameSink deliver;
        // The camera's live-view mode said a video recording runs (true) or
        // has ended (false).
        std::function<void(bool)> recordingReported;
    };
    // The frame records of live view.
    enum FrameType : int { kFrameLiveView = 9, kFrameZoomLevel = 10 };

    // access is not owned and must outlive the live view.
    BRX_Logic_LiveView(BRX_Commu_CameraAccess_Base* access, Hooks hooks,
                       BRX_Logic_LiveViewPacer::Clock clock = BRX_Logic_LiveViewPacer::steadyClock(),
                       QObject* parent = nullptr);
    ~BRX_Logic_LiveView() override;

    // Any thread.
    bool wantsLiveView() const;
    bool isStreaming() const { return m_streamInfo != nullptr; }
    // Streaming follows the wish while the camera offers live view.
    void setWantLiveView(bool want);
    // While set, the next frame is fetched only after catchLiveViewConsumed().
    void setWaitLiveViewConsumed(bool wait);
    void catchLiveViewConsumed();
    // Asks the camera for its live-view mode and starts or ends streaming
    // to match.
    void checkIfLiveViewIsActive();
    // The camera reported a change of its supported or enabled streams.
    void catchSupportedStreamsChanged();
    void catchEnabledStreamsChanged();
    void finishLiveViewStreaming();

    // The commands, as the camera model's slots of the same names describe them.
    void setLiveViewPhoto(bool on);
    void setLiveViewVideo(bool on);
    bool setLiveViewCrossPos(double x, double y);
    bool setLiveViewCrossPosGlobal(double x, double y);
    // Whether a cross position would be taken: both fractions in [0, 1].
    static bool isCrossPosition(double x, double y);
    void setLiveViewGCPipActive(bool on);
    void doLiveViewGCPipPreview();
    void doLiveViewGCPipSave();
    void toggleLiveViewZoom();
    // Live view shows a new white balance only once restarted.
    void restartForWhiteBalance();

public slots:
    // One tick: fetches, checks and hands over one frame, then paces the next.
    void catchLiveViewTimerFired();

signals:
    void signalLiveAudioLevel(double rmsLeft, double rmsRight, double peakLeft, double peakRight);
    void signalLiveTimeCode(int hours, int minutes, int seconds, int frames);
    void signalLiveZoomInfo(int stripe, int zoomLevel, double focusX, double focusY);
    void signalLiveZoomRect(double x, double y, double width, double height);
    void signalLiveViewMode(int mode);
    void signalLiveViewPhoto(bool on);
    void signalLiveViewVideo(bool on);
    void signalNoLiveView();

private:
    bool reportLiveViewMode(int& mode, const char* label);
    static int liveViewModeOf(quint32 word);
    void followMode(int mode);
    void restoreLiveViewMode();
    void prepareLiveViewStreaming();
    bool readStreamProperty(bool (BRX_Commu_CameraAccess_Base::*get)(quint32&), const char* name,
                            const char* label, quint32& value);
    bool hasUsableStreamPacketSize(const char* label) const;
    // One tick's fetch, check and hand-off; true when the frame was delivered.
    bool fetchLiveViewFrame(const char* label);
    void handOver(const BRX_Logic_LiveViewPacket& packet, const quint8* data, quint32 size);
    void dumpRejectedStreamPacket(const quint8* packet, quint32 size, const char* label);
    void switchLiveView(bool on, int param, void (BRX_Logic_LiveView::*otherOff)(bool));
    bool sendCrossPos(const char* label, double x, double y, BRX_Logic_LiveViewPacket::Zoom::Word area);
    bool sendStage(int stage, int param = 0);

    BRX_Commu_CameraAccess_Base* const m_access;
    const Hooks m_hooks;
    // Exists while live view streams.
    std::unique_ptr<BRX_Logic_CameraStreamInfo> m_streamInfo;
    QTimer m_timer;
    BRX_Logic_LiveViewPacer m_pacer;
    // The last zoom record of the stream.
    std::optional<BRX_Logic_LiveViewPacket::Zoom> m_zoom;
    // Since the last dump of a rejected stream packet.
    QElapsedTimer m_streamDumpClock;
    bool m_wantLiveView = false;
    mutable std::mutex m_wantMutex;  // guards m_wantLiveView
    bool m_waitLiveViewConsumed = false;
    int m_liveViewMode = 0;
    int m_liveViewModeToRestore = 0;
};

#endif
