#include "BRX_Logic_ControllerWorker.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Controller.h"
#include "BRX_Logic_ControllerDispatcher.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

#include <chrono>

namespace {
unsigned long currentThreadNumber()
{
    return reinterpret_cast<unsigned long>(QThread::currentThreadId());
}
} // namespace

void BRX_Logic_ControllerWorker::Completion::markDone()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_done = true;
    m_doneChanged.notify_all();
}

bool BRX_Logic_ControllerWorker::Completion::waitDone(unsigned long waitMs)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_doneChanged.wait_for(locker, std::chrono::milliseconds(waitMs), [this] { return m_done; });
}

void BRX_Logic_ControllerWorker::prepareThread(QThread* thread)
{
    thread->setEventDispatcher(new BRX_Logic_ControllerDispatcher);
}

BRX_Logic_ControllerWorker::BRX_Logic_ControllerWorker(std::shared_ptr<Completion> completion, QObject* parent,
                                                       int pauseBoundMs)
    : QObject(parent)
    , m_completion(std::move(completion))
    , m_pauseBoundMs(pauseBoundMs)
{
}

BRX_Logic_Controller* BRX_Logic_ControllerWorker::controller() const
{
    std::lock_guard<std::mutex> locker(m_controllerMutex);
    return m_controller;
}

BRX_Logic_Controller* BRX_Logic_ControllerWorker::waitForController() const
{
    std::unique_lock<std::mutex> locker(m_controllerMutex);
    m_controllerPublished.wait(locker, [this] { return m_controller != nullptr; });
    return m_controller;
}

void BRX_Logic_ControllerWorker::publishController(BRX_Logic_Controller* controller)
{
    std::lock_guard<std::mutex> locker(m_controllerMutex);
    m_controller = controller;
    m_controllerPublished.notify_all();
}

void BRX_Logic_ControllerWorker::process()
{
    debugPrint(kDebugAlways, "%s - started in thread 0x%012lX", BRX_METHOD, currentThreadNumber());
    publishController(new BRX_Logic_Controller(parent()));
    runLoop();
    // The controller and everything it owns belong to this thread: delete
    // them here, before the thread ends.
    BRX_Logic_Controller* controller = this->controller();
    publishController(nullptr);
    delete controller;
    debugPrint(kDebugAlways, "%s - finished in thread 0x%012lX", BRX_METHOD, currentThreadNumber());
    Q_EMIT signalFinished();
    // Last, so that the waiting thread sees everything done above.
    if (m_completion)
        m_completion->markDone();
}

void BRX_Logic_ControllerWorker::runLoop()
{
    auto* dispatcher = qobject_cast<BRX_Logic_ControllerDispatcher*>(QAbstractEventDispatcher::instance());
    if (!dispatcher)
        debugPrint(kDebugAlways, "%s - thread without its own dispatcher: pauses sleep", BRX_METHOD);
    setDispatcher(dispatcher);
    while (!m_finishRequested) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        if (!m_finishRequested)
            pause(dispatcher);
    }
    setDispatcher(nullptr);
}

// Whatever ended the wait is handled by the next pass.
void BRX_Logic_ControllerWorker::pause(BRX_Logic_ControllerDispatcher* dispatcher)
{
    ++m_pauseCount;
    if (!dispatcher) {
        QThread::msleep(static_cast<unsigned long>(m_pauseBoundMs));
        ++m_boundCount;
        return;
    }
    switch (dispatcher->waitForWork(m_pauseBoundMs)) {
    case BRX_Logic_ControllerDispatcher::WaitEnd::kWork:
        break;
    case BRX_Logic_ControllerDispatcher::WaitEnd::kTimer:
        ++m_timerCount;
        break;
    case BRX_Logic_ControllerDispatcher::WaitEnd::kBound:
        ++m_boundCount;
        break;
    }
}

void BRX_Logic_ControllerWorker::setDispatcher(BRX_Logic_ControllerDispatcher* dispatcher)
{
    std::lock_guard<std::mutex> locker(m_dispatcherMutex);
    m_dispatcher = dispatcher;
}

// A wake-up that comes before the loop waits is kept by the dispatcher, so
// the next wait returns at once and the loop sees the flag.
void BRX_Logic_ControllerWorker::requestFinish()
{
    m_finishRequested = true;
    std::lock_guard<std::mutex> locker(m_dispatcherMutex);
    if (m_dispatcher)
        m_dispatcher->wakeUp();
}
