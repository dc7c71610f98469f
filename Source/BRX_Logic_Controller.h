#ifndef BRX_LOGIC_CONTROLLER_H
#define BRX_LOGIC_CONTROLLER_H

#include "BRX_Commu_DeviceEntry.h"
#include "BRX_Logic_ControllerMirror.h"
#include "BRX_Logic_ControllerNotifier.h"
#include "BRX_Logic_ControllerSignals.h"
#include "BRX_Logic_LiveViewArea.h"
#include "BRX_Logic_PendingPictures.h"
#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_Logic_SetterRules.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_Camera;
class BRX_Logic_CaptureControl;
class BRX_Logic_Card;
struct BRX_SDK_CardRoom;
class BRX_Logic_ImageEntry;
class BRX_Logic_PropertyTexts;

// The object behind every export: finds the camera, opens and closes its
// connection, and is the entry of every request. It owns the camera accesses
// and the capture control; per connection, the camera model and the rooms
// that work on it: the converters, the setter rules, the property table, the
// Qt-side mirror, the notifier and the image service. Its slots forward to
// those rooms and their signals leave as its own, so that whatever is
// connected to the controller needs to know none of them.
//
// Lives in the controller thread. getProperty, setProperty, setFrameCallback
// and getProductId are also called directly from the host's thread; there
// they hold the connection lock (shared) while they use the per-connection
// objects, which connection set-up and tear-down swap under the same lock
// (exclusive). The lock is never held while the host is called: every
// notification leaves from the controller thread, queued.
class BRX_Logic_Controller : public BRX_Logic_ControllerSignals
{
    Q_OBJECT
public:
    typedef void (*FrameCallback)(void* context, int type, const void* data, unsigned int size);

    explicit BRX_Logic_Controller(QObject* parent = nullptr);
    ~BRX_Logic_Controller() override;

    // Read or write one numbered property; false (with a log line) for a
    // refused request. Any thread.
    bool getProperty(int property, void* data, unsigned int size);
    bool setProperty(int property, const void* data, unsigned int size);
    // Hands the host's frame callback to the camera model. Any thread.
    void setFrameCallback(FrameCallback function, void* context);
    // Whether every camera, the open one and those to come, ends each release
    // with a record to the frame callback. Any thread.
    void setWantReleaseEnd(bool want);
    // Whether checkCardRoom reads the room at all. Any thread.
    void setWantCardRoom(bool want) { m_wantCardRoom = want; }
    // Product ID of the open camera, 0 without one. Any thread.
    int getProductId() const;
    // The open camera's image database for the Qt side, read between
    // signalImageDBChangeEnd and the next signalImageDBChangeBegin: 0 entries
    // and null without a camera or for an index outside. Controller thread.
    int pictureCount() const;
    const BRX_Logic_ImageEntry* pictureEntry(int index) const;

