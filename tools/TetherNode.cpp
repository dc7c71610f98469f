#include "TetherNode.h"
#include "TetherMqtt.h"
#include "TetherPictures.h"
#include "TetherProperties.h"
#include "TetherRigBroker.h"
#include "TetherServeApi.h"
#include "TetherServePictures.h"
#include "TetherShooting.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>

#include <memory>

namespace {

// Changes come in bursts; the state goes out once they settle.
const int kStateDelayMs = 200;
const int kAnswersKept = 4096;
// How long leaving waits for the broker to take the offline state.
const int kLeaveMs = 2000;
const char* const kLooseShot = "loose";

QJsonObject replyObject(const TetherServeReply& reply)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).object();
}

} // namespace

QList<QCommandLineOption> TetherNode::options()
{
    return TetherRigBroker::options() + TetherServe::stationOptions(0);
}

int TetherNode::run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    TetherMqtt::Settings settings;
    QString rig;
    QString error;
    // The camera's --label is its name in the rig.
    const QString label = session.options().label;
    if (!words.isEmpty() || !TetherRigBroker::read(arguments, &settings, &rig, &error) || !TetherRigTopics::isName(label)) {
        session.output().error(error.isEmpty() ? QStringLiteral("node takes --rig NAME and --label LABEL (letters, "
                                                                "digits, '.', '_' and '-') and options only")
                                               : error);
        return kExitUsage;
    }
    const TetherRigTopics topics(rig);
    settings.clientId = QStringLiteral("brx-node-%1-%2").arg(rig, label);
    settings.cleanSession = false;
    settings.willTopic = topics.state(label);
    settings.willPayload = offlineState(label);
    TetherMqtt mqtt(settings);
    std::unique_ptr<TetherNode> node;
    const int result = TetherServe::serve(session, arguments, true, [&](const TetherServe::Station& station) {
        node.reset(new TetherNode(session, station, mqtt, topics, label, arguments.value("out")));
        QString error;
        if (!node->m_journal.open(&error) || !mqtt.start(&error)) {
            session.output().error(error);
            return false;
        }
        session.output().result(QStringLiteral("node %1 of rig %2 on the broker at %3:%4; files at %5")
                                    .arg(label, rig, settings.host).arg(settings.port).arg(station.address));
        return true;
    }, [&node] {
        if (node)
            node->leave();
        node.reset();
    });
    mqtt.stop();
    return result;
}

TetherNode::TetherNode(TetherSession& session, const TetherServe::Station& station, TetherMqtt& mqtt,
                       const TetherRigTopics& topics, const QString& label, const QString& folder)
    : m_session(session)
    , m_station(station)
    , m_mqtt(mqtt)
    , m_topics(topics)
    , m_label(label)
    , m_folder(folder)
    , m_journal(folder)
{
    m_stateDelay.setSingleShot(true);
    m_stateDelay.setInterval(kStateDelayMs);
    connect(&m_stateDelay, &QTimer::timeout, this, &TetherNode::publishState);
    connect(&mqtt, &TetherMqtt::connectionChanged, this, &TetherNode::catchConnection);
    connect(&mqtt, &TetherMqtt::messageReceived, this, &TetherNode::catchMessage);
    connect(&session, &TetherSession::connectionChanged, &m_stateDelay, qOverload<>(&QTimer::start));
    connect(&session, &TetherSession::propertyChanged, &m_stateDelay, qOverload<>(&QTimer::start));
    connect(&station.pictures, &TetherPictures::fileSaved, this, &TetherNode::catchFileSaved);
    connect(&m_shutter, &TetherNodeShutter::pressed, this, &TetherNode::catchPress);
    mqtt.subscribe(topics.rigCommands());
    mqtt.subscribe(topics.nodeCommands(label));
}

QByteArray TetherNode::offlineState(const QString& label)
{
    return TetherRigTopics::payload({{"label", label}, {"online", false}});
}

void TetherNode::leave()
{
    m_stateDelay.stop();
    m_mqtt.publish(m_topics.state(m_label), offlineState(m_label), true);
    m_session.waitFor([this] { return m_mqtt.unacknowledged() == 0 || !m_mqtt.isConnected(); }, kLeaveMs, false);
}

