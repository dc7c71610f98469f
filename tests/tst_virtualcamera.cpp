#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccessFactory.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"
#include "BRX_Logic_DeviceInfo.h"
#include "BRX_SDK.h"
#include "LogCapture.h"
#include "VirtualCameraRig.h"

#include <QtTest>

namespace {

const int kStructProducts[] = {0x2009, 0x2011, 0x2021, 0x2051};
const int kPropertyProducts[] = {0x2031, 0x2041, 0x2061};

template <class Products>
void addProductRows(const Products& productIds)
{
    for (int productId : productIds)
        QTest::addRow("0x%04X", productId) << productId;
}

// The values an enumeration descriptor lists, empty for other forms.
QVector<qint64> enumeration(BRX_Commu_CameraAccess_Base& access, quint16 code)
{
    QByteArray buffer(1024, '\0');
    if (!access.getDevicePropDesc(code, buffer.data(), 1024))
        return {};
    BRX_Commu_ByteReader reader(buffer.constData(), 1024);
    const quint16 type = reader.readU16At(2);
    const quint32 width = type <= 2 ? 1 : type <= 4 ? 2 : 4;
    const quint32 formOffset = 5 + 2 * width;
    if (reader.readU8At(formOffset) != 2)
        return {};
    QVector<qint64> values;
    const quint16 count = reader.readU16At(formOffset + 1);
    for (quint32 i = 0; i < count; ++i)
        values << reader.readIntAt(formOffset + 3 + i * width, width, type % 2 == 1);
    return values;
}

} // namespace

class TestVirtualCamera : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    // What each product holds
    void deviceInfo_data();
    void deviceInfo();
    void settingsBlock_data();
    void settingsBlock();
    void settingsWriteRaisesEvent_data();
    void settingsWriteRaisesEvent();
    void everyPropertyHasDescriptorAndValue_data();
    void everyPropertyHasDescriptorAndValue();
    void enumerationsFollowConverterTables_data();
    void enumerationsFollowConverterTables();
    void propertyWrite();
    void shutterWriteCodeUpdatesReadCode();
    void captureMode7();
    void cameraSideChange();

    // The responder's checks
    void responderChecks_data();
    void responderChecks();
    void commandWithSixParametersIsRefused();
    void spuriousZeroLengthPacketIsCounted();
    void pipeOfUnpluggedCameraStaysDead();

    // Host selection
    void selectionExports();
    void factoryFollowsSelection();
    void selectionRefusedAfterInit();
};

void TestVirtualCamera::initTestCase()
{
    setDebugFlags(kDebugPtp, true);
}

void TestVirtualCamera::deviceInfo_data()
{
    QTest::addColumn<int>("productId");
    addProductRows(kStructProducts);
    addProductRows(kPropertyProducts);
}

void TestVirtualCamera::deviceInfo()
{
    QFETCH(int, productId);
    VirtualCameraRig rig(productId);
    QVERIFY(rig.connect());
    BRX_Logic_DeviceInfo info(rig.access.get());
    const bool structProduct = BRX_Commu_ProductFamily::hasSettingsBlock(productId);
    QCOMPARE(info.getManufacturer(), QStringLiteral("Virtual Camera Works"));
    QCOMPARE(info.isOperationSupported(0x9002), structProduct);
    QCOMPARE(info.isOperationSupported(0x1016), !structProduct);
    QVERIFY(info.isOperationSupported(0x9005));
    QCOMPARE(info.isEventSupported(0xC00A), !structProduct);
    QVERIFY(info.isEventSupported(0xC000));
    for (const BRX_Commu_VirtualCameraProperty& property : BRX_Commu_VirtualCameraProfile::properties(productId))
        QVERIFY(info.isDevicePropSupported(property.code()));
}

void TestVirtualCamera::settingsBlock_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("compensationIndex"); // 0 EV
    QTest::addColumn<int>("isoValue");
    QTest::newRow("0x2009") << 0x2009 << 6 << 80;
    QTest::newRow("0x2011") << 0x2011 << 6 << 50;
    QTest::newRow("0x2021") << 0x2021 << 9 << 320;
    QTest::newRow("0x2051") << 0x2051 << 9 << 320;
}

