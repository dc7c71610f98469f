#include "BRX_Logic_LiveView.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Debug.h"
#include "BRX_Logic_CameraStreamInfo.h"

#include <new>
#include <utility>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;
typedef BRX_Logic_LiveViewPacket::Zoom Zoom;

// Live-view modes of the camera's mode word.
const int kModeNone = 0;
const int kModeVideoRecording = 1;
const int kModePhoto = 2;
const int kModeVideo = 3;
// Parameters of the picture-in-picture stage.
const int kPipStart = 0;
const int kPipPreview = 1;
const int kPipEnd = 2;
const int kPipSave = 3;
// A live-view frame is a screen-sized picture of at most 4 MiB; a stream
// info asking for more than a few MiB beyond that is not believed, so no
// camera can make the host set aside gigabytes on every frame tick.
const quint32 kMaxStreamPacketSize = 8u << 20;
// A packet dump shows the header and the tag list; the frame's bytes say
// nothing in hex, and megabytes of them on every tick would stall the thread.
const quint64 kStreamDumpLines = 64;
// A camera that keeps sending bad packets is dumped once a second, not on
// every frame.
const qint64 kStreamDumpIntervalMs = 1000;

}  // namespace

BRX_Logic_LiveView::BRX_Logic_LiveView(BRX_Commu_CameraAccess_Base* access, Hooks hooks,
                                       BRX_Logic_LiveViewPacer::Clock clock, QObject* parent)
    : QObject(parent)
    , m_access(access)
    , m_hooks(std::move(hooks))
    , m_timer(this)
    , m_pacer(std::move(clock))
{
    m_timer.setSingleShot(true);
    // Aimed at each frame's due time, not rounded to a coarse slot.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &BRX_Logic_LiveView::catchLiveViewTimerFired);
}

BRX_Logic_LiveView::~BRX_Logic_LiveView() = default;

bool BRX_Logic_LiveView::wantsLiveView() const
{
    std::lock_guard<std::mutex> locker(m_wantMutex);
    return m_wantLiveView;
}

// Held across the start or stop so that a second wish waits for the first.
void BRX_Logic_LiveView::setWantLiveView(bool want)
{
    std::lock_guard<std::mutex> locker(m_wantMutex);
    if (want == m_wantLiveView)
        return;
    m_wantLiveView = want;
    if (!m_hooks.offered())
        return;
    if (want)
        checkIfLiveViewIsActive();
    else if (m_streamInfo)
        finishLiveViewStreaming();
}

void BRX_Logic_LiveView::setWaitLiveViewConsumed(bool wait)
{
    m_waitLiveViewConsumed = wait;
}

void BRX_Logic_LiveView::catchLiveViewConsumed()
{
    if (m_waitLiveViewConsumed)
        m_timer.start(m_pacer.delayMs());
}

// Reads the camera's live-view mode and reports it; false when it cannot be
// read.
bool BRX_Logic_LiveView::reportLiveViewMode(int& mode, const char* label)
{
    quint32 word = 0;
    if (!m_access->getDevicePropSupportedStreams(word)) {
        debugPrint(kDebugAlways, "%s - getDevicePropSupportedStreams failed!", label);
        return false;
    }
    debugPrint(kDebugLiveView, "%s - supportedStreams = 0x%08x", label, word);
    mode = liveViewModeOf(word);
    emit signalLiveViewMode(mode);
    return true;
}

// The upper half is the mode only when the lower half says the word is valid.
int BRX_Logic_LiveView::liveViewModeOf(quint32 word)
{
    return (word & 0xFFFF) == 1 ? int(word >> 16) : kModeNone;
}

void BRX_Logic_LiveView::checkIfLiveViewIsActive()
{
    int mode = kModeNone;
    if (!reportLiveViewMode(mode, BRX_METHOD))
        return;
    if (mode == kModeNone) {
        if (m_streamInfo)
            finishLiveViewStreaming();
        return;
    }
    if (!m_streamInfo)
        prepareLiveViewStreaming();
    followMode(mode);
}

