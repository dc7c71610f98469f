#ifndef BRX_COMMU_VIRTUALCAMERA_H
#define BRX_COMMU_VIRTUALCAMERA_H

#include "BRX_Commu_UsbPipe.h"
#include "BRX_Commu_VirtualCameraDevice.h"
#include "BRX_Commu_VirtualCameraLink.h"
#include "BRX_Commu_VirtualCameraWriter.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

class BRX_Commu_UsbScanner;

// An in-process PTP camera behind the USB pipe interface, so that the real
// framing, session, retry and event code runs without hardware. A host can
// select one for the USB access (select), and tests drive it directly: plug
// and unplug, camera-side events and changes, and injected faults.
// Every function may be called from any thread.
class BRX_Commu_VirtualCamera : public std::enable_shared_from_this<BRX_Commu_VirtualCamera>
{
public:
    // A vendor ID of our own that no real device carries.
    static const quint16 kVendorId = 0xFFF1;
    static const quint32 kDefaultPacketSize = 512;

    // Null for a product without a profile. An empty serialNumber: the
    // product's own (BRX_Commu_VirtualCameraProfile::serialNumber).
    static std::shared_ptr<BRX_Commu_VirtualCamera> create(int productId,
                                                           quint32 packetSize = kDefaultPacketSize,
                                                           const QString& serialNumber = QString());
    BRX_Commu_VirtualCamera(int productId, quint32 packetSize, const QString& serialNumber = QString());

    // The process-wide choice that the USB access reads when it is created:
    // a new plugged-in camera of productId, or 0 for USB hardware. False for
    // a product without a profile (the choice is then unchanged).
    static bool select(int productId, const QString& serialNumber = QString());
    // The selected camera, null when hardware is selected.
    static std::shared_ptr<BRX_Commu_VirtualCamera> selected();

    int productId() const { return m_productId; }
    // As its DeviceInfo, its pictures' metadata and its scanner say it.
    QString serialNumber() const { return m_device.serialNumber(); }
    // "virtual:0xPPPP"
    QString deviceId() const;
    bool isPlugged() const;
    // Unplugging ends every pipe opened so far and the device's sessions.
    void setPlugged(bool plugged);
    // A scanner that lists this camera while it is plugged in.
    std::shared_ptr<BRX_Commu_UsbScanner> createScanner();
    // A pipe to the camera as plugged in now; null when unplugged or while
    // another program holds it.
    std::shared_ptr<BRX_Commu_UsbPipe> open();
    // Another program holds the camera's interface for ms from now.
    void holdElsewhere(int ms);
    bool isHeldElsewhere() const;

    // --- Camera-side actions and faults -------------------------------------
    void raiseEvent(quint16 code, const QVector<quint32>& params = QVector<quint32>());
    // A device property changed on the camera (raises the change event).
    bool changeProperty(quint16 code, qint64 value);
    void injectBusy(int count);
    // opCode answers responseCode the next times calls, or from now on.
    void failOperation(quint16 opCode, quint16 responseCode,
                       int times = BRX_Commu_VirtualCameraDevice::kEveryTime);
    // Likewise for the calls whose first parameter is param (a device
    // property's code): one property refused, the others served.
    void failOperationOn(quint16 opCode, quint32 param, quint16 responseCode,
                         int times = BRX_Commu_VirtualCameraDevice::kEveryTime);
    // The next release that would take a picture takes none.
    void dropNextShot();
    // The next opCode sends only the first bytes of its data, as a whole
    // (shorter) data phase.
    void cutNextData(quint16 opCode, quint32 bytes);
    // Each ObjectInfo of the transfer queue promises extra pictures more than
    // will come.
    void promiseMorePictures(int extra);
    void truncateNextDataPhase(quint32 bytes);
    void unplugOnOperation(quint16 opCode);
    void misnumberNextResponse();
    void stallNextBulkIn();
    // Timing and framing faults of the USB side, fired on their cue. Time
    // passes for them while a pipe waits on bulk-in: a wait for an answer
    // that is not due within the pipe's timeout returns at once.
    void injectFault(const BRX_Commu_VirtualCameraLink::Fault& fault);
    void setQuirks(int quirks);
    void setCustomOperation(quint16 opCode, BRX_Commu_VirtualCameraDevice::Direction direction,
                            const BRX_Commu_VirtualCameraDevice::Handler& handler);
    // Called under the camera's lock: the observer must not call back into it.
    void setOperationObserver(const BRX_Commu_VirtualCameraDevice::Observer& observer);

