#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Logic_ConverterBase.h"
#include "BRX_SDK_C.h"
#include "ControllerRooms.h"
#include "LogCapture.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

using Profile = BRX_Commu_VirtualCameraProfile;
typedef BRX_Logic_SetterRules Rules;

// All a set could change on the camera: its settings block, or the values of
// its device properties.
QByteArray cameraState(ControllerRooms& rooms, int productId)
{
    BRX_Commu_VirtualCamera& device = rooms.fixture.device();
    if (BRX_Commu_ProductFamily::hasSettingsBlock(productId))
        return device.settingsBlock();
    QByteArray state;
    for (const BRX_Commu_VirtualCameraProperty& property : Profile::properties(productId))
        state += QByteArray::number(device.propertyValue(property.code())) + ' ';
    return state;
}

// A refused set: the call and what the log names.
struct Refusal {
    const char* name;
    bool (*set)(Rules& rules);
    const char* message;
};

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInfinity = std::numeric_limits<double>::infinity();

const Refusal kRefusals[] = {
    {"shutter time 0", [](Rules& r) { return r.setShutterTime(0.0); }, "setShutterTime() - illegal shutter time 0"},
    {"shutter time NaN", [](Rules& r) { return r.setShutterTime(kNan); },
     "setShutterTime() - illegal shutter time nan"},
    {"shutter text", [](Rules& r) { return r.setShutterTime(QStringLiteral("fast")); },
     "setShutterTime() - unknown value: fast"},
    {"aperture infinite", [](Rules& r) { return r.setAperture(kInfinity); }, "setAperture() - illegal aperture inf"},
    {"sensitivity off the list", [](Rules& r) { return r.setSensitivity(123); },
     "setSensitivity() - illegal sensitivity 123"},
    {"drive mode off the list", [](Rules& r) { return r.setDriveMode(9); }, "setDriveMode() - illegal drive mode 9"},
    {"negative file format", [](Rules& r) { return r.setFileFormat(-1); },
     "BRX_Logic_Controller::setFileFormat() - illegal file format -1"},
    {"focus distance NaN", [](Rules& r) { return r.setFocusDistance(kNan); },
     "setFocusDistance() - illegal focus distance nan"},
    {"temperature off the list", [](Rules& r) { return r.setWhiteBalTemp(QStringLiteral("5100 K")); },
     "setWhiteBalTemp() - unknown value: 5100 K"},
};

// A value of kind's list other than current.
int otherChoice(const ControllerRooms& rooms, BRX_Logic_ControllerConverters::Kind kind, int current)
{
    const QVector<double> values = rooms.converters.get(kind)->values();
    return int(values.last()) != current ? int(values.last()) : int(values.first());
}

} // namespace

