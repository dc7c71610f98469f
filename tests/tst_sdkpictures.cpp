#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_TransferThread.h"
#include "BRX_SDK.h"
#include "BRX_Debug.h"
#include "LogCapture.h"
#include "SdkHost.h"

#include <QtTest>

// Pictures taken on the camera reach the host through the exported
// interface only: the frame callback registered from the init callback.
class TestSdkPictures : public QObject
{
    Q_OBJECT
private slots:
    void pictureArrivesWithQuickView_data();
    void pictureArrivesWithQuickView();
    void picturesOwedAtAnUnplugArriveOnReturn_data();
    void picturesOwedAtAnUnplugArriveOnReturn();
    void downloadCutMidwayArrivesWholeOnce();
    void picturesGoneFromTheCardAreReportedLostOnce();
    void picturesWrittenAfterTheLinkWentArriveOnReturn_data();
    void picturesWrittenAfterTheLinkWentArriveOnReturn();
    void releaseCutOffByTheLinkStillOwesItsFiles();
    void bodyShotsWhileUnpluggedStayOnTheCard();
    void sameNameAndSizeTakenAtAnotherTimeIsLost();
    void downloadGoingWrongOnceArrivesWhole_data();
    void downloadGoingWrongOnceArrivesWhole();
};

namespace {

const int kTimeoutMs = 10000;
const int kFrameReleaseEnd = BRX_SDK_FrameType::FrameReleaseEnd;
typedef BRX_Logic_TransferThread Transfer;
typedef QList<int> Types;

// The picture files on the camera, oldest first: every handle but folders.
QVector<quint32> pictureHandles(const BRX_Commu_VirtualCamera& camera)
{
    QVector<quint32> pictures;
    for (quint32 handle : camera.objectHandles()) {
        const quint32 type = handle & 0xF;
        if (type == 1 || type == 6)
            pictures << handle;
    }
    return pictures;
}

const int kFramePictureLost = BRX_SDK_FrameType::FramePictureLost;
const quint32 kLargeDng = 25u << 20;
const quint16 kOpRelease = 0x9004;

// Both files of the camera's one picture arrive whole, each once.
void expectPairOnce(const FrameRecorder& frames, const BRX_Commu_VirtualCamera& camera)
{
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameDng) + frames.countOf(Transfer::kFrameJpg), 2,
                              kTimeoutMs);
    const QVector<quint32> files = pictureHandles(camera);
    QCOMPARE(files.size(), 2);
    QCOMPARE(frames.countOf(Transfer::kFrameDng), 1);
    QCOMPARE(frames.bytesOf(Transfer::kFrameDng), camera.objectData(files.at(0)));
    QCOMPARE(frames.bytesOf(Transfer::kFrameJpg), camera.objectData(files.at(1)));
    QCOMPARE(frames.countOf(Transfer::kFrameNoData), 0);
    QCOMPARE(frames.countOf(kFramePictureLost), 0);
}

bool wantQuickView()
{
    const bool want = true;
    return BRX_SDK_setProperty(31, &want, sizeof want);
}

} // namespace

void TestSdkPictures::pictureArrivesWithQuickView_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<SdkHost::Transport>("transport");
    QTest::addColumn<bool>("releaseEnd");
    QTest::addColumn<Types>("types");
    const Types dngFirst{Transfer::kFrameFileName, Transfer::kFrameOrientation, Transfer::kFrameThumbnail,
                         Transfer::kFrameDngStarts, Transfer::kFrameDng, Transfer::kFrameJpgStarts, Transfer::kFrameJpg};
    const Types jpgFirst{Transfer::kFrameFileName, Transfer::kFrameOrientation, Transfer::kFrameThumbnail,
                         Transfer::kFrameJpgStarts, Transfer::kFrameJpg, Transfer::kFrameDngStarts, Transfer::kFrameDng};
    QTest::newRow("struct 0x2009") << 0x2009 << SdkHost::kUsb << false << dngFirst;
    QTest::newRow("struct M 0x2021, end of release") << 0x2021 << SdkHost::kUsb << true
                                                     << (dngFirst + Types{kFrameReleaseEnd});
    QTest::newRow("device properties 0x2041") << 0x2041 << SdkHost::kUsb << false << jpgFirst;
    QTest::newRow("struct 0x2011 over PTP/IP") << 0x2011 << SdkHost::kNetwork << false << dngFirst;
    QTest::newRow("struct M 0x2051 over PTP/IP, end of release") << 0x2051 << SdkHost::kNetwork << true
                                                                 << (dngFirst + Types{kFrameReleaseEnd});
    QTest::newRow("device properties 0x2041 over PTP/IP") << 0x2041 << SdkHost::kNetwork << false << jpgFirst;
}

