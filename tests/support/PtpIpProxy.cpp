#include "PtpIpProxy.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_PtpIpPacket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

typedef BRX_Commu_PtpIpPacket Packet;

// A length beyond this is no packet of a camera: the direction is then
// passed on unframed.
const quint32 kMaxFramedPacket = 1u << 20;
// Bytes waiting to go one way before the other side is read no further.
const qint64 kMaxQueued = 8 << 20;
const int kReadChunk = 64 * 1024;
const int kIdlePollMs = 50;
// A throttled direction writes in slices of this much time.
const int kThrottleSliceMs = 10;

PtpIpProxy::Direction opposite(PtpIpProxy::Direction direction)
{
    return direction == PtpIpProxy::kToHost ? PtpIpProxy::kToCamera : PtpIpProxy::kToHost;
}

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// The peer gets a reset, not an orderly end.
void abortSocket(int fd)
{
    const linger abortive{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::close(fd);
}

int connectLoopback(const QString& host, quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &address.sin_addr) != 1
        || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    setNonBlocking(fd);
    return fd;
}

quint32 packetType(const QByteArray& packet)
{
    return BRX_Commu_ByteReader(packet.constData(), quint32(packet.size())).readU32At(4);
}

} // namespace

struct PtpIpProxy::Flow {
    QByteArray framing; // read, not yet a whole packet
    bool raw = false;   // passed on unframed
    std::deque<std::pair<qint64, QByteArray>> queue; // due time, bytes
    qint64 queued = 0;
    qint64 nextWriteMs = 0;
};

// fds[d] and closed[d] are the side that flow d is written to.
struct PtpIpProxy::Connection {
    int fds[2] = {-1, -1};
    bool closed[2] = {false, false};
    Flow flows[2];
    int role = -1;
    bool stalled = false;
};

PtpIpProxy::PtpIpProxy(const QString& cameraHost, quint16 cameraPort)
    : m_cameraHost(cameraHost)
    , m_cameraPort(cameraPort)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 && ::listen(m_listener, 64) == 0
        && ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&local), &length) == 0)
        m_port = ntohs(local.sin_port);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread(&PtpIpProxy::run, this);
}

PtpIpProxy::~PtpIpProxy()
{
    m_stop = true;
    wake();
    m_thread.join();
    for (const std::unique_ptr<Connection>& connection : m_connections) {
        for (int fd : connection->fds) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    ::close(m_listener);
    ::close(m_wakeFd);
}

QString PtpIpProxy::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

void PtpIpProxy::setFilter(Role role, Direction direction, const Filter& filter)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_filters[role][direction] = filter;
}

void PtpIpProxy::setSource(Role role, Direction direction, const Source& source)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_sources[role][direction] = source;
    wake();
}

void PtpIpProxy::inject(Role role, Direction direction, const QByteArray& bytes)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    for (const std::unique_ptr<Connection>& connection : m_connections) {
        if (connection->role != role)
            continue;
        Flow& flow = connection->flows[direction];
        flow.queue.emplace_back(nowMs() + m_delayMs[direction], bytes);
        flow.queued += bytes.size();
    }
    wake();
}

void PtpIpProxy::setDelay(Direction direction, int ms)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_delayMs[direction] = ms;
}

void PtpIpProxy::setThrottle(Direction direction, int bytesPerSecond)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_throttle[direction] = bytesPerSecond;
    wake();
}

void PtpIpProxy::stall()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    for (const std::unique_ptr<Connection>& connection : m_connections)
        connection->stalled = true;
}

void PtpIpProxy::resetInData(quint64 afterBytes)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_resetAfter = qint64(afterBytes);
}

void PtpIpProxy::dropEvents()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    for (const std::unique_ptr<Connection>& connection : m_connections) {
        if (connection->role == kEvents)
            reset(*connection);
    }
    wake();
}

void PtpIpProxy::partition()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_partitioned = true;
    wake();
}

void PtpIpProxy::heal()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    healLocked();
    wake();
}

int PtpIpProxy::connectionCount(Role role) const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_counts[role];
}

int PtpIpProxy::openConnections() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return int(std::count_if(m_connections.begin(), m_connections.end(),
                             [](const std::unique_ptr<Connection>& connection) { return connection->fds[0] >= 0; }));
}

