#include "TetherServeDoor.h"

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

using Clock = std::chrono::steady_clock;

const std::size_t kReadSize = 4096;
const std::string kHeadEnd = "\r\n\r\n";
// What a refused client has sent already is read before closing (so that
// the close does not reset the connection before the answer is read), up to this.
const int kDrainReads = 16;
// Out of descriptors: the pending connection stays queued, so the next try waits this long.
const auto kAcceptBackOff = std::chrono::milliseconds(10);
// A flood of new connections leaves the heads under way their turn.
const int kAcceptsPerTurn = 64;

const char* statusText(int status)
{
    switch (status) {
    case 408:
        return "Request Timeout";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Service Unavailable";
    }
}

std::string numericAddress(const sockaddr_storage& address, socklen_t length)
{
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, nullptr, 0,
                      NI_NUMERICHOST)
        != 0)
        return std::string();
    return host;
}

// For poll: until when, rounded up; -1 for never.
int waitMs(Clock::time_point when)
{
    if (when == Clock::time_point::max())
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count() + 1;
    return int(std::clamp<long long>(left, 0, INT_MAX));
}

} // namespace

TetherServeDoor::TetherServeDoor(const Limits& limits, const std::string& headers)
    : m_limits(limits)
    , m_headers(headers)
{
}

TetherServeDoor::~TetherServeDoor()
{
    shut();
}

bool TetherServeDoor::open(int listener, HeadHandler handler)
{
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wake < 0)
        return false;
    m_listener = listener;
    m_handler = std::move(handler);
    m_thread = std::thread([this] { run(); });
    return true;
}

void TetherServeDoor::readNext(ConnectionPtr connection)
{
    connection->deadline = Clock::now() + std::chrono::milliseconds(m_limits.headMs);
    std::unique_lock<std::mutex> locker(m_mutex);
    if (m_shut) {
        locker.unlock();
        close(std::move(connection));
        return;
    }
    m_returned.push_back(std::move(connection));
    locker.unlock();
    wake();
}

// The place is given back before the socket closes, so a client that sees
// the close may count on it.
void TetherServeDoor::close(ConnectionPtr connection)
{
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (--m_perAddress[connection->address] == 0)
            m_perAddress.erase(connection->address);
        --m_open;
    }
    ::close(connection->socket);
}

void TetherServeDoor::shut()
{
    std::vector<ConnectionPtr> returned;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (m_shut)
            return;
        m_shut = true;
    }
    if (m_thread.joinable()) {
        wake();
        m_thread.join();
    }
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        returned.swap(m_returned);
    }
    for (ConnectionPtr& connection : returned)
        close(std::move(connection));
    if (m_wake >= 0)
        ::close(m_wake);
}

// --- The door's thread --------------------------------------------------------------------

void TetherServeDoor::run()
{
    std::vector<ConnectionPtr> waiting;
    while (takeReturned(waiting)) {
        std::vector<pollfd> watched{{m_wake, POLLIN, 0}, {m_listener, POLLIN, 0}};
        Clock::time_point nearest = Clock::time_point::max();
        for (const ConnectionPtr& connection : waiting) {
            watched.push_back({connection->socket, POLLIN, 0});
            nearest = std::min(nearest, connection->deadline);
        }
        ::poll(watched.data(), watched.size(), waitMs(nearest));
        eventfd_t wakes;
        ::eventfd_read(m_wake, &wakes);
        std::vector<ConnectionPtr> still;
        for (std::size_t index = 0; index < waiting.size(); ++index) {
            const Head head = watched[index + 2].revents != 0 ? receive(*waiting[index]) : Head::Awaited;
            if (!settle(waiting[index], head))
                still.push_back(std::move(waiting[index]));
        }
        waiting.swap(still);
        if (watched[1].revents != 0)
            acceptNew(waiting);
    }
    for (ConnectionPtr& connection : waiting)
        close(std::move(connection));
}

