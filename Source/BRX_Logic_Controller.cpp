#include "BRX_Logic_Controller.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Commu_CameraAccessFactory.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_Card.h"
#include "BRX_Logic_CaptureControl.h"
#include "BRX_Logic_ControllerConverters.h"
#include "BRX_Logic_ControllerDispatcher.h"
#include "BRX_Logic_DeviceInfo.h"
#include "BRX_Logic_ImageService.h"
#include "BRX_Logic_PropertyDescriptions.h"
#include "BRX_Logic_PropertyTable.h"
#include "BRX_Logic_PropertyTexts.h"
#include "BRX_SDK_C.h"

#include <QMetaMethod>
#include <QThread>

#include <cstdlib>
#include <cstring>

namespace {

using Catalogue = BRX_Logic_PropertyCatalogue;
using Kind = BRX_Logic_ControllerConverters::Kind;

const int kDeviceCheckMs = 1000;
// Live-view requests come from setProperty, whose label their messages carry.
const char* const kSetLabel = "BRX_Logic_Controller::setProperty()";

// The shared hold of direct calls. The controller thread itself is the one
// that swaps the per-connection objects; it reads them without the lock, and
// so may take the exclusive lock below a set of its own.
class DirectCallLock
{
public:
    DirectCallLock(std::shared_mutex& lock, const QObject& owner)
        : m_lock(QThread::currentThread() == owner.thread() ? nullptr : &lock)
    {
        if (m_lock)
            m_lock->lock_shared();
    }
    ~DirectCallLock()
    {
        if (m_lock)
            m_lock->unlock_shared();
    }
    DirectCallLock(const DirectCallLock&) = delete;
    DirectCallLock& operator=(const DirectCallLock&) = delete;

private:
    std::shared_mutex* m_lock;
};

} // namespace

// Built in the order each room needs the ones before it, deleted the other
// way round: the camera last.
struct BRX_Logic_Controller::Connection {
    Connection(BRX_Commu_CameraAccess_Base& openAccess, BRX_Logic_PendingPictures& pendingPictures,
               BRX_Logic_CaptureControl& capture, BRX_Logic_ControllerSignals& qtSide,
               const BRX_Logic_SetterRules::ControllerThread& controllerThread)
        : access(openAccess)
        , camera(new BRX_Logic_Camera(&openAccess, &pendingPictures))
        , productId(camera->productId())
        , port(openAccess.portPath())
    {
        BRX_Logic_APEXConverterAperture::setProductId(productId);
        BRX_Logic_APEXConverterAperture::setStepSize(camera->hasExposCompensStep() ? camera->exposCompensStep() : 0);
        converters.reset(new BRX_Logic_ControllerConverters(*camera, productId));
        rules.reset(new BRX_Logic_SetterRules(*camera, *converters, capture, qtSide, productId, controllerThread));
        table.reset(new BRX_Logic_PropertyTable(*camera, *converters, *rules, capture, productId));
        mirror.reset(new BRX_Logic_ControllerMirror(qtSide, *camera, *converters, *rules));
        notifier.reset(
            new BRX_Logic_ControllerNotifier(*camera, *converters, *table, *mirror, capture, qtSide, productId));
        images.reset(new BRX_Logic_ImageService(*camera, openAccess, productId));
        card.reset(new BRX_Logic_Card(*camera, openAccess));
    }

    BRX_Commu_CameraAccess_Base& access;
    const std::unique_ptr<BRX_Logic_Camera> camera;
    // Kept with the connection: the access clears its own when the device
    // goes away, which may happen while a direct call runs.
    const int productId;
    const QString port;
    std::unique_ptr<BRX_Logic_ControllerConverters> converters;
    std::unique_ptr<BRX_Logic_SetterRules> rules;
    std::unique_ptr<BRX_Logic_PropertyTable> table;
    std::unique_ptr<BRX_Logic_ControllerMirror> mirror;
    std::unique_ptr<BRX_Logic_ControllerNotifier> notifier;
    std::unique_ptr<BRX_Logic_ImageService> images;
    std::unique_ptr<BRX_Logic_Card> card;
};

