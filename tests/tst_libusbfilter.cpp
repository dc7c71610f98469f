#include "BRX_Commu_LibusbPipe.h"
#include "BRX_Commu_LibusbScanner.h"
#include "BRX_Commu_UsbDeviceFilter.h"
#include "BRX_Commu_UsbEventAssembler.h"

#include <QtTest>

typedef BRX_Commu_UsbDeviceFilter Filter;
Q_DECLARE_METATYPE(QList<quint16>)
Q_DECLARE_METATYPE(QVector<quint8>)
Q_DECLARE_METATYPE(QList<QByteArray>)

namespace {

Filter::Interface stillImage()
{
    Filter::Interface interface;
    interface.number = 0;
    interface.interfaceClass = 6;
    interface.subClass = 1;
    interface.protocol = 1;
    interface.endpoints = {{0x81, 2, 512}, {0x02, 2, 512}, {0x83, 3, 8}};
    return interface;
}

Filter::Device camera(quint16 vendorId, quint16 productId)
{
    Filter::Device device;
    device.vendorId = vendorId;
    device.productId = productId;
    device.busNumber = 1;
    device.portNumbers = {2};
    device.interfaces = {stillImage()};
    return device;
}

QByteArray eventContainer(quint32 length, quint16 code)
{
    QByteArray bytes(int(length), 0);
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(length >> (8 * i));
    bytes[4] = 4;
    bytes[6] = char(code & 0xFF);
    bytes[7] = char(code >> 8);
    for (int i = 12; i < int(length); ++i)
        bytes[i] = char(i);
    return bytes;
}

QList<QByteArray> packets(const QByteArray& bytes, int packetSize)
{
    QList<QByteArray> list;
    for (int offset = 0; offset < bytes.size(); offset += packetSize)
        list.append(bytes.mid(offset, packetSize));
    return list;
}

// A piece ends on a packet boundary for every packet size, so no short packet
// falls inside a transfer.
static_assert(BRX_Commu_LibusbBulkQueue::kPieceBytes % 1024 == 0, "pieces are whole packets");
static_assert(BRX_Commu_LibusbBulkQueue::kPieceBytes < 16u << 20, "pieces stay small");

} // namespace

class TestLibusbFilter : public QObject
{
    Q_OBJECT

private slots:
    void candidate_data();
    void candidate();
    void interfaceChoice();
    void devicePath_data();
    void devicePath();
    void endpoints_data();
    void endpoints();
    void vendorList_data();
    void vendorList();
    void assembler_data();
    void assembler();
    void statusMapping_data();
    void statusMapping();
    void timeoutScalesWithSize();
};

void TestLibusbFilter::candidate_data()
{
    QTest::addColumn<int>("vendorId");
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("interfaceClass");
    QTest::addColumn<int>("subClass");
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QVector<quint8>>("ports");
    QTest::addColumn<QList<quint16>>("accepted");
    QTest::addColumn<bool>("expected");

    const QVector<quint8> port = {2};
    const QList<quint16> any;
    const QList<quint16> two = {0x1234, 0x5678};
    QTest::newRow("any vendor") << 0x9999 << 0x2011 << 6 << 1 << 1 << port << any << true;
    QTest::newRow("accepted vendor") << 0x5678 << 0x2031 << 6 << 1 << 1 << port << two << true;
    QTest::newRow("other vendor") << 0x9999 << 0x2031 << 6 << 1 << 1 << port << two << false;
    QTest::newRow("product 0") << 0x1234 << 0 << 6 << 1 << 1 << port << two << false;
    QTest::newRow("mass storage") << 0x1234 << 0x2031 << 8 << 6 << 80 << port << two << false;
    QTest::newRow("image class, other subclass") << 0x1234 << 0x2031 << 6 << 2 << 1 << port << two << false;
    QTest::newRow("image class, other protocol") << 0x1234 << 0x2031 << 6 << 1 << 2 << port << two << false;
    QTest::newRow("vendor class") << 0x1234 << 0x2031 << 0xFF << 0xFF << 0xFF << port << two << false;
    QTest::newRow("no port path") << 0x1234 << 0x2031 << 6 << 1 << 1 << QVector<quint8>() << two << false;
}

void TestLibusbFilter::candidate()
{
    QFETCH(int, vendorId);
    QFETCH(int, productId);
    QFETCH(int, interfaceClass);
    QFETCH(int, subClass);
    QFETCH(int, protocol);
    QFETCH(QVector<quint8>, ports);
    QFETCH(QList<quint16>, accepted);
    QFETCH(bool, expected);

    Filter::Device device = camera(quint16(vendorId), quint16(productId));
    device.portNumbers = ports;
    device.interfaces[0].interfaceClass = quint8(interfaceClass);
    device.interfaces[0].subClass = quint8(subClass);
    device.interfaces[0].protocol = quint8(protocol);
    QCOMPARE(Filter::isCandidate(device, accepted), expected);
}

