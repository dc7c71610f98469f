#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_TransferThread.h"
#include "BRX_Platform_Base.h"
#include "FrameRecorder.h"
#include "LogCapture.h"
#include "VirtualCameraFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <mutex>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;
typedef BRX_Commu_VirtualCameraDevice Device;
typedef BRX_Logic_TransferThread Thread;
typedef QList<int> Types;

const int kWaitMs = 20000;
const int kFormatDngOnly = 0;
const int kFormatPair = 1;
const int kFormatJpgOnly = 3;
const QString kThreadLeft = QStringLiteral("BRX_Logic_TransferThread::leaveQueue() - Number of active threads = ");

void putU16(QByteArray& data, int offset, quint16 value)
{
    data[offset] = char(value & 0xFF);
    data[offset + 1] = char(value >> 8);
}

void putU32(QByteArray& data, int offset, quint32 value)
{
    putU16(data, offset, quint16(value & 0xFFFF));
    putU16(data, offset + 2, quint16(value >> 16));
}

QByteArray u16Array(const QVector<quint16>& codes)
{
    QByteArray data(4 + 2 * codes.size(), '\0');
    putU32(data, 0, quint32(codes.size()));
    for (int i = 0; i < codes.size(); ++i)
        putU16(data, 4 + 2 * i, codes[i]);
    return data;
}

// A DNG starts with a big-endian TIFF header, a JPG with an Exif segment
// whose TIFF header is little-endian; both carry Orientation = orientation.
QByteArray pictureBytes(bool dng, quint8 orientation, int size)
{
    QByteArray head = dng ? QByteArray::fromHex("4D4D002A00000008" "0112000300000001") + char(0) + char(orientation)
                          : QByteArray::fromHex("FFD8FFE10100457869660000" "49492A0008000000"
                                                "1201030001000000") + char(orientation) + char(0);
    for (int i = head.size(); i < size; ++i)
        head.append(char(i * 7));
    return head;
}

// The camera's pending objects behind the pending-object handle: GetObjectInfo,
// GetObject and GetThumb serve the head of the queue, TransferObjectReady
// drops it. The camera runs the handlers on the downloading thread.
class PendingFiles
{
public:
    explicit PendingFiles(BRX_Commu_VirtualCamera& camera) : m_state(std::make_shared<State>())
    {
        auto state = m_state;
        camera.setCustomOperation(Access::kOpGetObjectInfo, Device::kDataIn,
                                  [state](const QVector<quint32>& params, const QByteArray&, QByteArray* in) {
                                      return state->objectInfo(int(params.value(1)), in);
                                  });
        camera.setCustomOperation(Access::kOpGetObject, Device::kDataIn,
                                  [state](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                      return state->object(in);
                                  });
        camera.setCustomOperation(Access::kOpGetThumb, Device::kDataIn,
                                  [state](const QVector<quint32>& params, const QByteArray&, QByteArray* in) {
                                      return state->thumbnail(int(params.value(1)), in);
                                  });
        camera.setCustomOperation(Access::kOpTransferObjectReady, Device::kNoData,
                                  [state](const QVector<quint32>&, const QByteArray&, QByteArray*) {
                                      std::lock_guard<std::mutex> locker(state->mutex);
                                      if (!state->files.isEmpty())
                                          state->files.removeFirst();
                                      return quint16(Device::kOK);
                                  });
    }

    template <typename F>
    auto locked(F f) const
    {
        std::lock_guard<std::mutex> locker(m_state->mutex);
        return f();
    }
    void add(const QString& name, const QByteArray& data)
    {
        locked([&] { m_state->files.append({name, data}); });
    }
    // Sizes the dataset announces instead of the real ones.
    void announceObjectSize(quint32 size) { locked([&] { m_state->announcedObjectSize = size; }); }
    void announceThumbnailSize(int kind, quint32 size) { locked([&] { m_state->thumbSizes[kind] = size; }); }
    QVector<int> objectInfoKinds() const { return locked([&] { return m_state->objectInfoKinds; }); }
    QVector<int> thumbnailKinds() const { return locked([&] { return m_state->thumbnailKinds; }); }
    int pending() const { return locked([&] { return m_state->files.size(); }); }

private:
    struct File {
        QString name;
        QByteArray data;
    };
    struct State {
        std::mutex mutex;
        QList<File> files;
        quint32 announcedObjectSize = 0;
        QHash<int, quint32> thumbSizes{{0, 160}, {1, 640}};
        QVector<int> objectInfoKinds;
        QVector<int> thumbnailKinds;

