#ifndef BRX_COMMU_USBEVENTTHREAD_H
#define BRX_COMMU_USBEVENTTHREAD_H

#include "BRX_Commu_PtpContainer.h"

#include <QByteArray>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class BRX_Commu_UsbPipe;

// The platform event thread: reads event containers from the pipe's
// interrupt endpoint and hands each to the event callback; when the device
// has gone it calls the vanished callback once and ends. Both callbacks run
// in this thread.
class BRX_Commu_UsbEventThread : public QThread
{
    Q_OBJECT
public:
    typedef std::function<void(const BRX_Commu_PtpContainer& event)> EventCallback;
    typedef std::function<void()> VanishedCallback;

    BRX_Commu_UsbEventThread(std::shared_ptr<BRX_Commu_UsbPipe> pipe, EventCallback onEvent,
                             VanishedCallback onVanished);
    // Stops and joins the thread. Not to be called from the thread itself.
    ~BRX_Commu_UsbEventThread() override;

    // Asks the loop to end; it does within one poll interval. Any thread.
    void requestStop();

protected:
    void run() override;

private:
    bool readTransfer();
    void parsePending(bool transferWasShort);

    std::shared_ptr<BRX_Commu_UsbPipe> m_pipe;
    EventCallback m_onEvent;
    VanishedCallback m_onVanished;
    std::atomic<bool> m_stop{false};
    QByteArray m_pending;
};

#endif
