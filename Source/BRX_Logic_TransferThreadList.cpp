#include "BRX_Logic_TransferThreadList.h"

#include <QEventLoop>
#include <QThread>

#include <algorithm>

void BRX_Logic_TransferThreadList::start(QThread* thread)
{
    deleteFinished();
    m_threads.append(thread);
    // finished() is emitted in the thread itself, after its run().
    QObject::connect(thread, &QThread::finished, [this] { std::lock_guard<std::mutex> ended(m_endMutex); });
    thread->start();
}

void BRX_Logic_TransferThreadList::finishAll()
{
    for (QThread* thread : qAsConst(m_threads)) {
        QEventLoop loop;
        QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
        if (thread->isRunning()) {
            thread->quit();
            loop.exec();
        }
        thread->wait();
        seeEnd();
        delete thread;
    }
    m_threads.clear();
}

void BRX_Logic_TransferThreadList::seeEnd()
{
    std::lock_guard<std::mutex> seen(m_endMutex);
}

// A long session would otherwise keep every thread it ever started.
void BRX_Logic_TransferThreadList::deleteFinished()
{
    const auto running = [](QThread* thread) { return !(thread->isFinished() && thread->wait(0)); };
    const auto firstFinished = std::stable_partition(m_threads.begin(), m_threads.end(), running);
    if (firstFinished != m_threads.end())
        seeEnd();
    qDeleteAll(firstFinished, m_threads.end());
    m_threads.erase(firstFinished, m_threads.end());
}