BRX_Logic_Controller::BRX_Logic_Controller(QObject* parent)
    : BRX_Logic_ControllerSignals(parent)
    , m_capture(new BRX_Logic_CaptureControl(this))
{
    qRegisterMetaType<QByteArray*>();
    // A host that names a network camera tethers it instead of one on USB.
    if (BRX_Commu_CameraAccess_WLAN::selected().isEmpty())
        m_ptpAccess = BRX_Commu_CameraAccessFactory::create(BRX_Commu_CameraAccess_Base::kConnectionUsb);
    else
        m_wlanAccess = BRX_Commu_CameraAccessFactory::create(BRX_Commu_CameraAccess_Base::kConnectionWlan);
    connectDiscovery();
    connect(this, &BRX_Logic_Controller::signalProperty, this, &BRX_Logic_Controller::slotEmitPropertySafe,
            Qt::DirectConnection);
    connect(m_capture, &BRX_Logic_CaptureControl::signalBulbCounter, this, &BRX_Logic_Controller::signalBulbCounter);
    connect(m_capture, &BRX_Logic_CaptureControl::signalSelfTimerCounter, this,
            &BRX_Logic_Controller::signalSelfTimerCounter);
    connect(m_capture, &BRX_Logic_CaptureControl::signalLoading, this, &BRX_Logic_Controller::signalLoading);
    connect(m_capture, &BRX_Logic_CaptureControl::signalFileNameAndNumber, this,
            &BRX_Logic_Controller::signalFileNameAndNumber);
    if (discoveryAccess())
        connect(&m_deviceCheckTimer, &QTimer::timeout, discoveryAccess(),
                &BRX_Commu_CameraAccess_Base::checkDeviceAvailable);
}

// A camera that is already plugged in connects within milliseconds; were the
// search started before the main object has connected signalCameraConnected,
// the host would never hear of that camera. Called in the connecting thread.
void BRX_Logic_Controller::connectNotify(const QMetaMethod& signal)
{
    if (signal == QMetaMethod::fromSignal(&BRX_Logic_Controller::signalCameraConnected))
        QMetaObject::invokeMethod(this, "startDeviceCheck", Qt::QueuedConnection);
}

void BRX_Logic_Controller::startDeviceCheck()
{
    if (!discoveryAccess() || m_deviceCheckTimer.isActive())
        return;
    discoveryAccess()->checkDeviceAvailable();
    m_deviceCheckTimer.start(kDeviceCheckMs);
}

// Requests still queued for the controller run while the camera waits for
// its downloads; they find no camera, and no new one is opened.
BRX_Logic_Controller::~BRX_Logic_Controller()
{
    m_deviceCheckTimer.stop();
    m_closingCamera = true;
    closeCamera();
    delete m_wlanAccess;
    delete m_ptpAccess;
}

BRX_Commu_CameraAccess_Base* BRX_Logic_Controller::discoveryAccess() const
{
    return m_ptpAccess ? m_ptpAccess : m_wlanAccess;
}

void BRX_Logic_Controller::connectDiscovery()
{
    BRX_Commu_CameraAccess_Base* access = discoveryAccess();
    if (!access)
        return;
    connect(access, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable, this,
            &BRX_Logic_Controller::catchDeviceAvailable, Qt::QueuedConnection);
    connect(access, &BRX_Commu_CameraAccess_Base::signalConnectionOpened, this,
            &BRX_Logic_Controller::catchConnectionOpened, Qt::QueuedConnection);
    connect(access, &BRX_Commu_CameraAccess_Base::signalConnectionClosed, this,
            &BRX_Logic_Controller::catchConnectionClosed, Qt::QueuedConnection);
}

// --- Entry points ---------------------------------------------------------------

