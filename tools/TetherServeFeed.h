#ifndef TETHERSERVEFEED_H
#define TETHERSERVEFEED_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// One stream of pieces (live-view frames, events) to many HTTP clients. Each
// client has a bounded queue of its own: publishing never waits for a
// client, and a client that falls behind loses its own oldest pieces (and,
// where the feed says so, its stream), never another client's. Any thread.
class TetherServeFeed
{
public:
    struct Piece {
        std::uint64_t id;
        std::string bytes;
    };
    using PiecePtr = std::shared_ptr<const Piece>;

    struct Limits {
        std::size_t clients;  // at most this many at once
        std::size_t depth;    // pieces queued for each client
        std::size_t history;  // pieces kept for clients that resume
        bool endLagging;      // a client whose queue overflows ends
    };

    struct Client {
        std::deque<PiecePtr> queue;
        bool ended = false;
    };
    using ClientPtr = std::shared_ptr<Client>;

    enum class Next { Piece, Idle, Ended };

    explicit TetherServeFeed(const Limits& limits);

    // A Server-Sent Event of the type with data (one line of JSON) and id.
    static PiecePtr event(std::uint64_t id, const std::string& type, const std::string& data);

    // A new client; with resumeAfter it first gets the kept pieces whose id
    // is larger. Null when the feed is full or closed.
    ClientPtr join(std::optional<std::uint64_t> resumeAfter = std::nullopt);
    void leave(const ClientPtr& client);
    std::size_t clients() const;
    void publish(PiecePtr piece);
    // Waits up to waitMs for the client's next piece.
    Next next(const ClientPtr& client, PiecePtr* piece, int waitMs);
    // Ends every client's stream; closing, the feed takes no client again.
    void endAll(bool closing);

private:
    void push(Client& client, const PiecePtr& piece);

    const Limits m_limits;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<ClientPtr> m_clients;
    std::deque<PiecePtr> m_history;
    bool m_closed = false;
};

#endif
