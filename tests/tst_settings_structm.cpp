#include "BRX_Debug.h"
#include "BRX_Logic_CameraSettingsByStructM.h"
#include "FakeCameraAccess.h"
#include "LogCapture.h"

#include <QtTest>

#include <memory>

namespace {

typedef QList<QPair<int, int>> Bytes;

QByteArray settingsBlock(const Bytes& bytes = Bytes())
{
    QByteArray block(100, '\0');
    for (const auto& byte : bytes)
        block[byte.first] = char(byte.second);
    return block;
}

const quint16 kOpGetSettings = 0x9002;

}  // namespace

class TestSettingsStructM : public QObject
{
    Q_OBJECT

    std::unique_ptr<BRX_Logic_CameraSettingsByStructM> makeRecord(FakeCameraAccess& access,
                                                                  const QByteArray& block = settingsBlock())
    {
        access.script(kOpGetSettings, FakeCameraAccess::ok(block));
        return std::make_unique<BRX_Logic_CameraSettingsByStructM>(&access, nullptr);
    }

    // Flags raised when the camera's block goes from before to after.
    BRX_Logic_SettingsChanges changesBetween(const QByteArray& before, const QByteArray& after)
    {
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access, before);
        access.script(kOpGetSettings, FakeCameraAccess::ok(after));
        BRX_Logic_SettingsChanges changes{};
        record->recvFromCamera(&changes);
        return changes;
    }

