#ifndef TETHERNODEJOURNAL_H
#define TETHERNODEJOURNAL_H

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// The node's list of every picture file it has announced, one JSON object a
// line in ".rig-journal.jsonl" of its pictures folder, kept across runs: it
// lets the node announce again what a collector may have missed (the node or
// the broker went down between saving and announcing). A line is on disk
// before its announcement goes out. Host thread.
class TetherNodeJournal
{
public:
    static const char* const kFileName;

    explicit TetherNodeJournal(const QString& folder);

    // False (with the reason) when the file cannot be written.
    bool open(QString* error);
    bool append(const QByteArray& line);
    // Every line written, in order; unreadable lines (a crash mid-line) left out.
    QList<QByteArray> lines() const;

private:
    QFile m_file;
};

#endif
