#include "TetherNodeShutter.h"
#include "BRX_SDK.h"
#include "TetherRigTopics.h"

#include <QMetaObject>

#include <chrono>

namespace {

// Sleep wakes up this much early at worst; the rest is watched.
const qint64 kWatchUs = 2000;

std::chrono::system_clock::time_point timePoint(qint64 us)
{
    return std::chrono::system_clock::time_point(std::chrono::microseconds(us));
}

} // namespace

TetherNodeShutter::TetherNodeShutter()
    : m_thread(&TetherNodeShutter::run, this)
{
}

TetherNodeShutter::~TetherNodeShutter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void TetherNodeShutter::schedule(const QString& id, qint64 atUs)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_due.emplace(atUs, id);
    }
    m_wake.notify_all();
}

void TetherNodeShutter::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        if (m_due.empty()) {
            m_wake.wait(lock);
            continue;
        }
        const qint64 atUs = m_due.begin()->first;
        if (TetherRigTopics::nowUs() < atUs - kWatchUs) {
            m_wake.wait_until(lock, timePoint(atUs - kWatchUs));
            continue;
        }
        const QString id = m_due.begin()->second;
        m_due.erase(m_due.begin());
        lock.unlock();
        while (TetherRigTopics::nowUs() < atUs)
            std::this_thread::yield();
        const qint64 pressedUs = TetherRigTopics::nowUs();
        BRX_SDK_capture();
        lock.lock();
        m_done.push_back({id, atUs, pressedUs});
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
    }
}

void TetherNodeShutter::deliver()
{
    for (;;) {
        Press press;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_done.empty())
                return;
            press = m_done.front();
            m_done.pop_front();
        }
        emit pressed(press.id, press.atUs, press.pressedUs);
    }
}
