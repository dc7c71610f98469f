#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_CameraSelector.h"
#include "BRX_Commu_SelectingScanner.h"
#include "BRX_Commu_UsbScanner.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"
#include "BRX_SDK.h"
#include "LogCapture.h"
#include "SdkHost.h"

#include <QtTest>

namespace {

typedef BRX_Commu_CameraSelector Selector;

const quint16 kVendor = 0x0ABC;

BRX_Commu_DeviceEntry camera(int productId, const QString& port, const QString& serial)
{
    BRX_Commu_DeviceEntry entry(kVendor, productId, port);
    entry.serialNumber = serial;
    return entry;
}

// Four cameras on one bus, two of one product; remembers every device it
// was asked to open.
class BusScanner : public BRX_Commu_UsbScanner
{
public:
    QList<BRX_Commu_DeviceEntry> scan() override { return devices; }
    QList<quint16> acceptedVendorIds() const override { return {kVendor}; }
    std::shared_ptr<BRX_Commu_UsbPipe> open(const QString& deviceId) override
    {
        opened << deviceId;
        return nullptr;
    }

    QList<BRX_Commu_DeviceEntry> devices = {camera(0x2031, "usb:1-1", "A1"), camera(0x2011, "usb:1-2", "B2"),
                                            camera(0x2031, "usb:1-3.1", "C3"), camera(0x2061, "usb:2-4", "D4")};
    QStringList opened;
};

QStringList announcedPorts(const QSignalSpy& available)
{
    QStringList ports;
    for (const QList<QVariant>& arguments : available)
        ports << arguments.at(3).toString();
    return ports;
}

} // namespace

class TestCameraSelector : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    // The forms
    void parse_data();
    void parse();
    void refused_data();
    void refused();
    void matches_data();
    void matches();

    // Discovery
    void onlyTheSelectedCameraIsAnnounced();
    void otherCamerasAreNeverOpenedNorLogged();
    void cameraPinnedBySerialFollowsItAcrossSockets();
    void absentCameraIsWaitedFor();

    // Exports
    void selectorIsSetBeforeInitOnly();
    void virtualCameraCarriesItsSerialNumber();
    void virtualCameraIsTetheredOnlyWhenSelected();

    // What a host learns through the exports.
    void listedCameraIsJudgedBySelector_data();
    void listedCameraIsJudgedBySelector();
    void connectedCameraTellsItsPort();
};

void TestCameraSelector::initTestCase()
{
    setDebugFlags(kDebugPtp, true);
    qRegisterMetaType<quint64>("quint64");
}

void TestCameraSelector::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("canonical");
    QTest::newRow("any") << "" << int(Selector::kAny) << "";
    QTest::newRow("serial") << "serial:A1" << int(Selector::kSerial) << "serial:A1";
    QTest::newRow("bare serial") << "0123ABC-x" << int(Selector::kSerial) << "serial:0123ABC-x";
    QTest::newRow("serial with a colon") << "serial:AB:CD" << int(Selector::kSerial) << "serial:AB:CD";
    QTest::newRow("port") << "usb:1-2" << int(Selector::kPort) << "usb:1-2";
    QTest::newRow("port behind hubs") << "usb:3-1.4.2" << int(Selector::kPort) << "usb:3-1.4.2";
    QTest::newRow("product") << "product:0x2031" << int(Selector::kProduct) << "product:0x2031";
    QTest::newRow("product without 0x") << "product:2011" << int(Selector::kProduct) << "product:0x2011";
    QTest::newRow("product in capitals") << "product:0X20AB" << int(Selector::kProduct) << "product:0x20ab";
}

void TestCameraSelector::parse()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, canonical);
    Selector selector;
    QVERIFY(Selector::parse(text, &selector));
    QCOMPARE(int(selector.kind()), kind);
    QCOMPARE(selector.text(), canonical);
}

