#ifndef BRX_LOGIC_CONTROLLERDISPATCHER_H
#define BRX_LOGIC_CONTROLLERDISPATCHER_H

#include <QAbstractEventDispatcher>
#include <QPointer>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

// The controller thread's event dispatcher: posted events and timers; the
// thread has no socket notifiers. Every post into the thread (Qt calls
// wakeUp() after each) signals a standard condition variable, and the
// thread waits on it for at most the time to its next timer: work is
// handled when it arrives, timers fire when due, and the hand-over is one
// that ThreadSanitizer follows (Qt's own mutexes and wake-ups are not
// instrumented). A function object handed to another thread is built in
// the sender's code, so post() carries it through a queue under the same
// mutex, which the receiving thread takes before it runs the function.
//
// Owned by its thread (QThread::setEventDispatcher before the thread
// starts); every function but post(), wakeUp() and interrupt() runs in
// that thread.
class BRX_Logic_ControllerDispatcher : public QAbstractEventDispatcher
{
    Q_OBJECT
public:
    typedef std::chrono::steady_clock Clock;
    // What ended a wait for work.
    enum class WaitEnd { kWork, kTimer, kBound };

    explicit BRX_Logic_ControllerDispatcher(QObject* parent = nullptr);

    // Any thread: runs work in the thread of receiver, queued behind what is
    // already posted there, and not at all if receiver is gone by then. A
    // thread without this dispatcher gets a plain queued call.
    static void post(QObject* receiver, std::function<void()> work);

    // Waits until work is posted, a timer comes due or boundMs pass,
    // whichever comes first, and says which. Handles nothing itself.
    WaitEnd waitForWork(int boundMs);

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;
    bool hasPendingEvents() override;
    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;
    void registerTimer(int timerId, int intervalMs, Qt::TimerType timerType, QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;
    // Any thread.
    void wakeUp() override;
    // Any thread: ends a wait of a nested event loop, which then looks at
    // its exit flag.
    void interrupt() override;
    void flush() override;

private:
    struct Timer
    {
        int id;
        int intervalMs;
        Qt::TimerType type;
        QObject* object;
        Clock::time_point due;
    };
    struct HandOver
    {
        QPointer<QObject> receiver;
        std::function<void()> work;
    };

    Q_INVOKABLE void runHandOver();
    bool sendPostedEvents();
    bool fireDueTimers();
    void fireTimer(int timerId, Clock::time_point now);
    WaitEnd waitUntil(Clock::time_point bound);
    Clock::time_point nextTimerDue() const;
    std::vector<Timer>::iterator findTimer(int timerId);

    std::mutex m_mutex;
    std::condition_variable m_workArrived;
    // Events may have been posted before the thread had this dispatcher.
    bool m_workPosted = true;
    std::deque<HandOver> m_handOvers;
    std::vector<Timer> m_timers;
};

#endif
