#include "TetherServeServer.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

const std::size_t kReadSize = 4096;
const std::string kNoBody = "Content-Length: 0\r\n";

// Readable (events POLLIN) or writable (POLLOUT) within ms.
bool ready(int sock, short events, int ms)
{
    pollfd entry{sock, events, 0};
    int result;
    do {
        result = ::poll(&entry, 1, ms);
    } while (result < 0 && errno == EINTR);
    return result > 0 && (entry.revents & (events | POLLHUP | POLLERR)) != 0;
}

void addressOf(int sock, bool peer, std::string& ip, int& port)
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

std::string headerLines(const httplib::Headers& headers)
{
    std::string lines;
    for (const auto& header : headers)
        lines += header.first + ": " + header.second + "\r\n";
    return lines;
}

// Only the address may be reused (the port of a server that has just
// ended); the library would also share the port with a running server,
// which would then take every other request.
void exclusivePort(socket_t sock)
{
    const int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

bool hasHeader(const std::string& lowerHead, const char* name)
{
    return lowerHead.find(std::string("\r\n") + name + ':') != std::string::npos;
}

// A request that declares no body has none; the library would wait for one
// until the connection ends.
void declareEmptyBody(TetherServeDoor::Connection& connection)
{
    std::string head = connection.data.substr(0, connection.headSize);
    std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (hasHeader(head, "content-length") || hasHeader(head, "transfer-encoding"))
        return;
    connection.data.insert(connection.headSize - 2, kNoBody);
    connection.headSize += kNoBody.size();
}

// One request of a connection: first what the door has received, then the
// socket, with the body's budget of bytes and time. What the request leaves
// unread stays with the connection for the next one. Writes wait at most
// writeMs for room, and never raise SIGPIPE.
class RequestStream : public httplib::Stream
{
public:
    RequestStream(TetherServeDoor::Connection& connection, std::size_t bodyBytes, int bodyMs, int writeMs)
        : m_connection(connection)
        , m_bodyBytes(bodyBytes)
        , m_deadline(Clock::now() + std::chrono::milliseconds(bodyMs))
        , m_writeMs(writeMs)
    {
    }
    ~RequestStream() override { m_connection.data.erase(0, m_taken); }

    bool is_readable() const override
    {
        return m_taken < m_connection.data.size() || ready(socket(), POLLIN, msLeft());
    }
    bool is_writable() const override { return ready(socket(), POLLOUT, m_writeMs); }

    ssize_t read(char* ptr, std::size_t size) override
    {
        if (m_taken == m_connection.data.size() && !receive())
            return -1;
        const std::size_t count = std::min(size, m_connection.data.size() - m_taken);
        std::memcpy(ptr, m_connection.data.data() + m_taken, count);
        m_taken += count;
        return ssize_t(count);
    }

    ssize_t write(const char* ptr, std::size_t size) override
    {
        if (!is_writable())
            return -1;
        ssize_t sent;
        do {
            sent = ::send(socket(), ptr, size, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        return sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { addressOf(socket(), true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { addressOf(socket(), false, ip, port); }
    socket_t socket() const override { return m_connection.socket; }

private:
    int msLeft() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
        return int(std::max<long long>(0, left));
    }

    bool receive()
    {
        if (m_received >= m_bodyBytes || !ready(socket(), POLLIN, msLeft()))
            return false;
        char buffer[kReadSize];
        ssize_t count;
        do {
            count = ::recv(socket(), buffer, std::min(kReadSize, m_bodyBytes - m_received), 0);
        } while (count < 0 && errno == EINTR);
        if (count <= 0)
            return false;
        m_received += std::size_t(count);
        m_connection.data.append(buffer, std::size_t(count));
        return true;
    }

    TetherServeDoor::Connection& m_connection;
    const std::size_t m_bodyBytes;
    const Clock::time_point m_deadline;
    const int m_writeMs;
    std::size_t m_taken = 0;
    std::size_t m_received = 0;
};

} // namespace

TetherServeServer::TetherServeServer(const Limits& limits, const httplib::Headers& headers)
    : m_limits(limits)
    , m_door(limits.door, headerLines(headers))
{
    set_default_headers(headers);
    set_socket_options(exclusivePort);
    // Its Keep-Alive header then says how long the door waits for the next head.
    set_keep_alive_timeout(limits.door.headMs / 1000);
}

TetherServeServer::~TetherServeServer()
{
    stopServing();
}

int TetherServeServer::bindPort(const std::string& address, int port)
{
    const int bound = port > 0 ? (bind_to_port(address, port) ? port : -1) : bind_to_any_port(address);
    // The library's backlog is too short for a crowd that comes at once.
    if (bound > 0)
        ::listen(svr_sock_, SOMAXCONN);
    return bound;
}

bool TetherServeServer::serve()
{
    const socket_t listener = svr_sock_;
    return listener != INVALID_SOCKET && ::fcntl(listener, F_SETFL, O_NONBLOCK) == 0
        && m_door.open(listener, [this](ConnectionPtr connection) { dispatch(std::move(connection)); });
}

void TetherServeServer::stopServing()
{
    m_door.shut();
    // The library ends its streams and file contents when its socket is gone.
    const socket_t listener = svr_sock_.exchange(INVALID_SOCKET);
    if (listener != INVALID_SOCKET)
        ::close(listener);
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_stopping = true;
        for (int socket : m_busy)
            ::shutdown(socket, SHUT_RDWR);
        workers.swap(m_workers);
    }
    m_jobReady.notify_all();
    for (std::thread& worker : workers)
        worker.join();
    for (ConnectionPtr& connection : m_jobs)
        m_door.close(std::move(connection));
    m_jobs.clear();
}

// The door's thread.
void TetherServeServer::dispatch(ConnectionPtr connection)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_jobs.push_back(std::move(connection));
    if (m_jobs.size() > m_idle)
        m_workers.emplace_back([this] { work(); });
    m_jobReady.notify_one();
}

void TetherServeServer::work()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    for (;;) {
        ++m_idle;
        m_jobReady.wait(locker, [this] { return m_stopping || !m_jobs.empty(); });
        --m_idle;
        if (m_stopping)
            return;
        ConnectionPtr connection = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy.insert(connection->socket);
        locker.unlock();
        const bool keep = answer(*connection);
        locker.lock();
        // Once the door is shut, it closes what it is handed.
        m_busy.erase(connection->socket);
        if (keep)
            m_door.readNext(std::move(connection));
        else
            m_door.close(std::move(connection));
    }
}

bool TetherServeServer::answer(TetherServeDoor::Connection& connection)
{
    declareEmptyBody(connection);
    RequestStream stream(connection, m_limits.bodyBytes, m_limits.bodyMs,
                         int(write_timeout_sec_ * 1000 + write_timeout_usec_ / 1000));
    const bool last = ++connection.requests >= keep_alive_max_count_;
    bool closed = false;
    // The handlers answer ranges themselves: the library would promise bytes
    // beyond the file and send overlapping ranges over and over.
    const auto leaveRanges = [](httplib::Request& request) { request.ranges.clear(); };
    return process_request(stream, last, closed, leaveRanges) && !closed && !last;
}
