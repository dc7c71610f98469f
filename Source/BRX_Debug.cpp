#include "BRX_Debug.h"
#include "BRX_Debug_Logfile.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

// Any thread may log and change the flags. A standard mutex, so that
// ThreadSanitizer sees what it guards (the shared buffer, the log writes).
std::atomic<quint32> g_debugFlags{0};
std::mutex g_logMutex;
char g_formatBuffer[1024];

// Set while this thread hands a line to the log: a line a host's log hook
// makes the library write is dropped rather than wait for the log it holds.
thread_local bool t_writing = false;

class WritingLine
{
public:
    WritingLine() { t_writing = true; }
    ~WritingLine() { t_writing = false; }
};

void writeDebugLine(const QByteArray& line)
{
    if (t_writing)
        return;
    std::lock_guard<std::mutex> locker(g_logMutex);
    const WritingLine writing;
    BRX_Debug_Logfile::debug(line.constData());
}

QByteArray dumpLine(const QString& prefix, const unsigned char* bytes, quint64 offset, quint64 size,
                    quint64 bytesPerLine)
{
    std::vector<char> hex(3 * bytesPerLine + 1, '\0');
    std::vector<char> ascii(bytesPerLine + 1, '\0');
    for (quint64 i = 0; i < bytesPerLine; ++i) {
        const quint64 at = offset + i;
        if (at < size) {
            std::snprintf(&hex[3 * i], 4, " %02X", bytes[at]);
            ascii[i] = std::isprint(bytes[at]) ? char(bytes[at]) : '.';
        } else {
            std::snprintf(&hex[3 * i], 4, "   ");
        }
    }
    return QString::asprintf("%s[%012llX]:%s %s", prefix.toLatin1().constData(),
                             static_cast<unsigned long long>(offset), hex.data(), ascii.data())
        .toLatin1();
}

} // namespace

// A switched-off message is not formatted and does not wait for the log.
void debugPrint(eDebugFlag flag, const char* format, ...)
{
    if (!isDebugFlagSet(flag) || t_writing)
        return;
    std::lock_guard<std::mutex> locker(g_logMutex);
    const WritingLine writing;
    va_list args;
    va_start(args, format);
    va_list retry;
    va_copy(retry, args);
    const int length = std::vsnprintf(g_formatBuffer, sizeof g_formatBuffer, format, args);
    va_end(args);
    if (length >= int(sizeof g_formatBuffer)) {
        // Too long for the shared buffer: format again into one that fits.
        std::vector<char> large(size_t(length) + 1);
        std::vsnprintf(large.data(), large.size(), format, retry);
        BRX_Debug_Logfile::debug(large.data());
    } else if (length >= 0) {
        BRX_Debug_Logfile::debug(g_formatBuffer);
    }
    va_end(retry);
}

bool isDebugFlagSet(eDebugFlag flag)
{
    return flag == 0 || (g_debugFlags.load(std::memory_order_relaxed) & flag) != 0;
}

void setDebugFlags(quint32 flags, bool enable)
{
    if (enable)
        g_debugFlags |= flags;
    else
        g_debugFlags &= ~flags;
}

void dumpBuffer(const QString& header, const QString& prefix, const void* data, quint64 size,
                quint64 maxLines, quint64 bytesPerLine)
{
    if (!header.isEmpty())
        writeDebugLine(header.toLatin1());
    if (bytesPerLine == 0)
        bytesPerLine = 16;
    const quint64 lineCount = (size + bytesPerLine - 1) / bytesPerLine;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (quint64 line = 0; line < lineCount; ++line) {
        const quint64 offset = line * bytesPerLine;
        if (maxLines != 0 && line >= maxLines) {
            writeDebugLine(QString::asprintf("%s[%012llX]: ...", prefix.toLatin1().constData(),
                                             static_cast<unsigned long long>(offset))
                               .toLatin1());
            return;
        }
        writeDebugLine(dumpLine(prefix, bytes, offset, size, bytesPerLine));
    }
}

void dumpBuffer(const QString& header, const QString& prefix, const QByteArray& data,
                quint64 maxLines, quint64 bytesPerLine)
{
    dumpBuffer(header, prefix, data.constData(), quint64(data.size()), maxLines, bytesPerLine);
}

std::string methodLabel(const char* prettyFunction)
{
    const std::string text(prettyFunction);
    // The parameter list starts at the first "(" outside template brackets.
    size_t open = std::string::npos;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<')
            ++depth;
        else if (text[i] == '>')
            --depth;
        else if (text[i] == '(' && depth == 0) {
            open = i;
            break;
        }
    }
    const std::string head = text.substr(0, open);
    const size_t blank = head.rfind(' ');
    const std::string name = blank == std::string::npos ? head : head.substr(blank + 1);
    return name + "()";
}
