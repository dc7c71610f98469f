#include "BRX_SDK_MainObject.h"
#include "BRX_Commu_CameraAccessFactory.h"
#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Commu_CameraSelector.h"
#include "BRX_Commu_LibusbScanner.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"
#include "BRX_Debug_Logfile.h"
#include "BRX_Logic_Card.h"
#include "BRX_Logic_Controller.h"
#include "BRX_Logic_ControllerWorker.h"
#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_Logic_PropertyDescriptions.h"
#include "BRX_Logic_PropertyTexts.h"
#include "BRX_SDK.h"
#include "BRX_SDK_HostBuffers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace {

using Host = BRX_SDK_HostBuffers;

// How long BRX_SDK_exit waits for the controller thread to wind down.
const unsigned long kShutdownWaitMs = 5000;

BRX_SDK_MainObject* g_mainObject = nullptr;

// The application object the library made for a host without one: Qt
// delivers no event in any thread, the controller's included, without one.
// It lives until BRX_SDK_exit.
QCoreApplication* g_ownApplication = nullptr;

// Qt keeps references to both for the application's whole life.
int g_applicationArgc = 1;
char g_applicationName[] = "brxsdk";
char* g_applicationArgv[] = {g_applicationName, nullptr};

// Qt sets the process's locale from the environment when it makes the
// application; the host's own (a C host's "C", with its decimal point)
// is put back.
void makeOwnApplication()
{
    const std::string hostLocale = std::setlocale(LC_ALL, nullptr);
    g_ownApplication = new QCoreApplication(g_applicationArgc, g_applicationArgv);
    std::setlocale(LC_ALL, hostLocale.c_str());
}

// An application the host made meanwhile took over Qt's instance: deleting
// ours would leave the host's without it, so ours is left to the process.
void deleteOwnApplication(const char* label)
{
    if (g_ownApplication && QCoreApplication::instance() != g_ownApplication)
        debugPrint(kDebugAlways, "%s - the host made a QCoreApplication of its own; the library's is left",
                   label);
    else
        delete g_ownApplication;
    g_ownApplication = nullptr;
}

} // namespace

BRX_SDK_MainObject::BRX_SDK_MainObject(InitCallback initCallback, void* initContext)
    : m_initCallback(initCallback)
    , m_initContext(initContext)
{
    startControllerThread();
    connectController();
}

BRX_SDK_MainObject::~BRX_SDK_MainObject()
{
    Q_EMIT signalFinishController();
    // A host commonly returns from main right after BRX_SDK_exit: let the
    // thread end here rather than be torn down while it runs. The worker's
    // completion is what orders its work before ours (QThread::wait does
    // too, but invisibly to ThreadSanitizer); the thread itself only has
    // Qt's own clean-up left then.
    const QDeadlineTimer deadline(kShutdownWaitMs);
    if (m_workerDone->waitDone(kShutdownWaitMs) && m_thread->wait(deadline)) {
        // Deleted here, not with deleteLater: a host without a
        // QCoreApplication gets no events delivered, so that would leak it.
        delete m_worker;
        delete m_thread;
        dropPendingNotifications();
    }
}

