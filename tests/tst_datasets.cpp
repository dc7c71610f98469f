#include "BRX_Debug.h"
#include "BRX_Logic_Camera3DAxisData.h"
#include "BRX_Logic_CameraGeotackingData.h"
#include "BRX_Logic_CameraLens.h"
#include "BRX_Logic_CameraStreamInfo.h"
#include "BRX_Logic_DeviceInfo.h"
#include "FakeCameraAccess.h"
#include "LogCapture.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <cstring>

namespace {

// Little-endian byte building for dataset fixtures.
class Bytes
{
public:
    Bytes& u8(quint8 v) { return raw(&v, 1); }
    Bytes& u16(quint16 v) { return le(v); }
    Bytes& u32(quint32 v) { return le(v); }
    Bytes& u64(quint64 v) { return le(v); }
    Bytes& f32(float v) { return raw(&v, sizeof v); }
    Bytes& f64(double v) { return raw(&v, sizeof v); }
    Bytes& codes(const QVector<quint16>& list)
    {
        u32(quint32(list.size()));
        for (quint16 code : list)
            u16(code);
        return *this;
    }
    Bytes& ptpString(const QString& text)
    {
        if (text.isEmpty())
            return u8(0);
        u8(quint8(text.size() + 1));
        for (QChar c : text)
            u16(c.unicode());
        return u16(0);
    }
    Bytes& at(int offset)
    {
        if (m_data.size() < offset)
            m_data.append(QByteArray(offset - m_data.size(), '\0'));
        m_data.truncate(offset);
        return *this;
    }
    Bytes& raw(const void* p, int n)
    {
        m_data.append(static_cast<const char*>(p), n);
        return *this;
    }
    QByteArray data() const { return m_data; }

private:
    template <typename T> Bytes& le(T v)
    {
        uchar b[sizeof(T)];
        qToLittleEndian(v, b);
        return raw(b, sizeof b);
    }
    QByteArray m_data;
};

QVector<quint16> someCodes(int count, quint16 first)
{
    QVector<quint16> list;
    for (int i = 0; i < count; ++i)
        list.append(quint16(first + i));
    return list;
}

QByteArray deviceInfo(const QString& vendorDescription)
{
    return Bytes()
        .u16(100).u32(6).u16(100).ptpString(vendorDescription).u16(0)
        .codes(someCodes(24, 0x9001)).codes({0xC000, 0xC00A}).codes({0x5013, 0xD65F})
        .codes({0x3801}).codes({0x3801, 0x3000})
        .ptpString("Orvane Dummy AG").ptpString("ZQ Digital SLR Dummy")
        .ptpString("01.02.03.04").ptpString("0000000001200345")
        .data();
}

// A DeviceInfo of random counts and string lengths, often ending near the
// end of the 2048-byte buffer or just past it.
QByteArray randomDeviceInfo(QRandomGenerator& random)
{
    Bytes bytes;
    bytes.u16(100).u32(6).u16(100).u8(quint8(random.bounded(256))).at(8 + 2 * random.bounded(4));
    for (int list = 0; list < 5; ++list)
        bytes.codes(someCodes(int(random.bounded(300)), 1));
    for (int text = 0; text < 4; ++text) {
        const int length = int(random.bounded(256));
        bytes.u8(quint8(length)).raw(QByteArray(2 * length, 'x').constData(), 2 * length);
    }
    return bytes.data();
}

QByteArray lensData(quint8 state, quint8 apertureSteps)
{
    return Bytes()
        .u8(state).raw("Varnix-T 70", 11).at(61).u8(132).u32(1234567).u8(0x19).u8(0x1D)
        .u16(0x02A4).u16(0x0900).u8(apertureSteps).u16(70).u16(70).u32(500).u32(70000)
        .u8(1).at(89).u32(42).u16(70).u8(1).u8(2).u8(3).u8(4)
        .data();
}

FakeCameraAccess* cameraAnswering(quint16 opCode, const QByteArray& data, int productId = 0x2009)
{
    auto* access = new FakeCameraAccess(productId);
    access->script(opCode, FakeCameraAccess::ok(data));
    return access;
}

} // namespace

