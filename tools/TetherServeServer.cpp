#include "TetherServeServer.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

const int kStepMs = 100;
const std::size_t kBufferSize = 4096;

// Readable (events POLLIN) or writable (POLLOUT) within ms.
bool ready(socket_t sock, short events, int ms)
{
    pollfd entry{sock, events, 0};
    int result;
    do {
        result = ::poll(&entry, 1, ms);
    } while (result < 0 && errno == EINTR);
    return result > 0 && (entry.revents & (events | POLLHUP | POLLERR)) != 0;
}

void addressOf(socket_t sock, bool peer, std::string& ip, int& port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    const int result = peer ? ::getpeername(sock, raw, &length) : ::getsockname(sock, raw, &length);
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (result != 0 || ::getnameinfo(raw, length, host, sizeof host, service, sizeof service,
                                     NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return;
    ip = host;
    port = std::atoi(service);
}

// One connection. Reads are buffered (the library reads headers a byte at a
// time) and counted against the request's budget of bytes and time; writes
// wait at most the write timeout for room, and never raise SIGPIPE.
class BoundedStream : public httplib::Stream
{
public:
    BoundedStream(socket_t sock, int readMs, int writeMs, std::size_t requestBytes, int requestMs)
        : m_sock(sock)
        , m_readMs(readMs)
        , m_writeMs(writeMs)
        , m_requestBytes(requestBytes)
        , m_requestMs(requestMs)
    {
    }

    void beginRequest()
    {
        m_bytesRead = 0;
        m_deadline = Clock::now() + std::chrono::milliseconds(m_requestMs);
    }

    bool is_readable() const override { return ready(m_sock, POLLIN, readWaitMs()); }
    bool is_writable() const override { return ready(m_sock, POLLOUT, m_writeMs); }

    ssize_t read(char* ptr, std::size_t size) override
    {
        if (m_begin == m_end && !fill())
            return -1;
        const std::size_t count = std::min(size, m_end - m_begin);
        std::memcpy(ptr, m_buffer + m_begin, count);
        m_begin += count;
        return ssize_t(count);
    }

    ssize_t write(const char* ptr, std::size_t size) override
    {
        if (!is_writable())
            return -1;
        ssize_t sent;
        do {
            sent = ::send(m_sock, ptr, size, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        return sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { addressOf(m_sock, true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { addressOf(m_sock, false, ip, port); }
    socket_t socket() const override { return m_sock; }

private:
    int readWaitMs() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
        return int(std::max<long long>(0, std::min<long long>(m_readMs, left)));
    }

    bool fill()
    {
        if (m_bytesRead >= m_requestBytes || !is_readable())
            return false;
        ssize_t count;
        do {
            count = ::recv(m_sock, m_buffer, std::min(kBufferSize, m_requestBytes - m_bytesRead), 0);
        } while (count < 0 && errno == EINTR);
        if (count <= 0)
            return false;
        m_bytesRead += std::size_t(count);
        m_begin = 0;
        m_end = std::size_t(count);
        return true;
    }

    const socket_t m_sock;
    const int m_readMs;
    const int m_writeMs;
    const std::size_t m_requestBytes;
    const int m_requestMs;
    std::size_t m_bytesRead = 0;
    Clock::time_point m_deadline;
    char m_buffer[kBufferSize];
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};

} // namespace

TetherServeServer::TetherServeServer(std::size_t requestBytes, int requestMs)
    : m_requestBytes(requestBytes)
    , m_requestMs(requestMs)
{
}

// The library's own connection loop, with the bounded stream. A request
// whose data runs over its budget fails to parse, and the connection ends.
bool TetherServeServer::process_and_close_socket(socket_t sock)
{
    BoundedStream stream(sock, int(read_timeout_sec_ * 1000 + read_timeout_usec_ / 1000),
                         int(write_timeout_sec_ * 1000 + write_timeout_usec_ / 1000), m_requestBytes, m_requestMs);
    bool served = false;
    for (std::size_t left = keep_alive_max_count_; left > 0 && awaitRequest(sock); --left) {
        stream.beginRequest();
        bool closed = false;
        served = process_request(stream, left == 1, closed, nullptr);
        if (!served || closed)
            break;
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return served;
}

bool TetherServeServer::awaitRequest(socket_t sock) const
{
    const auto deadline = Clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
    while (svr_sock_ != INVALID_SOCKET) {
        if (ready(sock, POLLIN, kStepMs))
            return true;
        if (Clock::now() >= deadline)
            return false;
    }
    return false;
}
