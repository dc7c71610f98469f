#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_DownloadContext.h"
#include "BRX_Logic_DownloadRetry.h"
#include "BRX_Logic_FolderSettings.h"
#include "BRX_Logic_Release.h"
#include "BRX_Logic_TransferState.h"
#include "BRX_Logic_TransferThread.h"
#include "BRX_Platform_Base.h"
#include "FakeCameraAccess.h"
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

const int kWaitMs = 60000;
const int kPictureWidth = 640;
const int kFormatDngOnly = 0;
const int kFormatPair = 1;
const int kFormatJpgOnly = 3;
const QString kThreadLeft = QStringLiteral("BRX_Logic_TransferThread::leaveQueue() - Number of active threads = ");

// The camera's files, in the order it took them (the folder left out).
QVector<quint32> fileHandles(const BRX_Commu_VirtualCamera& camera)
{
    QVector<quint32> files;
    for (quint32 handle : camera.objectHandles()) {
        if (!camera.objectFileName(handle).isEmpty() && !camera.objectData(handle).isEmpty())
            files << handle;
    }
    return files;
}

// An ObjectInfo dataset of a last picture to load with this name and sizes.
QByteArray objectInfo(const QString& name, quint32 objectSize, quint32 thumbSize = 4000)
{
    QByteArray info(8, '\0');
    BRX_Commu_ByteWriter::appendU32(info, objectSize);
    BRX_Commu_ByteWriter::appendU16(info, 0);
    BRX_Commu_ByteWriter::appendU32(info, thumbSize);
    info.append(48 - info.size(), '\0');
    BRX_Commu_ByteWriter::appendU32(info, 1);
    BRX_Commu_ByteWriter::appendPtpString(info, name);
    return info;
}

// GetObjectInfo answers with this name and these sizes instead of the
// camera's own dataset.
void serveObjectInfo(BRX_Commu_VirtualCamera& camera, const QString& name, quint32 objectSize,
                     quint32 thumbSize = 4000)
{
    const QByteArray info = objectInfo(name, objectSize, thumbSize);
    camera.setCustomOperation(Access::kOpGetObjectInfo, Device::kDataIn,
                              [info](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                  *in = info;
                                  return quint16(Device::kResponseOK);
                              });
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
    Rig(int productId, int fileFormat)
        : fixture(productId)
    {
        camera.reset(new BRX_Logic_Camera(fixture.access()));
        camera->setFileFormat(fileFormat);
        // Small pictures: what is checked is the records, not the pixels.
        fixture.device().setPictureWidth(kPictureWidth);
        frames.attach(*camera);
        events.connectTo(*camera);
    }
    // True once that many downloads have ended.
    static bool waitForDownloads(const LogCapture& log, int threads)
    {
        return QTest::qWaitFor([&] { return log.count(kThreadLeft) == threads; }, kWaitMs);
    }

    // Takes count pictures and, once they are on the card, asks for each of
    // their files.
    bool shoot(int count = 1)
    {
        const int before = device().pendingTransfers();
        for (int i = 0; i < count; ++i)
            device().takePicture();
        if (!fixture.picturesWritten())
            return false;
        for (int i = before; i < device().pendingTransfers(); ++i)
            camera->transferRequest();
        return true;
    }
    // The burst's last signal arrived, the host was never told of loading,
    // and the camera model is ready for the next picture.
    bool idleAfterBurst() const
    {
        return QTest::qWaitFor([this] { return events.burstEnded(); }, kWaitMs) &&
               events.loading == QList<bool>{false} && !camera->isTransferInProgress() &&
               !camera->isReleaseInProgress();
    }
    BRX_Commu_VirtualCamera& device() { return fixture.device(); }
    QByteArray file(int index) { return device().objectData(fileHandles(device()).value(index)); }

    VirtualCameraFixture fixture;
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
    void hostileFileNamesAreReplaced_data();
    void hostileFileNamesAreReplaced();
    void missingFolderFallsBackToPictures();
    void thumbnailKinds_data();
    void thumbnailKinds();
    void orientationSources_data();
    void orientationSources();
    void failedDownloads_data();
    void failedDownloads();
    void destructionWithQueuedThreads_data();
    void destructionWithQueuedThreads();
    void downloadRunsOnItsContext();
};

