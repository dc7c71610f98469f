#ifndef BRX_COMMU_PTPIPEVENTTHREAD_H
#define BRX_COMMU_PTPIPEVENTTHREAD_H

#include "BRX_Commu_PtpContainer.h"
#include "BRX_Commu_PtpTransaction.h"

#include <atomic>
#include <functional>
#include <thread>

class BRX_Commu_PtpIpReader;
class BRX_Commu_PtpIpStream;

// Reads the PTP/IP event connection on a thread of its own: hands each
// Event packet to the event callback and answers the camera's probes. A
// connection quiet for the first-answer limit is probed; a camera that does
// not answer the probe within that limit again, closes the connection or
// sends anything but events and probes has gone: the gone callback is
// called once and the thread ends. Both callbacks run in this thread.
// Started by the constructor.
class BRX_Commu_PtpIpEventThread
{
public:
    typedef std::function<void(const BRX_Commu_PtpContainer& event)> EventCallback;
    typedef std::function<void()> GoneCallback;

    // stream must outlive the thread.
    BRX_Commu_PtpIpEventThread(BRX_Commu_PtpIpStream& stream, const BRX_Commu_PtpTransaction::Timeouts& timeouts,
                               EventCallback onEvent, GoneCallback onGone);
    // Shuts the stream down and joins the thread; the gone callback is not
    // called for that. Not to be called from the callbacks.
    ~BRX_Commu_PtpIpEventThread();

    BRX_Commu_PtpIpEventThread(const BRX_Commu_PtpIpEventThread&) = delete;
    BRX_Commu_PtpIpEventThread& operator=(const BRX_Commu_PtpIpEventThread&) = delete;

private:
    void run();
    bool readPacket(BRX_Commu_PtpIpReader& reader, bool* probing);
    bool send(quint32 probeType);

    BRX_Commu_PtpIpStream& m_stream;
    const BRX_Commu_PtpTransaction::Timeouts m_timeouts;
    EventCallback m_onEvent;
    GoneCallback m_onGone;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

#endif
