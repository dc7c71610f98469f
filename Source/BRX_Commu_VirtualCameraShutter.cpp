#include "BRX_Commu_VirtualCameraShutter.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Commu_VirtualCameraProfile.h"

namespace {

typedef BRX_Commu_PtpCodes Codes;
} // namespace

BRX_Commu_VirtualCameraShutter::BRX_Commu_VirtualCameraShutter(int productId, const QString& serialNumber,
                                                               const QByteArray& lensData, const Settings& settings,
                                                               const TakePicture& takePicture)
    : m_productId(productId)
    , m_serialNumber(serialNumber)
    , m_lensData(lensData)
    , m_clockOrigin(QDateTime::currentDateTime())
    , m_settings(settings)
    , m_takePicture(takePicture)
{
}

bool BRX_Commu_VirtualCameraShutter::release()
{
    if (m_settings().isMirrorUpOn() && !m_mirrorRaised) {
        m_mirrorRaised = true;
        return false;
    }
    m_mirrorRaised = false;
    return createPicture();
}

void BRX_Commu_VirtualCameraShutter::openBulb()
{
    m_bulbOpenedMs = m_nowMs;
}

void BRX_Commu_VirtualCameraShutter::closeBulb()
{
    const double seconds = m_bulbOpenedMs < 0 ? 0 : (m_nowMs - m_bulbOpenedMs) / 1000.0;
    m_bulbOpenedMs = -1;
    createPicture(seconds);
}

void BRX_Commu_VirtualCameraShutter::startSeries()
{
    if (m_seriesRunning)
        return;
    m_seriesRunning = true;
    m_nextShotMs = m_nowMs;
    shootDueSeriesPictures();
}

void BRX_Commu_VirtualCameraShutter::stopSeries()
{
    shootDueSeriesPictures();
    m_seriesRunning = false;
}

void BRX_Commu_VirtualCameraShutter::takePicture()
{
    createPicture();
}

void BRX_Commu_VirtualCameraShutter::advanceTo(qint64 nowMs)
{
    m_nowMs = qMax(m_nowMs, nowMs);
    shootDueSeriesPictures();
}

void BRX_Commu_VirtualCameraShutter::shootDueSeriesPictures()
{
    for (; m_seriesRunning && m_nextShotMs <= m_nowMs; m_nextShotMs += seriesInterval())
        createPicture();
}

int BRX_Commu_VirtualCameraShutter::seriesInterval() const
{
    return BRX_Commu_VirtualCameraProfile::seriesIntervalMs(m_productId);
}

void BRX_Commu_VirtualCameraShutter::reset()
{
    m_mirrorRaised = false;
    m_seriesRunning = false;
    m_bulbOpenedMs = -1;
}

// A bulb picture records how long it was open, when that was measurable.
bool BRX_Commu_VirtualCameraShutter::createPicture(double bulbSeconds)
{
    if (m_shotsToDrop > 0) {
        --m_shotsToDrop;
        return false;
    }
    const BRX_Commu_VirtualCameraShotSettings settings = m_settings();
    BRX_Commu_VirtualCameraShot shot = shotNow(settings);
    if (settings.isBulb() && bulbSeconds > 0)
        shot.exposureSeconds = bulbSeconds;
    m_takePicture(formats(settings), shot);
    return true;
}

BRX_Commu_VirtualCameraShot BRX_Commu_VirtualCameraShutter::shotNow(
    const BRX_Commu_VirtualCameraShotSettings& settings) const
{
    BRX_Commu_VirtualCameraShot shot;
    BRX_Commu_VirtualCameraShotSettings::describeCamera(m_productId, m_serialNumber, &shot);
    BRX_Commu_VirtualCameraShotSettings::describeLens(m_lensData, &shot);
    settings.describeExposure(&shot);
    shot.taken = m_clockOrigin.addMSecs(m_nowMs);
    return shot;
}

// The files of one picture, in the order the camera writes them.
QVector<quint16> BRX_Commu_VirtualCameraShutter::formats(const BRX_Commu_VirtualCameraShotSettings& settings) const
{
    switch (settings.fileFormat()) {
    case 1:
    case 2:
        if (BRX_Commu_VirtualCameraProfile::writesJpgFirst(m_productId))
            return {Codes::kFormatJpg, Codes::kFormatDng};
        return {Codes::kFormatDng, Codes::kFormatJpg};
    case 3:
    case 4:
        return {Codes::kFormatJpg};
    default:
        return {Codes::kFormatDng};
    }
}
