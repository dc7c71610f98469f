#include "TetherRigCollector.h"
#include "TetherRigClient.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTimer>

#include <httplib.h>

namespace {

const int kFollowPollMs = 250;
const int kConnectSeconds = 5;
const int kReadSeconds = 30;
const char* const kPartSuffix = ".part";

qint64 sizeOf(const QJsonObject& file)
{
    return qint64(file.value("size").toDouble());
}

} // namespace

TetherMqtt::Settings TetherRigCollector::sessionFor(TetherMqtt::Settings settings, const TetherRigTopics& topics,
                                                    const QString& folder)
{
    const QByteArray path = QFileInfo(folder).absoluteFilePath().toUtf8();
    settings.clientId =
        QStringLiteral("brx-collect-%1-%2")
            .arg(topics.rig(),
                 QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex().left(12)));
    settings.cleanSession = false;
    return settings;
}

int TetherRigCollector::run(TetherSession& session, const QCommandLineParser& arguments, TetherMqtt::Settings settings,
                            const TetherRigTopics& topics)
{
    const QString folder = arguments.value("out");
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        session.output().error(folder.isEmpty() ? QStringLiteral("rig collect takes --out DIR")
                                                : QStringLiteral("cannot make the folder %1").arg(folder));
        return kExitUsage;
    }
    TetherMqtt mqtt(sessionFor(settings, topics, folder));
    TetherRigClient rig(session, mqtt, topics);
    TetherRigCollector collector(session, rig, folder);
    const int started = rig.start();
    if (started != kExitOk)
        return started;
    const QStringList nodes = rig.onlineLabels();
    const QMap<QString, QJsonObject> answers =
        rig.command({{"action", "announce"}}, nodes, session.options().timeoutMs);
    for (const QString& node : nodes) {
        if (!answers.contains(node))
            session.output().result(QStringLiteral("%1 did not answer").arg(node));
    }
    collector.fetchWaiting();
    if (arguments.isSet("follow")) {
        collector.follow(mqtt);
        session.waitFor([] { return false; }, -1);
    }
    session.output().result(collector.summary());
    const bool complete = collector.waiting() == 0 && collector.failures() == 0;
    return complete && answers.size() == nodes.size() ? kExitOk : kExitCamera;
}

TetherRigCollector::TetherRigCollector(TetherSession& session, TetherRigClient& rig, const QString& folder)
    : m_session(session)
    , m_rig(rig)
    , m_folder(folder)
{
    connect(&rig, &TetherRigClient::fileAnnounced, this, &TetherRigCollector::catchFile);
    connect(&m_poll, &QTimer::timeout, this, &TetherRigCollector::fetchWaiting);
}

TetherRigCollector::~TetherRigCollector() = default;

void TetherRigCollector::follow(TetherMqtt& mqtt)
{
    // Back at the broker, the nodes are asked again for what may have passed meanwhile.
    connect(&mqtt, &TetherMqtt::connectionChanged, this, [this](bool connected) {
        if (connected)
            m_rig.command({{"action", "announce"}}, {}, 0);
    });
    m_poll.start(kFollowPollMs);
}

bool TetherRigCollector::isUsable(const QJsonObject& file)
{
    static const QRegularExpression sha256(QStringLiteral("^[0-9a-f]{64}$"));
    return TetherRigTopics::isName(file.value("shot").toString()) && TetherRigTopics::isName(file.value("name").toString())
        && file.value("path").toString().startsWith(QLatin1String("/files/")) && sizeOf(file) >= 0
        && sha256.match(file.value("sha256").toString()).hasMatch();
}

void TetherRigCollector::catchFile(const QJsonObject& file)
{
    const QString key = target(file);
    if (m_known.contains(key))
        return;
    if (!isUsable(file)) {
        m_session.output().progress(QStringLiteral("an announcement of %1 that cannot be used, left aside")
                                        .arg(file.value("label").toString()));
        return;
    }
    m_known.insert(key);
    m_waiting << file;
    ++m_shots[file.value("shot").toString()].announced;
    emit progressed();
}

void TetherRigCollector::collected(const QJsonObject& file)
{
    ++m_shots[file.value("shot").toString()].collected;
    emit progressed();
}

// DIR/SHOT/LABEL-NAME
QString TetherRigCollector::target(const QJsonObject& file) const
{
    return m_folder.filePath(file.value("shot").toString() + '/' + file.value("label").toString() + '-'
                             + file.value("name").toString());
}