class TestDatasets : public QObject
{
    Q_OBJECT
private slots:
    void init() { setDebugFlags(0xFFFFFFFF, false); }

    void deviceInfoWalk_data();
    void deviceInfoWalk();
    void deviceInfoFailedRead();
    void deviceInfoHostileCount();
    void deviceInfoHostileString();
    void deviceInfoDump();

    void lensFields();
    void lensState_data();
    void lensState();
    void apertureStepsText_data();
    void apertureStepsText();
    void lensDump();

    void axisLayout_data();
    void axisLayout();
    void axisFailedRead();
    void geotackingFields();
    void streamInfoSize_data();
    void streamInfoSize();
    void streamInfoDump();

    void randomAnswersStayInsideBuffers();
};

void TestDatasets::deviceInfoWalk_data()
{
    QTest::addColumn<QString>("vendorDescription");
    QTest::newRow("empty vendor description") << QString();
    QTest::newRow("vendor description") << QString("vendor extension 1.0; more: 2.0");
}

void TestDatasets::deviceInfoWalk()
{
    QFETCH(QString, vendorDescription);
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x1001, deviceInfo(vendorDescription)));
    BRX_Logic_DeviceInfo info(access.data());

    QCOMPARE(access->transactions.first().bufferSize, 2048u);
    QVERIFY(info.isOperationSupported(0x9001));
    QVERIFY(info.isOperationSupported(0x9018));
    QVERIFY(!info.isOperationSupported(0x9019));
    QVERIFY(info.isEventSupported(0xC00A));
    QVERIFY(!info.isEventSupported(0x5013));
    QVERIFY(info.isDevicePropSupported(0xD65F));
    QVERIFY(!info.isDevicePropSupported(0x3801));
    QCOMPARE(info.getManufacturer(), QString("Orvane Dummy AG"));
    QCOMPARE(info.getModel(), QString("ZQ Digital SLR Dummy"));
    QCOMPARE(info.getDeviceVersion(), QString("01.02.03.04"));
    QCOMPARE(info.getSerialNumber(), QString("0000000001200345"));
}

void TestDatasets::deviceInfoFailedRead()
{
    FakeCameraAccess access;
    access.script(0x1001, FakeCameraAccess::ok(deviceInfo(QString())));
    BRX_Logic_DeviceInfo info(&access);
    QVERIFY(info.isOperationSupported(0x9001));

    access.script(0x1001, FakeCameraAccess::fail());
    QVERIFY(!info.recvFromCamera());
    QVERIFY(!info.isOperationSupported(0x9001));
    QVERIFY(!info.isOperationSupported(0));
    QVERIFY(info.getModel().isEmpty());

    BRX_Logic_DeviceInfo noCamera(nullptr);
    QVERIFY(!noCamera.isEventSupported(0));
    QVERIFY(noCamera.getSerialNumber().isEmpty());
}

void TestDatasets::deviceInfoHostileCount()
{
    // The event count promises far more codes than the buffer can hold.
    const QByteArray data = Bytes().u16(100).u32(6).u16(100).u8(0).u16(0)
                                .codes({0x1001, 0x9002}).u32(0xFFFFFFFF).u16(0xC00A)
                                .ptpString("Orvane Dummy AG").data();
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x1001, data));
    LogCapture log;
    BRX_Logic_DeviceInfo info(access.data());
    QVERIFY(info.isOperationSupported(0x9002));
    QVERIFY(!info.isEventSupported(0xC00A));
    QVERIFY(!info.isDevicePropSupported(0));
    QVERIFY(info.getManufacturer().isEmpty());
    QCOMPARE(log.count("BRX_Logic_DeviceInfo::walk() - deviceInfo runs past its 2048 bytes"), 1);
}

