#ifndef TETHERSERVEBRIDGE_H
#define TETHERSERVEBRIDGE_H

#include <QJsonObject>
#include <QObject>
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
// Jobs wait in a queue the std::mutex guards, so that ThreadSanitizer sees
// every hand-over (Qt's own event queue is invisible to it).
class TetherServeBridge : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<void(const TetherServeReply&)>;
    using Job = std::function<void(const Answer&)>;

    // Made in the host thread, where jobs run while it processes events.
    TetherServeBridge();
    // HTTP threads.
    TetherServeReply ask(const Job& job, int timeoutMs);
    // Wakes every waiting request and answers every later one with 503.
    void close();

private:
    Q_INVOKABLE void runPendingJobs();

    struct State;
    std::shared_ptr<State> m_state;
};

#endif
