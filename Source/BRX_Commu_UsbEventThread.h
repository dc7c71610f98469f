#ifndef BRX_COMMU_USBEVENTTHREAD_H
#define BRX_COMMU_USBEVENTTHREAD_H

#include "BRX_Commu_PtpContainer.h"

#include <QByteArray>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class BRX_Commu_UsbPipe;

// The platform event thread: reads event containers from the pipe's
// interrupt endpoint and hands each to the event callback; when the device
// has gone it calls the vanished callback once and ends. Both callbacks run
// in this thread. Started by the constructor.
class BRX_Commu_UsbEventThread
{
public:
    typedef std::function<void(const BRX_Commu_PtpContainer& event)> EventCallback;
    typedef std::function<void()> VanishedCallback;

    BRX_Commu_UsbEventThread(std::shared_ptr<BRX_Commu_UsbPipe> pipe, EventCallback onEvent,
                             VanishedCallback onVanished);
    // Stops and joins the thread (within one poll interval). Not to be called
    // from the callbacks.
    ~BRX_Commu_UsbEventThread();

    BRX_Commu_UsbEventThread(const BRX_Commu_UsbEventThread&) = delete;
    BRX_Commu_UsbEventThread& operator=(const BRX_Commu_UsbEventThread&) = delete;

private:
    void run();
    bool readTransfer();
    void parsePending(bool transferWasShort);

    std::shared_ptr<BRX_Commu_UsbPipe> m_pipe;
    EventCallback m_onEvent;
    VanishedCallback m_onVanished;
    std::atomic<bool> m_stop{false};
    QByteArray m_pending;
    std::thread m_thread;
};

#endif
