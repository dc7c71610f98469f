#ifndef BRX_LOGIC_CONTROLLERWORKER_H
#define BRX_LOGIC_CONTROLLERWORKER_H

#include <QMutex>
#include <QObject>
#include <QWaitCondition>

class BRX_Logic_Controller;

// Runs the controller thread: creates the controller inside it and keeps the
// thread's events flowing with a polling loop until asked to finish.
class BRX_Logic_ControllerWorker : public QObject
{
    Q_OBJECT
public:
    explicit BRX_Logic_ControllerWorker(QObject* parent = nullptr);

    // Any thread: the controller, null until process() has created it.
    BRX_Logic_Controller* controller() const;
    // Any thread: blocks until process() has published the controller.
    BRX_Logic_Controller* waitForController() const;

signals:
    void signalFinished();

public slots:
    void process();
    void requestFinish();

private:
    void publishController(BRX_Logic_Controller* controller);

    BRX_Logic_Controller* m_controller = nullptr;
    bool m_finishRequested = false;
    mutable QMutex m_controllerMutex;
    mutable QWaitCondition m_controllerPublished;
};

#endif
