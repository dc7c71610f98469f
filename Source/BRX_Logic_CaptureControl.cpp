#include "BRX_Logic_CaptureControl.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Camera.h"
#include "BRX_SDK_C.h"

#include <algorithm>

namespace {

const int kCounterResetMs = 2000;
// Between raising the mirror and the exposure of one interval picture.
const int kMirrorSettleMs = 300;
// The warning "Bulb mode and Self timer": the camera would not release.
const int kWarningBulbAndSelfTimer = 6;

bool isJpegOnly(int fileFormat)
{
    return fileFormat == BRX_SDK_FileFormatJpg || fileFormat == BRX_SDK_FileFormatJpgBasic;
}

} // namespace

BRX_Logic_CaptureControl::BRX_Logic_CaptureControl(QObject* parent)
    : QObject(parent)
{
    m_bulbTimer.setSingleShot(true);
    m_selfTimer.setSingleShot(true);
    connect(&m_bulbTimer, &QTimer::timeout, this, &BRX_Logic_CaptureControl::catchBulbResetTimerFired);
    connect(&m_selfTimer, &QTimer::timeout, this, &BRX_Logic_CaptureControl::catchSelfResetTimerFired);
}

BRX_Logic_CaptureControl::~BRX_Logic_CaptureControl()
{
    m_bulbTimer.stop();
    m_selfTimer.stop();
    delete m_intervalTimer;
}

void BRX_Logic_CaptureControl::setCamera(BRX_Logic_Camera* camera)
{
    m_camera = camera;
    m_timeExposureStage = 0;
    m_bracketCounter = 0;
    m_seriesPressed = false;
    if (!camera) {
        // A closed camera ends the interval rather than let it tick on.
        endInterval();
        m_bulbTimer.stop();
        m_selfTimer.stop();
    }
}

bool BRX_Logic_CaptureControl::hasCamera(const char* label) const
{
    if (!m_camera)
        debugPrint(kDebugAlways, "%s - no camera", label);
    return m_camera != nullptr;
}

bool BRX_Logic_CaptureControl::isContinuousDriveMode(int driveMode)
{
    return driveMode == BRX_SDK_DriveModeContinuous
           || (driveMode >= BRX_SDK_DriveModeContinuousS && driveMode <= BRX_SDK_DriveModeContinuousF);
}

void BRX_Logic_CaptureControl::doCaptureBtnPressed()
{
    if (m_camera->hasWarnings() && m_camera->warning() == kWarningBulbAndSelfTimer)
        return;
    if (m_intervalRunning)
        return;
    int driveMode = m_camera->driveMode();
    const bool mirrorUp = m_camera->mirrorUpMode();
    if (m_camera->hasInterval() && driveMode == BRX_SDK_DriveModeInterval)
        driveMode = 0;
    if (m_camera->exposureMode() == kVQExposureModeBulb && advanceTimeExposure(mirrorUp))
        return;
    if (m_softwareInterval) {
        startInterval(mirrorUp);
        return;
    }
    clearTimeExposure();
    m_seriesPressed = isContinuousDriveMode(driveMode) && !mirrorUp;
    m_camera->releaseCam(m_seriesPressed ? kVQReleaseSeriesStart : kVQReleaseCapture);
    m_timeExposureStage = 0;
}

// The series the press started is stopped, whatever the drive mode has
// become since: a host may switch to single at once after letting go, before
// this queued release is handled.
void BRX_Logic_CaptureControl::doCaptureBtnReleased()
{
    if (m_seriesPressed)
        m_camera->serialCaptureStop();
    m_seriesPressed = false;
}

// One press of a time exposure: raise the mirror, open, or close. False when
// the press is an ordinary release after all.
bool BRX_Logic_CaptureControl::advanceTimeExposure(bool mirrorUp)
{
    const bool running = m_camera->isTimeExposureRunning();
    if (mirrorUp && !running && m_timeExposureStage == 0) {
        m_camera->timeExposurePrepare();
        m_timeExposureStage = 1;
        return true;
    }
    if (!running && (!mirrorUp || m_timeExposureStage == 1)) {
        m_camera->timeExposureStart();
        m_timeExposureStage = 2;
        return true;
    }
    if (running && m_timeExposureStage == 2) {
        m_camera->timeExposureEnd();
        m_timeExposureStage = 0;
        return true;
    }
    return false;
}

void BRX_Logic_CaptureControl::clearTimeExposure()
{
    if (m_camera->isTimeExposureRunning())
        m_camera->setTimeExposureRunning(false);
}

