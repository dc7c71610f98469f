#ifndef BRX_COMMU_PTPIPLINK_H
#define BRX_COMMU_PTPIPLINK_H

#include "BRX_Commu_PtpIpPacket.h"
#include "BRX_Commu_PtpIpReader.h"
#include "BRX_Commu_PtpIpStream.h"
#include "BRX_Commu_PtpTransaction.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <memory>

// The host side of PTP over TCP/IP: opens the command/data connection and
// the event connection with their handshakes, and runs one transaction at a
// time on the command connection (Operation Request, the data phase as
// Start Data, Data and End Data packets, Operation Response). Every length
// the camera sends is checked before it is used. A camera that does not
// begin its answer in time is sent Cancel; one that does not answer that
// either, or breaks the packet stream, has lost its connection: TCP cannot
// be brought back in step.
//
// Nothing the camera does holds a call for longer than a bound: each
// handshake, each answer and each data phase has a deadline besides the
// progress timeout (a data phase's from its size: the declared total, else
// the size the host expects, else a ceiling), a data phase of unknown length
// ends at the larger of the expected size and that ceiling, and empty Data
// packets and the camera's probes count against a budget per transaction.
// A camera that breaks a bound has lost its connection. Not thread-safe,
// except shutdown.
class BRX_Commu_PtpIpLink
{
public:
    typedef BRX_Commu_PtpTransaction Transaction;
    enum Result {
        kResponded, // the camera answered; the response code says how
        kFailed,    // the transaction was cancelled, logged; the connection is in step
        kLost       // the connection is broken (closed, silent, malformed), logged
    };
    // The host as it introduces itself in the Init Command Request.
    struct Initiator {
        QByteArray guid;
        QString name;
    };

    // Probe Requests and empty Data packets one transaction may carry, and
    // the ceiling of a data phase whose size neither side knows.
    enum : quint32 { kProbeBudget = 16, kEmptyDataBudget = 16, kDataCeiling = 16u << 20 };

    // Connects to host:port and performs both handshakes within the
    // timeouts; null, with the reason logged under name, when that fails.
    static std::unique_ptr<BRX_Commu_PtpIpLink> open(const QString& host, quint16 port, const Initiator& initiator,
                                                     const char* name);

    // Over a connected command stream; the timeouts are the links' defaults.
    explicit BRX_Commu_PtpIpLink(std::unique_ptr<BRX_Commu_PtpIpStream> command);
    ~BRX_Commu_PtpIpLink();

    // Init Command Request and its Ack within the handshake limit; false
    // (logged) when refused or late.
    bool initCommand(const Initiator& initiator, const char* name);
    // Init Event Request with the connection number, and its Ack, within the
    // handshake limit; the link keeps the event stream. False (logged) when
    // refused or late.
    bool initEvents(std::unique_ptr<BRX_Commu_PtpIpStream> events, const char* name);

    quint32 connectionNumber() const { return m_connectionNumber; }
    QString cameraName() const { return m_cameraName; }
    const Transaction::Timeouts& timeouts() const { return m_timeouts; }
    // Null before initEvents. Read only by the event thread.
    BRX_Commu_PtpIpStream* eventStream() const { return m_events.get(); }

    // The next transaction goes out with ID 0 (OpenSession, or an operation
    // outside a session).
    void resetTransactionId() { m_nextTransactionId = 0; }
    Result transact(const Transaction& transaction, quint16* responseCode);
    // Bytes of the last transaction's data phase placed in its buffer.
    quint32 payloadReceived() const { return m_payloadWritten; }

    // Ends both connections; a call blocked on either returns. Any thread.
    void shutdown();

private:
    typedef BRX_Commu_PtpIpReader Reader;

    // Counted per transaction.
    struct Budget {
        quint32 probes = 0;
        quint32 emptyData = 0;
    };
    // The most a data phase may carry, and whether its Start Data said so.
    struct DataLimit {
        bool announced;
        quint64 bytes;
    };

    static bool isHandshakeAnswer(Reader::Result read, const BRX_Commu_PtpIpPacket& answer, quint32 ackType,
                                  const char* name);
    void beginPhase(qint64 ms);
    qint64 dataPhaseMs(quint64 size) const;
    Reader::Result unsent() const;
    bool send(const QByteArray& packet);
    bool sendData(quint32 transactionId, const quint8* data, quint32 size);
    Result readReply(const Transaction& transaction, quint32 transactionId, int firstMs, quint16* responseCode,
                     bool* timedOut);
    Reader::Result nextPacket(BRX_Commu_PtpIpPacket* packet, int firstMs);
    Result receiveData(const BRX_Commu_PtpIpPacket& start, const Transaction& transaction, quint32 transactionId);
    Result checkDataPacket(const DataLimit& limit, quint64 total);
    Result takePayload(const Transaction& transaction, quint64* total);
    Result cancel(const Transaction& transaction, quint32 transactionId, quint16* responseCode);
    Result lost(Reader::Result result);
    Result unexpected(const BRX_Commu_PtpIpPacket& packet, quint32 transactionId);

    std::unique_ptr<BRX_Commu_PtpIpStream> m_command;
    std::unique_ptr<BRX_Commu_PtpIpStream> m_events;
    const Transaction::Timeouts m_timeouts;
    Reader m_reader;
    // The deadline of the phase under way; the reader's too.
    QDeadlineTimer m_phase{QDeadlineTimer::Forever};
    Budget m_budget;
    const char* m_name = "";
    quint32 m_connectionNumber = 0;
    QString m_cameraName;
    quint32 m_nextTransactionId = 0;
    quint32 m_payloadWritten = 0;
};

#endif