void TetherRigCollector::fetchWaiting()
{
    QList<QJsonObject> still;
    for (const QJsonObject& file : qAsConst(m_waiting)) {
        if (!fetch(file))
            still << file;
    }
    m_waiting = still;
}

bool TetherRigCollector::fetch(const QJsonObject& file)
{
    const QString path = target(file);
    if (QFileInfo(path).size() == sizeOf(file) && QFileInfo::exists(path)) {
        ++m_present;
        collected(file);
        return true;
    }
    const QJsonObject state = m_rig.states().value(file.value("label").toString());
    if (!state.value("online").toBool() || !QDir().mkpath(QFileInfo(path).path()))
        return false;
    const QString part = path + QLatin1String(kPartSuffix);
    // A part that does not end as announced may be a mix of two files: once more from the start.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!download(file, state.value("http").toObject(), part))
            return false;
        if (QFileInfo(part).size() == sizeOf(file) && TetherRigTopics::sha256Of(part) == file.value("sha256").toString()
            && QFile::rename(part, path)) {
            ++m_fetched;
            m_bytes += sizeOf(file);
            collected(file);
            m_session.output().progress(QStringLiteral("%1 (%2 bytes)").arg(m_folder.relativeFilePath(path)).arg(sizeOf(file)));
            return true;
        }
        QFile::remove(part);
    }
    // Fetching it again would bring the same: it is counted and left.
    ++m_failures;
    m_session.output().error(QStringLiteral("%1 of %2 is not what was announced")
                                 .arg(file.value("name").toString(), file.value("label").toString()));
    return true;
}

// Into part, going on from what part holds; false when the node could not
// be reached or refused. The connection to each node is kept for the next
// file.
bool TetherRigCollector::download(const QJsonObject& file, const QJsonObject& http, const QString& part)
{
    QFile out(part);
    qint64 have = out.size();
    if (have > sizeOf(file)) {
        out.remove();
        have = 0;
    }
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    if (have == sizeOf(file))
        return true;
    QString address = http.value("address").toString();
    while (address.endsWith('/'))
        address.chop(1);
    std::unique_ptr<httplib::Client>& client = m_clients[address.toStdString()];
    if (!client) {
        client.reset(new httplib::Client(address.toStdString()));
        client->set_connection_timeout(kConnectSeconds);
        client->set_read_timeout(kReadSeconds);
        client->set_keep_alive(true);
    }
    httplib::Headers headers;
    const std::string token = http.value("token").toString().toStdString();
    if (!token.empty())
        headers.emplace("Authorization", "Bearer " + token);
    if (have > 0)
        headers.emplace("Range", "bytes=" + std::to_string(have) + '-');
    const auto result = client->Get(
        file.value("path").toString().toStdString(), headers,
        [&out, have](const httplib::Response& response) {
            // The whole file after all: it starts over.
            if (response.status == 200 && have > 0)
                out.resize(0);
            return response.status == 200 || response.status == 206;
        },
        [&out](const char* data, size_t length) { return out.write(data, qint64(length)) == qint64(length); });
    const bool done = result && (result->status == 200 || result->status == 206) && out.flush();
    // A node that came back has a new address or token; a broken connection is not used again.
    if (!done)
        m_clients.erase(address.toStdString());
    return done;
}

QString TetherRigCollector::summary() const
{
    return QStringLiteral("%1 files fetched (%2 bytes), %3 already here, %4 waiting, %5 not as announced")
        .arg(m_fetched)
        .arg(m_bytes)
        .arg(m_present)
        .arg(m_waiting.size())
        .arg(m_failures);
}

QJsonObject TetherRigCollector::progress() const
{
    QJsonArray shots;
    for (auto shot = m_shots.cbegin(); shot != m_shots.cend(); ++shot)
        shots << QJsonObject{{"shot", shot.key()}, {"announced", shot->announced}, {"collected", shot->collected}};
    return QJsonObject{{"folder", QDir::toNativeSeparators(m_folder.absolutePath())},
                       {"fetched", m_fetched},
                       {"present", m_present},
                       {"waiting", m_waiting.size()},
                       {"failures", m_failures},
                       {"bytes", double(m_bytes)},
                       {"shots", shots}};
}
