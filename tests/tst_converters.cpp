#include "BRX_Logic_ConverterBase.h"
#include "BRX_Logic_ConverterAudioLevel.h"
#include "BRX_Logic_ConverterAutoPowerOff.h"
#include "BRX_Logic_ConverterAutoreviewDuration.h"
#include "BRX_Logic_ConverterBracketDeltaEV.h"
#include "BRX_Logic_ConverterBracketImgNum.h"
#include "BRX_Logic_ConverterContrast.h"
#include "BRX_Logic_ConverterDngCompression.h"
#include "BRX_Logic_ConverterDriveMode.h"
#include "BRX_Logic_ConverterExposCompens.h"
#include "BRX_Logic_ConverterExposMetering.h"
#include "BRX_Logic_ConverterFileFormat.h"
#include "BRX_Logic_ConverterFocusDistance.h"
#include "BRX_Logic_ConverterIntervalFrames.h"
#include "BRX_Logic_ConverterIntervalTime.h"
#include "BRX_Logic_ConverterJpgColorSpace.h"
#include "BRX_Logic_ConverterJpgResolution.h"
#include "BRX_Logic_ConverterMonochrome.h"
#include "BRX_Logic_ConverterOrientation.h"
#include "BRX_Logic_ConverterPhotoAspectRatio.h"
#include "BRX_Logic_ConverterSaturation.h"
#include "BRX_Logic_ConverterSensitivity.h"
#include "BRX_Logic_ConverterSensorFormat.h"
#include "BRX_Logic_ConverterSharpness.h"
#include "BRX_Logic_ConverterVideoFileFormat.h"
#include "BRX_Logic_ConverterVideoFormatResol.h"
#include "BRX_Logic_ConverterVideoResAndFrRate.h"
#include "BRX_Logic_ConverterWarning.h"
#include "BRX_Logic_ConverterWhiteBalTemp.h"
#include "BRX_Logic_ConverterWhiteBalance.h"
#include "LogCapture.h"

#include <QCryptographicHash>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

using ConverterPtr = std::unique_ptr<BRX_Logic_ConverterBase>;

template <class Converter>
BRX_Logic_ConverterBase* makeForProduct(int productId)
{
    return new Converter(productId);
}

template <class Converter>
BRX_Logic_ConverterBase* makeFixed(int)
{
    return new Converter;
}

struct ConverterKind
{
    BRX_Logic_ConverterBase* (*make)(int productId);
    const char* title; // null: texts stay untranslated
};

const QMap<QString, ConverterKind>& converterKinds()
{
    static const QMap<QString, ConverterKind> kinds = {
        {"WhiteBalTemp", {&makeForProduct<BRX_Logic_ConverterWhiteBalTemp>, nullptr}},
        {"WhiteBalance", {&makeForProduct<BRX_Logic_ConverterWhiteBalance>, "White Balance"}},
        {"Warning", {&makeForProduct<BRX_Logic_ConverterWarning>, "Warning"}},
        {"Sensitivity", {&makeForProduct<BRX_Logic_ConverterSensitivity>, nullptr}},
        {"VideoFormatResol", {&makeForProduct<BRX_Logic_ConverterVideoFormatResol>, "Video Resolution"}},
        {"VideoResAndFrRate", {&makeForProduct<BRX_Logic_ConverterVideoResAndFrRate>, "Video Resolution"}},
        {"VideoFileFormat", {&makeForProduct<BRX_Logic_ConverterVideoFileFormat>, "Video File Format"}},
        {"PhotoAspectRatio", {&makeForProduct<BRX_Logic_ConverterPhotoAspectRatio>, "Photo Aspect Ratio"}},
        {"SensorFormat", {&makeForProduct<BRX_Logic_ConverterSensorFormat>, "Sensor Format"}},
        {"JpgResolution", {&makeForProduct<BRX_Logic_ConverterJpgResolution>, "JPG Resolution"}},
        {"IntervalTime", {&makeForProduct<BRX_Logic_ConverterIntervalTime>, "Interval Time"}},
        {"IntervalFrames", {&makeForProduct<BRX_Logic_ConverterIntervalFrames>, "Interval Frames"}},
        {"FileFormat", {&makeForProduct<BRX_Logic_ConverterFileFormat>, "File Format"}},
        {"ExposCompens", {&makeForProduct<BRX_Logic_ConverterExposCompens>, nullptr}},
        {"DriveMode", {&makeForProduct<BRX_Logic_ConverterDriveMode>, "Drive Mode"}},
        {"BracketDeltaEV", {&makeForProduct<BRX_Logic_ConverterBracketDeltaEV>, "Bracketing Delta EV"}},
        {"Monochrome", {&makeFixed<BRX_Logic_ConverterMonochrome>, "Monochrome"}},
        {"Saturation", {&makeFixed<BRX_Logic_ConverterSaturation>, "Saturation"}},
        {"Sharpness", {&makeFixed<BRX_Logic_ConverterSharpness>, "Sharpness"}},
        {"Contrast", {&makeFixed<BRX_Logic_ConverterContrast>, "Contrast"}},
        {"JpgColorSpace", {&makeFixed<BRX_Logic_ConverterJpgColorSpace>, "JPG Color Space"}},
        {"ExposMetering", {&makeFixed<BRX_Logic_ConverterExposMetering>, "Exposure Metering Mode"}},
        {"DngCompression", {&makeFixed<BRX_Logic_ConverterDngCompression>, "DNG Compressed"}},
        {"BracketImgNum", {&makeFixed<BRX_Logic_ConverterBracketImgNum>, "Bracketing Image Number"}},
        {"AutoPowerOff", {&makeFixed<BRX_Logic_ConverterAutoPowerOff>, "Auto Power Saving"}},
        {"AutoreviewDuration", {&makeFixed<BRX_Logic_ConverterAutoreviewDuration>, "Autoreview Duration"}},
        {"AudioLevel", {&makeFixed<BRX_Logic_ConverterAudioLevel>, "Audio Level"}},
        {"Orientation", {&makeFixed<BRX_Logic_ConverterOrientation>, "Contrast"}},
    };
    return kinds;
}

