#include "BRX_Logic_Controller.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Commu_CameraAccessFactory.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_CaptureControl.h"
#include "BRX_Logic_ControllerConverters.h"
#include "BRX_Logic_ControllerMirror.h"
#include "BRX_Logic_ConverterBase.h"
#include "BRX_Logic_ConverterExposCompens.h"
#include "BRX_Logic_ConverterFocusDistance.h"
#include "BRX_Logic_DeviceInfo.h"
#include "BRX_Logic_ExifHeader.h"
#include "BRX_Logic_ImageEntry.h"
#include "BRX_Logic_ObjectReader.h"
#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_Logic_PropertyDescriptions.h"
#include "BRX_Logic_PropertyLists.h"
#include "BRX_Logic_PropertyTexts.h"
#include "BRX_Logic_Rounding.h"

#include <QDebug>
#include <QMetaMethod>
#include <QThread>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using Kind = BRX_Logic_ControllerConverters::Kind;
using Catalogue = BRX_Logic_PropertyCatalogue;
using Mirror = BRX_Logic_ControllerMirror;

const int kDeviceCheckMs = 1000;
const int kBulbExposureMode = 4;
// The shutter time notified in bulb; set, it selects bulb.
const double kBulbShutterTime = -1.0;
const int kBracketingDriveMode = 4;
const int kIntervalDriveMode = 5;
const int kLiveViewPhoto = 2;
const int kLiveViewVideo = 3;
// Readers run for getProperty, whose label their messages carry.
const char* const kGetLabel = "BRX_Logic_Controller::getProperty()";
const char* const kSetLabel = "BRX_Logic_Controller::setProperty()";

template <typename T>
T readValue(const void* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

// The host may pass any non-zero byte for true.
template <>
bool readValue<bool>(const void* data)
{
    return *static_cast<const unsigned char*>(data) != 0;
}

template <typename T>
bool writeValue(void* data, T value)
{
    std::memcpy(data, &value, sizeof value);
    return true;
}

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

double metresOf(int code)
{
    return BRX_Logic_ConverterFocusDistance::metersFromCode(code);
}

// Shutter times and f-numbers are positive and finite; anything else would
// become the nearest end of the camera's table.
bool isPositiveFinite(double value, const char* what, const char* label)
{
    if (std::isfinite(value) && value > 0.0)
        return true;
    debugPrint(kDebugAlways, "%s - illegal %s %g", label, what, value);
    return false;
}

} // namespace

BRX_Logic_Controller::BRX_Logic_Controller(QObject* parent)
    : QObject(parent)
    , m_capture(new BRX_Logic_CaptureControl(this))
{
    qRegisterMetaType<QByteArray*>();
    // A host that names a network camera tethers it instead of one on USB.
    if (BRX_Commu_CameraAccess_WLAN::selected().isEmpty())
        m_ptpAccess = BRX_Commu_CameraAccessFactory::create(BRX_Commu_CameraAccess_Base::kConnectionUsb);
    else
        m_wlanAccess = BRX_Commu_CameraAccessFactory::create(BRX_Commu_CameraAccess_Base::kConnectionWlan);
    connectAccess();
    connect(this, &BRX_Logic_Controller::signalProperty, this, &BRX_Logic_Controller::slotEmitPropertySafe,
            Qt::DirectConnection);
    connect(m_capture, &BRX_Logic_CaptureControl::signalShutterTimeStale, this,
            &BRX_Logic_Controller::notifyCurrentShutterTime);
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

void BRX_Logic_Controller::connectAccess()
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

// --- Boundary ----------------------------------------------------------------

bool BRX_Logic_Controller::getProperty(int property, void* data, unsigned int size)
{
    DirectCallLock locker(m_connectionLock, *this);
    const Catalogue::Verdict verdict = admit(&Catalogue::checkGet, property, data, size, BRX_METHOD);
    if (verdict != Catalogue::Verdict::Accepted)
        return verdict == Catalogue::Verdict::NoData;
    const Reader reader = readerOf(property);
    if (!reader)
        return missingProperty(property, BRX_METHOD);
    return reader(*this, *m_camera, data);
}

bool BRX_Logic_Controller::setProperty(int property, const void* data, unsigned int size)
{
    DirectCallLock locker(m_connectionLock, *this);
    const Catalogue::Verdict verdict = admit(&Catalogue::checkSet, property, data, size, BRX_METHOD);
    if (verdict != Catalogue::Verdict::Accepted)
        return verdict == Catalogue::Verdict::NoData;
    const Writer writer = writerOf(property);
    if (!writer)
        return missingProperty(property, BRX_METHOD);
    // True: the camera took the value, or the nearest one it offers (a
    // rounded compensation or shutter time), and now holds it; get and the
    // confirming notification report it. False: nothing was changed, because
    // the request was refused (an impossible number, a value outside the
    // camera's list, a setting the camera does not offer) or the camera
    // refused the write or did not answer; the confirming notification then
    // carries the value the camera kept. Null data with size 0 changes
    // nothing and is true (with a size it is refused); the commands and live-view requests (24, 25, 31, 33 to 37) are
    // true once accepted and dispatched.
    const bool applied = writer(*this, data);
    if (Catalogue::find(property)->notified)
        inControllerThread([this, property] { echo(property); });
    return applied;
}

// Both directions refuse without a camera first, then follow the catalogue.
Catalogue::Verdict BRX_Logic_Controller::admit(Check check, int property, const void* data, unsigned int size,
                                               const char* label) const
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", label);
        return Catalogue::Verdict::Refused;
    }
    return check(property, data, size, label);
}

bool BRX_Logic_Controller::missingProperty(int property, const char* label)
{
    debugPrint(kDebugAlways, "%s - missing property: %d", label, property);
    return false;
}

// The settings records compare what they read back with what they hold, and
// a set has already stored its value there: the camera's event after a set
// finds no change. Without this the host would never see its set confirmed.
// Drive mode notifies itself (the emulation's value).
void BRX_Logic_Controller::echo(int property)
{
    if (!m_camera || property == 13)
        return;
    if (property == 10) {
        emitSensitivity(m_camera->sensitivity());
        return;
    }
    const Catalogue::Entry* entry = Catalogue::find(property);
    char payload[16];
    const Reader reader = readerOf(property);
    if (reader && reader(*this, *m_camera, payload))
        Q_EMIT signalProperty(property, payload, Catalogue::payloadSize(entry->payload));
}

void BRX_Logic_Controller::setFrameCallback(FrameCallback function, void* context)
{
    DirectCallLock locker(m_connectionLock, *this);
    if (!m_camera) {
        if (function && context)
            debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return;
    }
    m_camera->setFrameCallback(function, context);
}

// Stored before the lock is taken, and read by connection set-up under it:
// a camera published in between is reached here.
void BRX_Logic_Controller::setWantReleaseEnd(bool want)
{
    m_wantReleaseEnd = want;
    DirectCallLock locker(m_connectionLock, *this);
    if (m_camera)
        m_camera->setWantReleaseEnd(want);
}

int BRX_Logic_Controller::getProductId() const
{
    DirectCallLock locker(m_connectionLock, *this);
    return m_productId;
}

void BRX_Logic_Controller::slotSetProperty(int property, QByteArray data)
{
    if (data.isEmpty())
        setProperty(property, nullptr, 0);
    else
        setProperty(property, data.constData(), unsigned(data.size()));
}

// --- Property tables -----------------------------------------------------------

