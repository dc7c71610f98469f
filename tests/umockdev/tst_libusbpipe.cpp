#include "BRX_Commu_LibusbHotplugWatcher.h"
#include "BRX_Commu_LibusbPipe.h"
#include "BRX_Commu_LibusbScanner.h"
#include "BRX_Commu_UsbPipe.h"
#include "EmulatedUsbDevice.h"
#include "LogCapture.h"
#include "ScriptedFunction.h"

#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

// Real libusb against emulated devices: scan, open, bulk transfers of all
// sizes, stalls, events and removal.
class TestLibusbPipe : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void scanTakesOnlyCameras();
    void scanHonoursVendorList();
    void missedSerialNumberIsReadAgain();
    void openKeepsConfiguration();
    void openFailsWhenHeldElsewhere();
    void openFailsForAbsentDevice();
    void bulkOut_data();
    void bulkOut();
    void bulkIn_data();
    void bulkIn();
    void bulkInTimesOutWithPartialData();
    void bulkInKeepsTransfersQueued();
    void bytesAfterAShortPieceAreKept();
    void stallIsClearedByClearHalt();
    void classRequests();
    void eventsAreAssembled();
    void eventsQueuedBeforeReadingAreKept();
    void removalEndsEveryCall();
    void removalEndsWaitingEventRead();
    void hotplugSignalsArrivalAndRemoval();

private:
    std::shared_ptr<BRX_Commu_UsbPipe> openPipe();
    quint32 queueIn(const QByteArray& bytes, bool zeroLengthPacket = true);

    std::unique_ptr<ScriptedFunction> m_function;
    std::unique_ptr<EmulatedUsbDevice> m_device;
    std::unique_ptr<BRX_Commu_LibusbScanner> m_scanner;
};

namespace {

const int kTimeoutMs = 2000;

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, 0);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) & 0xFF);
    return bytes;
}

QByteArray eventContainer(quint16 code, quint32 parameter)
{
    QByteArray bytes(16, 0);
    bytes[0] = 16;
    bytes[4] = 4;
    bytes[6] = char(code & 0xFF);
    bytes[7] = char(code >> 8);
    for (int i = 0; i < 4; ++i)
        bytes[12 + i] = char(parameter >> (8 * i));
    return bytes;
}

EmulatedUsbDevice::Descriptor descriptorAt(int port)
{
    EmulatedUsbDevice::Descriptor descriptor;
    descriptor.port = port;
    return descriptor;
}

} // namespace

void TestLibusbPipe::init()
{
    m_function.reset(new ScriptedFunction(512));
    m_device.reset(new EmulatedUsbDevice(descriptorAt(1), m_function.get()));
    m_device->plug();
    m_scanner.reset(new BRX_Commu_LibusbScanner(QList<quint16>()));
}

void TestLibusbPipe::cleanup()
{
    m_scanner.reset();
    m_device.reset();
    m_function.reset();
}

std::shared_ptr<BRX_Commu_UsbPipe> TestLibusbPipe::openPipe()
{
    return m_scanner->open(m_device->devicePath());
}

quint32 TestLibusbPipe::queueIn(const QByteArray& bytes, bool zeroLengthPacket)
{
    m_device->withFunction([&](EmulatedFunction*) { m_function->queueBulkIn(bytes, zeroLengthPacket); });
    return quint32(bytes.size());
}

void TestLibusbPipe::scanTakesOnlyCameras()
{
    ScriptedFunction other(512);
    EmulatedUsbDevice::Descriptor storage = descriptorAt(2);
    storage.interfaceClass = 8;
    storage.interfaceSubClass = 6;
    storage.interfaceProtocol = 0x50;
    EmulatedUsbDevice storageDevice(storage, &other);
    storageDevice.plug();
    EmulatedUsbDevice::Descriptor noProduct = descriptorAt(3);
    noProduct.productId = 0;
    EmulatedUsbDevice noProductDevice(noProduct, &other);
    noProductDevice.plug();

    const QList<BRX_Commu_DeviceEntry> entries = m_scanner->scan();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first(), BRX_Commu_DeviceEntry(0x1209, 0x2011, QStringLiteral("usb:1-1")));
}

