#ifndef BRX_COMMU_PTPUSBLINK_H
#define BRX_COMMU_PTPUSBLINK_H

#include "BRX_Commu_PtpContainer.h"
#include "BRX_Commu_UsbPipe.h"

#include <memory>
#include <vector>

// The host side of PTP over USB bulk endpoints: frames one transaction into
// containers, counts transaction IDs and reads the device's containers as
// real devices send them. Not thread-safe: the transport calls it under its
// device mutex.
class BRX_Commu_PtpUsbLink
{
public:
    enum Direction { kNoData, kDataIn, kDataOut };
    enum Result {
        kResponded, // the device answered; the response code says how
        kFailed,    // transfer or protocol error, already logged
        kNoDevice   // the device has gone
    };

    // How long the link waits, in milliseconds.
    struct Timeouts {
        int firstAnswerMs = 5000;
    };
    // The timeouts of links created from now on (tests shorten them).
    static void setDefaultTimeouts(const Timeouts& timeouts);
    static Timeouts defaultTimeouts();

    explicit BRX_Commu_PtpUsbLink(std::shared_ptr<BRX_Commu_UsbPipe> pipe);

    // The next transaction opens a session: it goes out with ID 0.
    void resetTransactionId();

    // One transaction. For kDataIn, buffer is zeroed over size bytes and then
    // receives min(size, sent) bytes straight from the pipe; for kDataOut its
    // size bytes are sent. name labels the log lines.
    Result transact(quint16 opCode, const quint32* params, quint32 numParams, Direction direction,
                    quint8* buffer, quint32 size, const char* name, quint16* responseCode);

private:
    typedef BRX_Commu_UsbPipe::Status Status;

    Status writeCommand(quint16 opCode, quint32 transactionId, const quint32* params, quint32 numParams);
    Status writeData(quint16 opCode, quint32 transactionId, const quint8* data, quint32 size);
    Status writeTransfer(const quint8* data, quint32 size);
    Status endContainer(quint64 length);
    Status readReply(quint32 transactionId, quint8* buffer, quint32 size, bool expectData,
                     quint16* responseCode, bool* ok);
    Status readHeader(BRX_Commu_PtpContainer* container);
    Status readPayload(const BRX_Commu_PtpContainer& header, quint8* dest, quint32 destSize, bool* ok);
    Status readResponse(BRX_Commu_PtpContainer& header, quint32 transactionId, quint16* responseCode,
                        bool* ok);
    Status ensure(quint32 bytes);
    Status fill(quint32* received, bool* shortPacket);
    quint64 takeFromStaging(quint64 remaining, quint8* dest, quint32 destSize, quint32* written);
    quint32 directSize(quint64 remaining, quint32 space) const;
    void recoverStall();
    quint32 available() const { return m_end - m_pos; }

    std::shared_ptr<BRX_Commu_UsbPipe> m_pipe;
    const Timeouts m_timeouts;
    quint32 m_packetSize;
    quint32 m_nextTransactionId = 0;
    const char* m_name = "";
    // Holds headers, responses and the ends of data phases; a data phase's
    // whole packets go straight to the caller's buffer.
    std::vector<quint8> m_staging;
    quint32 m_pos = 0;
    quint32 m_end = 0;
    // Bytes of the current data phase placed in the caller's buffer.
    quint32 m_payloadWritten = 0;
    bool m_lastTransferShort = false;
};

#endif