        quint16 objectInfo(int kind, QByteArray* in)
        {
            std::lock_guard<std::mutex> locker(mutex);
            objectInfoKinds << kind;
            if (files.isEmpty())
                return Device::kGeneralError;
            const File& file = files.first();
            QByteArray data(53 + 2 * (file.name.size() + 1), '\0');
            putU32(data, 8, announcedObjectSize ? announcedObjectSize : quint32(file.data.size()));
            putU32(data, 14, thumbSizes.value(kind));
            putU32(data, 48, quint32(files.size()));
            data[52] = char(file.name.size() + 1);
            for (int i = 0; i < file.name.size(); ++i)
                putU16(data, 53 + 2 * i, file.name.at(i).unicode());
            *in = data;
            return Device::kOK;
        }
        quint16 object(QByteArray* in)
        {
            std::lock_guard<std::mutex> locker(mutex);
            if (files.isEmpty())
                return Device::kGeneralError;
            *in = files.first().data;
            return Device::kOK;
        }
        quint16 thumbnail(int kind, QByteArray* in)
        {
            std::lock_guard<std::mutex> locker(mutex);
            thumbnailKinds << kind;
            *in = QByteArray(int(thumbSizes.value(kind)), char('a' + kind));
            return Device::kOK;
        }
    };
    std::shared_ptr<State> m_state;
};

// The camera's own DeviceInfo with the two object-property operations added.
QByteArray deviceInfoWithObjectProps(int productId)
{
    QByteArray info = BRX_Commu_VirtualCameraProfile::deviceInfo(productId);
    const int operations = 8 + 1 + 2 * quint8(info.at(8)) + 2;
    const quint32 count = quint8(info.at(operations)) | quint32(quint8(info.at(operations + 1))) << 8;
    QByteArray added(4, '\0');
    putU16(added, 0, Access::kOpGetObjectPropsSupported);
    putU16(added, 2, Access::kOpGetObjectPropValue);
    info.insert(operations + 4 + 2 * int(count), added);
    putU32(info, operations, count + 2);
    return info;
}

// The camera signals a download emits, collected on the test's thread; the
// connections end with this object.
struct TransferSignals : QObject {
    QList<int> remaining;
    QList<bool> loading;
    int dngDone = 0;
    int fileNumber = 0;

    void connectTo(BRX_Logic_Camera& camera)
    {
        connect(&camera, &BRX_Logic_Camera::signalRemainingToLoad, this, [this](int value) { remaining << value; });
        connect(&camera, &BRX_Logic_Camera::signalLoading, this, [this](bool value) { loading << value; });
        connect(&camera, &BRX_Logic_Camera::signalDngTransferDone, this, [this] { ++dngDone; });
        connect(&camera, &BRX_Logic_Camera::signalFileNameAndNumber, this, [this] { ++fileNumber; });
    }
    // The last signal of a burst has arrived.
    bool burstEnded() const { return !remaining.isEmpty() && remaining.last() == 0; }
};

// A camera model over a virtual camera whose pictures are scripted.
struct Rig {
    // objectProps: the camera offers the object-property operations.
    Rig(int productId, int fileFormat, bool objectProps = false)
        : fixture(productId)
        , files(fixture.device())
    {
        if (objectProps) {
            const QByteArray info = deviceInfoWithObjectProps(productId);
            fixture.device().setCustomOperation(Access::kOpGetDeviceInfo, Device::kDataIn,
                                                [info](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                                    *in = info;
                                                    return quint16(Device::kOK);
                                                });
        }
        camera.reset(new BRX_Logic_Camera(fixture.access()));
        camera->setFileFormat(fileFormat);
        frames.attach(*camera);
        events.connectTo(*camera);
    }
    // True once that many downloads have ended.
    static bool waitForDownloads(const LogCapture& log, int threads)
    {
        return QTest::qWaitFor([&] { return log.count(kThreadLeft) == threads; }, kWaitMs);
    }

