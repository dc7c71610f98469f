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

    void typedAccessorWidthAndSign();
    void typedAccessorReadAndWriteCodes();
    void focusModeFollowsItsProperty();

    void supportsDevicePropValue_data();
    void supportsDevicePropValue();
    void descriptorErrorsAreLogged_data();
    void descriptorErrorsAreLogged();
    void failedDescriptorReadRejects();
    void captureMode7OnlyAskedOf2031();

    void changedPropertiesQueue();
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
    // One row per operation: the call, its opcode, data direction and parameters.
#define OP(method, args, opCode, direction, ...)                                                      \
    QTest::addRow("%s%s", #method, #args)                                                            \
        << Operation([](BRX_Commu_CameraAccess_Base& a) { return a.method args; }) << QString(#method) \
        << opCode << Params{__VA_ARGS__} << direction
    OP(getDeviceInfo, (buffer, 64), 0x1001, in);
    OP(getStorageIDs, (buffer, 64), 0x1004, in);
    OP(getObjectHandles, (buffer, 64, 0x10001), 0x1007, in, 0x10001, 0, 0);
    OP(getObjectInfo, (buffer, 64, 1, 9), 0x1008, in, 9, 1);
    OP(getObjectPropsSupported, (buffer, 64, 0x3801), 0x9801, in, 0x3801);
    OP(getObjectPropValue, (buffer, 64, 0xDC02, 9), 0x9803, in, 9, 0xDC02);
    OP(getObject, (buffer, 64, 9), 0x1009, in, 9);
    OP(getPartialObject, (buffer, 0x10000, 0x20000, 7), 0x101B, in, 7, 0x20000, 0x10000);
    OP(getStreamInfo, (buffer, 36), 0x1024, in, 0);
    OP(getThumbnail, (buffer, 64, 2, 9), 0x100A, in, 9, 2);
    OP(transferObjectReady, (), 0x9007, none);
    OP(getCameraSettings, (buffer, 64), 0x9002, in);
    OP(setCameraSettings, (buffer, 64), 0x9001, out);
    OP(getLensData, (buffer, 64), 0x9003, in);
    OP(get3DAxisData, (buffer, 64), 0x9020, in);
    OP(getGeotackingData, (buffer, 64), 0x9008, in);
    OP(getStreamData, (buffer, 64), 0x9025, in);
    OP(getDevicePropDesc, (0x5013, buffer, 64), 0x1014, in, 0x5013);
    OP(getDevicePropValue, (0x5013, buffer, 2), 0x1015, in, 0x5013);
    OP(setDevicePropValue, (0x5013, buffer, 2), 0x1016, out, 0x5013);
    OP(deleteObject, (9), 0x100B, none, 9);
    OP(initiateCapture, (), 0x100E, none);
    OP(controlAutoFocus, (1), 0x9016, none, 1);
    OP(controlAutoFocus, (0u, 2), 0x9016, none, 0, 2);
    OP(controlBulbExposure, (1), 0x9019, none, 1);
    OP(controlContinuousExposure, (0), 0x901A, none, 0);
    OP(controlVideoRecording, (3), 0x901B, none, 3);
    OP(controlPhotoLiveView, (1), 0x901C, none, 1);
    OP(keepCameraActive, (), 0x901D, none);
    OP(moveLens, (2, -5), 0x901E, none, 2, quint32(-5));
    OP(toggleZoomMode, (), 0x9021, none, 1);
    OP(setFocusCrossPosition, (100, 200), 0x9022, none, 100, 200);
    OP(controlLVWhiteBalance, (3), 0x9023, none, 3);
#undef OP
}

void TestCameraAccess::operationSendsTransaction()
{
    QFETCH(Operation, operation);
    QFETCH(QString, method);
    QFETCH(int, opCode);
    QFETCH(Params, params);
    QFETCH(FakeCameraAccess::Direction, direction);

    FakeCameraAccess access;
    // A whole answer: reads that must fill their buffer fail on less.
    access.script(quint16(opCode), FakeCameraAccess::ok(QByteArray(0x10000, '\0')));
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

// One queued code per tick; a code already queued is not queued again; the
// lens marker becomes a lens change and code 0 is dropped.
void TestCameraAccess::changedPropertiesQueue()
{
    FakeCameraAccess access;
    QSignalSpy spy(&access, &BRX_Commu_CameraAccess_Base::signalDevicePropertyChanged);
    QSignalSpy lens(&access, &BRX_Commu_CameraAccess_Base::signalLensChanged);
    QVERIFY(spy.isValid());
    for (quint16 code : {0xD60C, 0xD60C, 0xD620, 0, 0x5010, 0xD60C})
        access.addChangedDeviceProperty(code);
    access.timeoutDevicePropertyChanged();
    QCOMPARE(spy.count(), 1);
    for (int tick = 0; tick < 5; ++tick)
        access.timeoutDevicePropertyChanged();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).first().value<ushort>(), ushort(0xD60C));
    QCOMPARE(spy.at(1).first().value<ushort>(), ushort(0x5010));
    QCOMPARE(lens.count(), 1);

    // Left to itself, the change timer drains the queue.
    for (quint16 code : {0xD610, 0xD610, 0x500F})
        access.addChangedDeviceProperty(code);
    QTRY_COMPARE(spy.count(), 4);
    QCOMPARE(spy.at(2).first().value<ushort>(), ushort(0xD610));
    QCOMPARE(spy.at(3).first().value<ushort>(), ushort(0x500F));
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
