#include "BRX_Debug.h"
#include "BRX_Commu_UsbScanner.h"
#include "LogCapture.h"
#include "VirtualCameraRig.h"

#include <QDeadlineTimer>
#include <QtTest>
#include <chrono>
#include <thread>

namespace {

// More than the access queues before it gives a camera up.
const int kFlood = 5000;

// Waits for done without running this thread's events, so that the access
// (which lives here) handles nothing meanwhile.
bool waitWithoutEvents(const std::function<bool()>& done, int timeoutMs = 20000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

const quint16 kAcceptedVendor = 0x0ABC;

// A scanner whose device list the test sets; nothing can be opened.
class ListScanner : public BRX_Commu_UsbScanner
{
public:
    QList<BRX_Commu_DeviceEntry> scan() override { return devices; }
    QList<quint16> acceptedVendorIds() const override { return {kAcceptedVendor}; }
    std::shared_ptr<BRX_Commu_UsbPipe> open(const QString&) override { return nullptr; }

    QList<BRX_Commu_DeviceEntry> devices;
};

BRX_Commu_DeviceEntry entry(int productId, const QString& path, quint64 vendor = kAcceptedVendor)
{
    return BRX_Commu_DeviceEntry(vendor, productId, path);
}

} // namespace

Q_DECLARE_METATYPE(QVector<quint32>)

class TestDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    // Discovery
    void announcedOncePerCamera();
    void unopenedDeviceIsTriedAgainAfterOthers();
    void refusedSessionIsSaidOncePerPlug();
    void ignoredDevices_data();
    void ignoredDevices();
    void virtualCameraAnnouncedAgainAfterReplug();

    // Events
    void eventReachesItsSignal_data();
    void eventReachesItsSignal();
    void productRules_data();
    void productRules();
    void propertyChangeBurstIsMerged();
    void lensMarkerPropertyIsLensChange();
    void nonZeroLowerHalfIsUnknown();
    void eventFloodCostsTheConnection();
    void propertyFloodCostsTheConnection();

    // Removal
    void unplugDuringTransaction();
    void unplugWhileIdle();
    void closeAfterUnplugIsHarmless();
};

void TestDiscovery::initTestCase()
{
    setDebugFlags(kDebugPtp, true);
    qRegisterMetaType<quint64>("quint64");
}

