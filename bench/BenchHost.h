#ifndef BENCHHOST_H
#define BENCHHOST_H

#include "BRX_SDK.h"
#include "BenchFigures.h"
#include "BenchMemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <functional>
#include <mutex>

// A host of the library for the benchmarks, on the exported functions only:
// it connects, keeps the host thread's event loop turning while it waits,
// and records every download with the times its records arrived.
namespace BenchHost {

// Picture sizes are given in MB of 10^6 bytes, as rates are.
const quint32 kMegabyte = 1000000;
// Values of BRX_SDK_Property::FileFormat: DNG alone, or DNG and JPG pairs.
const int kFileFormatDng = 0;
const int kFileFormatPair = 1;
// Long enough for a burst of the largest pictures on a loaded machine.
const int kDownloadWaitMs = 600000;
// How often the host thread looks whether the downloads have all arrived.
const int kDownloadTickMs = 20;

// Nanoseconds on the steady clock, the virtual camera's too.
inline qint64 nsOf(std::chrono::steady_clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

inline qint64 nowNs()
{
    return nsOf(std::chrono::steady_clock::now());
}

// Turns the host thread's event loop until condition holds, looking at it
// at least every tickMs; false when timeoutMs passed first.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs, int tickMs = 1)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(tickMs);
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// One file the library handed over: from its start record to its picture
// record, and how far the resident memory rose above its value at the start.
struct Download {
    int type = 0;
    quint32 bytes = 0;
    qint64 startNs = 0;
    qint64 endNs = 0;
    qint64 peakAboveStartKb = -1;
    qint64 durationNs() const { return endNs - startNs; }
};

class Recorder
{
public:
    static Recorder& instance()
    {
        static Recorder recorder;
        return recorder;
    }
    // Frame callback of the library: runs on the download thread.
    static void onFrame(void*, int type, const void*, unsigned int size) { instance().frame(type, size); }

    void setTrackMemory(bool track) { m_trackMemory = track; }
    // The next download waits at its start record until release(), so that
    // a burst is announced whole before its first file is fetched.
    void holdNextStart()
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_hold = true;
    }
    void release()
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_hold = false;
        m_released.notify_all();
    }
    bool isHolding() const
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        return m_holding;
    }
    int count() const
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        return m_downloads.size();
    }
    QVector<Download> since(int first) const
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        return m_downloads.mid(first);
    }
    // Downloads are timed in their callbacks: the host thread only has to
    // notice the end, and waking it every millisecond would take CPU time
    // the downloads could use on a machine of two cores.
    bool waitForCount(int count, int timeoutMs) const
    {
        return waitFor([&] { return this->count() >= count; }, timeoutMs, kDownloadTickMs);
    }

private:
    void frame(int type, unsigned int size)
    {
        std::unique_lock<std::mutex> locker(m_mutex);
        const bool start =
            type == BRX_SDK_FrameType::FrameDownloadStartDng || type == BRX_SDK_FrameType::FrameDownloadStartJpg;
        if (start) {
            m_holding = m_hold;
            m_released.wait(locker, [this] { return !m_hold; });
            m_holding = false;
        }
        const qint64 now = nowNs();
        if (start) {
            m_startNs = now;
            if (m_trackMemory && resetPeak())
                m_startKb = residentKb();
            return;
        }
        if (type < BRX_SDK_FrameType::FramePictureDng || type > BRX_SDK_FrameType::FrameDownloadEmpty)
            return;
        Download download;
        download.type = type;
        download.bytes = size;
        download.startNs = m_startNs;
        download.endNs = now;
        if (m_trackMemory && m_startKb >= 0)
            download.peakAboveStartKb = peakKb() - m_startKb;
        m_downloads << download;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_hold = false;
    bool m_holding = false;
    QVector<Download> m_downloads;
    qint64 m_startNs = 0;
    qint64 m_startKb = -1;
    std::atomic<bool> m_trackMemory{false};
};

// The controller thread passes announcements on as they arrive, after the
// work of the moment: well within this every picture of a burst is queued.
const int kDispatchMs = 50;

// Pictures taken by shoot (one per call), downloaded; empty when they did
// not all arrive whole. The first download waits until the camera has taken
// and written all of them (written tells) and the library has queued them,
// so that the time measured is the downloads', as in a real burst, where the
// camera outruns the link and its pictures queue up.
inline QVector<Download> takePictures(const std::function<void()>& shoot, int pictures, int filesPerPicture,
                                      int timeoutMs, const std::function<bool()>& written)
{
    Recorder& recorder = Recorder::instance();
    const int before = recorder.count();
    recorder.holdNextStart();
    shoot();
    waitFor([&] { return recorder.isHolding(); }, timeoutMs);
    for (int i = 1; i < pictures; ++i)
        shoot();
    waitFor(written, timeoutMs);
    if (pictures > 1)
        QThread::msleep(kDispatchMs);
    recorder.release();
    if (!recorder.waitForCount(before + pictures * filesPerPicture, timeoutMs))
        return {};
    const QVector<Download> downloads = recorder.since(before);
    for (const Download& download : downloads) {
        if (download.type == BRX_SDK_FrameType::FrameDownloadEmpty)
            return {};
    }
    return downloads;
}