void BRX_Logic_LiveView::followMode(int mode)
{
    if (mode == kModePhoto || mode == kModeVideo)
        m_liveViewMode = mode;
}

// The live-view mode only matters while the host wants live view.
void BRX_Logic_LiveView::catchSupportedStreamsChanged()
{
    int mode = kModeNone;
    if (!wantsLiveView() || !reportLiveViewMode(mode, BRX_METHOD))
        return;
    if (mode == kModeNone) {
        finishLiveViewStreaming();
        restoreLiveViewMode();
        return;
    }
    prepareLiveViewStreaming();
    if (mode == kModeVideoRecording)
        m_hooks.recordingReported(true);
    followMode(mode);
}

// A picture-in-picture step leaves live view; go back into the mode it left.
void BRX_Logic_LiveView::restoreLiveViewMode()
{
    if (m_liveViewModeToRestore == kModePhoto) {
        emit signalLiveViewVideo(false);
        sendStage(kVQReleaseLiveViewStart, 0);
    } else if (m_liveViewModeToRestore == kModeVideo) {
        emit signalLiveViewPhoto(false);
        sendStage(kVQReleaseLiveViewStart, 1);
    }
    m_liveViewModeToRestore = 0;
    m_hooks.recordingReported(false);
}

void BRX_Logic_LiveView::catchEnabledStreamsChanged()
{
    quint32 streams = 0;
    if (m_access->getDevicePropEnabledStreams(streams))
        debugPrint(kDebugLiveView, "%s - enabledStreams   = 0x%08x", BRX_METHOD, streams);
    else
        debugPrint(kDebugAlways, "%s - getDevicePropEnabledStreams failed!", BRX_METHOD);
}

bool BRX_Logic_LiveView::readStreamProperty(bool (Access::*get)(quint32&), const char* name, const char* label,
                                            quint32& value)
{
    if ((m_access->*get)(value))
        return true;
    debugPrint(kDebugAlways, "%s - getDeviceProp%s failed!", label, name);
    return false;
}

void BRX_Logic_LiveView::prepareLiveViewStreaming()
{
    if (m_streamInfo) {
        debugPrint(kDebugLiveView, "%s - live view streaming still active", BRX_METHOD);
        return;
    }
    if (!m_access->setDevicePropEnabledStreams(1)) {
        debugPrint(kDebugAlways, "%s - setDevicePropEnabledStreams failed!", BRX_METHOD);
        return;
    }
    const std::string label = BRX_METHOD;
    quint32 format = 0;
    if (!readStreamProperty(&Access::getDevicePropStreamVideoFormat, "StreamVideoFormat", label.c_str(), format))
        return;
    debugPrint(kDebugLiveView, "%s - streamVideoFormat = %d (%c%c%c%c)", label.c_str(), int(format), char(format),
               char(format >> 8), char(format >> 16), char(format >> 24));
    quint32 rate = 0;
    if (!readStreamProperty(&Access::getDevicePropStreamVideoFrameRate, "StreamVideoFrameRate", label.c_str(), rate))
        return;
    debugPrint(kDebugLiveView, "%s - streamVideoFrameRate = %d", label.c_str(), int(rate));
    quint32 resolution = 0;
    if (!readStreamProperty(&Access::getDevicePropStreamVideoResolution, "StreamVideoResolution", label.c_str(),
                            resolution))
        return;
    debugPrint(kDebugLiveView, "%s - streamVideoResolution = %d", label.c_str(), int(resolution));
    m_streamInfo.reset(new BRX_Logic_CameraStreamInfo(m_access));
    if (!hasUsableStreamPacketSize(label.c_str())) {
        finishLiveViewStreaming();
        return;
    }
    m_pacer.start(rate);
    m_timer.start(m_pacer.delayMs());
}

