#ifndef TETHERSERVESERVER_H
#define TETHERSERVESERVER_H

#include <httplib.h>

#include <cstddef>

// cpp-httplib's server with every connection read through a bounded
// stream: a request (its line, headers and body together) may take at most
// requestBytes and requestMs to arrive, which the library on its own does
// not bound (it limits each header line, not their number). A browser that
// sends more, or too slowly, loses its connection; nobody else notices.
class TetherServeServer : public httplib::Server
{
public:
    TetherServeServer(std::size_t requestBytes, int requestMs);

private:
    // Called by the library in one of its threads for each accepted connection.
    bool process_and_close_socket(socket_t sock) override;
    // Waits for the next request of a kept-alive connection, in short steps
    // so that stopping the server does not wait for it.
    bool awaitRequest(socket_t sock) const;

    const std::size_t m_requestBytes;
    const int m_requestMs;
};

#endif