BRX_Logic_Controller::Reader BRX_Logic_Controller::readerOf(int property)
{
    typedef BRX_Logic_Controller Ctl;
    typedef BRX_Logic_Camera Cam;
    static const Reader kReaders[Catalogue::kCount] = {
        /* 0 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.exposureMode()); },
        /* 1 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.exposMetering()); },
        /* 2 */ nullptr,
        /* 3 */ [](Ctl&, Cam& c, void* d) { return writeValue<double>(d, c.aperture()); },
        /* 4 */ nullptr,
        /* 5 */ [](Ctl&, Cam& c, void* d) { return writeValue<double>(d, c.shutterTime()); },
        /* 6 */ nullptr,
        /* 7 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.exposCompens()); },
        /* 8 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.exposCompensStep()); },
        /* 9 */ nullptr,
        /* 10 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.sensitivity()); },
        /* 11 */ [](Ctl&, Cam& c, void* d) { return writeValue<bool>(d, c.sensitivityAuto()); },
        /* 12 */ nullptr,
        /* 13 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.driveMode()); },
        /* 14 */ [](Ctl&, Cam& c, void* d) { return writeValue<bool>(d, c.bracketingEnabled()); },
        /* 15 */ nullptr,
        /* 16 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.bracketingImageNumbers()); },
        /* 17 */ nullptr,
        /* 18 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.bracketingDeltaEV()); },
        /* 19 */ [](Ctl&, Cam& c, void* d) { return writeValue<bool>(d, c.mirrorUpMode()); },
        /* 20 */ nullptr,
        /* 21 */ nullptr,
        /* 22 */ nullptr,
        /* 23 */ [](Ctl& t, Cam& c, void* d) { return t.readFocusDistance(c.focusDistance(), d, kGetLabel); },
        /* 24 */ nullptr,
        /* 25 */ nullptr,
        /* 26 */ [](Ctl& t, Cam& c, void* d) { return t.readFocusDistance(c.focusPositionMax(), d, kGetLabel); },
        /* 27 */ [](Ctl& t, Cam& c, void* d) { return t.readFocusDistance(c.focusPositionMin(), d, kGetLabel); },
        /* 28 */ [](Ctl& t, Cam& c, void* d) { return t.readFocusDistance(c.autoFocusLimitDist(), d, kGetLabel); },
        /* 29 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.focusMode()); },
        /* 30 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.fileFormat()); },
        /* 31 */ [](Ctl&, Cam& c, void* d) { return writeValue<bool>(d, c.wantsQuickView()); },
        /* 32 */
        [](Ctl& t, Cam& c, void* d) {
            return writeValue<qint32>(d, t.whiteBalanceValue(c.whiteBalanceIndex() & 0xFF, c.whiteBalanceColorTemp()));
        },
        /* 33 */ [](Ctl& t, Cam&, void* d) { return writeValue<bool>(d, t.m_liveViewMode == kLiveViewPhoto); },
        /* 34 */ [](Ctl& t, Cam&, void* d) { return writeValue<bool>(d, t.m_liveViewMode == kLiveViewVideo); },
        /* 35 */ nullptr,
        /* 36 */ nullptr,
        /* 37 */ [](Ctl&, Cam& c, void* d) { return writeValue<bool>(d, c.wantsLiveView()); },
        /* 38 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.powerSwitch()); },
        /* 39 */ [](Ctl&, Cam& c, void* d) { return writeValue<qint32>(d, c.lensConnectionType()); },
        /* 40 */ [](Ctl& t, Cam&, void* d) { return t.readRange(Kind::IntervalFrames, d, kGetLabel); },
        /* 41 */
        [](Ctl& t, Cam& c, void* d) {
            return writeValue<qint32>(d, c.hasInterval() ? c.intervalFrames() : t.m_capture->intervalFrames());
        },
        /* 42 */ [](Ctl& t, Cam&, void* d) { return t.readRange(Kind::IntervalTime, d, kGetLabel); },
        /* 43 */
        [](Ctl& t, Cam& c, void* d) {
            return writeValue<qint32>(d, c.hasInterval() ? c.intervalTime() : t.m_capture->intervalTime());
        },
    };
    return kReaders[property];
}

BRX_Logic_Controller::Writer BRX_Logic_Controller::writerOf(int property)
{
    typedef BRX_Logic_Controller Ctl;
    typedef BRX_Logic_Camera Cam;
    static const Writer kWriters[Catalogue::kCount] = {
        /* 0 */ [](Ctl& t, const void* d) { return t.setExposureMode(readValue<qint32>(d)); },
        /* 1 */ [](Ctl& t, const void* d) { return t.setExposMetering(readValue<qint32>(d)); },
        /* 2 */ nullptr,
        /* 3 */ [](Ctl& t, const void* d) { return t.setAperture(readValue<double>(d)); },
        /* 4 */ nullptr,
        /* 5 */ [](Ctl& t, const void* d) { return t.setShutterTime(readValue<double>(d)); },
        /* 6 */ nullptr,
        /* 7 */ [](Ctl& t, const void* d) { return t.setExposCompens(readValue<qint32>(d)); },
        /* 8 */ [](Ctl& t, const void* d) { return t.setExposCompensStep(readValue<qint32>(d)); },
        /* 9 */ nullptr,
        /* 10 */ [](Ctl& t, const void* d) { return t.setSensitivity(readValue<qint32>(d)); },
        /* 11 */ [](Ctl& t, const void* d) { return t.setSensitivityAuto(readValue<bool>(d)); },
        /* 12 */ nullptr,
        /* 13 */ [](Ctl& t, const void* d) { return t.setDriveMode(readValue<qint32>(d)); },
        /* 14 */ [](Ctl& t, const void* d) { return t.setBracketEnabled(readValue<bool>(d)); },
        /* 15 */ nullptr,
        /* 16 */ [](Ctl& t, const void* d) { return t.setBracketImgNum(readValue<qint32>(d)); },
        /* 17 */ nullptr,
        /* 18 */ [](Ctl& t, const void* d) { return t.setBracketDeltaEV(readValue<qint32>(d)); },
        /* 19 */ [](Ctl& t, const void* d) { return t.setMirrorUpMode(readValue<bool>(d)); },
        /* 20 */ nullptr,
        /* 21 */ nullptr,
        /* 22 */ nullptr,
        /* 23 */ [](Ctl& t, const void* d) { return t.setFocusDistance(readValue<double>(d)); },
        /* 24 */
        [](Ctl& t, const void*) {
            t.m_camera->setFocusDistanceDec();
            return true;
        },
        /* 25 */
        [](Ctl& t, const void*) {
            t.m_camera->setFocusDistanceInc();
            return true;
        },
        /* 26 */ nullptr,
        /* 27 */ nullptr,
        /* 28 */ nullptr,
        /* 29 */ [](Ctl& t, const void* d) { return t.setFocusMode(readValue<qint32>(d)); },
        /* 30 */ [](Ctl& t, const void* d) { return t.setFileFormat(readValue<qint32>(d)); },
        /* 31 */
        [](Ctl& t, const void* d) {
            t.m_camera->setWantQuickView(readValue<bool>(d));
            return true;
        },
        /* 32 */ [](Ctl& t, const void* d) { return t.writeWhiteBalance(readValue<qint32>(d)); },
        /* 33 */
        [](Ctl& t, const void* d) {
            const bool on = readValue<bool>(d);
            t.withCameraInControllerThread([on](Cam& c) { c.setLiveViewPhoto(on); });
            return true;
        },
        /* 34 */
        [](Ctl& t, const void* d) {
            const bool on = readValue<bool>(d);
            t.withCameraInControllerThread([on](Cam& c) { c.setLiveViewVideo(on); });
            return true;
        },
        /* 35 */
        [](Ctl& t, const void* d) {
            const double x = readValue<double>(d);
            const double y = readValue<double>(static_cast<const double*>(d) + 1);
            t.withCameraInControllerThread([x, y](Cam& c) { c.setLiveViewCrossPosGlobal(x, y); });
            return true;
        },
        /* 36 */
        [](Ctl& t, const void*) {
            t.withCameraInControllerThread([](Cam& c) { c.toggleLiveViewZoom(); });
            return true;
        },
        /* 37 */
        [](Ctl& t, const void* d) {
            const bool want = readValue<bool>(d);
            t.withCameraInControllerThread([want](Cam& c) { c.setWantLiveView(want); });
            return true;
        },
        /* 38 */ nullptr,
        /* 39 */ nullptr,
        /* 40 */ nullptr,
        /* 41 */ [](Ctl& t, const void* d) { return t.setIntervalFrames(readValue<qint32>(d)); },
        /* 42 */ nullptr,
        /* 43 */ [](Ctl& t, const void* d) { return t.setIntervalTime(readValue<qint32>(d)); },
    };
    return kWriters[property];
}

bool BRX_Logic_Controller::readFocusDistance(int code, void* data, const char* label) const
{
    if (!m_converters || !m_converters->focusDistance()) {
        debugPrint(kDebugAlways, "%s - no converter for focus distance", label);
        return false;
    }
    return writeValue<double>(data, metresOf(code));
}

// Smallest and largest value of an interval converter, rounded.
bool BRX_Logic_Controller::readRange(int kind, void* data, const char* label) const
{
    const BRX_Logic_ConverterBase* converter = m_converters ? m_converters->get(Kind(kind)) : nullptr;
    if (!converter) {
        debugPrint(kDebugAlways, "%s - no converter for %s", label,
                   BRX_Logic_ControllerConverters::subject(Kind(kind)));
        return false;
    }
    const std::array<qint32, 2> range = {qint32(roundHalfUp(converter->minValue())),
                                         qint32(roundHalfUp(converter->maxValue()))};
    return writeValue(data, range);
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
    if (m_camera || !access)
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
    if (!access || m_camera)
        return;
    // Built before the lock is taken: the camera talks to the device while it
    // is created, and direct calls need not wait for that.
    auto* camera = new BRX_Logic_Camera(access);
    const int productId = camera->productId();
    BRX_Logic_APEXConverterAperture::setProductId(productId);
    BRX_Logic_APEXConverterAperture::setStepSize(camera->hasExposCompensStep() ? camera->exposCompensStep() : 0);
    auto* converters = new BRX_Logic_ControllerConverters(*camera, productId);
    {
        std::unique_lock<std::shared_mutex> locker(m_connectionLock);
        camera->setWantReleaseEnd(m_wantReleaseEnd);
        m_camera = camera;
        m_converters = converters;
        m_activeAccess = access;
        m_productId = productId;
    }
    m_capture->setCamera(camera);
    m_mirror = new BRX_Logic_ControllerMirror(*this, *camera, *converters);
    connectNotifications();
    Q_EMIT signalCameraConnected();
}

