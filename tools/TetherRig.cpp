#include "TetherRig.h"
#include "TetherMqtt.h"
#include "TetherRigBroker.h"
#include "TetherRigClient.h"
#include "TetherRigCollector.h"
#include "TetherRigServe.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace {

QString settingLine(const QString& name, const QJsonValue& text)
{
    return QStringLiteral("%1 = %2").arg(name, text.toString());
}

QString setSuccess(const QJsonObject& answer)
{
    return settingLine(answer.value("name").toString(), answer.value("text"));
}

QString pressTime(qint64 us)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(us / 1000, Qt::UTC);
    return time.toString(QStringLiteral("HH:mm:ss.zzz")) + QString::number(us % 1000).rightJustified(3, '0');
}

QString shootSuccess(const QJsonObject& answer)
{
    const qint64 pressed = qint64(answer.value("pressed").toDouble());
    const qint64 late = pressed - qint64(answer.value("at").toDouble());
    return QStringLiteral("pressed at %1 UTC (%2 ms after the time)")
        .arg(pressTime(pressed))
        .arg(double(late) / 1000.0, 0, 'f', 3);
}

QString cameraText(const QJsonObject& state)
{
    const QJsonObject camera = state.value("camera").toObject();
    return (camera.value("productId").toString() + ' ' + camera.value("serialNumber").toString()).trimmed();
}

// "Aperture = f/8 (rig: f/5.6)" for each setting that differs from the rig's.
QStringList differences(const QJsonObject& settings, const QJsonObject& rig)
{
    QStringList lines;
    for (const QString& name : TetherRig::differing(settings, rig)) {
        const QJsonValue own = settings.value(name);
        lines << QStringLiteral("%1 (rig: %2)")
                     .arg(settingLine(name, own.isUndefined() ? QJsonValue("none") : own), rig.value(name).toString());
    }
    return lines;
}

} // namespace

QList<QCommandLineOption> TetherRig::options()
{
    return TetherRigBroker::options() + QList<QCommandLineOption>{
        {"n", "shoot: N shots (default 1).", "N", "1"},
        {"interval", "shoot: seconds from one shot to the next (default 1).", "S", "1"},
        {"lead", QStringLiteral("shoot: the shot is this many milliseconds after the command (default %1).")
                     .arg(kDefaultLeadMs),
         "MS", QString::number(kDefaultLeadMs)},
        {"out", "collect, serve: the folder the pictures go to, DIR/SHOT/LABEL-NAME.", "DIR"},
        {"follow", "collect: go on collecting what the nodes announce, until Ctrl-C."},
    } + TetherRigServe::options();
}

int TetherRig::run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    TetherMqtt::Settings settings;
    QString name;
    QString error;
    const QString action = words.value(0);
    static const QStringList kActions{"status", "set", "shoot", "collect", "serve"};
    if (!kActions.contains(action) || !TetherRigBroker::read(arguments, &settings, &name, &error)) {
        session.output().error(error.isEmpty() ? QStringLiteral("rig takes --rig NAME and one of status, set NAME "
                                                                "VALUE, shoot, collect --out DIR, serve")
                                               : error);
        return kExitUsage;
    }
    const TetherRigTopics topics(name);
    if (action == QLatin1String("collect"))
        return TetherRigCollector::run(session, arguments, settings, topics);
    if (action == QLatin1String("serve"))
        return TetherRigServe::run(session, arguments, settings, topics);
    TetherMqtt mqtt(settings);
    TetherRigClient rig(session, mqtt, topics);
    const int started = rig.start();
    if (started != kExitOk)
        return started;
    if (action == QLatin1String("status"))
        return status(session, rig);
    if (action == QLatin1String("set"))
        return set(session, rig, words.mid(1));
    return shoot(session, rig, arguments);
}

QJsonObject TetherRig::rigSettings(const QMap<QString, QJsonObject>& states)
{
    QHash<QString, QHash<QString, int>> counts;
    for (const QJsonObject& state : states) {
        if (!isReachable(state))
            continue;
        const QJsonObject settings = state.value("settings").toObject();
        for (auto setting = settings.begin(); setting != settings.end(); ++setting)
            ++counts[setting.key()][setting.value().toString()];
    }
    QJsonObject rig;
    for (auto setting = counts.cbegin(); setting != counts.cend(); ++setting) {
        const auto most = std::max_element(setting->cbegin(), setting->cend());
        rig.insert(setting.key(), most.key());
    }
    return rig;
}

QStringList TetherRig::differing(const QJsonObject& settings, const QJsonObject& rig)
{
    QStringList names;
    for (auto setting = rig.begin(); setting != rig.end(); ++setting) {
        if (settings.value(setting.key()) != setting.value())
            names << setting.key();
    }
    return names;
}

QString TetherRig::connectionText(const QJsonObject& state)
{
    if (!state.value("online").toBool())
        return QStringLiteral("offline");
    return state.value("connected").toBool() ? QStringLiteral("connected") : QStringLiteral("no camera");
}

bool TetherRig::isReachable(const QJsonObject& state)
{
    return state.value("online").toBool() && state.value("connected").toBool();
}

QJsonObject TetherRig::shotCommand(const QString& series, int shot, int leadMs)
{
    const qint64 atUs = TetherRigTopics::nowUs() + qint64(leadMs) * 1000;
    return {{"action", "shoot"},
            {"shot", QStringLiteral("%1-%2").arg(series).arg(shot, 3, 10, QLatin1Char('0'))},
            {"at", double(atUs)}};
}

