#ifndef BRX_LOGIC_CONTROLLERWORKER_H
#define BRX_LOGIC_CONTROLLERWORKER_H

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class BRX_Logic_Controller;

// Runs the controller thread: creates the controller inside it and keeps the
// thread's events flowing with a polling loop until asked to finish.
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

    explicit BRX_Logic_ControllerWorker(std::shared_ptr<Completion> completion = nullptr,
                                        QObject* parent = nullptr);

    // Any thread: the controller, null until process() has created it.
    BRX_Logic_Controller* controller() const;
    // Any thread: blocks until process() has published the controller.
    BRX_Logic_Controller* waitForController() const;

signals:
    void signalFinished();

public slots:
    void process();
    // Any thread.
    void requestFinish();

private:
    void publishController(BRX_Logic_Controller* controller);

    const std::shared_ptr<Completion> m_completion;
    BRX_Logic_Controller* m_controller = nullptr;
    std::atomic<bool> m_finishRequested{false};
    mutable std::mutex m_controllerMutex;
    mutable std::condition_variable m_controllerPublished;
};

#endif