void TestLibusbPipe::scanHonoursVendorList()
{
    QCOMPARE(BRX_Commu_LibusbScanner(QList<quint16>{0x1234}).scan().size(), 0);
    QCOMPARE(BRX_Commu_LibusbScanner(QList<quint16>{0x1234, 0x1209}).scan().size(), 1);
}

// Setting the configuration again would reset a camera that is already on.
// A text the device failed to give (busy, a request that timed out) is
// asked again by the next scan: a process pinned to the camera by serial
// number looks for it.
void TestLibusbPipe::missedSerialNumberIsReadAgain()
{
    ScriptedFunction other(512);
    EmulatedUsbDevice::Descriptor described = descriptorAt(2);
    described.serialNumber = QStringLiteral("A");
    EmulatedUsbDevice device(described, &other);
    device.plug();
    device.stallSerialNumberReads(1);
    const auto textsAtPort2 = [](const QList<BRX_Commu_DeviceEntry>& entries) {
        for (const BRX_Commu_DeviceEntry& entry : entries) {
            if (entry.deviceId == QLatin1String("usb:1-2"))
                return entry.model + QLatin1Char('/') + entry.serialNumber;
        }
        return QStringLiteral("absent");
    };

    QCOMPARE(textsAtPort2(m_scanner->list()), QStringLiteral("Emulated camera/"));
    QCOMPARE(textsAtPort2(m_scanner->scan()), QStringLiteral("Emulated camera/A"));
    QCOMPARE(textsAtPort2(m_scanner->scan()), QStringLiteral("Emulated camera/A"));
}

void TestLibusbPipe::openKeepsConfiguration()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    QCOMPARE(pipe->maxPacketSize(), 512u);
    QCOMPARE(m_device->setConfigurationCalls(), 0);
}

void TestLibusbPipe::openFailsWhenHeldElsewhere()
{
    m_device->holdElsewhere(60000);
    LogCapture log;
    QVERIFY(!openPipe());
    QVERIFY(!openPipe()); // discovery tries on every scan; the log says it once
    QCOMPARE(log.count(QStringLiteral("usb:1-1 is in use by another program")), 1);
    m_device->unplug(); // plugged in again, it is reported again
    QVERIFY(m_scanner->scan().isEmpty());
    m_device->plug();
    QCOMPARE(m_scanner->scan().size(), 1);
    QVERIFY(!openPipe());
    QCOMPARE(log.count(QStringLiteral("usb:1-1 is in use by another program")), 2);
    m_device->holdElsewhere(0);
    QVERIFY(openPipe()); // nothing half-open was left behind
}

void TestLibusbPipe::openFailsForAbsentDevice()
{
    LogCapture log;
    QVERIFY(!m_scanner->open(QStringLiteral("usb:1-9")));
    QVERIFY(log.contains(QStringLiteral("usb:1-9 is not present")));
}

void TestLibusbPipe::bulkOut_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("zero-length packet") << 0;
    QTest::newRow("1") << 1;
    QTest::newRow("packet - 1") << 511;
    QTest::newRow("packet") << 512;
    QTest::newRow("packet + 1") << 513;
    QTest::newRow("above one piece") << int(BRX_Commu_LibusbBulkQueue::kPieceBytes) + 1000;
}

