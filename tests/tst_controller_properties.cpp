#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_SDK.h"
#include "LogCapture.h"
#include "SdkHost.h"

#include <QtTest>

#include <memory>

namespace {

using Catalogue = BRX_Logic_PropertyCatalogue;
const int kConnectTimeoutMs = 10000;

template <typename T>
bool setValue(int property, T value)
{
    return BRX_SDK_setProperty(property, &value, sizeof value);
}

template <typename T>
T getValue(int property)
{
    T value{};
    return BRX_SDK_getProperty(property, &value, sizeof value) ? value : T{};
}

QString getLine(const QString& text, int property)
{
    return QString("BRX_Logic_Controller::getProperty() - %1: %2").arg(text).arg(property);
}

QString setLine(const QString& text, int property)
{
    return QString("BRX_Logic_Controller::setProperty() - %1: %2").arg(text).arg(property);
}

// Whether numbers holds sequence as consecutive entries.
bool containsRun(const QList<int>& numbers, const QList<int>& sequence)
{
    for (int start = 0; start + sequence.size() <= numbers.size(); ++start) {
        if (numbers.mid(start, sequence.size()) == sequence)
            return true;
    }
    return false;
}

std::unique_ptr<SdkHost> connectedHost(int productId)
{
    std::unique_ptr<SdkHost> host(new SdkHost(productId));
    if (!host->waitForInitialState(kConnectTimeoutMs))
        return nullptr;
    return host;
}

} // namespace

// Reading and writing properties through the exports against a camera.
class TestControllerProperties : public QObject
{
    Q_OBJECT
private slots:
    // --- The catalogue as the host meets it ----------------------------------------

    void everyNumberAgainstGetAndSet_data()
    {
        QTest::addColumn<int>("property");
        QTest::addColumn<QString>("getLog");
        QTest::addColumn<QString>("setLog");
        const QList<int> unknownForGet = {2, 4, 6, 9, 12, 15, 17};
        const QList<int> readOnly = {2, 4, 6, 9, 12, 15, 17, 26, 27, 28, 38, 39, 40, 42};
        for (int property = -2; property <= 45; ++property) {
            QString getLog;
            QString setLog;
            if (property < 0 || property > 43) {
                getLog = getLine("unknown property", property);
                setLog = setLine("unknown property", property);
            } else if (property >= 20 && property <= 22) {
                getLog = getLine("cannot get emit-only property", property);
                setLog = setLine("cannot set emit-only property", property);
            } else {
                if (unknownForGet.contains(property))
                    getLog = getLine("unknown property", property);
                else if (QList<int>{24, 25, 35, 36}.contains(property))
                    getLog = getLine("cannot get write-only property", property);
                if (readOnly.contains(property))
                    setLog = setLine("cannot set read-only property", property);
            }
            QTest::addRow("%d", property) << property << getLog << setLog;
        }
    }

    void everyNumberAgainstGetAndSet()
    {
        QFETCH(int, property);
        QFETCH(QString, getLog);
        QFETCH(QString, setLog);
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        const Catalogue::Entry* entry = Catalogue::find(property);
        const unsigned int size = entry ? Catalogue::payloadSize(entry->payload) : 4;
        char buffer[16] = {};

        LogCapture log;
        const bool got = BRX_SDK_getProperty(property, buffer, size);
        QCOMPARE(got, getLog.isEmpty());
        if (!getLog.isEmpty())
            QCOMPARE(log.linesContaining("BRX_Logic_Controller::getProperty()"), QStringList(getLog));
        // Without data an accepted set does nothing, so only refusals show.
        const bool isCommand = entry && entry->access == Catalogue::Access::Command;
        if (!isCommand) {
            QCOMPARE(BRX_SDK_setProperty(property, nullptr, size), setLog.isEmpty());
            if (!setLog.isEmpty())
                QCOMPARE(log.linesContaining("BRX_Logic_Controller::setProperty()"), QStringList(setLog));
        }
    }

    void nullDataAndWrongSizes()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        LogCapture log;
        QVERIFY(BRX_SDK_getProperty(5, nullptr, 0));
        QVERIFY(BRX_SDK_setProperty(7, nullptr, 0));
        QVERIFY(log.lines().isEmpty());

