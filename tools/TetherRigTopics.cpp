#include "TetherRigTopics.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

#include <chrono>

TetherRigTopics::TetherRigTopics(const QString& rig)
    : m_rig(rig)
    , m_prefix(QStringLiteral("brx/v%1/%2/").arg(kVersion).arg(rig))
{
}

QString TetherRigTopics::rigCommands() const
{
    return m_prefix + QStringLiteral("command");
}

QString TetherRigTopics::node(const QString& label, const char* leaf) const
{
    return m_prefix + QStringLiteral("node/") + label + '/' + QLatin1String(leaf);
}

QString TetherRigTopics::nodeCommands(const QString& label) const
{
    return node(label, "command");
}

QString TetherRigTopics::state(const QString& label) const
{
    return node(label, "state");
}

QString TetherRigTopics::replies(const QString& label) const
{
    return node(label, "reply");
}

QString TetherRigTopics::files(const QString& label) const
{
    return node(label, "file");
}

QString TetherRigTopics::labelOf(const QString& topic) const
{
    const QString nodes = m_prefix + QStringLiteral("node/");
    if (!topic.startsWith(nodes))
        return QString();
    const QString label = topic.mid(nodes.size()).section('/', 0, 0);
    return isName(label) ? label : QString();
}

bool TetherRigTopics::isName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,63}$"));
    return pattern.match(name).hasMatch();
}

QByteArray TetherRigTopics::payload(QJsonObject object)
{
    object.insert("v", kVersion);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject TetherRigTopics::read(const QByteArray& payload)
{
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    return object.value("v").toInt() == kVersion ? object : QJsonObject();
}

QString TetherRigTopics::sha256Of(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

qint64 TetherRigTopics::nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}
