#ifndef TETHEROUTPUT_H
#define TETHEROUTPUT_H

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <mutex>

// The program's lines: results and progress on standard output (standard
// error while standard output carries a live-view stream or JSON), errors on
// standard error. Whole lines, from any thread.
class TetherOutput
{
public:
    // Progress lines are left out.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    // Standard output carries data: every line goes to standard error.
    void setStdoutTaken(bool taken) { m_stdoutTaken = taken; }

    void result(const QString& line) { write(m_stdoutTaken ? stderr : stdout, line); }
    void progress(const QString& line)
    {
        if (!m_quiet)
            result(line);
    }
    void error(const QString& line) { write(stderr, QStringLiteral("tether: ") + line); }
    // A line of the library's log, as it is.
    void log(const QString& line) { write(stderr, line); }
    // A JSON document on standard output: indented, or on one line.
    void json(const QJsonObject& object, bool oneLine = false)
    {
        const QByteArray text =
            QJsonDocument(object).toJson(oneLine ? QJsonDocument::Compact : QJsonDocument::Indented).trimmed();
        write(stdout, QString::fromUtf8(text));
    }

private:
    void write(std::FILE* stream, const QString& line)
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stream);
    }

    std::mutex m_mutex;
    bool m_quiet = false;
    bool m_stdoutTaken = false;
};

#endif