    // Keeps the settings between runs in file: they start as file holds
    // them (unless afresh: as at power-on), and each change is written there.
    // An empty file: none kept.
    void keepSettingsIn(const QString& file, bool afresh);

    // --- The card ------------------------------------------------------------------
    // It survives unplugging (a power cycle keeps the card); the queue of
    // files waiting for transfer does not. Handles are those of the object
    // operations, 0x12345678 included (the head of the transfer queue).
    // Every handle on the card, the folder included, in creation order.
    QVector<quint32> objectHandles() const;
    // Empty for an unknown handle.
    QByteArray objectData(quint32 handle) const;
    QString objectFileName(quint32 handle) const;
    // Files announced and not yet acknowledged with transferObjectReady.
    int pendingTransfers() const;
    // The shutter pressed on the camera body. As for a release, the picture
    // is made and written to the card after the call, each file announced
    // (0x4002, then 0x4009) once written, as long as the connection it was
    // taken in lasts; a picture taken unplugged is only stored.
    void takePicture();
    // Pictures taken whose files are not all on the card yet.
    int picturesInProgress() const;
    // While paused, the card takes no file: pictures taken wait unwritten.
    void pauseCard(bool paused);
    // A card that writes megabytesPerSecond, for the pictures taken from now
    // on; 0: the product's own.
    void setCardSpeed(int megabytesPerSecond);
    // For benchmarks of the host's side: a picture taken like the one
    // before gets that picture's files renamed for it, made in no time
    // (see BRX_Commu_VirtualCameraWriter::setReusingFiles).
    void reusePictureFiles(bool reusing);
    // When the camera last announced a picture taken: its files were all on
    // the card and their events queued for the host. Steady clock; the
    // clock's epoch before any.
    std::chrono::steady_clock::time_point lastPictureAnnounced() const;
    // The pictures on the card before any host came (see
    // BRX_Commu_VirtualCameraStore::fillCard).
    void fillCard(int count);
    // A card of bytes; 0: the usual 32 GiB. A full one refuses releases
    // (StoreFull).
    void setCardCapacity(quint64 bytes);
    // A camera without opCode, for the hosts that connect from now on.
    void withdrawOperation(quint16 opCode);
    // Deleted on the camera body: announced with 0x4003. The folder stays.
    void deleteObjectOnCamera(quint32 handle);
    // Formatted in the camera (while no host is connected): the pictures are
    // gone and the file numbers start again, so that a new picture may have
    // the name of an old one.
    void formatCard();
    // For the pictures taken from now on (see BRX_Commu_VirtualCameraStore):
    // the files' sizes (0: as their pixels make them), the Exif orientation,
    // the pictures' width (0: the sensor's; tests take smaller ones).
    void setPictureSizes(quint32 dngBytes, quint32 jpgBytes);
    void setPictureOrientation(int exifCode);
    void setPictureWidth(int width);
    // 0 small thumbnail, 1 big thumbnail; 0 bytes leaves new pictures
    // without that kind. The large preview (2) is a DNG's own.
    void setThumbnailSize(int kind, quint32 bytes);
    // Keeps only the files of the last count pictures (0, the default: all),
    // for long runs.
    void setPicturesKept(int count);

    // --- Time -------------------------------------------------------------------------
    // A continuous series shoots at the product's rate while it runs: one
    // picture at its start, then one every seriesInterval() ms. The camera's
    // clock runs in real time, or, once manual, only when advanceClock moves
    // it, so that a test decides how long the shutter is held.
    void useManualClock();
    void advanceClock(int ms);
    int seriesInterval() const;
    bool isSeriesRunning() const;