void TestVirtualCamera::settingsBlock()
{
    QFETCH(int, productId);
    QFETCH(int, compensationIndex);
    QFETCH(int, isoValue);
    VirtualCameraRig rig(productId);
    QVERIFY(rig.connect());
    QByteArray block(100, '\0');
    QVERIFY(rig.access->getCameraSettings(block.data(), 100));
    BRX_Commu_ByteReader reader(block.constData(), 100);
    QCOMPARE(int(reader.readU8At(0x04)), compensationIndex);
    QCOMPARE(int(reader.readU16At(0x45)), isoValue);
    QCOMPARE(int(reader.readU8At(0x42)), 61);
}

void TestVirtualCamera::settingsWriteRaisesEvent_data()
{
    QTest::addColumn<int>("productId");
    addProductRows(kStructProducts);
}

void TestVirtualCamera::settingsWriteRaisesEvent()
{
    QFETCH(int, productId);
    VirtualCameraRig rig(productId);
    QVERIFY(rig.connect());
    QSignalSpy changed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalSettingsChanged);
    QByteArray block = rig.camera->settingsBlock();
    block[0x01] = 2;
    QVERIFY(rig.access->setCameraSettings(block.constData(), 100));
    QVERIFY(rig.camera->settingsBlock() == block);
    QVERIFY(changed.wait());
    LogCapture log;
    QVERIFY(!rig.access->setCameraSettings(block.constData(), 99));
    QVERIFY(log.contains("setCameraSettings() - MTP Response code: 0x0000201D"));
}

void TestVirtualCamera::everyPropertyHasDescriptorAndValue_data()
{
    QTest::addColumn<int>("productId");
    addProductRows(kPropertyProducts);
}

// The writable properties admit their own current value, as the record's
// descriptor check sees it.
void TestVirtualCamera::everyPropertyHasDescriptorAndValue()
{
    QFETCH(int, productId);
    VirtualCameraRig rig(productId);
    QVERIFY(rig.connect());
    for (const BRX_Commu_VirtualCameraProperty& property : BRX_Commu_VirtualCameraProfile::properties(productId)) {
        QByteArray value(4, char(0x55));
        QVERIFY(rig.access->getDevicePropValue(property.code(), value.data(), 4));
        BRX_Commu_ByteReader reader(value.constData(), 4);
        QCOMPARE(reader.readIntAt(0, quint32(property.width()), property.isSigned()), qint32(property.value()));
        if (property.isWritable())
            QVERIFY2(rig.access->supportsDevicePropValue(property.code(), int(property.value())),
                     qPrintable(QString::number(property.code(), 16)));
    }
}

void TestVirtualCamera::enumerationsFollowConverterTables_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("code");
    QTest::addColumn<QVector<qint64>>("values");
    QTest::newRow("white balance 0x2061") << 0x2061 << 0x5005 << QVector<qint64>{0, 1, 2, 3, 4, 6, 7, 8, 10, 11};
    QTest::newRow("white balance 0x2031") << 0x2031 << 0x5005 << QVector<qint64>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11};
    QTest::newRow("file format") << 0x2041 << 0xD004 << QVector<qint64>{0, 1, 3};
    QTest::newRow("JPG resolution 0x2031") << 0x2031 << 0xD00F << QVector<qint64>{0, 1, 2};
    QTest::newRow("JPG resolution 0x2061") << 0x2061 << 0xD00F << QVector<qint64>{3, 4, 5};
    QTest::newRow("bracketing step 0x2041") << 0x2041 << 0xD007 << QVector<qint64>{1000, 2000, 3000};
    QTest::newRow("sensitivity 0x2031")
        << 0x2031 << 0x500F << QVector<qint64>{0, 100, 200, 400, 800, 1600, 3200, 6400, 12500};
    QTest::newRow("autoreview, signed") << 0x2031 << 0xD01A << QVector<qint64>{0, 1, 3, 5, -1};
}

void TestVirtualCamera::enumerationsFollowConverterTables()
{
    QFETCH(int, productId);
    QFETCH(int, code);
    QFETCH(QVector<qint64>, values);
    VirtualCameraRig rig(productId);
    QVERIFY(rig.connect());
    QCOMPARE(enumeration(*rig.access, quint16(code)), values);
}

void TestVirtualCamera::propertyWrite()
{
    VirtualCameraRig rig(0x2031);
    QVERIFY(rig.connect());
    QSignalSpy changed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    QVERIFY(rig.access->setDevicePropWhiteBalance(8));
    QCOMPARE(rig.camera->propertyValue(0x5005), qint64(8));
    QVERIFY(changed.wait());
    QCOMPARE(changed.at(0).at(0).value<ushort>(), ushort(0x5005));

    LogCapture log;
    QVERIFY(!rig.access->setDevicePropWhiteBalance(10));
    QVERIFY(log.contains("MTP Response code: 0x0000201C"));
    QVERIFY(!rig.access->setDevicePropSensitivityASA(800)); // read only
    QVERIFY(log.contains("MTP Response code: 0x0000200F"));
    QCOMPARE(rig.camera->propertyValue(0x5005), qint64(8));
}

