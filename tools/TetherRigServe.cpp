#include "TetherRigServe.h"
#include "TetherRig.h"
#include "TetherRigClient.h"
#include "TetherRigCollector.h"
#include "TetherServe.h"
#include "TetherServeBridge.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

#include <algorithm>
#include <memory>

namespace {

const int kDefaultPort = 8090;
const int kMaxLeadMs = 10000;
// A request waits this much longer than the slowest answer it can need.
const int kAnswerMarginMs = 5000;
const int kChangesMs = 100;
const std::size_t kMaxFollowers = 16;
const std::size_t kEventsQueued = 256;
const int kMaxNameLength = 64;
const int kMaxValueLength = 256;

QJsonObject bodyObject(const std::string& body)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

// One node's answer as the page shows it.
QJsonObject answerJson(const QString& label, const QJsonObject& answer)
{
    QJsonObject shown{{"label", label}, {"ok", answer.value("ok").toBool()}};
    if (answer.isEmpty())
        shown.insert("error", QStringLiteral("no answer"));
    for (const char* key : {"error", "text", "pressed", "at"}) {
        if (answer.contains(key))
            shown.insert(key, answer.value(key));
    }
    if (answer.value("ok").toBool() && answer.contains("pressed"))
        shown.insert("lateMs", (answer.value("pressed").toDouble() - answer.value("at").toDouble()) / 1000.0);
    return shown;
}

// Every asked node's answer; ok when all took it.
QJsonObject answersJson(const QStringList& nodes, const TetherRigClient::Answers& answers, QJsonObject result)
{
    QJsonArray shown;
    bool all = true;
    for (const QString& node : nodes) {
        shown << answerJson(node, answers.value(node));
        all = all && answers.value(node).value("ok").toBool();
    }
    result.insert("ok", all);
    result.insert("nodes", shown);
    return result;
}

} // namespace

QList<QCommandLineOption> TetherRigServe::options()
{
    return TetherServe::listenOptions(kDefaultPort);
}

int TetherRigServe::run(TetherSession& session, const QCommandLineParser& arguments,
                        const TetherMqtt::Settings& broker, const TetherRigTopics& topics)
{
    TetherServeHttp::Settings http;
    const QString folder = arguments.value("out");
    if (!TetherServe::httpSettings(arguments, false, QStringLiteral("rig"), &http)
        || (!folder.isEmpty() && !QDir().mkpath(folder))) {
        session.output().error(QStringLiteral("rig serve takes --port 0 to 65535, --listen an address and --out a "
                                              "folder it can make"));
        return kExitUsage;
    }
    session.setLongRunning(true);
    TetherMqtt mqtt(folder.isEmpty() ? broker : TetherRigCollector::sessionFor(broker, topics, folder));
    TetherRigClient rig(session, mqtt, topics);
    std::unique_ptr<TetherRigCollector> collector;
    if (!folder.isEmpty())
        collector = std::make_unique<TetherRigCollector>(session, rig, folder);
    const int started = rig.start();
    if (started != kExitOk)
        return started;
    TetherRigServe serve(session, rig, collector.get(), topics.rig());
    if (collector) {
        rig.command({{"action", "announce"}}, {}, 0);
        collector->follow(mqtt);
    }
    TetherServeBridge bridge;
    http.answerMs = std::max(session.options().timeoutMs, kMaxLeadMs + TetherRig::kShotAnswerMs) + kAnswerMarginMs;
    TetherServeHttp server(http, bridge, serve.events(), serve.routes());
    QString error;
    if (!server.start(&error)) {
        session.output().error(error);
        return kExitUsage;
    }
    session.output().result(QStringLiteral("serving the rig %1 at %2%3, Ctrl-C ends")
                                .arg(topics.rig(), TetherServe::pageAddress(http, server.port()),
                                     collector ? QStringLiteral(" (collecting into %1)").arg(folder) : QString()));
    session.waitFor([] { return false; }, -1);
    server.stop();
    if (collector)
        session.output().result(collector->summary());
    return kExitOk;
}