// A composite device may put its still-image interface after others.
void TestLibusbFilter::interfaceChoice()
{
    Filter::Device device = camera(0x1234, 0x2041);
    Filter::Interface storage;
    storage.number = 0;
    storage.interfaceClass = 8;
    Filter::Interface image = stillImage();
    image.number = 2;
    device.interfaces = {storage, image};
    QVERIFY(Filter::stillImageInterface(device));
    QCOMPARE(int(Filter::stillImageInterface(device)->number), 2);
    device.interfaces = {storage};
    QVERIFY(!Filter::stillImageInterface(device));
}

void TestLibusbFilter::devicePath_data()
{
    QTest::addColumn<int>("bus");
    QTest::addColumn<QVector<quint8>>("ports");
    QTest::addColumn<QString>("expected");
    QTest::newRow("root port") << 1 << QVector<quint8>{4} << "usb:1-4";
    QTest::newRow("behind hubs") << 3 << QVector<quint8>{1, 4, 2} << "usb:3-1.4.2";
    QTest::newRow("bus 255") << 255 << QVector<quint8>{7} << "usb:255-7";
    QTest::newRow("root hub") << 2 << QVector<quint8>() << "";
}

void TestLibusbFilter::devicePath()
{
    QFETCH(int, bus);
    QFETCH(QVector<quint8>, ports);
    QFETCH(QString, expected);
    QCOMPARE(Filter::devicePath(quint8(bus), ports), expected);
}

void TestLibusbFilter::endpoints_data()
{
    QTest::addColumn<QByteArray>("layout"); // address, attributes, packet size low, high per endpoint
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("bulkIn");
    QTest::addColumn<int>("bulkOut");
    QTest::addColumn<int>("interruptIn");
    QTest::addColumn<int>("bulkPacketSize");
    QTest::addColumn<int>("interruptPacketSize");

    QTest::newRow("high speed") << QByteArray::fromHex("81020002 02020002 83030800") << true << 0x81 << 0x02
                                << 0x83 << 512 << 8;
    QTest::newRow("full speed, other order") << QByteArray::fromHex("85034000 01024000 82024000") << true << 0x82
                                             << 0x01 << 0x85 << 64 << 64;
    QTest::newRow("superspeed") << QByteArray::fromHex("81020004 02020004 83031800") << true << 0x81 << 0x02
                                << 0x83 << 1024 << 24;
    QTest::newRow("extra transactions bits masked") << QByteArray::fromHex("81020002 02020002 83030818") << true
                                                    << 0x81 << 0x02 << 0x83 << 512 << 8;
    QTest::newRow("no interrupt endpoint") << QByteArray::fromHex("81020002 02020002") << false << 0 << 0 << 0
                                           << 0 << 0;
    QTest::newRow("interrupt out only") << QByteArray::fromHex("81020002 02020002 03030800") << false << 0 << 0
                                        << 0 << 0 << 0;
    QTest::newRow("bulk packet size 0") << QByteArray::fromHex("81020000 02020002 83030800") << false << 0 << 0
                                        << 0 << 0 << 0;
}

void TestLibusbFilter::endpoints()
{
    QFETCH(QByteArray, layout);
    QFETCH(bool, found);
    Filter::Interface interface = stillImage();
    interface.endpoints.clear();
    for (int i = 0; i + 3 < layout.size(); i += 4)
        interface.endpoints.append({quint8(layout[i]), quint8(layout[i + 1]),
                                    quint16(quint8(layout[i + 2]) | quint8(layout[i + 3]) << 8)});
    Filter::Endpoints endpoints;
    QCOMPARE(Filter::findEndpoints(interface, &endpoints), found);
    if (!found)
        return;
    QTEST(int(endpoints.bulkIn), "bulkIn");
    QTEST(int(endpoints.bulkOut), "bulkOut");
    QTEST(int(endpoints.interruptIn), "interruptIn");
    QTEST(int(endpoints.bulkPacketSize), "bulkPacketSize");
    QTEST(int(endpoints.interruptPacketSize), "interruptPacketSize");
}