void TestDatasets::deviceInfoHostileString()
{
    // Lists that fill the buffer up to its last bytes, then a string whose
    // length byte points past the end.
    Bytes bytes;
    bytes.u16(100).u32(6).u16(100).u8(0).u16(0).codes(someCodes(1000, 1))
        .codes({}).codes({}).codes({}).codes({});
    const int stringAt = bytes.data().size();
    bytes.at(2047).u8(200);
    QVERIFY(stringAt < 2047);
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x1001, bytes.data()));
    BRX_Logic_DeviceInfo info(access.data());
    QVERIFY(info.isOperationSupported(1000));
    QVERIFY(info.getSerialNumber().isEmpty());
}

void TestDatasets::deviceInfoDump()
{
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x1001, deviceInfo("ab")));
    setDebugFlags(kDebugDeviceInfo, true);
    LogCapture log;
    BRX_Logic_DeviceInfo info(access.data());
    const QString m = "BRX_Logic_DeviceInfo::dump() - ";
    QCOMPARE(log.lines().first(), QString("deviceInfo for BRX_Logic_DeviceInfo::recvFromCamera():"));
    QVERIFY(log.contains(m + "vendorExtensionDescSize = 3"));
    QVERIFY(log.contains(m + "operationsSupported     = #24"));
    QVERIFY(log.contains(m + "operationsSupported     : 0x9018"));
    QVERIFY(log.contains(m + "eventsSupported         = # 2"));
    QVERIFY(log.contains(m + "imageFormats            : 0x3000"));
    QVERIFY(log.contains(m + "model                   = \"ZQ Digital SLR Dummy\""));
}

void TestDatasets::lensFields()
{
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x9003, lensData(1, 2)));
    BRX_Logic_CameraLens lens(access.data());
    QCOMPARE(access->transactions.first().bufferSize, 101u);
    QCOMPARE(lens.getLensTypeString().trimmed(), QString("Varnix-T 70"));
    QCOMPARE(lens.getLensType(), quint8(132));
    QCOMPARE(lens.getLensSerialNumber(), 1234567u);
    QCOMPARE(lens.getLensFirmwareVersion(), quint8(0x19));
    QCOMPARE(lens.getCorrectionDataVersion(), quint8(0x1D));
    QCOMPARE(lens.getOpenApertureValue(), qint16(0x02A4));
    QCOMPARE(lens.getCloseApertureValue(), qint16(0x0900));
    QCOMPARE(lens.getFocalLengthMin(), quint16(70));
    QCOMPARE(lens.getFocusPositionMin(), 500u);
    QCOMPARE(lens.getFocusPositionMax(), 70000u);
    QVERIFY(lens.isCentralShutterAvailable());
    QCOMPARE(lens.getLensID(), 42u);
    QCOMPARE(lens.getSelectedFocalLength(), quint16(70));
    QCOMPARE(lens.getLensFileVersion(), QString("1.2.3.4"));
}

void TestDatasets::lensState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("automatic");
    QTest::newRow("0") << 0 << false << true;
    QTest::newRow("1") << 1 << true << true;
    QTest::newRow("2") << 2 << true << false;
    QTest::newRow("3") << 3 << false << false;
}

void TestDatasets::lensState()
{
    QFETCH(int, state);
    QFETCH(bool, connected);
    QFETCH(bool, automatic);
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x9003, lensData(quint8(state), 0)));
    BRX_Logic_CameraLens lens(access.data());
    QCOMPARE(lens.isLensConnected(), connected);
    QCOMPARE(lens.isAutoLensSelectionEnabled(), automatic);
}

void TestDatasets::apertureStepsText_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "undefined";
    QTest::newRow("1") << 1 << "1 EV";
    QTest::newRow("2") << 2 << "1/2 EV";
    QTest::newRow("3") << 3 << "1/3 EV";
    QTest::newRow("4") << 4 << "illegal";
    QTest::newRow("5") << 5 << "illegal";
    QTest::newRow("255") << 255 << "illegal";
}

void TestDatasets::apertureStepsText()
{
    QFETCH(int, steps);
    QFETCH(QString, text);
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x9003, lensData(1, quint8(steps))));
    BRX_Logic_CameraLens lens(access.data());
    QCOMPARE(lens.getApertureStepsText(), text);
}

