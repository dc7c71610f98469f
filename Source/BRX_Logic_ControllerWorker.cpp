#include "BRX_Logic_ControllerWorker.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Controller.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>

namespace {
unsigned long currentThreadNumber()
{
    return reinterpret_cast<unsigned long>(QThread::currentThreadId());
}
} // namespace

BRX_Logic_ControllerWorker::BRX_Logic_ControllerWorker(QObject* parent)
    : QObject(parent)
{
}

BRX_Logic_Controller* BRX_Logic_ControllerWorker::controller() const
{
    QMutexLocker locker(&m_controllerMutex);
    return m_controller;
}

BRX_Logic_Controller* BRX_Logic_ControllerWorker::waitForController() const
{
    QMutexLocker locker(&m_controllerMutex);
    while (!m_controller)
        m_controllerPublished.wait(&m_controllerMutex);
    return m_controller;
}

void BRX_Logic_ControllerWorker::publishController(BRX_Logic_Controller* controller)
{
    QMutexLocker locker(&m_controllerMutex);
    m_controller = controller;
    m_controllerPublished.wakeAll();
}

void BRX_Logic_ControllerWorker::process()
{
    debugPrint(kDebugAlways, "%s - started in thread 0x%012lX", BRX_METHOD, currentThreadNumber());
    publishController(new BRX_Logic_Controller(parent()));
    while (!m_finishRequested) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        QThread::msleep(10);
    }
    // The controller and everything it owns belong to this thread: delete
    // them here, before the thread ends.
    BRX_Logic_Controller* controller = m_controller;
    publishController(nullptr);
    delete controller;
    debugPrint(kDebugAlways, "%s - finished in thread 0x%012lX", BRX_METHOD, currentThreadNumber());
    Q_EMIT signalFinished();
}

void BRX_Logic_ControllerWorker::requestFinish()
{
    m_finishRequested = true;
}
