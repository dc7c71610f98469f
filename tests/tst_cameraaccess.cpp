#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "FakeCameraAccess.h"
#include "LogCapture.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <functional>

typedef std::function<bool(BRX_Commu_CameraAccess_Base&)> Operation;
typedef QVector<quint32> Params;
Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(FakeCameraAccess::Direction)

namespace {

const QString kLabelPrefix = QStringLiteral("BRX_Commu_CameraAccess_Base::");

// A DevicePropDesc dataset: code, data type, get/set, default, current, form.
class DescBuilder
{
public:
    DescBuilder(quint16 dataType, quint32 width) : m_width(width)
    {
        appendLE(0x5013, 2);
        appendLE(dataType, 2);
        appendLE(1, 1);
        appendLE(0, width);
        appendLE(0, width);
    }
    DescBuilder& none() { return form(0); }
    DescBuilder& range(qint64 minimum, qint64 maximum, qint64 step)
    {
        form(1);
        appendLE(minimum, m_width);
        appendLE(maximum, m_width);
        appendLE(step, m_width);
        return *this;
    }
    DescBuilder& enumeration(const QList<qint64>& values)
    {
        form(2);
        appendLE(values.size(), 2);
        for (qint64 value : values)
            appendLE(value, m_width);
        return *this;
    }
    DescBuilder& form(quint8 flag)
    {
        appendLE(flag, 1);
        return *this;
    }
    QByteArray bytes() const { return m_bytes; }

private:
    void appendLE(qint64 value, quint32 width)
    {
        for (quint32 i = 0; i < width; ++i)
            m_bytes.append(char(quint64(value) >> (8 * i)));
    }
    quint32 m_width;
    QByteArray m_bytes;
};

} // namespace

class TestCameraAccess : public QObject
{
    Q_OBJECT
private slots:
    void init() { setDebugFlags(kDebugPtp, false); }

    void operationSendsTransaction_data();
    void operationSendsTransaction();
    void operationLogsItsLine();
    void failedTransactionIsFalse();
    void thumbnailWithoutBufferSendsNothing();
    void factoryRefusesUnknownTypes();

    void typedAccessorWidthAndSign();
    void typedAccessorReadAndWriteCodes();
    void focusModeFollowsItsProperty();

    void supportsDevicePropValue_data();
    void supportsDevicePropValue();
    void descriptorErrorsAreLogged_data();
    void descriptorErrorsAreLogged();
    void failedDescriptorReadRejects();
    void captureMode7OnlyAskedOf2031();

    void changedPropertyIsDeduplicated();
    void changedPropertiesDrainOnePerTick();
    void lensMarkerBecomesLensChange();
    void changeTimerDrainsQueue();
    void changedPropertiesFromAnotherThread();

    void finishTransferNeverGoesNegative();
};