    VirtualCameraFixture fixture;
    PendingFiles files;
    FrameRecorder frames;
    TransferSignals events;
    std::unique_ptr<BRX_Logic_Camera> camera;
};

}  // namespace

Q_DECLARE_METATYPE(Types)

class TestTransferThread : public QObject
{
    Q_OBJECT
private slots:
    void init() { setDebugFlags(kDebugHousekeeping | kDebugTransfer, true); }
    void cleanup() { setDebugFlags(kDebugHousekeeping | kDebugTransfer, false); }

    void recordsOfOneDownload_data();
    void recordsOfOneDownload();
    void pairSharesOneNumber_data();
    void pairSharesOneNumber();
    void indexStopsAt99999();
    void unrecognisedFiles_data();
    void unrecognisedFiles();
    void missingFolderFallsBackToPictures();
    void missingLargeThumbnailTakesOrdinaryOne();
    void orientationFromObjectProperty_data();
    void orientationFromObjectProperty();
    void requestsDownloadOneAfterTheOther();
    void failedDownloads_data();
    void failedDownloads();
    void destructionWithQueuedThreads_data();
    void destructionWithQueuedThreads();
};

void TestTransferThread::recordsOfOneDownload_data()
{
    QTest::addColumn<int>("fileFormat");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("quickView");
    QTest::addColumn<Types>("types");
    QTest::newRow("DNG") << kFormatDngOnly << "BRX_0001.DNG" << false << Types{2, 4};
    QTest::newRow("DNG, quick view") << kFormatDngOnly << "BRX_0001.DNG" << true << Types{8, 0, 1, 2, 4};
    QTest::newRow("JPG") << kFormatJpgOnly << "BRX_0001.JPG" << false << Types{3, 5};
    QTest::newRow("JPG, quick view") << kFormatJpgOnly << "BRX_0001.JPG" << true << Types{8, 0, 1, 3, 5};
}

void TestTransferThread::recordsOfOneDownload()
{
    QFETCH(int, fileFormat);
    QFETCH(QString, fileName);
    QFETCH(bool, quickView);
    QFETCH(Types, types);
    LogCapture log;
    Rig rig(0x2031, fileFormat);
    const bool dng = fileName.endsWith(".DNG");
    const QByteArray picture = pictureBytes(dng, 6, 5000);
    rig.files.add(fileName, picture);
    rig.camera->setWantQuickView(quickView);

    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.frames.types(), types);
    QCOMPARE(rig.frames.bytesOf(dng ? Thread::kFrameDng : Thread::kFrameJpg), picture);
    if (quickView) {
        QCOMPARE(rig.frames.bytesOf(Thread::kFrameFileName), QByteArray("BRX_0001"));
        QCOMPARE(rig.frames.bytesOf(Thread::kFrameOrientation), QByteArray::fromHex("06000000"));
        QCOMPARE(rig.frames.bytesOf(Thread::kFrameThumbnail), QByteArray(160, 'a'));
        QVERIFY(log.contains("BRX_Logic_TransferThread::parseOrientation() - parse Exif for orientation: 6"));
    }
    QCOMPARE(rig.files.pending(), 0);
    QCOMPARE(rig.camera->pictureIndex(), 2);
    QCOMPARE(rig.camera->pictureName(), QStringLiteral("Picture"));
    QTRY_VERIFY(rig.events.burstEnded());
    QCOMPARE(rig.events.loading, QList<bool>{false});
    QCOMPARE(rig.events.remaining, (QList<int>{1, 0}));
    QCOMPARE(rig.events.dngDone, 1);
    QCOMPARE(rig.events.fileNumber, 1);
    QVERIFY(!rig.camera->isTransferInProgress());
    QVERIFY(!rig.camera->isReleaseInProgress());
}

// The second file of a pair neither shows a quick view nor takes a new number.
void TestTransferThread::pairSharesOneNumber_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<QStringList>("arrival");
    QTest::addColumn<Types>("types");
    QTest::newRow("DNG first") << 0x2031 << QStringList{"BRX_0001.DNG", "BRX_0001.JPG"}
                               << Types{8, 0, 1, 2, 4, 3, 5};
    QTest::newRow("JPG first") << 0x2041 << QStringList{"BRX_0001.JPG", "BRX_0001.DNG"}
                               << Types{8, 0, 1, 3, 5, 2, 4};
}

