#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_Camera.h"
#include "VirtualCameraFixture.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;

// Whole stops, which every family can hold.
const int kCompensations[] = {-1000, 0, 1000, 2000};

bool isKnownCompensation(int value)
{
    return std::find(std::begin(kCompensations), std::end(kCompensations), value)
        != std::end(kCompensations);
}

}  // namespace

// The host's thread uses the facade directly while the controller thread
// turns camera-side changes into signals.
class TestCameraThreads : public QObject
{
    Q_OBJECT
private slots:
    void facadeFromAnotherThreadWhileTheCameraChanges_data()
    {
        QTest::addColumn<int>("productId");
        QTest::newRow("struct") << 0x2009;
        QTest::newRow("struct M") << 0x2021;
        QTest::newRow("device properties") << 0x2031;
    }
    void facadeFromAnotherThreadWhileTheCameraChanges()
    {
        QFETCH(int, productId);
        VirtualCameraFixture fixture(productId);
        BRX_Logic_Camera camera(fixture.access());
        QSignalSpy compensation(&camera, &BRX_Logic_Camera::signalExposCompens);

        std::atomic<bool> stop{false};
        std::atomic<int> strayValues{0};
        std::atomic<int> rounds{0};
        // Bounded: a thread that takes the record's lock in a tight loop for
        // ever can starve the camera's own thread of it on a loaded machine.
        std::unique_ptr<QThread> host(QThread::create([&] {
            for (int i = 0; i < 400 && !stop; ++i) {
                camera.setExposCompens(kCompensations[i % 4]);
                if (!isKnownCompensation(camera.exposCompens()))
                    ++strayValues;
                camera.hasContrast();
                camera.aperture();
                camera.shutterTime();
                camera.bracketingImageNumbers();
                ++rounds;
            }
        }));
        host->start();
        // Every set of the host thread comes back as a camera-side change;
        // full refreshes rewrite the whole record meanwhile.
        for (int i = 0; i < 50; ++i) {
            QVERIFY(QMetaObject::invokeMethod(&camera, "catchSettingsChanged"));
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY(rounds >= 50);
        stop = true;
        host->wait();
        QCOMPARE(int(strayValues), 0);
        for (const QList<QVariant>& signal : qAsConst(compensation))
            QVERIFY(isKnownCompensation(signal.first().toInt()));
    }
};

QTEST_GUILESS_MAIN(TestCameraThreads)
#include "tst_camera_threads.moc"