void BRX_Logic_Controller::catchConnectionClosed(int connectionType)
{
    if (!m_camera || accessOf(connectionType) != m_activeAccess)
        return;
    m_closingCamera = true;
    closeCamera();
    m_closingCamera = false;
    Q_EMIT signalCameraDisconnected();
    connectDeferredCamera();
}

// The per-connection pointers are cleared before anything is deleted: the
// camera waits for its transfer threads and processes events meanwhile,
// which may run slots and direct calls that look for a camera.
void BRX_Logic_Controller::closeCamera()
{
    for (const QMetaObject::Connection& connection : qAsConst(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_capture->setCamera(nullptr);
    delete m_mirror;
    m_mirror = nullptr;
    BRX_Logic_Camera* camera = m_camera;
    BRX_Logic_ControllerConverters* converters = m_converters;
    {
        // Waits for direct calls that still use the camera; later ones find none.
        std::unique_lock<std::shared_mutex> locker(m_connectionLock);
        m_camera = nullptr;
        m_converters = nullptr;
        m_activeAccess = nullptr;
        m_productId = 0;
    }
    // Deleted outside the lock, which those slots may take.
    delete converters;
    delete camera;
    m_liveViewMode = 0;
    forgetLiveViewArea();
}

void BRX_Logic_Controller::connectDeferredCamera()
{
    const int connectionType = m_deferredConnectionType;
    m_deferredConnectionType = 0;
    if (connectionType != 0)
        catchConnectToCamera(connectionType, m_deferredDevice.cameraId, m_deferredDevice.productId,
                             m_deferredDevice.deviceId);
}

void BRX_Logic_Controller::catchCameraGUIClosed()
{
    if (m_camera) {
        m_camera->restoreAutoPowerOff();
        m_camera->restoreStorageType();
    }
    if (m_activeAccess)
        m_activeAccess->closeConnection();
}

template <typename Sender, typename Signal, typename Receiver, typename Slot>
void BRX_Logic_Controller::track(const Sender* sender, Signal signal, const Receiver* receiver, Slot slot,
                                 Qt::ConnectionType type)
{
    m_connections.append(connect(sender, signal, receiver, slot, type));
}

// Camera values that reach the host as they are.
template <typename T>
void BRX_Logic_Controller::connectValue(void (BRX_Logic_Camera::*signal)(T), int property)
{
    m_connections.append(connect(m_camera, signal, this, [this, property](T value) { notify(property, value); }));
}

// Camera values that reach the host as they are and the Qt side with their text.
void BRX_Logic_Controller::connectConverted(void (BRX_Logic_Camera::*signal)(int), int property, int kind)
{
    m_connections.append(connect(m_camera, signal, this,
                                 [this, property, kind](int value) { notifyConverted(property, kind, value); }));
}

void BRX_Logic_Controller::connectNotifications()
{
    typedef BRX_Logic_Camera Cam;
    typedef BRX_Logic_Controller Ctl;
    typedef BRX_Logic_CaptureControl Cap;
    typedef BRX_Commu_CameraAccess_Base Access;
    connectValue(&Cam::signalExposureMode, 0);
    connectConverted(&Cam::signalExposMetering, 1, Kind::ExposMetering);
    track(m_camera, &Cam::signalAperture, this, &Ctl::notifyAperture);
    track(m_camera, &Cam::signalShutterTime, this, &Ctl::notifyShutterTime);
    connectConverted(&Cam::signalExposCompens, 7, Kind::ExposCompens);
    connectValue(&Cam::signalSensitivityAuto, 11);
    connectValue(&Cam::signalBracketEnabled, 14);
    connectConverted(&Cam::signalBracketImgNum, 16, Kind::BracketImgNum);
    connectConverted(&Cam::signalBracketDeltaEV, 18, Kind::BracketDeltaEV);
    connectValue(&Cam::signalMirrorUpMode, 19);
    connectValue(&Cam::signalFocusConfirmation, 20);
    connectValue(&Cam::signalFocusConfirmBadSig, 21);
    connectValue(&Cam::signalFocusMode, 29);
    connectValue(&Cam::signalPowerSwitch, 38);
    connectValue(&Cam::signalLensConnectionType, 39);
    connectConverted(&Cam::signalIntervalFrames, 41, Kind::IntervalFrames);
    connectConverted(&Cam::signalIntervalTime, 43, Kind::IntervalTime);
    track(m_camera, &Cam::signalExposCompensStep, this, &Ctl::catchExposCompensStep);
    track(m_camera, &Cam::signalSensitivity, this, &Ctl::emitSensitivity);
    track(m_camera, &Cam::signalDriveMode, this, &Ctl::emitDriveMode);
    track(m_camera, &Cam::signalNoFocusConfirmation, this, &Ctl::emitNoFocusConfirmation);
    track(m_camera, &Cam::signalFocusDistance, this, &Ctl::emitFocusDistance);
    track(m_camera, &Cam::signalAutoFocusLimitDist, this, &Ctl::emitAutoFocusLimitDist);
    track(m_camera, &Cam::signalWhiteBalance, this, &Ctl::emitWhiteBalance);
    track(m_camera, &Cam::signalWhiteBalTemp, this, &Ctl::emitWhiteBalTemp);
    track(m_camera, &Cam::signalLensChanged, this, &Ctl::catchLensChanged);
    track(m_camera, &Cam::signalElectronicShutter, this, &Ctl::catchElectronicShutter);
    track(m_camera, &Cam::signalMaxShutterTime, this, &Ctl::catchMaxShutterTime);
    track(m_camera, &Cam::signalLiveViewMode, this, &Ctl::catchLiveViewMode);
    track(m_camera, &Cam::signalBulbModeTime, m_capture, &Cap::emitBulbCounter);
    track(m_camera, &Cam::signalSelfTimerRestTime, m_capture, &Cap::emitSelfTimerCounter);
    track(m_camera, &Cam::signalDngTransferDone, m_capture, &Cap::catchDngTransferDone);
    track(m_camera, &Cam::signalIsAlive, this, &Ctl::signalIsAlive);
    track(m_camera, &Cam::signalLoading, this, &Ctl::signalLoading);
    track(m_camera, &Cam::signalRemainingToLoad, this, &Ctl::signalRemainingToLoad);
    track(m_camera, &Cam::signalLiveViewPhoto, this, &Ctl::signalLiveViewPhoto);
    track(m_camera, &Cam::signalLiveViewVideo, this, &Ctl::signalLiveViewVideo);
    track(m_camera, &Cam::signalNoLiveView, this, &Ctl::signalNoLiveView);
    track(m_camera, &Cam::signalNoLiveView, this, &Ctl::forgetLiveViewArea);
    track(m_camera, &Cam::signalLiveZoomInfo, this, &Ctl::catchLiveZoomInfo);
    track(m_camera, &Cam::signalLiveZoomRect, this, &Ctl::catchLiveZoomRect);
    track(m_camera, &Cam::signalQuickView, this, &Ctl::signalQuickView);
    track(m_camera, &Cam::signalNoQuickView, this, &Ctl::signalNoQuickView);
    track(m_camera, &Cam::signalFileNameAndNumber, this, &Ctl::signalFileNameAndNumber);
    track(m_camera, &Cam::signalPictureExampleName, this, &Ctl::signalPictureExampleName);
    track(m_camera, &Cam::signalImageDBChangeBegin, this, &Ctl::signalImageDBChangeBegin);
    track(m_camera, &Cam::signalImageDBChangeEnd, this, &Ctl::signalImageDBChangeEnd);
    track(m_activeAccess, &Access::signalBulbCounter, m_capture, &Cap::emitBulbCounter, Qt::QueuedConnection);
    track(m_activeAccess, &Access::signalSelfTimerCounter, m_capture, &Cap::emitSelfTimerCounter,
          Qt::QueuedConnection);
    track(m_activeAccess, &Access::signalTransferRequest, m_capture, &Cap::catchTransferRequest,
          Qt::QueuedConnection);
    track(m_activeAccess, &Access::signalObjectDeleted, this, &Ctl::signalObjectDeleted);
}

// --- Notification pipeline ----------------------------------------------------

template <typename T>
void BRX_Logic_Controller::notify(int property, T value)
{
    Q_EMIT signalProperty(property, &value, quint32(sizeof value));
}

template <typename T>
void BRX_Logic_Controller::notifyList(int property, const QVector<T>& values)
{
    Q_EMIT signalProperty(property, const_cast<T*>(values.constData()), quint32(values.size() * sizeof(T)));
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

template <typename F>
void BRX_Logic_Controller::inControllerThread(F f)
{
    if (QThread::currentThread() == thread())
        f();
    else
        QMetaObject::invokeMethod(this, f, Qt::QueuedConnection);
}

template <typename F>
auto BRX_Logic_Controller::withCamera(const char* label, F f) -> decltype(f(std::declval<BRX_Logic_Camera&>()))
{
    if (m_camera)
        return f(*m_camera);
    debugPrint(kDebugAlways, "%s - no camera", label);
    return decltype(f(*m_camera))();
}

template <typename F>
void BRX_Logic_Controller::withCameraInControllerThread(F f)
{
    inControllerThread([this, f] { withCamera(kSetLabel, f); });
}

// A converted value's notification; a missing converter loses only the
// Qt side's text.
void BRX_Logic_Controller::notifyConverted(int property, int kind, int value)
{
    notify(property, qint32(value));
    if (m_mirror)
        m_mirror->emitValue(Kind(kind), value);
}

void BRX_Logic_Controller::notifyShutterTime(double seconds)
{
    notify(5, seconds);
    if (m_mirror)
        m_mirror->emitShutterTime(seconds);
}

void BRX_Logic_Controller::notifyAperture(double fNumber)
{
    notify(3, fNumber);
    if (m_mirror)
        m_mirror->emitAperture(fNumber);
}

void BRX_Logic_Controller::notifyCurrentShutterTime()
{
    if (m_camera)
        notifyShutterTime(m_camera->shutterTime());
}

// The selectable shutter times depend on the sensitivity, the electronic
// shutter and the longest time: the list and the current time again.
void BRX_Logic_Controller::notifyShutterTimes()
{
    emitShutterTimeList();
    notifyCurrentShutterTime();
}

// --- Value notifications --------------------------------------------------------

void BRX_Logic_Controller::emitSensitivity(int iso)
{
    notifyConverted(10, Kind::Sensitivity, iso);
    notifyShutterTimes();
}

void BRX_Logic_Controller::emitDriveMode(int mode)
{
    notifyConverted(13, Kind::DriveMode, mode);
    // Any other mode ends an emulated interval at its next tick.
    if (mode != kIntervalDriveMode)
        m_capture->setSoftwareInterval(false);
}

void BRX_Logic_Controller::emitFocusDistance(int code)
{
    notifyDistance(23, code, BRX_METHOD);
    if (m_mirror && m_converters->focusDistance())
        m_mirror->emitFocusDistance(code, m_focusInFeet);
}

void BRX_Logic_Controller::emitFocusMaxDistance(int code)
{
    notifyDistance(26, code, BRX_METHOD);
}

void BRX_Logic_Controller::emitFocusMinDistance(int code)
{
    notifyDistance(27, code, BRX_METHOD);
}

void BRX_Logic_Controller::emitAutoFocusLimitDist(int code)
{
    notifyDistance(28, code, BRX_METHOD);
}

// The payload is in metres, which needs the focus-distance converter.
void BRX_Logic_Controller::notifyDistance(int property, int code, const char* label)
{
    double metres = 0.0;
    if (readFocusDistance(code, &metres, label))
        notify(property, metres);
}

void BRX_Logic_Controller::emitWhiteBalance(int index)
{
    if (!m_camera)
        return;
    const int productId = m_productId;
    if ((productId == 0x2031 || productId == 0x2041) && index == 10)
        index = 9;
    notify(32, qint32(whiteBalanceValue(index, m_camera->whiteBalanceColorTemp())));
    m_mirror->emitValue(Kind::WhiteBalance, index);
}

// A temperature change in any other preset re-sends the unchanged index.
void BRX_Logic_Controller::emitWhiteBalTemp(int temperature)
{
    if (!m_camera)
        return;
    notify(32, qint32(whiteBalanceValue(m_camera->whiteBalanceIndex() & 0xFF, temperature)));
    m_mirror->emitValue(Kind::WhiteBalTemp, temperature);
}

// Has no payload, so the pipeline drops it: the host never sees 22.
void BRX_Logic_Controller::emitNoFocusConfirmation()
{
    Q_EMIT signalProperty(22, nullptr, 0);
}

int BRX_Logic_Controller::colourTemperaturePreset() const
{
    return BRX_Logic_ControllerConverters::colourTemperaturePreset(m_productId);
}

// The index, or in the colour-temperature preset the temperature in kelvin
// when the temperature converter knows it.
int BRX_Logic_Controller::whiteBalanceValue(int index, int temperature) const
{
    const BRX_Logic_ConverterBase* balance = m_converters->get(Kind::WhiteBalance);
    const BRX_Logic_ConverterBase* kelvin = m_converters->get(Kind::WhiteBalTemp);
    if (!balance || !kelvin || index != colourTemperaturePreset())
        return index;
    QString text = kelvin->textOf(temperature);
    text.remove(QStringLiteral(" K"));
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : index;
}

// --- Lists -----------------------------------------------------------------------

double BRX_Logic_Controller::apertureStep() const
{
    if (m_camera->hasExposCompensStep())
        return BRX_Logic_PropertyLists::stepFromCompensStep(m_camera->exposCompensStep());
    return BRX_Logic_PropertyLists::stepFromApertureSteps(m_camera->apertureSteps());
}

double BRX_Logic_Controller::shutterTimeStep() const
{
    if (!m_camera->hasExposCompensStep() && !m_camera->hasAperture())
        return 0.5;
    return apertureStep();
}

double BRX_Logic_Controller::fastestShutterTime() const
{
    if (m_productId != 0x2041)
        return 1.0 / 4000;
    const bool electronic = m_camera->hasElectronicShutter() && m_camera->electronicShutter() == 1;
    return electronic ? 1.0 / 16000 : 1.0 / 8000;
}

void BRX_Logic_Controller::emitApertureList()
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return;
    }
    const QVector<double> fNumbers =
        BRX_Logic_PropertyLists::apertureList(m_camera->openApertureValue(), m_camera->closeApertureValue(),
                                              apertureStep(), BRX_Logic_APEXConverterAperture::fNumberFromAv);
    notifyList(2, fNumbers);
    m_mirror->emitApertureList(fNumbers);
}

void BRX_Logic_Controller::emitShutterTimeList()
{
    if (!m_camera)
        return;
    const double step = shutterTimeStep();
    if (step <= 0.0) {
        debugPrint(kDebugAlways, "%s - illegal shutter time step", BRX_METHOD);
        return;
    }
    const BRX_Logic_APEXConverterShutterTime& converter = m_converters->shutterTime();
    const QVector<double> times =
        BRX_Logic_PropertyLists::shutterTimeList(fastestShutterTime(), m_camera->maxShutterTime(), step,
                                                 [&converter](double tv) { return converter.secondsFromTv(tv); });
    notifyList(4, times);
    m_mirror->emitShutterTimeList(times);
}

void BRX_Logic_Controller::notifyConverterValues(int property, int kind, const char* label)
{
    const BRX_Logic_ConverterBase* converter = m_converters ? m_converters->get(Kind(kind)) : nullptr;
    if (!converter) {
        debugPrint(kDebugAlways, "%s - no converter for %s", label,
                   BRX_Logic_ControllerConverters::subject(Kind(kind)));
        return;
    }
    notifyList(property, BRX_Logic_PropertyLists::roundedValues(converter->values()));
    if (m_mirror)
        m_mirror->emitList(Kind(kind));
}

void BRX_Logic_Controller::notifyConverterRange(int property, int kind, const char* label)
{
    std::array<qint32, 2> range;
    if (!readRange(kind, range.data(), label))
        return;
    notify(property, range);
    if (m_mirror)
        m_mirror->emitList(Kind(kind));
}

void BRX_Logic_Controller::emitExposCompensList()
{
    notifyConverterValues(6, Kind::ExposCompens, BRX_METHOD);
}

void BRX_Logic_Controller::emitSensitivityList()
{
    notifyConverterValues(9, Kind::Sensitivity, BRX_METHOD);
}

void BRX_Logic_Controller::emitBracketDeltaEVList()
{
    notifyConverterValues(17, Kind::BracketDeltaEV, BRX_METHOD);
}

void BRX_Logic_Controller::emitIntervalFramesList()
{
    notifyConverterRange(40, Kind::IntervalFrames, BRX_METHOD);
}

void BRX_Logic_Controller::emitIntervalTimeList()
{
    notifyConverterRange(42, Kind::IntervalTime, BRX_METHOD);
}

// --- Camera changes with follow-ups ----------------------------------------------

void BRX_Logic_Controller::notifyFocusRange()
{
    BRX_Logic_ConverterFocusDistance* converter = m_converters->focusDistance();
    converter->setFocusPositionMax(m_camera->focusPositionMax());
    converter->setFocusPositionMin(m_camera->focusPositionMin());
    emitFocusMaxDistance(converter->focusPositionMax());
    emitFocusMinDistance(converter->focusPositionMin());
}

void BRX_Logic_Controller::catchLensChanged()
{
    if (!m_camera)
        return;
    if (m_camera->hasAperture())
        emitApertureList();
    if (m_converters->focusDistance())
        notifyFocusRange();
    else if (m_camera->hasFocusDistance())
        debugPrint(kDebugAlways, "%s - no converter for focus distance", BRX_METHOD);
}

void BRX_Logic_Controller::catchExposCompensStep(int milliEv)
{
    if (!m_camera)
        return;
    {
        // The records convert apertures with this process-wide table, also
        // for sets from the host's thread.
        std::unique_lock<std::shared_mutex> locker(m_connectionLock);
        BRX_Logic_APEXConverterAperture::setStepSize(milliEv);
    }
    m_converters->shutterTime().setStepSize(milliEv);
    auto* converter = static_cast<BRX_Logic_ConverterExposCompens*>(m_converters->get(Kind::ExposCompens));
    if (!converter) {
        debugPrint(kDebugAlways, "%s - no converter for exposure compensation", BRX_METHOD);
        return;
    }
    if (converter->stepSize() == milliEv)
        return;
    converter->setStepSize(milliEv);
    notify(8, qint32(milliEv));
    emitExposCompensList();
    notifyConverted(7, Kind::ExposCompens, 0);
    notifyShutterTimes();
    if (m_camera->hasAperture()) {
        emitApertureList();
        notifyAperture(m_camera->aperture());
    }
}

void BRX_Logic_Controller::catchElectronicShutter(int)
{
    notifyShutterTimes();
}

void BRX_Logic_Controller::catchMaxShutterTime(double)
{
    notifyShutterTimes();
}

void BRX_Logic_Controller::catchLiveViewMode(int mode)
{
    m_liveViewMode = mode;
    Q_EMIT signalLiveViewMode(mode);
}

// --- Initial state -----------------------------------------------------------------

void BRX_Logic_Controller::catchCameraGUIOpened()
{
    if (!m_camera)
        return;
    sendInitialPower();
    m_mirror->send(Mirror::PictureSettings);
    sendInitialCompensStep();
    if (m_mirror->announce(Mirror::ExposureSimulation))
        Q_EMIT signalExposureSimulation(m_camera->exposureSimulation());
    Q_EMIT signalFileNameAndNumber();
    m_mirror->announce(Mirror::WhiteBalance);
    sendInitialLists();
    sendInitialValues();
    Q_EMIT signalInitialStateSent();
}

void BRX_Logic_Controller::sendInitialPower()
{
    m_mirror->send(Mirror::Battery);
    if (m_mirror->announce(Mirror::LensConnectionType))
        notify(39, qint32(m_camera->lensConnectionType()));
    if (m_mirror->announce(Mirror::PowerSwitch))
        notify(38, qint32(m_camera->powerSwitch()));
    m_mirror->announce(Mirror::VideoRecording);
    if (m_mirror->announce(Mirror::LiveView)) {
        Q_EMIT signalLiveViewMode(0);
        if (m_camera->wantsLiveView())
            m_camera->checkIfLiveViewIsActive();
    }
    m_mirror->send(Mirror::FlashAndKeyLock);
}

void BRX_Logic_Controller::sendInitialCompensStep()
{
    if (!m_camera->hasExposCompensStep())
        return;
    const int step = m_camera->exposCompensStep();
    m_converters->shutterTime().setStepSize(step);
    if (auto* converter = static_cast<BRX_Logic_ConverterExposCompens*>(m_converters->get(Kind::ExposCompens)))
        converter->setStepSize(step);
    notify(8, qint32(step));
}

void BRX_Logic_Controller::sendInitialLists()
{
    mirrorList(Kind::DriveMode, BRX_METHOD);
    mirrorList(Kind::ExposMetering, BRX_METHOD);
    emitExposCompensList();
    mirrorList(Kind::BracketImgNum, BRX_METHOD);
    emitBracketDeltaEVList();
    emitIntervalFramesList();
    emitIntervalTimeList();
    emitSensitivityList();
    if (m_camera->hasWhiteBalance()) {
        mirrorList(Kind::WhiteBalance, BRX_METHOD);
        mirrorList(Kind::WhiteBalTemp, BRX_METHOD);
    }
    emitShutterTimeList();
    catchLensChanged();
    Q_EMIT signalFocusIsUnitFeet(m_focusInFeet);
}

// A list only the Qt side receives.
void BRX_Logic_Controller::mirrorList(int kind, const char* label)
{
    if (!m_mirror->emitList(Kind(kind)))
        debugPrint(kDebugAlways, "%s - no converter for %s", label,
                   BRX_Logic_ControllerConverters::subject(Kind(kind)));
}

void BRX_Logic_Controller::sendInitialValues()
{
    BRX_Logic_Camera& camera = *m_camera;
    emitDriveMode(m_capture->isSoftwareInterval() ? kIntervalDriveMode : camera.driveMode());
    if (m_mirror->announce(Mirror::FocusMode))
        notify(29, qint32(camera.focusMode()));
    notifyConverted(1, Kind::ExposMetering, camera.exposMetering());
    notifyConverted(7, Kind::ExposCompens, camera.exposCompens());
    notify(14, camera.bracketingEnabled());
    notifyConverted(16, Kind::BracketImgNum, camera.bracketingImageNumbers());
    notifyConverted(18, Kind::BracketDeltaEV, camera.bracketingDeltaEV());
    sendInitialIntervals();
    if (m_mirror->announce(Mirror::AutoFocusLimit)) {
        Q_EMIT signalAutoFocusLimit(camera.autoFocusLimit());
        emitAutoFocusLimitDist(camera.autoFocusLimitDist());
    }
    if (m_mirror->announce(Mirror::MirrorUpMode))
        notify(19, camera.mirrorUpMode());
    notify(11, camera.sensitivityAuto());
    emitSensitivity(camera.sensitivity());
    if (camera.hasWhiteBalance()) {
        emitWhiteBalance(camera.whiteBalanceIndex() & 0xFF);
        emitWhiteBalTemp(camera.whiteBalanceColorTemp());
    }
    notify(0, qint32(camera.exposureMode()));
    if (m_mirror->announce(Mirror::Aperture))
        notifyAperture(camera.aperture());
    notifyCurrentShutterTime();
    sendInitialFocus();
}

// A camera without interval shooting of its own reports the emulation's values.
void BRX_Logic_Controller::sendInitialIntervals()
{
    const bool own = m_mirror->announce(Mirror::Interval);
    notifyConverted(41, Kind::IntervalFrames, own ? m_camera->intervalFrames() : m_capture->intervalFrames());
    notifyConverted(43, Kind::IntervalTime, own ? m_camera->intervalTime() : m_capture->intervalTime());
}

void BRX_Logic_Controller::sendInitialFocus()
{
    if (m_mirror->announce(Mirror::FocusDistance))
        emitFocusDistance(m_camera->focusDistance());
    if (!m_mirror->announce(Mirror::FocusConfirmation))
        return;
    if (m_camera->focusConfirmationEnabled()) {
        notify(21, m_camera->focusConfirmationBadSignal());
        notify(20, qint32(m_camera->focusConfirmation()));
    } else {
        emitNoFocusConfirmation();
    }
}

// --- Capture --------------------------------------------------------------------

void BRX_Logic_Controller::doCaptureBtnPressed()
{
    if (m_camera)
        m_capture->doCaptureBtnPressed();
    else
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
}

void BRX_Logic_Controller::doCaptureBtnReleased()
{
    if (m_camera)
        m_capture->doCaptureBtnReleased();
    else
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
}

void BRX_Logic_Controller::doVidCaptBtnPressed()
{
}

void BRX_Logic_Controller::doVidCaptBtnReleased()
{
    withCamera(BRX_METHOD, [](BRX_Logic_Camera& camera) { camera.toggleVideoCapture(); });
}

// --- Setters ----------------------------------------------------------------------

bool BRX_Logic_Controller::setShutterTime(double seconds)
{
    if (seconds == kBulbShutterTime)
        return withCamera(BRX_METHOD, [this](BRX_Logic_Camera& camera) {
            return switchExposureMode(camera, kBulbExposureMode);
        });
    if (!isPositiveFinite(seconds, "shutter time", BRX_METHOD))
        return false;
    return withCamera(BRX_METHOD, [this, seconds](BRX_Logic_Camera& camera) {
        // A shutter time means leaving bulb.
        if (camera.exposureMode() == kBulbExposureMode && !switchExposureMode(camera, 0))
            return false;
        return camera.setShutterTime(seconds);
    });
}

// The exposure mode a shutter time implies; confirmed like a set of its own.
bool BRX_Logic_Controller::switchExposureMode(BRX_Logic_Camera& camera, int mode)
{
    const bool taken = camera.setExposureMode(eVQExposureMode(mode));
    inControllerThread([this] { echo(0); });
    return taken;
}

// Lenses without aperture steps have no aperture to set.
bool BRX_Logic_Controller::setAperture(double fNumber)
{
    if (!isPositiveFinite(fNumber, "aperture", BRX_METHOD))
        return false;
    return withCamera(BRX_METHOD, [fNumber](BRX_Logic_Camera& camera) {
        return camera.apertureSteps() != 0 && camera.setAperture(fNumber);
    });
}

// The host learns the camera's values from the lists; anything else would
// reach the camera as some other value.
bool BRX_Logic_Controller::isListed(int kind, int value, const char* what, const char* label) const
{
    const BRX_Logic_ConverterBase* converter = m_converters ? m_converters->get(Kind(kind)) : nullptr;
    if (converter && converter->values().contains(double(value)))
        return true;
    debugPrint(kDebugAlways, "%s - illegal %s %d", label, what, value);
    return false;
}

bool BRX_Logic_Controller::setSensitivity(int iso)
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return false;
    }
    if (!isListed(Kind::Sensitivity, iso, "sensitivity", BRX_METHOD))
        return false;
    const bool taken = m_camera->setSensitivity(uint(iso));
    const bool automatic = m_camera->sensitivityAuto();
    Q_EMIT signalSensitivityAuto(automatic);
    inControllerThread([this, automatic] {
        notify(11, automatic);
        notifyShutterTimes();
    });
    return taken;
}

