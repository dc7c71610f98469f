#ifndef BRX_SDK_MAINOBJECT_H
#define BRX_SDK_MAINOBJECT_H

#include "BRX_Logic_ControllerWorker.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QVector>
#include <memory>
#include <mutex>

class BRX_Logic_Controller;
class QEventLoop;
class QThread;

// Lives in the host's thread: carries the host's callbacks, owns the
// controller thread's start-up and shutdown, and turns the controller's
// notifications into callback calls.
class BRX_SDK_MainObject : public QObject
{
    Q_OBJECT
public:
    typedef void (*InitCallback)(void* context, bool connected, int productId);
    typedef void (*ChangesCallback)(void* context, int property, const void* data, unsigned int size);

    BRX_SDK_MainObject(InitCallback initCallback, void* initContext);
    // Stops the controller thread and waits a few seconds for it to end.
    ~BRX_SDK_MainObject() override;

    // The controller that the exported functions call directly from the
    // host's thread.
    BRX_Logic_Controller* directCalls() const { return m_controller; }
    void setChangesCallback(ChangesCallback callback, void* context);
    // Host's thread.
    bool isInitialStateDelivered() const { return m_initialStateDelivered; }
    // The connected camera's values of property: its last notified value
    // list, or the converter tables' choices; empty without either. Any thread.
    QVector<double> choices(int property) const;

    // Runs this thread's events until a host callback was called or
    // timeoutMs passed: the number of init and changes callbacks called, -1
    // where it may not run.
    int processHostEvents(int timeoutMs, const char* label);
    // False (logged under label) from another thread, whose events are not
    // this object's, or inside a callback, whose caller is this object: what
    // runs events or deletes this object may not run there.
    bool mayRunHere(const char* label) const;

signals:
    void signalCameraGUIOpened();
    void signalFinishController();
    void signalCapturePressed();
    void signalCaptureReleased();
    void signalCloseRequested();
    void signalSetProperty(int property, QByteArray data);

public slots:
    void catchCameraConnected();
    void catchCameraDisconnected();
    // Owns data (malloc'd) and frees it in every case.
    void catchProperty(int property, void* data, quint32 size);

private:
    void startControllerThread();
    void connectController();
    void dropPendingNotifications();
    void forgetCamera();
    // Not a slot: the meta-object keeps its fixed list of methods.
    void catchInitialStateSent();
    void keepList(int property, const void* data, quint32 size);
    bool isHostThread(const char* label) const;
    bool isOutsideCallbacks(const char* label) const;
    // Every call of the init or changes callback goes through here.
    template <typename Call>
    void callHost(Call call);

    InitCallback m_initCallback;
    void* m_initContext;
    ChangesCallback m_changesCallback = nullptr;
    void* m_changesContext = nullptr;
    BRX_Logic_Controller* m_controller = nullptr;
    int m_productId = 0;
    QThread* m_thread = nullptr;
    // Runs in m_thread; deleted with it once the thread has ended.
    BRX_Logic_ControllerWorker* m_worker = nullptr;
    std::shared_ptr<BRX_Logic_ControllerWorker::Completion> m_workerDone;
    bool m_initialStateDelivered = false;
    // Host's thread only.
    int m_callbackDepth = 0;
    int m_callbacksCalled = 0;
    QEventLoop* m_waitLoop = nullptr;
    // The value lists as last delivered, by list property.
    mutable std::mutex m_listLock;
    QHash<int, QVector<double>> m_lists;
};

#endif
