#include "TetherServeBridge.h"

#include <QJsonDocument>
#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

struct TetherServeBridge::State {
    std::mutex mutex;
    std::condition_variable answered;
    std::deque<std::function<void()>> pending;
    bool closed = false;
};

namespace {

struct Call {
    bool done = false;
    TetherServeReply reply;
};

} // namespace

TetherServeReply TetherServeReply::json(const QJsonObject& object, int status)
{
    return {status, QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(), "application/json"};
}

TetherServeReply TetherServeReply::error(int status, const QString& reason)
{
    return json(QJsonObject{{"error", reason}}, status);
}

TetherServeBridge::TetherServeBridge()
    : m_state(std::make_shared<State>())
{
}

// The answer may come after the request gave up or the bridge closed: it
// then lands in a call nobody reads.
TetherServeReply TetherServeBridge::ask(const Job& job, int timeoutMs)
{
    const std::shared_ptr<State> state = m_state;
    const auto call = std::make_shared<Call>();
    const Answer answer = [state, call](const TetherServeReply& reply) {
        {
            std::lock_guard<std::mutex> locker(state->mutex);
            if (call->done)
                return;
            call->reply = reply;
            call->done = true;
        }
        state->answered.notify_all();
    };
    std::unique_lock<std::mutex> locker(state->mutex);
    if (state->closed)
        return TetherServeReply::error(503, QStringLiteral("tether serve is ending"));
    state->pending.push_back([job, answer] { job(answer); });
    QMetaObject::invokeMethod(this, "runPendingJobs", Qt::QueuedConnection);
    state->answered.wait_for(locker, std::chrono::milliseconds(timeoutMs),
                             [&] { return call->done || state->closed; });
    if (call->done)
        return call->reply;
    return TetherServeReply::error(503, state->closed ? QStringLiteral("tether serve is ending")
                                                      : QStringLiteral("the camera did not answer in time"));
}

void TetherServeBridge::runPendingJobs()
{
    std::deque<std::function<void()>> jobs;
    {
        std::lock_guard<std::mutex> locker(m_state->mutex);
        jobs.swap(m_state->pending);
    }
    for (const std::function<void()>& job : jobs)
        job();
}

void TetherServeBridge::close()
{
    {
        std::lock_guard<std::mutex> locker(m_state->mutex);
        m_state->closed = true;
    }
    m_state->answered.notify_all();
}