// One camera is announced per scan, each once: the second of one scan by
// the next. One that left and came back is announced again.
void TestDiscovery::announcedOncePerCamera()
{
    auto scanner = std::make_shared<ListScanner>();
    scanner->devices = {entry(0x2031, "usb:1"), entry(0x2041, "usb:2")};
    BRX_Commu_CameraAccess_Usb_PTP access(scanner);
    QSignalSpy available(&access, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(available.isValid());
    QVERIFY(access.checkDeviceAvailable());
    QVERIFY(access.checkDeviceAvailable());
    QVERIFY(!access.checkDeviceAvailable());
    QCOMPARE(available.count(), 2);
    QCOMPARE(available.at(0).at(0).toInt(), 1);
    QCOMPARE(available.at(0).at(1).value<quint64>(), quint64(kAcceptedVendor));
    QCOMPARE(available.at(0).at(2).toInt(), 0x2031);
    QCOMPARE(available.at(0).at(3).toString(), QStringLiteral("usb:1"));
    QCOMPARE(available.at(1).at(3).toString(), QStringLiteral("usb:2"));

    scanner->devices = {entry(0x2041, "usb:2")};
    QVERIFY(!access.checkDeviceAvailable());
    scanner->devices = {entry(0x2031, "usb:1"), entry(0x2041, "usb:2")};
    QVERIFY(access.checkDeviceAvailable());
    QCOMPARE(available.count(), 3);
    QCOMPARE(available.at(2).at(3).toString(), QStringLiteral("usb:1"));
}

// A device that cannot be opened is not reported open; the next scans
// announce it again, after a device they find new, and the log says so once.
void TestDiscovery::unopenedDeviceIsTriedAgainAfterOthers()
{
    auto scanner = std::make_shared<ListScanner>();
    scanner->devices = {entry(0x2031, "usb:1")};
    BRX_Commu_CameraAccess_Usb_PTP access(scanner);
    QSignalSpy available(&access, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QSignalSpy opened(&access, &BRX_Commu_CameraAccess_Base::signalConnectionOpened);
    LogCapture log;
    QVERIFY(access.checkDeviceAvailable());
    QVERIFY(!access.openConnection(kAcceptedVendor, 0x2031, "usb:1"));
    scanner->devices.append(entry(0x2041, "usb:2"));
    QVERIFY(access.checkDeviceAvailable());
    QVERIFY(access.checkDeviceAvailable());
    QVERIFY(!access.openConnection(kAcceptedVendor, 0x2031, "usb:1"));
    QStringList announced;
    for (const QList<QVariant>& arguments : qAsConst(available))
        announced << arguments.at(3).toString();
    QCOMPARE(announced, QStringList({"usb:1", "usb:2", "usb:1"}));
    QCOMPARE(opened.count(), 0);
    QCOMPARE(log.count("Failed to Open the device usb:1"), 1);
}

// A camera that opens but refuses its session is tried again by every
// scan; the log says so once while it stays plugged in, and again after a
// replug.
void TestDiscovery::refusedSessionIsSaidOncePerPlug()
{
    setDebugFlags(kDebugPtp, false);
    VirtualCameraRig rig(0x2061);
    rig.camera->failOperation(BRX_Commu_CameraAccess_Base::kOpOpenVQSession, 0x2002);
    QSignalSpy opened(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionOpened);
    LogCapture log;
    for (int scan = 0; scan < 3; ++scan)
        QVERIFY(!rig.connect());
    QCOMPARE(log.count("refused session 0x9005"), 1);
    QCOMPARE(log.count("MTP Response code"), 0);
    rig.camera->setPlugged(false);
    QVERIFY(!rig.access->checkDeviceAvailable());
    rig.camera->setPlugged(true);
    QVERIFY(!rig.connect());
    QCOMPARE(log.count("refused session 0x9005"), 2);
    QCOMPARE(opened.count(), 0);
    setDebugFlags(kDebugPtp, true);
}

void TestDiscovery::ignoredDevices_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<quint64>("vendor");
    QTest::newRow("product 0") << 0 << quint64(kAcceptedVendor);
    QTest::newRow("other vendor") << 0x2031 << quint64(0x1234);
    QTest::newRow("vendor beyond 16 bits") << 0x2031 << (quint64(1) << 32 | kAcceptedVendor);
}

void TestDiscovery::ignoredDevices()
{
    QFETCH(int, productId);
    QFETCH(quint64, vendor);
    auto scanner = std::make_shared<ListScanner>();
    scanner->devices = {entry(productId, "usb:1", vendor)};
    BRX_Commu_CameraAccess_Usb_PTP access(scanner);
    QSignalSpy available(&access, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(!access.checkDeviceAvailable());
    QCOMPARE(available.count(), 0);
}

void TestDiscovery::virtualCameraAnnouncedAgainAfterReplug()
{
    VirtualCameraRig rig(0x2061);
    QSignalSpy available(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(rig.access->checkDeviceAvailable());
    QCOMPARE(available.at(0).at(3).toString(), QStringLiteral("virtual:0x2061"));
    rig.camera->setPlugged(false);
    QVERIFY(!rig.access->checkDeviceAvailable());
    rig.camera->setPlugged(true);
    QVERIFY(rig.access->checkDeviceAvailable());
    QCOMPARE(available.count(), 2);
}

void TestDiscovery::eventReachesItsSignal_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QVector<quint32>>("params");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QVariant>("argument");
    QTest::newRow("settings") << 0xC000 << QVector<quint32>() << QByteArray(SIGNAL(signalSettingsChanged())) << QVariant();
    QTest::newRow("lens") << 0xC002 << QVector<quint32>() << QByteArray(SIGNAL(signalLensChanged())) << QVariant();
    QTest::newRow("bulb") << 0xC006 << QVector<quint32>{12} << QByteArray(SIGNAL(signalBulbCounter(int))) << QVariant(12);
    QTest::newRow("self-timer") << 0xC007 << QVector<quint32>{4} << QByteArray(SIGNAL(signalSelfTimerCounter(int)))
                                << QVariant(4);
    QTest::newRow("geotagging") << 0xC008 << QVector<quint32>() << QByteArray(SIGNAL(signalGeotackingChanged()))
                                << QVariant();
    QTest::newRow("property") << 0xC00A << QVector<quint32>{0x5005}
                              << QByteArray(SIGNAL(signalDevicePropertyChanged(ushort))) << QVariant(0x5005);
    QTest::newRow("3D axis") << 0xC00C << QVector<quint32>() << QByteArray(SIGNAL(signal3DAxisDataChanged()))
                             << QVariant();
    QTest::newRow("transfer request") << 0x4009 << QVector<quint32>{7}
                                      << QByteArray(SIGNAL(signalTransferRequest())) << QVariant();
    QTest::newRow("object removed") << 0x4003 << QVector<quint32>{0x1234}
                                    << QByteArray(SIGNAL(signalObjectDeleted(uint))) << QVariant(0x1234);
    for (int code : {0x4002, 0x4003, 0x4004, 0x4005, 0x400C})
        QTest::addRow("image database 0x%04X", code)
            << code << QVector<quint32>{9} << QByteArray(SIGNAL(signalUpdateImageDB())) << QVariant();
}

// Through the interrupt endpoint and the event thread, on a struct product
// so that the product rules let every event through.
void TestDiscovery::eventReachesItsSignal()
{
    QFETCH(int, code);
    QFETCH(QVector<quint32>, params);
    QFETCH(QByteArray, signal);
    QFETCH(QVariant, argument);
    VirtualCameraRig rig(0x2009);
    QVERIFY(rig.connect());
    QSignalSpy spy(rig.access.get(), signal.constData());
    QVERIFY(spy.isValid());
    rig.camera->raiseEvent(quint16(code), params);
    QVERIFY(spy.wait());
    if (argument.isValid())
        QCOMPARE(spy.at(0).at(0).toInt(), argument.toInt());
}

void TestDiscovery::productRules_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<bool>("signalled");
    for (int productId : {0x2009, 0x2011, 0x2021, 0x2051, 0x2031, 0x2041, 0x2061})
        QTest::addRow("0x%04X", productId) << productId << (productId < 0x2031 || productId == 0x2051);
}

// Lens, bulb and self-timer events count only for the struct products. The
// settings event sent last shows that the earlier ones have been handled.
void TestDiscovery::productRules()
{
    QFETCH(int, productId);
    QFETCH(bool, signalled);
    VirtualCameraRig rig(productId);
    QVERIFY(rig.connect());
    QSignalSpy lens(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalLensChanged);
    QSignalSpy bulb(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalBulbCounter);
    QSignalSpy selfTimer(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalSelfTimerCounter);
    QSignalSpy settings(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalSettingsChanged);
    rig.camera->raiseEvent(0xC002);
    rig.camera->raiseEvent(0xC006, {3});
    rig.camera->raiseEvent(0xC007, {2});
    rig.camera->raiseEvent(0xC000);
    QVERIFY(settings.wait());
    const int expected = signalled ? 1 : 0;
    QCOMPARE(lens.count(), expected);
    QCOMPARE(bulb.count(), expected);
    QCOMPARE(selfTimer.count(), expected);
}

// Delivered straight from this thread: three reports of one code before the
// queue is drained, then another code.
void TestDiscovery::propertyChangeBurstIsMerged()
{
    VirtualCameraRig rig(0x2031);
    QVERIFY(rig.connect());
    QSignalSpy changed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    for (int i = 0; i < 3; ++i)
        rig.access->deliverEvent(0xC00A0000, {0x500E});
    rig.access->deliverEvent(0xC00A0000, {0x5010});
    QTRY_COMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0).at(0).value<ushort>(), ushort(0x500E));
    QCOMPARE(changed.at(1).at(0).value<ushort>(), ushort(0x5010));
}

