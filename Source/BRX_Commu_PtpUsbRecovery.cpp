#include "BRX_Commu_PtpUsbRecovery.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Debug.h"

#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <vector>

namespace {

typedef BRX_Commu_UsbPipe Pipe;

const unsigned long kStatusPollMs = 20;
const quint32 kDrainBytes = 64 * 1024;

} // namespace

BRX_Commu_PtpUsbRecovery::BRX_Commu_PtpUsbRecovery(BRX_Commu_UsbPipe& pipe,
                                                   const BRX_Commu_PtpUsbLink::Timeouts& timeouts, const char* name)
    : m_pipe(pipe)
    , m_timeouts(timeouts)
    , m_name(name)
{
}

BRX_Commu_PtpUsbRecovery::Outcome BRX_Commu_PtpUsbRecovery::run(quint32 transactionId,
                                                               const QVector<Pipe::Endpoint>& halted)
{
    Status status = cancel(transactionId);
    if (status == Pipe::kOk)
        status = clearHalts(halted);
    if (status == Pipe::kOk)
        status = settle();
    if (status == Pipe::kOk || status == Pipe::kNoDevice)
        return status == Pipe::kOk ? kSettled : kNoDevice;
    return resetAndSettle();
}

BRX_Commu_PtpUsbRecovery::Outcome BRX_Commu_PtpUsbRecovery::resetAndSettle()
{
    debugPrint(kDebugAlways, "%s - the camera does not settle, resetting it", m_name);
    Status status = reset();
    if (status == Pipe::kOk)
        status = settle();
    if (status == Pipe::kOk || status == Pipe::kNoDevice)
        return status == Pipe::kOk ? kReset : kNoDevice;
    debugPrint(kDebugAlways, "%s - the camera does not answer", m_name);
    return kSilent;
}

// A device that does not know the request is still worth the other steps.
BRX_Commu_PtpUsbRecovery::Status BRX_Commu_PtpUsbRecovery::cancel(quint32 transactionId)
{
    debugPrint(kDebugAlways, "%s - cancelling transaction 0x%08X", m_name, transactionId);
    const Status status = m_pipe.cancelTransaction(transactionId);
    return status == Pipe::kNoDevice ? status : Pipe::kOk;
}

BRX_Commu_PtpUsbRecovery::Status BRX_Commu_PtpUsbRecovery::clearHalts(const QVector<Pipe::Endpoint>& endpoints)
{
    for (Pipe::Endpoint endpoint : endpoints) {
        if (m_pipe.clearHalt(endpoint) == Pipe::kNoDevice)
            return Pipe::kNoDevice;
    }
    return Pipe::kOk;
}

BRX_Commu_PtpUsbRecovery::Status BRX_Commu_PtpUsbRecovery::settle()
{
    const Status status = waitUntilReady();
    return status == Pipe::kOk ? drain() : status;
}

// Polls Get Device Status until the device is ready, clearing the endpoints
// it names as halted; a device without the request counts as ready.
BRX_Commu_PtpUsbRecovery::Status BRX_Commu_PtpUsbRecovery::waitUntilReady()
{
    const QDeadlineTimer deadline(m_timeouts.settleMs);
    for (;;) {
        Pipe::DeviceStatus deviceStatus;
        const Status status = m_pipe.getDeviceStatus(&deviceStatus);
        if (status == Pipe::kStall)
            return Pipe::kOk;
        if (status == Pipe::kNoDevice || clearHalts(deviceStatus.halted) == Pipe::kNoDevice)
            return Pipe::kNoDevice;
        if (status == Pipe::kOk && deviceStatus.code == BRX_Commu_PtpCodes::kResponseOK && deviceStatus.halted.isEmpty())
            return Pipe::kOk;
        if (deadline.hasExpired())
            return Pipe::kTimeout;
        QThread::msleep(kStatusPollMs);
    }
}

// Drops what the device still sends until bulk-in stays quiet; one that
// keeps sending past the settle limit has not settled.
BRX_Commu_PtpUsbRecovery::Status BRX_Commu_PtpUsbRecovery::drain()
{
    const QDeadlineTimer deadline(m_timeouts.settleMs);
    const quint32 packet = m_pipe.maxPacketSize();
    std::vector<quint8> scratch(std::max(kDrainBytes - kDrainBytes % packet, packet));
    quint64 dropped = 0;
    for (;;) {
        quint32 received = 0;
        const Status status = m_pipe.bulkIn(scratch.data(), quint32(scratch.size()), &received, m_timeouts.quietMs);
        dropped += received;
        if (status == Pipe::kTimeout && received == 0)
            break;
        if (status == Pipe::kStall && m_pipe.clearHalt(Pipe::kBulkIn) == Pipe::kNoDevice)
            return Pipe::kNoDevice;
        if (status == Pipe::kNoDevice || status == Pipe::kError || deadline.hasExpired())
            return status == Pipe::kNoDevice ? status : Pipe::kTimeout;
    }
    if (dropped)
        debugPrint(kDebugAlways, "%s - dropped %llu bytes the camera still sent", m_name, (unsigned long long)dropped);
    return Pipe::kOk;
}

BRX_Commu_PtpUsbRecovery::Status BRX_Commu_PtpUsbRecovery::reset()
{
    const Status status = m_pipe.resetDevice();
    return status == Pipe::kNoDevice ? status : Pipe::kOk;
}
