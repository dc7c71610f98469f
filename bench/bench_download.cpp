// Picture download throughput: large pictures taken on the virtual camera
// travel the whole way a real camera's would (PTP containers over the USB
// pipe, the download thread, the frame callback) and the time from the start
// record to the picture record is measured per file. Prints MB/s per file and
// overall, and the process's peak resident memory.
//
//   bench_download [--product 0xPPPP] [--megabytes N] [--pictures N]
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_SDK.h"
#include "BenchMemory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

enum FrameType { kDngStarts = 2, kJpgStarts = 3, kDngPicture = 4, kJpgPicture = 5, kNoData = 6 };

// Filled by the download threads through the frame callback.
struct Measurement {
    std::mutex mutex;
    QElapsedTimer clock;
    qint64 startedNs = 0;
    qint64 busyNs = 0;
    int starts = 0;
    quint64 bytes = 0;
    int files = 0;
    int failures = 0;
};
Measurement measurement;
std::atomic<bool> connected{false};

void onFrame(void*, int type, const void*, unsigned int size)
{
    std::lock_guard<std::mutex> locker(measurement.mutex);
    const qint64 now = measurement.clock.nsecsElapsed();
    if (type == kDngStarts || type == kJpgStarts) {
        measurement.startedNs = now;
        ++measurement.starts;
    }
    if (type != kDngPicture && type != kJpgPicture && type != kNoData)
        return;
    const qint64 took = now - measurement.startedNs;
    measurement.busyNs += took;
    measurement.bytes += size;
    ++measurement.files;
    measurement.failures += type == kNoData;
    std::printf("file %d: %u bytes in %.1f ms, %.0f MB/s\n", measurement.files, size, took / 1e6,
                size / 1e6 / (took / 1e9));
    std::fflush(stdout);
}

void onInit(void*, bool isConnected, int)
{
    if (isConnected)
        BRX_SDK_setFrameCallback(&onFrame, nullptr);
    connected = isConnected;
}

// Whether every file of the pictures taken so far has arrived: none is left
// in the camera and each started download has delivered.
bool allDelivered(int filesBefore)
{
    std::lock_guard<std::mutex> locker(measurement.mutex);
    return BRX_Commu_VirtualCamera::selected()->pendingTransfers() == 0
        && measurement.starts == measurement.files && measurement.files > filesBefore;
}

// Empties the virtual camera's card, so that the peak memory is the
// library's and not that of the pictures piling up on the card.
void deleteDeliveredPictures()
{
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    for (quint32 handle : camera->objectHandles()) {
        const quint32 type = handle & 0xF;
        if (type == 1 || type == 6)
            camera->deleteObjectOnCamera(handle);
    }
}

int filesSeen()
{
    std::lock_guard<std::mutex> locker(measurement.mutex);
    return measurement.files;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"product", "Virtual camera product ID (default 0x2031).", "id", "0x2031"});
    parser.addOption({"megabytes", "Size of each DNG (default 60).", "n", "60"});
    parser.addOption({"pictures", "Pictures to take one after the other (default 5).", "n", "5"});
    parser.process(app);

    if (!BRX_SDK_useVirtualCamera(parser.value("product").toInt(nullptr, 0)))
        return 2;
    const quint32 dngBytes = parser.value("megabytes").toUInt() * 1000000u;
    BRX_Commu_VirtualCamera::selected()->setPictureSizes(dngBytes, dngBytes / 4);
    const int pictures = parser.value("pictures").toInt();

    measurement.clock.start();
    BRX_SDK_init(&onInit, nullptr);
    int taken = 0;
    int filesBefore = -1;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!connected || (taken > 0 && !allDelivered(filesBefore)))
            return;
        if (taken == pictures) {
            app.quit();
            return;
        }
        deleteDeliveredPictures();
        filesBefore = filesSeen();
        BRX_Commu_VirtualCamera::selected()->takePicture();
        ++taken;
    });
    driver.start(10);
    QTimer::singleShot(600000, &app, &QCoreApplication::quit);
    app.exec();
    BRX_SDK_exit();

    std::printf("%d files, %llu bytes, %d without data: %.0f MB/s while downloading; peak memory %s\n",
                measurement.files, static_cast<unsigned long long>(measurement.bytes), measurement.failures,
                measurement.bytes / 1e6 / (measurement.busyNs / 1e9), peakMemory().constData());
    return taken == pictures && measurement.failures == 0 ? 0 : 1;
}
