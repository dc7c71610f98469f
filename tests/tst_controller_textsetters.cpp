#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_Controller.h"
#include "LogCapture.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstdlib>
#include <memory>

namespace {

const int kTimeoutMs = 10000;

// A controller of its own in the test's thread, connected to a virtual camera.
struct Rig {
    explicit Rig(int productId)
    {
        BRX_Commu_VirtualCamera::select(productId);
        controller.reset(new BRX_Logic_Controller);
        // Stands in for the main object, which owns every notification's copy.
        QObject::connect(controller.get(), &BRX_Logic_Controller::signalPropertySafe,
                         [](int, void* data, quint32) { std::free(data); });
        QSignalSpy spy(controller.get(), &BRX_Logic_Controller::signalCameraConnected);
        connected = spy.isValid() && spy.wait(kTimeoutMs);
    }
    ~Rig()
    {
        controller.reset();
        BRX_Commu_VirtualCamera::select(0);
    }

    template <typename T>
    T get(int property)
    {
        T value{};
        controller->getProperty(property, &value, sizeof value);
        return value;
    }

    std::unique_ptr<BRX_Logic_Controller> controller;
    bool connected = false;
};

} // namespace

// The Qt-side setters that take a converter's display text.
class TestControllerTextSetters : public QObject
{
    Q_OBJECT
private slots:
    // Text outside the converter's list changes nothing.
    void textBecomesTheConvertersValue()
    {
        Rig rig(0x2031);
        QVERIFY(rig.connected);
        rig.controller->setExposCompens(QStringLiteral("+1 EV"));
        QCOMPARE(rig.get<qint32>(7), 1000);
        LogCapture log;
        rig.controller->setExposCompens(QStringLiteral("+9 EV"));
        QCOMPARE(log.linesContaining("setExposCompens"),
                 QStringList("BRX_Logic_Controller::setExposCompens() - unknown value: +9 EV"));
        QCOMPARE(rig.get<qint32>(7), 1000);
        rig.controller->setSensitivity(QStringLiteral("800"));
        QCOMPARE(rig.get<qint32>(10), 800);
        rig.controller->setShutterTime(QStringLiteral("B"));
        QCOMPARE(rig.get<qint32>(0), 4);
        rig.controller->setShutterTime(QStringLiteral("1/125s"));
        QCOMPARE(rig.get<qint32>(0), 0);
        QCOMPARE(rig.get<double>(5), 1.0 / 125);
    }

    // A text that is no shutter time would become the longest one.
    void shutterTimeTextThatDoesNotParseIsRefused()
    {
        Rig rig(0x2031);
        QVERIFY(rig.connected);
        const qint64 exposure = BRX_Commu_VirtualCamera::selected()->propertyValue(0xD03B);
        const double shutterTime = rig.get<double>(5);
        for (const QString& text : {QStringLiteral("0s"), QStringLiteral("fast"), QStringLiteral("1/0s")}) {
            LogCapture log;
            rig.controller->setShutterTime(text);
            QCOMPARE(log.linesContaining("BRX_Logic_Controller::"),
                     QStringList("BRX_Logic_Controller::setShutterTime() - unknown value: " + text));
        }
        QCOMPARE(BRX_Commu_VirtualCamera::selected()->propertyValue(0xD03B), exposure);
        QCOMPARE(rig.get<double>(5), shutterTime);
    }

    void missingConverterIsNamed()
    {
        Rig rig(0x2051);
        QVERIFY(rig.connected);
        LogCapture log;
        rig.controller->setWhiteBalance(QStringLiteral("Auto"));
        QVERIFY(log.contains("BRX_Logic_Controller::setWhiteBalance() - no converter for white balance"));
    }
};

QTEST_GUILESS_MAIN(TestControllerTextSetters)
#include "tst_controller_textsetters.moc"
