// Memory over a long session: releases one after the other through the
// exported functions on the virtual camera, each picture downloaded to the
// host, and the heap in use measured after each. The virtual camera keeps
// only its last few pictures, so what grows is the library's. Prints the
// heap growth per release after a warm-up, and the peak resident memory.
//
//   bench_soak [--product 0xPPPP] [--releases N] [--warmup N]
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_SDK.h"
#include "BenchMemory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <malloc.h>

#include <atomic>
#include <cstdio>

namespace {

enum FrameType { kDngPicture = 4, kJpgPicture = 5, kNoData = 6 };

std::atomic<int> filesArrived{0};
std::atomic<int> filesLost{0};
std::atomic<bool> connected{false};

void onFrame(void*, int type, const void*, unsigned int)
{
    if (type == kDngPicture || type == kJpgPicture || type == kNoData)
        ++filesArrived;
    if (type == kNoData)
        ++filesLost;
}

void onInit(void*, bool isConnected, int)
{
    if (isConnected)
        BRX_SDK_setFrameCallback(&onFrame, nullptr);
    connected = isConnected;
}

size_t heapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"product", "Virtual camera product ID (default 0x2009).", "id", "0x2009"});
    parser.addOption({"releases", "Releases in all (default 300).", "n", "300"});
    parser.addOption({"warmup", "Releases before the heap is first measured (default 50).", "n", "50"});
    parser.process(app);

    if (!BRX_SDK_useVirtualCamera(parser.value("product").toInt(nullptr, 0)))
        return 2;
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    camera->setPicturesKept(3);
    const int releases = parser.value("releases").toInt();
    const int warmup = qBound(1, parser.value("warmup").toInt(), releases - 1);

    // The camera counts the releases it took and the files it handed over.
    std::atomic<int> releasesTaken{0};
    std::atomic<int> filesAcknowledged{0};
    camera->setOperationObserver([&](quint16 opCode, const QVector<quint32>& params) {
        releasesTaken += opCode == 0x9004 && params.value(0) == 0;
        filesAcknowledged += opCode == 0x9007;
    });

    BRX_SDK_init(&onInit, nullptr);
    int released = 0;
    size_t heapAfterWarmup = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        const bool settled = releasesTaken == released && camera->picturesInProgress() == 0
                             && camera->pendingTransfers() == 0 && filesArrived == filesAcknowledged;
        if (!connected || !settled)
            return;
        if (released == warmup)
            heapAfterWarmup = heapInUse();
        if (released == releases) {
            app.quit();
            return;
        }
        BRX_SDK_capture();
        ++released;
    });
    driver.start(5);
    QTimer::singleShot(1800000, &app, &QCoreApplication::quit);
    app.exec();
    const size_t heapAtEnd = heapInUse();
    BRX_SDK_exit();

    const double perRelease = (double(heapAtEnd) - double(heapAfterWarmup)) / (releases - warmup);
    std::printf("%d releases, %d files, %d without data; heap %zu bytes after %d releases, %zu at the end: "
                "%.0f bytes per release; peak memory %s\n",
                released, filesArrived.load(), filesLost.load(), heapAfterWarmup, warmup, heapAtEnd, perRelease,
                peakMemory().constData());
    return released == releases && filesLost == 0 ? 0 : 1;
}