ConverterPtr makeConverter(const QString& name, int productId)
{
    return ConverterPtr(converterKinds().value(name).make(productId));
}

// Pins a whole table: every text, every value, in order.
QString tableDigest(const BRX_Logic_ConverterBase& converter)
{
    QStringList rows;
    const QVector<double> values = converter.values();
    for (int index = 0; index < converter.texts().size(); ++index)
        rows.append(converter.text(index) + "=" + QString::number(values.at(index)));
    const QByteArray hash = QCryptographicHash::hash(rows.join("\n").toUtf8(), QCryptographicHash::Md5);
    return QString::fromLatin1(hash.toHex().left(12));
}

struct Row
{
    const char* text;
    double value;
};

void addTable(const char* converter, int productId, int count, Row first, Row last, const char* digest)
{
    QTest::addRow("%s/0x%X", converter, productId)
        << QString(converter) << productId << count << QString(first.text) << first.value
        << QString(last.text) << last.value << QString(digest);
}

void addUnknown(const char* converter, int productId)
{
    QTest::addRow("%s/0x%X", converter, productId)
        << QString(converter) << productId << 0 << QString() << 0.0 << QString() << 0.0 << QString();
}

// Shows which context and comment each text was translated under.
class RecordingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int) const override
    {
        return QString("%1|%2|%3").arg(context, disambiguation, sourceText);
    }
};

class FixtureConverter : public BRX_Logic_ConverterBase
{
public:
    explicit FixtureConverter(const Table& table) { loadTable(table, nullptr); }
};

} // namespace

class TestConverters : public QObject
{
    Q_OBJECT
private slots:
    void tables_data();
    void tables();
    void translationContext_data();
    void translationContext();
    void lookupsWithoutValues();
    void lookupsWithValues();
    void lookupMisses();
    void textOfUsesExactEquality();
    void emptyConverter();
    void specialRows_data();
    void specialRows();
    void exposCompensStepSize();
    void exposCompensUnknownStep();
    void focusCodeFromMeters_data();
    void focusCodeFromMeters();
    void focusMetersFromCode();
    void focusCodeFromString_data();
    void focusCodeFromString();
    void focusToString_data();
    void focusToString();
};

