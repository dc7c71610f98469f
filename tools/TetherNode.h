#ifndef TETHERNODE_H
#define TETHERNODE_H

#include "TetherNodeJournal.h"
#include "TetherNodeShutter.h"
#include "TetherRigTopics.h"
#include "TetherServe.h"
#include "TetherSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QStringList>
#include <QTimer>

class TetherMqtt;

// tether node: one camera of a rig. It tethers and serves its camera as
// serve does (every picture is kept in its own folder first, and fetched
// from there over HTTP with the token), and meets the rig through the
// broker: it keeps its state there (retained; the last will marks it
// offline), announces every saved file (name, size, SHA-256, where to fetch
// it), and carries out the commands addressed to the rig or to itself
// (set, shoot at a wall-clock time, live view, announce again), answering
// each. A command ID seen before is not carried out again; its answer is
// repeated. Host thread.
class TetherNode : public QObject
{
    Q_OBJECT
public:
    static QList<QCommandLineOption> options();
    static int run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);

    TetherNode(TetherSession& session, const TetherServe::Station& station, TetherMqtt& mqtt,
               const TetherRigTopics& topics, const QString& label, const QString& folder);

    // The state without the node: what the last will says.
    static QByteArray offlineState(const QString& label);
    // Publishes the offline state; the caller says goodbye to the broker.
    void leave();

private:
    void catchConnection(bool connected);
    void catchMessage(const QString& topic, const QByteArray& payload);
    void catchCommand(const QJsonObject& command);
    void carryOut(const QString& id, const QString& action, const QJsonObject& command);
    void doSet(const QString& id, const QJsonObject& command);
    void doShoot(const QString& id, const QJsonObject& command);
    void doLiveView(const QString& id, const QJsonObject& command);
    void doAnnounce(const QString& id);
    void catchPress(const QString& id, qint64 atUs, qint64 pressedUs);
    void answer(const QString& id, const QString& action, QJsonObject outcome);
    void refuse(const QString& id, const QString& action, const QString& reason);
    void remember(const QString& id, const QByteArray& reply);
    void catchFileSaved(int picture, const QString& path, qint64 bytes);
    QString shotOf(int picture);
    void publishState();
    QJsonObject settings() const;

    TetherSession& m_session;
    const TetherServe::Station m_station;
    TetherMqtt& m_mqtt;
    const TetherRigTopics m_topics;
    const QString m_label;
    const QString m_folder;
    TetherNodeJournal m_journal;
    QTimer m_stateDelay;
    bool m_announced = false;
    bool m_liveView = false;
    TetherNodeShutter m_shutter;
    // The shot of each press under way, by command ID.
    QHash<QString, QString> m_shots;
    // Shots pressed whose pictures have not begun, oldest first.
    QQueue<QString> m_pressedShots;
    QHash<int, QString> m_pictureShots;
    QJsonObject m_lastPicture;
    QJsonObject m_camera;
    // Answers by command ID (empty while the command is under way), the
    // oldest forgotten first.
    QHash<QString, QByteArray> m_answers;
    QStringList m_answerOrder;
};

#endif
