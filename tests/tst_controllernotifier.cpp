#include "BRX_Logic_ConverterExposCompens.h"
#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_SDK_C.h"
#include "ControllerRooms.h"
#include "LogCapture.h"

#include <QtTest>

namespace {

using Catalogue = BRX_Logic_PropertyCatalogue;

// An empty list is sent too; the pipeline drops it.
bool payloadFits(const ControllerRooms::Notification& notification)
{
    const Catalogue::Entry* entry = Catalogue::find(notification.property);
    const int size = notification.payload.size();
    switch (entry->payload) {
    case Catalogue::Payload::IntList:
        return size % 4 == 0;
    case Catalogue::Payload::DoubleList:
        return size % 8 == 0;
    default:
        return size == int(Catalogue::payloadSize(entry->payload));
    }
}

} // namespace

// The notifications of one connection's rooms over a virtual camera: the
// initial state, the follow-ups of a change and the values' conversions.
class TestControllerNotifier : public QObject
{
    Q_OBJECT
private slots:
    // Every notification of the initial state is a number the host is told
    // of, with the payload of its kind; each value comes after its list.
    void initialStateIsWholeAndWellFormed_data()
    {
        QTest::addColumn<int>("productId");
        for (int productId : {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051, 0x2061})
            QTest::addRow("0x%X", productId) << productId;
    }

    void initialStateIsWholeAndWellFormed()
    {
        QFETCH(int, productId);
        ControllerRooms rooms(productId);
        QVERIFY(rooms.isOpen());
        rooms.notifier.sendInitialState();
        for (const ControllerRooms::Notification& notification : rooms.notifications) {
            const Catalogue::Entry* entry = Catalogue::find(notification.property);
            QVERIFY2(entry && (entry->notified || notification.payload.isEmpty()),
                     qPrintable(QString::number(notification.property)));
            QVERIFY2(payloadFits(notification) || notification.property == BRX_SDK_PropertyNoFocusConfirmation,
                     qPrintable(QString::number(notification.property)));
        }
        const QList<int> numbers = rooms.numbers();
        for (int value : {BRX_SDK_PropertyExposureMode, BRX_SDK_PropertyShutterTime, BRX_SDK_PropertySensitivity,
                          BRX_SDK_PropertyDriveMode, BRX_SDK_PropertyIntervalFrames, BRX_SDK_PropertyIntervalTime})
            QVERIFY2(numbers.contains(value), qPrintable(QString::number(value)));
        QVERIFY(numbers.indexOf(BRX_SDK_PropertyShutterTimeList) < numbers.indexOf(BRX_SDK_PropertyShutterTime));
        QVERIFY(numbers.indexOf(BRX_SDK_PropertySensitivityList) < numbers.indexOf(BRX_SDK_PropertySensitivity));
    }