// Only an ISO value ends automatic sensitivity: clearing the flag holds only
// when it is clear already.
bool BRX_Logic_Controller::setSensitivityAuto(bool automatic)
{
    if (automatic)
        return setSensitivity(0);
    return m_camera && !m_camera->sensitivityAuto();
}

bool BRX_Logic_Controller::setFocusDistance(double metres)
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return false;
    }
    if (!m_converters->focusDistance()) {
        debugPrint(kDebugAlways, "%s - no converter for focus distance", BRX_METHOD);
        return false;
    }
    // Distances at or below zero and beyond a million metres have codes of
    // their own; NaN has none.
    if (std::isnan(metres)) {
        debugPrint(kDebugAlways, "%s - illegal focus distance %g", BRX_METHOD, metres);
        return false;
    }
    return m_camera->setFocusDistance(uint(BRX_Logic_ConverterFocusDistance::codeFromMeters(metres)));
}

bool BRX_Logic_Controller::setFileFormat(int format)
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return false;
    }
    if (format < 0) {
        debugPrint(kDebugAlways, "%s - illegal file format %d", BRX_METHOD, format);
        return false;
    }
    const bool taken = m_camera->setFileFormat(format);
    const int held = taken ? format : m_camera->fileFormat();
    Q_EMIT signalFileFormat(held);
    Q_EMIT signalUseDngCompression(held <= 2);
    Q_EMIT signalUseJpgColorSpace(held >= 1 && held <= 4);
    Q_EMIT signalUseJpgResolution(held >= 1 && held <= 4);
    return taken;
}

