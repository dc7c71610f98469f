#ifndef SCRIPTEDPTPIPSTREAM_H
#define SCRIPTEDPTPIPSTREAM_H

#include "BRX_Commu_PtpIpStream.h"

#include <QByteArray>
#include <QList>

// A PTP/IP peer whose every read is scripted: bytes (a read takes as many of
// them as fit), a timeout, or the end, after which each read gives the end
// status (closed unless told otherwise). Writes are recorded. No waiting:
// timeouts return at once. For the protocol tests and the fuzz target.
class ScriptedPtpIpStream : public BRX_Commu_PtpIpStream
{
public:
    ScriptedPtpIpStream() = default;
    // From a fuzz input: pieces of a control byte (its low bits: 0 to 5
    // bytes follow, their count in the next 16 bits; 6 a timeout; 7 the
    // end) until the input ends.
    explicit ScriptedPtpIpStream(const QByteArray& script);

    void addBytes(const QByteArray& bytes) { m_steps << Step{kOk, bytes}; }
    void addTimeout() { m_steps << Step{kTimeout, QByteArray()}; }
    void setEnd(Status status) { m_end = status; }
    QByteArray written() const { return m_written; }

    Status read(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override;
    Status write(const quint8* data, quint32 size, int timeoutMs) override;
    void shutdown() override { m_shutdown = true; }

private:
    struct Step {
        Status status;
        QByteArray bytes;
    };

    QList<Step> m_steps;
    Status m_end = kClosed;
    QByteArray m_written;
    bool m_shutdown = false;
};

#endif
