#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraLink.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Commu_VirtualCameraWriter.h"
#include "JpegLayout.h"
#include "LogCapture.h"
#include "VirtualCameraFixture.h"

#include <QtTest>

#include <chrono>
#include <memory>
#include <mutex>

namespace {

const quint32 kPending = 0x12345678;
const quint32 kFolder = 0x13;
const quint32 kInfoSize = 154;

struct ObjectInfo {
    quint32 storage = 0;
    quint16 format = 0;
    quint32 size = 0;
    quint32 thumbSize = 0;
    quint32 parent = 0;
    quint32 sequence = 0;
    QString fileName;
};

bool readObjectInfo(BRX_Commu_CameraAccess_Base& access, quint32 handle, int kind, ObjectInfo* info)
{
    QByteArray buffer(kInfoSize, '\0');
    if (!access.getObjectInfo(buffer.data(), kInfoSize, kind, handle))
        return false;
    BRX_Commu_ByteReader reader(buffer.constData(), kInfoSize);
    info->storage = reader.readU32At(0);
    info->format = reader.readU16At(4);
    info->size = reader.readU32At(8);
    info->thumbSize = reader.readU32At(14);
    info->parent = reader.readU32At(38);
    info->sequence = reader.readU32At(48);
    const quint8 count = reader.readU8At(52);
    info->fileName.clear();
    for (quint32 i = 0; i + 1 < count; ++i)
        info->fileName += QChar(reader.readU16At(53 + 2 * i));
    return true;
}

QVector<quint32> uint32Array(const QByteArray& buffer)
{
    BRX_Commu_ByteReader reader(buffer.constData(), quint32(buffer.size()));
    QVector<quint32> values;
    const quint32 count = reader.readU32At(0);
    for (quint32 i = 0; i < count && reader.ok(); ++i)
        values << reader.readU32At(4 + 4 * i);
    return values;
}

QVector<quint32> hostHandles(BRX_Commu_CameraAccess_Base& access, uint storage = 0xFFFFFFFF)
{
    QByteArray buffer(1024, '\0');
    if (!access.getObjectHandles(buffer.data(), 1024, storage))
        return {};
    return uint32Array(buffer);
}

QStringList fileNames(const BRX_Commu_VirtualCamera& camera)
{
    QStringList names;
    for (quint32 handle : camera.objectHandles())
        if (handle != kFolder)
            names << camera.objectFileName(handle);
    return names;
}

// File format and mirror-up where each family keeps them: in the settings
// block for struct products, as device properties for the others.
bool configure(VirtualCameraFixture& fixture, int fileFormat, bool mirrorUp)
{
    BRX_Commu_CameraAccess_Base& access = *fixture.access();
    if (!BRX_Commu_ProductFamily::hasSettingsBlock(access.productId()))
        return access.setDevicePropFileFormat(quint32(fileFormat)) && access.setDevicePropMirrorUpMode(mirrorUp);
    QByteArray block = fixture.device().settingsBlock();
    block[0x0f] = char(fileFormat);
    block[0x09] = char(mirrorUp);
    return access.setCameraSettings(block.constData(), quint32(block.size()));
}

// The value SHORT entry tag carries in a TIFF header, found as a host finds it.
int tiffShort(const QByteArray& data, quint16 tag, bool bigEndian)
{
    QByteArray entry;
    for (quint16 field : {tag, quint16(3)}) {
        entry.append(char(bigEndian ? field >> 8 : field & 0xFF));
        entry.append(char(bigEndian ? field & 0xFF : field >> 8));
    }
    entry.append(bigEndian ? QByteArray("\0\0\0\1", 4) : QByteArray("\1\0\0\0", 4));
    const int at = data.indexOf(entry);
    if (at < 0)
        return -1;
    const quint8 first = quint8(data.at(at + 8));
    const quint8 second = quint8(data.at(at + 9));
    return bigEndian ? (first << 8) | second : (second << 8) | first;
}

} // namespace

class TestVirtualCameraPictures : public QObject
{
    Q_OBJECT
private slots:
    // Taking pictures
    void fileFormatGivesFiles_data();
    void fileFormatGivesFiles();
    void releasesGivePictures_data();
    void releasesGivePictures();
    void seriesShootsWhileHeld_data();
    void seriesShootsWhileHeld();
    void pictureFaults();

    // Serving them
    void objectInfoFollowsTransferQueue();
    void thumbnails_data();
    void thumbnails();
    void pictureBytes_data();
    void pictureBytes();
    void partialObject_data();
    void partialObject();
    void largeObjectThroughEveryLinkQuirk_data();
    void largeObjectThroughEveryLinkQuirk();
    void unknownHandlesFailCleanly();
    void handlesAndStorages();
    void objectProperties_data();
    void objectProperties();