// What was announced before this run (or while the broker was away) is
// announced again once, so a collector that missed it gets it.
void TetherNode::catchConnection(bool connected)
{
    if (!connected)
        return;
    publishState();
    if (!m_announced)
        doAnnounce(QString());
    m_announced = true;
}

void TetherNode::catchMessage(const QString& topic, const QByteArray& payload)
{
    if (topic == m_topics.rigCommands() || topic == m_topics.nodeCommands(m_label))
        catchCommand(TetherRigTopics::read(payload));
}

void TetherNode::catchCommand(const QJsonObject& command)
{
    const QString id = command.value("id").toString();
    const QString action = command.value("action").toString();
    if (!TetherRigTopics::isName(id)) {
        m_session.output().progress(QStringLiteral("a command without a usable ID (or of another version) left aside"));
        return;
    }
    // A repeated command is answered again, not carried out again.
    if (m_answers.contains(id)) {
        if (!m_answers.value(id).isEmpty())
            m_mqtt.publish(m_topics.replies(m_label), m_answers.value(id));
        return;
    }
    remember(id, QByteArray());
    carryOut(id, action, command);
}

void TetherNode::carryOut(const QString& id, const QString& action, const QJsonObject& command)
{
    if (action == QLatin1String("set"))
        doSet(id, command);
    else if (action == QLatin1String("shoot"))
        doShoot(id, command);
    else if (action == QLatin1String("liveview"))
        doLiveView(id, command);
    else if (action == QLatin1String("announce"))
        doAnnounce(id);
    else
        refuse(id, action, QStringLiteral("there is no action '%1' (set, shoot, liveview, announce)").arg(action));
}

void TetherNode::doSet(const QString& id, const QJsonObject& command)
{
    const QString name = command.value("name").toString();
    const QByteArray body = QJsonDocument(QJsonObject{{"value", command.value("value")}}).toJson();
    // The camera may answer after the node has left.
    const QPointer<TetherNode> self(this);
    m_station.api.setProperty(name, body.toStdString(), [this, self, id](const TetherServeReply& reply) {
        if (!self)
            return;
        const QJsonObject outcome = replyObject(reply);
        if (reply.status != 200)
            refuse(id, QStringLiteral("set"), outcome.value("error").toString());
        else
            answer(id, QStringLiteral("set"), {{"name", outcome.value("name")}, {"text", outcome.value("text")}});
        m_stateDelay.start();
    });
}

// A press the node cannot make on time is refused: firing late would
// break the rig's moment. A time already past means this clock (or the
// rig's) is off by more than the lead the rig gave.
void TetherNode::doShoot(const QString& id, const QJsonObject& command)
{
    const qint64 atUs = qint64(command.value("at").toDouble());
    QString shot = command.value("shot").toString();
    if (!TetherRigTopics::isName(shot))
        shot = id;
    const qint64 waitUs = atUs - TetherRigTopics::nowUs();
    if (atUs <= 0) {
        refuse(id, QStringLiteral("shoot"), QStringLiteral("a shot needs its time: \"at\", microseconds since 1970"));
    } else if (waitUs < 0) {
        refuse(id, QStringLiteral("shoot"),
               QStringLiteral("the shot's time was %1 ms ago by this node's clock: is its clock off?")
                   .arg(double(-waitUs) / 1000.0, 0, 'f', 1));
    } else if (!m_session.isConnected()) {
        refuse(id, QStringLiteral("shoot"), QStringLiteral("no camera is connected"));
    } else {
        m_shots.insert(id, shot);
        m_shutter.schedule(id, atUs);
    }
}

// With mirror-up on, the press raised the mirror; this one exposes.
void TetherNode::catchPress(const QString& id, qint64 atUs, qint64 pressedUs)
{
    if (TetherShooting::isMirrorUpOn())
        QTimer::singleShot(TetherShooting::kMirrorUpPauseMs, this, [] { BRX_SDK_capture(); });
    const QString shot = m_shots.take(id);
    m_pressedShots.enqueue(shot);
    answer(id, QStringLiteral("shoot"), {{"shot", shot}, {"at", double(atUs)}, {"pressed", double(pressedUs)}});
}

void TetherNode::doLiveView(const QString& id, const QJsonObject& command)
{
    if (!TetherProperties::describe(BRX_SDK_Property::WantLiveView).supported) {
        refuse(id, QStringLiteral("liveview"), QStringLiteral("the camera offers no live view"));
        return;
    }
    m_liveView = command.value("on").toBool();
    m_session.setWantLiveView(m_liveView);
    answer(id, QStringLiteral("liveview"), {{"on", m_liveView}});
    m_stateDelay.start();
}

