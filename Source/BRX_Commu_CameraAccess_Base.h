#ifndef BRX_COMMU_CAMERAACCESS_BASE_H
#define BRX_COMMU_CAMERAACCESS_BASE_H

#include "BRX_Commu_PtpCodes.h"
#include "BRX_Commu_PtpContainer.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <mutex>

// Each row of the device-property table yields
//   bool getDeviceProp<Name>(ValueType& value)  reads ReadCode,
//   bool setDeviceProp<Name>(ValueType value)   writes WriteCode,
// next to the constant kDeviceProp<Name> = ReadCode of BRX_Commu_PtpCodes.
#define BRX_DEVICE_PROPERTY_GETTER(Name, Type, ReadCode, WriteCode)                                  \
    bool getDeviceProp##Name(Type& value) { return getDevicePropTyped(ReadCode, value); }
#define BRX_DEVICE_PROPERTY_SETTER(Name, Type, ReadCode, WriteCode)                                  \
    bool setDeviceProp##Name(Type value) { return setDevicePropTyped(WriteCode, value); }
#define BRX_DEVICE_PROPERTY_WRITE_ONLY_SETTER(Name, Type, WriteCode)                                 \
    bool setDeviceProp##Name(Type value) { return setDevicePropTyped(WriteCode, value); }

// The one object through which the rest of the library talks to a camera.
// Every camera operation is one PTP transaction (operation code, up to five
// 32-bit parameters, an optional data phase in one direction, a response
// code); this class builds all operations on the three transaction primitives
// that a transport subclass realises, and leaves discovery and connection to
// that subclass. It also turns reported device-property changes into signals
// (one per 100 ms tick) and translates release stages (releaseCam).
class BRX_Commu_CameraAccess_Base : public QObject, public BRX_Commu_PtpCodes
{
    Q_OBJECT
public:
    // Connection types of the transports BRX_Commu_CameraAccessFactory knows.
    enum ConnectionType : int {
        kConnectionUsb = 1,
        kConnectionWlan = 2,
        kConnectionSimulated = 0x100,
    };

    explicit BRX_Commu_CameraAccess_Base(int connectionType);
    ~BRX_Commu_CameraAccess_Base() override;

    // --- Transport, realised by each subclass ---------------------------------
    // All three transactions: opCode is a 16-bit operation code, params points
    // to numParams values (may be null when numParams is 0), methodName is the
    // caller's label for log lines (null: the transport's own). They return
    // true only when the camera answered 0x2001, and may be called from the
    // controller and transfer threads at once (the transport serialises them).

    // Opens the camera found by discovery; sets productId and emits
    // signalConnectionOpened. False when a camera is already open.
    virtual bool openConnection(quint64 cameraId, int productId, QString deviceId) = 0;
    // Closes the open camera; clears productId and emits
    // signalConnectionClosed. False when none is open.
    virtual bool closeConnection() = 0;
    // Transaction with a data phase from the camera: zeroes bufferSize bytes
    // of buffer, then copies min(bufferSize, bytes sent) into it. *received,
    // when given, is how many bytes of buffer the data phase filled, also
    // when the transaction failed (a data phase cut short), so that a short
    // answer is never mistaken for a whole one.
    virtual bool recvData(quint32 opCode, quint32 numParams, const quint32* params, void* buffer,
                          quint32 bufferSize, const char* methodName, quint32* received = nullptr) = 0;
    // The camera's answer to the calling thread's last transaction (a
    // refusal's reason), 0 when none came. The base knows none.
    virtual quint16 lastResponseCode() const { return 0; }
    // Transaction without a data phase.
    virtual bool sendCommand(quint32 opCode, quint32 numParams, const quint32* params,
                             const char* methodName) = 0;
    // Transaction whose data phase carries bufferSize bytes of buffer to the camera.
    virtual bool sendData(quint32 opCode, quint32 numParams, const quint32* params,
                          const void* buffer, quint32 bufferSize, const char* methodName) = 0;

    // --- State -------------------------------------------------------------------
    int connectionType() const { return m_connectionType; }
    // USB product ID of the open camera, 0 while none is open.
    int productId() const { return m_productId; }
    // The open camera's USB socket ("usb:1-2.3"); empty while none is open
    // and for a camera that is not on a USB bus. Access object's thread.
    virtual QString portPath() const { return QString(); }
    bool supportsCaptureMode7() const { return m_supportsCaptureMode7; }
    // Called once after the camera model is created: only product 0x2031 is
    // asked whether StillCaptureMode accepts 7. Returns the new value.
    bool evaluateSupportsCaptureMode7();
    // Focus mode as last read or written through property 0x500A (initially 2).
    quint16 focusMode() const { return m_focusMode; }