qint64 TetherRig::spreadUs(const QMap<QString, QJsonObject>& answers)
{
    QList<qint64> presses;
    for (const QJsonObject& answer : answers) {
        if (answer.value("ok").toBool())
            presses << qint64(answer.value("pressed").toDouble());
    }
    if (presses.isEmpty())
        return -1;
    const auto range = std::minmax_element(presses.cbegin(), presses.cend());
    return *range.second - *range.first;
}

int TetherRig::status(TetherSession& session, TetherRigClient& rig)
{
    const QMap<QString, QJsonObject>& states = rig.states();
    if (states.isEmpty()) {
        session.output().error(QStringLiteral("no node of this rig has been on the broker"));
        return kExitCamera;
    }
    const QJsonObject rigValues = rigSettings(states);
    session.output().result(QStringLiteral("%1 %2 %3 %4").arg("LABEL", -16).arg("CAMERA", -24).arg("STATE", -10).arg("SETTINGS"));
    for (auto state = states.cbegin(); state != states.cend(); ++state) {
        const QStringList differing =
            isReachable(*state) ? differences(state->value("settings").toObject(), rigValues) : QStringList{"-"};
        session.output().result(QStringLiteral("%1 %2 %3 %4")
                                    .arg(state.key(), -16)
                                    .arg(cameraText(*state), -24)
                                    .arg(connectionText(*state), -10)
                                    .arg(differing.isEmpty() ? QStringLiteral("as the rig") : differing.join("; ")));
    }
    return kExitOk;
}

QStringList TetherRig::reachable(TetherSession& session, TetherRigClient& rig)
{
    QStringList nodes;
    for (auto state = rig.states().cbegin(); state != rig.states().cend(); ++state) {
        if (isReachable(*state))
            nodes << state.key();
        else
            session.output().result(QStringLiteral("%1: %2, left out").arg(state.key(), connectionText(*state)));
    }
    return nodes;
}

bool TetherRig::report(TetherSession& session, const QStringList& nodes, const QMap<QString, QJsonObject>& answers,
                       QString (*success)(const QJsonObject& answer))
{
    bool all = true;
    for (const QString& node : nodes) {
        const QJsonObject answer = answers.value(node);
        const bool ok = answer.value("ok").toBool();
        all = all && ok;
        const QString text = answer.isEmpty() ? QStringLiteral("no answer")
                           : ok               ? success(answer)
                                              : QStringLiteral("refused: ") + answer.value("error").toString();
        session.output().result(QStringLiteral("%1: %2").arg(node, text));
    }
    return all;
}

int TetherRig::set(TetherSession& session, TetherRigClient& rig, const QStringList& words)
{
    if (words.size() != 2) {
        session.output().error(QStringLiteral("rig set takes NAME VALUE"));
        return kExitUsage;
    }
    const QStringList nodes = reachable(session, rig);
    const QMap<QString, QJsonObject> answers =
        rig.command({{"action", "set"}, {"name", words.at(0)}, {"value", words.at(1)}}, nodes,
                    session.options().timeoutMs);
    return report(session, nodes, answers, setSuccess) && !nodes.isEmpty() ? kExitOk : kExitCamera;
}

int TetherRig::shoot(TetherSession& session, TetherRigClient& rig, const QCommandLineParser& arguments)
{
    bool countOk = false;
    bool intervalOk = false;
    bool leadOk = false;
    const int count = arguments.value("n").toInt(&countOk);
    const double intervalS = arguments.value("interval").toDouble(&intervalOk);
    const int leadMs = arguments.value("lead").toInt(&leadOk);
    if (!countOk || count < 1 || !intervalOk || !(intervalS >= 0 && intervalS < 86400) || !leadOk || leadMs < 1) {
        session.output().error(QStringLiteral("rig shoot takes -n N (1 or more), --interval S and --lead MS"));
        return kExitUsage;
    }
    const QString series = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QElapsedTimer clock;
    clock.start();
    bool all = true;
    for (int shot = 1; shot <= count && !TetherSession::isInterrupted(); ++shot) {
        const qint64 dueMs = qint64(std::llround((shot - 1) * intervalS * 1000.0));
        session.waitFor([&clock, dueMs] { return clock.elapsed() >= dueMs; }, -1);
        all = shootOnce(session, rig, shotCommand(series, shot, leadMs), leadMs) && all;
    }
    return all ? kExitOk : kExitCamera;
}

bool TetherRig::shootOnce(TetherSession& session, TetherRigClient& rig, const QJsonObject& shot, int leadMs)
{
    const QStringList nodes = reachable(session, rig);
    const QMap<QString, QJsonObject> answers = rig.command(shot, nodes, leadMs + kShotAnswerMs);
    session.output().result(QStringLiteral("shot %1").arg(shot.value("shot").toString()));
    const bool all = report(session, nodes, answers, shootSuccess);
    const qint64 spread = spreadUs(answers);
    if (spread >= 0) {
        const auto pressed = std::count_if(answers.cbegin(), answers.cend(),
                                           [](const QJsonObject& answer) { return answer.value("ok").toBool(); });
        session.output().result(
            QStringLiteral("spread %1 ms over %2 cameras").arg(double(spread) / 1000.0, 0, 'f', 3).arg(pressed));
    }
    return all && !nodes.isEmpty();
}
