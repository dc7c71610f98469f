#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_LibusbScanner.h"
#include "EmulatedUsbDevice.h"
#include "LogCapture.h"
#include "VirtualCameraFunction.h"

#include <QtTest>
#include <memory>

// The USB access over real libusb, with the virtual camera as the emulated
// device: discovery, the session, transactions of all sizes, events and
// removal.
class TestLibusbCamera : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectTransactAndClose_data();
    void connectTransactAndClose();
    void largeDataPhases_data();
    void largeDataPhases();
    void eventsReachTheAccess();
    void unplugWhileIdleClosesOnce();
    void unplugDuringTransactionClosesOnce();

private:
    void plugCamera(int productId, quint32 capabilities = EmulatedUsbDevice::kCurrentKernel);
    bool connectCamera();

    std::unique_ptr<VirtualCameraFunction> m_function;
    std::unique_ptr<EmulatedUsbDevice> m_device;
    std::unique_ptr<BRX_Commu_CameraAccess_Usb_PTP> m_access;
};

namespace {
const quint16 kOpGetDeviceInfo = 0x1001;
const quint16 kOpTest = 0x9901;
} // namespace

void TestLibusbCamera::init()
{
    plugCamera(0x2011);
    m_access.reset(new BRX_Commu_CameraAccess_Usb_PTP(std::make_shared<BRX_Commu_LibusbScanner>(QList<quint16>())));
}

void TestLibusbCamera::cleanup()
{
    m_access.reset();
    m_device.reset();
    m_function.reset();
}

void TestLibusbCamera::plugCamera(int productId, quint32 capabilities)
{
    m_device.reset();
    EmulatedUsbDevice::Descriptor descriptor;
    descriptor.productId = quint16(productId);
    descriptor.capabilities = capabilities;
    m_function.reset(new VirtualCameraFunction(productId, descriptor.bulkPacketSize));
    m_device.reset(new EmulatedUsbDevice(descriptor, m_function.get()));
    m_device->plug();
}