// Where the time of one shutter press to the last byte of its pair goes, in
// ms: the camera's part, until it announced the pair (release answer,
// picture making, card writing), then the host's: until the first file's
// start record (the announcement's event, the controller's hand-over, the
// object information), the first file's data, between the files (the
// second's object information), the second file's data.
struct PairTimes {
    BenchFigures::Samples total;
    BenchFigures::Samples announcementToLastByte;
    BenchFigures::Samples toAnnouncement;
    BenchFigures::Samples announcementToStart;
    BenchFigures::Samples firstData;
    BenchFigures::Samples between;
    BenchFigures::Samples secondData;

    void add(qint64 pressedNs, qint64 announcedNs, const Download& first, const Download& second)
    {
        total.add((second.endNs - pressedNs) / 1e6);
        announcementToLastByte.add((second.endNs - announcedNs) / 1e6);
        toAnnouncement.add((announcedNs - pressedNs) / 1e6);
        announcementToStart.add((first.startNs - announcedNs) / 1e6);
        firstData.add(first.durationNs() / 1e6);
        between.add((second.startNs - first.endNs) / 1e6);
        secondData.add(second.durationNs() / 1e6);
    }
    void print(const char* what) const
    {
        std::printf("%-34s %s ms | the camera's announcement to the last byte %s ms: to the first file's start "
                    "%s, its data %s, between the files %s, the second's data %s | press to the announcement "
                    "(the camera's) %s\n",
                    what, total.text("%.1f").constData(), announcementToLastByte.text("%.1f").constData(),
                    announcementToStart.text("%.1f").constData(), firstData.text("%.1f").constData(),
                    between.text("%.1f").constData(), secondData.text("%.1f").constData(),
                    toAnnouncement.text("%.1f").constData());
    }
};

// Presses the shutter through the exported function, presses times, each
// after the pair before has arrived; announcedNs tells when the camera
// announced the newest picture. False when a pair did not arrive.
inline bool shutterToPair(int presses, const std::function<qint64()>& announcedNs, PairTimes& times)
{
    Recorder& recorder = Recorder::instance();
    for (int i = 0; i < presses; ++i) {
        const int before = recorder.count();
        const qint64 pressedNs = nowNs();
        BRX_SDK_capture();
        if (!recorder.waitForCount(before + 2, kDownloadWaitMs))
            return false;
        const QVector<Download> pair = recorder.since(before);
        times.add(pressedNs, announcedNs(), pair.at(0), pair.at(1));
    }
    return true;
}

inline qint64 totalBytes(const QVector<Download>& downloads)
{
    qint64 total = 0;
    for (const Download& download : downloads)
        total += download.bytes;
    return total;
}

// From the first item's start to the last one's end, for anything timed
// with startNs and endNs, in the order it happened.
template <typename Timed>
qint64 spanNs(const QVector<Timed>& timed)
{
    return timed.isEmpty() ? 0 : timed.last().endNs - timed.first().startNs;
}

// The items' own times alone, without the gaps between them.
template <typename Timed>
qint64 busyNs(const QVector<Timed>& timed)
{
    qint64 busy = 0;
    for (const Timed& item : timed)
        busy += item.endNs - item.startNs;
    return busy;
}

// MB/s over a burst, from its first start record to its last picture record.
inline double burstRate(const QVector<Download>& downloads)
{
    return BenchFigures::megabytesPerSecond(totalBytes(downloads), spanNs(downloads));
}

// The same bytes over the files' own download times alone, without the
// time between one file's picture record and the next one's start record.
inline double filesRate(const QVector<Download>& downloads)
{
    return BenchFigures::megabytesPerSecond(totalBytes(downloads), busyNs(downloads));
}

inline std::atomic<int>& connectedProduct()
{
    static std::atomic<int> product{0};
    return product;
}

inline void onInit(void*, bool connected, int productId)
{
    if (connected)
        BRX_SDK_setFrameCallback(&Recorder::onFrame, nullptr);
    connectedProduct() = connected ? productId : 0;
}

// The library's debug flags a benchmark asked for (--log-flags), logged on
// stderr.
inline quint32& logFlags()
{
    static quint32 flags = 0;
    return flags;
}

// Starts the library and waits for its camera; then sets the debug flags
// asked for, after the start, which sets the library's own.
inline bool connect(int timeoutMs)
{
    BRX_SDK_init(&onInit, nullptr);
    const bool connected = waitFor([] { return connectedProduct() != 0; }, timeoutMs);
    if (logFlags() != 0)
        BRX_SDK_setDebugFlags(logFlags(), true);
    return connected;
}

inline bool setInt(int property, int value)
{
    return BRX_SDK_setProperty(property, &value, sizeof value);
}

inline bool setBool(int property, bool value)
{
    return BRX_SDK_setProperty(property, &value, sizeof value);
}

} // namespace BenchHost

#endif
