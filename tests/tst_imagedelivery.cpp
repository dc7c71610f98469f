#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_Controller.h"
#include "BRX_Logic_ImageEntry.h"
#include "LogCapture.h"
#include "ScriptedPictures.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const int kTimeoutMs = 10000;
const quint32 kHandle = 0x16;
const quint16 kDng = 0x3802;
const quint16 kGetObject = 0x1009;
const quint16 kGetThumb = 0x100A;
const quint16 kGetPartialObject = 0x101B;
typedef ScriptedPictures::Object Object;

// What one image signal delivered; the test owns the array as any receiver does.
struct Delivery {
    std::unique_ptr<QByteArray> data;
    QString fileName;
    bool flag = false;
};

// A controller of its own in the test's thread with a virtual camera whose
// stored objects the test scripts.
struct Rig {
    // scripted: the test's objects instead of the camera's own card.
    explicit Rig(int productId = 0x2031, bool scripted = true)
    {
        BRX_Commu_VirtualCamera::select(productId);
        camera = BRX_Commu_VirtualCamera::selected();
        if (scripted)
            pictures.reset(new ScriptedPictures(*camera));
        controller.reset(new BRX_Logic_Controller);
        QObject::connect(controller.get(), &BRX_Logic_Controller::signalPropertySafe,
                         [](int, void* data, quint32) { std::free(data); });
        QObject::connect(controller.get(), &BRX_Logic_Controller::signalThumbReceived,
                         [this](QByteArray* data, QString name, uint, bool) { receive(data, name, false); });
        QObject::connect(controller.get(), &BRX_Logic_Controller::signalImageForSharingReceived,
                         [this](QByteArray* data, bool isDng) { receive(data, QString(), isDng); });
        QSignalSpy spy(controller.get(), &BRX_Logic_Controller::signalCameraConnected);
        connected = spy.wait(kTimeoutMs);
    }
    ~Rig()
    {
        controller.reset();
        BRX_Commu_VirtualCamera::select(0);
    }

    // Stores object as the camera's only picture and lists it.
    bool store(const Object& object)
    {
        pictures->add(kHandle, object);
        QSignalSpy end(controller.get(), &BRX_Logic_Controller::signalImageDBChangeEnd);
        camera->raiseEvent(0x4002, {kHandle});
        return end.wait(kTimeoutMs) && controller->pictureCount() == 1;
    }

    void receive(QByteArray* data, const QString& fileName, bool flag)
    {
        deliveries.push_back({std::unique_ptr<QByteArray>(data), fileName, flag});
    }

    int count(quint16 opCode) const { return camera->operationLog().count(opCode); }

    std::shared_ptr<BRX_Commu_VirtualCamera> camera;
    std::unique_ptr<ScriptedPictures> pictures;
    std::unique_ptr<BRX_Logic_Controller> controller;
    std::vector<Delivery> deliveries;
    bool connected = false;
};

Object picture(const QByteArray& data, quint16 format = 0x3801)
{
    Object object;
    object.format = format;
    object.data = data;
    object.fileName = QStringLiteral("L1000016.JPG");
    object.thumbnails[0] = "small thumbnail";
    object.thumbnails[1] = "big thumbnail";
    object.thumbnails[2] = "large preview";
    return object;
}

} // namespace