void TetherNode::doAnnounce(const QString& id)
{
    const QList<QByteArray> lines = m_journal.lines();
    for (const QByteArray& line : lines)
        m_mqtt.publish(m_topics.files(m_label), line);
    if (!id.isEmpty())
        answer(id, QStringLiteral("announce"), {{"files", lines.size()}});
}

void TetherNode::answer(const QString& id, const QString& action, QJsonObject outcome)
{
    outcome.insert("id", id);
    outcome.insert("label", m_label);
    outcome.insert("action", action);
    outcome.insert("ok", !outcome.contains("error"));
    const QByteArray reply = TetherRigTopics::payload(outcome);
    remember(id, reply);
    m_mqtt.publish(m_topics.replies(m_label), reply);
}

void TetherNode::refuse(const QString& id, const QString& action, const QString& reason)
{
    m_session.output().progress(QStringLiteral("%1 %2 refused: %3").arg(action, id, reason));
    answer(id, action, {{"error", reason}});
}

void TetherNode::remember(const QString& id, const QByteArray& reply)
{
    if (!m_answers.contains(id))
        m_answerOrder << id;
    m_answers.insert(id, reply);
    while (m_answerOrder.size() > kAnswersKept)
        m_answers.remove(m_answerOrder.takeFirst());
}

// The file goes into the journal before its announcement, so that it is
// announced again should this one be lost.
void TetherNode::catchFileSaved(int picture, const QString& path, qint64 bytes)
{
    const QString relative = QDir(m_folder).relativeFilePath(QFileInfo(path).absoluteFilePath());
    const QJsonObject file{{"label", m_label},
                           {"shot", shotOf(picture)},
                           {"name", QFileInfo(path).fileName()},
                           {"path", TetherServePictures::fileAddress(relative)},
                           {"size", double(bytes)},
                           {"sha256", TetherRigTopics::sha256Of(path)},
                           {"saved", double(TetherRigTopics::nowUs())}};
    const QByteArray announcement = TetherRigTopics::payload(file);
    if (!m_journal.append(announcement))
        m_session.output().error(QStringLiteral("cannot note %1 in the journal; it is announced once only").arg(path));
    m_mqtt.publish(m_topics.files(m_label), announcement);
    m_lastPicture = file;
    m_stateDelay.start();
}

// A picture belongs to the oldest shot pressed that has no picture yet;
// one taken on the camera itself to none of the rig's.
QString TetherNode::shotOf(int picture)
{
    if (!m_pictureShots.contains(picture))
        m_pictureShots.insert(picture, m_pressedShots.isEmpty() ? QLatin1String(kLooseShot) : m_pressedShots.dequeue());
    return m_pictureShots.value(picture);
}

void TetherNode::publishState()
{
    const QJsonObject camera = replyObject(m_station.api.camera());
    // A camera that went away is still named, so the rig shows which one it was.
    if (camera.value("connected").toBool())
        m_camera = QJsonObject{{"productId", camera.value("productIdHex")},
                               {"model", camera.value("model")},
                               {"serialNumber", camera.value("serialNumber")}};
    const QJsonObject state{{"label", m_label},
                            {"online", true},
                            {"connected", camera.value("connected")},
                            {"camera", m_camera},
                            {"settings", settings()},
                            {"liveView", m_liveView},
                            {"lastPicture", m_lastPicture},
                            {"clock", double(TetherRigTopics::nowUs())},
                            {"http", QJsonObject{{"address", m_station.address}, {"token", m_station.token}}}};
    m_mqtt.publish(m_topics.state(m_label), TetherRigTopics::payload(state), true);
}

// Name -> text of every property the camera offers with a value.
QJsonObject TetherNode::settings() const
{
    const TetherServeReply reply = m_station.api.properties();
    QJsonObject settings;
    if (reply.status != 200)
        return settings;
    for (const QJsonValue property : replyObject(reply).value("properties").toArray()) {
        const QString text = property.toObject().value("text").toString();
        if (!text.isEmpty())
            settings.insert(property.toObject().value("name").toString(), text);
    }
    return settings;
}