    // --- For the description exports (any thread) ------------------------------
    // Whether the open camera offers property; false without a camera.
    bool supportsProperty(int property) const;
    // Runs use with the texts of the open camera (its product, exposure step
    // and converter tables), or of no camera; the camera stays open meanwhile.
    void usePropertyTexts(const std::function<void(const BRX_Logic_PropertyTexts&)>& use) const;
    // Runs use with the open camera's card, which stays open meanwhile;
    // false (with "no camera" under label) without one.
    bool useCard(const char* label, const std::function<void(BRX_Logic_Card&)>& use);
    // Hands a picture of the card's last listing to the frame callback, from
    // a transfer thread after the downloads before it; false without a
    // camera or for a handle the listing did not meet.
    bool deliverCardFile(quint32 handle);
    // The open camera's card room read now; false without a camera or when
    // the camera tells none.
    bool cardRoom(BRX_SDK_CardRoom* out);
    // When the host wants it (setWantCardRoom): has the card's room read
    // again in the controller thread and, when it changed, handed to the
    // frame callback (record 15). Any thread.
    void checkCardRoom();
    // Manufacturer, model, device version and serial number from the open
    // camera's DeviceInfo; empty without a camera.
    QStringList cameraIdentity() const;
    // The connected camera's socket ("usb:1-2.3"), empty for one on the
    // network or the virtual camera; false without a camera. Any thread.
    bool cameraPort(QString* port) const;
    // Where the latest live-view frame looks, in fractions of the sensor;
    // false before the first frame with a zoom record since live view started.
    typedef BRX_Logic_LiveViewArea::Area LiveViewArea;
    bool liveViewArea(LiveViewArea* area) const;

signals:
    void signalCameraConnected();
    void signalCameraDisconnected();
    // Every notification: data points to the emitter's value during the call.
    void signalProperty(int property, void* data, quint32 size);
    // data is a malloc'd copy owned by the receiver.
    void signalPropertySafe(int property, void* data, quint32 size);
    // The initial state of the open camera has been sent, every notification
    // of it before this signal.
    void signalInitialStateSent();

// The setters with rules of their own, X(Name, Type).
#define BRX_CONTROLLER_RULED_SETTERS(X)                                                            \
    X(setShutterTime, double)                                                                      \
    X(setAperture, double)                                                                         \
    X(setSensitivity, int)                                                                         \
    X(setSensitivityAuto, bool)                                                                    \
    X(setFocusDistance, double)                                                                    \
    X(setFileFormat, int)                                                                          \
    X(setWhiteBalance, int)                                                                        \
    X(setWhiteBalTemp, int)                                                                        \
    X(setDriveMode, int)                                                                           \
    X(setIntervalFrames, int)                                                                      \
    X(setIntervalTime, int)
#define BRX_CONTROLLER_DECLARE_SETTER(Name, Type) bool Name(Type value);
#define BRX_CONTROLLER_DECLARE_TEXT_SETTER(Name, Kind) bool Name(const QString& text);
#define BRX_CONTROLLER_DECLARE_VALUE_SLOT(Name, Type) void Name(Type value);
#define BRX_CONTROLLER_DECLARE_SLOT(Name) void Name();

public slots:
    void slotSetProperty(int property, QByteArray data);
    void slotEmitPropertySafe(int property, void* data, quint32 size);

    // Connection set-up and tear-down (controller thread).
    void catchDeviceAvailable(int connectionType, quint64 cameraId, int productId, QString deviceId);
    void catchConnectToCamera(int connectionType, quint64 cameraId, int productId, QString deviceId);
    void catchConnectionOpened(int connectionType);
    void catchConnectionClosed(int connectionType);
    // Sends the whole state of a newly opened camera.
    void catchCameraGUIOpened();
    // Restores the camera's saved settings and closes the connection.
    void catchCameraGUIClosed();

    void doCaptureBtnPressed();
    void doCaptureBtnReleased();
    void doVidCaptBtnPressed();
    void doVidCaptBtnReleased();

    // The setters of the setter rules, which say what each does, and the
    // mirror's text setters, which take a display text of a converter's
    // list; the shutter time's "B" selects bulb, the focus distance is in
    // metres. Each says whether the camera took the value (see setProperty);
    // without a camera each logs "no camera" and answers false.
    BRX_CONTROLLER_RULED_SETTERS(BRX_CONTROLLER_DECLARE_SETTER)
    BRX_SETTER_FORWARDS(BRX_CONTROLLER_DECLARE_SETTER)
    BRX_MIRROR_TEXT_SETTERS(BRX_CONTROLLER_DECLARE_TEXT_SETTER)
    bool setShutterTime(const QString& text);
    bool setFocusDistance(const QString& text);

    // The notifier's notifications with conversions or follow-ups of their
    // own; without a camera each logs "no camera".
    BRX_NOTIFIER_VALUE_SLOTS(BRX_CONTROLLER_DECLARE_VALUE_SLOT)
    BRX_NOTIFIER_SLOTS(BRX_CONTROLLER_DECLARE_SLOT)
    // Also sets the process-wide APEX step, under the connection lock.
    void catchExposCompensStep(int milliEv);

