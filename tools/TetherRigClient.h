#ifndef TETHERRIGCLIENT_H
#define TETHERRIGCLIENT_H

#include "TetherRigTopics.h"
#include "TetherSession.h"

#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <functional>

class TetherMqtt;

// The rig as its controller sees it through the broker: every node's
// state (retained there, so a controller that starts late knows them all),
// the nodes' answers and file announcements, and commands sent with an ID
// and waited for. Host thread.
class TetherRigClient : public QObject
{
    Q_OBJECT
public:
    TetherRigClient(TetherSession& session, TetherMqtt& mqtt, const TetherRigTopics& topics);

    // Connects to the broker and waits for the nodes' states it keeps:
    // kExitOk, or the exit status once its reason is written (the broker's
    // settings unusable, or the broker not reached within the timeout).
    int start();
    // The latest state of every node ever seen, by label.
    const QMap<QString, QJsonObject>& states() const { return m_states; }
    QStringList onlineLabels() const;
    using Answers = QMap<QString, QJsonObject>; // by label
    using Done = std::function<void(const Answers& answers)>;

    // Sends command (an "id" is added) to the whole rig, or to one node
    // when label is given, and waits until each node of expected has
    // answered, within timeoutMs. The answers by label.
    Answers command(QJsonObject command, const QStringList& expected, int timeoutMs, const QString& label = QString());
    // As command, without waiting: done gets the answers once each node of
    // expected has answered, or when timeoutMs has passed. The command's ID.
    QString send(QJsonObject command, const QStringList& expected, int timeoutMs, const Done& done,
                 const QString& label = QString());
    // A command ID no other controller makes: "kind-TIME-RANDOM".
    static QString newId(const QString& kind);

signals:
    void stateChanged(const QString& label, const QJsonObject& state);
    void fileAnnounced(const QJsonObject& file);

private:
    bool gather(int timeoutMs);

    struct Pending {
        QStringList expected;
        Answers answers;
        Done done;
    };

    void catchMessage(const QString& topic, const QByteArray& payload);
    void catchAnswer(const QString& label, const QJsonObject& answer);
    // Hands the command's answers to its caller, once.
    void finish(const QString& id);

    TetherSession& m_session;
    TetherMqtt& m_mqtt;
    const TetherRigTopics m_topics;
    QMap<QString, QJsonObject> m_states;
    qint64 m_lastStateMs = 0;
    // The commands under way, by ID.
    QHash<QString, Pending> m_pending;
};

#endif
