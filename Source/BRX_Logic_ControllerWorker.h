#ifndef BRX_LOGIC_CONTROLLERWORKER_H
#define BRX_LOGIC_CONTROLLERWORKER_H

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class BRX_Logic_Controller;
class BRX_Logic_ControllerDispatcher;
class QThread;

// Runs the controller thread: creates the controller inside it and keeps the
// thread's events flowing with a polling loop until asked to finish. Each
// pass handles events for at most 5 ms, then pauses until the thread has
// work again (a posted event or queued call, a due timer, a finish
// request), for at most the pause bound: a request waits no longer than
// that, and an idle thread does not spin. The pause waits on the thread's
// own dispatcher (prepareThread()); a thread without it sleeps the bound.
// The hand-overs to other threads use standard primitives, so that
// ThreadSanitizer can follow them (Qt's own are not instrumented).
class BRX_Logic_ControllerWorker : public QObject
{
    Q_OBJECT
public:
    // Set by the worker as the last thing process() does; whoever holds it
    // can wait for the worker's work to be over.
    class Completion
    {
    public:
        void markDone();
        // False when waitMs passed first.
        bool waitDone(unsigned long waitMs);

    private:
        std::mutex m_mutex;
        std::condition_variable m_doneChanged;
        bool m_done = false;
    };

    static constexpr int kPauseBoundMs = 10;

    // Before the thread starts: gives it the dispatcher the pause waits on.
    static void prepareThread(QThread* thread);

    explicit BRX_Logic_ControllerWorker(std::shared_ptr<Completion> completion = nullptr,
                                        QObject* parent = nullptr, int pauseBoundMs = kPauseBoundMs);

    // Any thread: the controller, null until process() has created it.
    BRX_Logic_Controller* controller() const;
    // Any thread: blocks until process() has published the controller.
    BRX_Logic_Controller* waitForController() const;
    // Any thread: how many passes of the loop have begun their pause.
    quint64 pauseCount() const { return m_pauseCount; }
    // Any thread: how many pauses a timer coming due ended.
    quint64 timerCount() const { return m_timerCount; }
    // Any thread: how many pauses ended at the pause bound.
    quint64 boundCount() const { return m_boundCount; }

signals:
    void signalFinished();

public slots:
    void process();
    // Any thread.
    void requestFinish();

private:
    void publishController(BRX_Logic_Controller* controller);
    void runLoop();
    void pause(BRX_Logic_ControllerDispatcher* dispatcher);
    void setDispatcher(BRX_Logic_ControllerDispatcher* dispatcher);

    const std::shared_ptr<Completion> m_completion;
    const int m_pauseBoundMs;
    BRX_Logic_Controller* m_controller = nullptr;
    std::atomic<bool> m_finishRequested{false};
    std::atomic<quint64> m_pauseCount{0};
    std::atomic<quint64> m_timerCount{0};
    std::atomic<quint64> m_boundCount{0};
    // The loop's dispatcher while the loop runs, for requestFinish() to wake.
    std::mutex m_dispatcherMutex;
    BRX_Logic_ControllerDispatcher* m_dispatcher = nullptr;
    mutable std::mutex m_controllerMutex;
    mutable std::condition_variable m_controllerPublished;
};

#endif
