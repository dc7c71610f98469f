#ifndef BRX_COMMU_VIRTUALCAMERADEVICE_H
#define BRX_COMMU_VIRTUALCAMERADEVICE_H

#include "BRX_Commu_PtpCodes.h"
#include "BRX_Commu_PtpContainer.h"
#include "BRX_Commu_VirtualCameraProperty.h"
#include "BRX_Commu_VirtualCameraSettings.h"
#include "BRX_Commu_VirtualCameraShutter.h"
#include "BRX_Commu_VirtualCameraStore.h"
#include "BRX_Commu_VirtualCameraStream.h"

#include <QByteArray>
#include <QHash>
#include <QVector>
#include <functional>

// The device-side PTP logic of the virtual camera: session and transaction
// checks, the operations and the camera's data. Knows nothing of USB, so it
// can be served over any link. Not thread-safe: its owner locks.
class BRX_Commu_VirtualCameraDevice : public BRX_Commu_PtpCodes
{
public:
    // One operation's answer: the response code and, for a data-in operation
    // that succeeded, the data phase.
    struct Reply {
        quint16 code = kResponseOK;
        bool hasData = false;
        QByteArray data;
    };
    // A test or extension operation: gets the parameters and the data phase
    // sent, fills *dataIn for a data-in operation, returns the response code.
    typedef std::function<quint16(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn)>
        Handler;
    // Sees every operation the camera accepts, before it is carried out.
    typedef std::function<void(quint16 opCode, const QVector<quint32>& params)> Observer;
    enum Direction { kNoData, kDataIn, kDataOut };

    // An empty serialNumber: the product's own.
    explicit BRX_Commu_VirtualCameraDevice(int productId, const QString& serialNumber = QString());

    int productId() const { return m_productId; }
    QString serialNumber() const { return m_serialNumber; }
    // Whether the host sends a data phase after the command of opCode.
    bool expectsDataOut(quint16 opCode) const;
    Reply handle(quint16 opCode, quint32 transactionId, const QVector<quint32>& params,
                 const QByteArray& dataOut);
    // Event containers raised since the last call, oldest first.
    QVector<BRX_Commu_PtpContainer> takeEvents();
    // transactionId: the operation the event reports on, 0 for none.
    void raiseEvent(quint16 code, const QVector<quint32>& params, quint32 transactionId = 0);
    // Power loss: sessions and live view end, the transfer queue and unsent
    // events are dropped; the card and the settings stay, and pictures being
    // written still reach it.
    void powerCycle();
    // A host connection ends or begins (power loss, a cable plugged in): the
    // pictures taken before are stored without being announced to the next.
    void newConnection() { ++m_connection; }
    // The host cancelled the transaction, or the link gave it up: its ID
    // counts as used.
    void cancelTransaction(quint32 transactionId);
    // Device Reset: both sessions end.
    void endSession();
    // Events and transfer requests nobody can receive (the camera is off the
    // bus) are forgotten.
    void dropAnnouncements();

    void setCustomOperation(quint16 opCode, Direction direction, const Handler& handler);
    void setOperationObserver(const Observer& observer) { m_observer = observer; }
    // The next count operations answer Device Busy.
    void injectBusy(int count);
    // opCode answers responseCode the next times calls (kEveryTime: from now
    // on), then is served again; responseCode 0 restores it at once.
    static const int kEveryTime = -1;
    void failOperation(quint16 opCode, quint16 responseCode, int times = kEveryTime);
    // The same for the calls of opCode whose first parameter is param (a
    // device property's code, an object's handle); the others are served.
    void failOperationOn(quint16 opCode, quint32 param, quint16 responseCode, int times = kEveryTime);
    // The next release that would take a picture takes none (a failed
    // autofocus, a dropped shot).
    void dropNextShot() { m_shutter.dropNextShot(); }
    // The next opCode sends only the first bytes of its data, as a whole
    // data phase: less than the ObjectInfo or the dataset's size announced.
    void cutNextData(quint16 opCode, quint32 bytes) { m_nextCut = {opCode, bytes}; }

    QVector<quint16> operationLog() const { return m_operationLog; }
    bool isSessionOpen() const { return m_sessionOpen; }
    bool isVendorSessionOpen() const { return m_vendorSessionOpen; }
    QByteArray settingsBlock() const { return m_settings.block(); }
    // The property's value, 0 for an unknown code.
    qint64 propertyValue(quint16 code) const;
    // A change made on the camera itself: stores and raises the event.
    bool changeProperty(quint16 code, qint64 value);
    // The settings a camera keeps while it is switched off
    // (BRX_Commu_VirtualCameraSettings::state), and back.
    QByteArray settingsState() const { return m_settings.state(); }
    void restoreSettings(const QByteArray& state) { m_settings.restore(state); }