bool TestLibusbCamera::connectCamera()
{
    QSignalSpy available(m_access.get(), &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    if (!m_access->checkDeviceAvailable() || available.count() != 1)
        return false;
    const QList<QVariant> arguments = available.first();
    return m_access->openConnection(arguments.at(1).toULongLong(), arguments.at(2).toInt(), arguments.at(3).toString());
}

void TestLibusbCamera::connectTransactAndClose_data()
{
    QTest::addColumn<int>("productId");
    for (int productId : {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051, 0x2061})
        QTest::newRow(qPrintable(QString::number(productId, 16))) << productId;
}

void TestLibusbCamera::connectTransactAndClose()
{
    QFETCH(int, productId);
    plugCamera(productId);

    QSignalSpy available(m_access.get(), &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(m_access->checkDeviceAvailable());
    QCOMPARE(available.count(), 1);
    QCOMPARE(available.first().at(2).toInt(), productId);
    QCOMPARE(available.first().at(3).toString(), QStringLiteral("usb:1-1"));
    QVERIFY(!m_access->checkDeviceAvailable()); // announced once
    QVERIFY(m_access->openConnection(available.first().at(1).toULongLong(), productId, QStringLiteral("usb:1-1")));
    QByteArray info(4096, 0);
    QVERIFY(m_access->recvData(kOpGetDeviceInfo, 0, nullptr, info.data(), quint32(info.size()), "GetDeviceInfo"));
    QVERIFY(m_access->closeConnection());
    QVector<quint16> log;
    m_device->withFunction([&](EmulatedFunction*) { log = m_function->device().operationLog(); });
    QVERIFY(log.size() >= 6);
    // Without vendor IDs from the build, the identity is read before the session.
    QCOMPARE(log.mid(0, 2), (QVector<quint16>{kOpGetDeviceInfo, 0x1002}));
    QCOMPARE(log.last(), quint16(0x1003));
    int protocolErrors = -1;
    m_device->withFunction([&](EmulatedFunction*) { protocolErrors = m_function->link().protocolErrors(); });
    QCOMPARE(protocolErrors, 0);
}

void TestLibusbCamera::largeDataPhases_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<quint32>("capabilities");
    const quint32 current = EmulatedUsbDevice::kCurrentKernel;
    QTest::newRow("empty") << 0 << current;
    QTest::newRow("container of one packet") << 512 - 12 << current;
    QTest::newRow("container of several packets") << 4 * 512 - 12 << current;
    QTest::newRow("odd size") << 3001 << current;
    QTest::newRow("several MiB") << (5 << 20) + 123 << current;
    QTest::newRow("several MiB in 16 KiB URBs") << (5 << 20) + 123 << EmulatedUsbDevice::kOlderKernel;
}

// A test operation echoes what it got back, both directions. A current
// kernel takes the large transfers whole; an older one gets them in 16 KiB
// URBs.
void TestLibusbCamera::largeDataPhases()
{
    QFETCH(int, size);
    QFETCH(quint32, capabilities);
    plugCamera(0x2011, capabilities);
    QByteArray stored;
    m_device->withFunction([&](EmulatedFunction*) {
        m_function->device().setCustomOperation(kOpTest, BRX_Commu_VirtualCameraDevice::kDataOut,
                                                [&](const QVector<quint32>&, const QByteArray& out, QByteArray*) {
                                                    stored = out;
                                                    return quint16(0x2001);
                                                });
        m_function->device().setCustomOperation(kOpTest + 1, BRX_Commu_VirtualCameraDevice::kDataIn,
                                                [&](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                                    *in = stored;
                                                    return quint16(0x2001);
                                                });
    });
    QVERIFY(connectCamera());
    QByteArray data(size, 0);
    for (int i = 0; i < size; ++i)
        data[i] = char(i * 13);
    QVERIFY(m_access->sendData(kOpTest, 0, nullptr, data.constData(), quint32(size), "send"));
    QByteArray back(size + 100, 'x');
    QVERIFY(m_access->recvData(kOpTest + 1, 0, nullptr, back.data(), quint32(back.size()), "receive"));
    QCOMPARE(back.left(size), data);
    QCOMPARE(back.mid(size), QByteArray(100, 0));
    if (size > (1 << 20))
        QCOMPARE(m_device->largestBulkTransfer() > 16384, capabilities != EmulatedUsbDevice::kOlderKernel);
    int protocolErrors = -1;
    m_device->withFunction([&](EmulatedFunction*) { protocolErrors = m_function->link().protocolErrors(); });
    QCOMPARE(protocolErrors, 0);
}

void TestLibusbCamera::eventsReachTheAccess()
{
    QVERIFY(connectCamera());
    QSignalSpy settings(m_access.get(), &BRX_Commu_CameraAccess_Base::signalSettingsChanged);
    QSignalSpy transfer(m_access.get(), &BRX_Commu_CameraAccess_Base::signalTransferRequest);
    QVERIFY(settings.isValid() && transfer.isValid());
    m_device->withFunction([&](EmulatedFunction*) {
        m_function->device().raiseEvent(0xC000, {});
        m_function->device().raiseEvent(0x4009, {7});
    });
    QTRY_COMPARE(settings.count(), 1);
    QTRY_COMPARE(transfer.count(), 1);
}

void TestLibusbCamera::unplugWhileIdleClosesOnce()
{
    QVERIFY(connectCamera());
    QSignalSpy closed(m_access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionClosed);
    m_device->unplug();
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(!m_access->sendCommand(0x9005, 0, nullptr, "after"));
    QVERIFY(!m_access->checkDeviceAvailable());
    m_device->plug();
    QSignalSpy available(m_access.get(), &BRX_Commu_CameraAccess_Base::signalDeviceAvailable);
    QVERIFY(m_access->checkDeviceAvailable()); // plugged back in: found again
    QCOMPARE(closed.count(), 1);
}

void TestLibusbCamera::unplugDuringTransactionClosesOnce()
{
    QVERIFY(connectCamera());
    QSignalSpy closed(m_access.get(), &BRX_Commu_CameraAccess_Base::signalConnectionClosed);
    m_device->withFunction([&](EmulatedFunction*) {
        m_function->link().injectFault({BRX_Commu_VirtualCameraLink::Fault::kVanish, kOpGetDeviceInfo, 0, 0});
    });
    QByteArray info(4096, 0);
    QVERIFY(!m_access->recvData(kOpGetDeviceInfo, 0, nullptr, info.data(), quint32(info.size()), "GetDeviceInfo"));
    m_device->unplug();
    QTRY_COMPARE(closed.count(), 1);
    QTest::qWait(0);
    QCOMPARE(closed.count(), 1);
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (!EmulatedUsbDevice::createTestbed()) {
        std::fprintf(stderr, "umockdev preload library not loaded: skipping\n");
        return 77;
    }
    TestLibusbCamera test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_libusbcamera.moc"