void TestTransferThread::recordsOfOneDownload_data()
{
    QTest::addColumn<int>("fileFormat");
    QTest::addColumn<bool>("quickView");
    QTest::addColumn<int>("pictures");
    QTest::addColumn<Types>("types");
    QTest::newRow("DNG, one after the other") << kFormatDngOnly << false << 2 << Types{2, 4, 2, 4};
    QTest::newRow("DNG, quick view") << kFormatDngOnly << true << 1 << Types{8, 0, 1, 2, 4};
    QTest::newRow("JPG") << kFormatJpgOnly << false << 1 << Types{3, 5};
    QTest::newRow("JPG, quick view") << kFormatJpgOnly << true << 1 << Types{8, 0, 1, 3, 5};
}

void TestTransferThread::recordsOfOneDownload()
{
    QFETCH(int, fileFormat);
    QFETCH(bool, quickView);
    QFETCH(int, pictures);
    QFETCH(Types, types);
    LogCapture log;
    Rig rig(0x2031, fileFormat);
    rig.camera->setWantQuickView(quickView);
    rig.device().setPictureOrientation(6);
    QVERIFY(rig.shoot(pictures));
    QVERIFY(Rig::waitForDownloads(log, pictures));
    QCOMPARE(rig.frames.types(), types);
    const bool isJpg = types.contains(Thread::kFrameJpg);
    for (int i = 0; i < pictures; ++i)
        QCOMPARE(rig.frames.bytesOf(isJpg ? Thread::kFrameJpg : Thread::kFrameDng, i), rig.file(i));
    if (quickView) {
        const QByteArray name = rig.device().objectFileName(fileHandles(rig.device()).first()).toLatin1();
        QCOMPARE(rig.frames.bytesOf(Thread::kFrameFileName) + (isJpg ? ".JPG" : ".DNG"), name);
        QCOMPARE(rig.frames.bytesOf(Thread::kFrameOrientation), QByteArray::fromHex("06000000"));
        QCOMPARE(rig.frames.bytesOf(Thread::kFrameThumbnail).size(), 4000);
        QVERIFY(log.contains("BRX_Logic_TransferThread::parseOrientation() - parse Exif for orientation: 6"));
    }
    QCOMPARE(rig.device().pendingTransfers(), 0);
    QCOMPARE(rig.camera->pictureIndex(), 1 + pictures);
    // The example shows the next picture's name.
    QVERIFY(rig.camera->pictureExampleFileName().endsWith(
        QString("Picture%1%2").arg(1 + pictures, 5, 10, QChar('0')).arg(isJpg ? ".JPG" : ".DNG")));
    QVERIFY(rig.idleAfterBurst());
    QList<int> remaining;
    for (int left = pictures; left >= 0; --left)
        remaining << left;
    QCOMPARE(rig.events.remaining, remaining);
    QCOMPARE(rig.events.dngDone, pictures);
    QCOMPARE(rig.events.fileNumber, pictures);
}

// The second file of a pair neither shows a quick view nor takes a new number.
void TestTransferThread::pairSharesOneNumber_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<Types>("types");
    QTest::newRow("DNG first") << 0x2031 << Types{8, 0, 1, 2, 4, 3, 5};
    QTest::newRow("JPG first") << 0x2041 << Types{8, 0, 1, 3, 5, 2, 4};
}

void TestTransferThread::pairSharesOneNumber()
{
    QFETCH(int, productId);
    QFETCH(Types, types);
    LogCapture log;
    Rig rig(productId, kFormatPair);
    rig.camera->setWantQuickView(true);
    rig.camera->setPictureIndex(7);
    const int firstData = types.at(4);
    rig.frames.holdAt(firstData);
    QVERIFY(rig.shoot());
    QTRY_COMPARE_WITH_TIMEOUT(rig.frames.countOf(firstData), 1, kWaitMs);
    QCOMPARE(rig.camera->pictureIndex(), 7);
    rig.frames.release();
    QVERIFY(Rig::waitForDownloads(log, 2));
    QCOMPARE(rig.camera->pictureIndex(), 8);
    QCOMPARE(rig.frames.types(), types);
    QCOMPARE(rig.frames.bytesOf(firstData), rig.file(0));
    QVERIFY(rig.idleAfterBurst());
    QCOMPARE(rig.events.remaining, (QList<int>{2, 1, 0}));
    QCOMPARE(rig.events.fileNumber, 1);
    QCOMPARE(rig.events.dngDone, 1);
}