void TestTransferThread::pairSharesOneNumber()
{
    QFETCH(int, productId);
    QFETCH(QStringList, arrival);
    QFETCH(Types, types);
    LogCapture log;
    Rig rig(productId, kFormatPair);
    rig.camera->setWantQuickView(true);
    rig.camera->setPictureIndex(7);
    for (const QString& name : arrival)
        rig.files.add(name, pictureBytes(name.endsWith(".DNG"), 1, 3000));

    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.camera->pictureIndex(), 7);
    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 2));
    QCOMPARE(rig.camera->pictureIndex(), 8);
    QCOMPARE(rig.frames.types(), types);
    QTRY_VERIFY(rig.events.burstEnded());
    QCOMPARE(rig.events.fileNumber, 1);
    QCOMPARE(rig.events.dngDone, 1);
    QCOMPARE(rig.events.loading, QList<bool>{false});
}

void TestTransferThread::indexStopsAt99999()
{
    LogCapture log;
    Rig rig(0x2031, kFormatDngOnly);
    rig.camera->setPictureIndex(99999);
    rig.files.add("BRX_0001.DNG", pictureBytes(true, 1, 100));
    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.camera->pictureIndex(), 99999);
    QVERIFY(rig.camera->pictureExampleFileName().endsWith("Picture99999.DNG"));
    QTRY_VERIFY(rig.events.burstEnded());
    QCOMPARE(rig.events.fileNumber, 0);
}

void TestTransferThread::unrecognisedFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<Types>("types");
    QTest::addColumn<int>("index");
    QTest::newRow("TIF") << "BRX_0001.TIF" << Types{2, 4} << 1;
    QTest::newRow("no dot") << "BRX_0001" << Types{2, 4} << 1;
    QTest::newRow("empty extension") << "BRX_0001." << Types{2, 4} << 1;
    QTest::newRow("lower-case jpg") << "brx_0001.jpg" << Types{3, 5} << 2;
}

void TestTransferThread::unrecognisedFiles()
{
    QFETCH(QString, fileName);
    QFETCH(Types, types);
    QFETCH(int, index);
    LogCapture log;
    Rig rig(0x2031, kFormatDngOnly);
    rig.camera->setPictureExampleFileFormat(eVQFileFormat(kFormatDngOnly));
    rig.files.add(fileName, pictureBytes(false, 1, 700));
    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.frames.types(), types);
    QCOMPARE(rig.frames.records().last().size, 700u);
    QCOMPARE(rig.camera->pictureIndex(), index);
    const bool unrecognised = index == 1;
    QCOMPARE(log.contains("BRX_Logic_TransferThread::targetFolder() - Exception! File not JPG or DNG: " + fileName),
             unrecognised);
    // The broken-data name has no extension, so the example turns to JPG.
    QVERIFY(rig.camera->pictureExampleFileName().endsWith(".JPG"));
}

void TestTransferThread::missingFolderFallsBackToPictures()
{
    QTemporaryDir jpgFolder;
    LogCapture log;
    Rig rig(0x2031, kFormatPair);
    rig.camera->setDngPath(jpgFolder.path() + "/gone");
    rig.camera->setJpgPath(jpgFolder.path());
    rig.files.add("BRX_0001.DNG", pictureBytes(true, 1, 300));
    rig.files.add("BRX_0001.JPG", pictureBytes(false, 1, 300));
    rig.camera->transferRequest();
    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 2));
    QCOMPARE(rig.camera->dngPath(), QDir::toNativeSeparators(BRX_Platform_Base::getPicturesFolder()));
    QCOMPARE(rig.camera->jpgPath(), QDir::toNativeSeparators(jpgFolder.path()));
}

void TestTransferThread::missingLargeThumbnailTakesOrdinaryOne()
{
    LogCapture log;
    Rig rig(0x2041, kFormatDngOnly);
    rig.camera->setWantQuickView(true);
    rig.files.announceThumbnailSize(1, 0);
    rig.files.add("BRX_0001.DNG", pictureBytes(true, 3, 2000));
    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.files.objectInfoKinds(), (QVector<int>{1, 0}));
    QCOMPARE(rig.files.thumbnailKinds(), QVector<int>{0});
    QCOMPARE(rig.frames.bytesOf(Thread::kFrameThumbnail), QByteArray(160, 'a'));
    QCOMPARE(rig.frames.bytesOf(Thread::kFrameOrientation), QByteArray::fromHex("03000000"));
}