        char buffer[16] = {};
        QVERIFY(!BRX_SDK_getProperty(5, buffer, 4));
        QVERIFY(!BRX_SDK_setProperty(24, buffer, 4));
        QVERIFY(!BRX_SDK_setProperty(11, buffer, 4));
        QCOMPARE(log.lines(), QStringList({
                                  "BRX_Logic_Controller::getProperty() - wrong size 4 instead of 8 for property: 5",
                                  "BRX_Logic_Controller::setProperty() - wrong size 4 instead of 0 for property: 24",
                                  "BRX_Logic_Controller::setProperty() - wrong size 4 instead of 1 for property: 11",
                              }));
    }

    void negativeFileFormatIsIgnored()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        const qint32 before = getValue<qint32>(30);
        LogCapture log;
        QVERIFY(setValue<qint32>(30, -1));
        QVERIFY(log.contains("BRX_Logic_Controller::setFileFormat() - illegal file format -1"));
        QCOMPARE(getValue<qint32>(30), before);
    }

    void focusCommandsMoveTheLens_data()
    {
        QTest::addColumn<int>("property");
        QTest::newRow("nearer") << 24;
        QTest::newRow("farther") << 25;
    }

    void focusCommandsMoveTheLens()
    {
        QFETCH(int, property);
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        const auto releases = [] {
            return BRX_Commu_VirtualCamera::selected()->operationLog().count(BRX_Commu_CameraAccess_Base::kOpRelease);
        };
        const int before = releases();
        QVERIFY(BRX_SDK_setProperty(property));
        // Autofocus off, then one lens step.
        QVERIFY(releases() >= before + 2);
    }

    // --- Round trips: set, the camera changes, the notification comes back ---------

    void exposureCompensationRoundTrip_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("milliEv");
        QTest::newRow("half step") << 0x2009 << 1500;
        QTest::newRow("third step") << 0x2021 << -667;
    }

    void exposureCompensationRoundTrip()
    {
        QFETCH(int, productId);
        QFETCH(int, milliEv);
        std::unique_ptr<SdkHost> host = connectedHost(productId);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(setValue<qint32>(7, milliEv));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(7), milliEv, kConnectTimeoutMs);
        QCOMPARE(getValue<qint32>(7), milliEv);
    }

    void sensitivityIsFollowedByTheShutterTimes()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(setValue<qint32>(10, 400));
        QTRY_VERIFY_WITH_TIMEOUT(host->last<qint32>(10) == 400, kConnectTimeoutMs);
        QVERIFY(containsRun(host->numbers(), {10, 4, 5}));
        QCOMPARE(host->payloads(11).first(), QByteArray(1, '\0'));
        QCOMPARE(getValue<qint32>(10), 400);
    }

    void automaticSensitivityIsSensitivityZero()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(setValue<bool>(11, true));
        // The shutter times depend on the sensitivity: list and time follow.
        QTRY_VERIFY_WITH_TIMEOUT(containsRun(host->numbers(), {11, 4, 5}), kConnectTimeoutMs);
        QCOMPARE(host->payloads(11).first(), QByteArray(1, '\1'));
        QCOMPARE(getValue<bool>(11), true);
    }

    void whiteBalanceTemperatureSelectsThePreset()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(setValue<qint32>(32, 5200));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(32), 5200, kConnectTimeoutMs);
        QCOMPARE(getValue<qint32>(32), 5200);
        QCOMPARE(BRX_Commu_VirtualCamera::selected()->propertyValue(BRX_Commu_CameraAccess_Base::kDevicePropWhiteBalance),
                 qint64(11));

        QVERIFY(setValue<qint32>(32, 1));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(32), 1, kConnectTimeoutMs);
        QCOMPARE(getValue<qint32>(32), 1);
    }

    void focusDistanceIsInMetres()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(BRX_Commu_VirtualCamera::selected()->changeProperty(BRX_Commu_CameraAccess_Base::kDevicePropFocusDistance,
                                                                    2500));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<double>(23), 2.5, kConnectTimeoutMs);
        QCOMPARE(getValue<double>(23), 2.5);
        QVERIFY(BRX_Commu_VirtualCamera::selected()->changeProperty(BRX_Commu_CameraAccess_Base::kDevicePropFocusDistance,
                                                                    0x7FFFFFFF));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<double>(23), 1000000.0, kConnectTimeoutMs);
    }

    void shutterTimeLeavesBulb()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(setValue<qint32>(0, 4));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(0), 4, kConnectTimeoutMs);
        QCOMPARE(getValue<double>(5), -1.0);

        host->clearChanges();
        QVERIFY(setValue<double>(5, 1.0 / 125));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(0), 0, kConnectTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(host->last<double>(5), 1.0 / 125, kConnectTimeoutMs);
        QCOMPARE(getValue<qint32>(0), 0);
    }

    void queuedSetsReachTheCamera()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2009);
        QVERIFY(host);
        host->clearChanges();
        const qint32 value = -1000;
        QVERIFY(BRX_SDK_setPropertyQueued(7, &value, sizeof value));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(7), value, kConnectTimeoutMs);
    }
};

QTEST_GUILESS_MAIN(TestControllerProperties)
#include "tst_controller_properties.moc"
