#include "BRX_Commu_UsbEventThread.h"
#include "BRX_Commu_UsbPipe.h"
#include "BRX_Debug.h"

#include <chrono>

namespace {

// How long one wait on the interrupt endpoint lasts, so that a stop request
// is noticed in time.
const int kPollMs = 50;
const quint32 kTransferSize = 64;

} // namespace

BRX_Commu_UsbEventThread::BRX_Commu_UsbEventThread(std::shared_ptr<BRX_Commu_UsbPipe> pipe,
                                                   EventCallback onEvent, VanishedCallback onVanished)
    : m_pipe(std::move(pipe))
    , m_onEvent(std::move(onEvent))
    , m_onVanished(std::move(onVanished))
    , m_thread(&BRX_Commu_UsbEventThread::run, this)
{
}

BRX_Commu_UsbEventThread::~BRX_Commu_UsbEventThread()
{
    m_stop = true;
    m_thread.join();
}

void BRX_Commu_UsbEventThread::run()
{
    while (!m_stop) {
        if (!readTransfer()) {
            m_onVanished();
            return;
        }
    }
}

// False once the device has gone.
bool BRX_Commu_UsbEventThread::readTransfer()
{
    quint8 buffer[kTransferSize];
    quint32 received = 0;
    const BRX_Commu_UsbPipe::Status status = m_pipe->interruptIn(buffer, kTransferSize, &received, kPollMs);
    switch (status) {
    case BRX_Commu_UsbPipe::kOk:
        m_pending.append(reinterpret_cast<const char*>(buffer), int(received));
        parsePending(received < kTransferSize);
        return true;
    case BRX_Commu_UsbPipe::kNoDevice:
        return false;
    case BRX_Commu_UsbPipe::kTimeout:
        return true;
    case BRX_Commu_UsbPipe::kStall:
        m_pipe->clearHalt(BRX_Commu_UsbPipe::kInterruptIn);
        break;
    default:
        break;
    }
    debugPrint(kDebugAlways, "%s - event endpoint failed, status %d", BRX_METHOD, int(status));
    m_pending.clear();
    // An endpoint in error answers at once; do not spin on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    return true;
}

void BRX_Commu_UsbEventThread::parsePending(bool transferWasShort)
{
    BRX_Commu_PtpContainer event;
    while (!m_pending.isEmpty()) {
        const quint8* data = reinterpret_cast<const quint8*>(m_pending.constData());
        if (!event.decodeHeader(data, quint32(m_pending.size()))) {
            if (m_pending.size() < int(BRX_Commu_PtpContainer::kHeaderSize) && !transferWasShort)
                return;
            break;
        }
        if (event.type != BRX_Commu_PtpContainer::kEvent || event.length > BRX_Commu_PtpContainer::kMaxSize)
            break;
        if (event.length > quint32(m_pending.size())) {
            if (!transferWasShort)
                return; // the rest comes with the next transfer
            break;
        }
        if (!event.decodeParams(data, event.length))
            break;
        m_pending.remove(0, int(event.length));
        m_onEvent(event);
    }
    if (!m_pending.isEmpty()) {
        debugPrint(kDebugAlways, "%s - invalid event container of %d bytes", BRX_METHOD, m_pending.size());
        m_pending.clear();
    }
}