    // The card's life
    void deleteRaisesObjectRemoved();
    void cardSurvivesUnplugQueueDoesNot();

    // Writing to the card
    void releaseAnswersBeforeTheCardHasThePicture_data();
    void releaseAnswersBeforeTheCardHasThePicture();
    void writingTakesTheCardsTime_data();
    void writingTakesTheCardsTime();
    void picturesReachTheCardWhenTheHostIsGone_data();
    void picturesReachTheCardWhenTheHostIsGone();
    void destroyedWhileWriting();
    void reusedFilesAreRenamedForEachPicture();
};

void TestVirtualCameraPictures::fileFormatGivesFiles_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("fileFormat");
    QTest::addColumn<QStringList>("files");
    const QStringList dng{"BRX_0001.DNG"};
    const QStringList jpg{"BRX_0001.JPG"};
    const QStringList pair{"BRX_0001.DNG", "BRX_0001.JPG"};
    const QStringList jpgFirst{"BRX_0001.JPG", "BRX_0001.DNG"};
    for (int format = 0; format <= 5; ++format)
        QTest::addRow("0x2009 format %d", format)
            << 0x2009 << format << (format == 1 || format == 2 ? pair : format == 3 || format == 4 ? jpg : dng);
    QTest::newRow("0x2021 pair") << 0x2021 << 1 << pair;
    QTest::newRow("0x2031 pair") << 0x2031 << 1 << pair;
    QTest::newRow("0x2031 JPG") << 0x2031 << 3 << jpg;
    QTest::newRow("0x2041 pair, JPG first") << 0x2041 << 1 << jpgFirst;
    QTest::newRow("0x2041 DNG") << 0x2041 << 0 << dng;
    QTest::newRow("0x2061 pair, by InitiateCapture") << 0x2061 << 1 << pair;
}

// Each file is announced as added, then offered for transfer, in file order.
void TestVirtualCameraPictures::fileFormatGivesFiles()
{
    QFETCH(int, productId);
    QFETCH(int, fileFormat);
    QFETCH(QStringList, files);
    QStringList signalled;
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, fileFormat, false));
    QObject::connect(fixture.access(), &BRX_Commu_CameraAccess_Base::signalUpdateImageDB,
                     [&] { signalled << "added"; });
    QObject::connect(fixture.access(), &BRX_Commu_CameraAccess_Base::signalTransferRequest,
                     [&] { signalled << "transfer"; });
    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.picturesWritten());

    QCOMPARE(fileNames(fixture.device()), files);
    QCOMPARE(fixture.device().pendingTransfers(), files.size());
    for (quint32 handle : fixture.device().objectHandles().mid(1)) {
        const bool isJpg = fixture.device().objectFileName(handle).endsWith(".JPG");
        QCOMPARE(handle & 0xF, isJpg ? 6u : 1u);
    }
    QStringList expected;
    for (int i = 0; i < files.size(); ++i)
        expected << "added" << "transfer";
    QTRY_COMPARE(signalled, expected);
}

void TestVirtualCameraPictures::releasesGivePictures_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<bool>("mirrorUp");
    QTest::addColumn<QVector<int>>("stages");
    QTest::addColumn<int>("pictures");
    for (int productId : {0x2009, 0x2031, 0x2061}) {
        const QByteArray p = "0x" + QByteArray::number(productId, 16) + " ";
        QTest::newRow(p + "single") << productId << false << QVector<int>{0} << 1;
        QTest::newRow(p + "bulb open only") << productId << false << QVector<int>{7} << 0;
        QTest::newRow(p + "bulb") << productId << false << QVector<int>{7, 8} << 1;
        QTest::newRow(p + "series let go at once") << productId << false << QVector<int>{12, 13} << 1;
        QTest::newRow(p + "series started twice") << productId << false << QVector<int>{12, 12, 13, 13} << 1;
        QTest::newRow(p + "stop without series") << productId << false << QVector<int>{13} << 0;
        QTest::newRow(p + "autofocus") << productId << false << QVector<int>{1, 2} << 0;
        QTest::newRow(p + "mirror raised") << productId << true << QVector<int>{0} << 0;
        QTest::newRow(p + "mirror up, release") << productId << true << QVector<int>{0, 0} << 1;
        QTest::newRow(p + "mirror up, two pictures") << productId << true << QVector<int>{0, 0, 0, 0} << 2;
    }
    QTest::newRow("0x2021 has no mirror-up") << 0x2021 << true << QVector<int>{0} << 1;
}