void TestLibusbPipe::bulkOut()
{
    QFETCH(int, size);
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    const QByteArray data = pattern(size, 3);
    quint32 sent = 0;
    QCOMPARE(pipe->bulkOut(reinterpret_cast<const quint8*>(data.constData()), quint32(size), &sent, kTimeoutMs),
             BRX_Commu_UsbPipe::kOk);
    QCOMPARE(sent, quint32(size));
    QByteArray arrived;
    m_device->withFunction([&](EmulatedFunction*) {
        for (const QByteArray& transfer : m_function->transfersOut())
            arrived += transfer;
    });
    QCOMPARE(arrived, data);
    QCOMPARE(m_device->zeroLengthPacketsOut(), size == 0 ? 1 : 0);
    QVERIFY(m_device->largestBulkTransfer() <= int(BRX_Commu_LibusbBulkQueue::kPieceBytes));
}

void TestLibusbPipe::bulkIn_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("status");
    const int ok = BRX_Commu_UsbPipe::kOk;
    QTest::newRow("short packet") << 100 << 512 << 100 << ok;
    QTest::newRow("one packet and zero-length packet") << 512 << 1024 << 512 << ok;
    QTest::newRow("buffer exactly full") << 1024 << 1024 << 1024 << ok;
    QTest::newRow("several packets, short end") << 5000 << 8192 << 5000 << ok;
    QTest::newRow("several pieces straight into the buffer") << (9 << 20) + 77 << (10 << 20) << (9 << 20) + 77 << ok;
    QTest::newRow("packet larger than the buffer") << 512 << 100 << 0 << int(BRX_Commu_UsbPipe::kOverflow);
}

void TestLibusbPipe::bulkIn()
{
    QFETCH(int, size);
    QFETCH(int, capacity);
    QFETCH(int, expected);
    QFETCH(int, status);
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    const QByteArray data = pattern(size, 5);
    queueIn(data);
    QByteArray buffer(capacity, 0);
    quint32 received = 0;
    QCOMPARE(int(pipe->bulkIn(reinterpret_cast<quint8*>(buffer.data()), quint32(capacity), &received, kTimeoutMs)),
             status);
    if (status != BRX_Commu_UsbPipe::kOk)
        return;
    QCOMPARE(int(received), expected);
    QCOMPARE(buffer.left(expected), data.left(expected));
    QVERIFY(m_device->largestBulkTransfer() <= int(BRX_Commu_LibusbBulkQueue::kPieceBytes));
}

// Whole packets without an end: what came is kept when the time is up.
void TestLibusbPipe::bulkInTimesOutWithPartialData()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    QByteArray buffer(4096, 0);
    quint32 received = 99;
    QCOMPARE(pipe->bulkIn(reinterpret_cast<quint8*>(buffer.data()), 4096, &received, 50), BRX_Commu_UsbPipe::kTimeout);
    QCOMPARE(received, 0u);
    const QByteArray data = pattern(1024, 9);
    queueIn(data, false);
    QCOMPARE(pipe->bulkIn(reinterpret_cast<quint8*>(buffer.data()), 4096, &received, 50), BRX_Commu_UsbPipe::kOk);
    QCOMPARE(received, 1024u); // the emulated controller hands over whole packets it has
}

// The device finds the next piece waiting whenever it ends one.
void TestLibusbPipe::bulkInKeepsTransfersQueued()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    const int size = 4 * int(BRX_Commu_LibusbBulkQueue::kPieceBytes);
    QByteArray buffer(size, 0);
    quint32 received = 0;
    BRX_Commu_UsbPipe::Status status = BRX_Commu_UsbPipe::kError;
    std::thread reader([&] {
        status = pipe->bulkIn(reinterpret_cast<quint8*>(buffer.data()), quint32(size), &received, 20000);
    });
    QTRY_COMPARE(m_device->bulkInWaiting(), BRX_Commu_LibusbBulkQueue::kPiecesInFlight);
    const QByteArray data = pattern(size, 4);
    queueIn(data);
    reader.join();
    QCOMPARE(status, BRX_Commu_UsbPipe::kOk);
    QCOMPARE(int(received), size);
    QVERIFY(buffer == data);
}

