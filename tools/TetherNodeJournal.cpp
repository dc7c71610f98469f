#include "TetherNodeJournal.h"

#include <QDir>
#include <QJsonDocument>

const char* const TetherNodeJournal::kFileName = ".rig-journal.jsonl";

TetherNodeJournal::TetherNodeJournal(const QString& folder)
    : m_file(QDir(folder).filePath(QLatin1String(kFileName)))
{
}

bool TetherNodeJournal::open(QString* error)
{
    if (m_file.open(QIODevice::ReadWrite | QIODevice::Append))
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
    return false;
}

bool TetherNodeJournal::append(const QByteArray& line)
{
    return m_file.write(line + '\n') == line.size() + 1 && m_file.flush();
}

QList<QByteArray> TetherNodeJournal::lines() const
{
    QFile file(m_file.fileName());
    QList<QByteArray> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (QJsonDocument::fromJson(line).isObject())
            lines << line;
    }
    return lines;
}
