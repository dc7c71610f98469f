#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_Controller.h"
#include "BRX_Logic_ControllerDispatcher.h"
#include "BRX_Logic_ControllerWorker.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <future>
#include <memory>

namespace {

typedef BRX_Logic_ControllerWorker Worker;
typedef BRX_Logic_ControllerDispatcher Dispatcher;

const int kTimeoutMs = 30000;
// Longer than any wait of these tests: a pause that ends in them was ended
// by work, never by its bound.
const int kEndlessPauseMs = 3600 * 1000;
const int kRequests = 20;
const int kTickMs = 20;

// The controller thread as the main object runs it, with a pause bound of
// the test's choosing. The virtual camera keeps the controller's access off
// the hardware, and with nobody listening for connections the controller
// starts no timer: the thread has no work but the test's.
class WorkerThread
{
public:
    explicit WorkerThread(int pauseBoundMs)
        : m_done(std::make_shared<Worker::Completion>())
        , m_worker(new Worker(m_done, nullptr, pauseBoundMs))
    {
        Worker::prepareThread(&m_thread);
        m_worker->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::started, m_worker.get(), &Worker::process);
        QObject::connect(m_worker.get(), &Worker::signalFinished, &m_thread, &QThread::quit, Qt::DirectConnection);
        m_thread.start();
        m_controller = m_worker->waitForController();
    }

    ~WorkerThread()
    {
        m_worker->requestFinish();
        m_thread.wait();
    }

    Worker& worker() { return *m_worker; }
    BRX_Logic_Controller* controller() const { return m_controller; }
    bool waitDone() { return m_done->waitDone(kTimeoutMs) && m_thread.wait(kTimeoutMs); }

    // Runs a call in the controller thread, queued as a host's request is.
    // Answers the pause count at which the call ran.
    std::shared_ptr<std::atomic<qint64>> post()
    {
        auto handledAt = std::make_shared<std::atomic<qint64>>(-1);
        Worker* worker = m_worker.get();
        Dispatcher::post(m_controller, [handledAt, worker] { *handledAt = qint64(worker->pauseCount()); });
        return handledAt;
    }

    // Runs work in the controller thread, queued as a host's request is.
    void run(std::function<void()> work) { Dispatcher::post(m_controller, std::move(work)); }

private:
    QThread m_thread;
    const std::shared_ptr<Worker::Completion> m_done;
    const std::unique_ptr<Worker> m_worker;
    BRX_Logic_Controller* m_controller = nullptr;
};

} // namespace