void TestVirtualCameraPictures::releasesGivePictures()
{
    QFETCH(int, productId);
    QFETCH(bool, mirrorUp);
    QFETCH(QVector<int>, stages);
    QFETCH(int, pictures);
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, 0, mirrorUp));
    fixture.device().useManualClock();
    for (int stage : stages)
        QVERIFY(fixture.access()->releaseCam(stage));
    QVERIFY(fixture.picturesWritten());
    QCOMPARE(fixture.device().objectHandles().size(), 1 + pictures);
    QCOMPARE(fixture.device().pendingTransfers(), pictures);
}

void TestVirtualCameraPictures::seriesShootsWhileHeld_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("interval");
    QTest::newRow("0x2009") << 0x2009 << 333;
    QTest::newRow("0x2061") << 0x2061 << 100;
}

// One picture at the press, one per interval held, none after the stop; the
// pictures are announced as they are taken.
void TestVirtualCameraPictures::seriesShootsWhileHeld()
{
    QFETCH(int, productId);
    QFETCH(int, interval);
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, 3, false));
    BRX_Commu_VirtualCamera& camera = fixture.device();
    camera.useManualClock();
    QSignalSpy announced(fixture.access(), &BRX_Commu_CameraAccess_Base::signalTransferRequest);
    QVERIFY(fixture.access()->releaseCam(12));
    camera.advanceClock(2 * interval - 1);
    QVERIFY(camera.isSeriesRunning());
    QTRY_COMPARE(announced.count(), 2);
    camera.advanceClock(1);
    QTRY_COMPARE(announced.count(), 3);
    QVERIFY(fixture.access()->releaseCam(13));
    camera.advanceClock(10 * interval);
    QVERIFY(!camera.isSeriesRunning());
    QVERIFY(fixture.picturesWritten());
    QCOMPARE(camera.pendingTransfers(), 3);
}

// The faults a download test injects: a failure once, a shot dropped, a
// burst that promises more than comes, a short data phase (whose bytes the
// host counts); and a card that keeps few pictures.
void TestVirtualCameraPictures::pictureFaults()
{
    VirtualCameraFixture fixture(0x2031);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, 3, false));
    BRX_Commu_VirtualCamera& camera = fixture.device();
    camera.dropNextShot();
    QVERIFY(fixture.access()->releaseCam(0));
    QCOMPARE(camera.pendingTransfers(), 0);

    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.picturesWritten());
    camera.promiseMorePictures(2);
    ObjectInfo info;
    QVERIFY(readObjectInfo(*fixture.access(), kPending, 0, &info));
    QCOMPARE(info.sequence, 3u);
    camera.failOperation(0x1009, BRX_Commu_VirtualCameraDevice::kResponseGeneralError, 1);
    QByteArray data(int(info.size), '\0');
    QVERIFY(!fixture.access()->getObject(data.data(), info.size, kPending));
    QVERIFY(fixture.access()->getObject(data.data(), info.size, kPending));
    QCOMPARE(data, camera.objectData(kPending));
    // A data phase cut short, with or without a length the host can check.
    for (int quirks : {0, int(BRX_Commu_VirtualCameraLink::kUnknownDataLength)}) {
        camera.setQuirks(quirks);
        camera.truncateNextDataPhase(1000);
        quint32 received = 0;
        QCOMPARE(fixture.access()->getObject(data.data(), info.size, kPending, &received), quirks != 0);
        QCOMPARE(received, 1000u);
    }
    camera.setQuirks(0);
    camera.cutNextData(0x1009, 1000);
    quint32 received = 0;
    QVERIFY(fixture.access()->getObject(data.data(), info.size, kPending, &received));
    QCOMPARE(received, 1000u);
    QVERIFY(fixture.access()->transferObjectReady());

    camera.setPicturesKept(2);
    for (int i = 0; i < 3; ++i)
        QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.picturesWritten());
    // The queued picture stays until it is fetched.
    QCOMPARE(fileNames(camera), QStringList({"BRX_0002.JPG", "BRX_0003.JPG", "BRX_0004.JPG"}));
    while (camera.pendingTransfers() > 0)
        QVERIFY(fixture.access()->transferObjectReady());
    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.picturesWritten());
    QCOMPARE(fileNames(camera), QStringList({"BRX_0004.JPG", "BRX_0005.JPG"}));
}