    // Without interval shooting of its own the camera reports what the
    // emulation holds, drive mode 5 while it is on.
    void initialStateReportsTheEmulation()
    {
        ControllerRooms rooms(0x2009);
        QVERIFY(rooms.isOpen());
        rooms.capture.setSoftwareInterval(true);
        rooms.capture.setIntervalFrames(9);
        rooms.capture.setIntervalTime(4);
        rooms.notifier.sendInitialState();
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertyDriveMode), qint32(BRX_SDK_DriveModeInterval));
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertyIntervalFrames), 9);
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertyIntervalTime), 4);
        QVERIFY(rooms.capture.isSoftwareInterval());
    }

    void sensitivityIsFollowedByTheShutterTimes()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        rooms.notifier.emitSensitivity(400);
        QCOMPARE(rooms.numbers(), (QList<int>{BRX_SDK_PropertySensitivity, BRX_SDK_PropertyShutterTimeList,
                                              BRX_SDK_PropertyShutterTime}));
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertySensitivity), 400);
    }

    // A new step changes every list that is counted in steps, and resets the
    // compensation; the same step again changes nothing.
    void compensationStepSendsItsListsOnce()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        rooms.notifier.sendInitialState();
        const auto* compensation =
            static_cast<BRX_Logic_ConverterExposCompens*>(rooms.converters.get(BRX_Logic_ControllerConverters::ExposCompens));
        const int step = compensation->stepSize() == 500 ? 333 : 500;
        rooms.notifications.clear();
        rooms.notifier.catchExposCompensStep(step);
        QCOMPARE(rooms.numbers(),
                 (QList<int>{BRX_SDK_PropertyExposCompensStep, BRX_SDK_PropertyExposCompensList,
                             BRX_SDK_PropertyExposCompens, BRX_SDK_PropertyShutterTimeList, BRX_SDK_PropertyShutterTime,
                             BRX_SDK_PropertyApertureList, BRX_SDK_PropertyAperture}));
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertyExposCompensStep), step);
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertyExposCompens), 0);
        rooms.notifications.clear();
        rooms.notifier.catchExposCompensStep(step);
        QVERIFY(rooms.notifications.isEmpty());
    }

    // In the colour-temperature preset the host sees the temperature. Two
    // products report preset 9 as 10 too.
    void whiteBalanceInTheTemperaturePreset()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        QVERIFY(rooms.rules.setWhiteBalTemp(5600));
        rooms.notifier.emitWhiteBalance(11);
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertyWhiteBalance), 5600);
        rooms.notifier.emitWhiteBalance(10);
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertyWhiteBalance), 9);
        // In another preset a temperature change re-sends the index.
        QVERIFY(rooms.rules.setWhiteBalance(3));
        rooms.notifier.emitWhiteBalTemp(5200);
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertyWhiteBalance), 3);
    }

    void anyDriveModeButIntervalEndsTheEmulation()
    {
        ControllerRooms rooms(0x2009);
        QVERIFY(rooms.isOpen());
        rooms.capture.setSoftwareInterval(true);
        rooms.notifier.emitDriveMode(BRX_SDK_DriveModeInterval);
        QVERIFY(rooms.capture.isSoftwareInterval());
        rooms.notifier.emitDriveMode(BRX_SDK_DriveModeContinuous);
        QVERIFY(!rooms.capture.isSoftwareInterval());
        QCOMPARE(rooms.payloads(BRX_SDK_PropertyDriveMode).size(), 2);
    }

    void followUpsOfASet()
    {
        ControllerRooms rooms(0x2009);
        QVERIFY(rooms.isOpen());
        rooms.notifier.followUp(BRX_SDK_PropertySensitivityAuto);
        QCOMPARE(rooms.numbers(), (QList<int>{BRX_SDK_PropertySensitivityAuto, BRX_SDK_PropertyShutterTimeList,
                                              BRX_SDK_PropertyShutterTime}));
        rooms.notifications.clear();
        rooms.capture.setSoftwareInterval(true);
        rooms.notifier.followUp(BRX_SDK_PropertyDriveMode);
        QCOMPARE(rooms.numbers(), QList<int>{BRX_SDK_PropertyDriveMode});
        QCOMPARE(rooms.last<qint32>(BRX_SDK_PropertyDriveMode), qint32(BRX_SDK_DriveModeInterval));
    }

    // Focus distances reach the host in metres; without the converter the
    // metres are unknown and nothing is sent.
    void focusDistancesInMetres()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        rooms.notifier.emitFocusDistance(1500);
        rooms.notifier.emitFocusMaxDistance(0x7FFFFFFF);
        rooms.notifier.emitFocusMinDistance(-1);
        QCOMPARE(rooms.last<double>(BRX_SDK_PropertyFocusDistance), 1.5);
        QCOMPARE(rooms.last<double>(BRX_SDK_PropertyFocusMaxDistance), 1000000.0);
        QCOMPARE(rooms.last<double>(BRX_SDK_PropertyFocusMinDistance), 0.0);

        ControllerRooms withoutFocus(0x2061);
        QVERIFY(withoutFocus.isOpen());
        LogCapture log;
        withoutFocus.notifier.emitFocusDistance(1500);
        QVERIFY(withoutFocus.notifications.isEmpty());
        QVERIFY(log.contains("- no converter for focus distance"));
    }

    // A lens change sends the apertures it offers and its focus range.
    void lensChangeSendsApertureListAndFocusRange()
    {
        ControllerRooms rooms(0x2031);
        QVERIFY(rooms.isOpen());
        rooms.notifier.catchLensChanged();
        QCOMPARE(rooms.numbers(), (QList<int>{BRX_SDK_PropertyApertureList, BRX_SDK_PropertyFocusMaxDistance,
                                              BRX_SDK_PropertyFocusMinDistance}));
    }
};

QTEST_GUILESS_MAIN(TestControllerNotifier)
#include "tst_controllernotifier.moc"