// The controller's Qt-side image interface on a virtual camera.
class TestImageDelivery : public QObject
{
    Q_OBJECT
private slots:
    void thumbnailStoresOrientationAndSizeClass_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("degrees");
        QTest::addColumn<int>("sizeClass");
        QTest::newRow("0x2031 width 4000") << 0x2031 << ScriptedPictures::exifPicture(6, 4000, 2000) << 90 << 1;
        QTest::newRow("0x2031 width 4001") << 0x2031 << ScriptedPictures::exifPicture(6, 4001, 2000) << 90 << 2;
        QTest::newRow("0x2031 width 2000") << 0x2031 << ScriptedPictures::dngPicture(3, 2000, 2000) << 180 << 0;
        QTest::newRow("0x2031 big-endian") << 0x2031 << ScriptedPictures::dngPicture(8, 2001, 2000) << 270 << 1;
        QTest::newRow("0x2061 width 5001") << 0x2061 << ScriptedPictures::exifPicture(1, 5001, 2000) << 0 << 2;
        QTest::newRow("0x2061 width 3501") << 0x2061 << ScriptedPictures::exifPicture(1, 3501, 2000) << 0 << 1;
        QTest::newRow("other product") << 0x2041 << ScriptedPictures::exifPicture(6, 9000, 2000) << 90 << 0;
        QTest::newRow("no Exif entries") << 0x2031 << QByteArray(2000, 'x') << 0 << 0;
    }

    void thumbnailStoresOrientationAndSizeClass()
    {
        QFETCH(int, productId);
        QFETCH(QByteArray, data);
        Rig rig(productId);
        QVERIFY(rig.connected);
        QVERIFY(rig.store(picture(data)));
        QSignalSpy thumbs(rig.controller.get(), &BRX_Logic_Controller::signalThumbReceived);
        rig.controller->loadThumb(kHandle, false);
        QCOMPARE(thumbs.count(), 1);
        QCOMPARE(thumbs.first().at(2).toUInt(), kHandle);
        QCOMPARE(thumbs.first().at(3).toBool(), false);
        QCOMPARE(*rig.deliveries.at(0).data, QByteArray("small thumbnail"));
        QCOMPARE(rig.deliveries.at(0).fileName, QString("L1000016.JPG"));
        const BRX_Logic_ImageEntry* entry = rig.controller->pictureEntry(0);
        QTEST(entry->orientation(), "degrees");
        QTEST(entry->sizeClass(), "sizeClass");
        // The header is read once per picture.
        rig.controller->loadThumb(kHandle, true);
        QCOMPARE(*rig.deliveries.at(1).data, QByteArray("big thumbnail"));
        QCOMPARE(rig.count(kGetPartialObject), 1);
    }

    void sharingFetchesWhatTheChoiceAsks_data()
    {
        QTest::addColumn<quint16>("format");
        QTest::addColumn<bool>("fullRes");
        QTest::addColumn<bool>("forceDNG");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("isDng");
        QTest::newRow("JPG thumbnail") << quint16(0x3801) << false << true << "big thumbnail" << false;
        QTest::newRow("JPG full") << quint16(0x3801) << true << false << "object" << false;
        QTest::newRow("DNG thumbnail") << kDng << false << false << "big thumbnail" << false;
        QTest::newRow("DNG preview") << kDng << true << false << "large preview" << false;
        QTest::newRow("DNG forced") << kDng << false << true << "object" << true;
        QTest::newRow("DNG full forced") << kDng << true << true << "object" << true;
    }

    void sharingFetchesWhatTheChoiceAsks()
    {
        QFETCH(quint16, format);
        QFETCH(bool, fullRes);
        QFETCH(bool, forceDNG);
        QFETCH(QString, expected);
        Rig rig;
        QVERIFY(rig.store(picture(ScriptedPictures::dngPicture(1, 6000, 5000), format)));
        rig.controller->loadImageForSharing(0, fullRes, forceDNG);
        QCOMPARE(int(rig.deliveries.size()), 1);
        const QByteArray wanted = expected == "object" ? rig.pictures->data(kHandle) : expected.toLatin1();
        QCOMPARE(*rig.deliveries.at(0).data, wanted);
        QTEST(rig.deliveries.at(0).flag, "isDng");
    }

    void sharedPicturesAreTheCamerasBytes()
    {
        Rig rig(0x2031, false);
        QVERIFY(rig.connected);
        QSignalSpy end(rig.controller.get(), &BRX_Logic_Controller::signalImageDBChangeEnd);
        rig.camera->takePicture();
        QVERIFY(end.wait(kTimeoutMs));
        QVERIFY(rig.controller->pictureCount() > 0);
        for (int i = 0; i < rig.controller->pictureCount(); ++i) {
            const quint32 handle = rig.controller->pictureEntry(i)->handle();
            rig.controller->loadImageForSharing(i, true, true);
            QCOMPARE(*rig.deliveries.back().data, rig.camera->objectData(handle));
            QCOMPARE(rig.deliveries.back().flag, (handle & 0xF) == 1);
        }
    }

    void largeObjectsAreReadInChunks_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("partialReads");
        QTest::newRow("6,000,000 bytes") << 6000000 << 0;
        QTest::newRow("12,000,001 bytes") << 12000001 << 3;
    }

    void largeObjectsAreReadInChunks()
    {
        QFETCH(int, size);
        Rig rig(0x2041);
        QByteArray data = ScriptedPictures::exifPicture(1, 6000, size);
        data[size - 1] = 'e';
        QVERIFY(rig.store(picture(data)));
        rig.controller->loadImageForSharing(0, true, false);
        QTEST(rig.count(kGetPartialObject), "partialReads");
        QCOMPARE(rig.count(kGetObject), size > 6000000 ? 0 : 1);
        QVERIFY(*rig.deliveries.at(0).data == data);
    }

    void aFailingChunkEndsTheRead()
    {
        Rig rig(0x2041);
        QVERIFY(rig.store(picture(QByteArray(12000001, 'x'))));
        rig.camera->failOperation(kGetPartialObject, BRX_Commu_VirtualCameraDevice::kResponseGeneralError);
        LogCapture log;
        rig.controller->loadImageForSharing(0, true, false);
        QCOMPARE(rig.count(kGetPartialObject), 1);
        // Delivered as it came, and reported as nulled.
        QCOMPARE(rig.deliveries.at(0).data->size(), 12000001);
        QVERIFY(log.contains("--- corrupt (nulled) image transfered for image L1000016.JPG"));
    }

    void objectsOutsideTheSizeWindowAreNotTransferred_data()
    {
        QTest::addColumn<qint64>("claimedSize");
        QTest::newRow("500 bytes") << qint64(500);
        QTest::newRow("200,000,000 bytes") << qint64(200000000);
    }

    void objectsOutsideTheSizeWindowAreNotTransferred()
    {
        QFETCH(qint64, claimedSize);
        Rig rig;
        Object object = picture(QByteArray(500, 'x'));
        object.claimedSize = claimedSize;
        QVERIFY(rig.store(object));
        rig.controller->loadImageForSharing(0, true, false);
        rig.controller->loadImageForSharing(0, false, false);
        QCOMPARE(int(rig.deliveries.size()), 2);
        QVERIFY(!rig.deliveries.at(0).data && !rig.deliveries.at(1).data);
        QCOMPARE(rig.count(kGetObject) + rig.count(kGetThumb) + rig.count(kGetPartialObject), 0);
    }

    void nulledDataIsLoggedButDelivered()
    {
        Rig rig;
        QVERIFY(rig.store(picture(QByteArray(501, '\0'))));
        LogCapture log;
        rig.controller->loadImageForSharing(0, true, false);
        QCOMPARE(*rig.deliveries.at(0).data, QByteArray(501, '\0'));
        QVERIFY(log.contains("--- corrupt (nulled) image transfered for image L1000016.JPG"));
    }

    void hostileOrMissingAnswersDeliverNothing()
    {
        Rig rig;
        Object object = picture(ScriptedPictures::exifPicture(6, 4000, 2000));
        object.claimedThumbSize = 0x7FFFFF00;
        QVERIFY(rig.store(object));
        LogCapture log;
        rig.controller->loadThumb(kHandle, true);
        rig.controller->loadImageForSharing(0, false, false);
        QVERIFY(log.contains("thumbnail of 2147483392 bytes refused"));
        QCOMPARE(int(rig.deliveries.size()), 1);
        QVERIFY(!rig.deliveries.at(0).data);
        // Without an ObjectInfo there are no sizes to go on.
        rig.camera->failOperation(0x1008, BRX_Commu_VirtualCameraDevice::kResponseGeneralError);
        rig.controller->loadThumb(kHandle, true);
        rig.controller->loadImageForSharing(0, true, true);
        QCOMPARE(int(rig.deliveries.size()), 2);
        QVERIFY(!rig.deliveries.at(1).data);
        // Unknown handles and indexes.
        const int operations = rig.camera->operationLog().size();
        rig.controller->loadThumb(0x26, false);
        QCOMPARE(rig.camera->operationLog().size(), operations);
        rig.controller->loadImageForSharing(1, true, false);
        QVERIFY(!rig.deliveries.at(2).data);
        QCOMPARE(rig.count(kGetThumb), 0);
    }

    void arraysWithoutReceiverAreFreed()
    {
        Rig rig;
        QVERIFY(rig.store(picture(QByteArray(600, 'x'))));
        QObject::disconnect(rig.controller.get(), &BRX_Logic_Controller::signalThumbReceived, nullptr, nullptr);
        QObject::disconnect(rig.controller.get(), &BRX_Logic_Controller::signalImageForSharingReceived, nullptr,
                            nullptr);
        rig.controller->loadThumb(kHandle, true);
        rig.controller->loadImageForSharing(0, true, false);
        QCOMPARE(rig.count(kGetObject), 1);
    }

    void deletingOnTheCameraAndFromTheList()
    {
        Rig rig;
        QVERIFY(rig.store(picture(QByteArray(600, 'x'))));
        QSignalSpy deleted(rig.controller.get(), &BRX_Logic_Controller::signalObjectDeleted);
        rig.controller->deleteObjectFromImageDB(kHandle);
        QCOMPARE(rig.controller->pictureCount(), 0);
        QCOMPARE(rig.pictures->data(kHandle).size(), 600);
        QVERIFY(rig.controller->deleteObject(kHandle));
        QVERIFY(rig.pictures->data(kHandle).isEmpty());
        QVERIFY(!rig.controller->deleteObject(kHandle));
        rig.camera->raiseEvent(0x4003, {kHandle});
        QVERIFY(deleted.wait(kTimeoutMs));
        QCOMPARE(deleted.first().at(0).toUInt(), kHandle);
    }

    void withoutCameraNothingHappens()
    {
        BRX_Logic_Controller controller;
        QSignalSpy sharing(&controller, &BRX_Logic_Controller::signalImageForSharingReceived);
        QSignalSpy simulation(&controller, &BRX_Logic_Controller::signalHasExposureSimulation);
        controller.loadThumb(kHandle, false);
        controller.loadImageForSharing(0, true, false);
        controller.catchLiveViewGUIOpened();
        QVERIFY(!controller.deleteObject(kHandle));
        QCOMPARE(sharing.count() + simulation.count(), 0);
        QCOMPARE(controller.pictureCount(), 0);
    }

    void liveViewWindowLearnsAboutExposureSimulation()
    {
        Rig rig;
        QSignalSpy available(rig.controller.get(), &BRX_Logic_Controller::signalHasExposureSimulation);
        QSignalSpy value(rig.controller.get(), &BRX_Logic_Controller::signalExposureSimulation);
        rig.controller->catchLiveViewGUIOpened();
        QCOMPARE(available.count(), 1);
        QCOMPARE(available.first().at(0).toBool(), true);
        QCOMPARE(value.count(), 1);
        rig.controller->catchLiveViewGUIClosed();
    }
};

QTEST_GUILESS_MAIN(TestImageDelivery)
#include "tst_imagedelivery.moc"
