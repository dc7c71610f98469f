#include "BRX_Logic_PropertyCatalogue.h"
#include "LogCapture.h"

#include <QtTest>

namespace {

using Catalogue = BRX_Logic_PropertyCatalogue;
using Verdict = Catalogue::Verdict;
const char* const kLabel = "Test::check()";

// Expected outcome of one number with a payload of the catalogue's size.
struct Expectation {
    QString getMessage;  // empty: accepted
    QString setMessage;
};

QString message(const char* text, int property)
{
    return QString("%1 - %2: %3").arg(kLabel).arg(text).arg(property);
}

Expectation expectationFor(int property)
{
    const QList<int> unknownForGet = {2, 4, 6, 9, 12, 15, 17};
    const QList<int> readOnly = {2, 4, 6, 9, 12, 15, 17, 26, 27, 28, 38, 39, 40, 42};
    const QList<int> emitOnly = {20, 21, 22};
    const QList<int> writeOnly = {24, 25, 35, 36};
    Expectation e;
    if (property < 0 || property > 43) {
        e.getMessage = e.setMessage = message("unknown property", property);
        return e;
    }
    if (unknownForGet.contains(property))
        e.getMessage = message("unknown property", property);
    else if (emitOnly.contains(property))
        e.getMessage = message("cannot get emit-only property", property);
    else if (writeOnly.contains(property))
        e.getMessage = message("cannot get write-only property", property);
    if (readOnly.contains(property))
        e.setMessage = message("cannot set read-only property", property);
    else if (emitOnly.contains(property))
        e.setMessage = message("cannot set emit-only property", property);
    return e;
}

} // namespace

// The request checks of the property dispatch, independent of a camera.
class TestControllerCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void everyNumberHasItsAccess_data()
    {
        QTest::addColumn<int>("property");
        for (int property = -2; property <= 45; ++property)
            QTest::addRow("%d", property) << property;
        QTest::addRow("large") << 1000;
    }

    void everyNumberHasItsAccess()
    {
        QFETCH(int, property);
        const Expectation expected = expectationFor(property);
        const Catalogue::Entry* entry = Catalogue::find(property);
        const unsigned int size = entry ? Catalogue::payloadSize(entry->payload) : 4;
        const char buffer[16] = {};

        LogCapture log;
        const Verdict get = Catalogue::checkGet(property, buffer, size, kLabel);
        const Verdict set = Catalogue::checkSet(property, buffer, size, kLabel);
        QStringList messages;
        if (!expected.getMessage.isEmpty())
            messages << expected.getMessage;
        if (!expected.setMessage.isEmpty())
            messages << expected.setMessage;
        QCOMPARE(log.lines(), messages);
        QCOMPARE(get, expected.getMessage.isEmpty() ? Verdict::Accepted : Verdict::Refused);
        QCOMPARE(set, expected.setMessage.isEmpty() ? Verdict::Accepted : Verdict::Refused);
    }

    // Null data without a size needs no checks; commands carry none,
    // whatever the pointer.
    void nullDataAndCommandsAreAccepted()
    {
        const char buffer[4] = {};
        LogCapture log;
        QCOMPARE(Catalogue::checkGet(5, nullptr, 0, kLabel), Verdict::NoData);
        QCOMPARE(Catalogue::checkSet(32, nullptr, 0, kLabel), Verdict::NoData);
        for (int command : {24, 25, 36}) {
            QCOMPARE(Catalogue::checkSet(command, nullptr, 0, kLabel), Verdict::Accepted);
            QCOMPARE(Catalogue::checkSet(command, buffer, 0, kLabel), Verdict::Accepted);
        }
        QVERIFY(log.lines().isEmpty());
    }

    void wrongSizeNamesGivenAndExpectedSize_data()
    {
        QTest::addColumn<bool>("isGet");
        QTest::addColumn<int>("property");
        QTest::addColumn<uint>("size");
        QTest::addColumn<QString>("line");
        QTest::newRow("get double with 4") << true << 5 << 4u << "wrong size 4 instead of 8 for property: 5";
        QTest::newRow("get bool with 4") << true << 11 << 4u << "wrong size 4 instead of 1 for property: 11";
        QTest::newRow("get pair with 4") << true << 40 << 4u << "wrong size 4 instead of 8 for property: 40";
        QTest::newRow("set int with 8") << false << 0 << 8u << "wrong size 8 instead of 4 for property: 0";
        QTest::newRow("set point with 8") << false << 35 << 8u << "wrong size 8 instead of 16 for property: 35";
        QTest::newRow("set command with 4") << false << 24 << 4u << "wrong size 4 instead of 0 for property: 24";
    }

    void wrongSizeNamesGivenAndExpectedSize()
    {
        QFETCH(bool, isGet);
        QFETCH(int, property);
        QFETCH(uint, size);
        QFETCH(QString, line);
        const char buffer[16] = {};
        LogCapture log;
        const Verdict verdict = isGet ? Catalogue::checkGet(property, buffer, size, kLabel)
                                      : Catalogue::checkSet(property, buffer, size, kLabel);
        QCOMPARE(verdict, Verdict::Refused);
        QCOMPARE(log.lines(), QStringList(QString(kLabel) + " - " + line));
    }
};

QTEST_GUILESS_MAIN(TestControllerCatalogue)
#include "tst_controller_catalogue.moc"
