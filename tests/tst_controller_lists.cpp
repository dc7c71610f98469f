#include "BRX_Logic_PropertyLists.h"

#include <QtTest>

#include <cmath>

namespace {

using Lists = BRX_Logic_PropertyLists;

double formulaFNumber(double av)
{
    return std::round(std::pow(2.0, av / 2.0) * 10.0) / 10.0;
}

double formulaSeconds(double tv)
{
    return std::pow(2.0, -tv);
}

} // namespace

// The value lists the controller notifies.
class TestControllerLists : public QObject
{
    Q_OBJECT
private slots:
    void stepsFromCameraSettings()
    {
        QCOMPARE(Lists::stepFromCompensStep(333), 1.0 / 3.0);
        QCOMPARE(Lists::stepFromCompensStep(500), 0.5);
        QCOMPARE(Lists::stepFromCompensStep(1000), 1.0);
        QCOMPARE(Lists::stepFromCompensStep(250), 0.0);
        QCOMPARE(Lists::stepFromApertureSteps(1), 1.0);
        QCOMPARE(Lists::stepFromApertureSteps(2), 0.5);
        QCOMPARE(Lists::stepFromApertureSteps(3), 1.0 / 3.0);
        QCOMPARE(Lists::stepFromApertureSteps(0), 0.0);
        QCOMPARE(Lists::stepFromApertureSteps(4), 0.0);
    }

    void apertureListKeepsTheLensEndsExactly()
    {
        // Half stops between f/2.5 and f/16: inner entries from APEX 3.0 on.
        const QVector<double> list = Lists::apertureList(2.5, 16.0, 0.5, formulaFNumber);
        const QVector<double> expected = {2.5, 2.8, 3.4, 4.0, 4.8, 5.7, 6.7, 8.0, 9.5, 11.3, 13.5, 16.0};
        QCOMPARE(list, expected);
        QVERIFY(Lists::apertureList(2.8, 22.0, 0.0, formulaFNumber).isEmpty());
    }

    void listsEndEvenWhenTheConverterSaturates()
    {
        // A table converter stops at its last entry: nonsense lens or camera
        // limits must not loop for ever.
        const auto saturatedFNumber = [](double av) { return std::min(formulaFNumber(av), 32.0); };
        QVERIFY(Lists::apertureList(40.0, 64.0, 0.5, saturatedFNumber).size() < 250);
        const auto emptyTable = [](double) { return 0.0; };
        QVERIFY(Lists::shutterTimeList(1.0 / 4000, 30.0, 0.5, emptyTable).size() < 250);
    }

    void shutterListRunsFromFastestToTheLongestTime()
    {
        const QVector<double> list = Lists::shutterTimeList(0.25, 2.0, 1.0, formulaSeconds);
        const QVector<double> expected = {0.25, 0.5, 1.0, 2.0};
        QCOMPARE(list, expected);
        QVERIFY(Lists::shutterTimeList(0.25, 2.0, 0.0, formulaSeconds).isEmpty());
    }

    void listsShowEachNominalValueOnce()
    {
        // A third-stop walk over a half-stop table hits some entries twice.
        const auto halfStopSeconds = [](double tv) { return std::exp2(-std::floor(tv * 2.0 + 0.5) / 2.0); };
        const QVector<double> list = Lists::shutterTimeList(0.25, 1.0, 1.0 / 3.0, halfStopSeconds);
        for (int i = 1; i < list.size(); ++i)
            QVERIFY2(list[i] != list[i - 1], qPrintable(QString::number(list[i])));
        QCOMPARE(list.last(), 1.0);
    }

    void roundedValuesRoundHalfUp()
    {
        const QVector<int> expected = {-3000, -2666, -2333, 0, 334, 1};
        QCOMPARE(Lists::roundedValues({-3000.0, -2666.5, -2333.4, -0.4, 333.5, 0.5}), expected);
    }
};

QTEST_GUILESS_MAIN(TestControllerLists)
#include "tst_controller_lists.moc"