// Pieces queued behind one that ended short take what the device sends
// next; the next read gets those bytes, in order.
void TestLibusbPipe::bytesAfterAShortPieceAreKept()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    const QByteArray first = pattern(100, 1);
    const QByteArray second = pattern(3000, 2);
    queueIn(first);
    queueIn(second);
    const quint32 capacity = 3 * BRX_Commu_LibusbBulkQueue::kPieceBytes;
    QByteArray buffer(int(capacity), 0);
    quint32 received = 0;
    QCOMPARE(pipe->bulkIn(reinterpret_cast<quint8*>(buffer.data()), capacity, &received, kTimeoutMs),
             BRX_Commu_UsbPipe::kOk);
    QCOMPARE(buffer.left(int(received)), first);
    QCOMPARE(pipe->bulkIn(reinterpret_cast<quint8*>(buffer.data()), 2048, &received, kTimeoutMs),
             BRX_Commu_UsbPipe::kOk);
    QCOMPARE(buffer.left(int(received)), second.left(2048));
    QCOMPARE(pipe->bulkIn(reinterpret_cast<quint8*>(buffer.data()), capacity, &received, kTimeoutMs),
             BRX_Commu_UsbPipe::kOk);
    QCOMPARE(buffer.left(int(received)), second.mid(2048));
}

void TestLibusbPipe::stallIsClearedByClearHalt()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    m_device->withFunction([&](EmulatedFunction*) { m_function->stallBulkIn(); });
    QByteArray buffer(512, 0);
    quint32 received = 0;
    QCOMPARE(pipe->bulkIn(reinterpret_cast<quint8*>(buffer.data()), 512, &received, kTimeoutMs),
             BRX_Commu_UsbPipe::kStall);
    QCOMPARE(pipe->clearHalt(BRX_Commu_UsbPipe::kBulkIn), BRX_Commu_UsbPipe::kOk);
    queueIn(pattern(10, 2));
    QCOMPARE(pipe->bulkIn(reinterpret_cast<quint8*>(buffer.data()), 512, &received, kTimeoutMs),
             BRX_Commu_UsbPipe::kOk);
    QCOMPARE(received, 10u);
}

// Get Device Status names the halted endpoint by its address; Cancel
// carries the transaction ID.
void TestLibusbPipe::classRequests()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    BRX_Commu_UsbPipe::DeviceStatus status;
    QCOMPARE(pipe->getDeviceStatus(&status), BRX_Commu_UsbPipe::kOk);
    QCOMPARE(status.code, quint16(0x2001));
    QVERIFY(status.halted.isEmpty());
    m_device->withFunction([&](EmulatedFunction*) { m_function->stallBulkIn(); });
    QCOMPARE(pipe->getDeviceStatus(&status), BRX_Commu_UsbPipe::kOk);
    QCOMPARE(status.code, quint16(0x2019));
    QCOMPARE(status.halted, QVector<BRX_Commu_UsbPipe::Endpoint>{BRX_Commu_UsbPipe::kBulkIn});
    QCOMPARE(pipe->cancelTransaction(0x12345678), BRX_Commu_UsbPipe::kOk);
    QCOMPARE(pipe->resetDevice(), BRX_Commu_UsbPipe::kOk);
    QList<quint32> cancelled;
    int resets = 0;
    m_device->withFunction([&](EmulatedFunction*) {
        cancelled = m_function->cancelled();
        resets = m_function->resets();
    });
    QCOMPARE(cancelled, QList<quint32>{0x12345678});
    QCOMPARE(resets, 1);
}

// The interrupt endpoint's packets are 8 bytes: a 16-byte event comes in two
// packets and a zero-length packet, and leaves the pipe whole.
void TestLibusbPipe::eventsAreAssembled()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    quint8 buffer[64];
    quint32 received = 0;
    QCOMPARE(pipe->interruptIn(buffer, sizeof buffer, &received, 20), BRX_Commu_UsbPipe::kTimeout);
    const QByteArray event = eventContainer(0x4002, 42);
    m_device->withFunction([&](EmulatedFunction*) { m_function->queueEvent(event); });
    QCOMPARE(pipe->interruptIn(buffer, sizeof buffer, &received, kTimeoutMs), BRX_Commu_UsbPipe::kOk);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer), int(received)), event);
    QCOMPARE(pipe->interruptIn(buffer, sizeof buffer, &received, 20), BRX_Commu_UsbPipe::kTimeout);
}

