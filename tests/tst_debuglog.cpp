#include "BRX_Debug.h"
#include "LogCapture.h"

#include <QByteArray>
#include <QtTest>

#include <atomic>
#include <future>
#include <thread>

namespace {

// Holds every line it is given until released, so that the writer of a
// line keeps the log for as long as a test wants.
class HeldLog
{
public:
    HeldLog() { m_previous = qInstallMessageHandler(&HeldLog::handler); }
    ~HeldLog()
    {
        release();
        qInstallMessageHandler(m_previous);
    }
    void waitUntilHeld() { s_entered.get_future().wait(); }
    void release()
    {
        if (!m_released.exchange(true))
            s_release.set_value();
    }

private:
    static void handler(QtMsgType, const QMessageLogContext&, const QString&)
    {
        if (!s_held.exchange(true))
            s_entered.set_value();
        s_releasedFuture.wait();
    }

    static std::atomic<bool> s_held;
    static std::promise<void> s_entered;
    static std::promise<void> s_release;
    static std::shared_future<void> s_releasedFuture;
    QtMessageHandler m_previous;
    std::atomic<bool> m_released{false};
};

std::atomic<bool> HeldLog::s_held{false};
std::promise<void> HeldLog::s_entered;
std::promise<void> HeldLog::s_release;
std::shared_future<void> HeldLog::s_releasedFuture = HeldLog::s_release.get_future().share();

} // namespace

class TestDebugLog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { setDebugFlags(0xFFFFFFFF, false); }

    // Flag zero always shows; a group's lines only while its flag is set.
    void flagsGateTheLines()
    {
        LogCapture log;
        debugPrint(kDebugAlways, "%s - hello %d", "A::b()", 7);
        debugPrint(kDebugSettings, "hidden");
        setDebugFlags(kDebugSettings, true);
        debugPrint(kDebugSettings, "shown");
        setDebugFlags(kDebugSettings, false);
        debugPrint(kDebugSettings, "hidden again");
        QCOMPARE(log.lines(), QStringList({"A::b() - hello 7", "shown"}));
    }

    // While one thread writes a line, a message that is switched off neither
    // waits for the log nor reaches it.
    void switchedOffMessageDoesNotWaitForTheLog()
    {
        HeldLog held;
        std::thread writer([] { debugPrint(kDebugAlways, "%s - holds the log", "A::b()"); });
        held.waitUntilHeld();
        std::atomic<bool> returned{false};
        std::thread quiet([&returned] {
            debugPrint(kDebugSettings, "%s - switched off %d", "A::c()", 1);
            returned = true;
        });
        const auto finish = qScopeGuard([&] {
            held.release();
            writer.join();
            quiet.join();
        });
        QTRY_VERIFY(returned);
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

    void dumpBuffer_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<int>("bytesPerLine");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("twenty bytes, two lines")
            << "head" << "p" << QByteArray("ABCDEFGHIJKLMNOPQRST") << 0 << 16
            << QStringList({"head", "p[000000000000]: 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 ABCDEFGHIJKLMNOP",
                            "p[000000000010]: 51 52 53 54" + QString(36, ' ') + " QRST"});
        QTest::newRow("stops at the line limit")
            << QString() << "x" << QByteArray(33, 'a') << 2 << 16
            << QStringList({"x[000000000000]: " + QString("61 ").repeated(16) + QString(16, 'a'),
                            "x[000000000010]: " + QString("61 ").repeated(16) + QString(16, 'a'),
                            "x[000000000020]: ..."});
        QTest::newRow("unprintable bytes as dots") << QString() << QString() << QByteArray("a \x01\xFF") << 0 << 4
                                                   << QStringList("[000000000000]: 61 20 01 FF a ..");
        QTest::newRow("nothing: only the header") << "head" << "p" << QByteArray() << 0 << 0 << QStringList("head");
    }

    void dumpBuffer()
    {
        QFETCH(QString, header);
        QFETCH(QString, prefix);
        QFETCH(QByteArray, data);
        QFETCH(int, maxLines);
        QFETCH(int, bytesPerLine);
        LogCapture log;
        ::dumpBuffer(header, prefix, data, quint64(maxLines), quint64(bytesPerLine));
        QTEST(log.lines(), "lines");
    }
};

QTEST_GUILESS_MAIN(TestDebugLog)
#include "tst_debuglog.moc"