void TestConverters::tables_data()
{
    QTest::addColumn<QString>("converter");
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("firstText");
    QTest::addColumn<double>("firstValue");
    QTest::addColumn<QString>("lastText");
    QTest::addColumn<double>("lastValue");
    QTest::addColumn<QString>("digest");

    // Every camera-dependent converter for each known product and one unknown id.
    addTable("WhiteBalTemp", 0x2009, 63, {"2000 K", 0}, {"13100 K", 62}, "e9faed56dbbf");
    addTable("WhiteBalTemp", 0x2011, 63, {"2000 K", 0}, {"13100 K", 62}, "e9faed56dbbf");
    addTable("WhiteBalTemp", 0x2021, 63, {"2000 K", 0}, {"13100 K", 62}, "e9faed56dbbf");
    addTable("WhiteBalTemp", 0x2031, 63, {"2000 K", 2000}, {"13100 K", 13100}, "b4acbf60eee9");
    addTable("WhiteBalTemp", 0x2041, 20, {"2000 K", 2000}, {"11500 K", 11500}, "c7534da046aa");
    addUnknown("WhiteBalTemp", 0x2051);
    addTable("WhiteBalTemp", 0x2061, 63, {"2000 K", 2000}, {"13100 K", 13100}, "b4acbf60eee9");
    addUnknown("WhiteBalTemp", 0x1234);
    addTable("WhiteBalance", 0x2009, 11, {"Auto", 0}, {"Color Temperature", 9}, "ad25a5ca5c59");
    addTable("WhiteBalance", 0x2011, 11, {"Auto", 0}, {"Color Temperature", 9}, "ad25a5ca5c59");
    addTable("WhiteBalance", 0x2021, 10, {"Auto", 0}, {"Color Temperature", 9}, "b0ab4f94768e");
    addTable("WhiteBalance", 0x2031, 11, {"Auto", 0}, {"Color Temperature", 11}, "cc4ba1d8f521");
    addTable("WhiteBalance", 0x2041, 11, {"Auto", 0}, {"Color Temperature", 11}, "cc4ba1d8f521");
    addUnknown("WhiteBalance", 0x2051);
    addTable("WhiteBalance", 0x2061, 10, {"Auto", 0}, {"Color Temperature", 11}, "c2f6a8e616f5");
    addUnknown("WhiteBalance", 0x1234);
    addTable("Warning", 0x2009, 8, {"", 0}, {"Bulb mode and Self timer", 7}, "bedffe60a0f2");
    addTable("Warning", 0x2011, 8, {"", 0}, {"Bulb mode and Self timer", 7}, "bedffe60a0f2");
    addTable("Warning", 0x2021, 8, {"", 0}, {"Bulb mode and Self timer", 7}, "bedffe60a0f2");
    addUnknown("Warning", 0x2031);
    addUnknown("Warning", 0x2041);
    addTable("Warning", 0x2051, 8, {"", 0}, {"Bulb mode and Self timer", 7}, "bedffe60a0f2");
    addUnknown("Warning", 0x2061);
    addUnknown("Warning", 0x1234);
    addTable("Sensitivity", 0x2009, 6, {"Auto", 0}, {"1250", 1250}, "82f1ad86c185");
    addTable("Sensitivity", 0x2011, 7, {"Auto", 0}, {"1600", 1600}, "350b3272eaed");
    addTable("Sensitivity", 0x2021, 21, {"Auto", 0}, {"6400", 6400}, "cf78857fcd21");
    addTable("Sensitivity", 0x2031, 9, {"Auto", 0}, {"12500", 12500}, "a1d80a1b2627");
    addTable("Sensitivity", 0x2041, 12, {"Auto", 0}, {"50000", 50000}, "40bc6ef10463");
    addTable("Sensitivity", 0x2051, 19, {"Auto", 0}, {"PUSH 25000", 25000}, "5163f937850f");
    addTable("Sensitivity", 0x2061, 27, {"Auto", 0}, {"50000", 50000}, "106155f94985");
    addUnknown("Sensitivity", 0x1234);
    addUnknown("VideoFormatResol", 0x2009);
    addUnknown("VideoFormatResol", 0x2011);
    addUnknown("VideoFormatResol", 0x2021);
    addUnknown("VideoFormatResol", 0x2031);
    addTable("VideoFormatResol", 0x2041, 28, {"MOV 4096x2160p @ 24fps", 0}, {"MP4 1280x720p @ 25fps", 27}, "fe1b5490771a");
    addUnknown("VideoFormatResol", 0x2051);
    addUnknown("VideoFormatResol", 0x2061);
    addUnknown("VideoFormatResol", 0x1234);
    addUnknown("VideoResAndFrRate", 0x2009);
    addUnknown("VideoResAndFrRate", 0x2011);
    addTable("VideoResAndFrRate", 0x2021, 6, {"1920x1080p @ 25fps", 8}, {"640x480 @ 25fps", 18}, "1842d5f9ee0c");
    addTable("VideoResAndFrRate", 0x2031, 4, {"4096x2160p @ 24fps", 0}, {"1920x1080p @ 24fps", 9}, "0ca104cc18b2");
    addTable("VideoResAndFrRate", 0x2041, 16, {"4096x2160p @ 24fps", 0}, {"1280x720p @ 25fps", 15}, "248ea0242290");
    addTable("VideoResAndFrRate", 0x2051, 4, {"1920x1080p @ 25fps", 8}, {"1280x720p @ 24fps", 16}, "55b71bbcbb21");
    addUnknown("VideoResAndFrRate", 0x2061);
    addUnknown("VideoResAndFrRate", 0x1234);
    addUnknown("VideoFileFormat", 0x2009);
    addUnknown("VideoFileFormat", 0x2011);
    addUnknown("VideoFileFormat", 0x2021);
    addUnknown("VideoFileFormat", 0x2031);
    addTable("VideoFileFormat", 0x2041, 2, {"MOV", 0}, {"MP4", 1}, "01802e18689c");
    addUnknown("VideoFileFormat", 0x2051);
    addUnknown("VideoFileFormat", 0x2061);
    addUnknown("VideoFileFormat", 0x1234);
    addUnknown("PhotoAspectRatio", 0x2009);
    addUnknown("PhotoAspectRatio", 0x2011);
    addUnknown("PhotoAspectRatio", 0x2021);
    addUnknown("PhotoAspectRatio", 0x2031);
    addTable("PhotoAspectRatio", 0x2041, 6, {"3:2", 0}, {"16:9", 5}, "4b2c32be3e4b");
    addUnknown("PhotoAspectRatio", 0x2051);
    addUnknown("PhotoAspectRatio", 0x2061);
    addUnknown("PhotoAspectRatio", 0x1234);
    addUnknown("SensorFormat", 0x2009);
    addUnknown("SensorFormat", 0x2011);
    addUnknown("SensorFormat", 0x2021);
    addUnknown("SensorFormat", 0x2031);
    addTable("SensorFormat", 0x2041, 2, {"35 mm", 0}, {"APS-C", 1}, "b5c17e38460f");
    addUnknown("SensorFormat", 0x2051);
    addUnknown("SensorFormat", 0x2061);
    addUnknown("SensorFormat", 0x1234);
    addUnknown("JpgResolution", 0x2009);
    addTable("JpgResolution", 0x2011, 3, {"37.5 MP", 0}, {"2.3 MP", 2}, "41fc03b265d4");
    addTable("JpgResolution", 0x2021, 4, {"24 MP", 0}, {"1.7 MP", 3}, "971bebc39149");
    addTable("JpgResolution", 0x2031, 3, {"37.5 MP", 0}, {"2.3 MP", 2}, "41fc03b265d4");
    addTable("JpgResolution", 0x2041, 3, {"L-JPG", 3}, {"S-JPG", 5}, "1cf071d33025");
    addTable("JpgResolution", 0x2051, 4, {"24 MP", 0}, {"1.7 MP", 3}, "971bebc39149");
    addTable("JpgResolution", 0x2061, 3, {"L-JPG", 3}, {"S-JPG", 5}, "1cf071d33025");
    addUnknown("JpgResolution", 0x1234);
    addTable("IntervalTime", 0x2009, 16, {"2s", 2}, {"1h", 3600}, "6c38e1129d10");
    addTable("IntervalTime", 0x2011, 16, {"2s", 2}, {"1h", 3600}, "6c38e1129d10");
    addTable("IntervalTime", 0x2021, 16, {"2s", 2}, {"1h", 3600}, "6c38e1129d10");
    addTable("IntervalTime", 0x2031, 17, {"1s", 1}, {"999s", 999}, "feea16e350f1");
    addTable("IntervalTime", 0x2041, 17, {"1s", 1}, {"89999s", 89999}, "326b69dcb489");
    addTable("IntervalTime", 0x2051, 16, {"2s", 2}, {"1h", 3600}, "6c38e1129d10");
    addTable("IntervalTime", 0x2061, 17, {"1s", 1}, {"89999s", 89999}, "326b69dcb489");
    addUnknown("IntervalTime", 0x1234);
    addTable("IntervalFrames", 0x2009, 9, {"5 Frames", 5}, {"10000 Frames", 10000}, "afa4cd22c037");
    addTable("IntervalFrames", 0x2011, 9, {"5 Frames", 5}, {"10000 Frames", 10000}, "afa4cd22c037");
    addTable("IntervalFrames", 0x2021, 9, {"5 Frames", 5}, {"10000 Frames", 10000}, "afa4cd22c037");
    addTable("IntervalFrames", 0x2031, 11, {"1 Frame", 1}, {"9999 Frames", 9999}, "79c1a9cb8dd2");
    addTable("IntervalFrames", 0x2041, 11, {"1 Frame", 1}, {"9999 Frames", 9999}, "79c1a9cb8dd2");
    addTable("IntervalFrames", 0x2051, 9, {"5 Frames", 5}, {"10000 Frames", 10000}, "afa4cd22c037");
    addTable("IntervalFrames", 0x2061, 11, {"1 Frame", 1}, {"9999 Frames", 9999}, "79c1a9cb8dd2");
    addUnknown("IntervalFrames", 0x1234);
    addTable("FileFormat", 0x2009, 5, {"DNG", 0}, {"JPG (basic)", 4}, "94ba81986816");
    addTable("FileFormat", 0x2011, 5, {"DNG", 0}, {"JPG (basic)", 4}, "94ba81986816");
    addTable("FileFormat", 0x2021, 5, {"DNG", 0}, {"JPG (basic)", 4}, "94ba81986816");
    addTable("FileFormat", 0x2031, 3, {"DNG", 0}, {"JPG", 3}, "223057372f42");
    addTable("FileFormat", 0x2041, 3, {"DNG", 0}, {"JPG", 3}, "223057372f42");
    addTable("FileFormat", 0x2051, 3, {"DNG", 0}, {"JPG", 3}, "223057372f42");
    addTable("FileFormat", 0x2061, 3, {"DNG", 0}, {"JPG", 3}, "223057372f42");
    addUnknown("FileFormat", 0x1234);
    addTable("ExposCompens", 0x2009, 13, {"-3 EV", -3000}, {"+3 EV", 3000}, "2d044a8b444b");
    addTable("ExposCompens", 0x2011, 13, {"-3 EV", -3000}, {"+3 EV", 3000}, "2d044a8b444b");
    addTable("ExposCompens", 0x2021, 19, {"-3 EV", -3000}, {"+3 EV", 3000}, "b7a96b0be6c0");
    addTable("ExposCompens", 0x2031, 13, {"-3 EV", -3000}, {"+3 EV", 3000}, "2d044a8b444b");
    addTable("ExposCompens", 0x2041, 13, {"-3 EV", -3000}, {"+3 EV", 3000}, "2d044a8b444b");
    addTable("ExposCompens", 0x2051, 19, {"-3 EV", -3000}, {"+3 EV", 3000}, "b7a96b0be6c0");
    addTable("ExposCompens", 0x2061, 19, {"-3 EV", -3000}, {"+3 EV", 3000}, "b7a96b0be6c0");
    addUnknown("ExposCompens", 0x1234);
    addTable("DriveMode", 0x2009, 6, {"Single", 0}, {"Bracketing", 4}, "ebb4d609069e");
    addTable("DriveMode", 0x2011, 6, {"Single", 0}, {"Bracketing", 4}, "ebb4d609069e");
    addTable("DriveMode", 0x2021, 6, {"Single", 0}, {"Bracketing", 4}, "ebb4d609069e");
    addTable("DriveMode", 0x2031, 6, {"Single", 0}, {"Bracketing", 4}, "ebb4d609069e");
    addTable("DriveMode", 0x2041, 8, {"Single", 0}, {"Bracketing", 4}, "213ac5bd412b");
    addTable("DriveMode", 0x2051, 6, {"Single", 0}, {"Bracketing", 4}, "ebb4d609069e");
    addTable("DriveMode", 0x2061, 6, {"Single", 0}, {"Bracketing", 4}, "5a4ac17e64d8");
    addTable("DriveMode", 0x1234, 6, {"Single", 0}, {"Bracketing", 4}, "ebb4d609069e");
    addTable("BracketDeltaEV", 0x2009, 4, {"0.5 EV", 500}, {"3 EV", 3000}, "400e622deffb");
    addTable("BracketDeltaEV", 0x2011, 4, {"0.5 EV", 500}, {"3 EV", 3000}, "400e622deffb");
    addTable("BracketDeltaEV", 0x2021, 4, {"0.5 EV", 500}, {"3 EV", 3000}, "400e622deffb");
    addTable("BracketDeltaEV", 0x2031, 4, {"0.5 EV", 500}, {"3 EV", 3000}, "400e622deffb");
    addTable("BracketDeltaEV", 0x2041, 3, {"1 EV", 1000}, {"3 EV", 3000}, "f4bc234be288");
    addTable("BracketDeltaEV", 0x2051, 4, {"0.5 EV", 500}, {"3 EV", 3000}, "400e622deffb");
    addTable("BracketDeltaEV", 0x2061, 5, {"0.3 EV", 333}, {"3 EV", 3000}, "23c2bc119ecf");
    addTable("BracketDeltaEV", 0x1234, 4, {"0.5 EV", 500}, {"3 EV", 3000}, "400e622deffb");

    // The fixed tables (no ProductId).
    addTable("AudioLevel", 0, 2, {"Auto", 0}, {"Manual", 1}, "ae2e3d6e26d5");
    addTable("AutoPowerOff", 0, 4, {"Off", 0}, {"10 minutes", 3}, "42635cdb92d3");
    addTable("AutoreviewDuration", 0, 5, {"Off", 0}, {"Hold", -1}, "3ba6b36d8a19");
    addTable("BracketImgNum", 0, 2, {"3 Images", 3}, {"5 Images", 5}, "26320c6574b1");
    addTable("Contrast", 0, 3, {"Low", 0}, {"High", 2}, "b174335856bb");
    addTable("DngCompression", 0, 2, {"Off", 0}, {"On", 1}, "24c210d0f599");
    addTable("ExposMetering", 0, 3, {"Spot", 0}, {"Multi-field", 2}, "02f085e83a12");
    addTable("JpgColorSpace", 0, 3, {"sRGB", 0}, {"ECI-RGB 2.0", 2}, "a3dd454d60f9");
    addTable("Monochrome", 0, 2, {"Off", 0}, {"On", 1}, "24c210d0f599");
    addTable("Orientation", 0, 4, {"Top", 0}, {"Left", -90}, "a81466ee6d04");
    addTable("Saturation", 0, 3, {"Low", 0}, {"High", 2}, "b174335856bb");
    addTable("Sharpness", 0, 3, {"Low", 0}, {"High", 2}, "b174335856bb");
}

