#ifndef TETHERSERVESERVER_H
#define TETHERSERVESERVER_H

#include "TetherServeDoor.h"

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// cpp-httplib's request handling behind a door of our own (TetherServeDoor):
// the library's accept loop would give each connection a thread of a fixed
// pool while its request arrives, so slow clients could starve everyone.
// Here the door takes every head; each complete one goes to a worker, and
// there is a worker for every connection at work (their number is bounded
// by the door's caps), so no request waits for a thread. A worker runs the
// library's handling of the request, its body bounded in bytes and time,
// and hands a kept-alive connection back to the door for its next head.
class TetherServeServer : public httplib::Server
{
public:
    struct Limits {
        TetherServeDoor::Limits door;
        std::size_t bodyBytes; // as sent, chunk framing included
        int bodyMs;            // from the head's end
    };

    // headers go with every answer, the door's own included.
    TetherServeServer(const Limits& limits, const httplib::Headers& headers);
    ~TetherServeServer() override;

    // Binds to address and port (0: a free one): the port bound, or -1. A port
    // another server listens on is never shared.
    int bindPort(const std::string& address, int port);
    // Serves the bound port in threads of its own until stopServing().
    bool serve();
    // Closes the port and every connection, and joins the threads. Once.
    void stopServing();

private:
    using ConnectionPtr = TetherServeDoor::ConnectionPtr;

    void dispatch(ConnectionPtr connection);
    void work();
    // True when the connection stays open for another request.
    bool answer(TetherServeDoor::Connection& connection);

    const Limits m_limits;
    TetherServeDoor m_door;
    std::mutex m_mutex; // guards what follows
    std::condition_variable m_jobReady;
    std::deque<ConnectionPtr> m_jobs;
    std::set<int> m_busy; // sockets of the connections at work
    std::vector<std::thread> m_workers;
    std::size_t m_idle = 0;
    bool m_stopping = false;
};

#endif