// A DNG and a JPG per picture; the quick view (name, orientation,
// thumbnail) comes once, before the first file; the bytes are the camera's.
// The end of the release, with its count of files, comes last when asked for.
void TestSdkPictures::pictureArrivesWithQuickView()
{
    QFETCH(int, productId);
    QFETCH(SdkHost::Transport, transport);
    QFETCH(bool, releaseEnd);
    QFETCH(Types, types);
    SdkHost host(productId, transport);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(wantQuickView());
    QVERIFY(BRX_SDK_setWantReleaseEnd(releaseEnd));
    BRX_Commu_VirtualCamera* camera = &host.camera();
    camera->setPictureOrientation(6);

    BRX_SDK_capture();
    FrameRecorder& frames = host.frames();
    QTRY_COMPARE_WITH_TIMEOUT(frames.count(), types.size(), kTimeoutMs);
    QCOMPARE(frames.types(), types);
    const QVector<quint32> files = pictureHandles(*camera);
    QCOMPARE(files.size(), 2);
    const quint32 dng = (files[0] & 0xF) == 1 ? files[0] : files[1];
    const quint32 jpg = dng == files[0] ? files[1] : files[0];
    QCOMPARE(frames.bytesOf(Transfer::kFrameDng), camera->objectData(dng));
    QCOMPARE(frames.bytesOf(Transfer::kFrameJpg), camera->objectData(jpg));
    QCOMPARE(frames.bytesOf(Transfer::kFrameFileName), QByteArray("BRX_0001"));
    QCOMPARE(SdkHost::value<qint32>(frames.bytesOf(Transfer::kFrameOrientation)), 6);
    if (releaseEnd)
        QCOMPARE(SdkHost::value<qint32>(frames.bytesOf(kFrameReleaseEnd)), 2);
    QCOMPARE(camera->pendingTransfers(), 0);
}

void TestSdkPictures::picturesOwedAtAnUnplugArriveOnReturn_data()
{
    QTest::addColumn<SdkHost::Transport>("transport");
    QTest::newRow("USB") << SdkHost::kUsb;
    QTest::newRow("PTP/IP") << SdkHost::kNetwork;
}

// The release of the host is in the camera; it writes the picture only once
// the link has gone, so it announces nothing.
void unplugBeforeTheAnnouncement(SdkHost& host)
{
    BRX_Commu_VirtualCamera& camera = host.camera();
    camera.pauseCard(true);
    BRX_SDK_capture();
    QTRY_COMPARE_WITH_TIMEOUT(camera.picturesInProgress(), 1, kTimeoutMs);
    host.setCameraPlugged(false);
    QTRY_VERIFY_WITH_TIMEOUT(!host.isConnected(), kTimeoutMs);
    camera.pauseCard(false);
    QTRY_COMPARE_WITH_TIMEOUT(camera.picturesInProgress(), 0, kTimeoutMs);
}

// A pair the camera announced (both files remembered as owed) and whose
// download is held at its start: the camera leaves, the hold ends.
void unplugWhileAPairIsOwed(SdkHost& host)
{
    FrameRecorder& frames = host.frames();
    frames.holdAt(Transfer::kFrameDngStarts);
    LogCapture log;
    setDebugFlags(kDebugHousekeeping, true);
    BRX_SDK_capture();
    QTRY_COMPARE_WITH_TIMEOUT(log.count("owed until delivered"), 2, kTimeoutMs);
    setDebugFlags(kDebugHousekeeping, false);
    host.setCameraPlugged(false);
    frames.release();
    QTRY_VERIFY_WITH_TIMEOUT(!host.isConnected(), kTimeoutMs);
}

// Takes a picture with the camera's own button while the host is away.
void shootOnTheBody(BRX_Commu_VirtualCamera& camera)
{
    camera.takePicture();
    QTRY_COMPARE_WITH_TIMEOUT(camera.picturesInProgress(), 0, kTimeoutMs);
}