void TestTransferThread::indexStopsAt99999()
{
    LogCapture log;
    Rig rig(0x2031, kFormatDngOnly);
    rig.camera->setPictureIndex(99999);
    QVERIFY(rig.shoot());
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.camera->pictureIndex(), 99999);
    QVERIFY(rig.camera->pictureExampleFileName().endsWith("Picture99999.DNG"));
    QVERIFY(rig.idleAfterBurst());
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
    rig.device().takePicture();
    QVERIFY(rig.fixture.picturesWritten());
    serveObjectInfo(rig.device(), fileName, quint32(rig.file(0).size()));
    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.frames.types(), types);
    QCOMPARE(rig.frames.records().last().bytes, rig.file(0));
    QCOMPARE(rig.camera->pictureIndex(), index);
    const bool unrecognised = index == 1;
    QCOMPARE(log.contains("BRX_Logic_TransferThread::targetFolder() - Exception! File not JPG or DNG: " + fileName),
             unrecognised);
    // The broken-data name has no extension, so the example turns to JPG.
    QVERIFY(rig.camera->pictureExampleFileName().endsWith(".JPG"));
}

// The camera's file name reaches the host only as a plain file name; any
// other is replaced by the name the picture's number gives.
void TestTransferThread::hostileFileNamesAreReplaced_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("shown");
    const QByteArray replaced("Picture00001");
    QTest::newRow("plain") << "BRX_0001.JPG" << QByteArray("BRX_0001");
    // The longest name an object's information carries.
    QTest::newRow("49 characters") << QString(45, 'A') + ".JPG" << QByteArray(45, 'A');
    QTest::newRow("Latin-1") << QString::fromLatin1("Bild\xe4_1.JPG") << QByteArray("Bild\xe4_1");
    QTest::newRow("parent folder") << "../Y0001.JPG" << replaced;
    QTest::newRow("dots inside") << "Y..0001.JPG" << replaced;
    QTest::newRow("absolute") << "/etc/x" << replaced;
    QTest::newRow("backslashes") << "..\\..\\Y0001.JPG" << replaced;
    QTest::newRow("drive") << "C:Y0001.JPG" << replaced;
    QTest::newRow("hidden") << ".Y0001.JPG" << replaced;
    QTest::newRow("control bytes") << QString::fromLatin1("BRX\n0001\x01.JPG") << replaced;
    QTest::newRow("longer") << QString(61, 'A') + ".JPG" << replaced;
    QTest::newRow("not Latin-1") << QString::fromUtf8("\xce\xa9_0001.JPG") << replaced;
    QTest::newRow("empty") << QString() << replaced;
}

void TestTransferThread::hostileFileNamesAreReplaced()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, shown);
    LogCapture log;
    Rig rig(0x2031, kFormatJpgOnly);
    rig.camera->setWantQuickView(true);
    rig.device().takePicture();
    QVERIFY(rig.fixture.picturesWritten());
    serveObjectInfo(rig.device(), fileName, quint32(rig.file(0).size()));
    rig.camera->transferRequest();
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.frames.bytesOf(Thread::kFrameFileName), shown);
    QCOMPARE(log.count("is not a plain file name"), shown == "Picture00001" ? 1 : 0);
    QCOMPARE(rig.frames.records().last().bytes, rig.file(0));
}

void TestTransferThread::missingFolderFallsBackToPictures()
{
    QTemporaryDir jpgFolder;
    LogCapture log;
    Rig rig(0x2031, kFormatPair);
    rig.camera->setDngPath(jpgFolder.path() + "/gone");
    rig.camera->setJpgPath(jpgFolder.path());
    QVERIFY(rig.shoot());
    QVERIFY(Rig::waitForDownloads(log, 2));
    QCOMPARE(rig.camera->dngPath(), QDir::toNativeSeparators(BRX_Platform_Base::getPicturesFolder()));
    QCOMPARE(rig.camera->jpgPath(), QDir::toNativeSeparators(jpgFolder.path()));
}

void TestTransferThread::thumbnailKinds_data()
{
    QTest::addColumn<quint32>("bigThumbnail");
    QTest::addColumn<int>("objectInfoReads");
    QTest::addColumn<int>("thumbnailSize");
    QTest::newRow("big thumbnail") << 16000u << 1 << 16000;
    QTest::newRow("no big thumbnail") << 0u << 2 << 4000;
}

// The product with a second thumbnail kind falls back to the small one.
void TestTransferThread::thumbnailKinds()
{
    QFETCH(quint32, bigThumbnail);
    QFETCH(int, objectInfoReads);
    QFETCH(int, thumbnailSize);
    LogCapture log;
    Rig rig(0x2041, kFormatDngOnly);
    rig.camera->setWantQuickView(true);
    rig.device().setThumbnailSize(1, bigThumbnail);
    QVERIFY(rig.shoot());
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.fixture.operationCount(Access::kOpGetObjectInfo), objectInfoReads);
    QCOMPARE(rig.frames.bytesOf(Thread::kFrameThumbnail).size(), thumbnailSize);
}

