#ifndef TETHERSERVEBRIDGE_H
#define TETHERSERVEBRIDGE_H

#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

// One HTTP answer: status, body and its content type.
struct TetherServeReply {
    int status = 200;
    std::string body;
    std::string type = "application/json";

    static TetherServeReply json(const QJsonObject& object, int status = 200);
    // {"error": reason}
    static TetherServeReply error(int status, const QString& reason);
};

// Carries requests from the HTTP server's threads into the host thread,
// where every library call is made, and their replies back. A job answers
// at once or later (a set waits for the camera's confirmation); the asking
// thread waits at most its timeout, and not at all once the bridge is closed.
class TetherServeBridge
{
public:
    using Answer = std::function<void(const TetherServeReply&)>;
    using Job = std::function<void(const Answer&)>;

    // host: an object of the host thread that outlives the HTTP server; jobs
    // run while the host thread processes events.
    explicit TetherServeBridge(QObject* host);
    // HTTP threads.
    TetherServeReply ask(const Job& job, int timeoutMs) const;
    // Wakes every waiting request and answers every later one with 503.
    void close();

private:
    struct State;
    QObject* const m_host;
    std::shared_ptr<State> m_state;
};

#endif