void TestVirtualCamera::shutterWriteCodeUpdatesReadCode()
{
    VirtualCameraRig rig(0x2041);
    QVERIFY(rig.connect());
    QSignalSpy changed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    QVERIFY(rig.access->setDevicePropExposureTime(quint32(-256)));
    quint32 value = 0;
    QVERIFY(rig.access->getDevicePropExposureTime(value));
    QCOMPARE(qint32(value), -256);
    QVERIFY(changed.wait());
    QCOMPARE(changed.at(0).at(0).value<ushort>(), ushort(0xD60D));
}

void TestVirtualCamera::captureMode7()
{
    VirtualCameraRig withMode7(0x2031);
    QVERIFY(withMode7.connect());
    QVERIFY(withMode7.access->evaluateSupportsCaptureMode7());
    VirtualCameraRig without(0x2061);
    QVERIFY(without.connect());
    QVERIFY(!without.access->supportsDevicePropValue(0x5013, 7));
}

void TestVirtualCamera::cameraSideChange()
{
    VirtualCameraRig rig(0x2061);
    QVERIFY(rig.connect());
    QSignalSpy changed(rig.access.get(), &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    QVERIFY(rig.camera->changeProperty(0x500E, 4));
    QVERIFY(!rig.camera->changeProperty(0xD999, 1));
    QVERIFY(changed.wait());
    QCOMPARE(changed.at(0).at(0).value<ushort>(), ushort(0x500E));
    quint16 program = 0;
    QVERIFY(rig.access->getDevicePropExposureProgramMode(program));
    QCOMPARE(program, quint16(4));
}

void TestVirtualCamera::responderChecks_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<bool>("sessionOpen");
    QTest::addColumn<int>("opCode");
    QTest::addColumn<int>("transactionId");
    QTest::addColumn<QVector<quint32>>("params");
    QTest::addColumn<int>("response");
    typedef QVector<quint32> P;
    QTest::newRow("no session") << 0x2031 << false << 0x901D << 1 << P() << 0x2003;
    QTest::newRow("device info without session") << 0x2031 << false << 0x1001 << 0 << P() << 0x2001;
    QTest::newRow("open with ID 1") << 0x2031 << false << 0x1002 << 1 << P{1} << 0x2004;
    QTest::newRow("open session 0") << 0x2031 << false << 0x1002 << 0 << P{0} << 0x201D;
    QTest::newRow("open twice") << 0x2031 << true << 0x1002 << 0 << P{1} << 0x201E;
    QTest::newRow("next ID") << 0x2031 << true << 0x901D << 1 << P() << 0x2001;
    QTest::newRow("ID gap") << 0x2031 << true << 0x901D << 2 << P() << 0x2004;
    QTest::newRow("ID repeated") << 0x2031 << true << 0x901D << 0 << P() << 0x2004;
    QTest::newRow("unknown operation") << 0x2031 << true << 0x9999 << 1 << P() << 0x2005;
    QTest::newRow("vendor session key") << 0x2031 << true << 0x9005 << 1 << P{0xFF56} << 0x2006;
    QTest::newRow("struct operation") << 0x2031 << true << 0x9002 << 1 << P() << 0x2005;
    QTest::newRow("property operation") << 0x2009 << true << 0x1015 << 1 << P{0x5001} << 0x2005;
    QTest::newRow("unknown property") << 0x2041 << true << 0x1015 << 1 << P{0xD999} << 0x200A;
}

void TestVirtualCamera::responderChecks()
{
    QFETCH(int, productId);
    QFETCH(bool, sessionOpen);
    QFETCH(int, opCode);
    QFETCH(int, transactionId);
    QFETCH(QVector<quint32>, params);
    QFETCH(int, response);
    BRX_Commu_VirtualCameraDevice device(productId);
    if (sessionOpen)
        QCOMPARE(int(device.handle(0x1002, 0, {1}, QByteArray()).code), 0x2001);
    QCOMPARE(int(device.handle(quint16(opCode), quint32(transactionId), params, QByteArray()).code), response);
}

