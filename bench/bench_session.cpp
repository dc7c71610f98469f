// A session on the virtual camera through the exported functions: live-view
// frames per second at three stream rates against the nominal rate, and each
// frame's age at the callback (since the camera served it); the time from
// BRX_SDK_setProperty to its change notification, on a struct product and a
// device-property product; and the CPU time of the process over a while
// idle with a camera connected and during live view, beside the same host
// without the library.
//
//   bench_session [--seconds S] [--round-trips N] [--property-round-trips N]
#include "BRX_Commu_VirtualCamera.h"
#include "BenchFigures.h"
#include "BenchHost.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>

#include <atomic>
#include <cstdio>

namespace {

using BenchFigures::Samples;

const int kWaitMs = 60000;
const quint16 kOpGetStreamData = 0x9025;
const quint16 kPropStreamFrameRate = 0x5025;
const int kLiveViewProduct = 0x2041;
const int kStructProduct = 0x2009;

std::atomic<qint64> g_servedNs{0};
std::atomic<int> g_frames{0};
std::mutex g_mutex;
Samples g_ages;
QVector<int> g_compensations;
std::atomic<int> g_notified{0x7FFFFFFF};
std::atomic<qint64> g_notifiedNs{0};

// Frame callback: live view only; runs on the controller thread.
void onFrame(void*, int type, const void*, unsigned int)
{
    if (type != BRX_SDK_FrameType::FrameLiveView)
        return;
    const qint64 age = BenchHost::nowNs() - g_servedNs;
    ++g_frames;
    std::lock_guard<std::mutex> locker(g_mutex);
    g_ages.add(age / 1e6);
}

// Changes callback: runs on the host thread.
void onChange(void*, int property, const void* data, unsigned int size)
{
    if (property == BRX_SDK_Property::ExposCompensList) {
        std::lock_guard<std::mutex> locker(g_mutex);
        g_compensations = QVector<int>(int(size / 4));
        std::memcpy(g_compensations.data(), data, size);
    } else if (property == BRX_SDK_Property::ExposCompens && size == 4) {
        int value = 0;
        std::memcpy(&value, data, 4);
        g_notifiedNs = BenchHost::nowNs();
        g_notified = value;
    }
}

// Connects to a virtual camera of the product, with this bench's callbacks.
bool open(int productId)
{
    if (!BRX_SDK_useVirtualCamera(productId))
        return false;
    BRX_Commu_VirtualCamera::selected()->setOperationObserver([](quint16 opCode, const QVector<quint32>&) {
        if (opCode == kOpGetStreamData)
            g_servedNs = BenchHost::nowNs();
    });
    if (!BenchHost::connect(kWaitMs))
        return false;
    BRX_SDK_setFrameCallback(&onFrame, nullptr);
    BRX_SDK_setChangesCallback(&onChange, nullptr);
    return BenchHost::waitFor([] {
        std::lock_guard<std::mutex> locker(g_mutex);
        return g_compensations.size() >= 2;
    }, kWaitMs);
}

// The library says nothing of the camera as it exits.
void close()
{
    BRX_SDK_exit();
    BenchHost::connectedProduct() = 0;
}

// CPU milliseconds per second of the process while the host's event loop
// turns for ms.
double cpuLoad(int ms)
{
    const double cpuBefore = BenchFigures::cpuMs();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return (BenchFigures::cpuMs() - cpuBefore) * 1000.0 / double(clock.elapsed());
}

bool setLiveView(bool on)
{
    const int order[2] = {on ? BRX_SDK_Property::WantLiveView : BRX_SDK_Property::LiveViewPhoto,
                          on ? BRX_SDK_Property::LiveViewPhoto : BRX_SDK_Property::WantLiveView};
    return BenchHost::setBool(order[0], on) && BenchHost::setBool(order[1], on);
}

// Frames per second and CPU load over seconds of live view at the rate.
bool liveView(int framesPerSecond, int seconds, double idleLoad)
{
    BRX_Commu_VirtualCamera::selected()->changeProperty(kPropStreamFrameRate, framesPerSecond * 1000);
    if (!setLiveView(true) || !BenchHost::waitFor([] { return g_frames > 10; }, kWaitMs))
        return false;
    {
        std::lock_guard<std::mutex> locker(g_mutex);
        g_ages = Samples();
    }
    const int framesBefore = g_frames;
    QElapsedTimer clock;
    clock.start();
    const double load = cpuLoad(seconds * 1000);
    const double rate = (g_frames - framesBefore) * 1000.0 / double(clock.elapsed());
    setLiveView(false);
    BenchHost::waitFor([] { return false; }, 500);
    std::lock_guard<std::mutex> locker(g_mutex);
    std::printf("live view at %d fps: %.1f frames/s = %.0f%% of nominal | frame age at the callback %s ms "
                "(p99 %.1f) | CPU %.0f ms/s (idle with camera %.0f ms/s)\n",
                framesPerSecond, rate, 100.0 * rate / framesPerSecond, g_ages.text("%.1f").constData(),
                g_ages.quantile(0.99), load, idleLoad);
    return true;
}

// From setProperty to the host's changes callback, round trips times.
bool notifications(int productId, int roundTrips)
{
    QVector<int> values;
    {
        std::lock_guard<std::mutex> locker(g_mutex);
        values = {g_compensations.first(), g_compensations.last()};
    }
    int current = 0;
    if (BRX_SDK_getProperty(BRX_SDK_Property::ExposCompens, &current, sizeof current) && current == values.first())
        std::swap(values[0], values[1]); // each set is a change
    Samples latency;
    Samples call;
    for (int i = 0; i < roundTrips; ++i) {
        const int value = values.at(i % 2);
        g_notified = 0x7FFFFFFF;
        const qint64 startNs = BenchHost::nowNs();
        if (!BenchHost::setInt(BRX_SDK_Property::ExposCompens, value))
            return false;
        call.add((BenchHost::nowNs() - startNs) / 1e6);
        if (!BenchHost::waitFor([&] { return g_notified == value; }, kWaitMs))
            return false;
        latency.add((g_notifiedNs - startNs) / 1e6);
    }
    std::printf("setProperty to notification, 0x%04X: median %.1f ms, p99 %.1f ms (min %.1f, max %.1f, n=%d) | "
                "the setProperty call itself %.1f ms\n",
                productId, latency.median(), latency.quantile(0.99), latency.min(), latency.max(),
                int(latency.values.size()), call.median());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"seconds", "Seconds of each CPU and live-view window (default 10).", "s", "10"});
    parser.addOption({"round-trips", "setProperty round trips on the struct product (default 1000).", "n", "1000"});
    parser.addOption({"property-round-trips", "The same on the device-property product (default 100).", "n", "100"});
    parser.process(app);
    const int seconds = parser.value("seconds").toInt();

    const double hostLoad = cpuLoad(seconds * 1000);
    bool ok = open(kStructProduct) && notifications(kStructProduct, parser.value("round-trips").toInt());
    close();
    ok = ok && open(kLiveViewProduct);
    const double idleLoad = ok ? cpuLoad(seconds * 1000) : 0;
    if (ok)
        std::printf("CPU idle with camera 0x%04X connected: %.1f ms/s | the host alone %.1f ms/s\n", kLiveViewProduct,
                    idleLoad, hostLoad);
    ok = ok && liveView(25, seconds, idleLoad) && liveView(30, seconds, idleLoad) && liveView(60, seconds, idleLoad)
        && notifications(kLiveViewProduct, parser.value("property-round-trips").toInt());
    close();
    if (!ok)
        std::printf("the session did not go as planned\n");
    return ok ? 0 : 1;
}