void TestCameraAccess::operationSendsTransaction_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("opCode");
    QTest::addColumn<Params>("params");
    QTest::addColumn<FakeCameraAccess::Direction>("direction");

    static char buffer[0x10000];
    const auto in = FakeCameraAccess::DataIn;
    const auto out = FakeCameraAccess::DataOut;
    const auto none = FakeCameraAccess::NoData;
    typedef BRX_Commu_CameraAccess_Base A;
    QTest::newRow("getDeviceInfo") << Operation([](A& a) { return a.getDeviceInfo(buffer, 64); })
                                   << "getDeviceInfo" << 0x1001 << Params() << in;
    QTest::newRow("getStorageIDs") << Operation([](A& a) { return a.getStorageIDs(buffer, 64); })
                                   << "getStorageIDs" << 0x1004 << Params() << in;
    QTest::newRow("getObjectHandles")
        << Operation([](A& a) { return a.getObjectHandles(buffer, 64, 0x10001); }) << "getObjectHandles"
        << 0x1007 << Params{0x10001, 0, 0} << in;
    QTest::newRow("getObjectInfo") << Operation([](A& a) { return a.getObjectInfo(buffer, 64, 1, 9); })
                                   << "getObjectInfo" << 0x1008 << Params{9, 1} << in;
    QTest::newRow("getObjectPropsSupported")
        << Operation([](A& a) { return a.getObjectPropsSupported(buffer, 64, 0x3801); })
        << "getObjectPropsSupported" << 0x9801 << Params{0x3801} << in;
    QTest::newRow("getObjectPropValue")
        << Operation([](A& a) { return a.getObjectPropValue(buffer, 64, 0xDC02, 9); })
        << "getObjectPropValue" << 0x9803 << Params{9, 0xDC02} << in;
    QTest::newRow("getObject") << Operation([](A& a) { return a.getObject(buffer, 64, 9); })
                               << "getObject" << 0x1009 << Params{9} << in;
    QTest::newRow("getPartialObject")
        << Operation([](A& a) { return a.getPartialObject(buffer, 0x10000, 0x20000, 7); })
        << "getPartialObject" << 0x101B << Params{7, 0x20000, 0x10000} << in;
    QTest::newRow("getStreamInfo") << Operation([](A& a) { return a.getStreamInfo(buffer, 36); })
                                   << "getStreamInfo" << 0x1024 << Params{0} << in;
    QTest::newRow("getThumbnail") << Operation([](A& a) { return a.getThumbnail(buffer, 64, 2, 9); })
                                  << "getThumbnail" << 0x100A << Params{9, 2} << in;
    QTest::newRow("transferObjectReady") << Operation([](A& a) { return a.transferObjectReady(); })
                                         << "transferObjectReady" << 0x9007 << Params() << none;
    QTest::newRow("getCameraSettings") << Operation([](A& a) { return a.getCameraSettings(buffer, 64); })
                                       << "getCameraSettings" << 0x9002 << Params() << in;
    QTest::newRow("setCameraSettings") << Operation([](A& a) { return a.setCameraSettings(buffer, 64); })
                                       << "setCameraSettings" << 0x9001 << Params() << out;
    QTest::newRow("getLensData") << Operation([](A& a) { return a.getLensData(buffer, 64); })
                                 << "getLensData" << 0x9003 << Params() << in;
    QTest::newRow("get3DAxisData") << Operation([](A& a) { return a.get3DAxisData(buffer, 64); })
                                   << "get3DAxisData" << 0x9020 << Params() << in;
    QTest::newRow("getGeotackingData") << Operation([](A& a) { return a.getGeotackingData(buffer, 64); })
                                       << "getGeotackingData" << 0x9008 << Params() << in;
    QTest::newRow("getStreamData") << Operation([](A& a) { return a.getStreamData(buffer, 64); })
                                   << "getStreamData" << 0x9025 << Params() << in;
    QTest::newRow("getDevicePropDesc")
        << Operation([](A& a) { return a.getDevicePropDesc(0x5013, buffer, 64); }) << "getDevicePropDesc"
        << 0x1014 << Params{0x5013} << in;
    QTest::newRow("getDevicePropValue")
        << Operation([](A& a) { return a.getDevicePropValue(0x5013, buffer, 2); }) << "getDevicePropValue"
        << 0x1015 << Params{0x5013} << in;
    QTest::newRow("setDevicePropValue")
        << Operation([](A& a) { return a.setDevicePropValue(0x5013, buffer, 2); }) << "setDevicePropValue"
        << 0x1016 << Params{0x5013} << out;
    QTest::newRow("deleteObject") << Operation([](A& a) { return a.deleteObject(9); }) << "deleteObject"
                                  << 0x100B << Params{9} << none;
    QTest::newRow("initiateCapture") << Operation([](A& a) { return a.initiateCapture(); })
                                     << "initiateCapture" << 0x100E << Params() << none;
    QTest::newRow("controlAutoFocus 1") << Operation([](A& a) { return a.controlAutoFocus(1); })
                                        << "controlAutoFocus" << 0x9016 << Params{1} << none;
    QTest::newRow("controlAutoFocus 2") << Operation([](A& a) { return a.controlAutoFocus(0u, 2); })
                                        << "controlAutoFocus" << 0x9016 << Params{0, 2} << none;
    QTest::newRow("controlBulbExposure") << Operation([](A& a) { return a.controlBulbExposure(1); })
                                         << "controlBulbExposure" << 0x9019 << Params{1} << none;
    QTest::newRow("controlContinuousExposure")
        << Operation([](A& a) { return a.controlContinuousExposure(0); }) << "controlContinuousExposure"
        << 0x901A << Params{0} << none;
    QTest::newRow("controlVideoRecording") << Operation([](A& a) { return a.controlVideoRecording(3); })
                                           << "controlVideoRecording" << 0x901B << Params{3} << none;
    QTest::newRow("controlPhotoLiveView") << Operation([](A& a) { return a.controlPhotoLiveView(1); })
                                          << "controlPhotoLiveView" << 0x901C << Params{1} << none;
    QTest::newRow("keepCameraActive") << Operation([](A& a) { return a.keepCameraActive(); })
                                      << "keepCameraActive" << 0x901D << Params() << none;
    QTest::newRow("moveLens") << Operation([](A& a) { return a.moveLens(2, -5); }) << "moveLens" << 0x901E
                              << Params{2, quint32(-5)} << none;
    QTest::newRow("toggleZoomMode") << Operation([](A& a) { return a.toggleZoomMode(); })
                                    << "toggleZoomMode" << 0x9021 << Params{1} << none;
    QTest::newRow("setFocusCrossPosition")
        << Operation([](A& a) { return a.setFocusCrossPosition(100, 200); }) << "setFocusCrossPosition"
        << 0x9022 << Params{100, 200} << none;
    QTest::newRow("controlLVWhiteBalance") << Operation([](A& a) { return a.controlLVWhiteBalance(3); })
                                           << "controlLVWhiteBalance" << 0x9023 << Params{3} << none;
}

