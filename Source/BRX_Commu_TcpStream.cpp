#include "BRX_Commu_TcpStream.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Requests and responses are small and answered one by one: they must not
// wait for more to fill a segment.
void tuneSocket(int socket)
{
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace

std::unique_ptr<BRX_Commu_TcpStream> BRX_Commu_TcpStream::connectTo(const QString& host, quint16 port,
                                                                     int timeoutMs, QString* error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints,
                                       &found);
    if (resolved != 0) {
        *error = QString::fromLocal8Bit(::gai_strerror(resolved));
        return nullptr;
    }
    int socket = -1;
    for (const addrinfo* address = found; address && socket < 0; address = address->ai_next)
        socket = connectOne(address, timeoutMs, error);
    ::freeaddrinfo(found);
    return socket < 0 ? nullptr : std::unique_ptr<BRX_Commu_TcpStream>(new BRX_Commu_TcpStream(socket));
}

// A connection attempt that cannot be abandoned after timeoutMs would hold
// the caller for the system's own limit (minutes on a lost network).
int BRX_Commu_TcpStream::connectOne(const void* candidate, int timeoutMs, QString* error)
{
    const addrinfo* address = static_cast<const addrinfo*>(candidate);
    const int socket = ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                                address->ai_protocol);
    if (socket < 0) {
        *error = systemError(errno);
        return -1;
    }
    int result = ::connect(socket, address->ai_addr, address->ai_addrlen);
    if (result < 0 && errno == EINPROGRESS) {
        pollfd waiting{socket, POLLOUT, 0};
        int soError = ETIMEDOUT;
        socklen_t length = sizeof soError;
        if (::poll(&waiting, 1, timeoutMs) == 1)
            ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &soError, &length);
        errno = soError;
        result = soError == 0 ? 0 : -1;
    }
    if (result < 0) {
        *error = systemError(errno);
        ::close(socket);
        return -1;
    }
    tuneSocket(socket);
    return socket;
}

BRX_Commu_TcpStream::BRX_Commu_TcpStream(int socket)
    : m_socket(socket)
{
    ::fcntl(m_socket, F_SETFL, ::fcntl(m_socket, F_GETFL) | O_NONBLOCK);
    tuneSocket(m_socket);
}

BRX_Commu_TcpStream::~BRX_Commu_TcpStream()
{
    ::close(m_socket);
}

BRX_Commu_PtpIpStream::Status BRX_Commu_TcpStream::waitFor(short events, int timeoutMs)
{
    pollfd waiting{m_socket, events, 0};
    int ready;
    do {
        ready = ::poll(&waiting, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return kTimeout;
    return ready > 0 && (waiting.revents & events) ? kOk : kClosed;
}

BRX_Commu_PtpIpStream::Status BRX_Commu_TcpStream::read(quint8* data, quint32 capacity, quint32* received,
                                                        int timeoutMs)
{
    *received = 0;
    const Status status = waitFor(POLLIN, timeoutMs);
    if (status != kOk)
        return status;
    ssize_t count;
    do {
        count = ::recv(m_socket, data, capacity, 0);
    } while (count < 0 && errno == EINTR);
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return kTimeout;
    if (count <= 0)
        return kClosed;
    *received = quint32(count);
    return kOk;
}

// A peer that takes a byte now and then must not stretch the write.
BRX_Commu_PtpIpStream::Status BRX_Commu_TcpStream::write(const quint8* data, quint32 size, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (quint32 done = 0; done < size;) {
        const ssize_t count = ::send(m_socket, data + done, size - done, MSG_NOSIGNAL);
        if (count > 0) {
            done += quint32(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return kClosed;
        const Status status = deadline.hasExpired() ? kTimeout : waitFor(POLLOUT, int(deadline.remainingTime()));
        if (status != kOk)
            return status;
    }
    return kOk;
}

void BRX_Commu_TcpStream::shutdown()
{
    ::shutdown(m_socket, SHUT_RDWR);
}