// The camera goes away as the DNG's download begins, the JPG announced and
// not begun: the host hears no "no data" and no loss, and once the camera
// is back both files arrive whole, once each.
void TestSdkPictures::picturesOwedAtAnUnplugArriveOnReturn()
{
    QFETCH(SdkHost::Transport, transport);
    SdkHost host(0x2009, transport);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    FrameRecorder& frames = host.frames();
    frames.holdAt(Transfer::kFrameDngStarts);
    LogCapture log;
    setDebugFlags(kDebugPtp, true);

    BRX_SDK_capture();
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameDngStarts), 1, kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(log.count("is RequestObjectTransfer"), 2, kTimeoutMs);
    setDebugFlags(kDebugPtp, false);
    host.setCameraPlugged(false);
    frames.release();
    QTRY_VERIFY_WITH_TIMEOUT(!host.isConnected(), kTimeoutMs);
    QCOMPARE(frames.types(), Types{Transfer::kFrameDngStarts});
    host.setCameraPlugged(true);
    expectPairOnce(frames, host.camera());
}

// The camera leaves the bus halfway through a 25 MB DNG: the file comes
// whole, once, after the camera is back.
void TestSdkPictures::downloadCutMidwayArrivesWholeOnce()
{
    SdkHost host(0x2009);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    BRX_Commu_VirtualCamera& camera = host.camera();
    camera.setPictureSizes(kLargeDng, 0);
    camera.injectFault({BRX_Commu_VirtualCameraLink::Fault::kVanish, 0x1009, kLargeDng / 2, 0});

    BRX_SDK_capture();
    QTRY_VERIFY_WITH_TIMEOUT(!host.isConnected(), kTimeoutMs);
    QCOMPARE(host.frames().countOf(Transfer::kFrameNoData), 0);
    host.setCameraPlugged(true);
    expectPairOnce(host.frames(), camera);
    QCOMPARE(host.frames().bytesOf(Transfer::kFrameDng).size(), int(kLargeDng));
}

// The card is emptied while the camera is away: each owed file is reported
// lost once, by its name, and nothing else comes for it.
void TestSdkPictures::picturesGoneFromTheCardAreReportedLostOnce()
{
    SdkHost host(0x2009);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    FrameRecorder& frames = host.frames();
    unplugWhileAPairIsOwed(host);
    for (quint32 handle : pictureHandles(host.camera()))
        host.camera().deleteObjectOnCamera(handle);

    host.setCameraPlugged(true);
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(kFramePictureLost), 2, kTimeoutMs);
    QCOMPARE(frames.bytesOf(kFramePictureLost, 0), QByteArray("BRX_0001.DNG"));
    QCOMPARE(frames.bytesOf(kFramePictureLost, 1), QByteArray("BRX_0001.JPG"));
    QCOMPARE(frames.countOf(Transfer::kFrameNoData), 0);
    QCOMPARE(frames.countOf(Transfer::kFrameDng) + frames.countOf(Transfer::kFrameJpg), 0);
}

void TestSdkPictures::picturesWrittenAfterTheLinkWentArriveOnReturn_data()
{
    picturesOwedAtAnUnplugArriveOnReturn_data();
}

// A release of the host whose files the camera wrote after the link had
// gone: once the camera is back both files arrive whole, once each, and
// nothing is reported lost.
void TestSdkPictures::picturesWrittenAfterTheLinkWentArriveOnReturn()
{
    QFETCH(SdkHost::Transport, transport);
    SdkHost host(0x2009, transport);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    unplugBeforeTheAnnouncement(host);
    QCOMPARE(host.frames().count(), 0);
    QCOMPARE(pictureHandles(host.camera()).size(), 2);

    host.setCameraPlugged(true);
    expectPairOnce(host.frames(), host.camera());
}

// The camera takes the release and leaves before its answer: the host
// cannot tell whether a picture was taken, so the release still owes its
// files, and both arrive whole once the camera is back.
void TestSdkPictures::releaseCutOffByTheLinkStillOwesItsFiles()
{
    SdkHost host(0x2009);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    BRX_Commu_VirtualCamera& camera = host.camera();
    camera.injectFault({BRX_Commu_VirtualCameraLink::Fault::kVanish, kOpRelease, 1, 0});

    BRX_SDK_capture();
    QTRY_VERIFY_WITH_TIMEOUT(!host.isConnected(), kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(camera.picturesInProgress(), 0, kTimeoutMs);
    QCOMPARE(pictureHandles(camera).size(), 2);
    QCOMPARE(host.frames().count(), 0);
    host.setCameraPlugged(true);
    expectPairOnce(host.frames(), camera);
}

// No release of the host was outstanding: a picture shot on the body while
// unplugged stays on the card; the next release brings its own pair only.
void TestSdkPictures::bodyShotsWhileUnpluggedStayOnTheCard()
{
    SdkHost host(0x2009);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    FrameRecorder& frames = host.frames();
    BRX_SDK_capture();
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameDng) + frames.countOf(Transfer::kFrameJpg), 2,
                              kTimeoutMs);
    host.setCameraPlugged(false);
    QTRY_VERIFY_WITH_TIMEOUT(!host.isConnected(), kTimeoutMs);
    shootOnTheBody(host.camera());

    host.clearChanges();
    host.setCameraPlugged(true);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    BRX_SDK_capture();
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameDng) + frames.countOf(Transfer::kFrameJpg), 4,
                              kTimeoutMs);
    const QVector<quint32> files = pictureHandles(host.camera());
    QCOMPARE(files.size(), 6);
    QCOMPARE(frames.bytesOf(Transfer::kFrameDng, 1), host.camera().objectData(files.at(4)));
    QCOMPARE(frames.bytesOf(Transfer::kFrameJpg, 1), host.camera().objectData(files.at(5)));
    QCOMPARE(frames.countOf(kFramePictureLost), 0);
}