void TestTransferThread::orientationSources_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("headReads");
    QTest::newRow("object property") << 0x2061 << 0;
    QTest::newRow("Exif header") << 0x2031 << 1;
}

// A camera with object properties is asked; the others' pictures are parsed
// from their head alone: the picture crosses the link once, for the download.
void TestTransferThread::orientationSources()
{
    QFETCH(int, productId);
    QFETCH(int, headReads);
    LogCapture log;
    Rig rig(productId, kFormatJpgOnly);
    rig.camera->setWantQuickView(true);
    rig.device().setPictureOrientation(8);
    QVERIFY(rig.shoot());
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.frames.bytesOf(Thread::kFrameOrientation), QByteArray::fromHex("08000000"));
    QCOMPARE(rig.fixture.operationCount(Access::kOpGetObject), 1);
    QCOMPARE(rig.fixture.operationCount(Access::kOpGetPartialObject), headReads);
    QCOMPARE(log.contains("parse Exif for orientation: 8"), headReads == 1);
}

enum Fault { kObjectInfoFails, kObjectInfoFailsOnce, kHugeObject, kObjectOverLimit, kHugeThumbnail, kShortObject,
             kUnplugDuringObject };
Q_DECLARE_METATYPE(Fault)

void TestTransferThread::failedDownloads_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Types>("types");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("object information fails")
        << kObjectInfoFails << Types{2, 6} << 1 << "BRX_Logic_TransferThread::readObjectInfo() - object information not received";
    QTest::newRow("object information fails once") << kObjectInfoFailsOnce << Types{8, 0, 1, 2, 4} << 2 << "";
    QTest::newRow("object of 0xFFFFFFFF bytes")
        << kHugeObject << Types{8, 0, 1, 2, 6} << 2 << "BRX_Logic_ObjectReader::allocate() - object of 4294967295 bytes refused";
    QTest::newRow("object of 256 MiB and a byte")
        << kObjectOverLimit << Types{8, 0, 1, 2, 6} << 2 << "BRX_Logic_ObjectReader::allocate() - object of 268435457 bytes refused";
    QTest::newRow("thumbnail of 0xFFFFFFFF bytes")
        << kHugeThumbnail << Types{2, 4} << 2 << "BRX_Logic_ObjectReader::allocate() - thumbnail of 4294967295 bytes refused";
    QTest::newRow("object shorter than announced")
        << kShortObject << Types{8, 0, 1, 2, 6} << 2
        << "BRX_Logic_DownloadRetry::fetchObject() - picture BRX_0001.DNG not had whole: 300000 of 300100 bytes after 3 attempts";
    QTest::newRow("unplugged during the download") << kUnplugDuringObject << Types{8, 0, 1, 2, 6} << 2 << "";
}