void TestTransferThread::orientationFromObjectProperty_data()
{
    QTest::addColumn<QVector<quint16>>("listed");
    QTest::addColumn<QByteArray>("orientation");
    QTest::newRow("listed") << QVector<quint16>{0xDC01, 0xD800} << QByteArray::fromHex("08000000");
    QTest::newRow("not listed") << QVector<quint16>{0xDC01} << QByteArray::fromHex("06000000");
}

// The camera's own orientation value wins over the picture's Exif entry.
void TestTransferThread::orientationFromObjectProperty()
{
    QFETCH(QVector<quint16>, listed);
    QFETCH(QByteArray, orientation);
    LogCapture log;
    Rig rig(0x2041, kFormatJpgOnly, true);
    const QByteArray props = u16Array(listed);
    QVector<quint32> formats;
    rig.fixture.device().setCustomOperation(
        Access::kOpGetObjectPropsSupported, Device::kDataIn,
        [props, &formats](const QVector<quint32>& params, const QByteArray&, QByteArray* in) {
            formats << params.value(0);
            *in = props;
            return quint16(Device::kOK);
        });
    rig.fixture.device().setCustomOperation(
        Access::kOpGetObjectPropValue, Device::kDataIn,
        [](const QVector<quint32>& params, const QByteArray&, QByteArray* in) {
            *in = QByteArray::fromHex("0800");
            return quint16(params.value(1) == 0xD800 && params.value(0) == Thread::kPendingObjectHandle
                               ? Device::kOK
                               : Device::kInvalidParameter);
        });
    rig.camera->setWantQuickView(true);
    rig.files.add("BRX_0001.JPG", pictureBytes(false, 6, 2500));
    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.frames.bytesOf(Thread::kFrameOrientation), orientation);
    QCOMPARE(formats, QVector<quint32>{0x3801});
    // Only the property spares the read of the picture's head.
    QCOMPARE(rig.fixture.operationCount(Access::kOpGetObject), listed.contains(0xD800) ? 1 : 2);
}

void TestTransferThread::requestsDownloadOneAfterTheOther()
{
    LogCapture log;
    Rig rig(0x2031, kFormatDngOnly);
    const QByteArray first = pictureBytes(true, 1, 4000);
    const QByteArray second = pictureBytes(true, 8, 6000);
    rig.files.add("BRX_0001.DNG", first);
    rig.files.add("BRX_0002.DNG", second);
    rig.camera->transferRequest();
    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 2));
    QCOMPARE(rig.frames.types(), (Types{2, 4, 2, 4}));
    QCOMPARE(rig.frames.bytesOf(Thread::kFrameDng, 0), first);
    QCOMPARE(rig.frames.bytesOf(Thread::kFrameDng, 1), second);
    QCOMPARE(rig.camera->pictureIndex(), 3);
    QTRY_VERIFY(rig.events.burstEnded());
    QCOMPARE(rig.events.remaining, (QList<int>{2, 1, 0}));
    QCOMPARE(rig.events.loading, QList<bool>{false});
    QVERIFY(!rig.camera->isTransferInProgress());
    QVERIFY(!rig.camera->isReleaseInProgress());
}

enum Fault { kObjectInfoFails, kHugeObject, kObjectOver2GB, kHugeThumbnail, kUnplugDuringObject };
Q_DECLARE_METATYPE(Fault)

void TestTransferThread::failedDownloads_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Types>("types");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("object information fails")
        << kObjectInfoFails << Types{2, 6} << 1 << "readObjectInfo() - object information not received";
    QTest::newRow("object of 0xFFFFFFFF bytes")
        << kHugeObject << Types{8, 0, 1, 2, 6} << 2 << "allocate() - object of 4294967295 bytes refused";
    QTest::newRow("object of 2 GiB")
        << kObjectOver2GB << Types{8, 0, 1, 2, 6} << 2 << "allocate() - object of 2147483648 bytes refused";
    QTest::newRow("thumbnail of 0xFFFFFFFF bytes")
        << kHugeThumbnail << Types{2, 4} << 2 << "allocate() - thumbnail of 4294967295 bytes refused";
    QTest::newRow("unplugged during the download") << kUnplugDuringObject << Types{8, 0, 1, 2, 6} << 2 << "";
}