void TestCameraAccess::operationSendsTransaction()
{
    QFETCH(Operation, operation);
    QFETCH(QString, method);
    QFETCH(int, opCode);
    QFETCH(Params, params);
    QFETCH(FakeCameraAccess::Direction, direction);

    FakeCameraAccess access;
    QVERIFY(operation(access));
    QCOMPARE(access.transactions.size(), 1);
    const FakeCameraAccess::Transaction& sent = access.transactions.first();
    QCOMPARE(int(sent.opCode), opCode);
    QCOMPARE(sent.params, params);
    QCOMPARE(sent.direction, direction);
    QCOMPARE(sent.methodName, kLabelPrefix + method + "()");
}

void TestCameraAccess::operationLogsItsLine()
{
    FakeCameraAccess access;
    char buffer[16];
    LogCapture log;
    access.getPartialObject(buffer, sizeof buffer, 0x20000, 7);
    QVERIFY(log.lines().isEmpty());

    setDebugFlags(kDebugPtp, true);
    access.getPartialObject(buffer, sizeof buffer, 0x20000, 7);
    access.moveLens(1, -3);
    QCOMPARE(log.lines(), QStringList({
        kLabelPrefix + "getPartialObject() - dataSize 0x00000010 offset 0x00020000 objectHandle 0x00000007",
        kLabelPrefix + "moveLens() - command 1 value -3"}));
}

