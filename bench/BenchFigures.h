#ifndef BENCHFIGURES_H
#define BENCHFIGURES_H

#include <QByteArray>
#include <QStringList>
#include <QElapsedTimer>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <sys/resource.h>

// Figures of a benchmark and the references it prints them beside: several
// samples reduced to a median and the spread, and memcpy of the same bytes
// measured in the same process, so that only ratios within one run count.
namespace BenchFigures {

// A call the compiler cannot see through, so no copy is left out.
inline void* copyBytes(void* to, const void* from, size_t size)
{
    static void* (*volatile copy)(void*, const void*, size_t) = std::memcpy;
    return copy(to, from, size);
}

struct Samples {
    QVector<double> values;

    void add(double value) { values << value; }
    bool isEmpty() const { return values.isEmpty(); }
    double quantile(double q) const
    {
        if (values.isEmpty())
            return 0;
        QVector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        return sorted.at(std::min(sorted.size() - 1, int(q * sorted.size())));
    }
    double median() const { return quantile(0.5); }
    double min() const { return values.isEmpty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double max() const { return values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end()); }
    // "median (min-max, n)"
    QByteArray text(const char* format = "%.0f") const
    {
        char buffer[128];
        const QByteArray pattern = QByteArray(format) + " (" + format + "-" + format + ", n=%d)";
        std::snprintf(buffer, sizeof buffer, pattern.constData(), median(), min(), max(), int(values.size()));
        return buffer;
    }
};

inline double megabytesPerSecond(qint64 bytes, qint64 ns)
{
    return ns > 0 ? double(bytes) / 1e6 / (double(ns) / 1e9) : 0;
}

// memcpy of size bytes into a buffer whose pages are mapped already, and
// into fresh pages (mmap), as a picture buffer allocated per download gets.
// The warm target is kept from one measurement to the next and copied into
// once each time, as the library's picture buffer is: copies repeated back
// to back would find source and target in the cache and measure the cache
// for pictures that fit in it, not memory.
struct CopyReference {
    Samples warm;
    Samples fresh;
    // Fresh pages advised as huge pages first, as the virtual camera's
    // large files are (BRX_Platform_Base::preferLargePages).
    Samples freshHuge;
    QByteArray target;

    void measure(const char* source, size_t size)
    {
        if (size_t(target.size()) < size) {
            target = QByteArray(int(size), Qt::Uninitialized);
            std::memset(target.data(), 0, size); // maps its pages
        }
        QElapsedTimer clock;
        clock.start();
        copyBytes(target.data(), source, size);
        warm.add(megabytesPerSecond(qint64(size), clock.nsecsElapsed()));
        void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED)
            return;
        clock.restart();
        copyBytes(pages, source, size);
        fresh.add(megabytesPerSecond(qint64(size), clock.nsecsElapsed()));
        munmap(pages, size);
        measureFreshHuge(source, size);
    }

private:
    void measureFreshHuge(const char* source, size_t size)
    {
        const size_t huge = size_t(2) << 20;
        void* pages = mmap(nullptr, size + huge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED)
            return;
        char* aligned = reinterpret_cast<char*>((reinterpret_cast<quintptr>(pages) + huge - 1) & ~quintptr(huge - 1));
        madvise(aligned, size, MADV_HUGEPAGE);
        QElapsedTimer clock;
        clock.start();
        copyBytes(aligned, source, size);
        freshHuge.add(megabytesPerSecond(qint64(size), clock.nsecsElapsed()));
        munmap(pages, size + huge);
    }
};

// "25,60,100": picture sizes in MB.
inline QVector<quint32> sizesFrom(const QString& text)
{
    QVector<quint32> sizes;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        sizes << part.toUInt();
    return sizes;
}

// CPU time of the whole process (all threads), user and system, in ms.
inline double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

} // namespace BenchFigures

#endif
