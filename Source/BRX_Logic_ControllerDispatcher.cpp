#include "BRX_Logic_ControllerDispatcher.h"
#include "BRX_Debug.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimerEvent>

#include <algorithm>

namespace {
typedef BRX_Logic_ControllerDispatcher::Clock Clock;

int millisecondsUntil(Clock::time_point due, Clock::time_point now)
{
    if (due <= now)
        return 0;
    // Rounded up: a timer never reads as due before it is.
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(due - now + std::chrono::microseconds(999))
                   .count());
}
} // namespace

BRX_Logic_ControllerDispatcher::BRX_Logic_ControllerDispatcher(QObject* parent)
    : QAbstractEventDispatcher(parent)
{
}

void BRX_Logic_ControllerDispatcher::post(QObject* receiver, std::function<void()> work)
{
    auto* dispatcher = qobject_cast<BRX_Logic_ControllerDispatcher*>(QAbstractEventDispatcher::instance(receiver->thread()));
    if (!dispatcher) {
        QMetaObject::invokeMethod(receiver, std::move(work), Qt::QueuedConnection);
        return;
    }
    {
        std::lock_guard<std::mutex> locker(dispatcher->m_mutex);
        dispatcher->m_handOvers.push_back({QPointer<QObject>(receiver), std::move(work)});
    }
    // Queued by name, so that Qt builds the event itself; one event per
    // hand-over keeps each behind what was posted before it.
    QMetaObject::invokeMethod(dispatcher, "runHandOver", Qt::QueuedConnection);
}

void BRX_Logic_ControllerDispatcher::runHandOver()
{
    HandOver handOver;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (m_handOvers.empty())
            return;
        handOver = std::move(m_handOvers.front());
        m_handOvers.pop_front();
    }
    if (handOver.receiver)
        handOver.work();
}

BRX_Logic_ControllerDispatcher::WaitEnd BRX_Logic_ControllerDispatcher::waitForWork(int boundMs)
{
    return waitUntil(Clock::now() + std::chrono::milliseconds(boundMs));
}

// The lock is taken again after the wait, whatever ended it: that is the
// edge from the sender's post to the work it handed over.
BRX_Logic_ControllerDispatcher::WaitEnd BRX_Logic_ControllerDispatcher::waitUntil(Clock::time_point bound)
{
    const Clock::time_point timerDue = nextTimerDue();
    std::unique_lock<std::mutex> locker(m_mutex);
    if (m_workArrived.wait_until(locker, std::min(bound, timerDue), [this] { return m_workPosted; }))
        return WaitEnd::kWork;
    return timerDue <= bound ? WaitEnd::kTimer : WaitEnd::kBound;
}

bool BRX_Logic_ControllerDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags)
{
    emit awake();
    bool handled = sendPostedEvents();
    handled = fireDueTimers() || handled;
    if (handled || !(flags & QEventLoop::WaitForMoreEvents))
        return handled;
    emit aboutToBlock();
    waitUntil(Clock::time_point::max());
    emit awake();
    handled = sendPostedEvents();
    return fireDueTimers() || handled;
}

// Posted events are sent on every call, so that none waits for a wake-up;
// the flag only tells whether any came.
bool BRX_Logic_ControllerDispatcher::sendPostedEvents()
{
    bool posted = false;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        std::swap(posted, m_workPosted);
    }
    QCoreApplication::sendPostedEvents();
    return posted;
}

// A timer registered or restarted while others fire waits for the next
// call; one that fires is due again only an interval later, so a nested
// event loop does not fire it twice.
bool BRX_Logic_ControllerDispatcher::fireDueTimers()
{
    const Clock::time_point now = Clock::now();
    std::vector<int> due;
    for (const Timer& timer : m_timers) {
        if (timer.due <= now)
            due.push_back(timer.id);
    }
    for (int timerId : due)
        fireTimer(timerId, now);
    return !due.empty();
}

void BRX_Logic_ControllerDispatcher::fireTimer(int timerId, Clock::time_point now)
{
    const auto timer = findTimer(timerId);
    if (timer == m_timers.end() || timer->due > now)
        return;
    // Aimed at the due time, so that a repeating timer keeps its rate;
    // one that fell a whole interval behind starts again from now.
    timer->due += std::chrono::milliseconds(timer->intervalMs);
    if (timer->due <= now)
        timer->due = now + std::chrono::milliseconds(timer->intervalMs);
    QObject* object = timer->object;
    QTimerEvent event(timerId);
    QCoreApplication::sendEvent(object, &event);
}

BRX_Logic_ControllerDispatcher::Clock::time_point BRX_Logic_ControllerDispatcher::nextTimerDue() const
{
    Clock::time_point next = Clock::time_point::max();
    for (const Timer& timer : m_timers)
        next = std::min(next, timer.due);
    return next;
}

std::vector<BRX_Logic_ControllerDispatcher::Timer>::iterator BRX_Logic_ControllerDispatcher::findTimer(int timerId)
{
    return std::find_if(m_timers.begin(), m_timers.end(), [timerId](const Timer& timer) { return timer.id == timerId; });
}

bool BRX_Logic_ControllerDispatcher::hasPendingEvents()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_workPosted;
}

void BRX_Logic_ControllerDispatcher::registerSocketNotifier(QSocketNotifier*)
{
    debugPrint(kDebugAlways, "%s - socket notifiers are not served in this thread", BRX_METHOD);
}

void BRX_Logic_ControllerDispatcher::unregisterSocketNotifier(QSocketNotifier*)
{
}

void BRX_Logic_ControllerDispatcher::registerTimer(int timerId, int intervalMs, Qt::TimerType timerType,
                                                   QObject* object)
{
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(intervalMs);
    m_timers.push_back({timerId, intervalMs, timerType, object, due});
}

bool BRX_Logic_ControllerDispatcher::unregisterTimer(int timerId)
{
    const auto timer = findTimer(timerId);
    if (timer == m_timers.end())
        return false;
    m_timers.erase(timer);
    return true;
}

bool BRX_Logic_ControllerDispatcher::unregisterTimers(QObject* object)
{
    const auto kept = std::remove_if(m_timers.begin(), m_timers.end(),
                                     [object](const Timer& timer) { return timer.object == object; });
    const bool any = kept != m_timers.end();
    m_timers.erase(kept, m_timers.end());
    return any;
}

QList<QAbstractEventDispatcher::TimerInfo> BRX_Logic_ControllerDispatcher::registeredTimers(QObject* object) const
{
    QList<TimerInfo> timers;
    for (const Timer& timer : m_timers) {
        if (timer.object == object)
            timers.append(TimerInfo(timer.id, timer.intervalMs, timer.type));
    }
    return timers;
}

int BRX_Logic_ControllerDispatcher::remainingTime(int timerId)
{
    const auto timer = findTimer(timerId);
    if (timer == m_timers.end())
        return -1;
    return millisecondsUntil(timer->due, Clock::now());
}

void BRX_Logic_ControllerDispatcher::wakeUp()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_workPosted = true;
    m_workArrived.notify_one();
}

void BRX_Logic_ControllerDispatcher::interrupt()
{
    wakeUp();
}

void BRX_Logic_ControllerDispatcher::flush()
{
}
