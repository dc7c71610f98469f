#include "TetherRigClient.h"
#include "TetherMqtt.h"

#include <QDateTime>
#include <QRandomGenerator>

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

QMap<QString, QJsonObject> TetherRigClient::command(QJsonObject command, const QStringList& expected, int timeoutMs,
                                                    const QString& label)
{
    m_awaited = newId(command.value("action").toString());
    m_answers.clear();
    command.insert("id", m_awaited);
    m_mqtt.publish(label.isEmpty() ? m_topics.rigCommands() : m_topics.nodeCommands(label),
                   TetherRigTopics::payload(command));
    m_session.waitFor(
        [this, &expected] {
            for (const QString& node : expected) {
                if (!m_answers.contains(node))
                    return false;
            }
            return true;
        },
        timeoutMs);
    m_awaited.clear();
    return m_answers;
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
    } else if (topic == m_topics.replies(label) && !m_awaited.isEmpty()
               && object.value("id").toString() == m_awaited) {
        m_answers.insert(label, object);
    }
}