    // --- PTP operations (each logs with flag 0x1 and sends one transaction) ------
    bool getDeviceInfo(void* buffer, quint32 size);
    bool getStorageIDs(void* buffer, quint32 size);
    bool getStorageInfo(void* buffer, quint32 size, uint storageId);
    bool getObjectHandles(void* buffer, quint32 size, uint storageId);
    bool getObjectInfo(void* buffer, quint32 size, int thumbType, uint objectHandle);
    bool getObjectPropsSupported(void* buffer, quint32 size, uint objectFormatCode);
    bool getObjectPropValue(void* buffer, quint32 size, uint propertyCode, uint objectHandle);
    // received: as for recvData.
    bool getObject(void* buffer, quint32 size, uint objectHandle, quint32* received = nullptr);
    // Reads size bytes of the object from offset.
    bool getPartialObject(void* buffer, quint32 size, uint offset, uint objectHandle,
                          quint32* received = nullptr);
    bool getStreamInfo(void* buffer, quint32 size);
    // False without a transaction for a null buffer or size 0.
    bool getThumbnail(void* buffer, quint32 size, int thumbType, uint objectHandle, quint32* received = nullptr);
    bool transferObjectReady();
    bool getCameraSettings(void* buffer, quint32 size);
    bool setCameraSettings(const void* buffer, quint32 size);
    bool getLensData(void* buffer, quint32 size);
    bool get3DAxisData(void* buffer, quint32 size);
    bool getGeotackingData(void* buffer, quint32 size);
    bool getStreamData(void* buffer, quint32 size);
    bool getDevicePropDesc(uint propertyCode, void* buffer, quint32 size);
    bool getDevicePropValue(uint propertyCode, void* buffer, quint32 size);
    bool setDevicePropValue(uint propertyCode, const void* buffer, quint32 size);
    bool deleteObject(uint objectHandle);
    bool initiateCapture();
    bool controlAutoFocus(int command);
    bool controlAutoFocus(uint command, int mode);
    bool controlBulbExposure(int command);
    bool controlContinuousExposure(int command);
    bool controlVideoRecording(int command);
    bool controlPhotoLiveView(int command);
    bool keepCameraActive();
    bool moveLens(uint command, int value);
    bool toggleZoomMode();
    bool setFocusCrossPosition(int positionX, int positionY);
    bool controlLVWhiteBalance(int command);

    // --- Typed device-property accessors (see the table above) -------------------
    BRX_DEVICE_PROPERTY_TABLE(BRX_DEVICE_PROPERTY_GETTER)
    BRX_DEVICE_PROPERTY_TABLE(BRX_DEVICE_PROPERTY_SETTER)
    BRX_DEVICE_PROPERTY_WRITE_ONLY_TABLE(BRX_DEVICE_PROPERTY_WRITE_ONLY_SETTER)

    // Whether the camera's descriptor of propertyCode admits value.
    bool supportsDevicePropValue(uint propertyCode, int value);

    // --- Release -----------------------------------------------------------------
    // Sends a release stage (0..22) with its parameter. Stages 9, 10, 11, 17,
    // 18 and 22 carry param; the others ignore it.
    bool releaseCam(int releaseStage, int param = 0);
    // Sends a release stage with two parameters (stage 21: focus cross x, y).
    bool releaseCam(int releaseStage, int param1, int param2);
    // Stage 1 (start autofocus) and stage 2 (stop autofocus).
    bool releaseCamAutoFocusStart();
    bool releaseCamAutoFocusStop();

    // --- Device-property changes and transfers -----------------------------------
    // Queues a code reported changed by the camera unless it is queued
    // already. A camera that reports more codes than the queue holds (a few
    // thousand) is taken as broken: one log line, and its connection closes
    // as after a fault. Any thread (the platform's event thread calls it).
    void addChangedDeviceProperty(quint16 propertyCode);
    // Called by the transfer thread when a download ends. Any thread.
    void finishTransfer();
    int pendingTransfers() const;
    bool isTransferActive() const;
    // The transport has found the open connection's camera gone (off the
    // bus, the network link lost, or silent), though its closing may still
    // be on its way. Any thread.
    bool hasDeparted() const { return m_connection != 0 && m_departedConnection == m_connection; }

