#ifndef BRX_COMMU_PTPUSBRECOVERY_H
#define BRX_COMMU_PTPUSBRECOVERY_H

#include "BRX_Commu_PtpUsbLink.h"
#include "BRX_Commu_UsbPipe.h"

// Brings a PTP device back in step after a transaction failed (a timeout, a
// halted pipe, a protocol error), as the USB still-image class has it:
// Cancel, wait until the device reports ready while clearing the endpoints
// it halted, drop what it still sends; when it will not settle, Device
// Reset and the same again. Blocks for at most a few settle limits.
class BRX_Commu_PtpUsbRecovery
{
public:
    enum Outcome {
        kSettled, // ready, and nothing left queued
        kReset,   // the same after a Device Reset: the session has gone
        kSilent,  // not ready even after a reset
        kNoDevice
    };

    BRX_Commu_PtpUsbRecovery(BRX_Commu_UsbPipe& pipe, const BRX_Commu_PtpUsbLink::Timeouts& timeouts,
                             const char* name);

    // transactionId: the failed transaction; halted: the endpoints its
    // transfers found stalled.
    Outcome run(quint32 transactionId, const QVector<BRX_Commu_UsbPipe::Endpoint>& halted);

private:
    typedef BRX_Commu_UsbPipe::Status Status;

    Outcome resetAndSettle();
    Status cancel(quint32 transactionId);
    Status clearHalts(const QVector<BRX_Commu_UsbPipe::Endpoint>& endpoints);
    Status settle();
    Status waitUntilReady();
    Status drain();
    Status reset();

    BRX_Commu_UsbPipe& m_pipe;
    const BRX_Commu_PtpUsbLink::Timeouts m_timeouts;
    const char* m_name;
};

#endif