void BRX_Logic_LiveView::finishLiveViewStreaming()
{
    m_timer.stop();
    if (m_streamInfo) {
        if (!m_access->setDevicePropEnabledStreams(0))
            debugPrint(kDebugAlways, "%s - setDevicePropEnabledStreams failed!", BRX_METHOD);
        m_streamInfo.reset();
    } else {
        debugPrint(kDebugLiveView, "%s - live view streaming not active", BRX_METHOD);
    }
    emit signalNoLiveView();
    m_zoom.reset();
}

// The stream info sizes the packet buffer of every frame; a size that no
// frame needs turns live view off again.
bool BRX_Logic_LiveView::hasUsableStreamPacketSize(const char* label) const
{
    const quint32 size = m_streamInfo->getPacketMaxSize();
    if (size <= kMaxStreamPacketSize)
        return true;
    debugPrint(kDebugAlways, "%s - stream info announces packets of %u bytes, live view stays off", label, size);
    return false;
}

// Failed fetches and bad packets only skip a frame; the loop goes on.
void BRX_Logic_LiveView::catchLiveViewTimerFired()
{
    if (!m_streamInfo)
        return;
    const bool delivered = fetchLiveViewFrame(BRX_METHOD);
    m_pacer.frameFetched();
    if (m_waitLiveViewConsumed && delivered)
        return;
    m_timer.start(m_pacer.delayMs());
}

bool BRX_Logic_LiveView::fetchLiveViewFrame(const char* label)
{
    const quint32 size = m_streamInfo->getPacketMaxSize();
    std::unique_ptr<quint8[]> data(new (std::nothrow) quint8[size]());
    if (!data) {
        debugPrint(kDebugAlways, "%s - cannot allocate stream data packet!", label);
        return false;
    }
    if (!m_access->getStreamData(data.get(), size)) {
        debugPrint(kDebugAlways, "%s - getStreamData failed!", label);
        return false;
    }
    BRX_Logic_LiveViewPacket packet;
    if (!packet.parse(data.get(), size, label)) {
        debugPrint(kDebugAlways, "%s - error in stream data!", label);
        dumpRejectedStreamPacket(data.get(), size, label);
        return false;
    }
    if (isDebugFlagSet(kDebugLiveView)) {
        dumpBuffer("streamData", label, data.get(), size, kStreamDumpLines, 0);
        packet.logTags(label);
    }
    handOver(packet, data.get(), size);
    return true;
}

// The zoom level goes before the frame it belongs to; the metadata signals
// follow the frame.
void BRX_Logic_LiveView::handOver(const BRX_Logic_LiveViewPacket& packet, const quint8* data, quint32 size)
{
    const QByteArray frame(reinterpret_cast<const char*>(data + packet.frameOffset), int(size - packet.frameOffset));
    if (packet.zoom) {
        const qint32 zoomLevel = packet.zoom->level();
        m_hooks.deliver(kFrameZoomLevel, &zoomLevel, sizeof zoomLevel);
    }
    m_hooks.deliver(kFrameLiveView, frame.constData(), unsigned(frame.size()));
    if (packet.audio)
        emit signalLiveAudioLevel(packet.audio->rmsLeft / 1000.0, packet.audio->rmsRight / 1000.0,
                                  packet.audio->peakLeft / 1000.0, packet.audio->peakRight / 1000.0);
    if (packet.timeCode)
        emit signalLiveTimeCode(packet.timeCode->hours, packet.timeCode->minutes, packet.timeCode->seconds,
                                packet.timeCode->frames);
    if (!packet.zoom)
        return;
    m_zoom = packet.zoom;
    emit signalLiveZoomInfo(int(m_zoom->stripe()), int(m_zoom->level()), m_zoom->relativeFocus(0),
                            m_zoom->relativeFocus(1));
    emit signalLiveZoomRect(m_zoom->relativeToOuterBounds(0), m_zoom->relativeToOuterBounds(1),
                            m_zoom->relativeToOuterBounds(2), m_zoom->relativeToOuterBounds(3));
}