bool BRX_Logic_Controller::getProperty(int property, void* data, unsigned int size)
{
    DirectCallLock locker(m_connectionLock, *this);
    const Catalogue::Verdict verdict = admit(&Catalogue::checkGet, property, data, size, BRX_METHOD);
    if (verdict != Catalogue::Verdict::Accepted)
        return verdict == Catalogue::Verdict::NoData;
    if (!m_connection->table->hasReader(property))
        return missingProperty(property, BRX_METHOD);
    // A value the camera was asked for and never told is no value of the camera's.
    if (!m_connection->table->holdsCameraValue(property)) {
        debugPrint(kDebugAlways, "%s - functionality is not available", BRX_METHOD);
        return false;
    }
    return m_connection->table->readProperty(property, data, BRX_METHOD);
}

bool BRX_Logic_Controller::setProperty(int property, const void* data, unsigned int size)
{
    DirectCallLock locker(m_connectionLock, *this);
    const Catalogue::Verdict verdict = admit(&Catalogue::checkSet, property, data, size, BRX_METHOD);
    if (verdict != Catalogue::Verdict::Accepted)
        return verdict == Catalogue::Verdict::NoData;
    if (!m_connection->table->hasWriter(property))
        return missingProperty(property, BRX_METHOD);
    // True: the camera took the value, or the nearest one it offers (a
    // rounded compensation or shutter time), and now holds it; get and the
    // confirming notification report it. False: nothing was changed, because
    // the request was refused (an impossible number, a value outside the
    // camera's list, a setting the camera does not offer) or the camera
    // refused the write or did not answer; the confirming notification then
    // carries the value the camera kept. Null data with size 0 changes
    // nothing and is true (with a size it is refused); the commands and
    // live-view requests (24, 25, 31, 33 to 37) are true once accepted and
    // dispatched.
    const bool applied = m_connection->table->writeProperty(property, data);
    if (Catalogue::find(property)->notified)
        inControllerThread([this, property] { confirm(property); });
    return applied;
}

// Both directions refuse without a camera first, then follow the catalogue.
Catalogue::Verdict BRX_Logic_Controller::admit(Check check, int property, const void* data, unsigned int size,
                                               const char* label)
{
    static_assert(Catalogue::Verdict() == Catalogue::Verdict::Refused, "no camera refuses");
    return withConnection(label, [&](Connection&) { return check(property, data, size, label); });
}

bool BRX_Logic_Controller::missingProperty(int property, const char* label)
{
    debugPrint(kDebugAlways, "%s - missing property: %d", label, property);
    return false;
}

// The settings records compare what they read back with what they hold, and
// a set has already stored its value there: the camera's event after a set
// finds no change. Without this the host would never see its set confirmed.
// Drive mode is notified by its rules (the emulation's value).
void BRX_Logic_Controller::confirm(int property)
{
    if (!m_connection || property == BRX_SDK_PropertyDriveMode)
        return;
    if (property == BRX_SDK_PropertySensitivity) {
        m_connection->notifier->emitSensitivity(m_connection->camera->sensitivity());
        return;
    }
    char payload[16];
    const unsigned int size = Catalogue::payloadSize(Catalogue::find(property)->payload);
    if (getProperty(property, payload, size))
        Q_EMIT signalProperty(property, payload, size);
}

void BRX_Logic_Controller::setFrameCallback(FrameCallback function, void* context)
{
    DirectCallLock locker(m_connectionLock, *this);
    if (!m_connection) {
        if (function && context)
            debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return;
    }
    m_connection->camera->setFrameCallback(function, context);
}

// Stored before the lock is taken, and read by connection set-up under it:
// a camera published in between is reached here.
void BRX_Logic_Controller::setWantReleaseEnd(bool want)
{
    m_wantReleaseEnd = want;
    DirectCallLock locker(m_connectionLock, *this);
    if (m_connection)
        m_connection->camera->setWantReleaseEnd(want);
}