// A value above the colour-temperature preset is a temperature, unless it is
// one of the camera's own presets (some list one above the temperature preset).
bool BRX_Logic_Controller::isWhiteBalanceTemperature(int value) const
{
    const BRX_Logic_ConverterBase* balance = m_converters->get(Kind::WhiteBalance);
    return balance && value > colourTemperaturePreset() && !balance->values().contains(value);
}

bool BRX_Logic_Controller::writeWhiteBalance(int value)
{
    if (!isWhiteBalanceTemperature(value))
        return setWhiteBalance(value);
    const bool preset = setWhiteBalance(colourTemperaturePreset());
    return setWhiteBalTemp(QString::number(value) + QStringLiteral(" K")) && preset;
}

bool BRX_Logic_Controller::setWhiteBalance(int index)
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return false;
    }
    const bool taken = m_camera->setWhiteBalanceIndex(uchar(index));
    const int held = taken ? index : m_camera->whiteBalanceIndex();
    Q_EMIT signalWhiteBalance(held);
    Q_EMIT signalIsWhiteBalTemp(held == colourTemperaturePreset());
    if (!m_converters->get(Kind::WhiteBalance))
        debugPrint(kDebugAlways, "%s - no converter for white balance", BRX_METHOD);
    return taken;
}

// Setters that only hand the value to the camera model:
// X(controller setter, argument type, camera setter, camera argument type).
#define BRX_CONTROLLER_FORWARDS(X) \
    X(setWhiteBalTemp, int, setWhiteBalanceColorTemp, uint) \
    X(setExposureMode, int, setExposureMode, eVQExposureMode) \
    X(setExposMetering, int, setExposMetering, eVQExposMetering) \
    X(setExposCompens, int, setExposCompens, int) \
    X(setExposCompensStep, int, setExposCompensStep, int) \
    X(setBracketEnabled, bool, setBracketEnabled, bool) \
    X(setBracketImgNum, int, setBracketImgNum, int) \
    X(setBracketDeltaEV, int, setBracketDeltaEV, int) \
    X(setMirrorUpMode, bool, setMirrorUpMode, bool) \
    X(setFocusMode, int, setFocusMode, eVQFocusMode) \
    X(setAudioLevel, int, setAudioLevel, eVQAudioLevel)