// The card is formatted while the camera is away and a new picture gets the
// owed one's names and sizes: taken at another time, it is another
// picture, so the owed files are reported lost and the new ones stay.
void TestSdkPictures::sameNameAndSizeTakenAtAnotherTimeIsLost()
{
    SdkHost host(0x2009);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    BRX_Commu_VirtualCamera& camera = host.camera();
    camera.setPictureSizes(300000, 100000);
    FrameRecorder& frames = host.frames();
    unplugWhileAPairIsOwed(host);
    QStringList owedFiles;
    for (quint32 handle : pictureHandles(camera))
        owedFiles << camera.objectFileName(handle) + ' ' + QString::number(camera.objectData(handle).size());
    camera.formatCard();
    camera.useManualClock();
    camera.advanceClock(60000);
    shootOnTheBody(camera);
    QStringList newFiles;
    for (quint32 handle : pictureHandles(camera))
        newFiles << camera.objectFileName(handle) + ' ' + QString::number(camera.objectData(handle).size());
    QCOMPARE(newFiles, owedFiles);

    host.setCameraPlugged(true);
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(kFramePictureLost), 2, kTimeoutMs);
    QCOMPARE(frames.bytesOf(kFramePictureLost, 0), QByteArray("BRX_0001.DNG"));
    QCOMPARE(frames.bytesOf(kFramePictureLost, 1), QByteArray("BRX_0001.JPG"));
    QCOMPARE(frames.countOf(Transfer::kFrameDng) + frames.countOf(Transfer::kFrameJpg), 0);
}

enum DownloadFault { kFailsOnce, kShortOnce };
Q_DECLARE_METATYPE(DownloadFault)

void TestSdkPictures::downloadGoingWrongOnceArrivesWhole_data()
{
    QTest::addColumn<DownloadFault>("fault");
    QTest::addColumn<int>("partialReads");
    QTest::newRow("GetObject fails") << kFailsOnce << 0;
    QTest::newRow("GetObject sends less than announced") << kShortOnce << 1;
}

// The DNG's first read goes wrong: the host still gets both files whole,
// never a short one; a short read is resumed after the bytes it brought.
void TestSdkPictures::downloadGoingWrongOnceArrivesWhole()
{
    QFETCH(DownloadFault, fault);
    QFETCH(int, partialReads);
    SdkHost host(0x2009);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::selected();
    if (fault == kFailsOnce)
        camera->failOperation(0x1009, BRX_Commu_VirtualCameraDevice::kResponseGeneralError, 1);
    else
        camera->cutNextData(0x1009, 1000);

    BRX_SDK_capture();
    FrameRecorder& frames = host.frames();
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameJpg) + frames.countOf(Transfer::kFrameNoData), 1,
                              kTimeoutMs);
    const QVector<quint32> files = pictureHandles(*camera);
    QCOMPARE(frames.types(), (Types{Transfer::kFrameDngStarts, Transfer::kFrameDng, Transfer::kFrameJpgStarts,
                                    Transfer::kFrameJpg}));
    QCOMPARE(frames.bytesOf(Transfer::kFrameDng), camera->objectData(files.at(0)));
    QCOMPARE(frames.bytesOf(Transfer::kFrameJpg), camera->objectData(files.at(1)));
    QCOMPARE(camera->operationLog().count(0x101B), partialReads);
}

QTEST_GUILESS_MAIN(TestSdkPictures)
#include "tst_sdkpictures.moc"