private slots:
    void cleanup() { setDebugFlags(kDebugSettings, false); }

    void constructionReadsTheBlockOnce()
    {
        FakeCameraAccess access(0x2021);
        setDebugFlags(kDebugSettings, true);
        LogCapture log;
        auto record = makeRecord(access);
        QCOMPARE(access.transactions.size(), 1);
        QVERIFY(log.contains("cameraSettings for BRX_Logic_CameraSettingsByStructM::recvFromCamera:"));
        QVERIFY(!log.contains("BRX_Logic_CameraSettingsByStruct::dump()"));
    }

    // --- Conversions ------------------------------------------------------------

    void compensationIsStoredInThirds_data()
    {
        QTest::addColumn<int>("milliEV");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("readBack");
        QTest::newRow("0") << 0 << 9 << 0;
        QTest::newRow("+333") << 333 << 10 << 333;
        QTest::newRow("-500 rounds half up") << -500 << 8 << -333;
        QTest::newRow("+667") << 667 << 11 << 667;
        QTest::newRow("-2667") << -2667 << 1 << -2667;
        QTest::newRow("+4000 clamped") << 4000 << 18 << 3000;
        QTest::newRow("-4000 clamped") << -4000 << 0 << -3000;
    }

    void compensationIsStoredInThirds()
    {
        QFETCH(int, milliEV);
        QFETCH(int, index);
        QFETCH(int, readBack);
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access, settingsBlock({{0x04, 30}}));
        QCOMPARE(record->exposCompens(), 3000);  // an index past the table is limited
        QCOMPARE(record->exposCompensStep(), 500);
        record->setExposCompens(milliEV);
        QCOMPARE(int(record->block().u8(0x04)), index);
        QCOMPARE(record->exposCompens(), readBack);
    }

    void videoModeMapping_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("readBack");
        QTest::newRow("9") << 9 << 1 << 9;
        QTest::newRow("15") << 15 << 2 << 15;
        QTest::newRow("18") << 18 << 5 << 18;
        QTest::newRow("12 unknown") << 12 << 0 << 8;
        QTest::newRow("8") << 8 << 0 << 8;
    }

    void videoModeMapping()
    {
        QFETCH(int, code);
        QFETCH(int, stored);
        QFETCH(int, readBack);
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access, settingsBlock({{0x02, 3}}));
        record->setVideoResAndFrRate(code);
        QCOMPARE(int(record->block().u8(0x02)), stored);
        QCOMPARE(record->videoResAndFrRate(), readBack);
    }

    void exposureModeMapping_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("readBack");
        QTest::newRow("0") << 0 << 0 << 0;
        QTest::newRow("1 unknown") << 1 << 0 << 0;
        QTest::newRow("2") << 2 << 1 << 2;
        QTest::newRow("4") << 4 << 3 << 4;
    }

    void exposureModeMapping()
    {
        QFETCH(int, mode);
        QFETCH(int, stored);
        QFETCH(int, readBack);
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access, settingsBlock({{0x47, 7}}));
        QCOMPARE(record->exposureMode(), 0);
        record->setExposureMode(mode);
        QCOMPARE(int(record->block().u8(0x47)), stored);
        QCOMPARE(record->exposureMode(), readBack);
    }

    void sensitivityIsASixteenBitIso()
    {
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access);
        QVERIFY(record->sensitivityAuto());
        record->setSensitivity(3200);
        QCOMPARE(int(record->block().u8(0x45)), 0x80);
        QCOMPARE(int(record->block().u8(0x46)), 0x0C);
        QCOMPARE(record->sensitivity(), 3200);
        QCOMPARE(int(record->iSOValue()), 3200);
        QVERIFY(!record->sensitivityAuto());
    }

    void warningsByPriority_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("warning");
        QTest::newRow("none") << 0x00 << 1;
        QTest::newRow("bit 0") << 0x01 << 1;
        QTest::newRow("bit 1") << 0x02 << 2;
        QTest::newRow("bit 3") << 0x08 << 6;
        QTest::newRow("bit 4 before bit 5") << 0x30 << 7;
        QTest::newRow("bit 5") << 0x20 << 4;
        QTest::newRow("bit 6 only") << 0x40 << 1;
    }

    void warningsByPriority()
    {
        QFETCH(int, bits);
        QFETCH(int, warning);
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access, settingsBlock({{0x44, bits}}));
        QCOMPARE(int(record->warnings()), warning);
    }

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
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access, settingsBlock({{0x1b, meter & 0xFF}, {0x1c, (meter >> 8) & 0xFF}}));
        QCOMPARE(int(record->lightMeter()), meter);
        QCOMPARE(int(record->lightBalance()), balance);
    }

    void batteryFieldsAreInverted_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("batterySource");
        QTest::addColumn<int>("batteryInfo");
        QTest::newRow("zero block") << 0 << 0 << 1 << 1;
        QTest::newRow("source 1") << 1 << 0x40 << 0 << 3;
        QTest::newRow("no battery") << 0 << 0xFF << 1 << 4;
        QTest::newRow("source 7") << 7 << 0x40 << 7 << 1;
    }

    void batteryFieldsAreInverted()
    {
        QFETCH(int, source);
        QFETCH(int, level);
        QFETCH(int, batterySource);
        QFETCH(int, batteryInfo);
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access, settingsBlock({{0x41, source}, {0x42, level}, {0x43, 0x40}}));
        QCOMPARE(int(record->batterySource()), batterySource);
        QCOMPARE(record->batteryInfo(), batteryInfo);
        QCOMPARE(int(record->batteryLevelExtern()), 0xFF);
    }

    // --- Change flags ----------------------------------------------------------

    void warningFlagRule_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("drive");
        QTest::addColumn<bool>("raised");
        QTest::newRow("bit 2 set") << 0x00 << 0x04 << 0 << true;
        QTest::newRow("bit 2 stays set") << 0x04 << 0x04 << 0 << false;
        QTest::newRow("bits cleared") << 0x0F << 0x00 << 0 << false;
        QTest::newRow("bit 4, single drive") << 0x00 << 0x10 << 1 << false;
        QTest::newRow("bit 4, drive 2") << 0x00 << 0x10 << 2 << true;
        QTest::newRow("bit 4, drive 3") << 0x00 << 0x10 << 3 << true;
        QTest::newRow("bit 5") << 0x00 << 0x20 << 0 << true;
        QTest::newRow("bit 6") << 0x00 << 0x40 << 0 << false;
    }

    void warningFlagRule()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(int, drive);
        QFETCH(bool, raised);
        const auto changes = changesBetween(settingsBlock({{0x44, before}, {0x01, drive}}),
                                            settingsBlock({{0x44, after}, {0x01, drive}}));
        QCOMPARE(changes.warning, quint8(raised));
    }

    void changedFieldsRaiseTheirFlags()
    {
        const auto changes = changesBetween(settingsBlock({{0x02, 1}, {0x46, 0x01}, {0x1b, 0x10}, {0x43, 1}, {0x48, 1}}),
                                            settingsBlock({{0x02, 2}, {0x46, 0x02}, {0x1c, 0x10}, {0x43, 2}, {0x48, 2}}));
        QCOMPARE(changes.videoResAndFrRate, quint8(1));
        QCOMPARE(changes.sensitivity, quint8(1));
        QCOMPARE(changes.lightBalance, quint8(1));
        // 0x43 and 0x48 are not part of the M layout.
        QCOMPARE(changes.batteryLevelExtern, quint8(0));
        QCOMPARE(changes.aperture, quint8(0));
        QCOMPARE(changes.focusMode, quint8(0));
        QCOMPARE(changes.count(), 3);
    }

    // --- Unserved operations -----------------------------------------------------

    void unservedOperationsLogWithTheMLabel()
    {
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access);
        LogCapture log;
        record->setAperture(4.0);
        record->setFocusMode(0);
        QVERIFY(!record->isChanged());
        QCOMPARE(record->aperture(), 0.0);
        QCOMPARE(record->contrast(), 1);
        QCOMPARE(record->autoreviewDuration(), 5);
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByStructM::setAperture() - functionality is not available in struct mode M"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByStructM::aperture() - functionality is not available"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByStructM::contrast() - functionality is not available in struct mode, returning default"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByStructM::autoreviewDuration() - functionality is not available in struct mode M, returning default"));
        QCOMPARE(record->focusMode(), 2);
        QVERIFY(record->focusConfirmationBadSignal());
    }

    void sharedSettersPatchTheMBlock()
    {
        FakeCameraAccess access(0x2021);
        auto record = makeRecord(access, settingsBlock({{0x0e, 0x05}}));
        record->setDngCompression(true);
        record->setWhiteBalanceIndex(4);
        QCOMPARE(int(record->block().u8(0x0e)), 0x07);
        QCOMPARE(record->whiteBalanceIndex(), 4);
        record->sendIfChanged();
        QCOMPARE(access.transactions.last().opCode, quint16(0x9001));
        QCOMPARE(int(access.transactions.last().sent[0x12]), 4);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStructM)
#include "tst_settings_structm.moc"
