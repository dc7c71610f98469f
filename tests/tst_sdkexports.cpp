#include "BRX_Logic_Controller.h"
#include "BRX_Logic_TransferThread.h"
#include "BRX_SDK.h"
#include "BRX_SDK_MainObject.h"
#include "FrameRecorder.h"
#include "LogCapture.h"

#include <QThread>
#include <QtTest>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

struct InitCall {
    bool connected;
    int productId;
};

void recordInit(void* context, bool connected, int productId)
{
    static_cast<QList<InitCall>*>(context)->append({connected, productId});
}

void recordChange(void* context, int property, const void* data, unsigned int size)
{
    static_cast<QList<QPair<int, QByteArray>>*>(context)->append(
        {property, QByteArray(static_cast<const char*>(data), int(size))});
}

// A host that tries, from inside its changes callback, what would pull the
// library from under the callback's caller.
struct Reentry {
    int calls = 0;
    int processEvents = 0;
};

void reenter(void* context, int, const void*, unsigned int)
{
    auto* reentry = static_cast<Reentry*>(context);
    if (reentry->calls++ > 0)
        return;
    reentry->processEvents = BRX_SDK_processEvents(0);
    BRX_SDK_exit();
}

void registerReentry(void* context, bool connected, int)
{
    if (connected)
        BRX_SDK_setChangesCallback(&reenter, context);
}

void* mallocCopy(const QByteArray& bytes)
{
    void* copy = std::malloc(size_t(bytes.size()));
    std::memcpy(copy, bytes.constData(), size_t(bytes.size()));
    return copy;
}

} // namespace

