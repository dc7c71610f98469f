#ifndef BENCHMEMORY_H
#define BENCHMEMORY_H

#include <QByteArray>
#include <QFile>

// A field of /proc/self/status in kB, -1 when it cannot be read.
inline qint64 statusKb(const char* field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

inline qint64 residentKb()
{
    return statusKb("VmRSS:");
}

inline qint64 peakKb()
{
    return statusKb("VmHWM:");
}

// VmHWM from /proc: the peak resident set of the process.
inline QByteArray peakMemory()
{
    const qint64 kb = peakKb();
    return kb < 0 ? QByteArray("unknown") : QByteArray::number(kb) + " kB";
}

// Starts the peak resident set afresh from the current one (Linux 4.0 on).
inline bool resetPeak()
{
    QFile clearRefs("/proc/self/clear_refs");
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

#endif
