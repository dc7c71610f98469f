#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_SDK.h"
#include "LogCapture.h"
#include "SdkHost.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

using Catalogue = BRX_Logic_PropertyCatalogue;
using Access = BRX_Commu_CameraAccess_Base;
using Profile = BRX_Commu_VirtualCameraProfile;
const int kConnectTimeoutMs = 10000;
const int kProducts[] = {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051, 0x2061};

// How a settings read fails: an error response, a data phase cut off before
// its announced length, a whole data phase shorter than the block.
enum SettingsReadFailure { kRefused, kCutOff, kShortBlock };

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

std::unique_ptr<SdkHost> connectedHost(int productId, SdkHost::Transport transport = SdkHost::kUsb)
{
    std::unique_ptr<SdkHost> host(new SdkHost(productId, transport));
    if (!host->waitForInitialState(kConnectTimeoutMs))
        return nullptr;
    return host;
}

std::shared_ptr<BRX_Commu_VirtualCamera> camera()
{
    return BRX_Commu_VirtualCamera::selected();
}

// All a set could change on the camera: its settings block, or the values of
// its device properties.
QByteArray cameraState(int productId)
{
    if (BRX_Commu_ProductFamily::hasSettingsBlock(productId))
        return camera()->settingsBlock();
    QByteArray state;
    for (const BRX_Commu_VirtualCameraProperty& property : Profile::properties(productId))
        state += QByteArray::number(camera()->propertyValue(property.code())) + ' ';
    return state;
}

void addProductRows()
{
    QTest::addColumn<int>("productId");
    for (int productId : kProducts)
        QTest::newRow(qPrintable(QString::number(productId, 16))) << productId;
}