TetherRigServe::TetherRigServe(TetherSession& session, TetherRigClient& rig, TetherRigCollector* collector,
                               const QString& name)
    : m_session(session)
    , m_rig(rig)
    , m_collector(collector)
    , m_name(name)
    , m_series(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss")))
    , m_events({kMaxFollowers, kEventsQueued, kEventsQueued, true})
{
    m_changes.setSingleShot(true);
    m_changes.setInterval(kChangesMs);
    connect(&m_changes, &QTimer::timeout, this, [this] {
        publish("rig", rigJson());
        if (m_collector)
            publish("collection", m_collector->progress());
    });
    connect(&rig, &TetherRigClient::stateChanged, this, &TetherRigServe::changed);
    if (collector)
        connect(collector, &TetherRigCollector::progressed, this, &TetherRigServe::changed);
}

std::vector<TetherServeHttp::Route> TetherRigServe::routes()
{
    using Job = TetherServeBridge::Job;
    using Answer = TetherServeBridge::Answer;
    using Captures = std::vector<std::string>;
    return {
        {"GET", "/api/rig", [this](const Captures&, const std::string&) -> Job {
             return [this](const Answer& answer) { answer(rig()); };
         }},
        {"GET", R"(/api/nodes/([A-Za-z0-9._-]{1,64})/thumbnail)",
         [this](const Captures& captures, const std::string&) -> Job {
             const QString label = QString::fromStdString(captures.at(0));
             return [this, label](const Answer& answer) { answer(thumbnail(label)); };
         }},
        {"POST", "/api/set", [this](const Captures&, const std::string& body) -> Job {
             return [this, body](const Answer& answer) { set(body, answer); };
         }},
        {"POST", "/api/shoot", [this](const Captures&, const std::string& body) -> Job {
             return [this, body](const Answer& answer) { shoot(body, answer); };
         }},
        {"GET", "/api/collection", [this](const Captures&, const std::string&) -> Job {
             return [this](const Answer& answer) { answer(collection()); };
         }},
    };
}

TetherServeReply TetherRigServe::rig() const
{
    return TetherServeReply::json(rigJson());
}

QJsonObject TetherRigServe::rigJson() const
{
    const QMap<QString, QJsonObject>& states = m_rig.states();
    const QJsonObject rigSettings = TetherRig::rigSettings(states);
    QJsonArray nodes;
    for (auto state = states.cbegin(); state != states.cend(); ++state)
        nodes << nodeJson(state.key(), *state, rigSettings);
    return QJsonObject{{"rig", m_name},
                       {"settings", rigSettings},
                       {"nodes", nodes},
                       {"collecting", m_collector != nullptr},
                       {"lastShot", m_lastShot.isEmpty() ? QJsonValue() : m_lastShot}};
}

// What the page shows of a node: its token stays with the server.
QJsonObject TetherRigServe::nodeJson(const QString& label, const QJsonObject& state,
                                     const QJsonObject& rigSettings) const
{
    const QJsonObject settings = state.value("settings").toObject();
    const QJsonObject last = state.value("lastPicture").toObject();
    const QStringList differing =
        TetherRig::isReachable(state) ? TetherRig::differing(settings, rigSettings) : QStringList();
    const QJsonObject picture{{"name", last.value("name")}, {"shot", last.value("shot")}};
    return QJsonObject{
        {"label", label},
        {"state", TetherRig::connectionText(state)},
        {"camera", state.value("camera")},
        {"settings", settings},
        {"differing", QJsonArray::fromStringList(differing)},
        {"liveView", state.value("liveView").toBool()},
        {"lastPicture", last.isEmpty() ? QJsonValue() : picture},
        {"thumbnail", last.isEmpty() ? QJsonValue() : QStringLiteral("/api/nodes/%1/thumbnail").arg(label)},
    };
}

TetherServeReply TetherRigServe::thumbnail(const QString& label)
{
    if (!m_rig.states().contains(label))
        return TetherServeReply::error(404, QStringLiteral("there is no node '%1'").arg(label));
    const QByteArray jpeg = m_thumbnails.of(label, m_rig.states().value(label));
    if (jpeg.isEmpty())
        return TetherServeReply::error(404, QStringLiteral("%1 has no thumbnail of its last picture").arg(label));
    return {200, jpeg.toStdString(), "image/jpeg"};
}

QStringList TetherRigServe::reachable(const TetherServeBridge::Answer& answer) const
{
    QStringList nodes;
    for (auto state = m_rig.states().cbegin(); state != m_rig.states().cend(); ++state) {
        if (TetherRig::isReachable(*state))
            nodes << state.key();
    }
    if (nodes.isEmpty())
        answer(TetherServeReply::error(409, QStringLiteral("no camera of the rig is connected")));
    return nodes;
}

void TetherRigServe::set(const std::string& body, const TetherServeBridge::Answer& answer)
{
    const QJsonObject request = bodyObject(body);
    const QString name = request.value("name").toString();
    const QString value = request.value("value").toString();
    if (name.isEmpty() || name.size() > kMaxNameLength || value.isEmpty() || value.size() > kMaxValueLength) {
        answer(TetherServeReply::error(400, QStringLiteral("a set takes {\"name\": NAME, \"value\": VALUE}")));
        return;
    }
    const QStringList nodes = reachable(answer);
    if (nodes.isEmpty())
        return;
    QPointer<TetherRigServe> self(this);
    m_rig.send({{"action", "set"}, {"name", name}, {"value", value}}, nodes, m_session.options().timeoutMs,
               [self, nodes, name, value, answer](const TetherRigClient::Answers& answers) {
                   const QJsonObject result = answersJson(nodes, answers, {{"name", name}, {"value", value}});
                   if (self)
                       self->publish("set", result);
                   answer(TetherServeReply::json(result));
               });
}

void TetherRigServe::shoot(const std::string& body, const TetherServeBridge::Answer& answer)
{
    const QJsonValue lead = bodyObject(body).value("lead");
    const int leadMs = lead.isUndefined() ? TetherRig::kDefaultLeadMs : lead.toInt(-1);
    if (leadMs < 1 || leadMs > kMaxLeadMs) {
        answer(TetherServeReply::error(400, QStringLiteral("a shot takes {\"lead\": MS}, 1 to %1").arg(kMaxLeadMs)));
        return;
    }
    const QStringList nodes = reachable(answer);
    if (nodes.isEmpty())
        return;
    const QJsonObject command = TetherRig::shotCommand(m_series, ++m_shots, leadMs);
    QPointer<TetherRigServe> self(this);
    m_rig.send(command, nodes, leadMs + TetherRig::kShotAnswerMs,
               [self, nodes, command, answer](const TetherRigClient::Answers& answers) {
                   const qint64 spread = TetherRig::spreadUs(answers);
                   const QJsonObject result = answersJson(
                       nodes, answers,
                       {{"shot", command.value("shot")},
                        {"at", command.value("at")},
                        {"spreadMs", spread < 0 ? QJsonValue() : QJsonValue(double(spread) / 1000.0)}});
                   if (self) {
                       self->m_lastShot = result;
                       self->publish("shot", result);
                   }
                   answer(TetherServeReply::json(result));
               });
}

TetherServeReply TetherRigServe::collection() const
{
    if (!m_collector)
        return TetherServeReply::error(404, QStringLiteral("this rig serve collects nothing: start it with --out DIR"));
    return TetherServeReply::json(m_collector->progress());
}

void TetherRigServe::changed()
{
    if (!m_changes.isActive())
        m_changes.start();
}

void TetherRigServe::publish(const char* type, const QJsonObject& data)
{
    m_events.publish(
        TetherServeFeed::event(++m_eventId, type, QJsonDocument(data).toJson(QJsonDocument::Compact).toStdString()));
}