// Whatever fails, the host hears of it, never gets a picture short of its
// announced size, and the camera's transfer state is put back as after a
// good download; what fails once is read again.
void TestTransferThread::failedDownloads()
{
    QFETCH(Fault, fault);
    QFETCH(Types, types);
    QFETCH(int, index);
    QFETCH(QString, logLine);
    LogCapture log;
    Rig rig(0x2031, kFormatDngOnly);
    rig.camera->setWantQuickView(true);
    const QString name = QStringLiteral("BRX_0001.DNG");
    // The size the log line names.
    rig.device().setPictureSizes(300000, 0);
    rig.device().takePicture();
    QVERIFY(rig.fixture.picturesWritten());
    switch (fault) {
    case kObjectInfoFails:
        rig.device().failOperation(Access::kOpGetObjectInfo, Device::kResponseGeneralError);
        break;
    case kObjectInfoFailsOnce:
        rig.device().failOperation(Access::kOpGetObjectInfo, Device::kResponseGeneralError, 1);
        break;
    case kHugeObject:
        serveObjectInfo(rig.device(), name, 0xFFFFFFFF);
        break;
    case kObjectOverLimit:
        serveObjectInfo(rig.device(), name, 0x10000001);
        break;
    case kShortObject:
        serveObjectInfo(rig.device(), name, quint32(rig.file(0).size()) + 100);
        break;
    case kHugeThumbnail:
        serveObjectInfo(rig.device(), name, quint32(rig.file(0).size()), 0xFFFFFFFF);
        break;
    case kUnplugDuringObject:
        rig.frames.holdAt(Thread::kFrameDngStarts);
        break;
    }
    rig.camera->transferRequest();
    if (fault == kUnplugDuringObject) {
        QTRY_COMPARE_WITH_TIMEOUT(rig.frames.countOf(Thread::kFrameDngStarts), 1, kWaitMs);
        rig.device().unplugOnOperation(Access::kOpGetObject);
        rig.frames.release();
    }
    QVERIFY(Rig::waitForDownloads(log, 1));
    QCOMPARE(rig.frames.types(), types);
    QCOMPARE(rig.camera->pictureIndex(), index);
    if (!logLine.isEmpty())
        QVERIFY(log.contains(logLine));
    QCOMPARE(rig.fixture.operationCount(Access::kOpGetThumb), types.count(Thread::kFrameThumbnail));
    QVERIFY(rig.idleAfterBurst());
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
    rig.device().setPictureSizes(2000, 1000);
    rig.frames.holdAt(Thread::kFrameDngStarts);
    QVERIFY(rig.shoot(3));
    QTRY_VERIFY_WITH_TIMEOUT(log.contains("enterQueue() - Number of active threads = 3"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(rig.frames.count(), 1, kWaitMs);
    if (unplug)
        rig.device().setPlugged(false);
    // Runs inside the destructor's wait, which keeps the event loop turning.
    QTimer::singleShot(0, &rig.events, [&rig] { rig.frames.release(); });
    rig.camera.reset();
    QCOMPARE(rig.frames.types(), types);
    if (!unplug)
        QCOMPARE(rig.frames.bytesOf(Thread::kFrameDng, 2), rig.file(2));
    QCOMPARE(log.count(kThreadLeft + "0"), 1);
    QCOMPARE(log.count("BRX_Logic_TransferThread::~BRX_Logic_TransferThread() - deleted automatically"), 3);
}

// A download needs nothing but its context, no camera model: it names the
// picture, hands it over, signals what it learned and puts the shared state
// back, addressing the camera's pending object throughout.
void TestTransferThread::downloadRunsOnItsContext()
{
    QTemporaryDir folder;
    const QByteArray picture(3000, 'P');
    FakeCameraAccess access(0x2031);
    access.script(Access::kOpGetObjectInfo, FakeCameraAccess::ok(objectInfo("BRX_0007.JPG", quint32(picture.size()))));
    access.script(Access::kOpGetObject, FakeCameraAccess::ok(picture));
    std::mutex communication;
    BRX_Logic_DownloadRetry downloads(access, false);
    BRX_Logic_TransferState transfer;
    BRX_Logic_Release release(access, communication, {[] { return 0.0; }, [](int, int&) { return true; }, {}});
    BRX_Logic_FolderSettings folders;
    folders.setJpgPath(folder.path());
    std::recursive_mutex foldersLock;
    FrameRecorder frames;
    int settingsSent = 0;
    BRX_Logic_DownloadContext context;
    context.access = &access;
    context.downloads = &downloads;
    context.transfer = &transfer;
    context.release = &release;
    context.folders = &folders;
    context.foldersLock = &foldersLock;
    context.fileFormat = [] { return kFormatJpgOnly; };
    context.sendSettings = [&settingsSent] { ++settingsSent; };
    context.deliver = [&frames](int type, const void* data, unsigned int size) {
        FrameRecorder::callback(&frames, type, data, size);
    };
    release.state().pictureAnnounced();

    Thread thread(context);
    QSignalSpy remaining(&thread, &Thread::signalRemainingToLoad);
    QSignalSpy numbered(&thread, &Thread::signalFileNameAndNumber);
    QSignalSpy done(&thread, &Thread::signalDngTransferDone);
    thread.start();
    QVERIFY(thread.wait(kWaitMs));

    QCOMPARE(frames.types(), (Types{Thread::kFrameJpgStarts, Thread::kFrameJpg}));
    QCOMPARE(frames.bytesOf(Thread::kFrameJpg), picture);
    QCOMPARE(folders.pictureIndex(), 2);
    QCOMPARE(folders.cameraFileName(), QString("BRX_0007.JPG"));
    QVERIFY(folders.pictureExampleFileName().endsWith("Picture00002.JPG"));
    QCOMPARE(settingsSent, 1);
    QCOMPARE(remaining.count(), 1);
    QCOMPARE(remaining.first().first().toInt(), 1);
    QCOMPARE(numbered.count(), 1);
    QCOMPARE(done.count(), 1);
    QVERIFY(!transfer.isInProgress());
    QCOMPARE(release.state().activeDownloads(), 0);
    QVERIFY(!release.state().isInProgress());
    for (const FakeCameraAccess::Transaction& transaction : access.transactions) {
        if (transaction.opCode == Access::kOpGetObjectInfo || transaction.opCode == Access::kOpGetObject)
            QCOMPARE(transaction.params.value(0), Thread::kPendingObjectHandle);
    }
}

QTEST_GUILESS_MAIN(TestTransferThread)
#include "tst_transferthread.moc"
