#include "BRX_Logic_APEXConvertMap.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_APEXConverterShutterTime.h"
#include "LogCapture.h"

#include <QCryptographicHash>
#include <QtTest>

namespace {

// Pins a whole table: every code with its value, in code order.
QString mapDigest(const BRX_Logic_APEXConvertMap& map)
{
    QStringList rows;
    const QMap<qint16, double>& entries = map.entries();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        rows.append(QString("%1=%2").arg(it.key()).arg(QString::number(it.value(), 'g', 6)));
    const QByteArray hash = QCryptographicHash::hash(rows.join("\n").toUtf8(), QCryptographicHash::Md5);
    return QString::fromLatin1(hash.toHex().left(12));
}

BRX_Logic_APEXConverterShutterTime* makeShutter(int productId, int step)
{
    auto* shutter = new BRX_Logic_APEXConverterShutterTime(productId);
    shutter->setStepSize(step);
    return shutter;
}

} // namespace

class TestApex : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void shutterTablesAndRoundTrips_data();
    void shutterTablesAndRoundTrips();
    void shutterNearestCode_data();
    void shutterNearestCode();
    void shutterNearestInLogarithm();
    void shutterUnknownStep();
    void shutterToString_data();
    void shutterToString();
    void shutterSecondsFromString_data();
    void shutterSecondsFromString();
    void codeRounding_data();
    void codeRounding();
    void apertureFormula_data();
    void apertureFormula();
    void apertureFormulaBack();
    void apertureTables_data();
    void apertureTables();
    void apertureUnknownStep();
    void apertureTexts();
};

void TestApex::init()
{
    BRX_Logic_APEXConverterAperture::setProductId(0);
    BRX_Logic_APEXConverterAperture::setStepSize(500);
}

void TestApex::shutterTablesAndRoundTrips_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("digest");
    QTest::newRow("common") << 0x2009 << 500 << 39 << "6886e260c3b4";
    QTest::newRow("common, third steps") << 0x2031 << 333 << 39 << "6886e260c3b4";
    QTest::newRow("0x2041 half steps") << 0x2041 << 500 << 51 << "624db8a7d4b9";
    QTest::newRow("0x2041 third steps") << 0x2041 << 333 << 76 << "8f22ab13c151";
}

void TestApex::shutterTablesAndRoundTrips()
{
    QFETCH(int, productId);
    QFETCH(int, step);
    QFETCH(int, count);
    QFETCH(QString, digest);
    QScopedPointer<BRX_Logic_APEXConverterShutterTime> shutter(makeShutter(productId, step));
    QCOMPARE(shutter->convertMap().entries().size(), count);
    QCOMPARE(mapDigest(shutter->convertMap()), digest);
    // Every nominal time leads back to its own code.
    const QMap<qint16, double>& entries = shutter->convertMap().entries();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const double seconds = shutter->secondsFromCode(it.key(), 1);
        QCOMPARE(seconds, it.value());
        QCOMPARE(shutter->codeFromSeconds(seconds), it.key());
        QCOMPARE(shutter->secondsFromTv(it.key() / 256.0, 1), seconds);
    }
}

void TestApex::shutterNearestCode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("seconds");
    QTest::newRow("nearest key 1792") << 1800 << 1.0 / 125;
    QTest::newRow("halfway keeps smaller key") << 1856 << 1.0 / 125;
    QTest::newRow("halfway, negative") << -1728 << 125.0;
    QTest::newRow("below the table") << -5000 << 125.0;
    QTest::newRow("above the table") << 5000 << 1.0 / 4000;
}

void TestApex::shutterNearestCode()
{
    QFETCH(int, code);
    QFETCH(double, seconds);
    BRX_Logic_APEXConverterShutterTime shutter(0x2009);
    QCOMPARE(shutter.secondsFromCode(qint16(code), 1), seconds);
}

void TestApex::shutterNearestInLogarithm()
{
    BRX_Logic_APEXConverterShutterTime shutter(0x2009);
    // 1/90 s is nearer to 1/100 s in logarithm than 1/125 s.
    QCOMPARE(shutter.codeFromSeconds(1.0 / 100), qint16(1664));
    QCOMPARE(shutter.codeFromSeconds(200.0), qint16(-1792));
    QCOMPARE(shutter.secondsFromTv(7.0, 1), 1.0 / 125);
}