void TestDatasets::lensDump()
{
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x9003, lensData(1, 5)));
    setDebugFlags(kDebugLens, true);
    LogCapture log;
    BRX_Logic_CameraLens lens(access.data());
    const QString m = "BRX_Logic_CameraLens::dump() - ";
    QCOMPARE(log.lines().first(), QString("lensData for BRX_Logic_CameraLens::recvFromCamera():"));
    QVERIFY(log.contains(m + "openApertureValue          = 0x02A4 = 676 (2.497)"));
    QVERIFY(log.contains(m + "closeApertureValue         = 0x0900 = 2304 (22.627)"));
    QVERIFY(log.contains(m + "apertureSteps              = illegal"));
    QVERIFY(log.contains(m + "focusPositionMin           = 0.500 m"));
    QVERIFY(log.contains(m + "isCentralShutterAvailable  = true"));
    QVERIFY(log.contains(m + "lensFileVersion            = 1.2.3.4"));
}

void TestDatasets::axisLayout_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint32>("size");
    const QByteArray longLayout = Bytes().at(12).f64(-12.5).f64(3.25).at(205).f64(41.0).data();
    const QByteArray shortLayout = Bytes().at(12).f32(-12.5f).f32(3.25f).at(189).f32(41.0f).data();
    QTest::newRow("0x2031 long") << 0x2031 << longLayout << 213u;
    QTest::newRow("0x2041 long") << 0x2041 << longLayout << 213u;
    QTest::newRow("0x2009 short") << 0x2009 << shortLayout << 193u;
    QTest::newRow("0x2061 short") << 0x2061 << shortLayout << 193u;
}

void TestDatasets::axisLayout()
{
    QFETCH(int, productId);
    QFETCH(QByteArray, data);
    QFETCH(quint32, size);
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x9020, data, productId));
    BRX_Logic_Camera3DAxisData axis(access.data());
    QCOMPARE(access->transactions.first().bufferSize, size);
    QCOMPARE(axis.getCameraPitchAngle(), -12.5);
    QCOMPARE(axis.getCameraRollAngle(), 3.25);
    QCOMPARE(axis.getTemperature(), 41.0);
}

void TestDatasets::axisFailedRead()
{
    QScopedPointer<FakeCameraAccess> access(
        cameraAnswering(0x9020, Bytes().at(12).f64(5.0).data(), 0x2041));
    BRX_Logic_Camera3DAxisData axis(access.data());
    QCOMPARE(axis.getCameraPitchAngle(), 5.0);
    access->script(0x9020, FakeCameraAccess::fail());
    QVERIFY(!axis.recvFromCamera());
    QCOMPARE(axis.getCameraPitchAngle(), 0.0);
}

void TestDatasets::geotackingFields()
{
    const QByteArray data = Bytes().u8(0x0A).at(23).u8(13).u8(24).f32(36.5f).u8(52).u8(31).f32(7.25f)
                                .at(59).u8(9).data();
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x9008, data));
    setDebugFlags(kDebugGeotagging, true);
    LogCapture log;
    BRX_Logic_CameraGeotackingData geo(access.data());
    QCOMPARE(access->transactions.first().bufferSize, 133u);
    QVERIFY(!geo.isMeanFieldDataValid());
    QVERIFY(geo.isTimeValid());
    QVERIFY(!geo.isDateValid());
    QVERIFY(geo.isGPSEnabled());
    QCOMPARE(geo.getLongitudeDegrees(), quint8(13));
    QCOMPARE(geo.getLongitudeMinutes(), quint8(24));
    QCOMPARE(geo.getLongitudeSeconds(), 36.5f);
    QCOMPARE(geo.getLatitudeDegrees(), quint8(52));
    QCOMPARE(geo.getLatitudeSeconds(), 7.25f);
    QCOMPARE(geo.getNumberOfUsedSattelites(), quint8(9));
    const QString m = "BRX_Logic_CameraGeotackingData::dump() - ";
    QVERIFY(log.contains(m + "isTimeValid             = Yes"));
    QVERIFY(log.contains(m + "longitude               = 13 24' 36.500000\""));
}