// One poll over the listener, the wake-up and both sides of each connection.
void PtpIpProxy::run()
{
    while (!m_stop) {
        std::vector<pollfd> waits;
        {
            std::lock_guard<std::mutex> locker(m_mutex);
            feedSources();
            waits.push_back({m_wakeFd, POLLIN, 0});
            waits.push_back({m_partitioned ? -1 : m_listener, POLLIN, 0});
            for (const std::unique_ptr<Connection>& connection : m_connections) {
                for (Direction side : {kToCamera, kToHost})
                    waits.push_back({connection->closed[side] ? -1 : connection->fds[side],
                                     pollEvents(*connection, side), 0});
            }
        }
        ::poll(waits.data(), waits.size(), pollTimeoutMs());
        std::lock_guard<std::mutex> locker(m_mutex);
        quint64 drained;
        if (waits[0].revents)
            (void)::read(m_wakeFd, &drained, sizeof drained);
        // Connections are only ever appended here: the first ones match waits.
        const size_t known = m_connections.size();
        for (size_t i = 0; i < known; ++i)
            serviceConnection(*m_connections[i], waits[2 + 2 * i + kToHost].revents,
                              waits[2 + 2 * i + kToCamera].revents);
        if (waits[1].revents & POLLIN)
            acceptHost();
        m_connections.erase(std::remove_if(m_connections.begin(), m_connections.end(),
                                           [](const std::unique_ptr<Connection>& connection) {
                                               return connection->fds[0] < 0 && connection->fds[1] < 0;
                                           }),
                            m_connections.end());
    }
}

void PtpIpProxy::acceptHost()
{
    const int host = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (host < 0)
        return;
    const int camera = connectLoopback(m_cameraHost, m_cameraPort);
    if (camera < 0) {
        ::close(host);
        return;
    }
    setNonBlocking(host);
    std::unique_ptr<Connection> connection(new Connection);
    connection->fds[kToHost] = host;
    connection->fds[kToCamera] = camera;
    m_connections.push_back(std::move(connection));
}