    // --- Camera events -------------------------------------------------------------
    // Applies the event table to one camera event. eventCode carries the PTP
    // event code in its upper 16 bits; the lower 16 bits must be zero.
    // Called on this object's own thread.
    void deliverEvent(quint32 eventCode, const QVector<quint32>& params);

signals:
    void signalDeviceAvailable(int connectionType, quint64 cameraId, int productId, QString deviceId);
    void signalConnectionOpened(int connectionType);
    void signalConnectionClosed(int connectionType);
    void signal3DAxisDataChanged();
    void signalBulbCounter(int counter);
    void signalDevicePropertyChanged(ushort propertyCode);
    void signalGeotackingChanged();
    void signalLensChanged();
    void signalSelfTimerCounter(int counter);
    void signalSettingsChanged();
    void signalTransferRequest();
    void signalUpdateImageDB();
    // ObjectAdded with the new object's handle; signalUpdateImageDB follows.
    void signalObjectAdded(quint32 objectHandle);
    void signalObjectDeleted(uint objectHandle);

public slots:
    // Looks for a supported camera; emits signalDeviceAvailable for a new one.
    virtual bool checkDeviceAvailable() = 0;

protected slots:
    // Signals at most one queued property change (every 100 ms).
    void timeoutDevicePropertyChanged();

private slots:
    void drainEvents();

protected:
    // The release dispatcher: values[0] is the stage, then its parameters.
    bool releaseCamImpl(quint32 count, const qint32* values);

    // Connections are counted, so that a late report of a transport's event
    // thread cannot act on a newer connection. Any thread.
    quint32 beginConnection() { return ++m_connection; }
    quint32 currentConnection() const { return m_connection; }
    // Any thread (a transport's event thread): an event of a connection, or
    // the report that its device has gone (off the bus, closed, or silent).
    // Both are acted on later on this object's own thread, so that no caller
    // further up the stack loses the objects it works with. The queue holds
    // a few thousand events: a camera that sends more before they are
    // handled is taken as broken (one log line; its further events are
    // dropped and its connection closes as after a fault).
    void queueEvent(quint32 connection, const BRX_Commu_PtpContainer& event);
    void queueDeparture(quint32 connection, bool silent);
    void dropQueuedEvents();
    // The device of the open connection has gone; this object's thread.
    // silent: it stopped answering rather than leaving.
    virtual void deviceDeparted(bool silent);
    // The camera of the open connection was given up for flooding the host
    // but is still there: its connection is closed as the host closes one,
    // so that its sessions end, and discovery is to open it afresh. This
    // object's thread.
    virtual void deviceFlooded();

    // Set by openConnection, cleared by closeConnection of the transport (in
    // the access's thread); read from the host's thread too.
    std::atomic<int> m_productId{0};

private:
    struct PendingEvent {
        enum Kind { kEvent, kVanished, kSilent, kFlooded };
        quint32 connection;
        Kind kind;
        BRX_Commu_PtpContainer event;
    };

    void queuePending(const PendingEvent& event);
    void appendPendingLocked(const PendingEvent& event);
    void giveUpFlooded(quint32 connection, const char* what);
    bool isFlooded(quint32 connection) const { return qint64(connection) == m_floodedConnection; }
    template <typename T> bool getDevicePropTyped(quint16 propertyCode, T& value);
    template <typename T> bool setDevicePropTyped(quint16 propertyCode, T value);
    bool isDirectReleaseProduct() const;
    bool sendControl(quint16 opCode, int command, const char* label);
    bool receiveDataset(quint16 opCode, void* buffer, quint32 size, const char* label);
    bool translateRelease(quint32 count, const qint32* values, const char* label);

    const int m_connectionType;
    bool m_supportsCaptureMode7 = false;
    quint16 m_focusMode = 2;
    QList<quint16> m_changedProperties;
    // Standard mutexes: the event and transfer threads use these too, and
    // ThreadSanitizer cannot follow Qt's uninstrumented ones.
    std::mutex m_changedPropertiesMutex;
    QTimer m_changeTimer;
    mutable std::mutex m_transferMutex;
    int m_pendingTransfers = 0;
    quint32 m_transferActive = 0;
    std::atomic<quint32> m_connection{0};
    std::atomic<quint32> m_departedConnection{0};
    std::mutex m_eventMutex;
    QVector<PendingEvent> m_pendingEvents;
    // The connection given up for flooding (-1: none); set under m_eventMutex.
    std::atomic<qint64> m_floodedConnection{-1};
};

#endif
