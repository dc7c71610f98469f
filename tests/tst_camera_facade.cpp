#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_FolderSettings.h"
#include "LogCapture.h"
#include "VirtualCameraFixture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;
typedef QVector<QVector<quint32>> Releases;

const int kStorageTypeOffset = 0x1a;
const quint32 kPhotoLiveView = 0x00020001;
const quint32 kVideoLiveView = 0x00030001;

}  // namespace

class TestCameraFacade : public QObject
{
    Q_OBJECT
private slots:
    // --- Range checks ------------------------------------------------------------

    void illegalModesOnlyLog()
    {
        VirtualCameraFixture fixture(0x2009);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        const QByteArray block = fixture.device().settingsBlock();
        const int writes = fixture.operationCount(Access::kOpSetCameraSettings);
        LogCapture log;
        camera.setExposureMode(eVQExposureMode(6));
        camera.setExposureMode(eVQExposureMode(-1));
        camera.setFocusMode(eVQFocusMode(3));
        QVERIFY(log.contains("BRX_Logic_Camera::setExposureMode() - illegal exposure mode 6"));
        QVERIFY(log.contains("BRX_Logic_Camera::setExposureMode() - illegal exposure mode -1"));
        QVERIFY(log.contains("BRX_Logic_Camera::setFocusMode() - illegal focus mode 3"));
        QCOMPARE(fixture.operationCount(Access::kOpSetCameraSettings), writes);
        QCOMPARE(fixture.device().settingsBlock(), block);
        QVERIFY(fixture.releases().isEmpty());
    }

    void shutterTimeReadsMinusOneInBulb()
    {
        VirtualCameraFixture fixture(0x2009);
        BRX_Logic_Camera camera(fixture.access());
        QVERIFY(camera.shutterTime() > 0.0);
        camera.setExposureMode(kVQExposureModeBulb);
        QCOMPARE(camera.exposureMode(), int(kVQExposureModeBulb));
        QCOMPARE(camera.shutterTime(), -1.0);
    }

