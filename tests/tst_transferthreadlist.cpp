#include "BRX_Logic_TransferThreadList.h"

#include <QPointer>
#include <QThread>
#include <QtTest>

// The camera model's list of transfer threads: each finished thread is
// deleted, and what it wrote is seen by the thread that deleted it, also by
// ThreadSanitizer (a thread's writes read after Qt's own wait alone are a
// race to it: the thread build runs these tests).
class TestTransferThreadList : public QObject
{
    Q_OBJECT
private slots:
    void finishAllWaitsForEveryThread();
    void finishedThreadGoesWhenTheNextStarts();
};

namespace {

const int kTimeoutMs = 20000;

// Writes a plain int, as a download writes the camera's state.
class Writer : public QThread
{
public:
    Writer(int* target, int value)
        : m_target(target)
        , m_value(value)
    {
    }

protected:
    void run() override { *m_target = m_value; }

private:
    int* const m_target;
    const int m_value;
};

} // namespace

void TestTransferThreadList::finishAllWaitsForEveryThread()
{
    int written[4] = {};
    QVector<QPointer<QThread>> threads;
    {
        BRX_Logic_TransferThreadList list;
        for (int i = 0; i < 4; ++i) {
            threads << new Writer(&written[i], i + 1);
            list.start(threads.last());
        }
        list.finishAll();
        for (int i = 0; i < 4; ++i)
            QCOMPARE(written[i], i + 1);
    }
    for (const QPointer<QThread>& thread : threads)
        QVERIFY(thread.isNull());
}

void TestTransferThreadList::finishedThreadGoesWhenTheNextStarts()
{
    int first = 0;
    int second = 0;
    BRX_Logic_TransferThreadList list;
    QPointer<QThread> done = new Writer(&first, 7);
    list.start(done);
    QTRY_VERIFY_WITH_TIMEOUT(done->isFinished(), kTimeoutMs);
    list.start(new Writer(&second, 8));
    QVERIFY(done.isNull());
    QCOMPARE(first, 7);
    list.finishAll();
    QCOMPARE(second, 8);
}

QTEST_GUILESS_MAIN(TestTransferThreadList)
#include "tst_transferthreadlist.moc"
