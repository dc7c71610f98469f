#ifndef BRX_COMMU_VIRTUALCAMERASHUTTER_H
#define BRX_COMMU_VIRTUALCAMERASHUTTER_H

#include "BRX_Commu_VirtualCameraShotSettings.h"
#include "BRX_Commu_VirtualCameraShot.h"

#include <QByteArray>
#include <QDateTime>
#include <QVector>
#include <functional>

// The virtual camera's shutter: single releases (the first of two raises
// the mirror when mirror-up is on), bulb, continuous series at the
// product's rate, and the pictures they take, each with the settings of
// its moment, handed to the card (takePicture). Its clock is the camera's,
// told by its owner. Not thread-safe: its owner locks.
class BRX_Commu_VirtualCameraShutter
{
public:
    // The settings as they stand now.
    typedef std::function<BRX_Commu_VirtualCameraShotSettings()> Settings;
    // A picture taken: its files' formats in the order the camera writes them.
    typedef std::function<void(const QVector<quint16>& formats, const BRX_Commu_VirtualCameraShot& shot)>
        TakePicture;

    // serialNumber goes into every picture's metadata.
    BRX_Commu_VirtualCameraShutter(int productId, const QString& serialNumber, const QByteArray& lensData,
                                   const Settings& settings, const TakePicture& takePicture);

    // A single picture, or the mirror raised for it; whether a picture was taken.
    bool release();
    void openBulb();
    // The bulb picture, exposed for as long as the bulb was open.
    void closeBulb();
    // A second start while a series runs changes nothing; a stop without a
    // series neither (a host repeats the stop when unsure).
    void startSeries();
    void stopSeries();
    // The shutter pressed on the camera body: one picture, whatever the mirror.
    void takePicture();
    // The next release that would take a picture takes none.
    void dropNextShot() { ++m_shotsToDrop; }

    // The camera's time: a running series takes its pictures up to then.
    void advanceTo(qint64 nowMs);
    bool isSeriesRunning() const { return m_seriesRunning; }
    int seriesInterval() const;
    // Power loss: the mirror comes down and a series ends.
    void reset();

private:
    void shootDueSeriesPictures();
    bool createPicture(double bulbSeconds = 0);
    BRX_Commu_VirtualCameraShot shotNow(const BRX_Commu_VirtualCameraShotSettings& settings) const;
    QVector<quint16> formats(const BRX_Commu_VirtualCameraShotSettings& settings) const;

    const int m_productId;
    const QString m_serialNumber;
    const QByteArray m_lensData;
    const QDateTime m_clockOrigin;
    const Settings m_settings;
    const TakePicture m_takePicture;
    bool m_mirrorRaised = false;
    bool m_seriesRunning = false;
    qint64 m_nowMs = 0;
    qint64 m_nextShotMs = 0;
    qint64 m_bulbOpenedMs = -1;
    int m_shotsToDrop = 0;
};

#endif
