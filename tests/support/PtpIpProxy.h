#ifndef PTPIPPROXY_H
#define PTPIPPROXY_H

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// A loopback TCP proxy between a PTP/IP host and a camera, for tests of the
// host against a hostile camera and a faulty network. The host connects to
// port(); each of its connections gets one to the camera. The proxy frames
// the packets of each direction and tells a host's two connections apart by
// their first packet, so that a test can rewrite, drop and inject packets
// and feed a direction without end. As the network it delays and throttles
// each direction, stalls the connections open now (a link gone quiet, its
// connections left open), resets the command connection in the middle of a
// data phase, drops the event connection alone, and partitions the network
// for a while: nothing passes, new connections wait, and at the heal the
// connections one side gave up meanwhile are reset on the other, as TCP
// does when the first segment after the heal meets a closed socket.
//
// One thread of its own runs every connection; filters and sources run in
// it and must not call the proxy. Every other function may be called from
// any thread.
class PtpIpProxy
{
public:
    enum Role { kCommand, kEvents };
    enum Direction { kToCamera, kToHost };
    // Given each whole packet of a direction: what goes on in its place (the
    // packet itself to pass it, nothing to drop it, more to add some).
    typedef std::function<QByteArray(const QByteArray& packet)> Filter;
    // Asked whenever a direction has nothing left to send: the next bytes,
    // or nothing for now.
    typedef std::function<QByteArray()> Source;

    // Listens on 127.0.0.1 at a free port; connects to the camera at
    // cameraHost:cameraPort for each host connection.
    PtpIpProxy(const QString& cameraHost, quint16 cameraPort);
    // Closes every connection and joins the thread.
    ~PtpIpProxy();

    PtpIpProxy(const PtpIpProxy&) = delete;
    PtpIpProxy& operator=(const PtpIpProxy&) = delete;

    quint16 port() const { return m_port; }
    // "127.0.0.1:port", as a host names it.
    QString hostAndPort() const;

    // --- A hostile camera ---------------------------------------------------------
    // For the connections of role from now on; an empty filter or source
    // ends the one set before.
    void setFilter(Role role, Direction direction, const Filter& filter);
    void setSource(Role role, Direction direction, const Source& source);
    // Sent after the packet in flight on every open connection of role.
    void inject(Role role, Direction direction, const QByteArray& bytes);

    // --- A faulty network ----------------------------------------------------------
    // Each byte arrives ms later than it was sent.
    void setDelay(Direction direction, int ms);
    // At most bytesPerSecond pass; 0 lifts the limit.
    void setThrottle(Direction direction, int bytesPerSecond);
    // The connections open now pass nothing more, either way, and stay
    // open; a side that closes still closes the other. New ones pass.
    void stall();
    // Once afterBytes more payload bytes of Data packets have gone to the
    // host, the command connection is reset on both sides, in the middle of
    // that data phase.
    void resetInData(quint64 afterBytes);
    // The event connections open now are reset on both sides.
    void dropEvents();
    void partition();
    void heal();

    // --- Inspection ----------------------------------------------------------------
    // Connections of role the host has opened so far.
    int connectionCount(Role role) const;
    // Connections open now (or waiting for the heal).
    int openConnections() const;

private:
    struct Connection;
    struct Flow;

    void run();
    void acceptHost();
    void serviceConnection(Connection& connection, short hostEvents, short cameraEvents);
    bool readFrom(Connection& connection, Direction direction);
    void frame(Connection& connection, Direction direction);
    void pass(Connection& connection, Direction direction, const QByteArray& packet);
    void countData(Connection& connection, const QByteArray& packet);
    bool writeTo(Connection& connection, Direction direction);
    void feedSources();
    void healLocked();
    void reset(Connection& connection);
    bool passes(const Connection& connection) const;
    short pollEvents(const Connection& connection, Direction direction) const;
    int pollTimeoutMs() const;
    void wake();
    static qint64 nowMs();

    int m_listener = -1;
    int m_wakeFd = -1;
    quint16 m_port = 0;
    QString m_cameraHost;
    quint16 m_cameraPort = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<Connection>> m_connections;
    Filter m_filters[2][2];
    Source m_sources[2][2];
    int m_delayMs[2] = {0, 0};
    int m_throttle[2] = {0, 0};
    bool m_partitioned = false;
    qint64 m_resetAfter = -1;
    int m_counts[2] = {0, 0};
    std::thread m_thread;
};

#endif
