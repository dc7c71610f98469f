#include "BRX_Debug.h"
#include "BRX_Logic_CameraSettingsByStruct.h"
#include "FakeCameraAccess.h"
#include "LogCapture.h"

#include <QtTest>

#include <memory>

namespace {

typedef QList<QPair<int, int>> Bytes;

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

const quint16 kOpGetSettings = 0x9002;
const quint16 kOpSetSettings = 0x9001;

}  // namespace

class TestSettingsStruct : public QObject
{
    Q_OBJECT

    std::unique_ptr<BRX_Logic_CameraSettingsByStruct> makeRecord(FakeCameraAccess& access,
                                                                 const QByteArray& block = settingsBlock())
    {
        access.script(kOpGetSettings, FakeCameraAccess::ok(block));
        return std::make_unique<BRX_Logic_CameraSettingsByStruct>(&access, nullptr);
    }

private slots:
    void cleanup() { setDebugFlags(kDebugSettings, false); }

    // --- Conversions ------------------------------------------------------------

    // Half steps from -3 EV (index 0) to +3 EV (index 12); ties round up.
    void exposureCompensationIsStoredAsHalfStepIndex_data()
    {
        QTest::addColumn<int>("milliEV");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("readBack");
        QTest::newRow("0") << 0 << 6 << 0;
        QTest::newRow("+250 rounds up") << 250 << 7 << 500;
        QTest::newRow("-250 rounds up to 0") << -250 << 6 << 0;
        QTest::newRow("-251") << -251 << 5 << -500;
        QTest::newRow("+1000") << 1000 << 8 << 1000;
        QTest::newRow("+5000 clamped") << 5000 << 12 << 3000;
        QTest::newRow("-5000 clamped") << -5000 << 0 << -3000;
    }

    void exposureCompensationIsStoredAsHalfStepIndex()
    {
        QFETCH(int, milliEV);
        QFETCH(int, index);
        QFETCH(int, readBack);
        FakeCameraAccess access(0x2009);
        auto record = makeRecord(access, settingsBlock({{0x04, 200}}));
        QCOMPARE(record->exposCompens(), 3000);  // an index past the table is limited
        record->setExposCompens(milliEV);
        QCOMPARE(int(record->block().u8(0x04)), index);
        QCOMPARE(record->exposCompens(), readBack);
    }

