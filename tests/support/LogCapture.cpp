#include "LogCapture.h"


namespace {
LogCapture* g_capture = nullptr;
}

LogCapture::LogCapture()
{
    g_capture = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    g_capture = nullptr;
}

void LogCapture::handler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (!g_capture)
        return;
    std::lock_guard<std::mutex> locker(g_capture->m_mutex);
    g_capture->m_lines.append(message);
}

QStringList LogCapture::lines() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_lines;
}

QStringList LogCapture::linesContaining(const QString& text) const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_lines.filter(text);
}

int LogCapture::count(const QString& text) const
{
    return linesContaining(text).size();
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_lines.clear();
}
