#ifndef BRX_COMMU_VIRTUALCAMERASHUTTER_H
#define BRX_COMMU_VIRTUALCAMERASHUTTER_H

#include "BRX_Commu_VirtualCameraSettings.h"
#include "BRX_Commu_VirtualCameraShot.h"
#include "BRX_Commu_VirtualCameraStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QVector>
#include <functional>

// The virtual camera's shutter: single releases (the first of two raises
// the mirror when mirror-up is on), bulb, continuous series at the
// product's rate, and the pictures they take, each with the settings of
// its moment, stored on the card and announced (ObjectAdded, then
// RequestObjectTransfer). Its clock is the camera's, told by its owner.
// Not thread-safe: its owner locks.
class BRX_Commu_VirtualCameraShutter
{
public:
    // The settings as they stand now.
    typedef std::function<BRX_Commu_VirtualCameraSettings()> Settings;
    typedef std::function<void(quint16 code, const QVector<quint32>& params, quint32 transactionId)> RaiseEvent;

    BRX_Commu_VirtualCameraShutter(int productId, const QByteArray& lensData, BRX_Commu_VirtualCameraStore& store,
                                   const Settings& settings, const RaiseEvent& raiseEvent);

    // A single picture, or the mirror raised for it.
    void release();
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
    // The pictures a standard capture takes announce its transaction; 0: none.
    void setCaptureTransaction(quint32 transactionId) { m_captureTransactionId = transactionId; }

    // The camera's time: a running series takes its pictures up to then.
    void advanceTo(qint64 nowMs);
    bool isSeriesRunning() const { return m_seriesRunning; }
    int seriesInterval() const;
    // Power loss: the mirror comes down and a series ends.
    void reset();

private:
    void shootDueSeriesPictures();
    void createPicture(double bulbSeconds = 0);
    BRX_Commu_VirtualCameraShot shotNow(const BRX_Commu_VirtualCameraSettings& settings) const;
    QVector<quint16> formats(const BRX_Commu_VirtualCameraSettings& settings) const;
    void logAdded(const BRX_Commu_VirtualCameraStore::Object& object) const;

    const int m_productId;
    const QByteArray m_lensData;
    const QDateTime m_clockOrigin;
    BRX_Commu_VirtualCameraStore& m_store;
    const Settings m_settings;
    const RaiseEvent m_raiseEvent;
    bool m_mirrorRaised = false;
    bool m_seriesRunning = false;
    qint64 m_nowMs = 0;
    qint64 m_nextShotMs = 0;
    qint64 m_bulbOpenedMs = -1;
    int m_shotsToDrop = 0;
    quint32 m_captureTransactionId = 0;
};

#endif