void TestConverters::tables()
{
    QFETCH(QString, converter);
    QFETCH(int, productId);
    QFETCH(int, count);
    QFETCH(QString, firstText);
    QFETCH(double, firstValue);
    QFETCH(QString, lastText);
    QFETCH(double, lastValue);
    QFETCH(QString, digest);

    LogCapture log;
    const ConverterPtr table = makeConverter(converter, productId);
    QCOMPARE(table->texts().size(), count);
    QCOMPARE(table->values().size(), count);
    const QString unknownLine = QString("BRX_Logic_Converter%1::init() - unknown ProductId 0x%2")
                                    .arg(converter, QString::number(productId, 16).toUpper());
    QCOMPARE(log.count(unknownLine), count == 0 ? 1 : 0);
    if (count == 0)
        return;
    QCOMPARE(table->text(0), firstText);
    QCOMPARE(table->minValue(), firstValue);
    QCOMPARE(table->text(count - 1), lastText);
    QCOMPARE(table->maxValue(), lastValue);
    QCOMPARE(tableDigest(*table), digest);
}

void TestConverters::translationContext_data()
{
    QTest::addColumn<QString>("converter");
    for (const QString& name : converterKinds().keys())
        QTest::newRow(qPrintable(name)) << name;
}

void TestConverters::translationContext()
{
    QFETCH(QString, converter);
    RecordingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    // 0x2009 has every table but the 0x2041-only ones.
    ConverterPtr table = makeConverter(converter, 0x2009);
    if (table->texts().isEmpty())
        table = makeConverter(converter, 0x2041);
    QCoreApplication::removeTranslator(&translator);

    const QString lastText = table->texts().last();
    const char* title = converterKinds().value(converter).title;
    if (title)
        QVERIFY2(lastText.startsWith(QString("BRX_Logic_Converter%1|%2|").arg(converter, title)),
                 qPrintable(lastText));
    else
        QVERIFY2(!lastText.contains('|'), qPrintable(lastText));
}

