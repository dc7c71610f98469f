#ifndef BRX_COMMU_TCPSTREAM_H
#define BRX_COMMU_TCPSTREAM_H

#include "BRX_Commu_PtpIpStream.h"

#include <QString>
#include <memory>

// A TCP connection (POSIX sockets) as a PTP/IP stream.
class BRX_Commu_TcpStream : public BRX_Commu_PtpIpStream
{
public:
    // Connects to host (a name or an IPv4/IPv6 address) at port within
    // timeoutMs; null, with the reason in *error, when that fails.
    static std::unique_ptr<BRX_Commu_TcpStream> connectTo(const QString& host, quint16 port, int timeoutMs,
                                                          QString* error);
    // Takes over a connected socket.
    explicit BRX_Commu_TcpStream(int socket);
    ~BRX_Commu_TcpStream() override;

    BRX_Commu_TcpStream(const BRX_Commu_TcpStream&) = delete;
    BRX_Commu_TcpStream& operator=(const BRX_Commu_TcpStream&) = delete;

    Status read(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override;
    Status write(const quint8* data, quint32 size, int timeoutMs) override;
    void shutdown() override;

private:
    static int connectOne(const void* address, int timeoutMs, QString* error);
    Status waitFor(short events, int timeoutMs);

    const int m_socket;
};

#endif