// SequenceNumber counts the queued files down as the host acknowledges them;
// the pending handle then stops addressing anything.
void TestVirtualCameraPictures::objectInfoFollowsTransferQueue()
{
    VirtualCameraFixture fixture(0x2031);
    QVERIFY(fixture.isOpen());
    fixture.device().useManualClock();
    QVERIFY(fixture.access()->releaseCam(12));
    fixture.device().advanceClock(fixture.device().seriesInterval());
    QVERIFY(fixture.access()->releaseCam(13));
    QVERIFY(fixture.picturesWritten());
    const QStringList expected{"BRX_0001.DNG", "BRX_0001.JPG", "BRX_0002.DNG", "BRX_0002.JPG"};
    ObjectInfo info;
    for (int i = 0; i < expected.size(); ++i) {
        QVERIFY(readObjectInfo(*fixture.access(), kPending, 0, &info));
        QCOMPARE(info.fileName, expected.at(i));
        QCOMPARE(info.sequence, quint32(expected.size() - i));
        QCOMPARE(info.format, quint16(info.fileName.endsWith("DNG") ? 0x3802 : 0x3801));
        QCOMPARE(info.size, quint32(fixture.device().objectData(kPending).size()));
        QCOMPARE(info.storage, 0x00010001u);
        QCOMPARE(info.parent, kFolder);
        QVERIFY(fixture.access()->transferObjectReady());
    }
    QVERIFY(!readObjectInfo(*fixture.access(), kPending, 0, &info));
    QVERIFY(fixture.access()->transferObjectReady());
    QVERIFY(readObjectInfo(*fixture.access(), fixture.device().objectHandles().at(1), 0, &info));
    QCOMPARE(info.sequence, 0u);
    QCOMPARE(info.fileName, QString("BRX_0001.DNG"));
}

void TestVirtualCameraPictures::thumbnails_data()
{
    QTest::addColumn<int>("fileFormat");
    QTest::addColumn<int>("kind");
    QTest::addColumn<quint32>("size");
    QTest::addColumn<bool>("exact");
    QTest::newRow("DNG small") << 0 << 0 << 1111u << true;
    QTest::newRow("DNG big") << 0 << 1 << 2222u << true;
    QTest::newRow("DNG large preview is its own") << 0 << 2 << 0u << false;
    QTest::newRow("JPG small") << 3 << 0 << 1111u << true;
    QTest::newRow("JPG large preview is its big one") << 3 << 2 << 2222u << true;
    QTest::newRow("too small for a picture: the smallest") << 0 << 1 << 400u << false;
    QTest::newRow("big thumbnail of size 0") << 0 << 1 << 0u << true;
}

// Each a whole picture, grown to its size by comments where it is smaller.
void TestVirtualCameraPictures::thumbnails()
{
    QFETCH(int, fileFormat);
    QFETCH(int, kind);
    QFETCH(quint32, size);
    QFETCH(bool, exact);
    VirtualCameraFixture fixture(0x2009);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, fileFormat, false));
    fixture.device().setThumbnailSize(0, 1111);
    fixture.device().setThumbnailSize(1, 2222);
    if (size < 1111)
        fixture.device().setThumbnailSize(kind, size);
    fixture.device().takePicture();
    QVERIFY(fixture.picturesWritten());

    ObjectInfo info;
    QVERIFY(readObjectInfo(*fixture.access(), kPending, kind, &info));
    if (exact)
        QCOMPARE(info.thumbSize, size);
    QVERIFY(info.thumbSize >= size);
    QByteArray thumbnail(int(info.thumbSize) + 16, 'X');
    const bool read = fixture.access()->getThumbnail(thumbnail.data(), quint32(thumbnail.size()), kind, kPending);
    QCOMPARE(read, info.thumbSize > 0);
    if (info.thumbSize > 0) {
        QCOMPARE(thumbnail.mid(int(info.thumbSize) - 2), QByteArray("\xFF\xD9") + QByteArray(16, '\0'));
        const JpegLayout layout(thumbnail.left(int(info.thumbSize)));
        QVERIFY2(layout.isValid(), layout.error());
    }
}

void TestVirtualCameraPictures::pictureBytes_data()
{
    QTest::addColumn<int>("fileFormat");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("width");
    QTest::newRow("DNG") << 0 << 6 << 600;
    QTest::newRow("DNG rotated the other way") << 0 << 8 << 300;
    QTest::newRow("JPG") << 3 << 3 << 480;
}

