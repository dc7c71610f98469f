#include "BRX_SDK_MainObject.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Controller.h"
#include "BRX_Logic_ControllerWorker.h"
#include "BRX_SDK.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cstdlib>
#include <new>

namespace {

// How long BRX_SDK_exit waits for the controller thread to wind down.
const unsigned long kShutdownWaitMs = 5000;

BRX_SDK_MainObject* g_mainObject = nullptr;

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
}

void BRX_SDK_MainObject::setChangesCallback(ChangesCallback callback, void* context)
{
    m_changesCallback = callback;
    m_changesContext = context;
}

void BRX_SDK_MainObject::catchCameraConnected()
{
    if (!m_controller)
        return;
    m_productId = m_controller->getProductId();
    if (m_initCallback)
        m_initCallback(m_initContext, true, m_productId);
    Q_EMIT signalCameraGUIOpened();
}

void BRX_SDK_MainObject::catchCameraDisconnected()
{
    if (!m_controller)
        return;
    m_controller->setFrameCallback(nullptr, nullptr);
    setChangesCallback(nullptr, nullptr);
    if (m_initCallback)
        m_initCallback(m_initContext, false, m_productId);
    m_productId = 0;
}

void BRX_SDK_MainObject::catchProperty(int property, void* data, quint32 size)
{
    if (m_changesCallback)
        m_changesCallback(m_changesContext, property, data, size);
    std::free(data);
}

void BRX_SDK_init(void (*initCallback)(void*, bool, int), void* context)
{
    if (g_mainObject) {
        debugPrint(kDebugAlways, "%s - already initialised, call ignored", BRX_METHOD);
        return;
    }
    setDebugFlags(0x3F01FF7F, false);
    debugPrint(kDebugAlways, "====== init BRX SDK ======");
    g_mainObject = new (std::nothrow) BRX_SDK_MainObject(initCallback, context);
}

void BRX_SDK_exit()
{
    delete g_mainObject;
    g_mainObject = nullptr;
    debugPrint(kDebugAlways, "====== exit BRX SDK ======");
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
        g_mainObject->controller()->setFrameCallback(cb, context);
}

bool BRX_SDK_getProperty(int property, void* data, unsigned int size)
{
    return g_mainObject && g_mainObject->controller()->getProperty(property, data, size);
}

bool BRX_SDK_setProperty(int property, const void* data, unsigned int size)
{
    return g_mainObject && g_mainObject->controller()->setProperty(property, data, size);
}

bool BRX_SDK_setProperty(int property)
{
    return BRX_SDK_setProperty(property, nullptr, 0);
}

bool BRX_SDK_setPropertyQueued(int property, const void* data, unsigned int size)
{
    if (!g_mainObject)
        return false;
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

bool BRX_SDK_useVirtualCamera(int productId)
{
    if (g_mainObject) {
        debugPrint(kDebugAlways, "%s - already initialised, call ignored", BRX_METHOD);
        return false;
    }
    return BRX_Commu_VirtualCamera::select(productId);
}

bool BRX_SDK_setVirtualCameraConnected(bool connected)
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    if (!camera)
        return false;
    camera->setPlugged(connected);
    return true;
}