void TestDiscovery::lensMarkerPropertyIsLensChange()
{
    VirtualCameraRig rig(0x2041);
    QVERIFY(rig.connect());
    QSignalSpy lens(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalLensChanged);
    QSignalSpy changed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    rig.camera->raiseEvent(0xC00A, {0xD620});
    QVERIFY(lens.wait());
    QCOMPARE(changed.count(), 0);
}

void TestDiscovery::nonZeroLowerHalfIsUnknown()
{
    VirtualCameraRig rig(0x2031);
    QVERIFY(rig.connect());
    LogCapture log;
    QSignalSpy changed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    rig.access->deliverEvent(0xC00A0001, {0x5005});
    rig.access->deliverEvent(0xC00A0000, {0x5010});
    QVERIFY(changed.wait());
    QVERIFY(log.contains("deliverEvent() - event 0xC00A0001 is unknown"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<ushort>(), ushort(0x5010));
}

// Events that come faster than the host handles them: once the queue is
// full the camera is given up (one line), its connection closes as after a
// fault and the next scan opens it afresh.
void TestDiscovery::eventFloodCostsTheConnection()
{
    VirtualCameraRig rig(0x2011);
    QVERIFY(rig.connect());
    QSignalSpy closed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionClosed);
    QSignalSpy settings(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalSettingsChanged);
    LogCapture log;
    const QString givenUp = QStringLiteral("the camera sent more events than the host can queue");
    for (int i = 0; i < kFlood; ++i)
        rig.camera->raiseEvent(0xC000);
    QVERIFY2(waitWithoutEvents([&] { return log.contains(givenUp); }), qPrintable(log.lines().join('\n')));
    QVERIFY(closed.wait());
    QCOMPARE(settings.count(), 0);
    QCOMPARE(log.count(givenUp), 1);
    QVERIFY(rig.connect());
    QVERIFY(rig.access->keepCameraActive());
}