void BRX_SDK_MainObject::dropPendingNotifications()
{
    // Notifications still queued for us own malloc'd payloads. Deliver them
    // with no callbacks set, so the host hears nothing more and they are freed.
    m_controller = nullptr;
    m_initCallback = nullptr;
    setChangesCallback(nullptr, nullptr);
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void BRX_SDK_MainObject::startControllerThread()
{
    m_thread = new QThread;
    BRX_Logic_ControllerWorker::prepareThread(m_thread);
    m_workerDone = std::make_shared<BRX_Logic_ControllerWorker::Completion>();
    auto* worker = new BRX_Logic_ControllerWorker(m_workerDone);
    m_worker = worker;
    worker->moveToThread(m_thread);
    connect(m_thread, &QThread::started, worker, &BRX_Logic_ControllerWorker::process);
    // Direct (the flag is atomic) rather than queued, which a host without a
    // QCoreApplication would never deliver.
    connect(this, &BRX_SDK_MainObject::signalFinishController, worker,
            &BRX_Logic_ControllerWorker::requestFinish, Qt::DirectConnection);
    // Direct: the thread object lives in the host's thread, which may be
    // blocked in BRX_SDK_exit waiting for this very quit.
    connect(worker, &BRX_Logic_ControllerWorker::signalFinished, m_thread, &QThread::quit,
            Qt::DirectConnection);
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread->start(QThread::InheritPriority);
    m_controller = worker->waitForController();
}

void BRX_SDK_MainObject::connectController()
{
    connect(m_controller, &BRX_Logic_Controller::signalCameraConnected, this,
            &BRX_SDK_MainObject::catchCameraConnected);
    connect(m_controller, &BRX_Logic_Controller::signalCameraDisconnected, this,
            &BRX_SDK_MainObject::catchCameraDisconnected);
    connect(this, &BRX_SDK_MainObject::signalCameraGUIOpened, m_controller,
            &BRX_Logic_Controller::catchCameraGUIOpened);
    connect(m_controller, &BRX_Logic_Controller::signalPropertySafe, this,
            &BRX_SDK_MainObject::catchProperty);
    connect(this, &BRX_SDK_MainObject::signalCapturePressed, m_controller,
            &BRX_Logic_Controller::doCaptureBtnPressed);
    connect(this, &BRX_SDK_MainObject::signalCaptureReleased, m_controller,
            &BRX_Logic_Controller::doCaptureBtnReleased);
    connect(this, &BRX_SDK_MainObject::signalCloseRequested, m_controller,
            &BRX_Logic_Controller::catchCameraGUIClosed);
    connect(this, &BRX_SDK_MainObject::signalSetProperty, m_controller,
            &BRX_Logic_Controller::slotSetProperty);
    connect(m_controller, &BRX_Logic_Controller::signalInitialStateSent, this,
            &BRX_SDK_MainObject::catchInitialStateSent);
}

void BRX_SDK_MainObject::setChangesCallback(ChangesCallback callback, void* context)
{
    m_changesCallback = callback;
    m_changesContext = context;
}

template <typename Call>
void BRX_SDK_MainObject::callHost(Call call)
{
    ++m_callbackDepth;
    call();
    --m_callbackDepth;
    ++m_callbacksCalled;
    if (m_waitLoop)
        m_waitLoop->quit();
}

void BRX_SDK_MainObject::catchCameraConnected()
{
    if (!m_controller)
        return;
    forgetCamera();
    m_productId = m_controller->getProductId();
    if (m_initCallback)
        callHost([this] { m_initCallback(m_initContext, true, m_productId); });
    Q_EMIT signalCameraGUIOpened();
}

void BRX_SDK_MainObject::catchCameraDisconnected()
{
    if (!m_controller)
        return;
    m_controller->setFrameCallback(nullptr, nullptr);
    setChangesCallback(nullptr, nullptr);
    forgetCamera();
    if (m_initCallback)
        callHost([this] { m_initCallback(m_initContext, false, m_productId); });
    m_productId = 0;
}

void BRX_SDK_MainObject::forgetCamera()
{
    m_initialStateDelivered = false;
    std::lock_guard<std::mutex> locker(m_listLock);
    m_lists.clear();
}

void BRX_SDK_MainObject::catchProperty(int property, void* data, quint32 size)
{
    keepList(property, data, size);
    if (m_changesCallback)
        callHost([this, property, data, size] { m_changesCallback(m_changesContext, property, data, size); });
    std::free(data);
}

void BRX_SDK_MainObject::keepList(int property, const void* data, quint32 size)
{
    typedef BRX_Logic_PropertyCatalogue Catalogue;
    const Catalogue::Entry* entry = Catalogue::find(property);
    if (!entry || (entry->payload != Catalogue::Payload::IntList && entry->payload != Catalogue::Payload::DoubleList))
        return;
    QVector<double> values;
    if (!BRX_Logic_PropertyTexts::decode(BRX_Logic_PropertyTexts::elementOf(entry->payload), data, size, &values))
        return;
    std::lock_guard<std::mutex> locker(m_listLock);
    m_lists.insert(property, values);
}

void BRX_SDK_MainObject::catchInitialStateSent()
{
    m_initialStateDelivered = true;
}

bool BRX_SDK_MainObject::isHostThread(const char* label) const
{
    if (QThread::currentThread() == thread())
        return true;
    debugPrint(kDebugAlways, "%s - not called from the thread that called BRX_SDK_init, call ignored", label);
    return false;
}

bool BRX_SDK_MainObject::isOutsideCallbacks(const char* label) const
{
    if (m_callbackDepth == 0 && !m_waitLoop)
        return true;
    debugPrint(kDebugAlways, "%s - called from inside a callback, call ignored", label);
    return false;
}

bool BRX_SDK_MainObject::mayRunHere(const char* label) const
{
    return isHostThread(label) && isOutsideCallbacks(label);
}

int BRX_SDK_MainObject::processHostEvents(int timeoutMs, const char* label)
{
    if (!mayRunHere(label))
        return -1;
    QEventLoop loop;
    m_waitLoop = &loop;
    m_callbacksCalled = 0;
    loop.processEvents(QEventLoop::AllEvents);
    if (m_callbacksCalled == 0 && timeoutMs > 0) {
        QTimer timeout;
        timeout.setSingleShot(true);
        connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(timeoutMs);
        loop.exec();
    }
    m_waitLoop = nullptr;
    return m_callbacksCalled;
}

QVector<double> BRX_SDK_MainObject::choices(int property) const
{
    const BRX_Logic_PropertyDescriptions::Entry* entry = BRX_Logic_PropertyDescriptions::find(property);
    if (!entry || !m_controller || m_productId == 0)
        return {};
    {
        // A list's own elements are read as its values too.
        std::lock_guard<std::mutex> locker(m_listLock);
        for (int list : {property, entry->listProperty}) {
            if (m_lists.contains(list))
                return m_lists.value(list);
        }
    }
    QVector<double> values;
    m_controller->usePropertyTexts(
        [&values, property](const BRX_Logic_PropertyTexts& texts) { values = texts.tableChoices(property); });
    return values;
}

void BRX_SDK_init(void (*initCallback)(void*, bool, int), void* context)
{
    if (g_mainObject) {
        debugPrint(kDebugAlways, "%s - already initialised, call ignored", BRX_METHOD);
        return;
    }
    setDebugFlags(0x3F01FF7F, false);
    debugPrint(kDebugAlways, "====== init BRX SDK ======");
    if (!QCoreApplication::instance()) {
        debugPrint(kDebugAlways,
                   "%s - no QCoreApplication: the library makes its own, and the init and changes callbacks "
                   "come only while this thread calls BRX_SDK_processEvents",
                   BRX_METHOD);
        makeOwnApplication();
    }
    g_mainObject = new (std::nothrow) BRX_SDK_MainObject(initCallback, context);
}

void BRX_SDK_exit()
{
    if (g_mainObject && !g_mainObject->mayRunHere(BRX_METHOD))
        return;
    delete g_mainObject;
    g_mainObject = nullptr;
    deleteOwnApplication(BRX_METHOD);
    debugPrint(kDebugAlways, "====== exit BRX SDK ======");
}

bool BRX_SDK_setWantCardRoom(bool want)
{
    if (!g_mainObject)
        return false;
    g_mainObject->directCalls()->setWantCardRoom(want);
    return true;
}

int BRX_SDK_processEvents(int timeoutMs)
{
    return g_mainObject ? g_mainObject->processHostEvents(timeoutMs, BRX_METHOD) : -1;
}

bool BRX_SDK_setWantReleaseEnd(bool want)
{
    if (!g_mainObject)
        return false;
    g_mainObject->directCalls()->setWantReleaseEnd(want);
    return true;
}

void BRX_SDK_capture()
{
    if (!g_mainObject)
        return;
    Q_EMIT g_mainObject->signalCapturePressed();
    Q_EMIT g_mainObject->signalCaptureReleased();
}

void BRX_SDK_capturePressed()
{
    if (g_mainObject)
        Q_EMIT g_mainObject->signalCapturePressed();
}

void BRX_SDK_captureReleased()
{
    if (g_mainObject)
        Q_EMIT g_mainObject->signalCaptureReleased();
}

void BRX_SDK_requestClose()
{
    if (g_mainObject)
        Q_EMIT g_mainObject->signalCloseRequested();
}

void BRX_SDK_setChangesCallback(void (*cb)(void*, int, const void*, unsigned int), void* context)
{
    if (g_mainObject)
        g_mainObject->setChangesCallback(cb, context);
}

void BRX_SDK_setFrameCallback(void (*cb)(void*, int, const void*, unsigned int), void* context)
{
    if (g_mainObject)
        g_mainObject->directCalls()->setFrameCallback(cb, context);
}

bool BRX_SDK_getProperty(int property, void* data, unsigned int size)
{
    return g_mainObject && g_mainObject->directCalls()->getProperty(property, data, size);
}

bool BRX_SDK_setProperty(int property, const void* data, unsigned int size)
{
    return g_mainObject && g_mainObject->directCalls()->setProperty(property, data, size);
}

bool BRX_SDK_setProperty(int property)
{
    return BRX_SDK_setProperty(property, nullptr, 0);
}

bool BRX_SDK_setPropertyQueued(int property, const void* data, unsigned int size)
{
    if (!g_mainObject)
        return false;
    // A byte array holds at most INT_MAX bytes; a larger size would turn
    // negative and the data be read as a zero-terminated string.
    if (size > unsigned(std::numeric_limits<int>::max())) {
        debugPrint(kDebugAlways, "%s - size %u of property %d too large", BRX_METHOD, size, property);
        return false;
    }
    const QByteArray bytes = data ? QByteArray(static_cast<const char*>(data), int(size)) : QByteArray();
    Q_EMIT g_mainObject->signalSetProperty(property, bytes);
    return true;
}

bool BRX_SDK_setPropertyQueued(int property)
{
    return BRX_SDK_setPropertyQueued(property, nullptr, 0);
}

void BRX_SDK_setDebugFlags(unsigned int flags, bool enable)
{
    setDebugFlags(flags, enable);
}

void BRX_SDK_setLogCallback(void (*callback)(void*, const char*), void* context)
{
    BRX_Debug_Logfile::setHook(callback, context);
}

bool BRX_SDK_useVirtualCamera(int productId)
{
    if (g_mainObject) {
        debugPrint(kDebugAlways, "%s - already initialised, call ignored", BRX_METHOD);
        return false;
    }
    return BRX_Commu_VirtualCamera::select(productId);
}

bool BRX_SDK_useVirtualCameraWithSerial(int productId, const char* serialNumber)
{
    const QString serial = QString::fromUtf8(serialNumber);
    if (g_mainObject || (!serial.isEmpty() && !BRX_Commu_VirtualCameraProfile::isSerialNumber(serial))) {
        debugPrint(kDebugAlways, "%s - %s, call ignored", BRX_METHOD,
                   g_mainObject ? "already initialised" : "a serial number is 1 to 32 letters, digits, '.', '-' or '_'");
        return false;
    }
    return BRX_Commu_VirtualCamera::select(productId, serial);
}

// One file per product and serial, so that each virtual camera finds its own.
bool BRX_SDK_keepVirtualCameraState(const char* folder, bool startAfresh)
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    if (g_mainObject || !camera) {
        debugPrint(kDebugAlways, "%s - %s, call ignored", BRX_METHOD,
                   g_mainObject ? "already initialised" : "no virtual camera in use");
        return false;
    }
    const int productId = camera->productId();
    const QString file = folder && *folder
                             ? QDir(QString::fromUtf8(folder))
                                   .filePath(QStringLiteral("virtual-camera-0x%1-%2.state")
                                                 .arg(productId, 4, 16, QChar('0'))
                                                 .arg(camera->serialNumber()))
                             : QString();
    camera->keepSettingsIn(file, startAfresh);
    return true;
}