#define BRX_DEFINE_CONTROLLER_FORWARD(Name, Arg, CameraSetter, CameraArg)                             \
    bool BRX_Logic_Controller::Name(Arg value)                                                      \
    {                                                                                              \
        return withCamera(BRX_METHOD,                                                              \
                          [value](BRX_Logic_Camera& camera) { return camera.CameraSetter(CameraArg(value)); }); \
    }
BRX_CONTROLLER_FORWARDS(BRX_DEFINE_CONTROLLER_FORWARD)
#undef BRX_DEFINE_CONTROLLER_FORWARD
#undef BRX_CONTROLLER_FORWARDS

// Drive mode 4 is bracketing, carried by the camera's bracketing flag; 5 is
// interval shooting, emulated here when the camera has none of its own.
bool BRX_Logic_Controller::setDriveMode(int mode)
{
    if (m_camera && !isListed(Kind::DriveMode, mode, "drive mode", BRX_METHOD))
        return false;
    const bool bracketing = setBracketEnabled(mode == kBracketingDriveMode);
    if (!m_camera)
        return false;
    bool taken;
    if (mode == kBracketingDriveMode) {
        taken = m_camera->setDriveMode(eVQDriveMode(0));
    } else if (!m_camera->hasInterval()) {
        m_capture->setSoftwareInterval(mode == kIntervalDriveMode);
        taken = m_camera->setDriveMode(eVQDriveMode(mode == kIntervalDriveMode ? 0 : mode));
    } else {
        taken = m_camera->setDriveMode(eVQDriveMode(mode));
    }
    inControllerThread([this] {
        if (m_camera)
            notifyConverted(13, Kind::DriveMode,
                            m_capture->isSoftwareInterval() ? kIntervalDriveMode : m_camera->driveMode());
    });
    return taken && bracketing;
}

bool BRX_Logic_Controller::setIntervalFrames(int frames)
{
    return setInterval(BRX_METHOD, true, frames);
}

bool BRX_Logic_Controller::setIntervalTime(int seconds)
{
    return setInterval(BRX_METHOD, false, seconds);
}

// Without interval shooting of its own the camera's intervals are emulated:
// the emulation keeps what the host sets.
bool BRX_Logic_Controller::setInterval(const char* label, bool frames, int value)
{
    return withCamera(label, [this, frames, value](BRX_Logic_Camera& camera) {
        if (camera.hasInterval())
            return frames ? camera.setIntervalFrames(value) : camera.setIntervalTime(value);
        if (frames)
            m_capture->setIntervalFrames(value);
        else
            m_capture->setIntervalTime(value);
        return true;
    });
}

void BRX_Logic_Controller::setIsUnitFeet(bool feet)
{
    if (feet == m_focusInFeet)
        return;
    m_focusInFeet = feet;
    Q_EMIT signalFocusIsUnitFeet(feet);
    if (m_camera && m_converters->focusDistance())
        notifyFocusRange();
}

// --- Text setters ------------------------------------------------------------------