    // The shutter pressed on the camera body: one picture, whatever the mirror.
    void takePicture() { m_shutter.takePicture(); }
    // Where the pictures taken go: write gets each one's order and brings its
    // files back through fileWritten, later and on any thread, under the
    // owner's lock. Without a writer, a picture's files are made and stored
    // at once.
    typedef std::function<void(const BRX_Commu_VirtualCameraStore::Order& order)> CardWriter;
    void setCardWriter(const CardWriter& write) { m_cardWriter = write; }
    // A file of an ordered picture is on the card: stored and, while the
    // connection it was taken in lasts, queued for transfer; with its
    // picture's last file (last) the picture's files are announced
    // (ObjectAdded, RequestObjectTransfer each; a standard capture's then
    // CaptureComplete).
    void fileWritten(const BRX_Commu_VirtualCameraStore::Object& file, bool last);
    // A picture deleted on the camera body; false for an unknown handle or the folder.
    bool deleteObjectOnCamera(quint32 handle);
    // The pictures on the card before any host came (see
    // BRX_Commu_VirtualCameraStore::fillCard), recording this camera and lens.
    void fillCard(int count);
    // A camera without opCode: its DeviceInfo no longer lists it and it is
    // answered as not supported. For the host that connects from now on.
    void withdrawOperation(quint16 opCode);
    BRX_Commu_VirtualCameraStore& store() { return m_store; }
    const BRX_Commu_VirtualCameraStore& store() const { return m_store; }
    // The camera's time in milliseconds, told by its owner before each
    // operation: a running series takes its pictures up to then, one at the
    // start and one every seriesInterval() while it runs.
    void advanceTo(qint64 nowMs);
    bool isSeriesRunning() const { return m_shutter.isSeriesRunning(); }
    int seriesInterval() const { return m_shutter.seriesInterval(); }
    // Bytes of each live-view frame, for streams started from now on.
    void setLiveViewFrameSize(quint32 bytes) { m_stream.setFrameSize(bytes); }

private:
    typedef quint16 (BRX_Commu_VirtualCameraDevice::*Operation)(const QVector<quint32>& params,
                                                                 const QByteArray& dataOut, QByteArray* dataIn);
    enum ServedTo { kAllProducts, kStructProducts, kPropertyProducts, kObjectPropertyProducts, kLiveViewProducts };
    struct OperationEntry {
        quint16 code;
        Direction direction;
        Operation operation;
        ServedTo servedTo;
    };
    static const OperationEntry s_operations[];
    static const OperationEntry* findEntry(quint16 opCode);

    quint16 checkSession(quint16 opCode, quint32 transactionId, int numParams);
    Reply dispatch(quint16 opCode, const QVector<quint32>& params, const QByteArray& dataOut);
    bool isServed(const OperationEntry& entry) const;

    quint16 opGetDeviceInfo(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opOpenSession(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opCloseSession(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetPropDesc(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetPropValue(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opSetPropValue(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opSetSettings(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetSettings(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetLensData(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetGeotagging(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGet3DAxis(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opOpenVendorSession(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opCloseVendorSession(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opAcknowledge(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opRelease(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opInitiateCapture(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opControlBulb(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opControlSeries(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetStreamInfo(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetStreamData(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opControlVideoRecording(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opControlPhotoLiveView(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opToggleZoom(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opSetFocusCross(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetStorageIDs(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetStorageInfo(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetObjectHandles(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetObjectInfo(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetObject(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetThumb(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opDeleteObject(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetPartialObject(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opTransferObjectReady(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);
    quint16 opGetObjectPropsSupported(const QVector<quint32>& params, const QByteArray& dataOut,
                                      QByteArray* dataIn);
    quint16 opGetObjectPropValue(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray* dataIn);

    void moveLensTo(quint32 position);
    BRX_Commu_VirtualCameraShotSettings settingsNow() const;
    void orderPicture(const QVector<quint16>& formats, const BRX_Commu_VirtualCameraShot& shot);
    void logAdded(const BRX_Commu_VirtualCameraStore::Object& file, quint32 handle) const;
    // Enters the live-view mode that opCode with these parameters selects, if any.
    void switchLiveView(quint16 opCode, const QVector<quint32>& params);
    // No mode and no enabled streams, as after power-on; nothing is reported.
    void resetLiveView();

    const int m_productId;
    const QString m_serialNumber;
    QByteArray m_deviceInfo;
    QVector<quint16> m_withdrawn;
    BRX_Commu_VirtualCameraSettings m_settings;
    QByteArray m_lens;
    QByteArray m_axis;
    QByteArray m_geotagging;
    BRX_Commu_VirtualCameraStore m_store;
    BRX_Commu_VirtualCameraShutter m_shutter;
    BRX_Commu_VirtualCameraStream m_stream;
    struct Cut {
        quint16 opCode = 0;
        quint32 bytes = 0;
    } m_nextCut;

    bool m_sessionOpen = false;
    bool m_vendorSessionOpen = false;
    quint32 m_lastTransactionId = 0;
    // The operation being carried out; the standard capture's events carry it.
    quint32 m_currentTransactionId = 0;
    // The standard capture being carried out, 0 for none.
    quint32 m_captureTransactionId = 0;
    // Whom a picture not yet written is announced to, by picture number: the
    // connection it was taken in, the capture that took it and its files
    // written so far.
    struct Announcement {
        int connection;
        quint32 captureTransactionId;
        QVector<quint32> handles;
    };
    QHash<int, Announcement> m_unwritten;
    int m_connection = 0;
    CardWriter m_cardWriter;
    int m_busyCount = 0;
    struct Failure {
        quint16 responseCode;
        int remaining; // kEveryTime: no end
    };
    // An operation and the first parameter it fails for; -1: any.
    typedef QPair<quint16, qint64> FailureKey;
    void setFailure(const FailureKey& key, quint16 responseCode, int times);
    // The failure the call answers now, 0 for none; counts the answer down.
    quint16 takeFailure(quint16 opCode, const QVector<quint32>& params);
    quint16 takeFailure(const FailureKey& key);

    QHash<FailureKey, Failure> m_failures;
    QHash<quint16, QPair<Direction, Handler>> m_customOperations;
    Observer m_observer;
    QVector<quint16> m_operationLog;
    QVector<BRX_Commu_PtpContainer> m_events;
};

#endif
