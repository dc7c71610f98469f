#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterShutterTime.h"
#include "BRX_Logic_CameraSettingsByDevProps.h"
#include "BRX_Logic_DeviceInfo.h"
#include "FakeCameraAccess.h"
#include "LogCapture.h"

#include <QtTest>

namespace {

typedef BRX_Logic_CameraSettingsByDevProps Record;

const quint16 kOpGetDevicePropDesc = 0x1014;
const quint16 kOpGetDevicePropValue = 0x1015;
const quint16 kOpSetDevicePropValue = 0x1016;

// value as width little-endian bytes
QByteArray le(qint64 value, int width)
{
    QByteArray bytes;
    for (int i = 0; i < width; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
    return bytes;
}

void serve(FakeCameraAccess& access, quint16 code, qint64 value, int width = 4)
{
    access.script(kOpGetDevicePropValue, code, FakeCameraAccess::ok(le(value, width)));
}

QList<quint16> codesRead(const FakeCameraAccess& access)
{
    QList<quint16> codes;
    for (const auto& transaction : access.transactions)
        if (transaction.opCode == kOpGetDevicePropValue)
            codes.append(quint16(transaction.params.value(0)));
    return codes;
}

typedef QList<QPair<quint16, QByteArray>> Writes;

QPair<quint16, QByteArray> write(quint16 code, qint64 value, int width)
{
    return qMakePair(code, le(value, width));
}

// Each write as (property code, bytes sent).
Writes writes(const FakeCameraAccess& access)
{
    Writes result;
    for (const auto& transaction : access.transactions)
        if (transaction.opCode == kOpSetDevicePropValue)
            result.append(qMakePair(quint16(transaction.params.value(0)), transaction.sent));
    return result;
}

// A StillCaptureMode descriptor (UINT16, enumeration) listing modes 1 and 7.
QByteArray captureModeDescriptor()
{
    return le(0x5013, 2) + le(0x0004, 2) + le(1, 1) + le(1, 2) + le(1, 2) + le(2, 1) + le(2, 2) + le(1, 2) + le(7, 2);
}

// A DeviceInfo dataset whose only supported device property is code.
QByteArray deviceInfoWithProperty(quint16 code)
{
    return le(100, 2) + le(0, 4) + le(0, 2) + le(0, 1) + le(0, 2) + le(0, 4) + le(0, 4) + le(1, 4) + le(code, 2)
           + le(0, 4) + le(0, 4) + le(0, 4);
}

}  // namespace

Q_DECLARE_METATYPE(QList<quint16>)

class TestSettingsDevProps : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { setDebugFlags(kDebugSettings, false); }

    // --- Full refresh -------------------------------------------------------------