bool BRX_SDK_setVirtualCameraConnected(bool connected)
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    if (!camera)
        return false;
    camera->setPlugged(connected);
    return true;
}

bool BRX_SDK_pressVirtualCameraShutter()
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    if (!camera)
        return false;
    camera->takePicture();
    return true;
}

bool BRX_SDK_changeVirtualCameraProperty(unsigned int propertyCode, long long value)
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    return camera && propertyCode <= 0xFFFF && camera->changeProperty(quint16(propertyCode), value);
}

// --- Property descriptions and texts -------------------------------------------------

namespace {

typedef BRX_Logic_PropertyCatalogue Catalogue;
typedef BRX_Logic_PropertyDescriptions Descriptions;

static_assert(int(Catalogue::Payload::DoubleList) == BRX_SDK_PayloadDoubleList
                  && int(Catalogue::Payload::IntPair) == BRX_SDK_PayloadIntPair,
              "the catalogue's payload kinds are the header's");
static_assert(int(Descriptions::Unit::Fraction) == BRX_SDK_UnitFraction
                  && int(Descriptions::Unit::WhiteBalance) == BRX_SDK_UnitWhiteBalance,
              "the descriptions' units are the header's");

// In the order of the catalogue's access kinds: lists and emit-only values
// both reach the host only as notifications.
const BRX_SDK_AccessKind kAccessKinds[] = {
    BRX_SDK_AccessReadWrite,        BRX_SDK_AccessReadOnly, BRX_SDK_AccessNotificationOnly, BRX_SDK_AccessNone,
    BRX_SDK_AccessNotificationOnly, BRX_SDK_AccessWriteOnly, BRX_SDK_AccessCommand,
};

// The texts of the connected camera, or of none (numbers for its choices).
void withTexts(const std::function<void(const BRX_Logic_PropertyTexts&)>& use)
{
    if (g_mainObject)
        g_mainObject->directCalls()->usePropertyTexts(use);
    else
        use(BRX_Logic_PropertyTexts(0, 500, nullptr));
}


} // namespace