void TestCameraAccess::failedTransactionIsFalse()
{
    FakeCameraAccess access;
    access.script(0x9003, FakeCameraAccess::fail(0x2019));
    char buffer[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    QVERIFY(!access.getLensData(buffer, sizeof buffer));
    QCOMPARE(QByteArray(buffer, 8), QByteArray(8, '\0'));
    access.script(0x100E, FakeCameraAccess::fail());
    QVERIFY(!access.initiateCapture());
}

void TestCameraAccess::thumbnailWithoutBufferSendsNothing()
{
    FakeCameraAccess access;
    char buffer[4];
    QVERIFY(!access.getThumbnail(nullptr, 100, 1, 9));
    QVERIFY(!access.getThumbnail(buffer, 0, 1, 9));
    QVERIFY(access.transactions.isEmpty());
}

void TestCameraAccess::factoryRefusesUnknownTypes()
{
    for (int type : {0, 3, 0x101})
        QVERIFY(!BRX_Commu_CameraAccess_Base::createCameraAccess(type));
}

void TestCameraAccess::typedAccessorWidthAndSign()
{
    FakeCameraAccess access;
    access.script(0x1015, 0x5001, FakeCameraAccess::ok(QByteArray::fromHex("3d")));
    access.script(0x1015, 0x5010, FakeCameraAccess::ok(QByteArray::fromHex("fefff0")));
    access.script(0x1015, 0xD62B, FakeCameraAccess::ok(QByteArray::fromHex("b3310000ff")));

    quint8 battery = 0;
    QVERIFY(access.getDevicePropBatteryLevel(battery));
    QCOMPARE(battery, quint8(61));
    qint16 compensation = 0;
    QVERIFY(access.getDevicePropExposureBiasCompensation(compensation));
    QCOMPARE(compensation, qint16(-2));
    quint32 distance = 0;
    QVERIFY(access.getDevicePropFocusDistance(distance));
    QCOMPARE(distance, quint32(12723));

    QVERIFY(access.setDevicePropExposureBiasCompensation(-333));
    QVERIFY(access.setDevicePropContrast(2));
    QCOMPARE(access.transactions.at(3).sent, QByteArray::fromHex("b3fe"));
    QCOMPARE(access.transactions.at(4).sent, QByteArray::fromHex("02"));
}

void TestCameraAccess::typedAccessorReadAndWriteCodes()
{
    FakeCameraAccess access;
    quint32 value = 0;
    access.getDevicePropExposureTime(value);
    access.setDevicePropExposureTime(0x700);
    access.getDevicePropAperture(value);
    access.setDevicePropAperture(0x480);
    access.setDevicePropElectronicShutter(1);
    access.getDevicePropStreamVideoResolution(value);

    const QList<QPair<int, quint32>> expected = {
        {0x1015, 0xD60C}, {0x1016, 0xD03B}, {0x1015, 0xD60E},
        {0x1016, 0xD03C}, {0x1016, 0xD080}, {0x1015, 0xD632}};
    QCOMPARE(access.transactions.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(int(access.transactions.at(i).opCode), expected.at(i).first);
        QCOMPARE(access.transactions.at(i).params, Params{expected.at(i).second});
    }
    QCOMPARE(access.transactions.at(1).sent, QByteArray::fromHex("00070000"));
}

void TestCameraAccess::focusModeFollowsItsProperty()
{
    FakeCameraAccess access;
    QCOMPARE(access.focusMode(), quint16(2));
    access.script(0x1015, 0x500A, FakeCameraAccess::ok(QByteArray::fromHex("0100")));
    quint16 mode = 0;
    QVERIFY(access.getDevicePropFocusMode(mode));
    QCOMPARE(access.focusMode(), quint16(1));
    QVERIFY(access.setDevicePropFocusMode(0));
    QCOMPARE(access.focusMode(), quint16(0));

    access.script(0x1016, 0x500A, FakeCameraAccess::fail());
    QVERIFY(!access.setDevicePropFocusMode(2));
    QCOMPARE(access.focusMode(), quint16(0));
    // Other 2-byte properties leave the focus mode alone.
    QVERIFY(access.setDevicePropWhiteBalance(2));
    QCOMPARE(access.focusMode(), quint16(0));
}

void TestCameraAccess::supportsDevicePropValue_data()
{
    QTest::addColumn<QByteArray>("desc");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("supported");

    QTest::newRow("INT8 range on step") << DescBuilder(1, 1).range(-10, 10, 5).bytes() << -5 << true;
    QTest::newRow("INT8 range off step") << DescBuilder(1, 1).range(-10, 10, 5).bytes() << -4 << false;
    QTest::newRow("INT8 range above") << DescBuilder(1, 1).range(-10, 10, 5).bytes() << 15 << false;
    QTest::newRow("INT8 sign-extended") << DescBuilder(1, 1).enumeration({0xFF}).bytes() << -1 << true;
    QTest::newRow("UINT8 zero-extended") << DescBuilder(2, 1).enumeration({0xFF}).bytes() << 255 << true;
    QTest::newRow("UINT8 not negative") << DescBuilder(2, 1).enumeration({0xFF}).bytes() << -1 << false;
    QTest::newRow("INT16 range minimum") << DescBuilder(3, 2).range(-1000, 1000, 1).bytes() << -1000 << true;
    QTest::newRow("INT16 sign-extended") << DescBuilder(3, 2).enumeration({0xFFFE}).bytes() << -2 << true;
    QTest::newRow("UINT16 zero-extended") << DescBuilder(4, 2).enumeration({0xFFFF}).bytes() << 65535 << true;
    QTest::newRow("INT32 range") << DescBuilder(5, 4).range(-100000, 100000, 100).bytes() << 99900 << true;
    QTest::newRow("UINT32 read as signed") << DescBuilder(6, 4).range(0, 0xFFFFFFFF, 1).bytes() << 5 << false;
    QTest::newRow("UINT32 enumeration") << DescBuilder(6, 4).enumeration({1, 7, 9}).bytes() << 7 << true;
    QTest::newRow("enumeration no match") << DescBuilder(4, 2).enumeration({1, 2, 3}).bytes() << 7 << false;
    QTest::newRow("enumeration empty") << DescBuilder(4, 2).enumeration({}).bytes() << 0 << false;
    QTest::newRow("enumeration past buffer")
        << DescBuilder(6, 4).form(2).bytes() + QByteArray::fromHex("ffff") << 5 << false;
    QTest::newRow("form none") << DescBuilder(4, 2).none().bytes() << 0 << false;
    // A step of 0 means "no step": the whole range is accepted.
    QTest::newRow("step 0 inside") << DescBuilder(4, 2).range(10, 20, 0).bytes() << 13 << true;
    QTest::newRow("step 0 at maximum") << DescBuilder(4, 2).range(10, 20, 0).bytes() << 20 << true;
    QTest::newRow("step 0 outside") << DescBuilder(4, 2).range(10, 20, 0).bytes() << 21 << false;
}

void TestCameraAccess::supportsDevicePropValue()
{
    QFETCH(QByteArray, desc);
    QFETCH(int, value);
    QFETCH(bool, supported);

    FakeCameraAccess access;
    access.script(0x1014, 0x5013, FakeCameraAccess::ok(desc));
    QCOMPARE(access.supportsDevicePropValue(0x5013, value), supported);
    QCOMPARE(access.transactions.size(), 1);
    QCOMPARE(access.transactions.first().params, Params{0x5013});
}

void TestCameraAccess::descriptorErrorsAreLogged_data()
{
    QTest::addColumn<QByteArray>("desc");
    QTest::addColumn<QString>("line");

    QTest::newRow("unknown data type") << DescBuilder(7, 4).range(0, 10, 1).bytes()
                                       << "supportsDevicePropValue() - Device Property Desc: unknown dataType 0x0007";
    QTest::newRow("string data type") << DescBuilder(0xFFFF, 2).none().bytes()
                                      << "supportsDevicePropValue() - Device Property Desc: unknown dataType 0xFFFF";
    QTest::newRow("unknown form flag") << DescBuilder(4, 2).form(3).bytes()
                                       << "supportsDevicePropValue() - Device Property Desc: unknown formFlag 0x03 with dataType 0x0004";
}

void TestCameraAccess::descriptorErrorsAreLogged()
{
    QFETCH(QByteArray, desc);
    QFETCH(QString, line);

    FakeCameraAccess access;
    access.script(0x1014, FakeCameraAccess::ok(desc));
    LogCapture log;
    QVERIFY(!access.supportsDevicePropValue(0x5013, 1));
    QCOMPARE(log.lines(), QStringList(kLabelPrefix + line));
}

void TestCameraAccess::failedDescriptorReadRejects()
{
    FakeCameraAccess access;
    access.script(0x1014, FakeCameraAccess::fail());
    QVERIFY(!access.supportsDevicePropValue(0x5013, 7));
}

void TestCameraAccess::captureMode7OnlyAskedOf2031()
{
    const QByteArray withSeven = DescBuilder(4, 2).enumeration({1, 2, 7}).bytes();
    FakeCameraAccess other(0x2041);
    other.script(0x1014, FakeCameraAccess::ok(withSeven));
    QVERIFY(!other.evaluateSupportsCaptureMode7());
    QVERIFY(other.transactions.isEmpty());

    FakeCameraAccess camera(0x2031);
    camera.script(0x1014, 0x5013, FakeCameraAccess::ok(withSeven));
    QVERIFY(camera.evaluateSupportsCaptureMode7());
    QVERIFY(camera.supportsCaptureMode7());

    camera.script(0x1014, 0x5013, FakeCameraAccess::ok(DescBuilder(4, 2).enumeration({1, 2}).bytes()));
    QVERIFY(!camera.evaluateSupportsCaptureMode7());
    QVERIFY(!camera.supportsCaptureMode7());
}

void TestCameraAccess::changedPropertyIsDeduplicated()
{
    FakeCameraAccess access;
    QSignalSpy spy(&access, &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    QVERIFY(spy.isValid());
    for (int i = 0; i < 3; ++i)
        access.addChangedDeviceProperty(0x5013);
    access.timeoutDevicePropertyChanged();
    access.timeoutDevicePropertyChanged();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().value<ushort>(), ushort(0x5013));
}

void TestCameraAccess::changedPropertiesDrainOnePerTick()
{
    FakeCameraAccess access;
    QSignalSpy spy(&access, &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    access.addChangedDeviceProperty(0xD60C);
    access.addChangedDeviceProperty(0x5010);
    access.timeoutDevicePropertyChanged();
    QCOMPARE(spy.count(), 1);
    access.timeoutDevicePropertyChanged();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).first().value<ushort>(), ushort(0xD60C));
    QCOMPARE(spy.at(1).first().value<ushort>(), ushort(0x5010));
}