    // --- Live view ------------------------------------------------------------------
    // Bytes of each live-view frame; a host reads it with the stream info,
    // so it holds for live view started from now on.
    void setLiveViewFrameSize(quint32 bytes);

    // --- Inspection -------------------------------------------------------------
    QVector<quint16> operationLog() const;
    int protocolErrors() const;
    bool isSessionOpen() const;
    bool isVendorSessionOpen() const;
    QByteArray settingsBlock() const;
    qint64 propertyValue(quint16 code) const;
    // How often a stalled endpoint was cleared or the device reset.
    int recoveryCount() const;

    // --- Pipe side: generation is the plug-in a pipe was opened in ------------
    quint32 packetSize() const { return m_link.packetSize(); }
    BRX_Commu_UsbPipe::Status bulkOut(int generation, const quint8* data, quint32 size, quint32* sent);
    BRX_Commu_UsbPipe::Status bulkIn(int generation, quint8* data, quint32 capacity, quint32* received,
                                     int timeoutMs);
    BRX_Commu_UsbPipe::Status interruptIn(int generation, quint8* data, quint32 capacity, quint32* received,
                                          int timeoutMs);
    BRX_Commu_UsbPipe::Status cancelTransaction(int generation, quint32 transactionId);
    BRX_Commu_UsbPipe::Status getDeviceStatus(int generation, BRX_Commu_UsbPipe::DeviceStatus* status);
    BRX_Commu_UsbPipe::Status clearHalt(int generation, BRX_Commu_UsbPipe::Endpoint endpoint);
    BRX_Commu_UsbPipe::Status resetDevice(int generation);

    // --- Links that carry whole operations (PTP/IP) ---------------------------
    // The plug-in now, -1 while unplugged.
    int currentGeneration() const;
    bool expectsDataOut(quint16 opCode) const;
    // One operation for the device logic, as USB's link would hand it on;
    // false, and nothing done, when generation is no longer plugged in.
    bool execute(int generation, quint16 opCode, quint32 transactionId, const QVector<quint32>& params,
                 const QByteArray& dataOut, BRX_Commu_VirtualCameraDevice::Reply* reply);
    // The host gave the transaction up; its ID counts as used.
    void cancelOperation(int generation, quint32 transactionId);
    // The host's connection ended: as when the cable is pulled, its
    // sessions, live view and series end, nothing queued for it is kept for
    // the next host (which finds the pictures on the card), and whatever
    // still serves the old connection gets no more events.
    void endSessions(int generation);

private:
    bool isCurrent(int generation) const { return generation == m_generation && m_plugged; }
    // The camera's clock: real or manual time plus the waits it skipped.
    qint64 clockMs() const;
    BRX_Commu_UsbPipe::Status waitForBulkIn(quint8* data, quint32 capacity, quint32* received, int timeoutMs);
    void unplugLocked();
    void endConnectionLocked();
    void advanceLocked();
    void collectEventsLocked();
    void announceLocked();
    // The card writer's thread: a file is on the card.
    void storeWritten(const BRX_Commu_VirtualCameraStore::Object& file, bool last);
    void saveSettingsLocked();

    const int m_productId;
    // Standard mutex and condition: the event endpoint waits on them.
    mutable std::mutex m_mutex;
    std::condition_variable m_eventQueued;
    BRX_Commu_VirtualCameraDevice m_device;
    BRX_Commu_VirtualCameraLink m_link;
    bool m_plugged = true;
    int m_generation = 0;
    int m_recoveries = 0;
    QElapsedTimer m_started;
    // -1 while the clock runs in real time.
    qint64 m_manualNowMs = -1;
    qint64 m_skippedMs = 0;
    qint64 m_heldUntil = 0;
    QList<QByteArray> m_events;
    std::chrono::steady_clock::time_point m_lastPictureAnnounced;
    QString m_settingsFile;
    // Last: its thread uses everything above until it is joined.
    BRX_Commu_VirtualCameraWriter m_writer;
};

#endif
