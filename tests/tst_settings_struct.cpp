#include "BRX_Debug.h"
#include "BRX_Logic_CameraSettingsByStruct.h"
#include "BRX_Logic_CameraSettingsFactory.h"
#include "FakeCameraAccess.h"
#include "LogCapture.h"

#include <QtTest>

#include <cstddef>
#include <memory>

// The records whose settings travel as one 100-byte block: the struct layout
// (0x2009, 0x2011) and the M layout (0x2021, 0x2051). They share the block's
// exchange and change tracking, so every case runs for both, each row saying
// what its layout makes of it.
namespace {

typedef QList<QPair<int, int>> Bytes;
typedef BRX_Logic_SettingsChanges Changes;

const int kStruct = 0x2009;
const int kStructM = 0x2021;
const quint16 kOpGetSettings = 0x9002;
const quint16 kOpSetSettings = 0x9001;

// A 100-byte settings block with the given bytes set, the rest zero.
QByteArray settingsBlock(const Bytes& bytes = Bytes())
{
    QByteArray block(100, '\0');
    for (const auto& byte : bytes)
        block[byte.first] = char(byte.second);
    return block;
}

int countOps(const FakeCameraAccess& access, quint16 opCode)
{
    int count = 0;
    for (const auto& transaction : access.transactions)
        count += transaction.opCode == opCode;
    return count;
}

// The record the product calls for, built on a block the camera holds.
std::unique_ptr<BRX_Logic_CameraSettingsByStruct> makeRecord(FakeCameraAccess& access,
                                                              const QByteArray& block = settingsBlock())
{
    access.script(kOpGetSettings, FakeCameraAccess::ok(block));
    return std::unique_ptr<BRX_Logic_CameraSettingsByStruct>(
        dynamic_cast<BRX_Logic_CameraSettingsByStruct*>(BRX_Logic_CameraSettingsFactory::create(&access, nullptr)));
}

QString className(int productId)
{
    return productId == kStruct || productId == 0x2011 ? QStringLiteral("BRX_Logic_CameraSettingsByStruct")
                                                       : QStringLiteral("BRX_Logic_CameraSettingsByStructM");
}

// Byte offsets of the flags set, as offsetof names them.
QList<int> flagsSet(const Changes& changes)
{
    QList<int> offsets;
    const auto* bytes = reinterpret_cast<const quint8*>(&changes);
    for (int offset = 0; offset < int(sizeof changes); ++offset)
        if (bytes[offset])
            offsets << offset;
    return offsets;
}

#define FLAG(member) int(offsetof(BRX_Logic_SettingsChanges, member))

// Flags raised when the camera's block goes from before to after.
Changes changesBetween(int productId, const QByteArray& before, const QByteArray& after)
{
    FakeCameraAccess access(productId);
    auto record = makeRecord(access, before);
    access.script(kOpGetSettings, FakeCameraAccess::ok(after));
    Changes changes{};
    changes.exposCompensStep = 1; // a flag the layouts always write 0
    record->recvFromCamera(&changes);
    return changes;
}

void addLayoutRows(const char* what)
{
    QTest::addColumn<int>("productId");
    QTest::newRow(QByteArray("struct: ") + what) << kStruct;
    QTest::newRow(QByteArray("M: ") + what) << kStructM;
}

// Operations that a layout cannot serve, called by number from the data.
enum Unserved {
    kSetContrast,
    kSetVideoFormatResol,
    kSetIntervalTime,
    kSetAperture,
    kGetVideoFormatResol,
    kGetContrast,
    kGetSelfTimerRestTime,
    kGetAperture,
    kPropertyReport,
};

void callUnserved(BRX_Logic_CameraSettingsByStruct& record, int operation)
{
    Changes changes{};
    switch (operation) {
    case kSetContrast: return record.setContrast(2);
    case kSetVideoFormatResol: return record.setVideoFormatResol(1);
    case kSetIntervalTime: return record.setIntervalTime(5);
    case kSetAperture: return record.setAperture(4.0);
    case kGetVideoFormatResol: QCOMPARE(record.videoFormatResol(), 3); return;
    case kGetContrast: QCOMPARE(record.contrast(), 1); return;
    case kGetSelfTimerRestTime: QCOMPARE(record.selfTimerRestTime(), -1); return;
    case kGetAperture: QCOMPARE(record.aperture(), 0.0); return;
    case kPropertyReport:
        record.recvFromCamera(0xD60C, &changes);
        QCOMPARE(changes.count(), 0);
        return;
    }
}

}  // namespace