void TestApex::shutterUnknownStep()
{
    LogCapture log;
    BRX_Logic_APEXConverterShutterTime shutter(0x2041);
    shutter.setStepSize(1000);
    QVERIFY(log.contains("BRX_Logic_APEXConverterShutterTime::initConvertMap() - unknown step size 1000"));
    QVERIFY(shutter.convertMap().isEmpty());
    QCOMPARE(shutter.secondsFromCode(1792, 1), 0.0);
    QCOMPARE(shutter.codeFromSeconds(1.0 / 125), qint16(0));
    QCOMPARE(shutter.toString(1.0 / 125), QString());
    QVERIFY(log.contains("BRX_Logic_APEXConverterShutterTime::toString() - unknown step size 1000"));
}

void TestApex::shutterToString_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("step");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("fraction") << 0x2009 << 500 << 1.0 / 250 << "1/250s";
    QTest::newRow("third of a second") << 0x2009 << 500 << 1.0 / 3 << "1/3s";
    QTest::newRow("125 s") << 0x2009 << 500 << 125.0 << "125s";
    QTest::newRow("no minutes") << 0x2009 << 500 << 300.0 << "300s";
    QTest::newRow("0.7 s") << 0x2009 << 500 << 0.7 << "0.7s";
    QTest::newRow("1.3 s rounds") << 0x2021 << 500 << 1.3 << "1s";
    QTest::newRow("half rounds up") << 0x2009 << 500 << 2.5 << "3s";
    QTest::newRow("bulb has no text") << 0x2009 << 500 << -1.0 << "";
    QTest::newRow("zero has no text") << 0x2009 << 500 << 0.0 << "";
    QTest::newRow("0x2041 thirds, 5m") << 0x2041 << 333 << 300.0 << "5m";
    QTest::newRow("0x2041 thirds, 4m") << 0x2041 << 333 << 240.0 << "4m";
    QTest::newRow("0x2041 thirds, 200s") << 0x2041 << 333 << 200.0 << "200s";
    QTest::newRow("0x2041 thirds, 2.5s") << 0x2041 << 333 << 2.5 << "2.5s";
    QTest::newRow("0x2041 thirds, 0.4s") << 0x2041 << 333 << 0.4 << "0.4s";
    QTest::newRow("0x2041 thirds, 0.3s") << 0x2041 << 333 << 0.3 << "0.3s";
    QTest::newRow("0x2041 halves, 2m") << 0x2041 << 500 << 120.0 << "2m";
    QTest::newRow("0x2041 halves, 90s") << 0x2041 << 500 << 90.0 << "90s";
}

void TestApex::shutterToString()
{
    QFETCH(int, productId);
    QFETCH(int, step);
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QScopedPointer<BRX_Logic_APEXConverterShutterTime> shutter(makeShutter(productId, step));
    QCOMPARE(shutter->toString(seconds), text);
}

void TestApex::shutterSecondsFromString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("seconds");
    QTest::newRow("fraction") << "1/250s" << 0.004;
    QTest::newRow("decimal") << "2.5s" << 2.5;
    QTest::newRow("minutes") << "4m" << 240.0;
    QTest::newRow("bulb") << "B" << 0.0;
    QTest::newRow("no unit") << "30" << 0.0;
}

void TestApex::shutterSecondsFromString()
{
    QFETCH(QString, text);
    QFETCH(double, seconds);
    QCOMPARE(BRX_Logic_APEXConverterShutterTime::secondsFromString(text), seconds);
}

void TestApex::codeRounding_data()
{
    QTest::addColumn<double>("apex");
    QTest::addColumn<int>("code");
    QTest::newRow("negative half rounds up") << -0.5 / 256 << 0;
    QTest::newRow("negative one and a half") << -1.5 / 256 << -1;
    QTest::newRow("positive half") << 2.5 / 256 << 3;
    QTest::newRow("held to the top") << 1000.0 << 32767;
    QTest::newRow("held to the bottom") << -1000.0 << -32768;
    QTest::newRow("not a number") << qQNaN() << 0;
}

void TestApex::codeRounding()
{
    QFETCH(double, apex);
    QFETCH(int, code);
    QCOMPARE(BRX_Logic_APEXConvertMap::codeFromApex(apex), qint16(code));
}

