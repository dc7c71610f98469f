#ifndef BENCHMEMORY_H
#define BENCHMEMORY_H

#include <QByteArray>
#include <QFile>

// VmHWM from /proc: the peak resident set of the process.
inline QByteArray peakMemory()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return "unknown";
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed();
    }
    return "unknown";
}

#endif