// GetObject gives the stored bytes, whose head carries the orientation
// where a host looks for it; the pictures are as wide as asked, 3:2.
void TestVirtualCameraPictures::pictureBytes()
{
    QFETCH(int, fileFormat);
    QFETCH(int, orientation);
    QFETCH(int, width);
    VirtualCameraFixture fixture(0x2009);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, fileFormat, false));
    fixture.device().setPictureOrientation(orientation);
    fixture.device().setPictureWidth(width);
    fixture.device().takePicture();
    fixture.device().takePicture();
    QVERIFY(fixture.picturesWritten());
    const QVector<quint32> handles = fixture.device().objectHandles();
    const QByteArray stored = fixture.device().objectData(handles.at(2));
    QVERIFY(stored != fixture.device().objectData(handles.at(1)));

    QByteArray fetched(stored.size(), 'X');
    QVERIFY(fixture.access()->getObject(fetched.data(), quint32(fetched.size()), handles.at(2)));
    QCOMPARE(fetched, stored);
    QByteArray buffer(kInfoSize, '\0');
    QVERIFY(fixture.access()->getObjectInfo(buffer.data(), kInfoSize, 0, handles.at(2)));
    BRX_Commu_ByteReader reader(buffer.constData(), kInfoSize);
    QCOMPARE(reader.readU32At(26), quint32(width));
    QCOMPARE(reader.readU32At(30), quint32(width * 2 / 3));
    const bool isDng = fileFormat == 0;
    QVERIFY(stored.startsWith(isDng ? QByteArray("II\x2A\0\x08\0\0\0", 8) : QByteArray("\xFF\xD8\xFF\xE1")));
    if (!isDng) {
        QCOMPARE(stored.mid(6, 8), QByteArray("Exif\0\0II", 8));
        // The picture, ending the file.
        const JpegLayout layout(stored);
        QVERIFY2(layout.isValid(), layout.error());
        QCOMPARE(layout.width(), width);
        QCOMPARE(layout.end(), stored.size());
    }
    QCOMPARE(tiffShort(stored.left(1024), 0x0112, false), orientation);
}

const int kPartialObjectSize = 50000;

void TestVirtualCameraPictures::partialObject_data()
{
    const int size = kPartialObjectSize;
    QTest::addColumn<quint32>("offset");
    QTest::addColumn<quint32>("maxBytes");
    QTest::addColumn<int>("served");
    QTest::newRow("start") << 0u << 1000u << 1000;
    QTest::newRow("middle, odd size") << 40001u << 4097u << 4097;
    QTest::newRow("the last byte") << quint32(size - 1) << 100u << 1;
    QTest::newRow("less left than asked") << quint32(size - 10) << 1000u << 10;
    QTest::newRow("at the end") << quint32(size) << 10u << -1;
    QTest::newRow("past the end") << quint32(size + 5) << 10u << -1;
}

void TestVirtualCameraPictures::partialObject()
{
    QFETCH(quint32, offset);
    QFETCH(quint32, maxBytes);
    QFETCH(int, served);
    VirtualCameraFixture fixture(0x2009);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, 3, false));
    fixture.device().setPictureSizes(0, kPartialObjectSize);
    fixture.device().takePicture();
    QVERIFY(fixture.picturesWritten());
    const QByteArray stored = fixture.device().objectData(kPending);
    QCOMPARE(stored.size(), kPartialObjectSize);

    QByteArray buffer(int(maxBytes), 'X');
    const bool ok = fixture.access()->getPartialObject(buffer.data(), maxBytes, offset, kPending);
    QCOMPARE(ok, served >= 0);
    if (ok)
        QCOMPARE(buffer, stored.mid(int(offset), served) + QByteArray(int(maxBytes) - served, '\0'));
}

void TestVirtualCameraPictures::largeObjectThroughEveryLinkQuirk_data()
{
    typedef BRX_Commu_VirtualCameraLink Link;
    QTest::addColumn<int>("quirks");
    QTest::addColumn<quint32>("size");
    // 512 * 4000 - 12: the data container fills whole packets.
    for (quint32 size : {2048000u - 12u, 2000017u}) {
        const QByteArray s = QByteArray::number(size);
        QTest::newRow("plain " + s) << 0 << size;
        QTest::newRow("header in own packet " + s) << int(Link::kHeaderInOwnPacket) << size;
        QTest::newRow("response glued " + s) << int(Link::kResponseGlued) << size;
        QTest::newRow("no zero-length packet " + s) << int(Link::kNoZeroLengthPacket) << size;
        QTest::newRow("unknown data length " + s) << int(Link::kUnknownDataLength) << size;
    }
}

// The data phase is sent from the stored bytes in parts; every way of
// framing it must hand the host the same bytes and keep the next
// transaction in step.
void TestVirtualCameraPictures::largeObjectThroughEveryLinkQuirk()
{
    QFETCH(int, quirks);
    QFETCH(quint32, size);
    VirtualCameraFixture fixture(0x2009);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, 0, false));
    fixture.device().setPictureSizes(size, 1000);
    fixture.device().takePicture();
    QVERIFY(fixture.picturesWritten());
    fixture.device().setQuirks(quirks);
    QByteArray fetched(int(size), '\0');
    QVERIFY(fixture.access()->getObject(fetched.data(), size, kPending));
    QVERIFY(fetched == fixture.device().objectData(kPending));
    QVERIFY(fixture.access()->transferObjectReady());
    QCOMPARE(fixture.device().pendingTransfers(), 0);
    QCOMPARE(fixture.device().protocolErrors(), 0);
}

