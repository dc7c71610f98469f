#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_ImageEntry.h"
#include "ScriptedPictures.h"
#include "VirtualCameraFixture.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const int kTimeoutMs = 10000;
const quint16 kGetObjectHandles = 0x1007;
const quint16 kObjectAdded = 0x4002;

QVector<quint32> listedHandles(const BRX_Logic_Camera& camera)
{
    QVector<quint32> result;
    for (int i = 0; i < camera.imageDBCount(); ++i)
        result.append(camera.imageDBHandle(i));
    return result;
}

// The card's handles that are pictures: all but the folder's.
QVector<quint32> pictureHandles(const BRX_Commu_VirtualCamera& device)
{
    QVector<quint32> result;
    for (quint32 handle : device.objectHandles()) {
        if ((handle & 0xF) != 3)
            result.append(handle);
    }
    return result;
}

// A camera model on a virtual camera that stores the given objects.
struct Rig {
    explicit Rig(const QVector<quint32>& handles)
        : fixture(0x2031)
        , pictures(fixture.device())
    {
        for (quint32 handle : handles)
            pictures.add(handle, ScriptedPictures::Object());
        camera.reset(new BRX_Logic_Camera(fixture.access()));
    }

    // A rebuild while the 3 s throttle runs, as a later storage change gives.
    void rebuildAgain()
    {
        camera->slotRebuildImageDB();
        camera->slotDelayedRebuildImageDB();
    }

    QVector<quint32> handles() const { return listedHandles(*camera); }

    VirtualCameraFixture fixture;
    ScriptedPictures pictures;
    std::unique_ptr<BRX_Logic_Camera> camera;
};

} // namespace

// The camera model's list of the pictures stored on the camera.
class TestImageDB : public QObject
{
    Q_OBJECT
private slots:
    void storageChangeListsPicturesOnly()
    {
        Rig rig({0x11, 0x22, 0x33, 0x46});
        QVERIFY(rig.fixture.isOpen());
        QSignalSpy begin(rig.camera.get(), &BRX_Logic_Camera::signalImageDBChangeBegin);
        QSignalSpy end(rig.camera.get(), &BRX_Logic_Camera::signalImageDBChangeEnd);
        rig.fixture.device().raiseEvent(kObjectAdded, {0x46});
        QVERIFY(end.wait(kTimeoutMs));
        QCOMPARE(begin.count(), 1);
        QCOMPARE(rig.handles(), (QVector<quint32>{0x11, 0x22, 0x46}));
        const QStringList names = {"index 3", "index 2", "index 1"};
        const QList<bool> previewable = {true, false, true};
        for (int i = 0; i < 3; ++i) {
            const BRX_Logic_ImageEntry* entry = rig.camera->imageDBEntry(i);
            QCOMPARE(entry->name(), names.at(i));
            QCOMPARE(entry->isPreviewable(), previewable.at(i));
            QVERIFY(entry->isPlaceholder());
            QCOMPARE(entry->orientation(), 360);
            QCOMPARE(rig.camera->imageDBOrientation(i), 360);
            QCOMPARE(rig.camera->imageDBIndexOfHandle(entry->handle()), i);
        }
    }

    void picturesTakenAndDeletedOnTheCameraAreFollowed()
    {
        VirtualCameraFixture fixture(0x2031);
        BRX_Logic_Camera camera(fixture.access());
        QSignalSpy end(&camera, &BRX_Logic_Camera::signalImageDBChangeEnd);
        fixture.device().takePicture();
        QVERIFY(end.wait(kTimeoutMs));
        const QVector<quint32> taken = pictureHandles(fixture.device());
        QVERIFY(!taken.isEmpty());
        QCOMPARE(listedHandles(camera), taken);
        QSignalSpy deleted(fixture.access(), &BRX_Commu_CameraAccess_Base::signalObjectDeleted);
        fixture.device().deleteObjectOnCamera(taken.last());
        QVERIFY(deleted.wait(kTimeoutMs));
        camera.slotDelayedRebuildImageDB();
        QTRY_COMPARE_WITH_TIMEOUT(listedHandles(camera), taken.mid(0, taken.size() - 1), kTimeoutMs);
    }