    void sensitivityFollowsTheProductTable_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("iso");
        QTest::addColumn<int>("index");
        QTest::newRow("0x2009 100 unknown, refused") << 0x2009 << 100 << 3;
        QTest::newRow("0x2011 100") << 0x2011 << 100 << 2;
        QTest::newRow("0x2009 1250") << 0x2009 << 1250 << 5;
        QTest::newRow("0x2011 1600") << 0x2011 << 1600 << 6;
        QTest::newRow("0x2011 automatic") << 0x2011 << 0 << 0;
    }

    void sensitivityFollowsTheProductTable()
    {
        QFETCH(int, productId);
        QFETCH(int, iso);
        QFETCH(int, index);
        FakeCameraAccess access(productId);
        auto record = makeRecord(access, settingsBlock({{0x0a, 3}}));
        record->setSensitivity(iso);
        const bool refused = index == 3;
        QCOMPARE(record->sendIfChanged(), !refused);
        QCOMPARE(int(record->block().u8(0x0a)), index);
        QCOMPARE(record->sensitivity(), refused ? 320 : iso);
        QCOMPARE(record->sensitivityAuto(), index == 0);
    }

    void imageCountAndSwitchShareOneField()
    {
        FakeCameraAccess access(0x2009);
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

    void switchSettersChangeOnlyTheirBit()
    {
        FakeCameraAccess access(0x2009);
        auto record = makeRecord(access, settingsBlock({{0x0e, 0xF6}}));
        record->setKeyLock(true);
        QCOMPARE(int(record->block().u8(0x0e)), 0xF7);
        record->setDngCompression(false);
        QCOMPARE(int(record->block().u8(0x0e)), 0xF5);
        QVERIFY(record->keyLock());
        QVERIFY(!record->dngCompression());
        QVERIFY(record->flashXSymbol());
    }

    void batteryInfo_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("intern");
        QTest::addColumn<int>("extern_");
        QTest::addColumn<int>("info");
        QTest::newRow("source 0") << 0 << 0x40 << 0x40 << 3;
        QTest::newRow("both") << 1 << 0x40 << 0x40 << 2;
        QTest::newRow("internal only") << 1 << 0x40 << 0xFF << 1;
        QTest::newRow("external only") << 1 << 0xFF << 0x40 << 0;
        QTest::newRow("neither") << 1 << 0xFF << 0xFF << 4;
    }

    void batteryInfo()
    {
        QFETCH(int, source);
        QFETCH(int, intern);
        QFETCH(int, extern_);
        QFETCH(int, info);
        FakeCameraAccess access(0x2011);
        auto record = makeRecord(access, settingsBlock({{0x41, source}, {0x42, intern}, {0x43, extern_}}));
        QCOMPARE(record->batteryInfo(), info);
    }

    void multiByteFieldsAreLittleEndianAtOddOffsets()
    {
        FakeCameraAccess access(0x2009);
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

    void shutterAndApertureCodesAreWrittenLittleEndian()
    {
        FakeCameraAccess access(0x2009);
        auto record = makeRecord(access);
        record->setShutterTime(1.0 / 125);
        QCOMPARE(int(record->block().u8(0x4a)), 0x00);
        QCOMPARE(int(record->block().u8(0x4b)), 0x07);
        record->setAperture(5.6);
        QCOMPARE(int(record->block().u8(0x48)), 0xF9);
        QCOMPARE(int(record->block().u8(0x49)), 0x04);
        QCOMPARE(record->shutterTime(), 1.0 / 125);
    }

    void featureBitsAnswerCapabilities()
    {
        FakeCameraAccess access(0x2009);
        auto record = makeRecord(access, settingsBlock({{0x62, 0x21}, {0x63, 0x01}}));
        QVERIFY(record->hasMoveLensToPos());
        QVERIFY(!record->hasMoveLensRightLeft());
        QVERIFY(record->hasKeyLock());
        QVERIFY(record->hasFlashXSymbol());
        QVERIFY(!record->hasPreview());
    }

    // --- Change flags ----------------------------------------------------------

    void changedFieldsRaiseTheirFlags()
    {
        FakeCameraAccess access(0x2009);
        const QByteArray before = settingsBlock({{0x01, 1}, {0x4a, 0x00}, {0x4b, 0x07}, {0x0e, 0x01},
                                                 {0x43, 0x40}, {0x05, 1}, {0x44, 3}});
        auto record = makeRecord(access, before);
        QByteArray after = before;
        after[0x01] = 2;                // drive mode
        after[0x4b] = 0x08;             // shutter code, high byte only
        after[0x0e] = char(0x05);       // flash X symbol bit
        after[0x43] = char(0xFF);       // external battery gone
        after[0x05] = 2;                // five images: count changes, switch does not
        after[0x44] = 0;                // warning gone: no news
        access.script(kOpGetSettings, FakeCameraAccess::ok(after));
        BRX_Logic_SettingsChanges changes{};
        changes.exposCompensStep = 1;  // written 0 by the record
        record->recvFromCamera(&changes);
        QCOMPARE(changes.driveMode, quint8(1));
        QCOMPARE(changes.shutterTime, quint8(1));
        QCOMPARE(changes.flashXSymbol, quint8(1));
        QCOMPARE(changes.batteryLevelExtern, quint8(1));
        QCOMPARE(changes.batteryInfo, quint8(1));
        QCOMPARE(changes.bracketingImageNumbers, quint8(1));
        QCOMPARE(changes.bracketingEnabled, quint8(0));
        QCOMPARE(changes.warning, quint8(0));
        QCOMPARE(changes.count(), 6);

        after[0x44] = 3;  // a new warning is news
        access.script(kOpGetSettings, FakeCameraAccess::ok(after));
        changes = BRX_Logic_SettingsChanges{};
        record->recvFromCamera(&changes);
        QCOMPARE(changes.warning, quint8(1));
        QCOMPARE(changes.count(), 1);
    }

    // --- Transfer --------------------------------------------------------------

    void sameValueTwiceSendsOneBlock()
    {
        FakeCameraAccess access(0x2009);
        auto record = makeRecord(access, settingsBlock({{0x20, 0xAB}, {0x01, 1}}));
        record->setDriveMode(3);
        QVERIFY(record->isChanged());
        record->sendIfChanged();
        QVERIFY(!record->isChanged());
        record->setDriveMode(3);
        QVERIFY(!record->isChanged());
        record->sendIfChanged();
        QCOMPARE(countOps(access, kOpSetSettings), 1);
        const QByteArray sent = access.transactions.last().sent;
        QCOMPARE(sent.size(), 100);
        QCOMPARE(int(sent[0x01]), 3);
        // Bytes this record does not interpret go back unchanged.
        QCOMPARE(quint8(sent[0x20]), quint8(0xAB));
    }

    void cameraValueWinsOverAnUnsentSetter()
    {
        FakeCameraAccess access(0x2009);
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
    void failedReadKeepsTheBlockAndSendsNothing()
    {
        FakeCameraAccess access(0x2009);
        const QByteArray block = settingsBlock({{0x01, 5}, {0x42, 0xFF}, {0x62, 0xFF}});
        auto record = makeRecord(access, block);
        access.script(kOpGetSettings, FakeCameraAccess::fail());
        BRX_Logic_SettingsChanges changes{};
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
    void refusedWriteTakesTheBlockBack()
    {
        FakeCameraAccess access(0x2009);
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

    // --- Unserved operations and logging ---------------------------------------

    void unservedOperationsLogAndStayClean()
    {
        FakeCameraAccess access(0x2009);
        auto record = makeRecord(access);
        LogCapture log;
        const QString label = "BRX_Logic_CameraSettingsByStruct::";
        record->setContrast(2);
        record->setVideoFormatResol(1);
        record->setIntervalTime(5);
        QVERIFY(!record->isChanged());
        QVERIFY(!record->sendIfChanged());
        QVERIFY(log.contains(label + "setContrast() - functionality is not available in struct mode"));
        QVERIFY(log.lines().contains(label + "setVideoFormatResol() - functionality is not available in struct mode "));
        QVERIFY(log.contains(label + "setIntervalTime() - functionality is not available in camera, but only externally"));

        QCOMPARE(record->videoResAndFrRate(), 8);
        QCOMPARE(record->videoFormatResol(), 3);
        QCOMPARE(int(record->audioVolSpeaker()), 3);
        QCOMPARE(record->selfTimerRestTime(), -1);
        QVERIFY(log.contains(label + "videoResAndFrRate() - functionality is not available in struct mode, returning default"));
        QVERIFY(log.contains(label + "selfTimerRestTime() - functionality is not available"));

        BRX_Logic_SettingsChanges changes{};
        record->recvFromCamera(0xD60C, &changes);
        QVERIFY(log.contains(label + "recvFromCamera() - ignore changed device property 0xD60C"));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(countOps(access, kOpGetSettings), 1);
    }

    void dumpWritesBlockAndLabelledValues()
    {
        FakeCameraAccess access(0x2009);
        auto record = makeRecord(access, settingsBlock({{0x01, 3}, {0x4a, 0x00}, {0x4b, 0x07}, {0x0e, 0x01}}));
        setDebugFlags(kDebugSettings, true);
        LogCapture log;
        record->recvFromCamera(nullptr);
        QVERIFY(log.contains("cameraSettings for BRX_Logic_CameraSettingsByStruct::recvFromCamera:"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByStruct::dump() - driveMode                = 3"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByStruct::dump() - keyLock                  = Yes"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByStruct::dump() - shutterTime              = 0x0700 = 1792 (1/125.000s)"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByStruct::dump() - featureFlashXSymbol      = No"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStruct)
#include "tst_settings_struct.moc"
