#ifndef TETHERRIGSERVE_H
#define TETHERRIGSERVE_H

#include "TetherMqtt.h"
#include "TetherRigThumbnails.h"
#include "TetherRigTopics.h"
#include "TetherServeFeed.h"
#include "TetherServeHttp.h"
#include "TetherSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <vector>

class TetherRigClient;
class TetherRigCollector;

// tether rig serve: one page for the whole rig, on tether serve's HTTP side
// (its door, limits and token): every node with its camera, state, settings
// (those that differ from the rig's marked) and last picture's thumbnail; a
// shutter for all, scheduled as rig shoot schedules it; a setting set on
// all; with --out, the collection as rig collect --follow makes it, shot by
// shot. The API (docs/rig.md) answers in the host thread; the events follow
// the nodes' states, the shots, the sets and the collection.
class TetherRigServe : public QObject
{
    Q_OBJECT
public:
    static QList<QCommandLineOption> options();
    static int run(TetherSession& session, const QCommandLineParser& arguments, const TetherMqtt::Settings& broker,
                   const TetherRigTopics& topics);

    // collector may be null: nothing is collected.
    TetherRigServe(TetherSession& session, TetherRigClient& rig, TetherRigCollector* collector, const QString& name);

    TetherServeFeed& events() { return m_events; }
    // The API's routes, for the HTTP side.
    std::vector<TetherServeHttp::Route> routes();

    // GET /api/rig: the rig's settings and every node; never a node's token.
    TetherServeReply rig() const;
    // GET /api/nodes/LABEL/thumbnail
    TetherServeReply thumbnail(const QString& label);
    // POST /api/set {"name": "Aperture", "value": "f/8"}: answers once every
    // connected node has confirmed or refused.
    void set(const std::string& body, const TetherServeBridge::Answer& answer);
    // POST /api/shoot {"lead": MS} (the lead optional): answers with every
    // node's press time and the spread once they have pressed.
    void shoot(const std::string& body, const TetherServeBridge::Answer& answer);
    // GET /api/collection
    TetherServeReply collection() const;

private:
    QJsonObject rigJson() const;
    QJsonObject nodeJson(const QString& label, const QJsonObject& state, const QJsonObject& rigSettings) const;
    // The nodes to ask; an answer 409 when none can be.
    QStringList reachable(const TetherServeBridge::Answer& answer) const;
    void changed();
    void publish(const char* type, const QJsonObject& data);

    TetherSession& m_session;
    TetherRigClient& m_rig;
    TetherRigCollector* const m_collector;
    const QString m_name;
    // Shots from the page are series-001, series-002, ... of this run.
    const QString m_series;
    int m_shots = 0;
    QJsonObject m_lastShot;
    TetherRigThumbnails m_thumbnails;
    TetherServeFeed m_events;
    std::uint64_t m_eventId = 0;
    // Changes of many nodes at once go out as one event.
    QTimer m_changes;
};

#endif