void TestVirtualCameraPictures::unknownHandlesFailCleanly()
{
    VirtualCameraFixture fixture(0x2041);
    QVERIFY(fixture.isOpen());
    LogCapture log;
    QByteArray buffer(kInfoSize, 'X');
    for (quint32 handle : {kPending, 0x999u}) {
        QVERIFY(!fixture.access()->getObjectInfo(buffer.data(), kInfoSize, 0, handle));
        QVERIFY(!fixture.access()->getObject(buffer.data(), kInfoSize, handle));
        QVERIFY(!fixture.access()->getThumbnail(buffer.data(), kInfoSize, 0, handle));
        QVERIFY(!fixture.access()->getPartialObject(buffer.data(), kInfoSize, 0, handle));
        QVERIFY(!fixture.access()->getObjectPropValue(buffer.data(), 2, 0xD800, handle));
    }
    QCOMPARE(buffer, QByteArray(kInfoSize, '\0'));
    QCOMPARE(log.count("MTP Response code: 0x00002009"), 10);
    QVERIFY(fixture.access()->transferObjectReady());
}

void TestVirtualCameraPictures::handlesAndStorages()
{
    VirtualCameraFixture fixture(0x2031);
    QVERIFY(fixture.isOpen());
    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(configure(fixture, 3, false));
    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.picturesWritten());
    const QVector<quint32> handles{kFolder, 0x21, 0x36, 0x46};
    QCOMPARE(fixture.device().objectHandles(), handles);
    QCOMPARE(hostHandles(*fixture.access()), handles);
    QCOMPARE(hostHandles(*fixture.access(), 0x00010001), handles);
    QVERIFY(hostHandles(*fixture.access(), 0x00020001).isEmpty());
    QCOMPARE(fileNames(fixture.device()), QStringList({"BRX_0001.DNG", "BRX_0001.JPG", "BRX_0002.JPG"}));
    QByteArray storages(64, '\0');
    QVERIFY(fixture.access()->getStorageIDs(storages.data(), 64));
    QCOMPARE(uint32Array(storages), QVector<quint32>{0x00010001});
    ObjectInfo folder;
    QVERIFY(readObjectInfo(*fixture.access(), kFolder, 0, &folder));
    QCOMPARE(folder.format, quint16(0x3001));
}

void TestVirtualCameraPictures::objectProperties_data()
{
    QTest::addColumn<int>("productId");
    QTest::addColumn<bool>("supported");
    QTest::newRow("0x2041") << 0x2041 << true;
    QTest::newRow("0x2061") << 0x2061 << true;
    QTest::newRow("0x2031") << 0x2031 << false;
    QTest::newRow("0x2011") << 0x2011 << false;
}

void TestVirtualCameraPictures::objectProperties()
{
    QFETCH(int, productId);
    QFETCH(bool, supported);
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    fixture.device().setPictureOrientation(8);
    fixture.device().takePicture();
    QVERIFY(fixture.picturesWritten());
    QByteArray props(64, '\0');
    QCOMPARE(fixture.access()->getObjectPropsSupported(props.data(), 64, 0x3801), supported);
    QByteArray value(4, 'X');
    QCOMPARE(fixture.access()->getObjectPropValue(value.data(), 4, 0xD800, kPending), supported);
    if (!supported)
        return;
    BRX_Commu_ByteReader reader(props.constData(), 64);
    QCOMPARE(reader.readU32At(0), 1u);
    QCOMPARE(reader.readU16At(4), quint16(0xD800));
    QCOMPARE(value, QByteArray("\x08\0\0\0", 4));
    QVERIFY(!fixture.access()->getObjectPropValue(value.data(), 4, 0xD801, kPending));
}

void TestVirtualCameraPictures::deleteRaisesObjectRemoved()
{
    VirtualCameraFixture fixture(0x2009);
    QVERIFY(fixture.isOpen());
    fixture.device().takePicture();
    QVERIFY(fixture.picturesWritten());
    const QVector<quint32> handles = fixture.device().objectHandles();
    QCOMPARE(handles.size(), 3);
    QSignalSpy removed(fixture.access(), &BRX_Commu_CameraAccess_Base::signalObjectDeleted);
    QVERIFY(removed.isValid());

    QVERIFY(fixture.access()->deleteObject(handles.at(1)));
    QTRY_COMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(0).toUInt(), handles.at(1));
    QVERIFY(fixture.device().objectData(handles.at(1)).isEmpty());
    QCOMPARE(fixture.device().pendingTransfers(), 1);
    QCOMPARE(fixture.device().objectFileName(kPending), QString("BRX_0001.JPG"));
    QVERIFY(!fixture.access()->deleteObject(handles.at(1)));
    QVERIFY(!fixture.access()->deleteObject(kFolder));

    fixture.device().deleteObjectOnCamera(handles.at(2));
    QTRY_COMPARE(removed.count(), 2);
    QCOMPARE(removed.at(1).at(0).toUInt(), handles.at(2));
    QCOMPARE(fixture.device().objectHandles(), QVector<quint32>{kFolder});
    QCOMPARE(fixture.device().pendingTransfers(), 0);
}