// The interrupt transfer stays submitted from the open on.
void TestLibusbPipe::eventsQueuedBeforeReadingAreKept()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    QCOMPARE(m_device->submittedInterruptTransfers(), 1);
    m_device->withFunction([&](EmulatedFunction*) {
        m_function->queueEvent(eventContainer(0xC00A, 1));
        m_function->queueEvent(eventContainer(0xC00A, 2));
    });
    quint8 buffer[64];
    quint32 received = 0;
    for (quint8 parameter : {1, 2}) {
        QCOMPARE(pipe->interruptIn(buffer, sizeof buffer, &received, kTimeoutMs), BRX_Commu_UsbPipe::kOk);
        QCOMPARE(received, 16u);
        QCOMPARE(buffer[12], parameter);
    }
}

void TestLibusbPipe::removalEndsEveryCall()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    LogCapture log;
    m_device->unplug();
    quint8 buffer[512];
    quint32 count = 0;
    QCOMPARE(pipe->bulkIn(buffer, sizeof buffer, &count, kTimeoutMs), BRX_Commu_UsbPipe::kNoDevice);
    QCOMPARE(pipe->bulkOut(buffer, 12, &count, kTimeoutMs), BRX_Commu_UsbPipe::kNoDevice);
    QCOMPARE(pipe->interruptIn(buffer, 64, &count, kTimeoutMs), BRX_Commu_UsbPipe::kNoDevice);
    QCOMPARE(pipe->clearHalt(BRX_Commu_UsbPipe::kBulkIn), BRX_Commu_UsbPipe::kNoDevice);
    QCOMPARE(log.count(QStringLiteral("the camera has gone")), 1);
    m_device->plug();
    QCOMPARE(pipe->bulkOut(buffer, 12, &count, kTimeoutMs), BRX_Commu_UsbPipe::kNoDevice);
    QVERIFY(openPipe()); // the device back in its socket is a new one
}

void TestLibusbPipe::removalEndsWaitingEventRead()
{
    const std::shared_ptr<BRX_Commu_UsbPipe> pipe = openPipe();
    QVERIFY(pipe);
    quint8 buffer[64];
    quint32 received = 0;
    QCOMPARE(pipe->interruptIn(buffer, sizeof buffer, &received, 20), BRX_Commu_UsbPipe::kTimeout);
    m_device->unplug();
    QCOMPARE(pipe->interruptIn(buffer, sizeof buffer, &received, 10000), BRX_Commu_UsbPipe::kNoDevice);
}

void TestLibusbPipe::hotplugSignalsArrivalAndRemoval()
{
    BRX_Commu_LibusbHotplugWatcher watcher(m_scanner->context());
    if (!watcher.isActive())
        QSKIP("libusb reports no hot-plug support here");
    // The signal leaves from libusb's thread; a spy's list would be shared
    // with it unguarded, so count in an atomic instead.
    std::atomic<int> changes{0};
    connect(&watcher, &BRX_Commu_LibusbHotplugWatcher::signalDevicesChanged, [&changes] { ++changes; });
    ScriptedFunction other(512);
    EmulatedUsbDevice second(descriptorAt(4), &other);
    second.plug();
    QTRY_VERIFY_WITH_TIMEOUT(changes >= 1, 5000);
    const int arrivals = changes;
    second.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(changes > arrivals, 5000);
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (!EmulatedUsbDevice::createTestbed()) {
        std::fprintf(stderr, "umockdev preload library not loaded: skipping\n");
        return 77;
    }
    TestLibusbPipe test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_libusbpipe.moc"
