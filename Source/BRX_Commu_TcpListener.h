#ifndef BRX_COMMU_TCPLISTENER_H
#define BRX_COMMU_TCPLISTENER_H

#include "BRX_Commu_TcpStream.h"

#include <QString>
#include <memory>

// A listening TCP socket (POSIX) on one IPv4 address.
class BRX_Commu_TcpListener
{
public:
    // Listens on address at port; port 0 lets the system pick a free one
    // (port() tells which). isListening() says whether it worked.
    BRX_Commu_TcpListener(const QString& address, quint16 port);
    ~BRX_Commu_TcpListener();

    BRX_Commu_TcpListener(const BRX_Commu_TcpListener&) = delete;
    BRX_Commu_TcpListener& operator=(const BRX_Commu_TcpListener&) = delete;

    bool isListening() const { return m_socket >= 0; }
    quint16 port() const { return m_port; }
    // Why listening failed.
    QString error() const { return m_error; }
    // Waits at most timeoutMs for a connection; null on timeout and once
    // shutdown was called.
    std::unique_ptr<BRX_Commu_TcpStream> accept(int timeoutMs);
    // Wakes a blocked accept and refuses every later one. Any thread.
    void shutdown();

private:
    int m_socket = -1;
    quint16 m_port = 0;
    QString m_error;
};

#endif