void TestVirtualCamera::commandWithSixParametersIsRefused()
{
    auto camera = BRX_Commu_VirtualCamera::create(0x2031);
    auto pipe = camera->open();
    const QByteArray command =
        BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kCommand, 0x1001, 0, {1, 2, 3, 4, 5, 6}).encode();
    quint32 sent = 0;
    QCOMPARE(pipe->bulkOut(reinterpret_cast<const quint8*>(command.constData()), quint32(command.size()), &sent, 100),
             BRX_Commu_UsbPipe::kOk);
    quint8 reply[512];
    quint32 received = 0;
    QCOMPARE(pipe->bulkIn(reply, 512, &received, 100), BRX_Commu_UsbPipe::kOk);
    BRX_Commu_PtpContainer response;
    QVERIFY(response.decodeHeader(reply, received));
    QCOMPARE(response.type, quint16(BRX_Commu_PtpContainer::kResponse));
    QCOMPARE(response.code, quint16(0x2006));
}

void TestVirtualCamera::spuriousZeroLengthPacketIsCounted()
{
    auto camera = BRX_Commu_VirtualCamera::create(0x2031);
    auto pipe = camera->open();
    quint32 sent = 0;
    QCOMPARE(pipe->bulkOut(nullptr, 0, &sent, 100), BRX_Commu_UsbPipe::kOk);
    QCOMPARE(camera->protocolErrors(), 1);
}

void TestVirtualCamera::pipeOfUnpluggedCameraStaysDead()
{
    auto camera = BRX_Commu_VirtualCamera::create(0x2031);
    auto pipe = camera->open();
    camera->setPlugged(false);
    QVERIFY(!camera->open());
    camera->setPlugged(true);
    quint8 buffer[64];
    quint32 received = 0;
    QCOMPARE(pipe->interruptIn(buffer, 64, &received, 10), BRX_Commu_UsbPipe::kNoDevice);
    QCOMPARE(pipe->bulkIn(buffer, 64, &received, 10), BRX_Commu_UsbPipe::kNoDevice);
    QVERIFY(camera->open());
}

void TestVirtualCamera::selectionExports()
{
    QVERIFY(!BRX_SDK_useVirtualCamera(0x1234));
    QVERIFY(BRX_SDK_useVirtualCamera(0x2041));
    QCOMPARE(BRX_Commu_VirtualCamera::selected()->productId(), 0x2041);
    QVERIFY(BRX_SDK_setVirtualCameraConnected(false));
    QVERIFY(!BRX_Commu_VirtualCamera::selected()->isPlugged());
    QVERIFY(BRX_SDK_setVirtualCameraConnected(true));
    QVERIFY(BRX_Commu_VirtualCamera::selected()->isPlugged());
    QVERIFY(BRX_SDK_useVirtualCamera(0));
    QVERIFY(!BRX_Commu_VirtualCamera::selected());
    QVERIFY(!BRX_SDK_setVirtualCameraConnected(true));
}

void TestVirtualCamera::factoryFollowsSelection()
{
    QVERIFY(BRX_SDK_useVirtualCamera(0x2021));
    std::unique_ptr<BRX_Commu_CameraAccess_Base> access(BRX_Commu_CameraAccessFactory::create(1));
    QSignalSpy available(access.get(), &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(access->checkDeviceAvailable());
    QCOMPARE(available.at(0).at(2).toInt(), 0x2021);
    QVERIFY(access->openConnection(available.at(0).at(1).value<quint64>(), 0x2021, available.at(0).at(3).toString()));
    QVERIFY(access->keepCameraActive());
    QVERIFY(BRX_SDK_setVirtualCameraConnected(false));
    QSignalSpy closed(access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionClosed);
    QVERIFY(closed.wait());

    QVERIFY(BRX_SDK_useVirtualCamera(0));
    std::unique_ptr<BRX_Commu_CameraAccess_Base> hardware(BRX_Commu_CameraAccessFactory::create(1));
    QCOMPARE(hardware->connectionType(), 1);
    QVERIFY(!hardware->checkDeviceAvailable());
}

void TestVirtualCamera::selectionRefusedAfterInit()
{
    BRX_SDK_init(nullptr, nullptr);
    QVERIFY(!BRX_SDK_useVirtualCamera(0x2031));
    BRX_SDK_exit();
    QVERIFY(BRX_SDK_useVirtualCamera(0x2031));
    QVERIFY(BRX_SDK_useVirtualCamera(0));
}

QTEST_GUILESS_MAIN(TestVirtualCamera)
#include "tst_virtualcamera.moc"