namespace {

typedef bool (*TextTarget)(BRX_Logic_Controller&, BRX_Logic_Camera&, int value);

// Where the value of a converter's text goes: picture formats and styles
// straight to the camera, the rest through the controller's own setters.
TextTarget textTarget(Kind kind)
{
    typedef BRX_Logic_Controller Ctl;
    typedef BRX_Logic_Camera Cam;
    static const TextTarget kTargets[Kind::kKindCount] = {
        /* Orientation */ nullptr,
        /* AudioLevel */ [](Ctl& t, Cam&, int v) { return t.setAudioLevel(v); },
        /* AutoreviewDuration */ [](Ctl&, Cam& c, int v) { return c.setAutoreviewDuration(eVQAutoreviewDuration(v)); },
        /* AutoPowerOff */ [](Ctl&, Cam& c, int v) { return c.setAutoPowerOff(eVQAutoPowerOff(v)); },
        /* BracketDeltaEV */ [](Ctl& t, Cam&, int v) { return t.setBracketDeltaEV(v); },
        /* BracketImgNum */ [](Ctl& t, Cam&, int v) { return t.setBracketImgNum(v); },
        /* DngCompression */ [](Ctl&, Cam& c, int v) { return c.setDngCompression(v != 0); },
        /* DriveMode */ [](Ctl& t, Cam&, int v) { return t.setDriveMode(v); },
        /* ExposCompens */ [](Ctl& t, Cam&, int v) { return t.setExposCompens(v); },
        /* ExposMetering */ [](Ctl& t, Cam&, int v) { return t.setExposMetering(v); },
        /* FileFormat */ [](Ctl& t, Cam&, int v) { return t.setFileFormat(v); },
        /* IntervalFrames */ [](Ctl& t, Cam&, int v) { return t.setIntervalFrames(v); },
        /* IntervalTime */ [](Ctl& t, Cam&, int v) { return t.setIntervalTime(v); },
        /* JpgColorSpace */ [](Ctl&, Cam& c, int v) { return c.setJpgColorSpace(eVQColorManagement(v)); },
        /* JpgResolution */ [](Ctl&, Cam& c, int v) { return c.setJpgResolution(eVQPhotoResolutionJPG(v)); },
        /* SensorFormat */ [](Ctl&, Cam& c, int v) { return c.setSensorFormat(eVQSensorFormat(v)); },
        /* PhotoAspectRatio */ [](Ctl&, Cam& c, int v) { return c.setPhotoAspectRatio(eVQPhotoAspectRatio(v)); },
        /* VideoFileFormat */ [](Ctl&, Cam& c, int v) { return c.setVideoFileFormat(eVQVideoFileFormat(v)); },
        /* VideoResAndFrRate */ [](Ctl&, Cam& c, int v) { return c.setVideoResAndFrRate(eVQVideoResAndFrRate(v)); },
        /* VideoFormatResol */ [](Ctl&, Cam& c, int v) { return c.setVideoFormatResol(eVQVideoFormatResol(v)); },
        /* Contrast */ [](Ctl&, Cam& c, int v) { return c.setContrast(eVQContrast(v)); },
        /* Sharpness */ [](Ctl&, Cam& c, int v) { return c.setSharpness(eVQSharpness(v)); },
        /* Saturation */ [](Ctl&, Cam& c, int v) { return c.setSaturation(eVQSaturation(v)); },
        /* Monochrome */ [](Ctl&, Cam& c, int v) { return c.setMonochrome(eVQMonochrome(v)); },
        /* Sensitivity */ [](Ctl& t, Cam&, int v) { return t.setSensitivity(v); },
        /* Warning */ nullptr,
        /* WhiteBalance */ [](Ctl& t, Cam&, int v) { return t.setWhiteBalance(v); },
        /* WhiteBalTemp */ [](Ctl& t, Cam&, int v) { return t.setWhiteBalTemp(v); },
    };
    return kTargets[kind];
}

} // namespace

bool BRX_Logic_Controller::setFromText(int kind, const QString& text, const char* label)
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", label);
        return false;
    }
    const BRX_Logic_ConverterBase* converter = m_converters->get(Kind(kind));
    if (!converter) {
        debugPrint(kDebugAlways, "%s - no converter for %s", label, BRX_Logic_ControllerConverters::subject(Kind(kind)));
        return false;
    }
    // A text outside the list would reach the camera as the miss value -1.
    if (!converter->texts().contains(text)) {
        debugPrint(kDebugAlways, "%s - unknown value: %s", label, qPrintable(text));
        return false;
    }
    return textTarget(Kind(kind))(*this, *m_camera, int(roundHalfUp(converter->valueOf(text))));
}

void BRX_Logic_Controller::setDngCompression(const QString& text)
{
    setFromText(Kind::DngCompression, text, BRX_METHOD);
}

void BRX_Logic_Controller::setJpgColorSpace(const QString& text)
{
    setFromText(Kind::JpgColorSpace, text, BRX_METHOD);
}

void BRX_Logic_Controller::setJpgResolution(const QString& text)
{
    setFromText(Kind::JpgResolution, text, BRX_METHOD);
}

void BRX_Logic_Controller::setAutoreviewDuration(const QString& text)
{
    setFromText(Kind::AutoreviewDuration, text, BRX_METHOD);
}

void BRX_Logic_Controller::setAutoPowerOff(const QString& text)
{
    setFromText(Kind::AutoPowerOff, text, BRX_METHOD);
}

void BRX_Logic_Controller::setSensorFormat(const QString& text)
{
    setFromText(Kind::SensorFormat, text, BRX_METHOD);
}

void BRX_Logic_Controller::setPhotoAspectRatio(const QString& text)
{
    setFromText(Kind::PhotoAspectRatio, text, BRX_METHOD);
}

void BRX_Logic_Controller::setVideoFileFormat(const QString& text)
{
    setFromText(Kind::VideoFileFormat, text, BRX_METHOD);
}

void BRX_Logic_Controller::setVideoResAndFrRate(const QString& text)
{
    setFromText(Kind::VideoResAndFrRate, text, BRX_METHOD);
}

void BRX_Logic_Controller::setVideoFormatResol(const QString& text)
{
    setFromText(Kind::VideoFormatResol, text, BRX_METHOD);
}

void BRX_Logic_Controller::setContrast(const QString& text)
{
    setFromText(Kind::Contrast, text, BRX_METHOD);
}

void BRX_Logic_Controller::setSharpness(const QString& text)
{
    setFromText(Kind::Sharpness, text, BRX_METHOD);
}

void BRX_Logic_Controller::setSaturation(const QString& text)
{
    setFromText(Kind::Saturation, text, BRX_METHOD);
}

void BRX_Logic_Controller::setMonochrome(const QString& text)
{
    setFromText(Kind::Monochrome, text, BRX_METHOD);
}

void BRX_Logic_Controller::setFileFormat(const QString& text)
{
    setFromText(Kind::FileFormat, text, BRX_METHOD);
}

void BRX_Logic_Controller::setExposMetering(const QString& text)
{
    setFromText(Kind::ExposMetering, text, BRX_METHOD);
}

void BRX_Logic_Controller::setExposCompens(const QString& text)
{
    setFromText(Kind::ExposCompens, text, BRX_METHOD);
}

void BRX_Logic_Controller::setSensitivity(const QString& text)
{
    setFromText(Kind::Sensitivity, text, BRX_METHOD);
}

void BRX_Logic_Controller::setWhiteBalance(const QString& text)
{
    setFromText(Kind::WhiteBalance, text, BRX_METHOD);
}

bool BRX_Logic_Controller::setWhiteBalTemp(const QString& text)
{
    return setFromText(Kind::WhiteBalTemp, text, BRX_METHOD);
}

void BRX_Logic_Controller::setDriveMode(const QString& text)
{
    setFromText(Kind::DriveMode, text, BRX_METHOD);
}

void BRX_Logic_Controller::setBracketImgNum(const QString& text)
{
    setFromText(Kind::BracketImgNum, text, BRX_METHOD);
}

void BRX_Logic_Controller::setBracketDeltaEV(const QString& text)
{
    setFromText(Kind::BracketDeltaEV, text, BRX_METHOD);
}

void BRX_Logic_Controller::setIntervalFrames(const QString& text)
{
    setFromText(Kind::IntervalFrames, text, BRX_METHOD);
}

void BRX_Logic_Controller::setIntervalTime(const QString& text)
{
    setFromText(Kind::IntervalTime, text, BRX_METHOD);
}

void BRX_Logic_Controller::setAudioLevel(const QString& text)
{
    setFromText(Kind::AudioLevel, text, BRX_METHOD);
}

void BRX_Logic_Controller::setFocusDistance(const QString& text)
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return;
    }
    if (!m_converters->focusDistance()) {
        debugPrint(kDebugAlways, "%s - no converter for focus distance", BRX_METHOD);
        return;
    }
    m_camera->setFocusDistance(uint(BRX_Logic_ConverterFocusDistance::codeFromString(text, m_focusInFeet)));
}

void BRX_Logic_Controller::setShutterTime(const QString& text)
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return;
    }
    const double seconds = BRX_Logic_APEXConverterShutterTime::secondsFromString(text);
    if (text == QLatin1String("B")) {
        m_camera->setExposureMode(eVQExposureMode(kBulbExposureMode));
    } else if (seconds > 0.0) {
        setShutterTime(seconds);
    } else {
        debugPrint(kDebugAlways, "%s - unknown value: %s", BRX_METHOD, qPrintable(text));
        return;
    }
    notify(0, qint32(m_camera->exposureMode()));
}

// --- Qt-side image interface --------------------------------------------------------

