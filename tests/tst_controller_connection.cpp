#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"
#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_Logic_TransferThread.h"
#include "BRX_SDK.h"
#include "LogCapture.h"
#include "SdkHost.h"

#include <QtTest>

namespace {

using Catalogue = BRX_Logic_PropertyCatalogue;
const int kConnectTimeoutMs = 10000;

bool payloadFits(const SdkHost::Change& change)
{
    const Catalogue::Entry* entry = Catalogue::find(change.property);
    if (!entry || !entry->notified)
        return false;
    const int size = change.payload.size();
    switch (entry->payload) {
    case Catalogue::Payload::IntList:
        return size > 0 && size % 4 == 0;
    case Catalogue::Payload::DoubleList:
        return size > 0 && size % 8 == 0;
    default:
        return size == int(Catalogue::payloadSize(entry->payload));
    }
}

// The value a fresh virtual camera of the product holds.
qint64 presetOf(int productId, quint16 code)
{
    for (const BRX_Commu_VirtualCameraProperty& property : BRX_Commu_VirtualCameraProfile::properties(productId)) {
        if (property.code() == code)
            return property.value();
    }
    return -1;
}

} // namespace

// A host plugs a camera in, sees it connect and receives its whole state;
// unplugging and closing undo the connection.
class TestControllerConnection : public QObject
{
    Q_OBJECT
private slots:
    // Over USB every product, over PTP/IP one of each settings family.
    void everyProductConnectsWithItsWholeState_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<SdkHost::Transport>("transport");
        for (int productId : {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051, 0x2061})
            QTest::addRow("0x%X", productId) << productId << SdkHost::kUsb;
        for (int productId : {0x2011, 0x2051, 0x2061})
            QTest::addRow("0x%X over PTP/IP", productId) << productId << SdkHost::kNetwork;
    }

    void everyProductConnectsWithItsWholeState()
    {
        QFETCH(int, productId);
        QFETCH(SdkHost::Transport, transport);
        SdkHost host(productId, transport);
        QTRY_VERIFY_WITH_TIMEOUT(host.isConnected(), kConnectTimeoutMs);
        QCOMPARE(host.connections(), (QList<QPair<bool, int>>{{true, productId}}));
        QVERIFY(host.waitForInitialState(kConnectTimeoutMs));
        for (const SdkHost::Change& change : host.changes())
            QVERIFY2(payloadFits(change), qPrintable(QString("property %1 with %2 bytes")
                                                         .arg(change.property)
                                                         .arg(change.payload.size())));
        QVERIFY(!host.numbers().contains(22));
    }

    void initialStateComesInItsOrder_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("struct") << 0x2009
                                << QList<int>{38, 6,  17, 40, 42, 9,  4,  2,  26, 27, 13, 29, 1, 7, 14, 16,
                                              18, 41, 43, 19, 11, 10, 4,  5,  32, 32, 0,  3,  5, 23, 21, 20};
        QTest::newRow("struct-M") << 0x2021
                                  << QList<int>{6, 17, 40, 42, 9, 4, 13, 1, 7, 14, 16, 18, 41, 43, 11, 10, 4, 5, 32,
                                                32, 0, 5};
        QTest::newRow("device properties")
            << 0x2031
            << QList<int>{38, 6, 17, 40, 42, 9, 4, 2, 26, 27, 13, 29, 1, 7, 14, 16, 18, 41, 43, 19, 11, 10, 4, 5, 32,
                          32, 0, 3, 5, 23, 21, 20};
    }

    void initialStateComesInItsOrder()
    {
        QFETCH(int, productId);
        QFETCH(QList<int>, numbers);
        SdkHost host(productId);
        QTRY_COMPARE_WITH_TIMEOUT(host.numbers(), numbers, kConnectTimeoutMs);
    }

    void unplugReportsTheProductAndReconnectSendsTheStateAgain_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<SdkHost::Transport>("transport");
        QTest::newRow("USB") << 0x2031 << SdkHost::kUsb;
        QTest::newRow("PTP/IP, the server closing") << 0x2009 << SdkHost::kNetwork;
    }

    void unplugReportsTheProductAndReconnectSendsTheStateAgain()
    {
        QFETCH(int, productId);
        QFETCH(SdkHost::Transport, transport);
        SdkHost host(productId, transport);
        QVERIFY(host.waitForInitialState(kConnectTimeoutMs));
        // The burst without the confirmation that waitForInitialState asked for.
        const QList<int> firstBurst = host.numbers().mid(0, host.numbers().size() - 1);

        host.setCameraPlugged(false);
        QTRY_COMPARE_WITH_TIMEOUT(host.connections().size(), 2, kConnectTimeoutMs);
        QCOMPARE(host.connections().last(), qMakePair(false, productId));
        qint32 mode = 0;
        QVERIFY(!BRX_SDK_getProperty(0, &mode, sizeof mode));

        host.clearChanges();
        host.setCameraPlugged(true);
        QTRY_COMPARE_WITH_TIMEOUT(host.connections().size(), 3, kConnectTimeoutMs);
        QCOMPARE(host.connections().last(), qMakePair(true, productId));
        QTRY_COMPARE_WITH_TIMEOUT(host.numbers(), firstBurst, kConnectTimeoutMs);
        QVERIFY(BRX_SDK_getProperty(0, &mode, sizeof mode));
    }

    // The camera comes back while the old connection's download is held up:
    // it is opened only once the old camera is gone, and the host hears of
    // the disconnection first.
    void replugWhileADownloadDrainsIsDisconnectThenConnect()
    {
        SdkHost host(0x2009);
        QVERIFY(host.waitForInitialState(kConnectTimeoutMs));
        FrameRecorder& frames = host.frames();
        frames.holdAt(BRX_Logic_TransferThread::kFrameDngStarts);
        QVERIFY(BRX_SDK_pressVirtualCameraShutter());
        QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(BRX_Logic_TransferThread::kFrameDngStarts), 1, kConnectTimeoutMs);

        setDebugFlags(kDebugPtp, true);
        LogCapture log;
        QVERIFY(BRX_SDK_setVirtualCameraConnected(false));
        QTRY_VERIFY_WITH_TIMEOUT(log.contains("drainEvents() - device removed"), kConnectTimeoutMs);
        setDebugFlags(kDebugPtp, false);
        QVERIFY(BRX_SDK_setVirtualCameraConnected(true));
        QTRY_VERIFY_WITH_TIMEOUT(log.contains("the previous camera is still closing") || host.connections().size() > 1,
                                 kConnectTimeoutMs);
        frames.release();
        QTRY_COMPARE_WITH_TIMEOUT(host.connections().size(), 3, kConnectTimeoutMs);
        QCOMPARE(host.connections(), (QList<QPair<bool, int>>{{true, 0x2009}, {false, 0x2009}, {true, 0x2009}}));
        qint32 mode = 0;
        QVERIFY(BRX_SDK_getProperty(0, &mode, sizeof mode));
    }

    void afterADisconnectionNothingArrivesUntilTheHostRegistersAgain()
    {
        SdkHost host(0x2009);
        QVERIFY(host.waitForInitialState(kConnectTimeoutMs));
        // Without interval shooting of its own: the emulation's frames and time.
        QCOMPARE(host.last<qint32>(41), 5);
        QCOMPARE(host.last<qint32>(43), 2);
        host.setReregister(false);
        QVERIFY(BRX_SDK_setVirtualCameraConnected(false));
        QTRY_VERIFY_WITH_TIMEOUT(!host.isConnected(), kConnectTimeoutMs);
        host.clearChanges();

        LogCapture log;
        QVERIFY(BRX_SDK_setVirtualCameraConnected(true));
        QTRY_VERIFY_WITH_TIMEOUT(host.isConnected(), kConnectTimeoutMs);
        // Handled after the initial state, which is then on its way to us.
        BRX_SDK_setPropertyQueued(99);
        QTRY_VERIFY_WITH_TIMEOUT(log.contains("BRX_Logic_Controller::setProperty() - unknown property: 99"),
                                 kConnectTimeoutMs);
        QCoreApplication::sendPostedEvents();
        QVERIFY(host.changes().isEmpty());
    }

    void closeRequestRestoresTheSavedStorageTypeAndCloses()
    {
        // The camera's own value, as it was before the library connected
        // (which may have happened already).
        const quint16 storageType = BRX_Commu_CameraAccess_Base::kDevicePropExternalShooting;
        const qint64 saved = presetOf(0x2031, storageType);
        QVERIFY(saved >= 0 && saved != 2);
        SdkHost host(0x2031);
        const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
        QTRY_VERIFY_WITH_TIMEOUT(host.isConnected(), kConnectTimeoutMs);
        QCOMPARE(camera->propertyValue(storageType), 2);

        BRX_SDK_requestClose();
        QTRY_COMPARE_WITH_TIMEOUT(host.connections().size(), 2, kConnectTimeoutMs);
        QCOMPARE(host.connections().last(), qMakePair(false, 0x2031));
        QCOMPARE(camera->propertyValue(storageType), saved);
    }
};

QTEST_GUILESS_MAIN(TestControllerConnection)
#include "tst_controller_connection.moc"