bool BRX_SDK_describeProperty(int property, BRX_SDK_PropertyDescription* out)
{
    const Catalogue::Entry* entry = Catalogue::find(property);
    if (!entry || !out)
        return false;
    const Descriptions::Entry& description = *Descriptions::find(property);
    out->name = entry->name;
    out->payload = int(entry->payload);
    out->size = Catalogue::payloadSize(entry->payload);
    out->access = kAccessKinds[int(entry->access)];
    out->unit = int(description.unit);
    out->unitName = Descriptions::unitName(description.unit);
    out->listProperty = description.listProperty;
    out->notified = entry->notified;
    out->supported = g_mainObject && g_mainObject->directCalls()->supportsProperty(property);
    return true;
}

bool BRX_SDK_formatValue(int property, const void* data, unsigned int size, char* text, unsigned int textSize)
{
    if (!text)
        return false;
    QString result;
    bool formatted = false;
    withTexts([&](const BRX_Logic_PropertyTexts& texts) { formatted = texts.format(property, data, size, &result); });
    return Host::copyText(result.toUtf8(), text, textSize) && formatted;
}

bool BRX_SDK_parseValue(int property, const char* text, void* data, unsigned int size, unsigned int* written)
{
    if (!text || !written)
        return false;
    const QVector<double> choices = g_mainObject ? g_mainObject->choices(property) : QVector<double>();
    QByteArray payload;
    bool parsed = false;
    withTexts([&](const BRX_Logic_PropertyTexts& texts) {
        parsed = texts.parse(property, QString::fromUtf8(text), choices, &payload);
    });
    if (!parsed || unsigned(payload.size()) > size || (!payload.isEmpty() && !data))
        return false;
    std::memcpy(data, payload.constData(), size_t(payload.size()));
    *written = unsigned(payload.size());
    return true;
}