void TestLibusbFilter::vendorList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<quint16>>("expected");
    QTest::newRow("empty") << "" << true << QList<quint16>();
    QTest::newRow("one") << "0x1234" << true << QList<quint16>{0x1234};
    QTest::newRow("two, no prefix") << "1234,ABCD" << true << QList<quint16>{0x1234, 0xABCD};
    QTest::newRow("blanks and semicolons") << " 0x04b0 ; 0X0A5F " << true << QList<quint16>{0x04B0, 0x0A5F};
    QTest::newRow("zero") << "0x0000" << false << QList<quint16>{0x1111};
    QTest::newRow("too wide") << "0x12345" << false << QList<quint16>{0x1111};
    QTest::newRow("not hex") << "0x12G4" << false << QList<quint16>{0x1111};
}

void TestLibusbFilter::vendorList()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QList<quint16>, expected);
    QList<quint16> vendorIds = {0x1111};
    QCOMPARE(Filter::parseVendorIds(text, &vendorIds), valid);
    QCOMPARE(vendorIds, expected); // a failure leaves the list as it was
}

void TestLibusbFilter::assembler_data()
{
    QTest::addColumn<int>("packetSize");
    QTest::addColumn<QList<QByteArray>>("input");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray e16 = eventContainer(16, 0x4002);
    const QByteArray e20 = eventContainer(20, 0xC00A);
    const QByteArray e24 = eventContainer(24, 0x4009);
    QTest::newRow("one packet") << 64 << QList<QByteArray>{e16} << QList<QByteArray>{e16};
    QTest::newRow("split over packets of 8") << 8 << packets(e20, 8) << QList<QByteArray>{e20};
    QTest::newRow("whole packets, zero-length packet skipped")
        << 8 << packets(e24, 8) + QList<QByteArray>{QByteArray()} + packets(e16, 8)
        << QList<QByteArray>{e24, e16};
    QTest::newRow("whole packets, no zero-length packet") << 8 << packets(e24, 8) + packets(e20, 8)
                                                          << QList<QByteArray>{e24, e20};
    QTest::newRow("stray zero-length packet") << 16 << QList<QByteArray>{QByteArray(), e20}
                                              << QList<QByteArray>{e20};
    QTest::newRow("short packet ends a truncated container")
        << 8 << QList<QByteArray>{e24.left(8), e24.mid(8, 4)} << QList<QByteArray>{e24.left(12)};
    QTest::newRow("bytes past the length dropped") << 64 << QList<QByteArray>{e16 + "xyz"}
                                                   << QList<QByteArray>{e16};
    QTest::newRow("huge length field bounded") << 8 << packets(eventContainer(4000, 0x4002).left(1024), 8)
                                               << QList<QByteArray>{eventContainer(4000, 0x4002).left(1024)};
}

void TestLibusbFilter::assembler()
{
    QFETCH(int, packetSize);
    QFETCH(QList<QByteArray>, input);
    QFETCH(QList<QByteArray>, expected);
    BRX_Commu_UsbEventAssembler assembler{quint32(packetSize)};
    QList<QByteArray> containers;
    for (const QByteArray& packet : input) {
        QByteArray container;
        if (assembler.addPacket(reinterpret_cast<const quint8*>(packet.constData()), quint32(packet.size()),
                                &container))
            containers.append(container);
    }
    QCOMPARE(containers, expected);
}

void TestLibusbFilter::statusMapping_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("status");
    QTest::newRow("success") << 0 << int(BRX_Commu_UsbPipe::kOk);
    QTest::newRow("timeout") << -7 << int(BRX_Commu_UsbPipe::kTimeout);
    QTest::newRow("pipe") << -9 << int(BRX_Commu_UsbPipe::kStall);
    QTest::newRow("overflow") << -8 << int(BRX_Commu_UsbPipe::kOverflow);
    QTest::newRow("no device") << -4 << int(BRX_Commu_UsbPipe::kNoDevice);
    QTest::newRow("io") << -1 << int(BRX_Commu_UsbPipe::kError);
    QTest::newRow("busy") << -6 << int(BRX_Commu_UsbPipe::kError);
    QTest::newRow("no memory") << -11 << int(BRX_Commu_UsbPipe::kError);
}

void TestLibusbFilter::statusMapping()
{
    QFETCH(int, error);
    QFETCH(int, status);
    QCOMPARE(int(BRX_Commu_LibusbPipe::toStatus(error)), status);
}

void TestLibusbFilter::timeoutScalesWithSize()
{
    QCOMPARE(BRX_Commu_LibusbBulkQueue::pieceTimeout(5000, 0), 5000);
    QCOMPARE(BRX_Commu_LibusbBulkQueue::pieceTimeout(5000, 512), 5000);
    QCOMPARE(BRX_Commu_LibusbBulkQueue::pieceTimeout(5000, 4u << 20), 5000 + 4096);
}

QTEST_GUILESS_MAIN(TestLibusbFilter)
#include "tst_libusbfilter.moc"
