// A long run with faults: releases one after the other through the exported
// functions while the link to the virtual camera keeps failing, and a count
// of what came through. Over USB (the virtual camera behind the USB access)
// the camera is unplugged at random transactions and plugged back a moment
// later; over PTP/IP a loopback proxy between library and camera resets the
// command connection in the middle of a data phase, drops the event
// connection or partitions the network for a while. A fault comes every few
// dozen transactions (at random between --every/2 and 3*--every/2).
//
// At the end every picture file on the camera's card is looked for among
// the files the host received, byte for byte: files made, files delivered
// byte-exact, files delivered twice, the records of files not delivered
// (6) or lost (12), and the names of the card files the host did not get.
//
// After the last release (or when --minutes ends the releasing early; the
// count is then of the releases made) no fault strikes: the run ends once
// the camera is connected and nothing has arrived for a while since.
//
//   bench_faults [--transport usb|network] [--releases N] [--every N] [--seed N] [--minutes N]
#include "BRX_Commu_PtpTransaction.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraPtpIpServer.h"
#include "BRX_SDK.h"
#include "PtpIpProxy.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

namespace {

enum FrameType { kDngPicture = 4, kJpgPicture = 5, kNoData = 6, kLost = 12 };
const quint16 kOpRelease = 0x9004;
// Small pictures: a thousand pairs stay within memory, and the run is about
// the faults, not the bytes.
const int kPictureWidth = 480;
// A release that brought nothing more for this long is over, whatever it owes.
const int kQuietMs = 3000;

struct Received {
    std::mutex mutex;
    QHash<QByteArray, int> files;  // SHA-1 of each file's bytes, and how often
    int noData = 0;
    int lost = 0;
    qint64 lastRecordMs = 0;
};
Received received;
QElapsedTimer runClock;
std::atomic<bool> connected{false};

void onFrame(void*, int type, const void* data, unsigned int size)
{
    std::lock_guard<std::mutex> locker(received.mutex);
    received.lastRecordMs = runClock.elapsed();
    if (type == kDngPicture || type == kJpgPicture)
        ++received.files[QCryptographicHash::hash(QByteArray::fromRawData(static_cast<const char*>(data), int(size)),
                                                  QCryptographicHash::Sha1)];
    received.noData += type == kNoData;
    received.lost += type == kLost;
}

// A connection counts as a record: what the camera owes comes after it.
void onInit(void*, bool isConnected, int)
{
    if (isConnected)
        BRX_SDK_setFrameCallback(&onFrame, nullptr);
    {
        std::lock_guard<std::mutex> locker(received.mutex);
        received.lastRecordMs = runClock.elapsed();
    }
    connected = isConnected;
}

// The faults of one transport, one at a time.
class FaultMaker
{
public:
    virtual ~FaultMaker() = default;
    virtual void strike(QRandomGenerator& random) = 0;
    // Called every tick: ends a fault that lasts (a partition, an unplug).
    virtual void tick() = 0;
};

class Unplugger : public FaultMaker
{
public:
    explicit Unplugger(std::shared_ptr<BRX_Commu_VirtualCamera> camera) : m_camera(std::move(camera)) {}
    void strike(QRandomGenerator& random) override
    {
        m_camera->setPlugged(false);
        m_backAt = runClock.elapsed() + random.bounded(50, 500);
    }
    void tick() override
    {
        if (!m_camera->isPlugged() && !connected && runClock.elapsed() >= m_backAt)
            m_camera->setPlugged(true);
    }

private:
    std::shared_ptr<BRX_Commu_VirtualCamera> m_camera;
    qint64 m_backAt = 0;
};

class NetworkFaults : public FaultMaker
{
public:
    explicit NetworkFaults(PtpIpProxy& proxy) : m_proxy(proxy) {}
    void strike(QRandomGenerator& random) override
    {
        switch (random.bounded(3)) {
        case 0:
            m_proxy.resetInData(random.bounded(1, 200000));
            break;
        case 1:
            m_proxy.dropEvents();
            break;
        default:
            m_proxy.partition();
            m_healAt = runClock.elapsed() + random.bounded(500, 3000);
            break;
        }
    }
    void tick() override
    {
        if (m_healAt && runClock.elapsed() >= m_healAt) {
            m_proxy.heal();
            m_healAt = 0;
        }
    }

private:
    PtpIpProxy& m_proxy;
    qint64 m_healAt = 0;
};

// The picture files on the card: every handle but folders.
QVector<quint32> pictureFiles(const BRX_Commu_VirtualCamera& camera)
{
    QVector<quint32> files;
    for (quint32 handle : camera.objectHandles()) {
        if ((handle & 0xF) == 1 || (handle & 0xF) == 6)
            files << handle;
    }
    return files;
}

// Each card file found among the received ones uses one of them up.
void printCount(const BRX_Commu_VirtualCamera& camera, int released, const QString& transport, qint64 ms)
{
    std::lock_guard<std::mutex> locker(received.mutex);
    QHash<QByteArray, int> unmatched = received.files;
    int exact = 0;
    QStringList missing;
    const QVector<quint32> files = pictureFiles(camera);
    for (quint32 handle : files) {
        const QByteArray hash = QCryptographicHash::hash(camera.objectData(handle), QCryptographicHash::Sha1);
        if (unmatched.value(hash) > 0) {
            --unmatched[hash];
            ++exact;
        } else {
            missing << camera.objectFileName(handle);
        }
    }
    int extra = 0;
    for (int count : unmatched)
        extra += count;
    std::printf("%s: %d releases in %.0f s: %d files made, %d delivered byte-exact, %d delivered more than once "
                "or not made; %d records 'no data', %d records 'lost'\n",
                qPrintable(transport), released, ms / 1000.0, files.size(), exact, extra, received.noData,
                received.lost);
    if (!missing.isEmpty())
        std::printf("not delivered: %s\n", qPrintable(missing.join(' ')));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"transport", "usb or network (default usb).", "kind", "usb"});
    parser.addOption({"releases", "Releases in all (default 1000).", "n", "1000"});
    parser.addOption({"every", "Transactions between faults, on average (default 40).", "n", "40"});
    parser.addOption({"seed", "Seed of the fault points (default 1).", "n", "1"});
    parser.addOption({"minutes", "No release after this many minutes (default 0: no limit).", "n", "0"});
    parser.process(app);
    const QString transport = parser.value("transport");
    const int releases = parser.value("releases").toInt();
    const int every = qMax(2, parser.value("every").toInt());
    QRandomGenerator random(parser.value("seed").toUInt());
    const qint64 releasingMs = parser.value("minutes").toLongLong() * 60000;

    // A network fault is noticed by the link's timeouts: short ones keep
    // the run about the faults.
    BRX_Commu_PtpTransaction::Timeouts timeouts;
    timeouts.firstAnswerMs = timeouts.progressMs = 1500;
    timeouts.handshakeMs = 3000;
    BRX_Commu_PtpTransaction::setDefaultTimeouts(timeouts);

    std::shared_ptr<BRX_Commu_VirtualCamera> camera;
    std::unique_ptr<BRX_Commu_VirtualCameraPtpIpServer> server;
    std::unique_ptr<PtpIpProxy> proxy;
    std::unique_ptr<FaultMaker> faults;
    if (transport == QLatin1String("network")) {
        camera = BRX_Commu_VirtualCamera::create(0x2011);
        server.reset(new BRX_Commu_VirtualCameraPtpIpServer(camera));
        proxy.reset(new PtpIpProxy(QStringLiteral("127.0.0.1"), server->port()));
        BRX_SDK_useNetworkCamera(proxy->hostAndPort().toLatin1().constData());
        faults.reset(new NetworkFaults(*proxy));
    } else {
        BRX_SDK_useVirtualCamera(0x2009);
        camera = BRX_Commu_VirtualCamera::selected();
        faults.reset(new Unplugger(camera));
    }
    camera->setPictureWidth(kPictureWidth);

    // The camera counts its transactions and the releases it took; a fault
    // falls due after a random number of transactions.
    std::atomic<int> transactions{0};
    std::atomic<int> releasesTaken{0};
    std::atomic<int> nextFault{every};
    camera->setOperationObserver([&](quint16 opCode, const QVector<quint32>& params) {
        ++transactions;
        releasesTaken += opCode == kOpRelease && params.value(0) == 0;
    });

    runClock.start();
    BRX_SDK_init(&onInit, nullptr);
    int released = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        faults->tick();
        // The last release made, the run waits for what is owed, without faults.
        const bool releasing = released < releases && (releasingMs == 0 || runClock.elapsed() <= releasingMs);
        if (releasing && connected && transactions >= nextFault) {
            nextFault = transactions + every / 2 + int(random.bounded(every + 1));
            faults->strike(random);
            return;
        }
        qint64 lastRecord;
        {
            std::lock_guard<std::mutex> locker(received.mutex);
            lastRecord = received.lastRecordMs;
        }
        const bool quiet = runClock.elapsed() - lastRecord > kQuietMs;
        const bool settled = camera->picturesInProgress() == 0 && (camera->pendingTransfers() == 0 || quiet);
        if (!connected || !settled || (releasesTaken < released && !quiet))
            return;
        if (!releasing) {
            if (quiet)
                app.quit();
            return;
        }
        BRX_SDK_capture();
        ++released;
        // A release the camera does not take waits out the quiet time before
        // the next goes, as one it took waits for its files.
        {
            std::lock_guard<std::mutex> locker(received.mutex);
            received.lastRecordMs = runClock.elapsed();
        }
    });
    driver.start(5);
    app.exec();
    const qint64 elapsed = runClock.elapsed();
    BRX_SDK_exit();
    printCount(*camera, released, transport, elapsed);
    return 0;
}
