#include "LogCapture.h"

#include <mutex>

namespace {
// Guards the capture itself, not only its lines: a thread may be logging
// while the test's capture comes or goes.
std::mutex g_mutex;
LogCapture* g_capture = nullptr;
}

LogCapture::LogCapture()
{
    {
        std::lock_guard<std::mutex> locker(g_mutex);
        g_capture = this;
    }
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    std::lock_guard<std::mutex> locker(g_mutex);
    g_capture = nullptr;
}

void LogCapture::handler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    std::lock_guard<std::mutex> locker(g_mutex);
    if (g_capture)
        g_capture->m_lines.append(message);
}

QStringList LogCapture::lines() const
{
    std::lock_guard<std::mutex> locker(g_mutex);
    return m_lines;
}

QStringList LogCapture::linesContaining(const QString& text) const
{
    std::lock_guard<std::mutex> locker(g_mutex);
    return m_lines.filter(text);
}

int LogCapture::count(const QString& text) const
{
    return linesContaining(text).size();
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> locker(g_mutex);
    m_lines.clear();
}