Q_DECLARE_METATYPE(Bytes)

class TestSettingsStruct : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setDebugFlags(kDebugSettings, false); }

    // --- Construction -------------------------------------------------------------

    void constructionReadsTheBlockOnce_data() { addLayoutRows("one read"); }

    void constructionReadsTheBlockOnce()
    {
        QFETCH(int, productId);
        FakeCameraAccess access(productId);
        setDebugFlags(kDebugSettings, true);
        LogCapture log;
        auto record = makeRecord(access);
        QVERIFY(record);
        QCOMPARE(access.transactions.size(), 1);
        QCOMPARE(log.count("cameraSettings for " + className(productId) + "::recvFromCamera:"), 1);
        QCOMPARE(log.count(className(productId) + "::dump() - driveMode"), 1);
    }

    // --- Conversions ------------------------------------------------------------

    // Half steps from -3 EV (index 0) to +3 EV (index 12) on the struct
    // layout, thirds (index 0 to 18) on the M layout; ties round up and an
    // index past the table reads as its end.
    void exposureCompensationIsAnIndex_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("milliEV");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("readBack");
        QTest::newRow("struct 0") << kStruct << 0 << 6 << 0;
        QTest::newRow("struct +250 rounds up") << kStruct << 250 << 7 << 500;
        QTest::newRow("struct -250 rounds up to 0") << kStruct << -250 << 6 << 0;
        QTest::newRow("struct -251") << kStruct << -251 << 5 << -500;
        QTest::newRow("struct +5000 clamped") << kStruct << 5000 << 12 << 3000;
        QTest::newRow("struct -5000 clamped") << kStruct << -5000 << 0 << -3000;
        QTest::newRow("M 0") << kStructM << 0 << 9 << 0;
        QTest::newRow("M +333") << kStructM << 333 << 10 << 333;
        QTest::newRow("M -500 rounds half up") << kStructM << -500 << 8 << -333;
        QTest::newRow("M -2667") << kStructM << -2667 << 1 << -2667;
        QTest::newRow("M +4000 clamped") << kStructM << 4000 << 18 << 3000;
        QTest::newRow("M -4000 clamped") << kStructM << -4000 << 0 << -3000;
    }

    void exposureCompensationIsAnIndex()
    {
        QFETCH(int, productId);
        QFETCH(int, milliEV);
        QFETCH(int, index);
        QFETCH(int, readBack);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x04, 200}}));
        QCOMPARE(record->exposCompens(), 3000);
        QCOMPARE(record->exposCompensStep(), 500);
        record->setExposCompens(milliEV);
        QCOMPARE(int(record->block().u8(0x04)), index);
        QCOMPARE(record->exposCompens(), readBack);
    }

    // The struct layout keeps an index into its product's ISO table, the M
    // layout the ISO number itself.
    void sensitivity_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("iso");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<Bytes>("stored");
        QTest::addColumn<int>("readBack");
        QTest::newRow("0x2009 100 unknown, refused") << 0x2009 << 100 << false << Bytes{{0x0a, 3}} << 320;
        QTest::newRow("0x2011 100") << 0x2011 << 100 << true << Bytes{{0x0a, 2}} << 100;
        QTest::newRow("0x2009 1250") << 0x2009 << 1250 << true << Bytes{{0x0a, 5}} << 1250;
        QTest::newRow("0x2011 1600") << 0x2011 << 1600 << true << Bytes{{0x0a, 6}} << 1600;
        QTest::newRow("0x2011 automatic") << 0x2011 << 0 << true << Bytes{{0x0a, 0}} << 0;
        QTest::newRow("M 3200") << kStructM << 3200 << true << Bytes{{0x45, 0x80}, {0x46, 0x0C}} << 3200;
        QTest::newRow("M automatic") << kStructM << 0 << true << Bytes{{0x45, 0}, {0x46, 0}} << 0;
    }

    void sensitivity()
    {
        QFETCH(int, productId);
        QFETCH(int, iso);
        QFETCH(bool, taken);
        QFETCH(Bytes, stored);
        QFETCH(int, readBack);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x0a, 3}, {0x45, 0x40}, {0x46, 0x01}}));
        record->setSensitivity(iso);
        QCOMPARE(record->sendIfChanged(), taken);
        for (const auto& byte : stored)
            QCOMPARE(int(record->block().u8(byte.first)), byte.second);
        QCOMPARE(record->sensitivity(), readBack);
        QCOMPARE(record->sensitivityAuto(), readBack == 0);
    }

    void bracketingCountAndSwitchShareOneField_data() { addLayoutRows("count and switch"); }

    void bracketingCountAndSwitchShareOneField()
    {
        QFETCH(int, productId);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access);
        QVERIFY(!record->bracketingEnabled());
        record->setBracketImgNum(5);
        QVERIFY(record->bracketingEnabled());
        QCOMPARE(record->bracketingImageNumbers(), 5);
        record->setBracketEnabled(false);
        QCOMPARE(int(record->block().u8(0x05)), 0);
        record->setBracketEnabled(true);
        QCOMPARE(int(record->block().u8(0x05)), 2);
        record->setBracketImgNum(4);
        QCOMPARE(int(record->block().u8(0x05)), 1);
        QCOMPARE(record->bracketingImageNumbers(), 3);

        // The remembered count is the camera's, not the last one set here.
        access.script(kOpGetSettings, FakeCameraAccess::ok(settingsBlock({{0x05, 2}})));
        record->recvFromCamera(nullptr);
        access.script(kOpGetSettings, FakeCameraAccess::ok(settingsBlock()));
        record->recvFromCamera(nullptr);
        record->setBracketEnabled(true);
        QCOMPARE(int(record->block().u8(0x05)), 2);
    }

    // The switches share byte 0x0e; a setter changes only its own bit, and
    // the M layout has only the DNG compression switch.
    void switchesChangeOnlyTheirBit_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("after");
        QTest::newRow("struct") << kStruct << 0xF5;
        QTest::newRow("M") << kStructM << 0xF4;
    }

    void switchesChangeOnlyTheirBit()
    {
        QFETCH(int, productId);
        QFETCH(int, after);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x0e, 0xF6}}));
        record->setKeyLock(true);
        record->setDngCompression(false);
        QCOMPARE(int(record->block().u8(0x0e)), after);
        QCOMPARE(record->keyLock(), productId == kStruct);
        QVERIFY(!record->dngCompression());
        QCOMPARE(record->flashXSymbol(), productId == kStruct);
    }

    void batteryInfo_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("intern");
        QTest::addColumn<int>("extern_");
        QTest::addColumn<int>("batterySource");
        QTest::addColumn<int>("info");
        QTest::newRow("struct source 0") << kStruct << 0 << 0x40 << 0x40 << 0 << 3;
        QTest::newRow("struct both") << kStruct << 1 << 0x40 << 0x40 << 1 << 2;
        QTest::newRow("struct internal only") << kStruct << 1 << 0x40 << 0xFF << 1 << 1;
        QTest::newRow("struct external only") << kStruct << 1 << 0xFF << 0x40 << 1 << 0;
        QTest::newRow("struct neither") << kStruct << 1 << 0xFF << 0xFF << 1 << 4;
        // The M layout numbers the sources the other way round and has no
        // external battery.
        QTest::newRow("M zero block") << kStructM << 0 << 0 << 0x40 << 1 << 1;
        QTest::newRow("M source 1") << kStructM << 1 << 0x40 << 0x40 << 0 << 3;
        QTest::newRow("M no battery") << kStructM << 0 << 0xFF << 0x40 << 1 << 4;
        QTest::newRow("M source 7") << kStructM << 7 << 0x40 << 0x40 << 7 << 1;
    }

    void batteryInfo()
    {
        QFETCH(int, productId);
        QFETCH(int, source);
        QFETCH(int, intern);
        QFETCH(int, extern_);
        QFETCH(int, batterySource);
        QFETCH(int, info);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x41, source}, {0x42, intern}, {0x43, extern_}}));
        QCOMPARE(int(record->batterySource()), batterySource);
        QCOMPARE(record->batteryInfo(), info);
        QCOMPARE(int(record->batteryLevelExtern()), productId == kStruct ? extern_ : 0xFF);
    }

    void structFieldsAreLittleEndianAtOddOffsets()
    {
        FakeCameraAccess access(kStruct);
        auto record = makeRecord(access, settingsBlock({{0x45, 0x90}, {0x46, 0x01}, {0x4c, 0xFE}, {0x4d, 0xFF},
                                                        {0x4e, 0xFF}, {0x4f, 0xFF}, {0x52, 0x34}, {0x53, 0x12},
                                                        {0x51, 0xFE}, {0x0d, 0xF6}}));
        QCOMPARE(int(record->iSOValue()), 400);
        QCOMPARE(record->focusDistance(), -2);
        QCOMPARE(int(record->flashCompensation()), 0x1234);
        QCOMPARE(int(record->lightBalance()), -2);
        QCOMPARE(int(record->lightMeter()), -256);
        QCOMPARE(int(record->sensorBoardTemperature()), -10);
    }

    void structShutterAndApertureCodesAreWrittenLittleEndian()
    {
        FakeCameraAccess access(kStruct);
        auto record = makeRecord(access);
        record->setShutterTime(1.0 / 125);
        QCOMPARE(int(record->block().u8(0x4a)), 0x00);
        QCOMPARE(int(record->block().u8(0x4b)), 0x07);
        record->setAperture(5.6);
        QCOMPARE(int(record->block().u8(0x48)), 0xF9);
        QCOMPARE(int(record->block().u8(0x49)), 0x04);
        QCOMPARE(record->shutterTime(), 1.0 / 125);
    }

    // The M layout's light meter counts 1/128 EV; its balance is whole EV,
    // halves rounded up, and never wraps round to the other sign.
    void lightBalanceRoundsHalfUp_data()
    {
        QTest::addColumn<int>("meter");
        QTest::addColumn<int>("balance");
        QTest::newRow("-64 is -0.5") << -64 << 0;
        QTest::newRow("-65") << -65 << -1;
        QTest::newRow("192 is 1.5") << 192 << 2;
        QTest::newRow("-192 is -1.5") << -192 << -1;
        QTest::newRow("largest stays positive") << 32767 << 127;
        QTest::newRow("smallest stays negative") << -32768 << -128;
    }

    void lightBalanceRoundsHalfUp()
    {
        QFETCH(int, meter);
        QFETCH(int, balance);
        FakeCameraAccess access(kStructM);
        auto record = makeRecord(access, settingsBlock({{0x1b, meter & 0xFF}, {0x1c, (meter >> 8) & 0xFF}}));
        QCOMPARE(int(record->lightMeter()), meter);
        QCOMPARE(int(record->lightBalance()), balance);
    }

    // Codes the M layout stores as numbers of its own; the struct layout
    // stores the code itself.
    void mappedCodes_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<bool>("video");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("readBack");
        QTest::newRow("M video 9") << kStructM << true << 9 << 1 << 9;
        QTest::newRow("M video 18") << kStructM << true << 18 << 5 << 18;
        QTest::newRow("M video 12 unknown") << kStructM << true << 12 << 0 << 8;
        QTest::newRow("M exposure 2") << kStructM << false << 2 << 1 << 2;
        QTest::newRow("M exposure 4") << kStructM << false << 4 << 3 << 4;
        QTest::newRow("M exposure 1 unknown") << kStructM << false << 1 << 0 << 0;
        QTest::newRow("struct exposure 1") << kStruct << false << 1 << 1 << 1;
    }

    void mappedCodes()
    {
        QFETCH(int, productId);
        QFETCH(bool, video);
        QFETCH(int, code);
        QFETCH(int, stored);
        QFETCH(int, readBack);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x02, 3}, {0x47, 7}}));
        if (video)
            record->setVideoResAndFrRate(code);
        else
            record->setExposureMode(code);
        QCOMPARE(int(record->block().u8(video ? 0x02 : 0x47)), stored);
        QCOMPARE(video ? record->videoResAndFrRate() : record->exposureMode(), readBack);
    }

    // The struct layout holds the warning code; the M layout one bit per
    // warning, the first set bit winning.
    void warnings_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("warning");
        QTest::newRow("struct code") << kStruct << 0x30 << 0x30;
        QTest::newRow("M none") << kStructM << 0x00 << 1;
        QTest::newRow("M bit 1") << kStructM << 0x02 << 2;
        QTest::newRow("M bit 3") << kStructM << 0x08 << 6;
        QTest::newRow("M bit 4 before bit 5") << kStructM << 0x30 << 7;
        QTest::newRow("M bit 5") << kStructM << 0x20 << 4;
        QTest::newRow("M bit 6 only") << kStructM << 0x40 << 1;
    }

    void warnings()
    {
        QFETCH(int, productId);
        QFETCH(int, byte);
        QFETCH(int, warning);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x44, byte}}));
        QCOMPARE(int(record->warnings()), warning);
    }

    // --- Change flags ----------------------------------------------------------

    void changedFieldsRaiseTheirFlags_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<Bytes>("before");
        QTest::addColumn<Bytes>("after");
        QTest::addColumn<QList<int>>("flags");
        QTest::newRow("struct")
            << kStruct << Bytes{{0x01, 1}, {0x4b, 0x07}, {0x0e, 0x01}, {0x43, 0x40}, {0x05, 1}}
            << Bytes{{0x01, 2}, {0x4b, 0x08}, {0x0e, 0x05}, {0x43, 0xFF}, {0x05, 2}}
            << QList<int>{FLAG(batteryInfo), FLAG(batteryLevelExtern), FLAG(driveMode),
                          FLAG(bracketingImageNumbers), FLAG(flashXSymbol), FLAG(shutterTime)};
        // 0x43 and 0x48 are not part of the M layout.
        QTest::newRow("M") << kStructM << Bytes{{0x02, 1}, {0x46, 0x01}, {0x1b, 0x10}, {0x43, 1}, {0x48, 1}}
                           << Bytes{{0x02, 2}, {0x46, 0x02}, {0x1c, 0x10}, {0x43, 2}, {0x48, 2}}
                           << QList<int>{FLAG(sensitivity), FLAG(videoResAndFrRate), FLAG(lightBalance)};
    }

    void changedFieldsRaiseTheirFlags()
    {
        QFETCH(int, productId);
        QFETCH(Bytes, before);
        QFETCH(Bytes, after);
        QFETCH(QList<int>, flags);
        QCOMPARE(flagsSet(changesBetween(productId, settingsBlock(before), settingsBlock(after))), flags);
    }

    // Only a new warning is news: a code on the struct layout, a bit on the
    // M layout (bit 4 only while a continuous drive mode is selected).
    void warningFlag_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("drive");
        QTest::addColumn<bool>("raised");
        QTest::newRow("struct new code") << kStruct << 0 << 3 << 0 << true;
        QTest::newRow("struct other code") << kStruct << 3 << 4 << 0 << true;
        QTest::newRow("struct warning gone") << kStruct << 3 << 0 << 0 << false;
        QTest::newRow("M bit 2 set") << kStructM << 0x00 << 0x04 << 0 << true;
        QTest::newRow("M bit 2 stays set") << kStructM << 0x04 << 0x04 << 0 << false;
        QTest::newRow("M bits cleared") << kStructM << 0x0F << 0x00 << 0 << false;
        QTest::newRow("M bit 4, single drive") << kStructM << 0x00 << 0x10 << 1 << false;
        QTest::newRow("M bit 4, drive 2") << kStructM << 0x00 << 0x10 << 2 << true;
        QTest::newRow("M bit 4, drive 3") << kStructM << 0x00 << 0x10 << 3 << true;
        QTest::newRow("M bit 5") << kStructM << 0x00 << 0x20 << 0 << true;
        QTest::newRow("M bit 6") << kStructM << 0x00 << 0x40 << 0 << false;
    }

    void warningFlag()
    {
        QFETCH(int, productId);
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(int, drive);
        QFETCH(bool, raised);
        const Changes changes = changesBetween(productId, settingsBlock({{0x44, before}, {0x01, drive}}),
                                               settingsBlock({{0x44, after}, {0x01, drive}}));
        QCOMPARE(changes.warning, quint8(raised));
    }

    // --- Transfer --------------------------------------------------------------

    void sameValueTwiceSendsOneBlock_data() { addLayoutRows("one block"); }

    void sameValueTwiceSendsOneBlock()
    {
        QFETCH(int, productId);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x20, 0xAB}, {0x01, 1}}));
        record->setDriveMode(3);
        QVERIFY(record->isChanged());
        QVERIFY(record->sendIfChanged());
        QVERIFY(!record->isChanged());
        record->setDriveMode(3);
        QVERIFY(!record->isChanged());
        record->sendIfChanged();
        QCOMPARE(countOps(access, kOpSetSettings), 1);
        const QByteArray sent = access.transactions.last().sent;
        QCOMPARE(sent.size(), 100);
        QCOMPARE(int(sent[0x01]), 3);
        // Bytes the layout does not interpret go back unchanged.
        QCOMPARE(quint8(sent[0x20]), quint8(0xAB));
    }

    void cameraValueWinsOverAnUnsentSetter_data() { addLayoutRows("camera wins"); }

    void cameraValueWinsOverAnUnsentSetter()
    {
        QFETCH(int, productId);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x0f, 1}}));
        record->setFileFormat(2);
        record->recvFromCamera(nullptr);
        QCOMPARE(record->fileFormat(), 1);
        QVERIFY(!record->isChanged());
        record->sendIfChanged();
        QCOMPARE(countOps(access, kOpSetSettings), 0);
    }

    // A block that is not read whole is no news, and nothing is written from
    // the last one until the camera has been read again.
    void failedReadKeepsTheBlockAndSendsNothing_data() { addLayoutRows("failed read"); }

    void failedReadKeepsTheBlockAndSendsNothing()
    {
        QFETCH(int, productId);
        FakeCameraAccess access(productId);
        const QByteArray block = settingsBlock({{0x01, 5}, {0x42, 0xFF}, {0x62, 0xFF}});
        auto record = makeRecord(access, block);
        access.script(kOpGetSettings, FakeCameraAccess::fail());
        Changes changes{};
        record->recvFromCamera(&changes);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(record->block().data()), 100), block);
        QVERIFY(!record->holdsCameraValues());

        record->setDriveMode(3);
        QVERIFY(!record->sendIfChanged());
        QCOMPARE(countOps(access, kOpSetSettings), 0);
        QCOMPARE(record->driveMode(), 5);

        access.script(kOpGetSettings, FakeCameraAccess::ok(block));
        record->recvFromCamera(nullptr);
        record->setDriveMode(3);
        QVERIFY(record->sendIfChanged());
        QCOMPARE(countOps(access, kOpSetSettings), 1);
    }

    // The camera kept its block: so does the record, which reads it again
    // before the next write, as the camera may have taken it unanswered.
    void refusedWriteTakesTheBlockBack_data() { addLayoutRows("refused write"); }

    void refusedWriteTakesTheBlockBack()
    {
        QFETCH(int, productId);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x01, 1}, {0x05, 2}}));
        access.script(kOpSetSettings, FakeCameraAccess::fail(0x201C));
        record->setBracketImgNum(3);
        record->setDriveMode(3);
        QVERIFY(!record->sendIfChanged());
        QCOMPARE(record->driveMode(), 1);
        QCOMPARE(record->bracketingImageNumbers(), 5);
        QVERIFY(!record->isChanged());
        QVERIFY(!record->holdsCameraValues());
        // Bracketing switched off and on comes back with the camera's count.
        record->setBracketEnabled(false);
        record->setBracketEnabled(true);
        QCOMPARE(record->bracketingImageNumbers(), 5);
    }

    // --- Unserved operations -----------------------------------------------------

    // What a layout cannot serve it logs under its own class and mode and
    // leaves the record clean; getters answer their default.
    void unservedOperationsLogUnderTheirLayout_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("line");
        const QString s = "BRX_Logic_CameraSettingsByStruct::";
        const QString m = "BRX_Logic_CameraSettingsByStructM::";
        QTest::newRow("struct setter") << kStruct << int(kSetContrast)
                                       << s + "setContrast() - functionality is not available in struct mode";
        QTest::newRow("M setter") << kStructM << int(kSetContrast)
                                  << m + "setContrast() - functionality is not available in struct mode M";
        QTest::newRow("struct video format, with its blank")
            << kStruct << int(kSetVideoFormatResol)
            << s + "setVideoFormatResol() - functionality is not available in struct mode ";
        QTest::newRow("M video format") << kStructM << int(kSetVideoFormatResol)
                                        << m + "setVideoFormatResol() - functionality is not available in struct mode M";
        QTest::newRow("M interval")
            << kStructM << int(kSetIntervalTime)
            << m + "setIntervalTime() - functionality is not available in camera, but only externally";
        QTest::newRow("M aperture setter") << kStructM << int(kSetAperture)
                                           << m + "setAperture() - functionality is not available in struct mode M";
        QTest::newRow("struct getter default")
            << kStruct << int(kGetVideoFormatResol)
            << s + "videoFormatResol() - functionality is not available in struct mode, returning default";
        QTest::newRow("M getter default")
            << kStructM << int(kGetVideoFormatResol)
            << m + "videoFormatResol() - functionality is not available in struct mode M, returning default";
        QTest::newRow("M contrast in plain struct mode")
            << kStructM << int(kGetContrast)
            << m + "contrast() - functionality is not available in struct mode, returning default";
        QTest::newRow("M self-timer") << kStructM << int(kGetSelfTimerRestTime)
                                      << m + "selfTimerRestTime() - functionality is not available";
        QTest::newRow("M aperture") << kStructM << int(kGetAperture)
                                    << m + "aperture() - functionality is not available";
        QTest::newRow("struct property report") << kStruct << int(kPropertyReport)
                                                << s + "recvFromCamera() - ignore changed device property 0xD60C";
        QTest::newRow("M property report") << kStructM << int(kPropertyReport)
                                           << m + "recvFromCamera() - ignore changed device property 0xD60C";
    }

    void unservedOperationsLogUnderTheirLayout()
    {
        QFETCH(int, productId);
        QFETCH(int, operation);
        QFETCH(QString, line);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access);
        LogCapture log;
        callUnserved(*record, operation);
        QCOMPARE(log.lines(), QStringList(line));
        QVERIFY(!record->isChanged());
        // A setter the layout cannot serve counts as refused.
        QCOMPARE(record->sendIfChanged(), operation > kSetAperture);
        QCOMPARE(access.transactions.size(), 1);
    }

    // --- Dump -----------------------------------------------------------------------

    // One table drives the dump of every record class: its values, each in
    // the form its record shows it, then its capabilities, in that order.
    void dumpShowsTheRecordsOwnLines_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("capabilities");
        QTest::newRow("struct") << kStruct << "BRX_Logic_CameraSettingsByStruct"
                                << QStringList{"driveMode                = 3", "lockAEAF                 = 0",
                                               "shutterTime              = 0x0700 = 1792 (1/125.000s)",
                                               "featureFocusMode         = Yes"}
                                << 25;
        QTest::newRow("M") << kStructM << "BRX_Logic_CameraSettingsByStructM"
                           << QStringList{"driveMode                = 3", "videoResAndFrRate        = 8",
                                          "shutterTime              = 0x0700 = 1792 (1/125.000s)",
                                          "featureFocusMode         = No"}
                           << 25;
        QTest::newRow("device properties") << 0x2031 << "BRX_Logic_CameraSettingsByDevProps"
                                           << QStringList{"driveMode                = 0", "lockAEAF                 = No",
                                                          "aperture                 = 1.000000",
                                                          "featureAperture          = Yes"}
                                           << 34;
    }

    void dumpShowsTheRecordsOwnLines()
    {
        QFETCH(int, productId);
        QFETCH(QString, className);
        QFETCH(QStringList, lines);
        QFETCH(int, capabilities);
        FakeCameraAccess access(productId);
        access.script(kOpGetSettings, FakeCameraAccess::ok(settingsBlock({{0x01, 3}, {0x4b, 0x07}})));
        const std::unique_ptr<BRX_Logic_CameraSettingsBase> record(
            BRX_Logic_CameraSettingsFactory::create(&access, nullptr));
        setDebugFlags(kDebugSettings, true);
        LogCapture log;
        record->dump("test");
        const QString prefix = className + "::dump() - ";
        QStringList dumped;
        for (const QString& line : log.linesContaining(prefix))
            dumped << line.mid(prefix.size());
        int from = 0;
        for (const QString& line : lines) {
            const int at = dumped.indexOf(line, from);
            QVERIFY2(at >= 0, qPrintable(line));
            from = at + 1;
        }
        QCOMPARE(dumped.filter(QRegularExpression("^feature")).size(), capabilities);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStruct)
#include "tst_settings_struct.moc"
