#include "TetherRigClient.h"
#include "TetherMqtt.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTimer>

namespace {

// Retained states come in one burst after subscribing; this long a pause ends it.
const qint64 kStatesSettleMs = 300;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

TetherRigClient::TetherRigClient(TetherSession& session, TetherMqtt& mqtt, const TetherRigTopics& topics)
    : m_session(session)
    , m_mqtt(mqtt)
    , m_topics(topics)
{
    connect(&mqtt, &TetherMqtt::messageReceived, this, &TetherRigClient::catchMessage);
    mqtt.subscribe(topics.state(QStringLiteral("+")));
    mqtt.subscribe(topics.replies(QStringLiteral("+")));
    mqtt.subscribe(topics.files(QStringLiteral("+")));
}

int TetherRigClient::start()
{
    QString error;
    if (!m_mqtt.start(&error)) {
        m_session.output().error(error);
        return kExitUsage;
    }
    return gather(m_session.options().timeoutMs) ? kExitOk : kExitCamera;
}

bool TetherRigClient::gather(int timeoutMs)
{
    if (!m_session.waitFor([this] { return m_mqtt.isConnected(); }, timeoutMs)) {
        m_session.output().error(QStringLiteral("the broker did not answer"));
        return false;
    }
    m_lastStateMs = nowMs();
    m_session.waitFor([this] { return nowMs() - m_lastStateMs >= kStatesSettleMs; }, timeoutMs);
    return true;
}

QStringList TetherRigClient::onlineLabels() const
{
    QStringList labels;
    for (auto state = m_states.cbegin(); state != m_states.cend(); ++state) {
        if (state->value("online").toBool())
            labels << state.key();
    }
    return labels;
}

TetherRigClient::Answers TetherRigClient::command(QJsonObject command, const QStringList& expected, int timeoutMs,
                                                  const QString& label)
{
    bool over = false;
    Answers answers;
    const QString id = send(command, expected, timeoutMs,
                            [&over, &answers](const Answers& given) {
                                answers = given;
                                over = true;
                            },
                            label);
    m_session.waitFor([&over] { return over; }, -1);
    // Interrupted: the answers would come to nobody.
    m_pending.remove(id);
    return answers;
}

QString TetherRigClient::send(QJsonObject command, const QStringList& expected, int timeoutMs, const Done& done,
                              const QString& label)
{
    const QString id = newId(command.value("action").toString());
    command.insert("id", id);
    m_pending.insert(id, Pending{expected, {}, done});
    m_mqtt.publish(label.isEmpty() ? m_topics.rigCommands() : m_topics.nodeCommands(label),
                   TetherRigTopics::payload(command));
    if (expected.isEmpty())
        finish(id);
    else
        QTimer::singleShot(timeoutMs, this, [this, id] { finish(id); });
    return id;
}

void TetherRigClient::finish(const QString& id)
{
    if (!m_pending.contains(id))
        return;
    const Pending pending = m_pending.take(id);
    pending.done(pending.answers);
}

void TetherRigClient::catchAnswer(const QString& label, const QJsonObject& answer)
{
    const QString id = answer.value("id").toString();
    auto pending = m_pending.find(id);
    if (pending == m_pending.end())
        return;
    pending->answers.insert(label, answer);
    for (const QString& node : qAsConst(pending->expected)) {
        if (!pending->answers.contains(node))
            return;
    }
    finish(id);
}

QString TetherRigClient::newId(const QString& kind)
{
    return QStringLiteral("%1-%2-%3")
        .arg(kind, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmsszzz")))
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

void TetherRigClient::catchMessage(const QString& topic, const QByteArray& payload)
{
    const QString label = m_topics.labelOf(topic);
    const QJsonObject object = TetherRigTopics::read(payload);
    if (label.isEmpty() || object.isEmpty())
        return;
    if (topic == m_topics.state(label)) {
        m_states.insert(label, object);
        m_lastStateMs = nowMs();
        emit stateChanged(label, object);
    } else if (topic == m_topics.files(label)) {
        // The topic says whose file it is.
        QJsonObject file = object;
        file.insert("label", label);
        emit fileAnnounced(file);
    } else if (topic == m_topics.replies(label)) {
        catchAnswer(label, object);
    }
}