    void shutterTimeIsReadBackAfterASet()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        const int reads = fixture.operationCount(Access::kOpGetDevicePropValue);
        camera.setShutterTime(1.0 / 250);
        QCOMPARE(fixture.operationCount(Access::kOpGetDevicePropValue), reads + 1);
    }

    // --- Bracketing ---------------------------------------------------------------

    void bracketingImageCountIsThreeOrFive_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("stored");
        QTest::newRow("4") << 4 << 3;
        QTest::newRow("5") << 5 << 5;
        QTest::newRow("7") << 7 << 3;
    }
    void bracketingImageCountIsThreeOrFive()
    {
        QFETCH(int, count);
        QFETCH(int, stored);
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        camera.setBracketImgNum(5);
        camera.setBracketImgNum(count);
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropBracketingFrames), qint64(stored));
        QCOMPARE(camera.bracketingImageNumbers(), stored);
    }

    void bracketingSwitchSetsTheAutomaticFlagFirst()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        camera.setBracketEnabled(true);
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropBracketingAutomatic), qint64(1));
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropBracketingEnabled), qint64(1));
        camera.setBracketEnabled(false);
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropBracketingAutomatic), qint64(0));
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropBracketingEnabled), qint64(0));
    }

    // --- White balance restarts live view when it changes ---------------------------

    void whiteBalanceRestartsLiveViewOnlyOnChange_data()
    {
        QTest::addColumn<quint32>("modeWord");
        QTest::addColumn<int>("param");
        QTest::newRow("photo") << kPhotoLiveView << 0;
        QTest::newRow("video") << kVideoLiveView << 1;
    }
    void whiteBalanceRestartsLiveViewOnlyOnChange()
    {
        QFETCH(quint32, modeWord);
        QFETCH(int, param);
        VirtualCameraFixture fixture(0x2009);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        fixture.serveSupportedStreams(modeWord);
        QSignalSpy photo(&camera, &BRX_Logic_Camera::signalLiveViewPhoto);
        QSignalSpy video(&camera, &BRX_Logic_Camera::signalLiveViewVideo);

        const int current = camera.whiteBalanceIndex();
        camera.setWhiteBalanceIndex(uchar(current));
        QVERIFY(fixture.releases().isEmpty());

        camera.setWhiteBalanceIndex(uchar(current + 1));
        QCOMPARE(camera.whiteBalanceIndex(), current + 1);
        QCOMPARE(fixture.releases(), (Releases{{kVQReleaseLiveViewStop, quint32(param)},
                                               {kVQReleaseLiveViewStart, quint32(param)}}));
        QCOMPARE(photo.count() + video.count(), 1);
        QCOMPARE((param == 0 ? video : photo).count(), 1);
    }

    void whiteBalanceWithoutLiveViewSendsNoStages()
    {
        VirtualCameraFixture fixture(0x2009);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        fixture.serveSupportedStreams(0x00020002);  // lower half not 1: no mode
        camera.setWhiteBalanceColorTemp(uint(camera.whiteBalanceColorTemp() + 1));
        QVERIFY(fixture.releases().isEmpty());
    }

    // --- Focus ----------------------------------------------------------------------

    void focusPositionIsRefusedOnlyAtItsMaximum()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        LogCapture log;
        camera.setFocusDistance(0xFFFFFFFF);
        QVERIFY(log.contains("BRX_Logic_Camera::setFocusDistance() - illegal position 0xffffffff"));
        QVERIFY(fixture.releases().isEmpty());

        camera.setFocusDistance(0xFFFFFFFE);
        const Releases sent = fixture.releases();
        QVERIFY(sent.size() >= 2);
        QCOMPARE(sent.at(sent.size() - 2), (QVector<quint32>{kVQReleaseAutoFocusStart}));
        QCOMPARE(sent.last(), (QVector<quint32>{kVQReleaseLensToPosition, 0xFFFFFFFE}));
        QCOMPARE(camera.focusMode(), int(kVQFocusManual));
    }

    void focusStepsSwapOnOneProduct_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<bool>("increase");
        QTest::addColumn<quint32>("stage");
        QTest::newRow("2031 inc") << 0x2031 << true << quint32(10);
        QTest::newRow("2031 dec") << 0x2031 << false << quint32(9);
        QTest::newRow("2041 inc") << 0x2041 << true << quint32(9);
        QTest::newRow("2041 dec") << 0x2041 << false << quint32(10);
    }
    void focusStepsSwapOnOneProduct()
    {
        QFETCH(int, productId);
        QFETCH(bool, increase);
        QFETCH(quint32, stage);
        VirtualCameraFixture fixture(productId);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        if (increase)
            camera.setFocusDistanceInc();
        else
            camera.setFocusDistanceDec();
        QVERIFY(!fixture.releases().isEmpty());
        QCOMPARE(fixture.releases().last(), (QVector<quint32>{stage, 5}));
    }

    void switchingToManualFocusSignalsOnce()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        camera.setFocusMode(kVQFocusAutoSingle);
        QCOMPARE(fixture.releases(), (Releases{{kVQReleaseAutoFocusStop}, {kVQReleaseAutoFocusStart}}));
        QCOMPARE(camera.focusMode(), int(kVQFocusAutoSingle));
        fixture.clearReleases();

        QSignalSpy focus(&camera, &BRX_Logic_Camera::signalFocusMode);
        camera.switchToMFMode();
        camera.switchToMFMode();
        QCOMPARE(focus.count(), 1);
        QCOMPARE(focus.first().first().toInt(), int(kVQFocusManual));
        QCOMPARE(fixture.releases(), (Releases{{kVQReleaseAutoFocusStop}}));
    }

    void autofocusKeepsLiveViewOfOneProduct_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<quint32>("modeWord");
        QTest::addColumn<bool>("restarted");
        QTest::newRow("2041 live view") << 0x2041 << kPhotoLiveView << false;
        QTest::newRow("2041 no live view") << 0x2041 << quint32(0x00000001) << true;
        QTest::newRow("2031 live view") << 0x2031 << kPhotoLiveView << true;
    }
    void autofocusKeepsLiveViewOfOneProduct()
    {
        QFETCH(int, productId);
        QFETCH(quint32, modeWord);
        QFETCH(bool, restarted);
        VirtualCameraFixture fixture(productId);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        fixture.serveSupportedStreams(modeWord);
        camera.changeToAutoFocusContinuous();
        QVERIFY(!fixture.releases().isEmpty());
        QCOMPARE(fixture.releases().last(),
                 (QVector<quint32>{quint32(restarted ? kVQReleaseAutoFocusStart : kVQReleaseAutoFocusStop)}));
    }

    // --- Video ----------------------------------------------------------------------

    void twoVideoTogglesRestoreTheStorageType()
    {
        VirtualCameraFixture fixture(0x2009);
        BRX_Logic_Camera camera(fixture.access());
        fixture.recordReleases();
        QCOMPARE(int(fixture.device().settingsBlock().at(kStorageTypeOffset)), 2);

        camera.toggleVideoCapture();
        QVERIFY(camera.isVideoRecording());
        QCOMPARE(int(fixture.device().settingsBlock().at(kStorageTypeOffset)), 0);
        camera.toggleVideoCapture();
        QVERIFY(!camera.isVideoRecording());
        QVERIFY(!camera.isReleaseInProgress());
        QCOMPARE(int(fixture.device().settingsBlock().at(kStorageTypeOffset)), 2);
        QCOMPARE(fixture.releases(), (Releases{{kVQReleaseVideoStart}, {kVQReleaseVideoStop}}));
    }

    void failedVideoStartLeavesVideoOffAndTheStorageType_data()
    {
        QTest::addColumn<int>("productId");
        QTest::newRow("block") << 0x2009;
        QTest::newRow("property") << 0x2031;
    }
    void failedVideoStartLeavesVideoOffAndTheStorageType()
    {
        QFETCH(int, productId);
        VirtualCameraFixture fixture(productId);
        BRX_Logic_Camera camera(fixture.access());
        const QByteArray block = fixture.device().settingsBlock();
        const qint64 storageType = fixture.device().propertyValue(Access::kDevicePropExternalShooting);
        fixture.recordReleases();
        fixture.setFailReleases(true);
        camera.toggleVideoCapture();
        QVERIFY(!camera.isVideoRecording());
        QCOMPARE(fixture.device().settingsBlock(), block);
        QCOMPARE(fixture.device().propertyValue(Access::kDevicePropExternalShooting), storageType);
        QCOMPARE(fixture.releases(), (Releases{{kVQReleaseVideoStart}}));
    }

    // --- A camera whose settings cannot be read ---------------------------------------

    // Storage type and auto power-off go back at close as they were saved:
    // only values read from the camera are saved, and only a block read from
    // the camera goes back to it. A first read that fails is tried again.
    void settingsNotReadAreNotWritten_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("failedReads");
        for (int productId : {0x2009, 0x2021}) {
            const QString product = QString::number(productId, 16);
            QTest::newRow(qPrintable(product + " read again")) << productId << 1;
            QTest::newRow(qPrintable(product + " unreadable")) << productId << 3;
        }
    }
    void settingsNotReadAreNotWritten()
    {
        QFETCH(int, productId);
        QFETCH(int, failedReads);
        VirtualCameraFixture fixture(productId);
        QByteArray block = fixture.device().settingsBlock();
        fixture.device().failOperation(Access::kOpGetCameraSettings, 0x2002, failedReads);
        LogCapture log;
        {
            BRX_Logic_Camera camera(fixture.access());
            QCOMPARE(camera.setExposCompens(1000), failedReads == 1);
            camera.restoreAutoPowerOff();
            camera.restoreStorageType();
        }
        if (failedReads == 1) {
            block[0x04] = char(productId == 0x2009 ? 8 : 12);
        } else {
            QCOMPARE(fixture.operationCount(Access::kOpSetCameraSettings), 0);
            QVERIFY(log.contains("takeOverStorageAndPowerOff() - camera settings unknown"));
            QVERIFY(log.contains("sendToCamera() - camera settings not read, nothing sent"));
        }
        QCOMPARE(fixture.device().settingsBlock(), block);
    }

    // --- Folder settings through the camera ----------------------------------------

    void exampleFollowsTheFileFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("isDng");
        QTest::newRow("0") << 0 << true;
        QTest::newRow("2") << 2 << true;
        QTest::newRow("3") << 3 << false;
        QTest::newRow("-1") << -1 << false;
    }
    void exampleFollowsTheFileFormat()
    {
        QFETCH(int, format);
        QFETCH(bool, isDng);
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        camera.setDngPath("/pics/raw");
        camera.setJpgPath("/pics/jpg");
        camera.setPictureName("Img");
        camera.setPictureIndex(7);
        camera.setPictureExampleFileFormat(eVQFileFormat(format));
        QCOMPARE(camera.folderSettings()->exampleIsDng(), isDng);
        QCOMPARE(QDir::fromNativeSeparators(camera.pictureExampleFileName()),
                 isDng ? QString("/pics/raw/Img00007.DNG") : QString("/pics/jpg/Img00007.JPG"));
    }

    void readingTheFileFormatUpdatesTheExample()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        QSignalSpy example(&camera, &BRX_Logic_Camera::signalPictureExampleName);
        camera.setPictureExampleFileFormat(eVQFileFormat(7));
        const int format = camera.fileFormat();
        QCOMPARE(camera.folderSettings()->exampleIsDng(), format >= 0 && format <= 2);
        QTRY_VERIFY(example.count() >= 1);
        QCOMPARE(camera.pictureIndex(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCameraFacade)
#include "tst_camera_facade.moc"
