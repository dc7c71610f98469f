#include "BRX_Commu_TcpListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int kBacklog = 8;

} // namespace

BRX_Commu_TcpListener::BRX_Commu_TcpListener(const QString& address, quint16 port)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    socklen_t length = sizeof local;
    // A server started again at once finds its port still in TIME_WAIT.
    const bool ok = socket >= 0 && ::inet_pton(AF_INET, address.toLatin1().constData(), &local.sin_addr) == 1
        && ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0
        && ::bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0
        && ::listen(socket, kBacklog) == 0
        && ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) == 0;
    if (!ok) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        if (socket >= 0)
            ::close(socket);
        return;
    }
    m_socket = socket;
    m_port = ntohs(local.sin_port);
}

BRX_Commu_TcpListener::~BRX_Commu_TcpListener()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

std::unique_ptr<BRX_Commu_TcpStream> BRX_Commu_TcpListener::accept(int timeoutMs)
{
    if (m_socket < 0)
        return nullptr;
    pollfd waiting{m_socket, POLLIN, 0};
    if (::poll(&waiting, 1, timeoutMs) != 1 || !(waiting.revents & POLLIN))
        return nullptr;
    const int connection = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
    return connection < 0 ? nullptr : std::unique_ptr<BRX_Commu_TcpStream>(new BRX_Commu_TcpStream(connection));
}

void BRX_Commu_TcpListener::shutdown()
{
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
}