void TestCameraSelector::refused_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty serial") << "serial:";
    QTest::newRow("serial with a blank") << "serial:A 1";
    QTest::newRow("serial with a control character") << QString("A\x01");
    QTest::newRow("serial too long") << QString(127, 'A');
    QTest::newRow("unknown prefix") << "port:1-2";
    QTest::newRow("empty port") << "usb:";
    QTest::newRow("port without bus") << "usb:2";
    QTest::newRow("port 0") << "usb:1-0";
    QTest::newRow("port 256") << "usb:1-256";
    QTest::newRow("port with a leading zero") << "usb:1-02";
    QTest::newRow("port path too deep") << "usb:1-1.1.1.1.1.1.1.1";
    QTest::newRow("port with a trailing dot") << "usb:1-2.";
    QTest::newRow("product 0") << "product:0x0000";
    QTest::newRow("product too large") << "product:0x12345";
    QTest::newRow("product not hexadecimal") << "product:0x20G1";
    QTest::newRow("product with a sign") << "product:+2031";
    QTest::newRow("empty product") << "product:";
}

// A selector that does not parse leaves the selector given as it was.
void TestCameraSelector::refused()
{
    QFETCH(QString, text);
    Selector selector;
    QVERIFY(Selector::parse(QStringLiteral("serial:KEEP"), &selector));
    QVERIFY(!Selector::parse(text, &selector));
    QCOMPARE(selector.text(), QStringLiteral("serial:KEEP"));
}

void TestCameraSelector::matches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("ports");
    QTest::newRow("any") << "" << QStringList({"usb:1-1", "usb:1-2", "usb:1-3.1", "usb:2-4"});
    QTest::newRow("serial") << "serial:C3" << QStringList({"usb:1-3.1"});
    QTest::newRow("serial is case-sensitive") << "c3" << QStringList();
    QTest::newRow("port") << "usb:1-2" << QStringList({"usb:1-2"});
    QTest::newRow("port is no prefix of another") << "usb:1-3" << QStringList();
    QTest::newRow("product") << "product:0x2031" << QStringList({"usb:1-1", "usb:1-3.1"});
    QTest::newRow("nobody") << "serial:Z9" << QStringList();
}

void TestCameraSelector::matches()
{
    QFETCH(QString, text);
    QFETCH(QStringList, ports);
    Selector selector;
    QVERIFY(Selector::parse(text, &selector));
    QStringList matching;
    for (const BRX_Commu_DeviceEntry& entry : BusScanner().devices) {
        if (selector.matches(entry))
            matching << entry.deviceId;
    }
    QCOMPARE(matching, ports);
}