class TestControllerWorker : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(BRX_Commu_VirtualCamera::select(0x2031)); }

    // A request that arrives while the loop waits is handled in that pause
    // or in the pass right after it: the loop neither sleeps through its
    // work nor spins.
    void queuedRequestEndsThePause()
    {
        WorkerThread thread(kEndlessPauseMs);
        QTRY_VERIFY_WITH_TIMEOUT(thread.worker().pauseCount() >= 1, kTimeoutMs);
        const quint64 pausesBefore = thread.worker().pauseCount();
        for (int request = 0; request < kRequests; ++request) {
            const qint64 postedAt = qint64(thread.worker().pauseCount());
            const auto handledAt = thread.post();
            QTRY_VERIFY_WITH_TIMEOUT(*handledAt >= 0, kTimeoutMs);
            QVERIFY2(*handledAt <= postedAt + 1, qPrintable(QString("posted in pause %1, handled in pause %2")
                                                                .arg(postedAt)
                                                                .arg(qint64(*handledAt))));
        }
        // A wake-up that finds its request already handled by the pass
        // before may cost one more, empty, pause; a spinning loop would
        // count thousands.
        QVERIFY(thread.worker().pauseCount() - pausesBefore <= 2 * quint64(kRequests) + 1);
        QCOMPARE(thread.worker().boundCount(), quint64(0));
    }

    // Requests queued together are handled in posting order, whether the
    // pause or the next pass handles them.
    void queuedRequestsKeepTheirOrder()
    {
        WorkerThread thread(kEndlessPauseMs);
        QTRY_VERIFY_WITH_TIMEOUT(thread.worker().pauseCount() >= 1, kTimeoutMs);
        auto handled = std::make_shared<std::atomic<int>>(0);
        auto outOfOrder = std::make_shared<std::atomic<int>>(0);
        for (int request = 0; request < kRequests; ++request) {
            Dispatcher::post(thread.controller(), [handled, outOfOrder, request] {
                if (handled->fetch_add(1) != request)
                    ++*outOfOrder;
            });
        }
        QTRY_COMPARE_WITH_TIMEOUT(handled->load(), kRequests, kTimeoutMs);
        QCOMPARE(outOfOrder->load(), 0);
    }

    // Without work the pause ends at its bound; with work it never
    // reaches it.
    void idlePauseEndsAtItsBound()
    {
        WorkerThread thread(Worker::kPauseBoundMs);
        QTRY_VERIFY_WITH_TIMEOUT(thread.worker().boundCount() >= 5, kTimeoutMs);
    }

    // The finish request ends a pause that nothing else would end, whether
    // it comes directly from the host's thread (as the main object sends it)
    // or queued; the controller is gone before the worker reports done.
    void finishRequestWakesThePause_data()
    {
        QTest::addColumn<bool>("queued");
        QTest::newRow("direct") << false;
        QTest::newRow("queued") << true;
    }

    void finishRequestWakesThePause()
    {
        QFETCH(bool, queued);
        WorkerThread thread(kEndlessPauseMs);
        const auto handledAt = thread.post();
        QTRY_VERIFY_WITH_TIMEOUT(*handledAt >= 0, kTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(thread.worker().pauseCount() > quint64(*handledAt), kTimeoutMs);
        QSignalSpy finished(&thread.worker(), &Worker::signalFinished);
        QVERIFY(finished.isValid());
        if (queued)
            QMetaObject::invokeMethod(&thread.worker(), "requestFinish", Qt::QueuedConnection);
        else
            thread.worker().requestFinish();
        QVERIFY(thread.waitDone());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(thread.worker().controller(), static_cast<BRX_Logic_Controller*>(nullptr));
    }

    // A timer of the thread ends the pause when it comes due, so it keeps
    // its rate although the bound never comes.
    void dueTimerEndsThePause()
    {
        WorkerThread thread(kEndlessPauseMs);
        BRX_Logic_Controller* controller = thread.controller();
        auto ticks = std::make_shared<std::atomic<int>>(0);
        auto remaining = std::make_shared<std::atomic<int>>(-2);
        thread.run([controller, ticks, remaining] {
            auto* timer = new QTimer(controller);
            QObject::connect(timer, &QTimer::timeout, [ticks] { ++*ticks; });
            timer->start(kTickMs);
            *remaining = timer->remainingTime();
        });
        QTRY_VERIFY_WITH_TIMEOUT(*ticks >= 5, kTimeoutMs);
        QVERIFY(*remaining >= 0 && *remaining <= kTickMs);
        QVERIFY(thread.worker().timerCount() >= 1);
        QCOMPARE(thread.worker().boundCount(), quint64(0));
    }

    // Work handed to an object that is deleted before its turn is dropped;
    // the work queued behind it still runs.
    void handOverToDeletedReceiverIsDropped()
    {
        WorkerThread thread(kEndlessPauseMs);
        BRX_Logic_Controller* controller = thread.controller();
        auto receiver = std::make_shared<std::atomic<QObject*>>(nullptr);
        thread.run([controller, receiver] { *receiver = new QObject(controller); });
        QTRY_VERIFY_WITH_TIMEOUT(receiver->load() != nullptr, kTimeoutMs);
        QObject* doomed = receiver->load();
        // The gate holds the thread until everything is queued, so that the
        // receiver lives while its work is posted.
        auto gate = std::make_shared<std::promise<void>>();
        std::shared_future<void> opened = gate->get_future().share();
        auto ran = std::make_shared<std::atomic<int>>(0);
        thread.run([opened] { opened.wait(); });
        thread.run([doomed] { delete doomed; });
        Dispatcher::post(doomed, [ran] { *ran += 1; });
        thread.run([ran] { *ran += 10; });
        gate->set_value();
        QTRY_COMPARE_WITH_TIMEOUT(ran->load(), 10, kTimeoutMs);
    }

    // A nested event loop of the thread (a wait for a transfer thread)
    // waits for its own work: a timer or a posted call ends it.
    void nestedLoopWaitsForItsWork_data()
    {
        QTest::addColumn<bool>("byTimer");
        QTest::newRow("timer") << true;
        QTest::newRow("posted call") << false;
    }

    void nestedLoopWaitsForItsWork()
    {
        QFETCH(bool, byTimer);
        WorkerThread thread(kEndlessPauseMs);
        auto running = std::make_shared<std::atomic<QEventLoop*>>(nullptr);
        auto ended = std::make_shared<std::atomic<bool>>(false);
        thread.run([running, ended, byTimer] {
            QEventLoop nested;
            if (byTimer)
                QTimer::singleShot(kTickMs, &nested, &QEventLoop::quit);
            *running = &nested;
            nested.exec();
            *ended = true;
        });
        if (!byTimer) {
            QTRY_VERIFY_WITH_TIMEOUT(running->load() != nullptr, kTimeoutMs);
            QMetaObject::invokeMethod(running->load(), "quit", Qt::QueuedConnection);
        }
        QTRY_VERIFY_WITH_TIMEOUT(ended->load(), kTimeoutMs);
    }
};

QTEST_GUILESS_MAIN(TestControllerWorker)
#include "tst_controller_worker.moc"
