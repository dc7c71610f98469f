#include "BRX_Logic_Release.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Debug.h"

#include <utility>

namespace {

const int kStorageTypeWhileRecording = 0;
// The longest exposure a release is given time for.
const double kMaxExposureSeconds = 3600.0;

}  // namespace

BRX_Logic_Release::BRX_Logic_Release(BRX_Commu_CameraAccess_Base& access, std::mutex& communication, Hooks hooks,
                                     QObject* parent)
    : QObject(parent)
    , m_access(access)
    , m_communication(communication)
    , m_hooks(std::move(hooks))
    , m_state([this] { return m_videoRecording; })
{
    connect(&m_keepAliveTimer, &QTimer::timeout, this, &BRX_Logic_Release::catchKeepAlive);
    m_keepAliveTimer.start(kKeepAliveIntervalMs);
}

bool BRX_Logic_Release::sendStage(int stage)
{
    return m_access.releaseCam(stage);
}

// A series start goes out under the release state's series lock, so that a
// download repeating the previous series' stop cannot overtake it.
bool BRX_Logic_Release::releaseCam(int releaseMode)
{
    const auto send = [this, releaseMode] { return sendStage(releaseMode); };
    if (!(releaseMode == kVQReleaseSeriesStart ? m_state.startSeries(send) : send())) {
        reportRefusal(releaseMode);
        return false;
    }
    m_state.began(exposureMs());
    return true;
}

// Read in the thread that sent the stage, before it talks to the camera again.
void BRX_Logic_Release::reportRefusal(int releaseMode)
{
    const quint16 response = m_access.lastResponseCode();
    if (response == BRX_Commu_PtpCodes::kResponseStoreFull)
        debugPrint(kDebugAlways, "%s - the card is full: the camera refused releaseMode %d", BRX_METHOD, releaseMode);
    else
        debugPrint(kDebugAlways, "%s - releaseMode %d failed", BRX_METHOD, releaseMode);
    if (response != 0 && m_hooks.refused)
        m_hooks.refused(response);
}

// The exposure a release starts, as far as the camera tells it (not in bulb).
int BRX_Logic_Release::exposureMs() const
{
    const double seconds = m_hooks.shutterSeconds();
    return seconds > 0.0 ? int(qMin(seconds, kMaxExposureSeconds) * 1000.0) : 0;
}

bool BRX_Logic_Release::timeExposurePrepare()
{
    return releaseCam(kVQReleaseTimeExposureStart);
}

void BRX_Logic_Release::timeExposureStart()
{
    const bool started = releaseCam(kVQReleaseTimeExposureStart);
    if (!started)
        m_state.ended();
    m_state.setTimeExposureRunning(started);
}

void BRX_Logic_Release::timeExposureEnd()
{
    if (releaseCam(kVQReleaseTimeExposureEnd))
        m_state.ended();
    m_state.setTimeExposureRunning(false);
}

bool BRX_Logic_Release::serialCaptureStop()
{
    const bool stopped = m_state.stopSeries([this] { return releaseCam(kVQReleaseSeriesStop); });
    if (stopped)
        m_state.ended();
    return stopped;
}

void BRX_Logic_Release::repeatSeriesStop()
{
    m_state.repeatStop([this] { return releaseCam(kVQReleaseSeriesStop); });
}

// --- Video ------------------------------------------------------------------------

void BRX_Logic_Release::toggleVideoCapture()
{
    if (m_videoRecording)
        stopVideo();
    else
        startVideo();
}

void BRX_Logic_Release::startVideo()
{
    if (!switchStorageTypeForVideo())
        return;
    if (!releaseCam(kVQReleaseVideoStart)) {
        restoreStorageTypeAfterVideo();
        return;
    }
    m_videoRecording = true;
}

// A stop the camera refused leaves the recording running, and the card
// with it, so that the host can stop it again.
void BRX_Logic_Release::stopVideo()
{
    if (!releaseCam(kVQReleaseVideoStop))
        return;
    m_videoRecording = false;
    m_state.ended();
    restoreStorageTypeAfterVideo();
}

// A recording goes to the camera's own card; false when the camera did not
// take the storage type.
bool BRX_Logic_Release::switchStorageTypeForVideo()
{
    const bool switched = m_hooks.swapStorageType(kStorageTypeWhileRecording, m_storageTypeBeforeVideo);
    if (!switched)
        m_storageTypeBeforeVideo = -1;
    return switched;
}

void BRX_Logic_Release::restoreStorageTypeAfterVideo()
{
    if (m_storageTypeBeforeVideo < 0)
        return;
    int replaced = -1;
    m_hooks.swapStorageType(m_storageTypeBeforeVideo, replaced);
    m_storageTypeBeforeVideo = -1;
}

// --- Keep-alive -------------------------------------------------------------------

bool BRX_Logic_Release::skippedForRelease(const char* label, quint32 flag, const char* what) const
{
    if (!m_state.isInProgress())
        return false;
    debugPrint(flag, "%s - %s skipped", label, what);
    return true;
}

void BRX_Logic_Release::catchKeepAlive()
{
    if (m_access.productId() == 0 || skippedForRelease(BRX_METHOD, kDebugHousekeeping, "KeepAlive"))
        return;
    bool alive;
    {
        std::lock_guard<std::mutex> locker(m_communication);
        if (skippedForRelease(BRX_METHOD, kDebugHousekeeping, "KeepAlive"))
            return;
        debugPrint(kDebugHousekeeping, "%s - KeepAlive sending...", BRX_METHOD);
        alive = sendStage(kVQReleaseKeepAlive);
        if (alive)
            m_state.ended();
        debugPrint(kDebugHousekeeping, "%s - KeepAlive done", BRX_METHOD);
    }
    emit signalIsAlive(alive);
}