void BRX_Logic_CaptureControl::startInterval(bool mirrorUp)
{
    // With mirror-up every picture takes two releases, the first raising the mirror.
    const int frames = m_intervalFrames;
    m_intervalRemaining = mirrorUp ? 2 * frames : frames;
    m_timeExposureStage = 0;
    clearTimeExposure();
    m_intervalRunning = true;
    m_releaseAllowed = true;
    m_intervalTimer = new QTimer;
    connect(m_intervalTimer, &QTimer::timeout, this, &BRX_Logic_CaptureControl::tickInterval);
    m_intervalTimer->start(0);
}

void BRX_Logic_CaptureControl::endInterval()
{
    m_intervalRunning = false;
    m_intervalRemaining = 0;
    delete m_intervalTimer;
    m_intervalTimer = nullptr;
}

// Each picture after the first waits for the previous picture's DNG
// transfer, except in the JPEG-only formats, after which none follows.
bool BRX_Logic_CaptureControl::mayRelease() const
{
    return m_releaseAllowed || (isJpegOnly(m_camera->fileFormat()) && m_camera->shutterTime() <= 0.0);
}

void BRX_Logic_CaptureControl::tickInterval()
{
    if (!hasCamera(BRX_METHOD))
        return;
    if (!m_softwareInterval) {
        endInterval();
        return;
    }
    if (!mayRelease())
        return;
    m_releaseAllowed = false;
    if (m_intervalRemaining > 0) {
        m_intervalTimer->setInterval(std::max(0, int(m_intervalTime)) * 1000);
        m_camera->releaseCam(kVQReleaseCapture);
        --m_intervalRemaining;
        if (m_camera->mirrorUpMode() && m_intervalRemaining % 2 == 1) {
            m_intervalTimer->stop();
            QTimer::singleShot(kMirrorSettleMs, this, &BRX_Logic_CaptureControl::tickIntervalReleaseInMirrorUpMode);
            return;
        }
    }
    if (m_intervalRemaining <= 0)
        endInterval();
}

void BRX_Logic_CaptureControl::tickIntervalReleaseInMirrorUpMode()
{
    if (!hasCamera(BRX_METHOD))
        return;
    // The interval may have ended during the mirror's settling time.
    if (!m_intervalTimer)
        return;
    m_camera->releaseCam(kVQReleaseCapture);
    --m_intervalRemaining;
    m_intervalTimer->start();
}

void BRX_Logic_CaptureControl::emitBulbCounter(int seconds)
{
    if (!m_camera || m_camera->exposureMode() != kVQExposureModeBulb)
        return;
    if (seconds < 0) {
        Q_EMIT signalBulbCounter(-1);
        Q_EMIT signalShutterTimeStale();
        return;
    }
    Q_EMIT signalBulbCounter(seconds);
    m_bulbTimer.start(kCounterResetMs);
}

void BRX_Logic_CaptureControl::emitSelfTimerCounter(int seconds)
{
    if (!m_camera)
        return;
    if (seconds > 0) {
        Q_EMIT signalSelfTimerCounter(seconds);
        m_selfTimer.start(kCounterResetMs);
        return;
    }
    Q_EMIT signalShutterTimeStale();
}

bool BRX_Logic_CaptureControl::hasProduct(std::initializer_list<int> productIds) const
{
    return m_camera && std::find(productIds.begin(), productIds.end(), m_camera->productId()) != productIds.end();
}

// Cameras that send no final count of their own.
void BRX_Logic_CaptureControl::catchBulbResetTimerFired()
{
    if (!hasProduct({0x2009, 0x2011, 0x2021, 0x2041, 0x2051}) || m_camera->exposureMode() != kVQExposureModeBulb)
        return;
    Q_EMIT signalBulbCounter(-1);
    Q_EMIT signalShutterTimeStale();
}

void BRX_Logic_CaptureControl::catchSelfResetTimerFired()
{
    if (hasProduct({0x2021, 0x2051}))
        Q_EMIT signalShutterTimeStale();
}

void BRX_Logic_CaptureControl::catchTransferRequest()
{
    if (!hasCamera(BRX_METHOD))
        return;
    const bool bracketing = m_camera->bracketingEnabled();
    if (bracketing)
        ++m_bracketCounter;
    if (!bracketing || m_bracketCounter == 1)
        Q_EMIT signalLoading(true);
    m_camera->transferRequest();
    if (!bracketing || m_bracketCounter == m_camera->bracketingImageNumbers())
        m_bracketCounter = 0;
    Q_EMIT signalFileNameAndNumber();
}

void BRX_Logic_CaptureControl::catchDngTransferDone()
{
    m_releaseAllowed = true;
}