class TestSdkExports : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { BRX_SDK_exit(); }

    void exportsDoNothingWhileNotInitialised()
    {
        for (int round = 0; round < 2; ++round) {
            int value = 0;
            QVERIFY(!BRX_SDK_getProperty(0, &value, 4));
            QVERIFY(!BRX_SDK_setProperty(0, &value, 4));
            QVERIFY(!BRX_SDK_setProperty(24));
            QVERIFY(!BRX_SDK_setPropertyQueued(0, &value, 4));
            QVERIFY(!BRX_SDK_setPropertyQueued(24));
            BRX_SDK_capture();
            BRX_SDK_capturePressed();
            BRX_SDK_captureReleased();
            BRX_SDK_requestClose();
            BRX_SDK_setChangesCallback(&recordChange, nullptr);
            BRX_SDK_setFrameCallback(nullptr, nullptr);
            BRX_SDK_init(nullptr, nullptr);
            BRX_SDK_exit();
        }
    }

    void startAndShutdownRunTheControllerThread()
    {
        LogCapture log;
        // An exit before init only says so.
        BRX_SDK_exit();
        BRX_SDK_init(nullptr, nullptr);
        const QStringList started = log.linesContaining("BRX_Logic_ControllerWorker::process() - started in thread 0x");
        QCOMPARE(started.size(), 1);
        const QString ownThread = QString::asprintf("0x%012lX", reinterpret_cast<unsigned long>(QThread::currentThreadId()));
        QVERIFY(!started.first().endsWith(ownThread));
        BRX_SDK_exit();
        // exit returns only after the thread has finished.
        const QStringList lines = log.lines();
        QCOMPARE(lines.mid(0, 2), QStringList({"====== exit BRX SDK ======", "====== init BRX SDK ======"}));
        QVERIFY(lines.at(lines.size() - 2).startsWith("BRX_Logic_ControllerWorker::process() - finished in thread 0x"));
        QCOMPARE(lines.last(), QString("====== exit BRX SDK ======"));
    }

    void initExitRepeatsAtOnce()
    {
        LogCapture log;
        for (int round = 0; round < 5; ++round) {
            BRX_SDK_init(nullptr, nullptr);
            int value = 0;
            QVERIFY(!BRX_SDK_getProperty(0, &value, 4));
            BRX_SDK_exit();
        }
        QCOMPARE(log.count("finished in thread"), 5);
        QCOMPARE(log.count("BRX_Logic_Controller::getProperty() - no camera"), 5);
    }

    void secondInitIsRefused()
    {
        QList<InitCall> firstCalls;
        BRX_SDK_init(&recordInit, &firstCalls);
        LogCapture log;
        BRX_SDK_init(nullptr, nullptr);
        QCOMPARE(log.count("BRX_SDK_init() - already initialised"), 1);
        QCOMPARE(log.count("started in thread"), 0);
        int value = 0;
        QVERIFY(!BRX_SDK_getProperty(0, &value, 4));
        QCOMPARE(log.count("BRX_Logic_Controller::getProperty() - no camera"), 1);
    }

    void propertyCallsFailWithoutCamera()
    {
        BRX_SDK_init(nullptr, nullptr);
        LogCapture log;
        double value = 0;
        QVERIFY(!BRX_SDK_getProperty(3, &value, 8));
        QVERIFY(!BRX_SDK_setProperty(3, &value, 8));
        QVERIFY(!BRX_SDK_setProperty(36));
        BRX_SDK_setFrameCallback(nullptr, &value);
        QCOMPARE(log.count("setFrameCallback() - no camera"), 0);
        BRX_SDK_setFrameCallback([](void*, int, const void*, unsigned int) {}, &value);
        QCOMPARE(log.count("BRX_Logic_Controller::setFrameCallback() - no camera"), 1);
        QCOMPARE(log.count("BRX_Logic_Controller::getProperty() - no camera"), 1);
        QCOMPARE(log.count("BRX_Logic_Controller::setProperty() - no camera"), 2);
    }

    void queuedRequestsArriveInPostingOrder()
    {
        BRX_SDK_init(nullptr, nullptr);
        LogCapture log;
        BRX_SDK_capture();
        QVERIFY(BRX_SDK_setPropertyQueued(99));
        const int value = 1;
        QVERIFY(BRX_SDK_setPropertyQueued(-1, &value, 4));
        QTRY_COMPARE(log.count("BRX_Logic_Controller::setProperty() - no camera"), 2);
        const QStringList lines = log.lines();
        QCOMPARE(lines, QStringList({"BRX_Logic_Controller::doCaptureBtnPressed() - no camera",
                                     "BRX_Logic_Controller::doCaptureBtnReleased() - no camera",
                                     "BRX_Logic_Controller::setProperty() - no camera",
                                     "BRX_Logic_Controller::setProperty() - no camera"}));
    }

    // The byte array of a queued set holds at most INT_MAX bytes: a larger
    // size would turn negative and the data be read as a C string.
    void queuedSetRefusesASizeBeyondInt()
    {
        BRX_SDK_init(nullptr, nullptr);
        LogCapture log;
        const qint32 value = 0;
        QVERIFY(!BRX_SDK_setPropertyQueued(7, &value, 0x80000000u));
        QVERIFY(BRX_SDK_setPropertyQueued(7, &value, sizeof value));
        QTRY_COMPARE(log.count("BRX_Logic_Controller::setProperty() - no camera"), 1);
        QCOMPARE(log.count("BRX_SDK_setPropertyQueued() - size 2147483648 of property 7 too large"), 1);
    }

    // Requests still queued when the library exits during a download run
    // while the camera waits for it, and find no camera: nothing touches
    // the objects being deleted (AddressSanitizer checks).
    void exitDuringADownloadWithRequestsPending()
    {
        QVERIFY(BRX_SDK_useVirtualCamera(0x2009));
        QList<InitCall> initCalls;
        BRX_SDK_init(&recordInit, &initCalls);
        QTRY_VERIFY_WITH_TIMEOUT(!initCalls.isEmpty(), 10000);
        FrameRecorder frames;
        frames.holdAt(BRX_Logic_TransferThread::kFrameDngStarts);
        BRX_SDK_setFrameCallback(&FrameRecorder::callback, &frames);
        QVERIFY(BRX_SDK_pressVirtualCameraShutter());
        QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(BRX_Logic_TransferThread::kFrameDngStarts), 1, 10000);

        LogCapture log;
        const auto setHandled = [&log] { return log.contains("BRX_Logic_Controller::setProperty() - no camera"); };
        // The download goes on once the set has been handled, or after a
        // while should the controller have handled it before the exit.
        std::thread releaser([&] {
            const QDeadlineTimer patience(3000);
            while (!setHandled() && !patience.hasExpired())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            frames.release();
        });
        BRX_SDK_capturePressed();
        const qint32 iso = 400;
        BRX_SDK_setPropertyQueued(10, &iso, sizeof iso);
        BRX_SDK_exit();
        releaser.join();
        BRX_SDK_useVirtualCamera(0);
        QCOMPARE(log.count("BRX_Logic_ControllerWorker::process() - finished in thread"), 1);
    }

    void notificationsReachTheChangesCallbackOnly()
    {
        QList<InitCall> initCalls;
        QList<QPair<int, QByteArray>> changes;
        BRX_SDK_MainObject main(&recordInit, &initCalls);
        // Without a callback the payload is dropped (and freed: ASan checks).
        main.catchProperty(7, mallocCopy("abcd"), 4);
        main.setChangesCallback(&recordChange, &changes);
        main.catchProperty(7, mallocCopy("wxyz"), 4);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first().first, 7);
        QCOMPARE(changes.first().second, QByteArray("wxyz"));

        main.catchCameraConnected();
        main.catchCameraDisconnected();
        QCOMPARE(initCalls.size(), 2);
        QVERIFY(initCalls[0].connected && !initCalls[1].connected);
        // A disconnection clears the changes callback until the host sets it again.
        main.catchProperty(8, mallocCopy("1234"), 4);
        QCOMPARE(changes.size(), 1);
    }

    // Inside a callback, processEvents and exit are refused; so is
    // processEvents from a thread other than init's, whose events it cannot
    // deliver. The library goes on.
    void processEventsAndExitAreRefusedWhereTheyCannotWork()
    {
        Reentry reentry;
        BRX_SDK_useVirtualCamera(0x2031);
        BRX_SDK_init(&registerReentry, &reentry);
        LogCapture log;
        for (int slice = 0; slice < 200 && reentry.calls == 0; ++slice)
            QVERIFY(BRX_SDK_processEvents(50) >= 0);
        int fromOtherThread = 0;
        std::thread([&fromOtherThread] { fromOtherThread = BRX_SDK_processEvents(0); }).join();
        int mode = 0;
        QVERIFY(BRX_SDK_getProperty(0, &mode, sizeof mode));
        BRX_SDK_exit();
        BRX_SDK_useVirtualCamera(0);
        QCOMPARE(reentry.processEvents, -1);
        QCOMPARE(fromOtherThread, -1);
        for (const char* line : {"BRX_SDK_processEvents() - called from inside a callback, call ignored",
                                 "BRX_SDK_exit() - called from inside a callback, call ignored",
                                 "BRX_SDK_processEvents() - not called from the thread that called BRX_SDK_init, "
                                 "call ignored"})
            QVERIFY2(log.contains(line), line);
    }

    void notificationsStillQueuedAtExitAreFreed()
    {
        QList<InitCall> initCalls;
        QList<QPair<int, QByteArray>> changes;
        auto* main = new BRX_SDK_MainObject(&recordInit, &initCalls);
        main->setChangesCallback(&recordChange, &changes);
        QMetaObject::invokeMethod(main, "catchProperty", Qt::QueuedConnection, Q_ARG(int, 7),
                                  Q_ARG(void*, mallocCopy("abcd")), Q_ARG(quint32, 4));
        QMetaObject::invokeMethod(main, "catchCameraDisconnected", Qt::QueuedConnection);
        delete main;
        // Nothing reaches the host any more; LeakSanitizer checks the payload.
        QVERIFY(changes.isEmpty());
        QVERIFY(initCalls.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSdkExports)
#include "tst_sdkexports.moc"
