#ifndef BRX_COMMU_PTPIPREADER_H
#define BRX_COMMU_PTPIPREADER_H

#include "BRX_Commu_PtpIpPacket.h"
#include "BRX_Commu_PtpIpStream.h"

#include <QDeadlineTimer>
#include <vector>

// Reads PTP/IP packets from a stream, trusting nothing the peer sends: a
// length below the header, a body larger than its type can have, an
// unknown type or a body of the wrong layout is malformed; a Data or End
// Data payload is never held whole but handed on as it arrives. A packet
// once begun must be whole (up to a Data payload) within the progress
// limit, however slowly its bytes trickle in; every wait also ends at the
// deadline the owner sets for the phase it reads. Not thread-safe.
class BRX_Commu_PtpIpReader
{
public:
    enum Result {
        kOk,
        kTimeout,   // no byte of a next packet came; the stream is still in step
        kStalled,   // the peer stopped inside a packet, or took too long over it
        kClosed,    // the peer closed the connection, or it failed
        kMalformed, // the bytes are no PTP/IP packet (logged)
        kOverdue,   // the phase's deadline passed
    };

    // name labels the log lines.
    BRX_Commu_PtpIpReader(BRX_Commu_PtpIpStream& stream, const char* name);

    // Reads the next packet: waits at most firstMs for its first byte; the
    // rest of it must follow within progressMs. For Data and End Data
    // packets it reads up to the transaction ID and leaves the payload to
    // readPayload. A payload not read completely is dropped first.
    Result next(BRX_Commu_PtpIpPacket* packet, int firstMs, int progressMs);
    // The label of the log lines from now on.
    void setName(const char* name) { m_name = name; }
    // No wait from now on runs past deadline; one it cuts short is kOverdue.
    void setDeadline(const QDeadlineTimer& deadline) { m_deadline = deadline; }
    // Payload bytes of the current Data or End Data packet not read yet.
    quint32 payloadRemaining() const { return m_payloadRemaining; }
    // Reads the next min(size, payloadRemaining()) payload bytes into dest,
    // waiting at most progressMs for each; a null dest drops them.
    Result readPayload(quint8* dest, quint32 size, int progressMs);

private:
    // How long the next read may wait, and what it means when nothing comes.
    struct Wait {
        int ms;
        Result onTimeout;
    };

    Result readExactly(quint8* dest, quint32 size, int firstMs, int progressMs, QDeadlineTimer* packetEnd);
    Wait nextWait(int baseMs, bool begun, const QDeadlineTimer* packetEnd) const;
    BRX_Commu_PtpIpStream::Status fill(int timeoutMs);
    Result malformed(const char* what, quint32 value);
    quint32 buffered() const { return m_end - m_pos; }

    BRX_Commu_PtpIpStream& m_stream;
    const char* m_name;
    QDeadlineTimer m_deadline{QDeadlineTimer::Forever};
    std::vector<quint8> m_buffer;
    quint32 m_pos = 0;
    quint32 m_end = 0;
    quint32 m_payloadRemaining = 0;
};

#endif
