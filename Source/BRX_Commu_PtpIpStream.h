#ifndef BRX_COMMU_PTPIPSTREAM_H
#define BRX_COMMU_PTPIPSTREAM_H

#include <QtGlobal>

// One byte stream of a PTP/IP connection: the seam between the PTP/IP
// packets and the platform's sockets (a TCP connection for cameras, a
// scripted stream for tests and fuzzing). Reads and writes block; a stream
// is used by one thread at a time, except shutdown.
class BRX_Commu_PtpIpStream
{
public:
    enum Status {
        kOk,
        kTimeout, // nothing moved within the time given
        kClosed   // the peer closed, the connection failed, or shutdown was called
    };

    virtual ~BRX_Commu_PtpIpStream() = default;

    // Reads up to capacity bytes, waiting at most timeoutMs for the first:
    // kOk with *received > 0, kTimeout with 0, kClosed.
    virtual Status read(quint8* data, quint32 capacity, quint32* received, int timeoutMs) = 0;
    // Writes all size bytes within timeoutMs; kTimeout when the peer did not
    // take them all in that time.
    virtual Status write(const quint8* data, quint32 size, int timeoutMs) = 0;
    // Ends the connection both ways: a read or write blocked in another
    // thread returns kClosed at once, and so does every later one. Any thread.
    virtual void shutdown() = 0;
};

#endif