bool BRX_SDK_getChoices(int property, void* data, unsigned int size, unsigned int* written)
{
    if (!written)
        return false;
    *written = 0;
    const Catalogue::Entry* entry = Catalogue::find(property);
    QByteArray bytes;
    if (!entry || !g_mainObject
        || !BRX_Logic_PropertyTexts::encode(BRX_Logic_PropertyTexts::elementOf(entry->payload),
                                            g_mainObject->choices(property), &bytes)
        || bytes.isEmpty())
        return false;
    *written = unsigned(bytes.size());
    if (unsigned(bytes.size()) > size || !data)
        return false;
    std::memcpy(data, bytes.constData(), size_t(bytes.size()));
    return true;
}

bool BRX_SDK_isInitialStateDelivered()
{
    return g_mainObject && g_mainObject->isInitialStateDelivered();
}

bool BRX_SDK_getCameraIdentity(BRX_SDK_CameraIdentity* out)
{
    if (!out || !g_mainObject)
        return false;
    const QStringList texts = g_mainObject->directCalls()->cameraIdentity();
    if (texts.size() != 4)
        return false;
    out->productId = g_mainObject->directCalls()->getProductId();
    Host::copyCut(texts.at(0), out->manufacturer);
    Host::copyCut(texts.at(1), out->model);
    Host::copyCut(texts.at(2), out->deviceVersion);
    Host::copyCut(texts.at(3), out->serialNumber);
    return true;
}