// Every code reported changed is queued once; a camera that reports more
// codes than the queue holds is given up the same way.
void TestDiscovery::propertyFloodCostsTheConnection()
{
    VirtualCameraRig rig(0x2031);
    QVERIFY(rig.connect());
    QSignalSpy closed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionClosed);
    LogCapture log;
    for (int code = 1; code <= kFlood; ++code)
        rig.access->deliverEvent(0xC00A0000, {quint32(code)});
    QVERIFY(closed.wait());
    QCOMPARE(log.count(QStringLiteral("the camera sent more changed properties than the host can queue")), 1);
    QVERIFY(rig.connect());
    QVERIFY(rig.access->keepCameraActive());
}

void TestDiscovery::unplugDuringTransaction()
{
    VirtualCameraRig rig(0x2011);
    QVERIFY(rig.connect());
    QSignalSpy closed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionClosed);
    rig.camera->unplugOnOperation(0x9002);
    QByteArray settings(100, char(0x11));
    QVERIFY(!rig.access->getCameraSettings(settings.data(), 100));
    QVERIFY(settings == QByteArray(100, '\0'));
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(closed.at(0).at(0).toInt(), 1);
    QCOMPARE(rig.access->productId(), 0);

    LogCapture log;
    QVERIFY(!rig.access->keepCameraActive());
    QVERIFY(!log.contains("MTP Response code"));

    rig.camera->setPlugged(true);
    QSignalSpy available(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(rig.access->checkDeviceAvailable());
    QCOMPARE(available.count(), 1);
    QVERIFY(rig.connect() || rig.access->openConnection(BRX_Commu_VirtualCamera::kVendorId, 0x2011,
                                                        rig.camera->deviceId()));
    QVERIFY(rig.access->keepCameraActive());
    QCOMPARE(closed.count(), 1);
}

void TestDiscovery::unplugWhileIdle()
{
    VirtualCameraRig rig(0x2061);
    QVERIFY(rig.connect());
    QSignalSpy closed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionClosed);
    rig.camera->setPlugged(false);
    QVERIFY(closed.wait());
    QVERIFY(!rig.access->keepCameraActive());
    QVERIFY(!rig.access->closeConnection());
    QCOMPARE(closed.count(), 1);
}

// Both the event thread and a failed transaction report the removal; the
// connection still closes once.
void TestDiscovery::closeAfterUnplugIsHarmless()
{
    VirtualCameraRig rig(0x2031);
    QVERIFY(rig.connect());
    QSignalSpy closed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionClosed);
    rig.camera->unplugOnOperation(0x901D);
    QVERIFY(!rig.access->keepCameraActive());
    QVERIFY(!rig.access->keepCameraActive());
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(!rig.access->closeDevice());
}

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
