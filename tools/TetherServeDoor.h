#ifndef TETHERSERVEDOOR_H
#define TETHERSERVEDOOR_H

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The door of tether serve's HTTP server: one thread accepts every
// connection and reads its request heads, with no thread of its own per
// connection, so a client that sends slowly holds a socket, never a thread.
// A head must arrive whole within its time and size, whoever sends it (the
// token is checked only once it has); a connection that fails is answered
// 408 or 431 and closed. Connections are counted per client address and in
// all, from acceptance to close, streams included; one beyond either cap is
// answered 503 at once. Only plain sockets here, no HTTP library.
class TetherServeDoor
{
public:
    struct Limits {
        std::size_t headBytes; // request line and headers, up to their blank line
        int headMs;            // from acceptance, or the previous answer, to the head's end
        int perAddress;        // open connections of one client address
        int connections;       // open connections in all
    };

    struct Connection {
        int socket = -1;
        std::string address;      // the client's, numeric
        std::string data;         // received and not yet taken
        std::size_t headSize = 0; // of the complete head at data's start
        std::size_t requests = 0; // answered on this connection so far
        std::chrono::steady_clock::time_point deadline; // of the head awaited
    };
    using ConnectionPtr = std::unique_ptr<Connection>;
    // Takes a connection whose head is complete; runs in the door's thread
    // and must not block.
    using HeadHandler = std::function<void(ConnectionPtr)>;

    // headers: "Name: value\r\n" lines that go with the door's own answers.
    TetherServeDoor(const Limits& limits, const std::string& headers);
    ~TetherServeDoor();

    // Starts the thread on a bound, listening socket, which stays the caller's.
    bool open(int listener, HeadHandler handler);
    // Any thread: awaits the connection's next head (or takes the one it
    // already holds). After shut() it closes the connection instead.
    void readNext(ConnectionPtr connection);
    // Any thread: closes the connection and gives its place back.
    void close(ConnectionPtr connection);
    // Stops accepting and reading, closes every connection the door holds
    // and joins its thread. The listening socket is left open. Once.
    void shut();

private:
    enum class Head { Awaited, Complete, TooLarge, Closed };

    void run();
    // False once the door is shut.
    bool takeReturned(std::vector<ConnectionPtr>& waiting);
    void acceptNew(std::vector<ConnectionPtr>& waiting);
    // Null when the address may open one more connection (it is counted), else the reason.
    const char* admit(const std::string& address);
    Head receive(Connection& connection) const;
    // Looks for the head's end from byte from on.
    Head inspect(Connection& connection, std::size_t from) const;
    // Hands on a complete head, answers and closes a failed one; false while
    // the head is still awaited.
    bool settle(ConnectionPtr& connection, Head head);
    void refuse(int socket, int status, const char* reason) const;
    void wake() const;

    const Limits m_limits;
    const std::string m_headers;
    int m_listener = -1;
    int m_wake = -1;
    HeadHandler m_handler;
    std::thread m_thread;
    std::mutex m_mutex; // guards what follows
    std::map<std::string, int> m_perAddress;
    int m_open = 0;
    std::vector<ConnectionPtr> m_returned;
    bool m_shut = false;
};

#endif