void TestApex::apertureFormula_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("fNumber");
    QTest::newRow("f/1") << 0 << 1.0;
    QTest::newRow("5.7 shown as 5.6") << 1280 << 5.6;
    QTest::newRow("6.4 shown as 6.3") << 1371 << 6.3;
    QTest::newRow("6.7 shown as 6.8") << 1405 << 6.8;
    QTest::newRow("11.3 cut to 11") << 1792 << 11.0;
    QTest::newRow("12.7 shown as 13") << 1878 << 13.0;
    QTest::newRow("22.6 cut to 22") << 2304 << 22.0;
    QTest::newRow("26.5 shown as 27") << 2420 << 27.0;
    QTest::newRow("below f/1") << -256 << 0.7;
}

void TestApex::apertureFormula()
{
    QFETCH(int, code);
    QFETCH(double, fNumber);
    QVERIFY(BRX_Logic_APEXConverterAperture::convertMap().isEmpty());
    QCOMPARE(BRX_Logic_APEXConverterAperture::fNumberFromCode(qint16(code)), fNumber);
}

void TestApex::apertureFormulaBack()
{
    QCOMPARE(BRX_Logic_APEXConverterAperture::avFromFNumber(4.0), 4.0);
    // 2 log2(5.6) x 256 = 1272.54
    QCOMPARE(BRX_Logic_APEXConverterAperture::codeFromFNumber(5.6), qint16(1273));
    QCOMPARE(BRX_Logic_APEXConverterAperture::codeFromFNumber(0.0), qint16(-32768));
}

void TestApex::apertureTables_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("digest");
    QTest::addColumn<int>("codeOf35");
    QTest::newRow("half steps") << 500 << 21 << "d3b6d6e289ab" << 924;
    QTest::newRow("third steps") << 333 << 31 << "a51be4b267f3" << 938;
}

void TestApex::apertureTables()
{
    QFETCH(int, step);
    QFETCH(int, count);
    QFETCH(QString, digest);
    QFETCH(int, codeOf35);
    BRX_Logic_APEXConverterAperture::setProductId(0x2041);
    BRX_Logic_APEXConverterAperture::setStepSize(step);
    QCOMPARE(BRX_Logic_APEXConverterAperture::stepSize(), step);
    const BRX_Logic_APEXConvertMap& map = BRX_Logic_APEXConverterAperture::convertMap();
    QCOMPARE(map.entries().size(), count);
    QCOMPARE(mapDigest(map), digest);
    QCOMPARE(BRX_Logic_APEXConverterAperture::codeFromFNumber(3.5), qint16(codeOf35));
    const QMap<qint16, double>& entries = map.entries();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const double fNumber = BRX_Logic_APEXConverterAperture::fNumberFromCode(it.key());
        QCOMPARE(fNumber, it.value());
        QCOMPARE(BRX_Logic_APEXConverterAperture::codeFromFNumber(fNumber), it.key());
    }
}

void TestApex::apertureUnknownStep()
{
    LogCapture log;
    BRX_Logic_APEXConverterAperture::setProductId(0x2041);
    BRX_Logic_APEXConverterAperture::setStepSize(1000);
    QVERIFY(log.contains("BRX_Logic_APEXConverterAperture::initConvertMap() - unknown step size 1000"));
    QVERIFY(BRX_Logic_APEXConverterAperture::convertMap().isEmpty());
    QCOMPARE(BRX_Logic_APEXConverterAperture::fNumberFromCode(1280), 5.6);

    BRX_Logic_APEXConverterAperture::setStepSize(333);
    BRX_Logic_APEXConverterAperture::setProductId(0x2061);
    QVERIFY(BRX_Logic_APEXConverterAperture::convertMap().isEmpty());
}

void TestApex::apertureTexts()
{
    QCOMPARE(BRX_Logic_APEXConverterAperture::toString(8.0), QString("f 8"));
    QCOMPARE(BRX_Logic_APEXConverterAperture::toString(5.6), QString("f 5.6"));
    QCOMPARE(BRX_Logic_APEXConverterAperture::toString(11.0), QString("f 11"));
    QCOMPARE(BRX_Logic_APEXConverterAperture::fNumberFromString("f 2.8"), 2.8);
    QCOMPARE(BRX_Logic_APEXConverterAperture::fNumberFromString("2.8"), 2.8);
    QCOMPARE(BRX_Logic_APEXConverterAperture::fNumberFromString("f x"), 0.0);
    QCOMPARE(BRX_Logic_APEXConverterAperture::fNumberFromString(""), 0.0);
}

QTEST_GUILESS_MAIN(TestApex)
#include "tst_apex.moc"