void TestConverters::lookupsWithoutValues()
{
    BRX_Logic_ConverterJpgColorSpace colorSpace;
    QCOMPARE(colorSpace.valueOf("ECI-RGB 2.0"), 2.0);
    QCOMPARE(colorSpace.textOf(2.0), QString("ECI-RGB 2.0"));
    QCOMPARE(colorSpace.values(), QVector<double>({0.0, 1.0, 2.0}));
    QCOMPARE(colorSpace.minValue(), 0.0);
    QCOMPARE(colorSpace.maxValue(), 2.0);
    colorSpace.fillValuesWithIndices();
    QCOMPARE(colorSpace.values(), QVector<double>({0.0, 1.0, 2.0}));
    QCOMPARE(colorSpace.textOf(1.0), QString("Adobe RGB"));
}

void TestConverters::lookupsWithValues()
{
    BRX_Logic_ConverterAutoreviewDuration review;
    QCOMPARE(review.valueOf("Hold"), -1.0);
    QCOMPARE(review.valueOf("3 s"), 3.0);
    QCOMPARE(review.textOf(5.0), QString("5 s"));
    QCOMPARE(review.textOf(-1.0), QString("Hold"));
    // The last row, not the largest value.
    QCOMPARE(review.maxValue(), -1.0);
}

