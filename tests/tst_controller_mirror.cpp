#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_Controller.h"
#include "LogCapture.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstdlib>
#include <memory>

namespace {

typedef BRX_Logic_Controller Ctl;
typedef BRX_Commu_CameraAccess_Base Access;
const int kTimeoutMs = 10000;

// A controller of its own in the test's thread on a virtual camera, with a
// stand-in for the main object that records the numbers the host receives.
struct Rig {
    explicit Rig(int productId)
    {
        BRX_Commu_VirtualCamera::select(productId);
        controller.reset(new Ctl);
        QObject::connect(controller.get(), &Ctl::signalPropertySafe, [this](int property, void* data, quint32) {
            hostNumbers.append(property);
            std::free(data);
        });
        QSignalSpy spy(controller.get(), &Ctl::signalCameraConnected);
        connected = spy.isValid() && spy.wait(kTimeoutMs);
    }
    ~Rig()
    {
        controller.reset();
        BRX_Commu_VirtualCamera::select(0);
    }

    // Delivers the queued notifications and answers their numbers.
    QList<int> delivered()
    {
        QCoreApplication::sendPostedEvents();
        return hostNumbers;
    }

    std::unique_ptr<Ctl> controller;
    bool connected = false;
    QList<int> hostNumbers;
};

template <typename T>
T lastArgument(const QSignalSpy& spy)
{
    return spy.isEmpty() ? T() : spy.last().at(0).value<T>();
}

} // namespace

// The Qt-side mirror of the camera's values: value, text, list and
// availability signals, next to an unchanged host notification stream.
class TestControllerMirror : public QObject
{
    Q_OBJECT
private slots:
    void cameraChangeReachesValueAndText_data()
    {
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<quint16>("code");
        QTest::addColumn<qint64>("cameraValue");
        QTest::addColumn<int>("hostNumber");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("contrast, Qt only") << QByteArray("signalContrast") << quint16(Access::kDevicePropContrast) << qint64(2) << -1 << 2
                                           << "High";
        QTest::newRow("exposure metering, host too")
            << QByteArray("signalExposMetering") << quint16(Access::kDevicePropExposureMeteringMode) << qint64(0) << 1 << 0 << "Spot";
    }

    void cameraChangeReachesValueAndText()
    {
        QFETCH(QByteArray, signal);
        QFETCH(quint16, code);
        QFETCH(qint64, cameraValue);
        QFETCH(int, hostNumber);
        QFETCH(int, value);
        QFETCH(QString, text);
        Rig rig(0x2031);
        QVERIFY(rig.connected);
        // The string form of SIGNAL(), which tells the overloads apart.
        QSignalSpy values(rig.controller.get(), QByteArray("2" + signal + "(int)").constData());
        QSignalSpy texts(rig.controller.get(), QByteArray("2" + signal + "(QString)").constData());
        QVERIFY(values.isValid() && texts.isValid());

        QVERIFY(BRX_Commu_VirtualCamera::selected()->changeProperty(code, cameraValue));
        QVERIFY(texts.wait(kTimeoutMs));
        QCOMPARE(lastArgument<int>(values), value);
        QCOMPARE(lastArgument<QString>(texts), text);
        QCOMPARE(rig.delivered(), hostNumber < 0 ? QList<int>() : QList<int>{hostNumber});
    }

    void qtOnlyStatusPassesUnchanged()
    {
        Rig rig(0x2031);
        QVERIFY(rig.connected);
        QSignalSpy battery(rig.controller.get(), &Ctl::signalBatteryInfo);
        QVERIFY(BRX_Commu_VirtualCamera::selected()->changeProperty(Access::kDevicePropBatteryInfo, 2));
        QTRY_COMPARE_WITH_TIMEOUT(lastArgument<int>(battery), 2, kTimeoutMs);
        QVERIFY(rig.delivered().isEmpty());
    }

    void sensitivityGivesItsNotificationsAndText()
    {
        Rig rig(0x2031);
        QVERIFY(rig.connected);
        QSignalSpy texts(rig.controller.get(), QOverload<const QString&>::of(&Ctl::signalSensitivity));
        const qint32 iso = 400;
        QVERIFY(rig.controller->setProperty(10, &iso, sizeof iso));
        QTRY_COMPARE_WITH_TIMEOUT(lastArgument<QString>(texts), QStringLiteral("400"), kTimeoutMs);
        QCOMPARE(rig.delivered().mid(rig.delivered().indexOf(10)).mid(0, 3), (QList<int>{10, 4, 5}));
    }