    // Image interface (controller thread), after the image service; without
    // a camera each returns at once. The thumbnail of a handle in the
    // camera's image database, with the picture's orientation and size class
    // stored in its entry first.
    void loadThumb(uint handle, bool isBig);
    // The big thumbnail, the camera's large DNG preview (full resolution of a
    // DNG) or the whole object (full resolution, or any DNG with forceDNG).
    void loadImageForSharing(int index, bool fullRes, bool forceDNG);
    // Forgets the entry; the camera keeps the object.
    void deleteObjectFromImageDB(uint handle);
    // Deletes the object on the camera; the access's answer.
    bool deleteObject(uint handle);
    // A Qt-side live-view window paces the stream: while it is open each
    // frame waits for catchLiveViewConsumed().
    void catchLiveViewGUIOpened();
    void catchLiveViewConsumed();
    void catchLiveViewGUIClosed();

#undef BRX_CONTROLLER_DECLARE_SLOT
#undef BRX_CONTROLLER_DECLARE_VALUE_SLOT
#undef BRX_CONTROLLER_DECLARE_TEXT_SETTER
#undef BRX_CONTROLLER_DECLARE_SETTER

protected:
    // Discovery starts once the main object listens for connections.
    void connectNotify(const QMetaMethod& signal) override;

private:
    // The camera model of the open connection and the rooms that work on it.
    struct Connection;

    Q_INVOKABLE void startDeviceCheck();
    BRX_Commu_CameraAccess_Base* accessOf(int connectionType) const;
    // The access whose discovery runs: the USB one, or the network one
    // when the host named a network camera.
    BRX_Commu_CameraAccess_Base* discoveryAccess() const;
    void connectDiscovery();
    void connectCamera();
    void closeCamera();
    void connectDeferredCamera();

    typedef BRX_Logic_PropertyCatalogue::Verdict (*Check)(int property, const void* data, unsigned int size,
                                                          const char* label);
    BRX_Logic_PropertyCatalogue::Verdict admit(Check check, int property, const void* data, unsigned int size,
                                               const char* label);
    static bool missingProperty(int property, const char* label);
    // Confirms a host's set with the camera's value (controller thread).
    void confirm(int property);
    // Runs f in the controller thread: at once when called there, else queued.
    template <typename F>
    void inControllerThread(F f);
    // f's result on the open connection; without one logs "no camera" under
    // label and returns the result type's default.
    template <typename F>
    auto withConnection(const char* label, F f) -> decltype(f(std::declval<Connection&>()));
    template <typename F>
    auto withCamera(const char* label, F f) -> decltype(f(std::declval<BRX_Logic_Camera&>()));
    BRX_Logic_SetterRules::ControllerThread controllerThread();
    bool setFromText(int kind, const QString& text, const char* label);


    BRX_Commu_CameraAccess_Base* m_ptpAccess = nullptr;
    BRX_Commu_CameraAccess_Base* m_wlanAccess = nullptr;
    // The pictures each camera still owes the host, across its reconnects;
    // declared before the connection, whose transfer threads use it.
    BRX_Logic_PendingPictures m_pendingPictures;
    std::unique_ptr<Connection> m_connection;
    std::atomic<bool> m_wantReleaseEnd{false};
    std::atomic<bool> m_wantCardRoom{false};
    BRX_Logic_CaptureControl* m_capture = nullptr;
    QTimer m_deviceCheckTimer;
    // While the camera is being deleted (or the controller itself), a camera
    // found meanwhile is kept here, connection type 0 for none.
    bool m_closingCamera = false;
    int m_deferredConnectionType = 0;
    BRX_Commu_DeviceEntry m_deferredDevice;
    // What the controller connected to the open camera and its access, undone on close.
    QList<QMetaObject::Connection> m_connections;
    // Shared: direct calls from the host; exclusive: swapping the camera.
    mutable std::shared_mutex m_connectionLock;
    BRX_Logic_LiveViewArea m_liveViewArea;
};

#endif