// hostEvents are those of the host's side, whose bytes go to the camera.
void PtpIpProxy::serviceConnection(Connection& connection, short hostEvents, short cameraEvents)
{
    const short events[2] = {cameraEvents, hostEvents};
    for (Direction side : {kToCamera, kToHost}) {
        if (connection.fds[side] < 0 || connection.closed[side] || !events[side])
            continue;
        if (!passes(connection)) {
            // Such a side is watched for its close alone.
            connection.closed[side] = (events[side] & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
            continue;
        }
        const Direction readFlow = opposite(side);
        if ((events[side] & (POLLIN | POLLHUP | POLLERR)) && !readFrom(connection, readFlow))
            connection.closed[side] = true;
        if ((events[side] & POLLOUT) && !writeTo(connection, side))
            connection.closed[side] = true;
    }
    for (Direction direction : {kToCamera, kToHost}) {
        if (passes(connection) && !connection.closed[direction] && connection.fds[direction] >= 0
            && !writeTo(connection, direction))
            connection.closed[direction] = true;
    }
    // A partition keeps the other side open until the heal.
    if ((connection.closed[0] || connection.closed[1]) && !m_partitioned) {
        for (int& fd : connection.fds) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
    }
}

// False once the side it reads from has closed.
bool PtpIpProxy::readFrom(Connection& connection, Direction direction)
{
    Flow& flow = connection.flows[direction];
    const int fd = connection.fds[opposite(direction)];
    char buffer[kReadChunk];
    while (connection.flows[direction].queued < kMaxQueued && connection.fds[opposite(direction)] >= 0) {
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return false;
        if (count < 0)
            return true;
        flow.framing.append(buffer, int(count));
        frame(connection, direction);
    }
    return true;
}

// Whole packets go on one by one; the first the host sends names the
// connection's role.
void PtpIpProxy::frame(Connection& connection, Direction direction)
{
    Flow& flow = connection.flows[direction];
    while (!flow.raw && flow.framing.size() >= int(Packet::kHeaderSize)) {
        const quint32 length = BRX_Commu_ByteReader(flow.framing.constData(), Packet::kHeaderSize).readU32At(0);
        if (length < Packet::kHeaderSize || length > kMaxFramedPacket) {
            flow.raw = true;
            break;
        }
        if (quint32(flow.framing.size()) < length)
            return;
        const QByteArray packet = flow.framing.left(int(length));
        flow.framing.remove(0, int(length));
        if (connection.role < 0 && direction == kToCamera) {
            const quint32 type = packetType(packet);
            connection.role = type == Packet::kInitEventRequest ? kEvents : kCommand;
            ++m_counts[connection.role];
        }
        pass(connection, direction, packet);
        if (connection.fds[0] < 0)
            return; // reset in the middle of it
    }
    if (flow.raw && !flow.framing.isEmpty()) {
        pass(connection, direction, flow.framing);
        flow.framing.clear();
    }
}

void PtpIpProxy::pass(Connection& connection, Direction direction, const QByteArray& packet)
{
    if (connection.role == kCommand && direction == kToHost) {
        countData(connection, packet);
        if (connection.fds[0] < 0)
            return;
    }
    const Filter& filter = connection.role < 0 ? Filter() : m_filters[connection.role][direction];
    const QByteArray bytes = filter ? filter(packet) : packet;
    if (bytes.isEmpty())
        return;
    Flow& flow = connection.flows[direction];
    flow.queue.emplace_back(nowMs() + m_delayMs[direction], bytes);
    flow.queued += bytes.size();
}

// The reset falls on a Data packet, so that the data phase is cut short.
void PtpIpProxy::countData(Connection& connection, const QByteArray& packet)
{
    const quint32 type = packetType(packet);
    if (m_resetAfter < 0 || !Packet::isData(type))
        return;
    m_resetAfter -= std::min<qint64>(m_resetAfter, packet.size() - Packet::kHeaderSize - Packet::kDataPrefixSize);
    if (m_resetAfter == 0 && type == Packet::kData) {
        m_resetAfter = -1;
        reset(connection);
    }
}

// False once the side written to has closed.
bool PtpIpProxy::writeTo(Connection& connection, Direction direction)
{
    Flow& flow = connection.flows[direction];
    const int throttle = m_throttle[direction];
    while (!flow.queue.empty() && flow.queue.front().first <= nowMs()) {
        if (throttle > 0 && flow.nextWriteMs > nowMs())
            return true;
        QByteArray& bytes = flow.queue.front().second;
        const int slice = throttle > 0 ? std::max(1, throttle * kThrottleSliceMs / 1000) : bytes.size();
        const ssize_t count =
            ::send(connection.fds[direction], bytes.constData(), size_t(std::min(slice, bytes.size())), MSG_NOSIGNAL);
        if (count < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        bytes.remove(0, int(count));
        flow.queued -= count;
        if (throttle > 0)
            flow.nextWriteMs = nowMs() + count * 1000 / throttle;
        if (bytes.isEmpty())
            flow.queue.pop_front();
    }
    return true;
}

// A direction with nothing left to send asks its source, so that the poll
// waits for room to write what it gives.
void PtpIpProxy::feedSources()
{
    for (const std::unique_ptr<Connection>& connection : m_connections) {
        for (Direction direction : {kToCamera, kToHost}) {
            Flow& flow = connection->flows[direction];
            const Source& source = connection->role < 0 ? Source() : m_sources[connection->role][direction];
            if (!flow.queue.empty() || !source || !passes(*connection) || connection->fds[direction] < 0)
                continue;
            const QByteArray bytes = source();
            if (bytes.isEmpty())
                continue;
            flow.queue.emplace_back(nowMs() + m_delayMs[direction], bytes);
            flow.queued += bytes.size();
        }
    }
}

// What a side gave up during the partition is reset on the other side.
void PtpIpProxy::healLocked()
{
    m_partitioned = false;
    for (const std::unique_ptr<Connection>& connection : m_connections) {
        if (connection->closed[0] || connection->closed[1])
            reset(*connection);
    }
}

void PtpIpProxy::reset(Connection& connection)
{
    for (int& fd : connection.fds) {
        if (fd >= 0)
            abortSocket(fd);
        fd = -1;
    }
}

bool PtpIpProxy::passes(const Connection& connection) const
{
    return !m_partitioned && !connection.stalled;
}

// A side that does not pass is only watched for its close.
short PtpIpProxy::pollEvents(const Connection& connection, Direction side) const
{
    if (!passes(connection))
        return POLLRDHUP;
    short events = 0;
    if (connection.flows[opposite(side)].queued < kMaxQueued)
        events |= POLLIN;
    const Flow& out = connection.flows[side];
    if (!out.queue.empty() && out.queue.front().first <= nowMs() && out.nextWriteMs <= nowMs())
        events |= POLLOUT;
    return events;
}

// Until the next delayed or throttled bytes are due.
int PtpIpProxy::pollTimeoutMs() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    qint64 timeout = kIdlePollMs;
    const qint64 now = nowMs();
    for (const std::unique_ptr<Connection>& connection : m_connections) {
        for (const Flow& flow : connection->flows) {
            if (!flow.queue.empty())
                timeout = std::min(timeout, std::max(flow.queue.front().first, flow.nextWriteMs) - now);
        }
    }
    return int(std::max<qint64>(timeout, 0));
}

void PtpIpProxy::wake()
{
    const quint64 one = 1;
    (void)::write(m_wakeFd, &one, sizeof one);
}

qint64 PtpIpProxy::nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