void TestConverters::lookupMisses()
{
    BRX_Logic_ConverterSaturation saturation;
    QCOMPARE(saturation.valueOf("Medium"), -1.0);
    QCOMPARE(saturation.valueOf("low"), -1.0);
    QCOMPARE(saturation.textOf(3.0), QString());
    QCOMPARE(saturation.text(-1), QString());
    QCOMPARE(saturation.text(3), QString());
}

void TestConverters::textOfUsesExactEquality()
{
    const BRX_Logic_ConverterBase::Row rows[] = {{"a", 0.3}};
    FixtureConverter fixture(BRX_Logic_ConverterBase::table(rows));
    QCOMPARE(fixture.textOf(0.1 + 0.2), QString());
    QCOMPARE(fixture.textOf(0.3), QString("a"));
}

void TestConverters::emptyConverter()
{
    LogCapture log;
    BRX_Logic_ConverterWhiteBalance whiteBalance(0x2051);
    QVERIFY(whiteBalance.texts().isEmpty());
    QVERIFY(whiteBalance.values().isEmpty());
    QCOMPARE(whiteBalance.valueOf("Auto"), -1.0);
    QCOMPARE(whiteBalance.textOf(0.0), QString());
    QCOMPARE(whiteBalance.minValue(), 0.0);
    QCOMPARE(whiteBalance.maxValue(), 0.0);
    whiteBalance.fillValuesWithIndices();
    QVERIFY(whiteBalance.values().isEmpty());
}

