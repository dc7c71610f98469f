#include "BRX_SDK.h"
#include "EmulatedCameraTarget.h"
#include "EmulatedUsbDevice.h"
#include "FaultScript.h"
#include "LogCapture.h"
#include "SdkHost.h"
#include "VirtualCameraFunction.h"

#include <QtTest>
#include <list>
#include <memory>

// The whole library, through the exported functions, over real libusb to
// emulated devices: the host hears of a camera only once the library can
// use it, and of nothing else.
class TestUsbConnection : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void heldCameraConnectsOnceFreed();
    void foreignDeviceIsLeftAloneBesideACamera();
    void cameraLeftInASessionConnects();

private:
    struct Emulated {
        std::unique_ptr<VirtualCameraFunction> function;
        std::unique_ptr<EmulatedUsbDevice> device;
    };
    Emulated& plug(int productId, int port);
    bool compensationReachesTheCamera(Emulated& camera, qint32 value);

    std::list<Emulated> m_devices;
    std::unique_ptr<SdkHost> m_host;
};

namespace {

const int kTimeoutMs = 20000;
const int kHeldForeverMs = 600000;
const quint16 kOpGetDeviceInfo = 0x1001;
const quint16 kOpOpenSession = 0x1002;
const quint16 kPropExposureBias = 0x5010;
const int kPropertyCompensation = 7;

} // namespace

// Off the bus first, so that the library's last notification has arrived
// before it exits.
void TestUsbConnection::cleanup()
{
    for (Emulated& emulated : m_devices)
        emulated.device->unplug();
    if (m_host)
        QTRY_VERIFY_WITH_TIMEOUT(!m_host->isConnected(), kTimeoutMs);
    m_host.reset();
    m_devices.clear();
}

TestUsbConnection::Emulated& TestUsbConnection::plug(int productId, int port)
{
    EmulatedUsbDevice::Descriptor descriptor;
    descriptor.productId = quint16(productId);
    descriptor.port = port;
    Emulated emulated;
    emulated.function.reset(new VirtualCameraFunction(productId, descriptor.bulkPacketSize));
    emulated.device.reset(new EmulatedUsbDevice(descriptor, emulated.function.get()));
    emulated.device->plug();
    m_devices.push_back(std::move(emulated));
    return m_devices.back();
}

// A set the host makes is confirmed to it, and the camera holds the value.
bool TestUsbConnection::compensationReachesTheCamera(Emulated& camera, qint32 value)
{
    BRX_SDK_setPropertyQueued(kPropertyCompensation, &value, sizeof value);
    const auto confirmed = [&] {
        qint64 onCamera = 0;
        camera.device->withFunction(
            [&](EmulatedFunction*) { onCamera = camera.function->device().propertyValue(kPropExposureBias); });
        return onCamera == value && m_host->last<qint32>(kPropertyCompensation) == value;
    };
    return QTest::qWaitFor(confirmed, kTimeoutMs);
}

// Another program holds the camera: the host hears nothing while discovery
// keeps trying, with one log line, and the camera connects once it is free.
void TestUsbConnection::heldCameraConnectsOnceFreed()
{
    Emulated& camera = plug(0x2031, 1);
    EmulatedCameraTarget target(*camera.device, *camera.function);
    FaultScript().heldElsewhere(kHeldForeverMs).applyTo(target);
    LogCapture log;
    m_host.reset(new SdkHost(0));
    QTRY_VERIFY_WITH_TIMEOUT(log.contains("usb:1-1 is in use by another program"), kTimeoutMs);
    const int firstAttempt = camera.device->claimRequests();
    QTRY_VERIFY_WITH_TIMEOUT(camera.device->claimRequests() > firstAttempt, kTimeoutMs);
    QVERIFY(m_host->connections().isEmpty());

    camera.device->holdElsewhere(0);
    QVERIFY(m_host->waitForInitialState(kTimeoutMs));
    QVERIFY(compensationReachesTheCamera(camera, -1000));
    QCOMPARE(m_host->connections(), (QList<QPair<bool, int>>{{true, 0x2031}}));
    QCOMPARE(log.count("is in use by another program"), 1);
}

// A PTP device that is no camera of ours is asked for its DeviceInfo and
// left alone; a camera plugged in beside it connects, and the other device
// is not touched again.
void TestUsbConnection::foreignDeviceIsLeftAloneBesideACamera()
{
    const QString verdict = "usb:1-1 lacks the vendor operations of our cameras, left alone";
    Emulated& foreign = plug(0x2041, 1);
    EmulatedCameraTarget target(*foreign.device, *foreign.function);
    FaultScript().foreignDevice().applyTo(target);
    LogCapture log;
    m_host.reset(new SdkHost(0));
    QTRY_VERIFY_WITH_TIMEOUT(log.contains(verdict), kTimeoutMs);

    Emulated& camera = plug(0x2061, 2);
    QVERIFY(m_host->waitForInitialState(kTimeoutMs));
    QVERIFY(compensationReachesTheCamera(camera, 1000));
    QCOMPARE(m_host->connections(), (QList<QPair<bool, int>>{{true, 0x2061}}));
    QCOMPARE(log.count(verdict), 1);
    QVector<quint16> asked;
    foreign.device->withFunction([&](EmulatedFunction*) { asked = foreign.function->device().operationLog(); });
    QCOMPARE(asked, QVector<quint16>{kOpGetDeviceInfo});
}

// A program that ended without closing its session (or an earlier run of the
// host) leaves the camera in it, refusing requests outside it: the library
// ends that session and connects.
void TestUsbConnection::cameraLeftInASessionConnects()
{
    Emulated& camera = plug(0x2031, 1);
    camera.device->withFunction(
        [&](EmulatedFunction*) { camera.function->device().handle(kOpOpenSession, 0, {1}, {}); });
    LogCapture log;
    m_host.reset(new SdkHost(0));
    QVERIFY(m_host->waitForInitialState(kTimeoutMs));
    QVERIFY(compensationReachesTheCamera(camera, 1000));
    QCOMPARE(m_host->connections(), (QList<QPair<bool, int>>{{true, 0x2031}}));
    QCOMPARE(log.count("usb:1-1 still holds an earlier session, resetting it"), 1);
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (!EmulatedUsbDevice::createTestbed()) {
        std::fprintf(stderr, "umockdev preload library not loaded: skipping\n");
        return 77;
    }
    TestUsbConnection test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_usbconnection.moc"