    // The order of the host's numbers is checked through the exports.
    void initialStateAnnouncesAvailabilityAndLists_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<bool>("whiteBalance");
        QTest::addColumn<bool>("aperture");
        QTest::addColumn<bool>("contrast");
        QTest::newRow("struct") << 0x2009 << true << true << false;
        QTest::newRow("struct-M") << 0x2021 << true << false << false;
        QTest::newRow("device properties") << 0x2031 << true << true << true;
    }

    void initialStateAnnouncesAvailabilityAndLists()
    {
        QFETCH(int, productId);
        QFETCH(bool, whiteBalance);
        QFETCH(bool, aperture);
        QFETCH(bool, contrast);
        Rig rig(productId);
        QVERIFY(rig.connected);
        Ctl* controller = rig.controller.get();
        QSignalSpy hasWhiteBalance(controller, &Ctl::signalHasWhiteBalance);
        QSignalSpy whiteBalanceList(controller, &Ctl::signalWhiteBalanceList);
        QSignalSpy hasAperture(controller, &Ctl::signalHasAperture);
        QSignalSpy apertureList(controller, &Ctl::signalApertureList);
        QSignalSpy meteringList(controller, &Ctl::signalExposMeteringList);
        QSignalSpy meteringText(controller, QOverload<const QString&>::of(&Ctl::signalExposMetering));
        QSignalSpy fileFormatList(controller, &Ctl::signalFileFormatList);
        QSignalSpy hasContrast(controller, &Ctl::signalHasContrast);
        QSignalSpy contrastList(controller, &Ctl::signalContrastList);
        QSignalSpy contrastValue(controller, QOverload<int>::of(&Ctl::signalContrast));

        controller->catchCameraGUIOpened();
        QCOMPARE(hasWhiteBalance.count(), 1);
        QCOMPARE(lastArgument<bool>(hasWhiteBalance), whiteBalance);
        QCOMPARE(whiteBalanceList.count(), whiteBalance ? 1 : 0);
        QCOMPARE(hasAperture.count(), 1);
        QCOMPARE(lastArgument<bool>(hasAperture), aperture);
        QCOMPARE(apertureList.count(), aperture ? 1 : 0);
        // A setting the camera lacks has neither list nor value.
        QCOMPARE(hasContrast.count(), 1);
        QCOMPARE(lastArgument<bool>(hasContrast), contrast);
        QCOMPARE(!contrastList.isEmpty() && !contrastValue.isEmpty(), contrast);
        QCOMPARE(contrastList.isEmpty() && contrastValue.isEmpty(), !contrast);
        // Lists every camera has, and the current value's text from its list.
        QCOMPARE(lastArgument<QStringList>(meteringList),
                 QStringList({"Spot", "Center-weighted", "Multi-field"}));
        QCOMPARE(meteringText.count(), 1);
        QVERIFY(lastArgument<QStringList>(meteringList).contains(lastArgument<QString>(meteringText)));
        QVERIFY(!lastArgument<QStringList>(fileFormatList).isEmpty());
    }

    // The list ends with bulb, which reads -1 s and "B" once chosen.
    void shutterTimeTextsEndWithBulb()
    {
        Rig rig(0x2031);
        QVERIFY(rig.connected);
        QSignalSpy texts(rig.controller.get(), &Ctl::signalShutterTimeList);
        QSignalSpy current(rig.controller.get(), QOverload<const QString&>::of(&Ctl::signalShutterTime));
        QSignalSpy seconds(rig.controller.get(), QOverload<double>::of(&Ctl::signalShutterTime));
        rig.controller->catchCameraGUIOpened();
        const QStringList list = lastArgument<QStringList>(texts);
        QCOMPARE(list.first(), QStringLiteral("1/4000s"));
        QCOMPARE(list.last(), QStringLiteral("B"));
        QVERIFY(list.contains(lastArgument<QString>(current)));
        QVERIFY(lastArgument<QString>(current) != QStringLiteral("B"));

        rig.controller->setShutterTime(QStringLiteral("B"));
        rig.controller->catchCameraGUIOpened();
        QCOMPARE(lastArgument<double>(seconds), -1.0);
        QCOMPARE(lastArgument<QString>(current), QStringLiteral("B"));
    }

    void missingConverterLosesOnlyTheText()
    {
        Rig rig(0x2051);
        QVERIFY(rig.connected);
        rig.delivered();
        rig.hostNumbers.clear();
        QSignalSpy value(rig.controller.get(), QOverload<int>::of(&Ctl::signalWhiteBalance));
        QSignalSpy text(rig.controller.get(), QOverload<const QString&>::of(&Ctl::signalWhiteBalance));
        LogCapture log;
        rig.controller->emitWhiteBalance(3);
        QCOMPARE(rig.delivered(), QList<int>{32});
        QCOMPARE(lastArgument<int>(value), 3);
        QCOMPARE(text.count(), 0);
        QCOMPARE(log.lines(),
                 QStringList("BRX_Logic_ControllerMirror::emitValue() - no converter for white balance"));
    }
};

QTEST_GUILESS_MAIN(TestControllerMirror)
#include "tst_controller_mirror.moc"