void TestConverters::specialRows_data()
{
    QTest::addColumn<QString>("converter");
    QTest::addColumn<int>("productId");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("HMI sixth with code 10") << "WhiteBalance" << 0x2009 << "HMI" << 10.0;
    QTest::newRow("code 5 after HMI") << "WhiteBalance" << 0x2009 << "Fluorescent warm" << 5.0;
    QTest::newRow("temperature index") << "WhiteBalTemp" << 0x2021 << "2100 K" << 1.0;
    QTest::newRow("temperature kelvin") << "WhiteBalTemp" << 0x2031 << "2100 K" << 2100.0;
    QTest::newRow("no warning") << "Warning" << 0x2009 << "" << 0.0;
    QTest::newRow("pull") << "Sensitivity" << 0x2009 << "Pull 80" << 80.0;
    QTest::newRow("push") << "Sensitivity" << 0x2051 << "PUSH 25000" << 25000.0;
    QTest::newRow("plain 25000") << "Sensitivity" << 0x2061 << "25000" << 25000.0;
    QTest::newRow("common drive modes") << "DriveMode" << 0x2031 << "Interval" << 5.0;
}

void TestConverters::specialRows()
{
    QFETCH(QString, converter);
    QFETCH(int, productId);
    QFETCH(QString, text);
    QFETCH(double, value);

    LogCapture log;
    const ConverterPtr table = makeConverter(converter, productId);
    QCOMPARE(table->textOf(value), text);
    QCOMPARE(table->valueOf(text), value);
    QVERIFY(!log.contains("unknown ProductId"));
}