bool BRX_SDK_getLiveViewArea(BRX_SDK_LiveViewArea* out)
{
    BRX_Logic_Controller::LiveViewArea area;
    if (!out || !g_mainObject || !g_mainObject->directCalls()->liveViewArea(&area))
        return false;
    *out = {area.zoomLevel, area.x, area.y, area.width, area.height, area.focusX, area.focusY};
    return true;
}

bool BRX_SDK_selectCamera(const char* selector)
{
    if (g_mainObject) {
        debugPrint(kDebugAlways, "%s - already initialised, call ignored", BRX_METHOD);
        return false;
    }
    if (!BRX_Commu_CameraSelector::select(QString::fromUtf8(selector))) {
        debugPrint(kDebugAlways, "%s - \"%s\" names no camera; a camera is named by %s", BRX_METHOD, selector,
                   qPrintable(BRX_Commu_CameraSelector::acceptedForms()));
        return false;
    }
    return true;
}

bool BRX_SDK_listCameras(BRX_SDK_CameraListing* cameras, unsigned int capacity, unsigned int* count)
{
    if (!count || (!cameras && capacity > 0))
        return false;
    const QList<BRX_Commu_DeviceEntry> found = BRX_Commu_CameraAccessFactory::listUsbCameras();
    *count = unsigned(found.size());
    for (unsigned int i = 0; i < capacity && i < *count; ++i) {
        const BRX_Commu_DeviceEntry& entry = found.at(int(i));
        cameras[i].productId = entry.productId;
        Host::copyCut(entry.model, cameras[i].model);
        Host::copyCut(entry.serialNumber, cameras[i].serialNumber);
        Host::copyCut(entry.deviceId, cameras[i].port);
        cameras[i].inUse = entry.inUse;
    }
    return true;
}

bool BRX_SDK_isCameraSelected(const BRX_SDK_CameraListing* camera)
{
    if (!camera)
        return false;
    BRX_Commu_DeviceEntry entry(0, camera->productId, QString::fromUtf8(camera->port));
    entry.serialNumber = QString::fromUtf8(camera->serialNumber);
    return BRX_Commu_CameraSelector::selected().matches(entry);
}

bool BRX_SDK_getCameraPort(char* port, unsigned int size)
{
    if (!port || size == 0 || !g_mainObject)
        return false;
    QString text;
    if (!g_mainObject->directCalls()->cameraPort(&text))
        return false;
    Host::copyCut(text, port, size);
    return true;
}

bool BRX_SDK_getCameraHeldElsewhere(char* port, unsigned int size)
{
    const QString held = BRX_Commu_LibusbScanner::heldElsewhere();
    if (held.isEmpty())
        return false;
    Host::copyCut(held, port, size);
    return true;
}

