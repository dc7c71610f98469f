#ifndef BRX_COMMU_PTPUSBLINK_H
#define BRX_COMMU_PTPUSBLINK_H

#include "BRX_Commu_PtpContainer.h"
#include "BRX_Commu_PtpTransaction.h"
#include "BRX_Commu_UsbPipe.h"

#include <memory>
#include <vector>

// The host side of PTP over USB bulk endpoints: frames one transaction into
// containers, counts transaction IDs and reads the device's containers as
// real devices send them. A transaction that fails on the wire (timeout,
// halted pipe, protocol error) is followed by the class's recovery, so that
// the next one finds the device in step. Not thread-safe: the transport
// calls it under its device mutex.
class BRX_Commu_PtpUsbLink
{
public:
    typedef BRX_Commu_PtpTransaction Transaction;
    typedef BRX_Commu_PtpTransaction::Direction Direction;
    static const Direction kNoData = Transaction::kNoData;
    static const Direction kDataIn = Transaction::kDataIn;
    static const Direction kDataOut = Transaction::kDataOut;
    enum Result {
        kResponded,   // the device answered; the response code says how
        kFailed,      // transfer or protocol error, already logged; the device is back in step
        kSessionLost, // the same, but only a Device Reset brought it back: its session has gone
        kSilent,      // the device did not answer, not even after a reset
        kNoDevice     // the device has gone
    };

    typedef BRX_Commu_PtpTransaction::Timeouts Timeouts;

    explicit BRX_Commu_PtpUsbLink(std::shared_ptr<BRX_Commu_UsbPipe> pipe);

    const Timeouts& timeouts() const { return m_timeouts; }

    // The next transaction opens a session: it goes out with ID 0.
    void resetTransactionId();

    Result transact(const Transaction& transaction, quint16* responseCode);
    // Bytes of the last transaction's data phase placed in its buffer.
    quint32 payloadReceived() const { return m_payloadWritten; }

private:
    typedef BRX_Commu_UsbPipe::Status Status;

    Status exchange(const Transaction& transaction, quint32 transactionId, quint16* responseCode, bool* ok);
    Result recover(Status status, quint32 transactionId);
    Status writeCommand(quint16 opCode, quint32 transactionId, const quint32* params, quint32 numParams);
    Status writeData(quint16 opCode, quint32 transactionId, const quint8* data, quint32 size);
    Status writeTransfer(const quint8* data, quint32 size);
    Status endContainer(quint64 length);
    Status readReply(quint32 transactionId, quint8* buffer, quint32 size, bool expectData,
                     quint16* responseCode, bool* ok);
    Status readCurrentHeader(quint32 transactionId, BRX_Commu_PtpContainer* header);
    Status skipContainer(const BRX_Commu_PtpContainer& header);
    Status readHeader(BRX_Commu_PtpContainer* container);
    Status readPayload(const BRX_Commu_PtpContainer& header, quint8* dest, quint32 destSize, quint32* written,
                       bool* ok);
    Status readResponse(BRX_Commu_PtpContainer& header, quint32 transactionId, quint16* responseCode);
    Status takeContainer(BRX_Commu_PtpContainer& header);
    Status ensure(quint32 bytes);
    Status fill(quint32* received, bool* ended);
    Status readIn(quint8* data, quint32 capacity, quint32* received, bool* ended);
    quint64 takeFromStaging(quint64 remaining, quint8* dest, quint32 destSize, quint32* written);
    quint32 directSize(quint64 remaining, quint32 space) const;
    quint32 available() const { return m_end - m_pos; }

    std::shared_ptr<BRX_Commu_UsbPipe> m_pipe;
    const Timeouts m_timeouts;
    quint32 m_packetSize;
    quint32 m_nextTransactionId = 0;
    const char* m_name = "";
    // How long the next bulk-in read may wait: the first answer's limit,
    // then the progress limit once bytes flow.
    int m_waitMs = 0;
    // Endpoints the current transaction found halted.
    QVector<BRX_Commu_UsbPipe::Endpoint> m_halted;
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
