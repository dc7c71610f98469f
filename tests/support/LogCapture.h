#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <QStringList>
#include <QtGlobal>

// Collects Qt's debug output while it exists. One at a time; any thread may log.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    QStringList lines() const;
    // Lines that contain text.
    QStringList linesContaining(const QString& text) const;
    int count(const QString& text) const;
    bool contains(const QString& text) const { return count(text) > 0; }
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QStringList m_lines;
    QtMessageHandler m_previous;
};

#endif