int BRX_Logic_Controller::getProductId() const
{
    DirectCallLock locker(m_connectionLock, *this);
    return m_connection ? m_connection->productId : 0;
}

void BRX_Logic_Controller::slotSetProperty(int property, QByteArray data)
{
    if (data.isEmpty())
        setProperty(property, nullptr, 0);
    else
        setProperty(property, data.constData(), unsigned(data.size()));
}

void BRX_Logic_Controller::slotEmitPropertySafe(int property, void* data, quint32 size)
{
    if (size == 0)
        return;
    void* copy = std::malloc(size);
    if (!copy)
        return;
    std::memcpy(copy, data, size);
    Q_EMIT signalPropertySafe(property, copy, size);
}

void BRX_Logic_Controller::doCaptureBtnPressed()
{
    withConnection(BRX_METHOD, [this](Connection&) { m_capture->doCaptureBtnPressed(); });
}

void BRX_Logic_Controller::doCaptureBtnReleased()
{
    withConnection(BRX_METHOD, [this](Connection&) { m_capture->doCaptureBtnReleased(); });
}

void BRX_Logic_Controller::doVidCaptBtnPressed()
{
}

void BRX_Logic_Controller::doVidCaptBtnReleased()
{
    withCamera(BRX_METHOD, [](BRX_Logic_Camera& camera) { camera.toggleVideoCapture(); });
}

// --- Connection ---------------------------------------------------------------

BRX_Commu_CameraAccess_Base* BRX_Logic_Controller::accessOf(int connectionType) const
{
    switch (connectionType) {
    case BRX_Commu_CameraAccess_Base::kConnectionUsb:
        return m_ptpAccess;
    case BRX_Commu_CameraAccess_Base::kConnectionWlan:
        return m_wlanAccess;
    default:
        return nullptr;
    }
}

void BRX_Logic_Controller::catchDeviceAvailable(int connectionType, quint64 cameraId, int productId,
                                                QString deviceId)
{
    catchConnectToCamera(connectionType, cameraId, productId, deviceId);
}

// A camera found while the previous one is still closing is opened once
// that one is gone, so that the host hears of the disconnection first and
// the old camera's downloads never reach the new connection.
void BRX_Logic_Controller::catchConnectToCamera(int connectionType, quint64 cameraId, int productId,
                                                QString deviceId)
{
    BRX_Commu_CameraAccess_Base* access = accessOf(connectionType);
    if (m_connection || !access)
        return;
    if (!m_closingCamera) {
        access->openConnection(cameraId, productId, deviceId);
        return;
    }
    if (m_deferredConnectionType != 0)
        return;
    debugPrint(kDebugAlways, "%s - the previous camera is still closing, ProductId 0x%X waits for it",
               BRX_METHOD, unsigned(productId));
    m_deferredConnectionType = connectionType;
    m_deferredDevice = BRX_Commu_DeviceEntry(cameraId, productId, deviceId);
}

void BRX_Logic_Controller::catchConnectionOpened(int connectionType)
{
    BRX_Commu_CameraAccess_Base* access = accessOf(connectionType);
    if (!access || m_connection)
        return;
    // Built before the lock is taken: the camera talks to the device while it
    // is created, and direct calls need not wait for that.
    std::unique_ptr<Connection> connection(new Connection(*access, m_pendingPictures, *m_capture, *this, controllerThread()));
    {
        std::unique_lock<std::shared_mutex> locker(m_connectionLock);
        connection->camera->setWantReleaseEnd(m_wantReleaseEnd);
        m_connection = std::move(connection);
    }
    m_capture->setCamera(m_connection->camera.get());
    connectCamera();
    Q_EMIT signalCameraConnected();
}

