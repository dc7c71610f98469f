#include "TetherServeFeed.h"

#include <algorithm>
#include <chrono>

TetherServeFeed::PiecePtr TetherServeFeed::event(std::uint64_t id, const std::string& type, const std::string& data)
{
    return std::make_shared<const Piece>(
        Piece{id, "id: " + std::to_string(id) + "\nevent: " + type + "\ndata: " + data + "\n\n"});
}

TetherServeFeed::TetherServeFeed(const Limits& limits)
    : m_limits(limits)
{
}

TetherServeFeed::ClientPtr TetherServeFeed::join(std::optional<std::uint64_t> resumeAfter)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (m_closed || m_clients.size() >= m_limits.clients)
        return nullptr;
    auto client = std::make_shared<Client>();
    if (resumeAfter) {
        for (const PiecePtr& piece : m_history) {
            if (piece->id > *resumeAfter)
                push(*client, piece);
        }
    }
    m_clients.push_back(client);
    return client;
}

void TetherServeFeed::leave(const ClientPtr& client)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
}

std::size_t TetherServeFeed::clients() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_clients.size();
}

void TetherServeFeed::publish(PiecePtr piece)
{
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (m_limits.history > 0) {
            m_history.push_back(piece);
            if (m_history.size() > m_limits.history)
                m_history.pop_front();
        }
        for (const ClientPtr& client : m_clients)
            push(*client, piece);
    }
    m_wake.notify_all();
}

// Under m_mutex.
void TetherServeFeed::push(Client& client, const PiecePtr& piece)
{
    if (client.queue.size() >= m_limits.depth) {
        client.queue.pop_front();
        client.ended = client.ended || m_limits.endLagging;
    }
    client.queue.push_back(piece);
}

TetherServeFeed::Next TetherServeFeed::next(const ClientPtr& client, PiecePtr* piece, int waitMs)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_wake.wait_for(locker, std::chrono::milliseconds(waitMs),
                    [&] { return client->ended || !client->queue.empty(); });
    if (client->ended)
        return Next::Ended;
    if (client->queue.empty())
        return Next::Idle;
    *piece = client->queue.front();
    client->queue.pop_front();
    return Next::Piece;
}

void TetherServeFeed::endAll(bool closing)
{
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_closed = m_closed || closing;
        for (const ClientPtr& client : m_clients)
            client->ended = true;
    }
    m_wake.notify_all();
}