bool TetherServeDoor::takeReturned(std::vector<ConnectionPtr>& waiting)
{
    std::vector<ConnectionPtr> returned;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (m_shut)
            return false;
        returned.swap(m_returned);
    }
    // A client may have sent its next request along with the last one.
    for (ConnectionPtr& connection : returned) {
        if (!settle(connection, inspect(*connection, 0)))
            waiting.push_back(std::move(connection));
    }
    return true;
}

void TetherServeDoor::acceptNew(std::vector<ConnectionPtr>& waiting)
{
    for (int taken = 0; taken < kAcceptsPerTurn; ++taken) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int socket = ::accept4(m_listener, reinterpret_cast<sockaddr*>(&address), &length,
                                     SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (socket < 0) {
            if (errno == EMFILE || errno == ENFILE)
                std::this_thread::sleep_for(kAcceptBackOff);
            return;
        }
        auto connection = std::make_unique<Connection>();
        connection->socket = socket;
        connection->address = numericAddress(address, length);
        connection->deadline = Clock::now() + std::chrono::milliseconds(m_limits.headMs);
        if (const char* refusal = admit(connection->address)) {
            refuse(socket, 503, refusal);
            ::close(socket);
        } else {
            waiting.push_back(std::move(connection));
        }
    }
}

const char* TetherServeDoor::admit(const std::string& address)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (m_open >= m_limits.connections)
        return "too many connections: try again later";
    int& mine = m_perAddress[address];
    if (mine >= m_limits.perAddress)
        return "too many connections from this address: close some pages or streams";
    ++mine;
    ++m_open;
    return nullptr;
}

TetherServeDoor::Head TetherServeDoor::receive(Connection& connection) const
{
    const std::size_t before = connection.data.size();
    char buffer[kReadSize];
    ssize_t count;
    do {
        count = ::recv(connection.socket, buffer, std::min(kReadSize, m_limits.headBytes - before), 0);
    } while (count < 0 && errno == EINTR);
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return Head::Awaited;
    if (count <= 0)
        return Head::Closed;
    connection.data.append(buffer, std::size_t(count));
    return inspect(connection, before < kHeadEnd.size() ? 0 : before - kHeadEnd.size() + 1);
}

TetherServeDoor::Head TetherServeDoor::inspect(Connection& connection, std::size_t from) const
{
    const std::size_t end = connection.data.find(kHeadEnd, from);
    if (end != std::string::npos && end + kHeadEnd.size() <= m_limits.headBytes) {
        connection.headSize = end + kHeadEnd.size();
        return Head::Complete;
    }
    return connection.data.size() >= m_limits.headBytes ? Head::TooLarge : Head::Awaited;
}

bool TetherServeDoor::settle(ConnectionPtr& connection, Head head)
{
    switch (head) {
    case Head::Awaited:
        if (Clock::now() < connection->deadline)
            return false;
        refuse(connection->socket, 408, "the request took too long to arrive");
        break;
    case Head::TooLarge:
        refuse(connection->socket, 431, "the request line and headers are too large");
        break;
    case Head::Complete:
        m_handler(std::move(connection));
        return true;
    case Head::Closed:
        break;
    }
    close(std::move(connection));
    return true;
}

// Says why in a small JSON answer, if the socket takes it at once.
void TetherServeDoor::refuse(int socket, int status, const char* reason) const
{
    const std::string body = std::string("{\"error\":\"") + reason + "\"}";
    const std::string answer = "HTTP/1.1 " + std::to_string(status) + ' ' + statusText(status)
                             + "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size())
                             + "\r\nConnection: close\r\n" + m_headers + "\r\n" + body;
    ::send(socket, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    char sink[kReadSize];
    for (int read = 0; read < kDrainReads && ::recv(socket, sink, sizeof sink, MSG_DONTWAIT) > 0; ++read) {
    }
    ::shutdown(socket, SHUT_WR);
}

void TetherServeDoor::wake() const
{
    ::eventfd_write(m_wake, 1);
}
