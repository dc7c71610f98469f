#ifndef SCRIPTEDPTPIPSTREAM_H
#define SCRIPTEDPTPIPSTREAM_H

#include "BRX_Commu_PtpIpStream.h"

#include <QByteArray>
#include <QList>
#include <atomic>

// A PTP/IP peer whose every read is scripted: bytes (a read takes as many of
// them as fit), a timeout, a quiet spell, or the end, after which each read
// gives the end status (closed unless told otherwise). Writes are recorded.
// Timeouts return at once; only a quiet spell or late bytes take real
// time, as a peer that trickles would, so that the reader's deadlines can
// be met. For the protocol tests and the fuzz target.
class ScriptedPtpIpStream : public BRX_Commu_PtpIpStream
{
public:
    ScriptedPtpIpStream() = default;
    // From a fuzz input: pieces of a control byte (its low bits: 0 to 5
    // bytes follow, their count in the next 16 bits; 6 a timeout; 7 the
    // end; the byte 0xFD alone: the bytes of the previous piece again, as
    // many times as the next 16 bits say) until the input ends. Repeats
    // stop at 32 MiB of bytes in all.
    explicit ScriptedPtpIpStream(const QByteArray& script);

    void addBytes(const QByteArray& bytes) { m_steps << Step{kOk, bytes, 0, 0}; }
    void addTimeout() { m_steps << Step{kTimeout, QByteArray(), 0, 0}; }
    // The peer sends nothing for ms; a read waits out as much of it as its
    // timeout allows.
    void addQuiet(int ms);
    // Each byte after a quiet spell of intervalMs.
    void addTrickle(const QByteArray& bytes, int intervalMs);
    // Bytes that reach the reader only ms later, whatever its read's
    // timeout: a host thread kept off the processor that long.
    void addLate(const QByteArray& bytes, int ms) { m_steps << Step{kOk, bytes, ms, 0}; }
    void setEnd(Status status) { m_end = status; }
    QByteArray written() const { return m_written; }

    Status read(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override;
    Status write(const quint8* data, quint32 size, int timeoutMs) override;
    void shutdown() override { m_shutdown = true; }

private:
    struct Step {
        Status status;
        QByteArray bytes;
        int quietMs;
        int taken; // bytes already read
    };

    bool waitQuietly(Step& step, int timeoutMs);

    QList<Step> m_steps;
    Status m_end = kClosed;
    QByteArray m_written;
    std::atomic<bool> m_shutdown{false};
};

#endif
