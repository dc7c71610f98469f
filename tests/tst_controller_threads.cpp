#include "BRX_SDK.h"
#include "LogCapture.h"
#include "SdkHost.h"

#include <QtTest>

namespace {

const int kTimeoutMs = 10000;
const int kCycles = 5;

} // namespace

// Direct calls from the host's thread race with connection set-up and
// tear-down in the controller thread.
class TestControllerThreads : public QObject
{
    Q_OBJECT
private slots:
    void directCallsDuringUnplugAndPlug()
    {
        SdkHost host(0x2031);
        QVERIFY(host.waitForInitialState(kTimeoutMs));
        LogCapture log;
        int refusedGets = 0;
        int calls = 0;
        // Gets and sets that use the camera model and the converters.
        const auto callAll = [&] {
            char buffer[16] = {};
            for (int property : {0, 5, 23, 32, 40}) {
                ++calls;
                if (!BRX_SDK_getProperty(property, buffer, property == 5 || property == 23 || property == 40 ? 8 : 4))
                    ++refusedGets;
            }
            const qint32 compensation = 0;
            BRX_SDK_setProperty(7, &compensation, sizeof compensation);
            const qint32 whiteBalance = 5200;
            BRX_SDK_setProperty(32, &whiteBalance, sizeof whiteBalance);
        };
        const auto callUntil = [&](const std::function<bool()>& condition) {
            QElapsedTimer clock;
            clock.start();
            while (!condition() && clock.elapsed() < kTimeoutMs) {
                callAll();
                QCoreApplication::processEvents();
            }
            return condition();
        };

        for (int cycle = 0; cycle < kCycles; ++cycle) {
            QVERIFY(BRX_SDK_setVirtualCameraConnected(false));
            QVERIFY(callUntil([&] { return !host.isConnected(); }));
            QVERIFY(BRX_SDK_setVirtualCameraConnected(true));
            QVERIFY(callUntil([&] { return host.isConnected(); }));
        }
        QCOMPARE(host.connections().size(), 1 + 2 * kCycles);
        QVERIFY(refusedGets > 0);
        QVERIFY(refusedGets < calls);
        // Every refusal is the clean one of a missing camera.
        QCOMPARE(log.count("BRX_Logic_Controller::getProperty() - no camera"), refusedGets);
        QVERIFY(host.waitForInitialState(kTimeoutMs));
    }
};

QTEST_GUILESS_MAIN(TestControllerThreads)
#include "tst_controller_threads.moc"