void TestDatasets::streamInfoSize_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("wrongSize");
    QTest::newRow("36") << Bytes().u64(36).u64(1000000).u32(16).u32(65536).data() << -1;
    QTest::newRow("40") << Bytes().u64(40).u64(1000000).u32(16).u32(65536).data() << 40;
    QTest::newRow("empty answer") << QByteArray() << 0;
}

void TestDatasets::streamInfoSize()
{
    QFETCH(QByteArray, data);
    QFETCH(int, wrongSize);
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x1024, data));
    LogCapture log;
    BRX_Logic_CameraStreamInfo info(access.data());
    QCOMPARE(access->transactions.first().bufferSize, 36u);
    const QString line = "BRX_Logic_CameraStreamInfo::recvFromCamera() - stream info structure has wrong size ";
    if (wrongSize < 0) {
        QVERIFY(log.lines().isEmpty());
    } else {
        QCOMPARE(log.lines(), QStringList(line + QString::number(wrongSize)));
    }
    // A wrong size is reported, not refused.
    QCOMPARE(info.getFrameMaxSize(), data.isEmpty() ? 0u : 65536u);
}

void TestDatasets::streamInfoDump()
{
    const QByteArray data = Bytes().u64(36).u64(1000000).u32(16).u32(65536).u32(12).u32(512).u32(1).data();
    QScopedPointer<FakeCameraAccess> access(cameraAnswering(0x1024, data));
    setDebugFlags(kDebugLiveView, true);
    LogCapture log;
    BRX_Logic_CameraStreamInfo info(access.data());
    const QString m = "BRX_Logic_CameraStreamInfo::dump() - ";
    QVERIFY(log.contains(m + "timeResolution   =    1000000 ns = 0.001000 sec"));
    QVERIFY(log.contains(m + "packetMaxSize    =        512 bytes"));
    QVERIFY(log.contains(m + "packetAlignment  =          1 byte(s)"));
    QCOMPARE(info.getPacketHeaderSize(), 12u);
}

// Feeds every dataset random, truncated and damaged answers; run under
// AddressSanitizer this shows that no answer makes a reader leave its buffer.
void TestDatasets::randomAnswersStayInsideBuffers()
{
    QRandomGenerator random(20240601);
    const QByteArray valid = deviceInfo("vendor");
    LogCapture log;  // keeps the dumps out of the test output
    for (int round = 0; round < 400; ++round) {
        QByteArray data;
        if (round % 3 == 2) {
            data = randomDeviceInfo(random);
        } else if (round % 3 == 0) {
            data = valid.left(int(random.bounded(valid.size() + 1)));
            for (int flips = 0; flips < 4 && !data.isEmpty(); ++flips)
                data[int(random.bounded(data.size()))] = char(random.bounded(256));
        } else {
            data.resize(int(random.bounded(2200)));
            for (char& byte : data)
                byte = char(random.bounded(256));
        }
        setDebugFlags(0xFFFFFFFF, round % 40 == 0);
        FakeCameraAccess access(round % 3 == 0 ? 0x2041 : 0x2009);
        for (quint16 op : {0x1001, 0x9003, 0x9020, 0x9008, 0x1024})
            access.script(op, FakeCameraAccess::ok(data));

        BRX_Logic_DeviceInfo info(&access);
        info.isOperationSupported(quint16(random.bounded(0x10000)));
        info.isEventSupported(0xC00A);
        info.isDevicePropSupported(0xD65F);
        info.getManufacturer();
        info.getSerialNumber();
        BRX_Logic_CameraLens lens(&access);
        lens.getLensTypeString();
        lens.getLensFileVersion();
        BRX_Logic_Camera3DAxisData axis(&access);
        axis.getTemperature();
        BRX_Logic_CameraGeotackingData geo(&access);
        geo.getLatitudeSeconds();
        BRX_Logic_CameraStreamInfo stream(&access);
        stream.getPacketAlignment();
    }
}

QTEST_GUILESS_MAIN(TestDatasets)
#include "tst_datasets.moc"