// What the rooms ask of the controller thread, on whatever connection is
// open when it runs there.
BRX_Logic_SetterRules::ControllerThread BRX_Logic_Controller::controllerThread()
{
    return {[this](std::function<void(BRX_Logic_Camera&)> call) {
                inControllerThread([this, call] { withCamera(kSetLabel, call); });
            },
            [this](int property) {
                inControllerThread([this, property] {
                    if (m_connection)
                        m_connection->notifier->followUp(property);
                });
            }};
}

// The camera's signals that the controller passes on as its own or hands to
// the capture control; the rooms connect their own.
void BRX_Logic_Controller::connectCamera()
{
    typedef BRX_Logic_Camera Cam;
    typedef BRX_Logic_Controller Ctl;
    typedef BRX_Logic_CaptureControl Cap;
    typedef BRX_Commu_CameraAccess_Base Access;
    const Cam* camera = m_connection->camera.get();
    const Access* access = &m_connection->access;
    connect(m_connection->notifier.get(), &BRX_Logic_ControllerNotifier::signalProperty, this, &Ctl::signalProperty);
    m_connections = {
        connect(camera, &Cam::signalExposCompensStep, this, &Ctl::catchExposCompensStep),
        connect(camera, &Cam::signalBulbModeTime, m_capture, &Cap::emitBulbCounter),
        connect(camera, &Cam::signalSelfTimerRestTime, m_capture, &Cap::emitSelfTimerCounter),
        connect(camera, &Cam::signalDngTransferDone, m_capture, &Cap::catchDngTransferDone),
        connect(camera, &Cam::signalIsAlive, this, &Ctl::signalIsAlive),
        connect(camera, &Cam::signalLoading, this, &Ctl::signalLoading),
        connect(camera, &Cam::signalRemainingToLoad, this, &Ctl::signalRemainingToLoad),
        connect(camera, &Cam::signalLiveViewPhoto, this, &Ctl::signalLiveViewPhoto),
        connect(camera, &Cam::signalLiveViewVideo, this, &Ctl::signalLiveViewVideo),
        connect(camera, &Cam::signalNoLiveView, this, &Ctl::signalNoLiveView),
        connect(camera, &Cam::signalNoLiveView, this, [this] { m_liveViewArea.forget(); }),
        connect(camera, &Cam::signalLiveZoomInfo, this,
                [this](int, int zoomLevel, double focusX, double focusY) {
                    m_liveViewArea.takeZoomInfo(zoomLevel, focusX, focusY);
                }),
        connect(camera, &Cam::signalLiveZoomRect, this,
                [this](double x, double y, double width, double height) {
                    m_liveViewArea.takeZoomRect(x, y, width, height);
                }),
        connect(camera, &Cam::signalQuickView, this, &Ctl::signalQuickView),
        connect(camera, &Cam::signalNoQuickView, this, &Ctl::signalNoQuickView),
        connect(camera, &Cam::signalFileNameAndNumber, this, &Ctl::signalFileNameAndNumber),
        connect(camera, &Cam::signalPictureExampleName, this, &Ctl::signalPictureExampleName),
        connect(camera, &Cam::signalImageDBChangeBegin, this, &Ctl::signalImageDBChangeBegin),
        connect(camera, &Cam::signalImageDBChangeEnd, this, &Ctl::signalImageDBChangeEnd),
        connect(access, &Access::signalBulbCounter, m_capture, &Cap::emitBulbCounter, Qt::QueuedConnection),
        connect(access, &Access::signalSelfTimerCounter, m_capture, &Cap::emitSelfTimerCounter,
                Qt::QueuedConnection),
        connect(access, &Access::signalTransferRequest, m_capture, &Cap::catchTransferRequest, Qt::QueuedConnection),
        connect(access, &Access::signalObjectDeleted, this, &Ctl::signalObjectDeleted),
        // A picture written takes room on the card.
        connect(camera, &Cam::signalPictureDelivered, this, [this] { checkCardRoom(); }),
    };
}