void TestVirtualCameraPictures::cardSurvivesUnplugQueueDoesNot()
{
    VirtualCameraFixture fixture(0x2009);
    QVERIFY(fixture.isOpen());
    fixture.device().takePicture();
    QVERIFY(fixture.picturesWritten());
    fixture.device().setPlugged(false);
    QCOMPARE(fixture.device().pendingTransfers(), 0);
    fixture.device().takePicture();
    QVERIFY(fixture.picturesWritten());
    QCOMPARE(fixture.device().pendingTransfers(), 0);
    QCOMPARE(fileNames(fixture.device()),
             QStringList({"BRX_0001.DNG", "BRX_0001.JPG", "BRX_0002.DNG", "BRX_0002.JPG"}));
    fixture.device().setPlugged(true);
    QCOMPARE(fixture.device().objectHandles().size(), 5);
    QCOMPARE(fixture.device().pendingTransfers(), 0);
}

namespace {

// A struct product released by the vendor operation, with the slowest card,
// and a device-property product released by InitiateCapture, the fastest.
void addReleasesAndCards()
{
    QTest::addColumn<int>("productId");
    QTest::newRow("0x2009, vendor release, slowest card") << 0x2009;
    QTest::newRow("0x2061, InitiateCapture, fastest card") << 0x2061;
}

} // namespace

void TestVirtualCameraPictures::releaseAnswersBeforeTheCardHasThePicture_data()
{
    addReleasesAndCards();
}

// Until its files are written, nothing of a picture shows: not in the
// card's listing, not as the head of the transfer queue, not by the handle
// it will get. Then they show in the order of the releases, each announced.
void TestVirtualCameraPictures::releaseAnswersBeforeTheCardHasThePicture()
{
    QFETCH(int, productId);
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, 1, false));
    BRX_Commu_VirtualCamera& camera = fixture.device();
    QSignalSpy announced(fixture.access(), &BRX_Commu_CameraAccess_Base::signalTransferRequest);
    QVERIFY(announced.isValid());
    camera.pauseCard(true);
    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.access()->releaseCam(0));

    QCOMPARE(camera.picturesInProgress(), 2);
    QCOMPARE(hostHandles(*fixture.access()), QVector<quint32>{kFolder});
    QCOMPARE(camera.pendingTransfers(), 0);
    ObjectInfo info;
    QByteArray buffer(kInfoSize, '\0');
    for (quint32 handle : {kPending, 0x21u}) {
        QVERIFY(!readObjectInfo(*fixture.access(), handle, 0, &info));
        QVERIFY(!fixture.access()->getObject(buffer.data(), kInfoSize, handle));
        QVERIFY(!fixture.access()->getThumbnail(buffer.data(), kInfoSize, 0, handle));
        QVERIFY(!fixture.access()->getPartialObject(buffer.data(), kInfoSize, 0, handle));
    }

    camera.pauseCard(false);
    QVERIFY(fixture.picturesWritten());
    QTRY_COMPARE(announced.count(), 4);
    QCOMPARE(fileNames(camera), QStringList({"BRX_0001.DNG", "BRX_0001.JPG", "BRX_0002.DNG", "BRX_0002.JPG"}));
    QCOMPARE(hostHandles(*fixture.access()), camera.objectHandles());
    QCOMPARE(camera.pendingTransfers(), 4);
    QVERIFY(readObjectInfo(*fixture.access(), kPending, 0, &info));
    QCOMPARE(info.fileName, QString("BRX_0001.DNG"));
}

void TestVirtualCameraPictures::writingTakesTheCardsTime_data()
{
    addReleasesAndCards();
}

// Each file reaches the card no sooner than its bytes take at the card's
// speed in the product's profile, one file after the other; the host hears
// of it only then.
void TestVirtualCameraPictures::writingTakesTheCardsTime()
{
    QFETCH(int, productId);
    VirtualCameraFixture fixture(productId);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, 1, false));
    fixture.device().setPictureSizes(2000000, 500000);
    std::mutex mutex;
    QVector<qint64> announcedNs;
    QElapsedTimer clock;
    // Told on whichever thread the access hears of it.
    QObject::connect(fixture.access(), &BRX_Commu_CameraAccess_Base::signalTransferRequest, [&] {
        std::lock_guard<std::mutex> locker(mutex);
        announcedNs << clock.nsecsElapsed();
    });
    const auto announced = [&] {
        std::lock_guard<std::mutex> locker(mutex);
        return announcedNs;
    };
    clock.start();
    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.picturesWritten());
    QTRY_COMPARE(announced().size(), 2);

    const int speed = BRX_Commu_VirtualCameraProfile::sensor(productId).cardMegabytesPerSecond;
    qint64 dueNs = 0;
    for (int i = 0; i < 2; ++i) {
        const QByteArray file = fixture.device().objectData(fixture.device().objectHandles().at(1 + i));
        dueNs += std::chrono::nanoseconds(BRX_Commu_VirtualCameraWriter::writeTime(file.size(), speed)).count();
        const qint64 atNs = announced().at(i);
        QVERIFY2(atNs >= dueNs, qPrintable(QStringLiteral("file %1 after %2 ns, due after %3 ns").arg(i).arg(atNs).arg(dueNs)));
    }
}