    void rebuildsAreThrottledToOneEveryThreeSeconds()
    {
        Rig rig({0x11});
        QSignalSpy begin(rig.camera.get(), &BRX_Logic_Camera::signalImageDBChangeBegin);
        rig.camera->slotRebuildImageDB();
        QCOMPARE(begin.count(), 1);
        // Two more requests inside the 3 s fold into one deferred rebuild.
        rig.camera->slotRebuildImageDB();
        rig.camera->slotRebuildImageDB();
        QCOMPARE(begin.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(begin.count(), 2, kTimeoutMs);
        QCOMPARE(rig.fixture.operationCount(kGetObjectHandles), 2);
        // Nothing is pending any more when the timer fires again.
        rig.camera->slotDelayedRebuildImageDB();
        QCOMPARE(begin.count(), 2);
    }

    void entriesOutliveRebuildsWhileTheirPictureExists()
    {
        Rig rig({0x11, 0x26, 0x31});
        rig.camera->slotRebuildImageDB();
        BRX_Logic_ImageEntry* kept = rig.camera->imageDBEntry(0);
        kept->setOrientation(90);
        rig.camera->imageDBEntry(1)->setImage(BRX_Logic_ImageEntry::kSecondImage, QByteArray(1000, 'x'));
        rig.camera->imageDBEntry(1)->setThumbnail("thumb");
        rig.pictures.remove(0x26);
        rig.pictures.add(0x46, ScriptedPictures::Object());
        rig.rebuildAgain();
        QCOMPARE(rig.handles(), (QVector<quint32>{0x11, 0x31, 0x46}));
        QCOMPARE(rig.camera->imageDBEntry(0), kept);
        QCOMPARE(kept->name(), QString("index 3"));
        QCOMPARE(rig.camera->imageDBOrientation(0), 90);
        QCOMPARE(rig.camera->imageDBEntry(1)->name(), QString("index 1"));
        QCOMPARE(rig.camera->imageDBEntry(2)->name(), QString("index 1"));
        QCOMPARE(rig.camera->imageDBIndexOfHandle(0x26), -1);
    }

    // A camera that lists a handle twice gets one entry for it.
    void handleListedTwiceIsOneEntry()
    {
        Rig rig({0x11, 0x26, 0x11});
        rig.camera->slotRebuildImageDB();
        BRX_Logic_ImageEntry* kept = rig.camera->imageDBEntry(0);
        rig.rebuildAgain();
        QCOMPARE(rig.handles(), (QVector<quint32>{0x11, 0x26}));
        QCOMPARE(rig.camera->imageDBEntry(0), kept);
        QCOMPARE(kept->name(), QString("index 2"));
    }

    void failedHandleRequestEmptiesTheList()
    {
        Rig rig({0x11, 0x26});
        rig.camera->slotRebuildImageDB();
        rig.camera->imageDBEntry(0)->setImage(BRX_Logic_ImageEntry::kThirdImage, QByteArray(10, 'x'));
        QSignalSpy end(rig.camera.get(), &BRX_Logic_Camera::signalImageDBChangeEnd);
        rig.fixture.device().failOperation(kGetObjectHandles, BRX_Commu_VirtualCameraDevice::kResponseGeneralError);
        rig.rebuildAgain();
        QCOMPARE(end.count(), 1);
        QCOMPARE(rig.camera->imageDBCount(), 0);
    }

    void removalByHandleIsBracketedByTheChangeSignals()
    {
        Rig rig({0x11, 0x26});
        rig.camera->slotRebuildImageDB();
        rig.camera->imageDBEntry(1)->setImage(BRX_Logic_ImageEntry::kSecondImage, QByteArray(10, 'x'));
        QSignalSpy begin(rig.camera.get(), &BRX_Logic_Camera::signalImageDBChangeBegin);
        QSignalSpy end(rig.camera.get(), &BRX_Logic_Camera::signalImageDBChangeEnd);
        QVERIFY(!rig.camera->removeFromImageDB(0x36));
        QCOMPARE(begin.count(), 0);
        QVERIFY(rig.camera->removeFromImageDB(0x26));
        QCOMPARE(begin.count(), 1);
        QCOMPARE(end.count(), 1);
        QCOMPARE(rig.handles(), QVector<quint32>{0x11});
        // Lookups outside the list answer defaults.
        QCOMPARE(rig.camera->imageDBHandle(-1), 0u);
        QCOMPARE(rig.camera->imageDBHandle(1), 0u);
        QCOMPARE(rig.camera->imageDBOrientation(1), 0);
        QVERIFY(!rig.camera->imageDBEntry(1));
        QCOMPARE(rig.camera->imageDBIndexOfHandle(0x26), -1);
    }
};

QTEST_GUILESS_MAIN(TestImageDB)
#include "tst_imagedb.moc"
