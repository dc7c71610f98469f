#include "BRX_Debug.h"
#include "LogCapture.h"

#include <QByteArray>
#include <QtTest>

class TestDebugLog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { setDebugFlags(0xFFFFFFFF, false); }

    void flagZeroIsAlwaysShown()
    {
        LogCapture log;
        debugPrint(kDebugAlways, "%s - hello %d", "A::b()", 7);
        QCOMPARE(log.lines(), QStringList{"A::b() - hello 7"});
    }

    void groupFlagFollowsTheMask()
    {
        LogCapture log;
        debugPrint(kDebugSettings, "hidden");
        setDebugFlags(kDebugSettings, true);
        debugPrint(kDebugSettings, "shown");
        setDebugFlags(kDebugSettings, false);
        debugPrint(kDebugSettings, "hidden again");
        QCOMPARE(log.lines(), QStringList{"shown"});
    }

    void anyCommonBitSetsAFlag()
    {
        setDebugFlags(0x20, true);
        QVERIFY(isDebugFlagSet(0x30));
        QVERIFY(!isDebugFlagSet(0x10));
        QVERIFY(isDebugFlagSet(0));
    }

    void longMessageArrivesWhole()
    {
        LogCapture log;
        const QByteArray text(5000, 'x');
        debugPrint(kDebugAlways, "%s - %s", "A::b()", text.constData());
        QCOMPARE(log.lines().size(), 1);
        QCOMPARE(log.lines().first(), QString("A::b() - ") + QString(text));
    }

    void methodLabel_data()
    {
        QTest::addColumn<QString>("pretty");
        QTest::addColumn<QString>("label");
        QTest::newRow("method") << "bool BRX_Logic_Controller::getProperty(int, void*, unsigned int)"
                                << "BRX_Logic_Controller::getProperty()";
        QTest::newRow("constructor") << "BRX_Logic_Camera::BRX_Logic_Camera(QObject*)"
                                     << "BRX_Logic_Camera::BRX_Logic_Camera()";
        QTest::newRow("qualified return type") << "std::string A::name() const" << "A::name()";
        QTest::newRow("template return type") << "QList<QPair<int, int> > A::pairs()" << "A::pairs()";
        QTest::newRow("function pointer argument") << "void f(void (*)(void*, bool, int), void*)" << "f()";
        QTest::newRow("no parameter list") << "A::b" << "A::b()";
    }

    void methodLabel()
    {
        QFETCH(QString, pretty);
        QFETCH(QString, label);
        QCOMPARE(QString::fromStdString(::methodLabel(pretty.toLatin1().constData())), label);
    }

    void dumpOfTwentyBytesHasTwoLines()
    {
        LogCapture log;
        QByteArray data;
        for (int i = 0; i < 20; ++i)
            data.append(char('A' + i));
        dumpBuffer("head", "p", data, 0, 16);
        const QStringList lines = log.lines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString("head"));
        QCOMPARE(lines[1], QString("p[000000000000]: 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 ABCDEFGHIJKLMNOP"));
        QCOMPARE(lines[2], QString("p[000000000010]: 51 52 53 54") + QString(36, ' ') + " QRST");
    }

    void dumpStopsAtTheLineLimit()
    {
        LogCapture log;
        dumpBuffer(QString(), "x", QByteArray(33, 'a'), 2, 16);
        const QStringList lines = log.lines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[2], QString("x[000000000020]: ..."));
    }

    void dumpShowsUnprintableBytesAsDots()
    {
        LogCapture log;
        const char bytes[] = {'a', ' ', '\x01', '\xFF'};
        dumpBuffer(QString(), QString(), bytes, sizeof bytes, 0, 4);
        QCOMPARE(log.lines(), QStringList{"[000000000000]: 61 20 01 FF a .."});
    }

    void dumpOfNothingWritesOnlyTheHeader()
    {
        LogCapture log;
        dumpBuffer("head", "p", QByteArray(), 0, 0);
        QCOMPARE(log.lines(), QStringList{"head"});
    }
};

QTEST_GUILESS_MAIN(TestDebugLog)
#include "tst_debuglog.moc"