void TestVirtualCameraPictures::picturesReachTheCardWhenTheHostIsGone_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("unplugged while written") << "unplugged";
    QTest::newRow("connection ended while written") << "connection ended";
    QTest::newRow("taken unplugged, written once plugged in") << "taken unplugged";
}

// A camera finishes writing what it took; nobody is told of it, neither the
// host that left nor the next one, which finds the pictures on the card.
void TestVirtualCameraPictures::picturesReachTheCardWhenTheHostIsGone()
{
    QFETCH(QString, when);
    VirtualCameraFixture fixture(0x2031);
    QVERIFY(fixture.isOpen());
    BRX_Commu_VirtualCamera& camera = fixture.device();
    camera.pauseCard(true);
    if (when == "taken unplugged") {
        camera.setPlugged(false);
        camera.takePicture();
        camera.setPlugged(true);
    } else {
        QVERIFY(fixture.access()->releaseCam(0));
        if (when == "unplugged")
            camera.setPlugged(false);
        else
            camera.endSessions(camera.currentGeneration());
    }
    QCOMPARE(camera.picturesInProgress(), 1);
    camera.pauseCard(false);
    QVERIFY(fixture.picturesWritten());
    QCOMPARE(fileNames(camera), QStringList({"BRX_0001.DNG", "BRX_0001.JPG"}));
    QCOMPARE(camera.pendingTransfers(), 0);
    camera.setPlugged(true);
    QCOMPARE(camera.objectHandles().size(), 3);
    QCOMPARE(camera.pendingTransfers(), 0);
}

// The card writer stops with the camera, whether it waits for the card or
// makes a picture, and leaves no thread behind.
void TestVirtualCameraPictures::destroyedWhileWriting()
{
    const int threadsBefore = QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    for (bool paused : {true, false}) {
        std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::create(0x2031);
        QVERIFY(camera);
        camera->pauseCard(paused);
        for (int i = 0; i < 3; ++i)
            camera->takePicture();
        if (paused)
            QCOMPARE(camera->picturesInProgress(), 3);
        const std::weak_ptr<BRX_Commu_VirtualCamera> gone = camera;
        camera.reset();
        QVERIFY(gone.expired());
    }
    // Threads of earlier tests may have ended meanwhile, none may be added.
    QVERIFY(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() <= threadsBefore);
}

// For benchmarks of the host's side: a picture taken like the one before
// gets its files renamed, one taken otherwise is made anew; the camera says
// when it announced the last one.
void TestVirtualCameraPictures::reusedFilesAreRenamedForEachPicture()
{
    VirtualCameraFixture fixture(0x2031);
    QVERIFY(fixture.isOpen());
    QVERIFY(configure(fixture, 1, false));
    BRX_Commu_VirtualCamera& camera = fixture.device();
    camera.setPictureWidth(240);
    camera.reusePictureFiles(true);
    const auto pressed = std::chrono::steady_clock::now();
    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.picturesWritten());
    QVERIFY(camera.lastPictureAnnounced() >= pressed);
    camera.setPictureWidth(256);
    QVERIFY(fixture.access()->releaseCam(0));
    QVERIFY(fixture.picturesWritten());

    QCOMPARE(fileNames(camera), QStringList({"BRX_0001.DNG", "BRX_0001.JPG", "BRX_0002.DNG", "BRX_0002.JPG",
                                             "BRX_0003.DNG", "BRX_0003.JPG"}));
    const QVector<quint32> handles = camera.objectHandles();
    for (int file = 1; file <= 2; ++file) {
        QVERIFY(!camera.objectData(handles.at(file)).isEmpty());
        QCOMPARE(camera.objectData(handles.at(file + 2)), camera.objectData(handles.at(file)));
        QVERIFY(camera.objectData(handles.at(file + 4)) != camera.objectData(handles.at(file)));
    }
}

QTEST_GUILESS_MAIN(TestVirtualCameraPictures)
#include "tst_virtualcamera_pictures.moc"