void TestConverters::exposCompensStepSize()
{
    LogCapture log;
    BRX_Logic_ConverterExposCompens compens(0x2041);
    QCOMPARE(compens.stepSize(), 500);
    QCOMPARE(compens.texts().size(), 13);
    compens.setStepSize(500);
    QCOMPARE(compens.texts().size(), 13);
    compens.setStepSize(333);
    QCOMPARE(compens.texts().size(), 19);
    QCOMPARE(compens.valueOf("-0.7 EV"), -667.0);
    compens.setStepSize(500);
    QCOMPARE(compens.texts().size(), 13);
    QCOMPARE(compens.valueOf("+2.5 EV"), 2500.0);

    // Only 0x2041 follows the step setting.
    BRX_Logic_ConverterExposCompens fixedStep(0x2021);
    fixedStep.setStepSize(500);
    QCOMPARE(fixedStep.texts().size(), 19);
    QVERIFY(log.lines().isEmpty());
}

void TestConverters::exposCompensUnknownStep()
{
    LogCapture log;
    BRX_Logic_ConverterExposCompens compens(0x2041);
    compens.setStepSize(1000);
    QVERIFY(compens.texts().isEmpty());
    QVERIFY(log.contains("BRX_Logic_ConverterExposCompens::init() - unknown step size 1000"));
    compens.setStepSize(333);
    QCOMPARE(compens.texts().size(), 19);
}

void TestConverters::focusCodeFromMeters_data()
{
    QTest::addColumn<double>("meters");
    QTest::addColumn<int>("code");
    QTest::newRow("zero") << 0.0 << -1;
    QTest::newRow("negative") << -2.0 << -1;
    QTest::newRow("not a number") << qQNaN() << -1;
    QTest::newRow("1.5 m") << 1.5 << 1500;
    QTest::newRow("half millimetre up") << 0.0125 << 13;
    QTest::newRow("just below infinity") << 999999.999 << 999999999;
    QTest::newRow("infinity") << 1e6 << 0x7FFFFFFF;
}

void TestConverters::focusCodeFromMeters()
{
    QFETCH(double, meters);
    QFETCH(int, code);
    QCOMPARE(BRX_Logic_ConverterFocusDistance::codeFromMeters(meters), code);
}

void TestConverters::focusMetersFromCode()
{
    QCOMPARE(BRX_Logic_ConverterFocusDistance::metersFromCode(-1), 0.0);
    QCOMPARE(BRX_Logic_ConverterFocusDistance::metersFromCode(0x7FFFFFFF), 1e6);
    QCOMPARE(BRX_Logic_ConverterFocusDistance::metersFromCode(1500), 1.5);
    // Other negative codes are read as unsigned.
    QCOMPARE(BRX_Logic_ConverterFocusDistance::metersFromCode(-2), 4294967.294);
}

void TestConverters::focusCodeFromString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("feet");
    QTest::addColumn<int>("code");
    QTest::newRow("error") << "Error" << false << -1;
    QTest::newRow("infinity") << "Infinity" << true << 0x7FFFFFFF;
    QTest::newRow("zero") << "0" << false << 0;
    QTest::newRow("negative") << "-1" << false << -1;
    QTest::newRow("metres") << "1.23" << false << 1230;
    QTest::newRow("feet") << "3" << true << 914;
    QTest::newRow("not a number") << "abc" << false << -1;
    QTest::newRow("nan") << "nan" << false << -1;
    QTest::newRow("too far") << "2147484" << false << -1;
    QTest::newRow("furthest") << "2147483.6" << false << 2147483600;
}

void TestConverters::focusCodeFromString()
{
    QFETCH(QString, text);
    QFETCH(bool, feet);
    QFETCH(int, code);
    QCOMPARE(BRX_Logic_ConverterFocusDistance::codeFromString(text, feet), code);
}

void TestConverters::focusToString_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("feet");
    QTest::addColumn<QString>("text");
    QTest::newRow("two decimals") << 1234 << false << "1.23";
    QTest::newRow("one decimal") << 12345 << false << "12.3";
    QTest::newRow("feet") << 3048 << true << "10.0";
    QTest::newRow("feet below 10") << 914 << true << "3.00";
    QTest::newRow("error") << -1 << true << "Error";
    QTest::newRow("infinity") << 0x7FFFFFFF << false << "Infinity";
}

void TestConverters::focusToString()
{
    QFETCH(int, code);
    QFETCH(bool, feet);
    QFETCH(QString, text);
    QCOMPARE(BRX_Logic_ConverterFocusDistance::toString(code, feet), text);
}

QTEST_GUILESS_MAIN(TestConverters)
#include "tst_converters.moc"