    void refreshReadsTheGatedRows_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<QList<quint16>>("read");
        QTest::addColumn<QList<quint16>>("skipped");
        QTest::newRow("0x2031") << 0x2031
                                << QList<quint16>{0xD626, 0xD623, 0xD62B, 0x500A, 0xD005, 0xD008, 0xD00A, 0xD60E, 0xD125}
                                << QList<quint16>{0xD079, 0xD04E, 0xD040, 0xD050, 0xD080, 0xD643, 0xD65F};
        QTest::newRow("0x2041") << 0x2041
                                << QList<quint16>{0xD04E, 0xD06F, 0xD040, 0xD050, 0xD082, 0x500A, 0xD60E}
                                << QList<quint16>{0xD005, 0xD006, 0xD007, 0xD008, 0xD626, 0xD623, 0xD036, 0xD080};
        QTest::newRow("0x2061") << 0x2061 << QList<quint16>{0xD079, 0x5013, 0xD60C, 0xD014}
                                << QList<quint16>{0xD60E, 0x500A, 0xD62B, 0xD005, 0xD006, 0xD007, 0xD008,
                                                  0xD626, 0xD123, 0xD02D};
    }

    void refreshReadsTheGatedRows()
    {
        QFETCH(int, productId);
        QFETCH(QList<quint16>, read);
        QFETCH(QList<quint16>, skipped);
        FakeCameraAccess access(productId);
        Record record(&access, nullptr);
        record.recvFromCamera(nullptr);
        const QList<quint16> codes = codesRead(access);
        for (quint16 code : read)
            QVERIFY2(codes.contains(code), qPrintable(QString::number(code, 16)));
        for (quint16 code : skipped)
            QVERIFY2(!codes.contains(code), qPrintable(QString::number(code, 16)));
        QCOMPARE(codes.mid(0, 2), (QList<quint16>{0xD616, 0x5001}));
        QCOMPARE(codes.count(0xD610), 1);
    }

    void externalBatteryIsReadOnlyWhenReported_data()
    {
        QTest::addColumn<int>("batteryInfo");
        QTest::addColumn<bool>("read");
        QTest::newRow("1") << 1 << false;
        QTest::newRow("2") << 2 << true;
    }

    void externalBatteryIsReadOnlyWhenReported()
    {
        QFETCH(int, batteryInfo);
        QFETCH(bool, read);
        FakeCameraAccess access(0x2031);
        serve(access, 0xD616, batteryInfo);
        Record record(&access, nullptr);
        QCOMPARE(int(record.batteryLevelExtern()), 255);
        record.recvFromCamera(nullptr);
        QCOMPARE(codesRead(access).contains(0xD608), read);
    }

    void refreshFlagsChangesOnce()
    {
        FakeCameraAccess access(0x2031);
        serve(access, 0x5005, 3, 2);
        serve(access, 0x5010, -1500, 2);
        Record record(&access, nullptr);
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(&changes);
        QCOMPARE(changes.whiteBalanceIndex, quint8(1));
        QCOMPARE(changes.exposCompens, quint8(1));
        QCOMPARE(changes.batteryLevelIntern, quint8(1));  // 0 differs from the preset "none"
        QCOMPARE(record.exposCompens(), -1500);
        changes.clear();
        record.recvFromCamera(&changes);
        QCOMPARE(changes.count(), 0);
    }

    // --- Single property ------------------------------------------------------------

    void reportedShutterCodeReadsTheShutterProperty()
    {
        FakeCameraAccess access(0x2031);
        serve(access, 0xD60C, 1792);
        Record record(&access, nullptr);
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(0xD60D, &changes);
        QCOMPARE(codesRead(access), QList<quint16>{0xD60C});
        QCOMPARE(record.heldValue(Record::kExposureTime), 1792);
        QCOMPARE(record.shutterTime(), 1.0 / 125);
        QCOMPARE(changes.shutterTime, quint8(1));
        QCOMPARE(changes.count(), 1);
    }

    void eitherSensitivityCodeReadsBoth()
    {
        FakeCameraAccess access(0x2031);
        serve(access, 0xD610, 400);
        serve(access, 0x500F, 400);
        Record record(&access, nullptr);
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(0x500F, &changes);
        QCOMPARE(codesRead(access), (QList<quint16>{0xD610, 0x500F}));
        QCOMPARE(record.sensitivity(), 400);
        QVERIFY(!record.sensitivityAuto());
        QCOMPARE(changes.sensitivity, quint8(1));
    }

    void perCodeReadLogsValueAndResult()
    {
        FakeCameraAccess access(0x2031);
        serve(access, 0x5013, 3, 2);
        access.script(kOpGetDevicePropValue, 0xD014, FakeCameraAccess::fail());
        Record record(&access, nullptr);
        setDebugFlags(kDebugSettings, true);
        LogCapture log;
        record.recvFromCamera(0x5013, nullptr);
        record.recvFromCamera(0xD014, nullptr);
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByDevProps::recvFromCamera() - driveMode             = 3   (ok = Yes)"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByDevProps::recvFromCamera() - whiteBalanceColorTemp = 0   (ok = No)"));
    }

    void failedReadLeavesStateUntouched()
    {
        FakeCameraAccess access(0x2031);
        serve(access, 0xD014, 5600);
        Record record(&access, nullptr);
        record.recvFromCamera(0xD014, nullptr);
        access.script(kOpGetDevicePropValue, 0xD014, FakeCameraAccess::fail());
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(0xD014, &changes);
        QCOMPARE(record.whiteBalanceColorTemp(), 5600);
        QCOMPARE(changes.count(), 0);
    }

    // A property asked for and never answered holds a preset nobody read:
    // the record says so until the camera answers, and that answer is news
    // even when it equals the preset.
    void unansweredReadIsNoCameraValue()
    {
        FakeCameraAccess access(0x2031);
        access.script(kOpGetDevicePropValue, 0x500B, FakeCameraAccess::fail());
        Record record(&access, nullptr);
        record.recvFromCamera(nullptr);
        QVERIFY(!record.holdsCameraValue(&BRX_Logic_SettingsChanges::exposMetering));
        QVERIFY(record.holdsCameraValue(&BRX_Logic_SettingsChanges::whiteBalanceIndex));
        serve(access, 0x500B, 0, 2);
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(0x500B, &changes);
        QVERIFY(record.holdsCameraValue(&BRX_Logic_SettingsChanges::exposMetering));
        QCOMPARE(changes.exposMetering, quint8(1));
        QCOMPARE(changes.count(), 1);
        // Read once, it stays the camera's value through failed reads.
        access.script(kOpGetDevicePropValue, 0x500B, FakeCameraAccess::fail());
        changes.clear();
        record.recvFromCamera(nullptr);
        QVERIFY(record.holdsCameraValue(&BRX_Logic_SettingsChanges::exposMetering));
        QCOMPARE(changes.exposMetering, quint8(0));
    }

    // Of the two properties behind sensitivity, either unanswered holds it back.
    void sensitivityNeedsBothAnswers()
    {
        FakeCameraAccess access(0x2031);
        access.script(kOpGetDevicePropValue, 0x500F, FakeCameraAccess::fail());
        Record record(&access, nullptr);
        record.recvFromCamera(nullptr);
        QVERIFY(!record.holdsCameraValue(&BRX_Logic_SettingsChanges::sensitivity));
    }

    // The preset may not be what the camera holds: a set to it is written.
    void setOfAnUnansweredPropertyIsWrittenAtItsPreset()
    {
        FakeCameraAccess access(0x2031);
        access.script(kOpGetDevicePropValue, 0x500B, FakeCameraAccess::fail());
        Record record(&access, nullptr);
        record.recvFromCamera(nullptr);
        record.setExposMetering(0);
        QCOMPARE(writes(access), Writes{write(0x500B, 0, 2)});
        QVERIFY(record.holdsCameraValue(&BRX_Logic_SettingsChanges::exposMetering));
        record.setExposMetering(0);
        QCOMPARE(writes(access).size(), 1);
    }

    // Where bracketing is a drive mode, it is known with the drive mode.
    void bracketingFollowsAnUnansweredDriveMode()
    {
        FakeCameraAccess access(0x2041);
        access.script(kOpGetDevicePropValue, 0x5013, FakeCameraAccess::fail());
        Record record(&access, nullptr);
        record.recvFromCamera(nullptr);
        QVERIFY(!record.holdsCameraValue(&BRX_Logic_SettingsChanges::bracketingEnabled));
        serve(access, 0x5013, 1, 2);
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(0x5013, &changes);
        QVERIFY(record.holdsCameraValue(&BRX_Logic_SettingsChanges::bracketingEnabled));
        QCOMPARE(changes.driveMode, quint8(1));
        QCOMPARE(changes.bracketingEnabled, quint8(1));
        QVERIFY(!record.bracketingEnabled());
    }

    void unknownCodeOnlyLogs()
    {
        FakeCameraAccess access(0x2031);
        Record record(&access, nullptr);
        setDebugFlags(kDebugSettings, true);
        LogCapture log;
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(0x1234, &changes);
        record.recvFromCamera(0, &changes);
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByDevProps::recvFromCamera() - unknown device property 0x1234"));
        QVERIFY(access.transactions.isEmpty());
        QCOMPARE(changes.count(), 0);
    }

    void electronicShutterIsNotRead()
    {
        FakeCameraAccess access(0x2041);
        Record record(&access, nullptr);
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(0xD080, &changes);
        QVERIFY(access.transactions.isEmpty());
        QCOMPARE(record.electronicShutter(), 1);
        QCOMPARE(changes.electronicShutter, quint8(1));
        changes.clear();
        record.recvFromCamera(0xD080, &changes);
        QCOMPARE(changes.count(), 0);
    }

    void bracketingDriveModeSwitchesBracketing_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<bool>("follows");
        QTest::newRow("0x2041") << 0x2041 << true;
        QTest::newRow("0x2061") << 0x2061 << true;
        QTest::newRow("0x2031") << 0x2031 << false;
    }

    void bracketingDriveModeSwitchesBracketing()
    {
        QFETCH(int, productId);
        QFETCH(bool, follows);
        FakeCameraAccess access(productId);
        serve(access, 0x5013, 8, 2);
        Record record(&access, nullptr);
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(0x5013, &changes);
        QCOMPARE(record.driveMode(), 4);
        QCOMPARE(record.bracketingEnabled(), follows);
        QCOMPARE(changes.bracketingEnabled, quint8(follows));
        QCOMPARE(changes.driveMode, quint8(1));
    }

    // Presets that stand for seconds set the exposure time too; others do not.
    void bulbPresetSetsTheExposureTimeOn2061_data()
    {
        QTest::addColumn<int>("preset");
        QTest::addColumn<int>("seconds");
        QTest::newRow("16 s") << 16 << 16;
        QTest::newRow("10: no seconds") << 10 << 0;
    }

    void bulbPresetSetsTheExposureTimeOn2061()
    {
        QFETCH(int, preset);
        QFETCH(int, seconds);
        FakeCameraAccess access(0x2061);
        serve(access, 0xD079, preset);
        Record record(&access, nullptr);
        BRX_Logic_SettingsChanges changes{};
        record.recvFromCamera(0xD079, &changes);
        const BRX_Logic_APEXConverterShutterTime converter(0x2061);
        QCOMPARE(record.heldValue(Record::kExposureTime), seconds ? qint32(converter.codeFromSeconds(seconds)) : 0);
        QCOMPARE(changes.shutterTime, quint8(seconds != 0));
        QCOMPARE(changes.exposTimeBulbPreset, quint8(1));
    }

    // --- Setters ------------------------------------------------------------------

    void driveModeMapping_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<bool>("mode7");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("sent");
        QTest::newRow("0x2031 mode 7: bracketing") << 0x2031 << true << 4 << 8;
        QTest::newRow("0x2031 mode 7: single") << 0x2031 << true << 1 << 7;
        QTest::newRow("0x2031 without mode 7: single") << 0x2031 << false << 1 << 1;
        QTest::newRow("continuous") << 0x2031 << false << 2 << 3;
        QTest::newRow("code 8") << 0x2031 << false << 8 << 7;
        QTest::newRow("unknown, refused") << 0x2031 << false << 9 << 0;
    }

    void driveModeMapping()
    {
        QFETCH(int, productId);
        QFETCH(bool, mode7);
        QFETCH(int, code);
        QFETCH(int, sent);
        FakeCameraAccess access(productId);
        if (!mode7)
            access.script(kOpGetDevicePropDesc, FakeCameraAccess::fail());
        else
            access.script(kOpGetDevicePropDesc, 0x5013, FakeCameraAccess::ok(captureModeDescriptor()));
        QCOMPARE(access.evaluateSupportsCaptureMode7(), mode7);
        Record record(&access, nullptr);
        record.setDriveMode(code);
        QCOMPARE(record.sendIfChanged(), sent != 0);
        if (sent == 0) {
            QVERIFY(writes(access).isEmpty());
            return;
        }
        QCOMPARE(writes(access), (Writes{write(0x5013, sent, 2)}));
        QCOMPARE(record.driveMode(), code == 8 && mode7 ? 1 : code);
    }

    void bracketingKeepsTheBracketingDriveMode()
    {
        FakeCameraAccess access(0x2041);
        Record record(&access, nullptr);
        record.setBracketEnabled(true);
        record.setDriveMode(2);
        record.setBracketEnabled(false);
        QCOMPARE(writes(access), (Writes{write(0x5013, 8, 2)}));
    }

    void bracketingSwitchWritesItsPropertyElsewhere()
    {
        FakeCameraAccess access(0x2031);
        Record record(&access, nullptr);
        record.setBracketEnabled(true);
        record.setBracketEnabled(true);
        record.setBracketEnabled(false);
        QCOMPARE(writes(access), (Writes{write(0xD005, 1, 4),
                                                                    write(0xD005, 0, 4)}));
    }

    void automaticSensitivityIsWrittenOnce()
    {
        FakeCameraAccess access(0x2031);
        Record record(&access, nullptr);
        record.setSensitivity(0);
        record.setSensitivity(0);
        record.setSensitivity(400);
        record.setSensitivity(400);
        record.setSensitivity(0);
        QCOMPARE(writes(access), (Writes{write(0x500F, 0, 4),
                                                                    write(0x500F, 400, 4),
                                                                    write(0x500F, 0, 4)}));
        QVERIFY(record.sensitivityAuto());
        QCOMPARE(record.sensitivity(), 400);
    }

    // The camera kept its value, or took it without answering: the record
    // reads the property back rather than show the value it asked for.
    void refusedWriteReadsThePropertyBack_data()
    {
        QTest::addColumn<qint64>("onCamera");
        QTest::newRow("kept") << qint64(400);
        QTest::newRow("taken unanswered") << qint64(800);
    }
    void refusedWriteReadsThePropertyBack()
    {
        QFETCH(qint64, onCamera);
        FakeCameraAccess access(0x2031);
        serve(access, 0xD610, 400);
        serve(access, 0x500F, 400);
        Record record(&access, nullptr);
        record.recvFromCamera(0x500F, nullptr);
        access.script(kOpSetDevicePropValue, FakeCameraAccess::fail(0x201C));
        serve(access, 0xD610, onCamera);
        serve(access, 0x500F, onCamera);
        LogCapture log;
        record.setSensitivity(800);
        QVERIFY(!record.sendIfChanged());
        QCOMPARE(record.sensitivity(), int(onCamera));
        QVERIFY(!record.sensitivityAuto());
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByDevProps::takeBack() - sensitivityASA = 800 not taken by the camera"));
    }

    // Compensation is a signed 16-bit value; shutter and aperture go as APEX codes.
    void settersWriteTheirProperty()
    {
        FakeCameraAccess access(0x2031);
        Record record(&access, nullptr);
        record.setExposCompens(-1500);
        record.setShutterTime(1.0 / 125);
        record.setAperture(5.6);
        QCOMPARE(writes(access), (Writes{write(0x5010, -1500, 2), write(0xD03B, 1792, 4), write(0xD03C, 1273, 4)}));
        QCOMPARE(record.exposCompens(), -1500);
        record.setFocusMode(1);
        QCOMPARE(int(access.focusMode()), 1);
    }

    void unservedOperationsLog()
    {
        FakeCameraAccess access(0x2031);
        Record record(&access, nullptr);
        LogCapture log;
        record.setDngCompression(true);
        record.sendToCamera();
        QCOMPARE(int(record.warnings()), 0);
        QVERIFY(writes(access).isEmpty());
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByDevProps::setDngCompression() - functionality is not available"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByDevProps::sendToCamera() - functionality is not needed"));
        QVERIFY(log.contains("BRX_Logic_CameraSettingsByDevProps::warnings() - functionality is not available"));
    }

    // --- Capabilities ----------------------------------------------------------------

    void orientationAsksTheDeviceInfo()
    {
        FakeCameraAccess access(0x2031);
        access.script(0x1001, FakeCameraAccess::ok(deviceInfoWithProperty(0xD65F)));
        BRX_Logic_DeviceInfo deviceInfo(&access);
        Record withInfo(&access, &deviceInfo);
        Record without(&access, nullptr);
        QVERIFY(withInfo.hasOrientation());
        QVERIFY(!without.hasOrientation());
    }
};

QTEST_GUILESS_MAIN(TestSettingsDevProps)
#include "tst_settings_devprops.moc"