template <typename T>
QByteArray bytesOf(T value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
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

    // Without data and size a request is accepted and does nothing; null
    // data with a size gives no bytes, which is the wrong size.
    void nullDataIsAcceptedOnlyWithoutSize()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        LogCapture log;
        QVERIFY(BRX_SDK_getProperty(5, nullptr, 0));
        QVERIFY(BRX_SDK_setProperty(7, nullptr, 0));
        QVERIFY(log.lines().isEmpty());
        QVERIFY(!BRX_SDK_setProperty(7, nullptr, 4));
        QVERIFY(!BRX_SDK_getProperty(5, nullptr, 8));
        QCOMPARE(log.lines(),
                 QStringList({"BRX_Logic_Controller::setProperty() - wrong size 0 instead of 4 for property: 7",
                              "BRX_Logic_Controller::getProperty() - wrong size 0 instead of 8 for property: 5"}));
    }

    void negativeFileFormatIsRefused()
    {
        std::unique_ptr<SdkHost> host = connectedHost(0x2031);
        QVERIFY(host);
        const qint32 before = getValue<qint32>(30);
        LogCapture log;
        QVERIFY(!setValue<qint32>(30, -1));
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
        QTest::addColumn<SdkHost::Transport>("transport");
        const SdkHost::Transport usb = SdkHost::kUsb, network = SdkHost::kNetwork;
        QTest::newRow("compensation, half step") << 0x2009 << 7 << -1000 << true << qint64(-1) << usb;
        QTest::newRow("compensation, third step") << 0x2021 << 7 << -667 << false << qint64(-1) << usb;
        QTest::newRow("compensation, struct") << 0x2009 << 7 << 1500 << false << qint64(-1) << usb;
        QTest::newRow("temperature selects the preset") << 0x2031 << 32 << 5200 << false << qint64(11) << usb;
        QTest::newRow("white balance preset") << 0x2031 << 32 << 1 << false << qint64(-1) << usb;
        QTest::newRow("struct over PTP/IP") << 0x2011 << 7 << 1500 << true << qint64(-1) << network;
        QTest::newRow("struct M over PTP/IP") << 0x2051 << 7 << -667 << false << qint64(-1) << network;
        QTest::newRow("device properties over PTP/IP") << 0x2061 << 32 << 5200 << false << qint64(11) << network;
    }

    void setValueComesBack()
    {
        QFETCH(int, productId);
        QFETCH(int, property);
        QFETCH(qint32, value);
        QFETCH(bool, queued);
        QFETCH(qint64, cameraWhiteBalance);
        QFETCH(SdkHost::Transport, transport);
        std::unique_ptr<SdkHost> host = connectedHost(productId, transport);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(queued ? BRX_SDK_setPropertyQueued(property, &value, sizeof value) : setValue(property, value));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(property), value, kConnectTimeoutMs);
        QCOMPARE(getValue<qint32>(property), value);
        if (cameraWhiteBalance >= 0)
            QCOMPARE(host->camera().propertyValue(BRX_Commu_CameraAccess_Base::kDevicePropWhiteBalance),
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

    // --- Failures: nothing on the camera nobody asked for, nothing shown it lacks ----

    void failedSettingsReadChangesNothing_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("failure");
        for (int productId : {0x2009, 0x2011, 0x2021, 0x2051}) {
            const QString product = QString::number(productId, 16);
            QTest::newRow(qPrintable(product + " refused")) << productId << int(kRefused);
            QTest::newRow(qPrintable(product + " cut off")) << productId << int(kCutOff);
            QTest::newRow(qPrintable(product + " short block")) << productId << int(kShortBlock);
        }
    }

    // The next set re-reads the block first and sends it with only its own
    // field changed.
    void failedSettingsReadChangesNothing()
    {
        QFETCH(int, productId);
        QFETCH(int, failure);
        std::unique_ptr<SdkHost> host = connectedHost(productId);
        QVERIFY(host);
        const QByteArray before = camera()->settingsBlock();
        if (failure == kRefused)
            camera()->failOperation(Access::kOpGetCameraSettings, 0x2002, 1);
        else if (failure == kCutOff)
            camera()->truncateNextDataPhase(40);
        else
            camera()->cutNextData(Access::kOpGetCameraSettings, 40);
        host->clearChanges();
        LogCapture log;
        camera()->raiseEvent(Access::kVQCameraSettingsChanged);
        QTRY_COMPARE_WITH_TIMEOUT(log.count("recvFromCamera() - camera settings not received, keeping the last ones"),
                                  1, kConnectTimeoutMs);

        QVERIFY(setValue<qint32>(7, 1000));
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(7), 1000, kConnectTimeoutMs);
        QCOMPARE(host->numbers(), QList<int>{7});
        QByteArray after = camera()->settingsBlock();
        QVERIFY(after.at(0x04) != before.at(0x04));
        after[0x04] = before.at(0x04);
        QCOMPARE(after, before);
    }

    void unansweredPropertyShowsNothing_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("property");
        for (int productId : {0x2031, 0x2041, 0x2061}) {
            QTest::newRow(qPrintable(QString::number(productId, 16) + " metering"))
                << productId << int(Access::kDevicePropExposureMeteringMode) << int(BRX_SDK_PropertyExposMetering);
        }
        // Its value on the camera is the record's preset, 0.
        QTest::newRow("2031 white balance") << 0x2031 << int(Access::kDevicePropWhiteBalance)
                                            << int(BRX_SDK_PropertyWhiteBalance);
    }

    // A device property whose reads fail from the start has no value to
    // show: the initial state leaves it out and get fails, until a read
    // succeeds and brings the camera's value, once.
    void unansweredPropertyShowsNothing()
    {
        QFETCH(int, productId);
        QFETCH(int, code);
        QFETCH(int, property);
        std::unique_ptr<SdkHost> host = connectedHost(productId);
        QVERIFY(host);
        const qint32 onCamera = getValue<qint32>(property);
        host->setCameraPlugged(false);
        QTRY_VERIFY_WITH_TIMEOUT(!host->isConnected(), kConnectTimeoutMs);
        host->clearChanges();
        camera()->failOperationOn(Access::kOpGetDevicePropValue, quint32(code), 0x2002);
        host->setCameraPlugged(true);
        QVERIFY(host->waitForInitialState(kConnectTimeoutMs));
        QCOMPARE(host->count(property), 0);
        qint32 shown = -1;
        LogCapture log;
        QVERIFY(!BRX_SDK_getProperty(property, &shown, sizeof shown));
        QCOMPARE(shown, -1);
        QCOMPARE(log.count("BRX_Logic_Controller::getProperty() - functionality is not available"), 1);

        camera()->failOperationOn(Access::kOpGetDevicePropValue, quint32(code), 0);
        camera()->raiseEvent(Access::kVQDevicePropChanged, {quint32(code)});
        QTRY_COMPARE_WITH_TIMEOUT(host->count(property), 1, kConnectTimeoutMs);
        QCOMPARE(host->last<qint32>(property), onCamera);
        QCOMPARE(getValue<qint32>(property), onCamera);
        // Another read of the same value tells the host nothing new; a
        // change reported after it marks when it has been read.
        host->clearChanges();
        camera()->raiseEvent(Access::kVQDevicePropChanged, {quint32(code)});
        const qint32 compensation = getValue<qint32>(BRX_SDK_PropertyExposCompens) == 0 ? 1000 : 0;
        QVERIFY(camera()->changeProperty(Access::kDevicePropExposureBiasCompensation, compensation));
        QTRY_COMPARE_WITH_TIMEOUT(host->count(BRX_SDK_PropertyExposCompens), 1, kConnectTimeoutMs);
        QCOMPARE(host->last<qint32>(BRX_SDK_PropertyExposCompens), compensation);
        QCOMPARE(host->count(property), 0);
    }

    void refusedWriteShowsTheCamerasValue_data() { addProductRows(); }

    void refusedWriteShowsTheCamerasValue()
    {
        QFETCH(int, productId);
        std::unique_ptr<SdkHost> host = connectedHost(productId);
        QVERIFY(host);
        const qint32 iso = getValue<qint32>(10);
        const QVector<qint32> isos = SdkHost::list<qint32>(host->payloads(9).last());
        const auto other = std::find_if(isos.begin(), isos.end(), [iso](qint32 v) { return v != 0 && v != iso; });
        QVERIFY(other != isos.end());
        const QByteArray state = cameraState(productId);
        camera()->failOperation(BRX_Commu_ProductFamily::hasSettingsBlock(productId) ? Access::kOpSetCameraSettings
                                                                     : Access::kOpSetDevicePropValue,
                                0x201C, 1);
        host->clearChanges();
        QVERIFY(!setValue<qint32>(10, *other));
        QCOMPARE(getValue<qint32>(10), iso);
        QTRY_COMPARE_WITH_TIMEOUT(host->count(10), 1, kConnectTimeoutMs);
        QCOMPARE(host->last<qint32>(10), iso);
        QCOMPARE(cameraState(productId), state);
        // The camera takes it the next time.
        QVERIFY(setValue<qint32>(10, *other));
        QCOMPARE(getValue<qint32>(10), *other);
    }

    // Each refused with one line; -1.0, the shutter time notified in bulb,
    // selects bulb.
    void impossibleValuesAreRefused_data() { addProductRows(); }

    void impossibleValuesAreRefused()
    {
        QFETCH(int, productId);
        struct Refused {
            int property;
            QByteArray payload;
            const char* line;
        };
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double infinity = std::numeric_limits<double>::infinity();
        const QList<Refused> refused = {
            {5, bytesOf(0.0), "setShutterTime() - illegal shutter time 0"},
            {5, bytesOf(-2.0), "setShutterTime() - illegal shutter time -2"},
            {5, bytesOf(nan), "setShutterTime() - illegal shutter time nan"},
            {5, bytesOf(infinity), "setShutterTime() - illegal shutter time inf"},
            {3, bytesOf(0.0), "setAperture() - illegal aperture 0"},
            {3, bytesOf(-infinity), "setAperture() - illegal aperture -inf"},
            {3, bytesOf(nan), "setAperture() - illegal aperture nan"},
            {10, bytesOf(qint32(123)), "setSensitivity() - illegal sensitivity 123"},
            {13, bytesOf(qint32(9)), "setDriveMode() - illegal drive mode 9"},
            {23, bytesOf(nan), "setFocusDistance() - "},
        };
        std::unique_ptr<SdkHost> host = connectedHost(productId);
        QVERIFY(host);
        const QByteArray state = cameraState(productId);
        const double shutterTime = getValue<double>(5);
        for (const Refused& request : refused) {
            LogCapture log;
            QVERIFY2(!BRX_SDK_setProperty(request.property, request.payload.constData(), unsigned(request.payload.size())),
                     request.line);
            // Only the setter's lines: the confirmation reads the value
            // back on the controller thread, whenever that comes.
            const QStringList lines = log.linesContaining("BRX_Logic_Controller::set");
            QVERIFY2(lines.size() == 1 && lines.first().contains(request.line), qPrintable(lines.join('\n')));
        }
        QCOMPARE(cameraState(productId), state);
        QCOMPARE(getValue<double>(5), shutterTime);

        QVERIFY(setValue<double>(5, -1.0));
        QCOMPARE(getValue<qint32>(0), 4);
        QCOMPARE(getValue<double>(5), -1.0);
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(0), 4, kConnectTimeoutMs);
    }

    // A camera without interval shooting has it emulated; either way the
    // host reads back and is told what it set.
    void intervalsReadBackWhatWasSet_data() { addProductRows(); }

    void intervalsReadBackWhatWasSet()
    {
        QFETCH(int, productId);
        std::unique_ptr<SdkHost> host = connectedHost(productId);
        QVERIFY(host);
        host->clearChanges();
        QVERIFY(setValue<qint32>(41, 50));
        QVERIFY(setValue<qint32>(43, 10));
        QCOMPARE(getValue<qint32>(41), 50);
        QCOMPARE(getValue<qint32>(43), 10);
        QTRY_COMPARE_WITH_TIMEOUT(host->last<qint32>(43), 10, kConnectTimeoutMs);
        QCOMPARE(host->last<qint32>(41), 50);
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