// The rules of the setters, on one connection's rooms over a virtual camera.
class TestSetterRules : public QObject
{
    Q_OBJECT
private slots:
    // Nothing of a refused value reaches the camera, and no notification
    // becomes due.
    void refusedValuesChangeNothing_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("row");
        for (int productId : {0x2009, 0x2031}) {
            for (int row = 0; row < int(sizeof kRefusals / sizeof kRefusals[0]); ++row)
                QTest::addRow("0x%X %s", productId, kRefusals[row].name) << productId << row;
        }
    }

    void refusedValuesChangeNothing()
    {
        QFETCH(int, productId);
        QFETCH(int, row);
        ControllerRooms rooms(productId);
        QVERIFY(rooms.isOpen());
        const QByteArray before = cameraState(rooms, productId);
        LogCapture log;
        QVERIFY(!kRefusals[row].set(rooms.rules));
        QVERIFY2(log.contains(kRefusals[row].message), qPrintable(log.lines().join('\n')));
        QCOMPARE(cameraState(rooms, productId), before);
        QVERIFY(rooms.followUps.isEmpty());
    }

    // A shutter time leaves bulb first; -1 and "B" select it. Each change of
    // the exposure mode makes its notification due.
    void shutterTimesAndBulb()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        QVERIFY(rooms.rules.setShutterTime(-1.0));
        QCOMPARE(rooms.camera.exposureMode(), int(kVQExposureModeBulb));
        QCOMPARE(rooms.followUps, QList<int>{BRX_SDK_PropertyExposureMode});

        rooms.followUps.clear();
        QVERIFY(rooms.rules.setShutterTime(1.0 / 125));
        QCOMPARE(rooms.camera.exposureMode(), 0);
        QCOMPARE(rooms.camera.shutterTime(), 1.0 / 125);
        QCOMPARE(rooms.followUps, QList<int>{BRX_SDK_PropertyExposureMode});

        rooms.followUps.clear();
        QVERIFY(rooms.rules.setShutterTime(QStringLiteral("B")));
        QCOMPARE(rooms.camera.shutterTime(), -1.0);
        QCOMPARE(rooms.followUps, QList<int>{BRX_SDK_PropertyExposureMode});
    }

    // ISO 0 is automatic; the Qt side and the host learn so, with the
    // shutter times that depend on it. Switched off, it ends at the ISO
    // value held before; an ISO value ends it too.
    void automaticSensitivity()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        QVERIFY(rooms.rules.setSensitivity(1600));
        QSignalSpy automatic(&rooms.qtSide, &BRX_Logic_ControllerSignals::signalSensitivityAuto);
        rooms.followUps.clear();
        QVERIFY(rooms.rules.setSensitivityAuto(true));
        QVERIFY(rooms.camera.sensitivityAuto());
        QCOMPARE(automatic.count(), 1);
        QCOMPARE(automatic.last().at(0).toBool(), true);
        QCOMPARE(rooms.followUps, QList<int>{BRX_SDK_PropertySensitivityAuto});
        QVERIFY(rooms.rules.setSensitivityAuto(false));
        QVERIFY(!rooms.camera.sensitivityAuto());
        QCOMPARE(rooms.camera.sensitivity(), 1600);
        QCOMPARE(automatic.last().at(0).toBool(), false);
        QVERIFY(rooms.rules.setSensitivityAuto(false));
        QCOMPARE(rooms.camera.sensitivity(), 1600);
        QVERIFY(rooms.rules.setSensitivity(0));
        QVERIFY(rooms.rules.setSensitivity(400));
        QVERIFY(!rooms.camera.sensitivityAuto());
    }

    // Automatic begun on the camera's own dial ends at its lowest ISO value.
    void automaticSensitivityOfTheCameraEndsAtItsLowest()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        QVERIFY(rooms.camera.setSensitivity(0));
        QVERIFY(rooms.camera.sensitivityAuto());
        QVERIFY(rooms.rules.setSensitivityAuto(false));
        QVERIFY(!rooms.camera.sensitivityAuto());
        QCOMPARE(rooms.camera.sensitivity(), 100);
    }

    // Drive mode 4 is the camera's bracketing flag; 5 is emulated on a camera
    // without interval shooting of its own, which keeps single release.
    void driveModesTheControllerCarries()
    {
        ControllerRooms rooms(0x2009);
        QVERIFY(rooms.isOpen());
        QVERIFY(!rooms.camera.hasInterval());
        QVERIFY(rooms.rules.setDriveMode(BRX_SDK_DriveModeInterval));
        QVERIFY(rooms.capture.isSoftwareInterval());
        QCOMPARE(rooms.camera.driveMode(), int(BRX_SDK_DriveModeSingle));
        QCOMPARE(rooms.followUps, QList<int>{BRX_SDK_PropertyDriveMode});

        // Bracketing ends the emulation: a press must bracket, not start an interval.
        QVERIFY(rooms.rules.setDriveMode(BRX_SDK_DriveModeBracketing));
        QVERIFY(rooms.camera.bracketingEnabled());
        QVERIFY(!rooms.capture.isSoftwareInterval());
        QCOMPARE(rooms.camera.driveMode(), int(BRX_SDK_DriveModeSingle));

        QVERIFY(rooms.rules.setDriveMode(BRX_SDK_DriveModeContinuous));
        QVERIFY(!rooms.camera.bracketingEnabled());
        QCOMPARE(rooms.camera.driveMode(), int(BRX_SDK_DriveModeContinuous));
    }

    void intervalsGoToTheCameraOrTheEmulation_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<bool>("own");
        QTest::newRow("struct, emulated") << 0x2009 << false;
        QTest::newRow("device properties, its own") << 0x2031 << true;
    }

    void intervalsGoToTheCameraOrTheEmulation()
    {
        QFETCH(int, productId);
        QFETCH(bool, own);
        ControllerRooms rooms(productId);
        QVERIFY(rooms.isOpen());
        QCOMPARE(rooms.camera.hasInterval(), own);
        QVERIFY(rooms.rules.setDriveMode(BRX_SDK_DriveModeInterval));
        QCOMPARE(rooms.capture.isSoftwareInterval(), !own);
        const int emulatedFrames = rooms.capture.intervalFrames();
        const int frames = otherChoice(rooms, BRX_Logic_ControllerConverters::IntervalFrames,
                                       own ? rooms.camera.intervalFrames() : emulatedFrames);
        const int seconds = otherChoice(rooms, BRX_Logic_ControllerConverters::IntervalTime,
                                        own ? rooms.camera.intervalTime() : rooms.capture.intervalTime());
        QVERIFY(rooms.rules.setIntervalFrames(frames));
        QVERIFY(rooms.rules.setIntervalTime(seconds));
        qint32 read[2] = {};
        QVERIFY(rooms.table.readProperty(BRX_SDK_PropertyIntervalFrames, &read[0], ""));
        QVERIFY(rooms.table.readProperty(BRX_SDK_PropertyIntervalTime, &read[1], ""));
        QCOMPARE(read[0], frames);
        QCOMPARE(read[1], seconds);
        QCOMPARE(rooms.capture.intervalFrames(), own ? emulatedFrames : frames);
        if (own)
            QCOMPARE(rooms.camera.intervalFrames(), frames);
    }

    // Above the colour-temperature preset's index a value is a temperature,
    // unless the camera lists it as a preset of its own.
    void whiteBalanceIndexOrTemperature()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        QSignalSpy isTemperature(&rooms.qtSide, &BRX_Logic_ControllerSignals::signalIsWhiteBalTemp);
        QVERIFY(rooms.rules.writeWhiteBalance(5200));
        QCOMPARE(rooms.camera.whiteBalanceIndex() & 0xFF, 11);
        QCOMPARE(rooms.camera.whiteBalanceColorTemp(), 5200);
        QCOMPARE(isTemperature.last().at(0).toBool(), true);
        qint32 read = 0;
        QVERIFY(rooms.table.readProperty(BRX_SDK_PropertyWhiteBalance, &read, ""));
        QCOMPARE(read, 5200);

        QVERIFY(rooms.rules.writeWhiteBalance(3));
        QCOMPARE(rooms.camera.whiteBalanceIndex() & 0xFF, 3);
        QCOMPARE(isTemperature.last().at(0).toBool(), false);
        QVERIFY(rooms.table.readProperty(BRX_SDK_PropertyWhiteBalance, &read, ""));
        QCOMPARE(read, 3);
    }

    // The Qt side learns which picture settings a file format uses.
    void fileFormatTellsWhichSettingsApply()
    {
        ControllerRooms rooms(0x2009);
        QVERIFY(rooms.isOpen());
        QSignalSpy dng(&rooms.qtSide, &BRX_Logic_ControllerSignals::signalUseDngCompression);
        QSignalSpy jpg(&rooms.qtSide, &BRX_Logic_ControllerSignals::signalUseJpgResolution);
        QVERIFY(rooms.rules.setFileFormat(3));
        QCOMPARE(rooms.camera.fileFormat(), 3);
        QCOMPARE(dng.last().at(0).toBool(), false);
        QCOMPARE(jpg.last().at(0).toBool(), true);
        QVERIFY(rooms.rules.setFileFormat(0));
        QCOMPARE(dng.last().at(0).toBool(), true);
        QCOMPARE(jpg.last().at(0).toBool(), false);
    }

    // Live view lives on the controller thread: the rules leave it there.
    void liveViewRequestsWaitForTheControllerThread()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        QVERIFY(!rooms.camera.wantsLiveView());
        QVERIFY(rooms.rules.setWantLiveView(true));
        QVERIFY(!rooms.camera.wantsLiveView());
        QCOMPARE(rooms.runCameraCalls(), 1);
        QVERIFY(rooms.camera.wantsLiveView());
    }

    // The Qt side's text setters: a text of the list becomes its value and
    // passes the rules; picture styles go straight to the camera.
    void textsBecomeTheirValues()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        QVERIFY(rooms.mirror.setFromText(BRX_Logic_ControllerConverters::ExposCompens, QStringLiteral("+1 EV"), ""));
        QCOMPARE(rooms.camera.exposCompens(), 1000);
        QVERIFY(rooms.mirror.setFromText(BRX_Logic_ControllerConverters::Contrast, QStringLiteral("High"), ""));
        QCOMPARE(rooms.camera.contrast(), 2);
        const QString single = rooms.converters.get(BRX_Logic_ControllerConverters::DriveMode)->texts().first();
        QVERIFY(rooms.mirror.setFromText(BRX_Logic_ControllerConverters::DriveMode, single, ""));
        QCOMPARE(rooms.followUps, QList<int>{BRX_SDK_PropertyDriveMode});
        LogCapture log;
        QVERIFY(!rooms.mirror.setFromText(BRX_Logic_ControllerConverters::Contrast, QStringLiteral("Loud"), "label"));
        QCOMPARE(log.lines(), QStringList("label - unknown value: Loud"));
        QCOMPARE(rooms.camera.contrast(), 2);
    }
};

QTEST_GUILESS_MAIN(TestSetterRules)
#include "tst_setterrules.moc"