void BRX_Logic_LiveView::dumpRejectedStreamPacket(const quint8* packet, quint32 size, const char* label)
{
    if (m_streamDumpClock.isValid() && m_streamDumpClock.elapsed() < kStreamDumpIntervalMs)
        return;
    m_streamDumpClock.start();
    dumpBuffer("streamData", label, packet, size, kStreamDumpLines, 0);
}

// --- Commands --------------------------------------------------------------------

bool BRX_Logic_LiveView::sendStage(int stage, int param)
{
    return m_access->releaseCam(stage, param);
}

void BRX_Logic_LiveView::setLiveViewPhoto(bool on)
{
    switchLiveView(on, 0, &BRX_Logic_LiveView::signalLiveViewVideo);
}

void BRX_Logic_LiveView::setLiveViewVideo(bool on)
{
    switchLiveView(on, 1, &BRX_Logic_LiveView::signalLiveViewPhoto);
}

void BRX_Logic_LiveView::switchLiveView(bool on, int param, void (BRX_Logic_LiveView::*otherOff)(bool))
{
    if (on) {
        emit(this->*otherOff)(false);
        sendStage(kVQReleaseLiveViewStart, param);
    } else {
        sendStage(kVQReleaseLiveViewStop, param);
    }
}

bool BRX_Logic_LiveView::isCrossPosition(double x, double y)
{
    return Zoom::isFraction(x) && Zoom::isFraction(y);
}

bool BRX_Logic_LiveView::setLiveViewCrossPos(double x, double y)
{
    return sendCrossPos(BRX_METHOD, x, y, Zoom::kSourceArea);
}

bool BRX_Logic_LiveView::setLiveViewCrossPosGlobal(double x, double y)
{
    return sendCrossPos(BRX_METHOD, x, y, Zoom::kOuterBounds);
}

// The camera takes the cross in sensor coordinates, and only while no
// autofocus runs.
bool BRX_Logic_LiveView::sendCrossPos(const char* label, double x, double y, Zoom::Word area)
{
    if (!isCrossPosition(x, y)) {
        debugPrint(kDebugAlways, "%s - illegal cross position %g, %g", label, x, y);
        return false;
    }
    if (!m_zoom) {
        debugPrint(kDebugAlways, "%s - no zoom info", label);
        return false;
    }
    quint32 pointX = 0;
    quint32 pointY = 0;
    m_zoom->pointIn(area, x, y, pointX, pointY);
    sendStage(kVQReleaseAutoFocusStop);
    return m_access->releaseCam(kVQReleaseFocusCross, int(pointX), int(pointY));
}

void BRX_Logic_LiveView::setLiveViewGCPipActive(bool on)
{
    if (on) {
        sendStage(kVQReleaseLiveViewWhiteBalance, kPipStart);
    } else {
        sendStage(kVQReleaseLiveViewWhiteBalance, kPipEnd);
        m_liveViewModeToRestore = m_liveViewMode;
    }
}

void BRX_Logic_LiveView::doLiveViewGCPipPreview()
{
    sendStage(kVQReleaseLiveViewWhiteBalance, kPipPreview);
}

void BRX_Logic_LiveView::doLiveViewGCPipSave()
{
    sendStage(kVQReleaseLiveViewWhiteBalance, kPipSave);
    m_liveViewModeToRestore = m_liveViewMode;
}

void BRX_Logic_LiveView::toggleLiveViewZoom()
{
    sendStage(kVQReleaseZoomToggle);
}

void BRX_Logic_LiveView::restartForWhiteBalance()
{
    quint32 word = 0;
    if (!m_access->getDevicePropSupportedStreams(word))
        return;
    const int mode = liveViewModeOf(word);
    if (mode == kModePhoto) {
        sendStage(kVQReleaseLiveViewStop, 0);
        emit signalLiveViewVideo(false);
        sendStage(kVQReleaseLiveViewStart, 0);
    } else if (mode == kModeVideo) {
        sendStage(kVQReleaseLiveViewStop, 1);
        emit signalLiveViewPhoto(false);
        sendStage(kVQReleaseLiveViewStart, 1);
    }
}