void TestCameraAccess::lensMarkerBecomesLensChange()
{
    FakeCameraAccess access;
    QSignalSpy properties(&access, &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    QSignalSpy lens(&access, &BRX_Commu_CameraAccess_Base::signalLensChanged);
    access.addChangedDeviceProperty(0xD620);
    access.addChangedDeviceProperty(0);
    access.timeoutDevicePropertyChanged();
    access.timeoutDevicePropertyChanged();
    QCOMPARE(lens.count(), 1);
    QCOMPARE(properties.count(), 0);
}

void TestCameraAccess::changeTimerDrainsQueue()
{
    FakeCameraAccess access;
    QSignalSpy spy(&access, &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    access.addChangedDeviceProperty(0xD610);
    access.addChangedDeviceProperty(0xD610);
    access.addChangedDeviceProperty(0x500F);
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).first().value<ushort>(), ushort(0xD610));
    QCOMPARE(spy.at(1).first().value<ushort>(), ushort(0x500F));
}

void TestCameraAccess::changedPropertiesFromAnotherThread()
{
    FakeCameraAccess access;
    QSignalSpy spy(&access, &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    const auto report = [&access] {
        for (int round = 0; round < 3; ++round) {
            for (quint16 code = 1; code <= 300; ++code)
                access.addChangedDeviceProperty(code);
        }
    };
    QThread* eventThread = QThread::create(report);
    eventThread->start();
    report();
    QVERIFY(eventThread->wait(30000));
    delete eventThread;
    for (int tick = 0; tick < 400; ++tick)
        access.timeoutDevicePropertyChanged();
    QCOMPARE(spy.count(), 300);
}

void TestCameraAccess::finishTransferNeverGoesNegative()
{
    FakeCameraAccess access;
    access.finishTransfer();
    QCOMPARE(access.pendingTransfers(), 0);
    QVERIFY(!access.isTransferActive());
}

QTEST_GUILESS_MAIN(TestCameraAccess)
#include "tst_cameraaccess.moc"