void BRX_Logic_Controller::catchConnectionClosed(int connectionType)
{
    if (!m_connection || accessOf(connectionType) != &m_connection->access)
        return;
    m_closingCamera = true;
    closeCamera();
    m_closingCamera = false;
    Q_EMIT signalCameraDisconnected();
    connectDeferredCamera();
}

// The connection is taken away before anything is deleted: the camera waits
// for its transfer threads and processes events meanwhile, which may run
// slots and direct calls that look for a camera.
void BRX_Logic_Controller::closeCamera()
{
    for (const QMetaObject::Connection& connection : qAsConst(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_capture->setCamera(nullptr);
    std::unique_ptr<Connection> closing;
    {
        // Waits for direct calls that still use the camera; later ones find none.
        std::unique_lock<std::shared_mutex> locker(m_connectionLock);
        closing = std::move(m_connection);
    }
    // Deleted outside the lock, which those slots may take.
    closing.reset();
    m_liveViewArea.forget();
}

void BRX_Logic_Controller::connectDeferredCamera()
{
    const int connectionType = m_deferredConnectionType;
    m_deferredConnectionType = 0;
    if (connectionType != 0)
        catchConnectToCamera(connectionType, m_deferredDevice.cameraId, m_deferredDevice.productId,
                             m_deferredDevice.deviceId);
}

void BRX_Logic_Controller::catchCameraGUIOpened()
{
    if (!m_connection)
        return;
    m_connection->notifier->sendInitialState();
    Q_EMIT signalInitialStateSent();
}

void BRX_Logic_Controller::catchCameraGUIClosed()
{
    if (!m_connection)
        return;
    m_connection->camera->restoreAutoPowerOff();
    m_connection->camera->restoreStorageType();
    m_connection->access.closeConnection();
}

// --- Forwards to the rooms --------------------------------------------------------

template <typename F>
void BRX_Logic_Controller::inControllerThread(F f)
{
    if (QThread::currentThread() == thread())
        f();
    else
        BRX_Logic_ControllerDispatcher::post(this, f);
}

template <typename F>
auto BRX_Logic_Controller::withConnection(const char* label, F f) -> decltype(f(std::declval<Connection&>()))
{
    if (m_connection)
        return f(*m_connection);
    debugPrint(kDebugAlways, "%s - no camera", label);
    return decltype(f(*m_connection))();
}

template <typename F>
auto BRX_Logic_Controller::withCamera(const char* label, F f) -> decltype(f(std::declval<BRX_Logic_Camera&>()))
{
    return withConnection(label, [&f](Connection& connection) { return f(*connection.camera); });
}

#define BRX_CONTROLLER_DEFINE_SETTER(Name, Type)                                                   \
    bool BRX_Logic_Controller::Name(Type value)                                                    \
    {                                                                                              \
        return withConnection(BRX_METHOD, [value](Connection& c) { return c.rules->Name(value); }); \
    }
BRX_CONTROLLER_RULED_SETTERS(BRX_CONTROLLER_DEFINE_SETTER)
BRX_SETTER_FORWARDS(BRX_CONTROLLER_DEFINE_SETTER)
BRX_CONTROLLER_DEFINE_SETTER(setShutterTime, const QString&)
BRX_CONTROLLER_DEFINE_SETTER(setFocusDistance, const QString&)
#undef BRX_CONTROLLER_DEFINE_SETTER

bool BRX_Logic_Controller::setFromText(int kind, const QString& text, const char* label)
{
    return withConnection(label, [&](Connection& c) { return c.mirror->setFromText(Kind(kind), text, label); });
}

#define BRX_CONTROLLER_DEFINE_TEXT_SETTER(Name, ConverterKind)                                     \
    bool BRX_Logic_Controller::Name(const QString& text)                                           \
    {                                                                                              \
        return setFromText(Kind::ConverterKind, text, BRX_METHOD);                                 \
    }
BRX_MIRROR_TEXT_SETTERS(BRX_CONTROLLER_DEFINE_TEXT_SETTER)
#undef BRX_CONTROLLER_DEFINE_TEXT_SETTER

#define BRX_CONTROLLER_DEFINE_VALUE_SLOT(Name, Type)                                               \
    void BRX_Logic_Controller::Name(Type value)                                                    \
    {                                                                                              \
        withConnection(BRX_METHOD, [value](Connection& c) { c.notifier->Name(value); });           \
    }
#define BRX_CONTROLLER_DEFINE_SLOT(Name)                                                           \
    void BRX_Logic_Controller::Name()                                                              \
    {                                                                                              \
        withConnection(BRX_METHOD, [](Connection& c) { c.notifier->Name(); });                     \
    }
BRX_NOTIFIER_VALUE_SLOTS(BRX_CONTROLLER_DEFINE_VALUE_SLOT)
BRX_NOTIFIER_SLOTS(BRX_CONTROLLER_DEFINE_SLOT)
#undef BRX_CONTROLLER_DEFINE_SLOT
#undef BRX_CONTROLLER_DEFINE_VALUE_SLOT

void BRX_Logic_Controller::catchExposCompensStep(int milliEv)
{
    withConnection(BRX_METHOD, [this, milliEv](Connection& connection) {
        {
            // The records convert apertures with this process-wide table, also
            // for sets from the host's thread.
            std::unique_lock<std::shared_mutex> locker(m_connectionLock);
            BRX_Logic_APEXConverterAperture::setStepSize(milliEv);
        }
        connection.notifier->catchExposCompensStep(milliEv);
    });
}

// --- Image interface ----------------------------------------------------------------

int BRX_Logic_Controller::pictureCount() const
{
    return m_connection ? m_connection->images->pictureCount() : 0;
}

const BRX_Logic_ImageEntry* BRX_Logic_Controller::pictureEntry(int index) const
{
    return m_connection ? m_connection->images->pictureEntry(index) : nullptr;
}

// The arrays go to the receivers; without one they are freed here.
void BRX_Logic_Controller::loadThumb(uint handle, bool isBig)
{
    if (!m_connection)
        return;
    QString fileName;
    std::unique_ptr<QByteArray> thumbnail = m_connection->images->loadThumbnail(handle, isBig, &fileName);
    if (thumbnail && isSignalConnected(QMetaMethod::fromSignal(&BRX_Logic_Controller::signalThumbReceived)))
        Q_EMIT signalThumbReceived(thumbnail.release(), fileName, handle, isBig);
}

void BRX_Logic_Controller::loadImageForSharing(int index, bool fullRes, bool forceDNG)
{
    if (!m_connection)
        return;
    bool isWholeDng = false;
    std::unique_ptr<QByteArray> image = m_connection->images->loadForSharing(index, fullRes, forceDNG, &isWholeDng);
    if (isSignalConnected(QMetaMethod::fromSignal(&BRX_Logic_Controller::signalImageForSharingReceived)))
        Q_EMIT signalImageForSharingReceived(image.release(), isWholeDng);
}

void BRX_Logic_Controller::deleteObjectFromImageDB(uint handle)
{
    if (m_connection)
        m_connection->images->forgetPicture(handle);
}

bool BRX_Logic_Controller::deleteObject(uint handle)
{
    return m_connection && m_connection->access.deleteObject(handle);
}

void BRX_Logic_Controller::catchLiveViewGUIOpened()
{
    if (!m_connection)
        return;
    BRX_Logic_Camera& camera = *m_connection->camera;
    camera.setWaitLiveViewConsumed(true);
    const bool available = camera.hasExposureSimulation();
    Q_EMIT signalHasExposureSimulation(available);
    if (available)
        Q_EMIT signalExposureSimulation(camera.exposureSimulation());
}

void BRX_Logic_Controller::catchLiveViewConsumed()
{
    if (m_connection)
        m_connection->camera->catchLiveViewConsumed();
}

void BRX_Logic_Controller::catchLiveViewGUIClosed()
{
    if (m_connection)
        m_connection->camera->setWaitLiveViewConsumed(false);
}

// --- Description exports -------------------------------------------------------------

bool BRX_Logic_Controller::supportsProperty(int property) const
{
    DirectCallLock locker(m_connectionLock, *this);
    return m_connection && BRX_Logic_PropertyDescriptions::isOffered(property, *m_connection->camera);
}

void BRX_Logic_Controller::usePropertyTexts(const std::function<void(const BRX_Logic_PropertyTexts&)>& use) const
{
    DirectCallLock locker(m_connectionLock, *this);
    if (!m_connection) {
        use(BRX_Logic_PropertyTexts(0, 500, nullptr));
        return;
    }
    const BRX_Logic_Camera& camera = *m_connection->camera;
    const int step = camera.hasExposCompensStep() ? camera.exposCompensStep() : 500;
    use(BRX_Logic_PropertyTexts(m_connection->productId, step, m_connection->converters.get()));
}

bool BRX_Logic_Controller::useCard(const char* label, const std::function<void(BRX_Logic_Card&)>& use)
{
    DirectCallLock locker(m_connectionLock, *this);
    return withConnection(label, [&use](Connection& connection) {
        use(*connection.card);
        return true;
    });
}

// The picture is looked up again in the controller thread: a camera
// connected meanwhile has a card of its own.
bool BRX_Logic_Controller::deliverCardFile(quint32 handle)
{
    BRX_Logic_CardListing::Entry entry;
    if (!useCard(BRX_METHOD, [&](BRX_Logic_Card& card) { card.find(handle, &entry); }) || entry.handle == 0)
        return false;
    inControllerThread([this, handle] {
        withConnection(BRX_METHOD, [handle](Connection& connection) {
            BRX_Logic_CardListing::Entry file;
            if (connection.card->find(handle, &file))
                connection.camera->deliverFromCard(file);
        });
    });
    return true;
}

namespace {

const int kFrameTypeCardRoom = 15;

BRX_SDK_CardRoom sdkRoom(const BRX_Logic_Card::Room& room)
{
    return {room.capacityBytes, room.freeBytes,
            room.picturesLeft == BRX_Logic_Card::kPicturesLeftUntold ? -1 : qint64(room.picturesLeft)};
}

} // namespace

bool BRX_Logic_Controller::cardRoom(BRX_SDK_CardRoom* out)
{
    BRX_Logic_Card::Room room;
    bool told = false;
    useCard(BRX_METHOD, [&](BRX_Logic_Card& card) { told = card.room(&room); });
    if (told)
        *out = sdkRoom(room);
    return told;
}

void BRX_Logic_Controller::checkCardRoom()
{
    if (!m_wantCardRoom)
        return;
    inControllerThread([this] {
        if (!m_connection)
            return;
        BRX_Logic_Card::Room room;
        if (!m_connection->card->roomChanged(&room))
            return;
        const BRX_SDK_CardRoom told = sdkRoom(room);
        m_connection->camera->callFrameCallback(kFrameTypeCardRoom, &told, sizeof told);
    });
}

QStringList BRX_Logic_Controller::cameraIdentity() const
{
    DirectCallLock locker(m_connectionLock, *this);
    if (!m_connection)
        return {};
    const BRX_Logic_DeviceInfo& info = *m_connection->camera->deviceInfo();
    return {info.getManufacturer(), info.getModel(), info.getDeviceVersion(), info.getSerialNumber()};
}

bool BRX_Logic_Controller::cameraPort(QString* port) const
{
    DirectCallLock locker(m_connectionLock, *this);
    if (!m_connection)
        return false;
    *port = m_connection->port;
    return true;
}

bool BRX_Logic_Controller::liveViewArea(LiveViewArea* area) const
{
    return m_liveViewArea.current(area);
}
