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

    // The checks themselves are tested on the catalogue; here every number
    // they let through must have a reader, and a refusal must come back
    // from the exports under the controller's label.
    void everyNumberAgainstGetAndSet()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        char buffer[16] = {};
        for (int property = -2; property <= 45; ++property) {
            const Catalogue::Entry* entry = Catalogue::find(property);
            const unsigned int size = entry ? Catalogue::payloadSize(entry->payload) : 4;
            LogCapture log;
            const bool readable = Catalogue::checkGet(property, buffer, size, "") == Catalogue::Verdict::Accepted;
            QVERIFY2(BRX_SDK_getProperty(property, buffer, size) == readable, qPrintable(QString::number(property)));
            // Without data an accepted set does nothing, so only refusals show.
            if (entry && entry->access == Catalogue::Access::Command)
                continue;
            const bool writable = Catalogue::checkSet(property, nullptr, size, "") != Catalogue::Verdict::Refused;
            QVERIFY2(BRX_SDK_setProperty(property, nullptr, size) == writable, qPrintable(QString::number(property)));
        }
        LogCapture log;
        QVERIFY(!BRX_SDK_getProperty(24, buffer, 0));
        QVERIFY(!BRX_SDK_setProperty(26, buffer, 4));
        QCOMPARE(log.lines(), QStringList({"BRX_Logic_Controller::getProperty() - cannot get write-only property: 24",
                                           "BRX_Logic_Controller::setProperty() - cannot set read-only property: 26"}));
    }

    // Without data a request is accepted and does nothing.
    void nullDataIsAccepted()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        LogCapture log;
        QVERIFY(BRX_SDK_getProperty(5, nullptr, 0));
        QVERIFY(BRX_SDK_setProperty(7, nullptr, 0));
        QVERIFY(log.lines().isEmpty());
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

    void focusCommandsMoveTheLens()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        const auto releases = [] {
            return BRX_Commu_VirtualCamera::selected()->operationLog().count(BRX_Commu_CameraAccess_Base::kOpRelease);
        };
        for (int nearerOrFarther : {24, 25}) {
            const int before = releases();
            QVERIFY(BRX_SDK_setProperty(nearerOrFarther));
            // Autofocus off, then one lens step.
            QVERIFY(releases() >= before + 2);
        }
    }

    // --- Round trips: set, the camera changes, the notification comes back ---------

    void setValueComesBack_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("property");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<bool>("queued");
        QTest::addColumn<qint64>("cameraWhiteBalance");
        QTest::newRow("compensation, half step") << 0x2009 << 7 << -1000 << true << qint64(-1);
        QTest::newRow("compensation, third step") << 0x2021 << 7 << -667 << false << qint64(-1);
        QTest::newRow("compensation, struct") << 0x2009 << 7 << 1500 << false << qint64(-1);
        QTest::newRow("temperature selects the preset") << 0x2031 << 32 << 5200 << false << qint64(11);
        QTest::newRow("white balance preset") << 0x2031 << 32 << 1 << false << qint64(-1);
    }

    void setValueComesBack()
    {
        QFETCH(int, productId);
        QFETCH(int, property);
        QFETCH(qint32, value);
        QFETCH(bool, queued);
        QFETCH(qint64, cameraWhiteBalance);
        std::unique_ptr<SdkHost> host = connectedHost(productId);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(queued ? BRX_SDK_setPropertyQueued(property, &value, sizeof value) : setValue(property, value));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(property), value, kConnectTimeoutMs);
        QCOMPARE(getValue<qint32>(property), value);
        if (cameraWhiteBalance >= 0)
            QCOMPARE(BRX_Commu_VirtualCamera::selected()->propertyValue(
                         BRX_Commu_CameraAccess_Base::kDevicePropWhiteBalance),
                     cameraWhiteBalance);
    }

    // The shutter times depend on the sensitivity: list and time follow,
    // and the automatic flag is notified.
    void sensitivityIsFollowedByTheShutterTimes_data()
    {
        QTest::addColumn<int>("property");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<char>("automatic");
        QTest::newRow("ISO 400") << 10 << QByteArray::fromHex("90010000") << '\0';
        QTest::newRow("automatic") << 11 << QByteArray(1, '\1') << '\1';
    }

    void sensitivityIsFollowedByTheShutterTimes()
    {
        QFETCH(int, property);
        QFETCH(QByteArray, payload);
        QFETCH(char, automatic);
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(BRX_SDK_setProperty(property, payload.constData(), unsigned(payload.size())));
        QTRY_VERIFY_WITH_TIMEOUT(containsRun(host->numbers(), {property, 4, 5}), kConnectTimeoutMs);
        QCOMPARE(host->payloads(11).first(), QByteArray(1, automatic));
        QByteArray read(payload.size(), 'x');
        QVERIFY(BRX_SDK_getProperty(property, read.data(), unsigned(read.size())));
        QCOMPARE(read, payload);
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