void TestCameraSelector::onlyTheSelectedCameraIsAnnounced()
{
    auto bus = std::make_shared<BusScanner>();
    Selector selector;
    QVERIFY(Selector::parse(QStringLiteral("B2"), &selector));
    BRX_Commu_CameraAccess_Usb_PTP access(std::make_shared<BRX_Commu_SelectingScanner>(bus, selector));
    QSignalSpy available(&access, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(available.isValid());
    QVERIFY(access.checkDeviceAvailable());
    QVERIFY(!access.checkDeviceAvailable());
    QCOMPARE(announcedPorts(available), QStringList({"usb:1-2"}));
    QCOMPARE(available.at(0).at(2).toInt(), 0x2011);
}

// Opening a camera that is not ours would take it from the process that
// tethers it; logging it on every scan would fill that process's log.
void TestCameraSelector::otherCamerasAreNeverOpenedNorLogged()
{
    auto bus = std::make_shared<BusScanner>();
    Selector selector;
    QVERIFY(Selector::parse(QStringLiteral("usb:1-3.1"), &selector));
    BRX_Commu_SelectingScanner selecting(bus, selector);
    BRX_Commu_CameraAccess_Usb_PTP access(std::shared_ptr<BRX_Commu_UsbScanner>(&selecting, [](void*) {}));
    LogCapture log;
    for (int pass = 0; pass < 3; ++pass)
        access.checkDeviceAvailable();
    QVERIFY(!access.openConnection(kVendor, 0x2031, QStringLiteral("usb:1-3.1")));
    QVERIFY(!selecting.open(QStringLiteral("usb:1-1")));
    QCOMPARE(bus->opened, QStringList({"usb:1-3.1"}));
    for (const char* other : {"usb:1-1", "usb:1-2", "usb:2-4"})
        QVERIFY2(!log.contains(QLatin1String(other)), qPrintable(log.lines().join('\n')));
}

void TestCameraSelector::cameraPinnedBySerialFollowsItAcrossSockets()
{
    auto bus = std::make_shared<BusScanner>();
    Selector selector;
    QVERIFY(Selector::parse(QStringLiteral("serial:A1"), &selector));
    BRX_Commu_CameraAccess_Usb_PTP access(std::make_shared<BRX_Commu_SelectingScanner>(bus, selector));
    QSignalSpy available(&access, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(access.checkDeviceAvailable());
    bus->devices.removeFirst();
    QVERIFY(!access.checkDeviceAvailable());
    bus->devices.append(camera(0x2031, "usb:2-7", "A1"));
    QVERIFY(access.checkDeviceAvailable());
    QCOMPARE(announcedPorts(available), QStringList({"usb:1-1", "usb:2-7"}));
}

void TestCameraSelector::absentCameraIsWaitedFor()
{
    auto bus = std::make_shared<BusScanner>();
    Selector selector;
    QVERIFY(Selector::parse(QStringLiteral("product:0x2041"), &selector));
    BRX_Commu_CameraAccess_Usb_PTP access(std::make_shared<BRX_Commu_SelectingScanner>(bus, selector));
    QSignalSpy available(&access, &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(!access.checkDeviceAvailable());
    QVERIFY(!access.checkDeviceAvailable());
    bus->devices.append(camera(0x2041, "usb:1-5", ""));
    QVERIFY(access.checkDeviceAvailable());
    QCOMPARE(announcedPorts(available), QStringList({"usb:1-5"}));
    QVERIFY(bus->opened.isEmpty());
}

void TestCameraSelector::selectorIsSetBeforeInitOnly()
{
    LogCapture log;
    QVERIFY(!BRX_SDK_selectCamera("usb:1-0"));
    QVERIFY(log.contains(QStringLiteral("serial:SERIAL (or a bare SERIAL), usb:BUS-PORT[.PORT...], product:0xPPPP")));
    QVERIFY(BRX_SDK_selectCamera("serial:A1"));
    QCOMPARE(Selector::selected().text(), QStringLiteral("serial:A1"));
    QVERIFY(!BRX_SDK_selectCamera("port:1"));
    QCOMPARE(Selector::selected().text(), QStringLiteral("serial:A1"));
    {
        SdkHost host(0x2031);
        QVERIFY(!BRX_SDK_selectCamera("serial:B2"));
        QCOMPARE(Selector::selected().text(), QStringLiteral("serial:A1"));
    }
    QVERIFY(BRX_SDK_selectCamera(nullptr));
    QCOMPARE(int(Selector::selected().kind()), int(Selector::kAny));
}

// Its DeviceInfo, its pictures' metadata and its listing carry the serial number given.
void TestCameraSelector::virtualCameraCarriesItsSerialNumber()
{
    QVERIFY(!BRX_SDK_useVirtualCameraWithSerial(0x2031, "../up"));
    QVERIFY(!BRX_SDK_useVirtualCameraWithSerial(0x2031, ".hidden"));
    QVERIFY(!BRX_SDK_useVirtualCameraWithSerial(0x2031, "A B"));
    QVERIFY(!BRX_SDK_useVirtualCameraWithSerial(0x1234, "CAM1"));
    QVERIFY(BRX_SDK_useVirtualCameraWithSerial(0x2031, "CAM-1.b_2"));
    QCOMPARE(BRX_Commu_VirtualCamera::selected()->serialNumber(), QStringLiteral("CAM-1.b_2"));
    QVERIFY(BRX_SDK_useVirtualCameraWithSerial(0x2011, nullptr));
    QCOMPARE(BRX_Commu_VirtualCamera::selected()->serialNumber(), QStringLiteral("VC00002011"));
    BRX_SDK_useVirtualCamera(0);

    QByteArray serial;
    BRX_Commu_ByteWriter::appendPtpString(serial, QStringLiteral("RIG-07"));
    QVERIFY(BRX_Commu_VirtualCameraProfile::deviceInfo(0x2061, QStringLiteral("RIG-07")).endsWith(serial));

    const auto virtualCamera = BRX_Commu_VirtualCamera::create(0x2061, BRX_Commu_VirtualCamera::kDefaultPacketSize,
                                                               QStringLiteral("RIG-07"));
    const QList<BRX_Commu_DeviceEntry> listed = virtualCamera->createScanner()->scan();
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed.first().serialNumber, QStringLiteral("RIG-07"));
}

void TestCameraSelector::virtualCameraIsTetheredOnlyWhenSelected()
{
    BRX_SDK_CameraIdentity identity{};
    QVERIFY(BRX_SDK_selectCamera("serial:VC00002031"));
    {
        SdkHost host(0x2031);
        QVERIFY(host.waitForInitialState());
        QVERIFY(BRX_SDK_getCameraIdentity(&identity));
        QCOMPARE(QString::fromUtf8(identity.serialNumber), QStringLiteral("VC00002031"));
    }
    for (const char* other : {"serial:CAM2", "product:0x2011", "usb:1-1"}) {
        QVERIFY(BRX_SDK_selectCamera(other));
        SdkHost host(0x2031);
        QVERIFY2(!host.waitForInitialState(1500), other);
        QVERIFY(!host.camera().isSessionOpen());
    }
    BRX_SDK_selectCamera(nullptr);
}

void TestCameraSelector::listedCameraIsJudgedBySelector_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<bool>("selected");
    QTest::newRow("any") << QString() << true;
    QTest::newRow("its serial") << "serial:C3" << true;
    QTest::newRow("its bare serial") << "C3" << true;
    QTest::newRow("another serial") << "serial:C" << false;
    QTest::newRow("its socket") << "usb:1-3.1" << true;
    QTest::newRow("the hub's socket") << "usb:1-3" << false;
    QTest::newRow("its product") << "product:0x2031" << true;
    QTest::newRow("another product") << "product:0x2011" << false;
}

// tether list --camera shows what the library would tether, by the same rule.
void TestCameraSelector::listedCameraIsJudgedBySelector()
{
    QFETCH(QString, selector);
    QFETCH(bool, selected);
    BRX_SDK_CameraListing listing{};
    listing.productId = 0x2031;
    qstrcpy(listing.serialNumber, "C3");
    qstrcpy(listing.port, "usb:1-3.1");
    QVERIFY(BRX_SDK_selectCamera(selector.toUtf8().constData()));
    QCOMPARE(BRX_SDK_isCameraSelected(&listing), selected);
    QVERIFY(!BRX_SDK_isCameraSelected(nullptr));
    BRX_SDK_selectCamera(nullptr);
}

// The virtual camera in the process has no socket: an empty port, unlike no camera.
void TestCameraSelector::connectedCameraTellsItsPort()
{
    char port[16] = "unchanged";
    QVERIFY(!BRX_SDK_getCameraPort(port, sizeof port));
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState());
    QVERIFY(BRX_SDK_getCameraPort(port, sizeof port));
    QCOMPARE(QByteArray(port), QByteArray());
    QVERIFY(!BRX_SDK_getCameraPort(nullptr, sizeof port));
    QVERIFY(!BRX_SDK_getCameraPort(port, 0));
    QVERIFY(!BRX_SDK_getCameraHeldElsewhere(port, sizeof port));
}

QTEST_GUILESS_MAIN(TestCameraSelector)
#include "tst_cameraselector.moc"