bool BRX_SDK_useNetworkCamera(const char* hostAndPort)
{
    if (g_mainObject) {
        debugPrint(kDebugAlways, "%s - already initialised, call ignored", BRX_METHOD);
        return false;
    }
    if (!BRX_Commu_CameraAccess_WLAN::select(QString::fromUtf8(hostAndPort))) {
        debugPrint(kDebugAlways, "%s - \"%s\" is no network address", BRX_METHOD, hostAndPort);
        return false;
    }
    return true;
}

// --- The camera's card ------------------------------------------------------------

namespace {

const char* const kNoCamera = "no camera";

void fillCardFile(const BRX_Logic_Card::File& file, BRX_SDK_CardFile* out)
{
    const BRX_Logic_CardListing::Entry& entry = file.entry;
    out->id = entry.handle;
    Host::copyCut(entry.fileName, out->name);
    Host::copyCut(entry.folder, out->folder);
    out->size = entry.size;
    Host::copyCut(entry.captured.isValid() ? entry.captured.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString(),
            out->captured);
    out->format = entry.format;
    out->delivered = file.delivered;
}

// The card of the connected camera for use; false without one.
bool withCard(const char* label, const std::function<void(BRX_Logic_Card&)>& use)
{
    return g_mainObject && g_mainObject->directCalls()->useCard(label, use);
}

const char* deletionReason(BRX_Logic_Card::Deletion result)
{
    switch (result) {
    case BRX_Logic_Card::Deletion::Deleted:
        return "";
    case BRX_Logic_Card::Deletion::NotOffered:
        return "the camera does not offer deletion";
    case BRX_Logic_Card::Deletion::UnknownFile:
        return "no such file on the card";
    case BRX_Logic_Card::Deletion::Refused:
        break;
    }
    return "the camera refused";
}

} // namespace

bool BRX_SDK_listCard(BRX_SDK_CardFile* files, unsigned int capacity, unsigned int* count)
{
    if (!count)
        return false;
    *count = 0;
    QVector<BRX_Logic_Card::File> listed;
    bool answered = false;
    if (!withCard(BRX_METHOD, [&](BRX_Logic_Card& card) { answered = card.files(&listed); }) || !answered)
        return false;
    *count = unsigned(listed.size());
    const unsigned int copied = files ? qMin(capacity, *count) : 0;
    for (unsigned int i = 0; i < copied; ++i)
        fillCardFile(listed.at(int(i)), &files[i]);
    return copied == *count;
}

bool BRX_SDK_downloadCardFile(unsigned int id, void* buffer, unsigned long long size, unsigned long long* written)
{
    std::unique_ptr<QByteArray> data;
    withCard(BRX_METHOD, [&](BRX_Logic_Card& card) { data = card.download(id); });
    return Host::copyOut(data, buffer, size, written);
}

bool BRX_SDK_deliverCardFile(unsigned int id)
{
    return g_mainObject && g_mainObject->directCalls()->deliverCardFile(id);
}

bool BRX_SDK_readCardThumbnail(unsigned int id, void* buffer, unsigned int size, unsigned int* written)
{
    std::unique_ptr<QByteArray> data;
    withCard(BRX_METHOD, [&](BRX_Logic_Card& card) { data = card.thumbnail(id); });
    return Host::copyOut(data, buffer, size, written);
}

bool BRX_SDK_deleteCardFile(unsigned int id, char* reason, unsigned int reasonSize)
{
    BRX_Logic_Card::Deletion result = BRX_Logic_Card::Deletion::Refused;
    const bool connected = withCard(BRX_METHOD, [&](BRX_Logic_Card& card) { result = card.remove(id); });
    Host::copyCut(QString::fromUtf8(connected ? deletionReason(result) : kNoCamera), reason, reasonSize);
    const bool deleted = connected && result == BRX_Logic_Card::Deletion::Deleted;
    if (deleted)
        g_mainObject->directCalls()->checkCardRoom();
    return deleted;
}

bool BRX_SDK_getCardRoom(BRX_SDK_CardRoom* out)
{
    if (!out)
        return false;
    return g_mainObject && g_mainObject->directCalls()->cardRoom(out);
}

bool BRX_SDK_fillVirtualCameraCard(int count)
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    if (!camera || count <= 0)
        return false;
    camera->fillCard(count);
    return true;
}