// Whatever fails, the host hears of it and the camera's transfer state is
// put back as after a good download.
void TestTransferThread::failedDownloads()
{
    QFETCH(Fault, fault);
    QFETCH(Types, types);
    QFETCH(int, index);
    QFETCH(QString, logLine);
    LogCapture log;
    Rig rig(0x2031, kFormatDngOnly);
    rig.camera->setWantQuickView(true);
    rig.files.add("BRX_0001.DNG", pictureBytes(true, 1, 900));
    switch (fault) {
    case kObjectInfoFails:
        rig.fixture.device().failOperation(Access::kOpGetObjectInfo, Device::kGeneralError);
        break;
    case kHugeObject:
        rig.files.announceObjectSize(0xFFFFFFFF);
        break;
    case kObjectOver2GB:
        rig.files.announceObjectSize(0x80000000);
        break;
    case kHugeThumbnail:
        rig.files.announceThumbnailSize(0, 0xFFFFFFFF);
        break;
    case kUnplugDuringObject:
        // The first GetObject reads the picture's head for its orientation.
        rig.frames.holdAt(Thread::kFrameDngStarts);
        break;
    }
    rig.camera->transferRequest();
    if (fault == kUnplugDuringObject) {
        QTRY_COMPARE_WITH_TIMEOUT(rig.frames.countOf(Thread::kFrameDngStarts), 1, kWaitMs);
        rig.fixture.device().unplugOnOperation(Access::kOpGetObject);
        rig.frames.release();
    }
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.frames.types(), types);
    QCOMPARE(rig.camera->pictureIndex(), index);
    if (!logLine.isEmpty())
        QVERIFY(log.contains("BRX_Logic_TransferThread::" + logLine));
    QCOMPARE(rig.files.thumbnailKinds().isEmpty(), !types.contains(Thread::kFrameThumbnail));
    QTRY_VERIFY(rig.events.burstEnded());
    QCOMPARE(rig.events.loading, QList<bool>{false});
    QCOMPARE(rig.events.remaining.last(), 0);
    QVERIFY(!rig.camera->isTransferInProgress());
    QVERIFY(!rig.camera->isReleaseInProgress());
}

void TestTransferThread::destructionWithQueuedThreads_data()
{
    QTest::addColumn<bool>("unplug");
    QTest::addColumn<Types>("types");
    QTest::newRow("camera stays") << false << Types{2, 4, 2, 4, 2, 4};
    QTest::newRow("camera unplugged meanwhile") << true << Types{2, 6, 2, 6, 2, 6};
}

// The first download is held while two more wait for the mutex; the camera
// is destroyed meanwhile and lets every queued download finish first.
void TestTransferThread::destructionWithQueuedThreads()
{
    QFETCH(bool, unplug);
    QFETCH(Types, types);
    LogCapture log;
    Rig rig(0x2031, kFormatDngOnly);
    for (int i = 1; i <= 3; ++i)
        rig.files.add(QStringLiteral("BRX_000%1.DNG").arg(i), pictureBytes(true, 1, 1000 * i));
    rig.frames.holdAt(Thread::kFrameDngStarts);
    for (int i = 0; i < 3; ++i)
        rig.camera->transferRequest();
    QTRY_VERIFY_WITH_TIMEOUT(log.contains("enterQueue() - Number of active threads = 3"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(rig.frames.count(), 1, kWaitMs);
    if (unplug)
        rig.fixture.device().setPlugged(false);
    // Runs inside the destructor's wait, which keeps the event loop turning.
    QTimer::singleShot(0, this, [&rig] { rig.frames.release(); });
    rig.camera.reset();
    QCOMPARE(rig.frames.types(), types);
    QCOMPARE(log.count(kThreadLeft + "0"), 1);
    QCOMPARE(log.count("BRX_Logic_TransferThread::~BRX_Logic_TransferThread() - deleted automatically"), 3);
}

QTEST_GUILESS_MAIN(TestTransferThread)
#include "tst_transferthread.moc"