namespace {

using ObjectReader = BRX_Logic_ObjectReader;

// Objects outside this range are not worth sharing, or are not pictures.
const quint32 kMinSharedObjectSize = 501;
const quint32 kMaxSharedObjectSize = 199999999;
// A picture whose first bytes are all zero came over broken.
const int kNulledCheckSize = 100;

// Widths above which a product's pictures are medium (1) and large (2).
struct SizeClassLimits {
    int productId;
    int medium;
    int large;
};
const SizeClassLimits kSizeClassLimits[] = {{0x2031, 2000, 4000}, {0x2061, 3500, 5000}};

int sizeClassOf(int productId, int width)
{
    for (const SizeClassLimits& limits : kSizeClassLimits) {
        if (limits.productId == productId)
            return width > limits.large ? 2 : width > limits.medium ? 1 : 0;
    }
    return 0;
}

// Stores what the picture's Exif header says about its rotation and size.
// A failed read leaves the orientation unknown, to be tried again.
void analysePicture(ObjectReader& reader, BRX_Logic_ImageEntry& entry, int productId)
{
    QByteArray head;
    if (!reader.readHead(head))
        return;
    const BRX_Logic_ExifHeader header(head);
    entry.setOrientation(header.orientationDegrees());
    entry.setSizeClass(sizeClassOf(productId, header.pixelWidth()));
}

// While it exists the camera counts as transferring and no keep-alive or
// 3D-axis exchange comes in between.
class ImageOperation
{
public:
    explicit ImageOperation(BRX_Logic_Camera& camera)
        : m_camera(camera)
    {
        camera.setTransferInProgress(true);
        camera.setImageFlag(true);
        m_lock = camera.lockCommunication();
    }
    ~ImageOperation()
    {
        m_camera.setTransferInProgress(false);
        m_camera.setImageFlag(false);
    }
    ImageOperation(const ImageOperation&) = delete;
    ImageOperation& operator=(const ImageOperation&) = delete;

private:
    BRX_Logic_Camera& m_camera;
    std::unique_lock<std::mutex> m_lock;
};

enum class Fetch { BigThumbnail, LargePreview, WholeObject };

Fetch fetchChoice(bool fullRes, bool forceDNG, bool isDng)
{
    if (isDng && forceDNG)
        return Fetch::WholeObject;
    if (!fullRes)
        return Fetch::BigThumbnail;
    return isDng ? Fetch::LargePreview : Fetch::WholeObject;
}

std::unique_ptr<QByteArray> fetch(ObjectReader& reader, Fetch choice, const ObjectReader::Info& info)
{
    switch (choice) {
    case Fetch::BigThumbnail:
        return reader.readThumbnail(ObjectReader::kBigThumb, info.thumbSize);
    case Fetch::LargePreview: {
        ObjectReader::Info preview;
        if (!reader.readInfo(ObjectReader::kLargePreview, preview))
            return nullptr;
        return reader.readThumbnail(ObjectReader::kLargePreview, preview.thumbSize);
    }
    case Fetch::WholeObject:
        return reader.readObject(info.compressedSize);
    }
    return nullptr;
}

bool isNulled(const QByteArray& data)
{
    const int checked = qMin(kNulledCheckSize, data.size());
    for (int i = 0; i < checked; ++i) {
        if (data.at(i) != 0)
            return false;
    }
    return checked > 0;
}

// What loadImageForSharing delivers; isWholeDng is set only for a whole DNG.
std::unique_ptr<QByteArray> fetchForSharing(ObjectReader& reader, bool fullRes, bool forceDNG, bool& isWholeDng)
{
    ObjectReader::Info info;
    if (!reader.readInfo(ObjectReader::kBigThumb, info))
        return nullptr;
    if (info.compressedSize < kMinSharedObjectSize || info.compressedSize > kMaxSharedObjectSize) {
        debugPrint(kDebugTransfer, "%s - object size %u not transferred", BRX_METHOD, info.compressedSize);
        return nullptr;
    }
    const bool isDng = info.format == ObjectReader::kFormatDng;
    const Fetch choice = fetchChoice(fullRes, forceDNG, isDng);
    std::unique_ptr<QByteArray> image = fetch(reader, choice, info);
    if (image && isNulled(*image))
        qDebug().noquote() << "--- corrupt (nulled) image transfered for image" << info.fileName;
    isWholeDng = image && choice == Fetch::WholeObject && isDng;
    return image;
}

} // namespace

int BRX_Logic_Controller::imageDBCount() const
{
    return m_camera ? m_camera->imageDBCount() : 0;
}

const BRX_Logic_ImageEntry* BRX_Logic_Controller::imageDBEntry(int index) const
{
    return m_camera ? m_camera->imageDBEntry(index) : nullptr;
}

void BRX_Logic_Controller::loadThumb(uint handle, bool isBig)
{
    if (!m_camera || !m_activeAccess)
        return;
    const int index = m_camera->imageDBIndexOfHandle(handle);
    if (index < 0) {
        debugPrint(kDebugAlways, "%s - objectHandle 0x%08X not in the image database", BRX_METHOD, handle);
        return;
    }
    ObjectReader reader(*m_activeAccess, handle);
    const ObjectReader::ThumbKind kind = isBig ? ObjectReader::kBigThumb : ObjectReader::kSmallThumb;
    ObjectReader::Info info;
    std::unique_ptr<QByteArray> thumbnail;
    {
        ImageOperation operation(*m_camera);
        BRX_Logic_ImageEntry& entry = *m_camera->imageDBEntry(index);
        if (entry.orientation() == BRX_Logic_ImageEntry::kUnknownOrientation)
            analysePicture(reader, entry, m_productId);
        if (reader.readInfo(kind, info))
            thumbnail = reader.readThumbnail(kind, info.thumbSize);
    }
    // The array goes to the receiver; without one it is freed here.
    if (thumbnail && isSignalConnected(QMetaMethod::fromSignal(&BRX_Logic_Controller::signalThumbReceived)))
        Q_EMIT signalThumbReceived(thumbnail.release(), info.fileName, handle, isBig);
}

void BRX_Logic_Controller::loadImageForSharing(int index, bool fullRes, bool forceDNG)
{
    if (!m_camera || !m_activeAccess)
        return;
    const uint handle = m_camera->imageDBHandle(index);
    std::unique_ptr<QByteArray> image;
    bool isWholeDng = false;
    if (handle == 0) {
        debugPrint(kDebugAlways, "%s - no picture at index %d", BRX_METHOD, index);
    } else {
        ImageOperation operation(*m_camera);
        ObjectReader reader(*m_activeAccess, handle);
        image = fetchForSharing(reader, fullRes, forceDNG, isWholeDng);
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&BRX_Logic_Controller::signalImageForSharingReceived)))
        Q_EMIT signalImageForSharingReceived(image.release(), isWholeDng);
}

void BRX_Logic_Controller::deleteObjectFromImageDB(uint handle)
{
    if (m_camera && !m_camera->removeFromImageDB(handle))
        debugPrint(kDebugAlways, "%s - objectHandle 0x%08X not in the image database", BRX_METHOD, handle);
}

bool BRX_Logic_Controller::deleteObject(uint handle)
{
    return m_camera && m_activeAccess && m_activeAccess->deleteObject(handle);
}

void BRX_Logic_Controller::catchLiveViewGUIOpened()
{
    if (!m_camera)
        return;
    m_camera->setWaitLiveViewConsumed(true);
    const bool available = m_camera->hasExposureSimulation();
    Q_EMIT signalHasExposureSimulation(available);
    if (available)
        Q_EMIT signalExposureSimulation(m_camera->exposureSimulation());
}

void BRX_Logic_Controller::catchLiveViewConsumed()
{
    if (m_camera)
        m_camera->catchLiveViewConsumed();
}

void BRX_Logic_Controller::catchLiveViewGUIClosed()
{
    if (m_camera)
        m_camera->setWaitLiveViewConsumed(false);
}

// --- Description exports -------------------------------------------------------------

bool BRX_Logic_Controller::supportsProperty(int property) const
{
    DirectCallLock locker(m_connectionLock, *this);
    return m_camera && BRX_Logic_PropertyDescriptions::isOffered(property, *m_camera);
}

void BRX_Logic_Controller::usePropertyTexts(const std::function<void(const BRX_Logic_PropertyTexts&)>& use) const
{
    DirectCallLock locker(m_connectionLock, *this);
    const int step = m_camera && m_camera->hasExposCompensStep() ? m_camera->exposCompensStep() : 500;
    use(BRX_Logic_PropertyTexts(m_productId, step, m_converters));
}

QStringList BRX_Logic_Controller::cameraIdentity() const
{
    DirectCallLock locker(m_connectionLock, *this);
    if (!m_camera)
        return {};
    const BRX_Logic_DeviceInfo& info = *m_camera->deviceInfo();
    return {info.getManufacturer(), info.getModel(), info.getDeviceVersion(), info.getSerialNumber()};
}

bool BRX_Logic_Controller::liveViewArea(LiveViewArea* area) const
{
    std::lock_guard<std::mutex> locker(m_liveViewAreaLock);
    if (m_hasLiveViewArea)
        *area = m_liveViewArea;
    return m_hasLiveViewArea;
}

// The focus position comes relative to the shown area.
void BRX_Logic_Controller::catchLiveZoomInfo(int, int zoomLevel, double focusX, double focusY)
{
    m_zoomPending.zoomLevel = zoomLevel;
    m_zoomPending.focusX = focusX;
    m_zoomPending.focusY = focusY;
}

void BRX_Logic_Controller::catchLiveZoomRect(double x, double y, double width, double height)
{
    LiveViewArea area = {m_zoomPending.zoomLevel, x, y, width, height, x + m_zoomPending.focusX * width,
                         y + m_zoomPending.focusY * height};
    std::lock_guard<std::mutex> locker(m_liveViewAreaLock);
    m_liveViewArea = area;
    m_hasLiveViewArea = true;
}

void BRX_Logic_Controller::forgetLiveViewArea()
{
    std::lock_guard<std::mutex> locker(m_liveViewAreaLock);
    m_hasLiveViewArea = false;
}
