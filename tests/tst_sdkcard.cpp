#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Logic_TransferThread.h"
#include "BRX_SDK.h"
#include "LogCapture.h"
#include "SdkHost.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The camera's card through the exported interface: what the camera holds
// is listed, fetched byte for byte, shown and deleted, and a picture taken
// meanwhile is not lost.
class TestSdkCard : public QObject
{
    Q_OBJECT
private slots:
    void listsWhatTheCardHolds_data();
    void listsWhatTheCardHolds();
    void listingIntoTooFewSlotsSaysHowMany();
    void refusedListingIsNoEmptyCard();
    void downloadsByteExact();
    void deliversThroughTheFrameRecords();
    void hostileNameReachesTheHostAsAPlainOne();
    void fileTheCameraCannotGiveIsNoDownload();
    void thumbnailDecodes();
    void deletedFileLeavesTheListing();
    void deletionRefusedWithoutTheOperation();
    void tellsTheCardsRoom();
    void fullCardRefusesTheReleaseSayingSo_data();
    void fullCardRefusesTheReleaseSayingSo();
    void roomChangesAreTold();
    void cardDownloadWhileShootingLosesNothing();
    void withoutCameraEverythingRefuses();
};

namespace {

typedef BRX_Logic_TransferThread Transfer;
const int kTimeoutMs = 20000;
const int kCardPictures = 50;
// A JPG each, a DNG beside every third.
const int kCardFiles = kCardPictures + kCardPictures / 3;
const int kFromCard = BRX_SDK_FrameType::FrameFromCard;
const quint16 kGetObjectHandles = 0x1007;
const quint16 kDeleteObject = 0x100B;
const quint16 kGetObjectInfo = 0x1008;
const quint16 kGetObject = 0x1009;
const quint16 kGetPartialObject = 0x101B;
const quint16 kGeneralError = 0x2002;
const qint32 kStoreFull = 0x200C;
const int kReleaseRefused = BRX_SDK_FrameType::FrameReleaseRefused;
const int kCardRoom = BRX_SDK_FrameType::FrameCardRoom;

QVector<BRX_SDK_CardFile> listCard()
{
    QVector<BRX_SDK_CardFile> files(200);
    unsigned int count = 0;
    if (!BRX_SDK_listCard(files.data(), unsigned(files.size()), &count))
        return {};
    files.resize(int(count));
    return files;
}

BRX_SDK_CardFile fileNamed(const QVector<BRX_SDK_CardFile>& files, const char* name)
{
    for (const BRX_SDK_CardFile& file : files) {
        if (qstrcmp(file.name, name) == 0)
            return file;
    }
    return BRX_SDK_CardFile{};
}

QByteArray download(const BRX_SDK_CardFile& file)
{
    QByteArray data(int(file.size), '\0');
    unsigned long long written = 0;
    if (!BRX_SDK_downloadCardFile(file.id, data.data(), quint64(data.size()), &written))
        return {};
    return data.left(int(written));
}

template <typename T>
T payloadOf(const QByteArray& bytes)
{
    T value{};
    if (bytes.size() == int(sizeof value))
        std::memcpy(&value, bytes.constData(), sizeof value);
    return value;
}

bool sameRoom(const BRX_SDK_CardRoom& a, const BRX_SDK_CardRoom& b)
{
    return a.capacityBytes == b.capacityBytes && a.freeBytes == b.freeBytes && a.picturesLeft == b.picturesLeft;
}

quint64 bytesOnCard()
{
    quint64 used = 0;
    for (const BRX_SDK_CardFile& file : listCard())
        used += file.size;
    return used;
}

// A JPG's ObjectInfo at the card's root with this name and sizes.
QByteArray objectInfo(const QString& name, quint32 size, quint32 thumbSize)
{
    QByteArray info;
    BRX_Commu_ByteWriter::appendU32(info, 0x00010001);
    BRX_Commu_ByteWriter::appendU16(info, 0x3801);
    BRX_Commu_ByteWriter::appendU16(info, 0);
    BRX_Commu_ByteWriter::appendU32(info, size);
    BRX_Commu_ByteWriter::appendU16(info, 0x3801);
    BRX_Commu_ByteWriter::appendU32(info, thumbSize);
    info.append(52 - info.size(), '\0');
    BRX_Commu_ByteWriter::appendPtpString(info, name);
    BRX_Commu_ByteWriter::appendPtpString(info, QStringLiteral("20260501T080137"));
    return info;
}

bool wantQuickView()
{
    const bool want = true;
    return BRX_SDK_setProperty(BRX_SDK_Property::WantQuickView, &want, sizeof want);
}

} // namespace

void TestSdkCard::listsWhatTheCardHolds_data()
{
    QTest::addColumn<int>("productId");
    QTest::newRow("struct 0x2009") << 0x2009;
    QTest::newRow("struct M 0x2021") << 0x2021;
    QTest::newRow("device properties 0x2031") << 0x2031;
}

// Each file with the camera's name, folder, size and date, oldest first.
void TestSdkCard::listsWhatTheCardHolds()
{
    QFETCH(int, productId);
    SdkHost host(productId);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(BRX_SDK_fillVirtualCameraCard(kCardPictures));
    const QVector<BRX_SDK_CardFile> files = listCard();
    QCOMPARE(files.size(), kCardFiles);
    QString previousDate;
    for (const BRX_SDK_CardFile& file : files) {
        QCOMPARE(QString::fromUtf8(file.name), host.camera().objectFileName(file.id));
        QCOMPARE(int(file.size), host.camera().objectData(file.id).size());
        QCOMPARE(QByteArray(file.folder), QByteArray("100BRX"));
        QCOMPARE(file.format, QByteArray(file.name).endsWith(".JPG") ? quint16(0x3801) : quint16(0x3802));
        QVERIFY(!file.delivered);
        QVERIFY(QString::fromLatin1(file.captured) >= previousDate);
        previousDate = QString::fromLatin1(file.captured);
    }
    QCOMPARE(QByteArray(fileNamed(files, "BRX_0001.JPG").captured), QByteArray("2026-05-01 08:01:37"));
    QCOMPARE(QByteArray(fileNamed(files, "BRX_0003.DNG").captured), QByteArray("2026-05-01 08:04:51"));
}

void TestSdkCard::listingIntoTooFewSlotsSaysHowMany()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(BRX_SDK_fillVirtualCameraCard(4));
    BRX_SDK_CardFile files[2];
    unsigned int count = 0;
    QVERIFY(!BRX_SDK_listCard(files, 2, &count));
    QCOMPARE(count, 5u);
    QCOMPARE(QByteArray(files[1].name), QByteArray("BRX_0002.JPG"));
    QVERIFY(!BRX_SDK_listCard(nullptr, 0, nullptr));
}

// A camera that refuses its listing says nothing of its card: the host is
// told so, and the files of the last listing can still be fetched.
void TestSdkCard::refusedListingIsNoEmptyCard()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(BRX_SDK_fillVirtualCameraCard(3));
    const QVector<BRX_SDK_CardFile> before = listCard();
    QCOMPARE(before.size(), 4);
    host.camera().failOperation(kGetObjectHandles, kGeneralError, 1);
    BRX_SDK_CardFile files[8];
    unsigned int count = 99;
    QVERIFY(!BRX_SDK_listCard(files, 8, &count));
    QCOMPARE(count, 0u);
    QCOMPARE(download(before.last()), host.camera().objectData(before.last().id));
    QCOMPARE(listCard().size(), 4);
}

void TestSdkCard::downloadsByteExact()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(BRX_SDK_fillVirtualCameraCard(6));
    const QVector<BRX_SDK_CardFile> files = listCard();
    QCOMPARE(files.size(), 8);
    for (const BRX_SDK_CardFile& file : files)
        QCOMPARE(download(file), host.camera().objectData(file.id));

    QByteArray small(10, '\0');
    unsigned long long written = 0;
    QVERIFY(!BRX_SDK_downloadCardFile(files.first().id, small.data(), 10, &written));
    QCOMPARE(written, files.first().size);
    QVERIFY(!BRX_SDK_downloadCardFile(0x7777, small.data(), 10, &written));
    QCOMPARE(written, 0ull);
}

// The same records as a tethered picture, after the one that names the card's file.
void TestSdkCard::deliversThroughTheFrameRecords()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(wantQuickView());
    QVERIFY(BRX_SDK_fillVirtualCameraCard(3));
    const BRX_SDK_CardFile jpg = fileNamed(listCard(), "BRX_0002.JPG");
    QVERIFY(BRX_SDK_deliverCardFile(jpg.id));
    FrameRecorder& frames = host.frames();
    const QList<int> expected{kFromCard, Transfer::kFrameFileName, Transfer::kFrameOrientation,
                              Transfer::kFrameThumbnail, Transfer::kFrameJpgStarts, Transfer::kFrameJpg};
    QTRY_COMPARE_WITH_TIMEOUT(frames.count(), expected.size(), kTimeoutMs);
    QCOMPARE(frames.types(), expected);
    QCOMPARE(frames.bytesOf(kFromCard), QByteArray("BRX_0002.JPG"));
    QCOMPARE(frames.bytesOf(Transfer::kFrameFileName), QByteArray("BRX_0002"));
    QCOMPARE(frames.bytesOf(Transfer::kFrameJpg), host.camera().objectData(jpg.id));
    QVERIFY(fileNamed(listCard(), "BRX_0002.JPG").delivered);
    QVERIFY(!fileNamed(listCard(), "BRX_0001.JPG").delivered);
    QVERIFY(!BRX_SDK_deliverCardFile(0x7777));
}

// A name that would lead out of the host's folder is not the host's to
// clean: the listing, the card record and the quick view's name all give
// the one the file's id makes, and the file is still known as delivered.
void TestSdkCard::hostileNameReachesTheHostAsAPlainOne()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(wantQuickView());
    QVERIFY(BRX_SDK_fillVirtualCameraCard(1));
    quint32 handle = 0;
    for (quint32 object : host.camera().objectHandles()) {
        if (host.camera().objectFileName(object) == QLatin1String("BRX_0001.JPG"))
            handle = object;
    }
    const QByteArray data = host.camera().objectData(handle);
    const QByteArray info = objectInfo(QStringLiteral("../../BRX_0001.JPG"), quint32(data.size()), 4000);
    host.camera().setCustomOperation(kGetObjectInfo, BRX_Commu_VirtualCameraDevice::kDataIn,
                                     [info](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                         *in = info;
                                         return quint16(BRX_Commu_VirtualCameraDevice::kResponseOK);
                                     });
    LogCapture log;
    const QByteArray replaced = "Picture" + QByteArray::number(handle & 0x7FFFFFFF).rightJustified(5, '0');
    const QVector<BRX_SDK_CardFile> files = listCard();
    QCOMPARE(files.size(), 1);
    QCOMPARE(QByteArray(files.first().name), replaced + ".JPG");
    QCOMPARE(files.first().id, handle);
    QCOMPARE(log.count("\"..%2F..%2FBRX_0001.JPG\" is not a plain file name, " + replaced + ".JPG used instead"), 1);
    QVERIFY(BRX_SDK_deliverCardFile(handle));
    FrameRecorder& frames = host.frames();
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameJpg), 1, kTimeoutMs);
    QCOMPARE(frames.bytesOf(kFromCard), replaced + ".JPG");
    QCOMPARE(frames.bytesOf(Transfer::kFrameFileName), replaced);
    QCOMPARE(frames.bytesOf(Transfer::kFrameJpg), data);
    QVERIFY(listCard().first().delivered);
}

// Never zeroes in place of the bytes: false for the buffer, no data for the records.
void TestSdkCard::fileTheCameraCannotGiveIsNoDownload()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(BRX_SDK_fillVirtualCameraCard(1));
    const BRX_SDK_CardFile file = fileNamed(listCard(), "BRX_0001.JPG");
    host.camera().failOperation(kGetObject, kGeneralError);
    host.camera().failOperation(kGetPartialObject, kGeneralError);
    QByteArray data(int(file.size), 'x');
    unsigned long long written = 1;
    QVERIFY(!BRX_SDK_downloadCardFile(file.id, data.data(), file.size, &written));
    QCOMPARE(written, 0ull);
    QVERIFY(BRX_SDK_deliverCardFile(file.id));
    QTRY_COMPARE_WITH_TIMEOUT(host.frames().countOf(Transfer::kFrameNoData), 1, kTimeoutMs);
    QCOMPARE(host.frames().countOf(Transfer::kFrameJpg), 0);
    QVERIFY(!fileNamed(listCard(), "BRX_0001.JPG").delivered);
}

void TestSdkCard::thumbnailDecodes()
{
    SdkHost host(0x2021);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(BRX_SDK_fillVirtualCameraCard(3));
    const BRX_SDK_CardFile dng = fileNamed(listCard(), "BRX_0003.DNG");
    QByteArray thumbnail(1 << 20, '\0');
    unsigned int written = 0;
    QVERIFY(BRX_SDK_readCardThumbnail(dng.id, thumbnail.data(), unsigned(thumbnail.size()), &written));
    thumbnail.truncate(int(written));
    QVERIFY(thumbnail.startsWith("\xFF\xD8"));
    QVERIFY(thumbnail.endsWith("\xFF\xD9"));
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpeg.isEmpty())
        QSKIP("djpeg is not installed");
    QProcess decoder;
    decoder.start(djpeg, {QStringLiteral("-pnm")});
    decoder.write(thumbnail);
    decoder.closeWriteChannel();
    QVERIFY(decoder.waitForFinished(kTimeoutMs));
    QCOMPARE(decoder.exitCode(), 0);
    QVERIFY(decoder.readAllStandardOutput().startsWith("P6"));
}

void TestSdkCard::deletedFileLeavesTheListing()
{
    SdkHost host(0x2009);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(BRX_SDK_fillVirtualCameraCard(3));
    const BRX_SDK_CardFile second = fileNamed(listCard(), "BRX_0002.JPG");
    char reason[64] = "unchanged";
    QVERIFY(BRX_SDK_deleteCardFile(second.id, reason, sizeof reason));
    QCOMPARE(QByteArray(reason), QByteArray());
    const QVector<BRX_SDK_CardFile> files = listCard();
    QCOMPARE(files.size(), 3);
    QCOMPARE(fileNamed(files, "BRX_0002.JPG").id, 0u);
    QVERIFY(!host.camera().objectHandles().contains(second.id));
    QVERIFY(!BRX_SDK_deleteCardFile(second.id, reason, sizeof reason));
    QCOMPARE(QByteArray(reason), QByteArray("no such file on the card"));
}

void TestSdkCard::deletionRefusedWithoutTheOperation()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    host.setCameraPlugged(false);
    QTRY_VERIFY_WITH_TIMEOUT(!host.isConnected(), kTimeoutMs);
    host.camera().withdrawOperation(kDeleteObject);
    host.camera().fillCard(2);
    host.clearChanges();
    host.setCameraPlugged(true);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    const QVector<BRX_SDK_CardFile> files = listCard();
    QCOMPARE(files.size(), 2);
    char reason[64] = "";
    QVERIFY(!BRX_SDK_deleteCardFile(files.first().id, reason, sizeof reason));
    QCOMPARE(QByteArray(reason), QByteArray("the camera does not offer deletion"));
    QCOMPARE(listCard().size(), 2);
    char cut[8] = "";
    QVERIFY(!BRX_SDK_deleteCardFile(files.first().id, cut, sizeof cut));
    QCOMPARE(QByteArray(cut), QByteArray("the cam"));
}

void TestSdkCard::tellsTheCardsRoom()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    BRX_SDK_CardRoom empty{};
    QVERIFY(BRX_SDK_getCardRoom(&empty));
    QCOMPARE(empty.capacityBytes, quint64(32) << 30);
    QCOMPARE(empty.freeBytes, empty.capacityBytes);
    QVERIFY(empty.picturesLeft > 0);
    QVERIFY(BRX_SDK_fillVirtualCameraCard(5));
    quint64 used = 0;
    for (const BRX_SDK_CardFile& file : listCard())
        used += file.size;
    BRX_SDK_CardRoom filled{};
    QVERIFY(BRX_SDK_getCardRoom(&filled));
    QCOMPARE(filled.freeBytes, empty.capacityBytes - used);
    host.camera().setCardCapacity(used + 1000);
    QVERIFY(BRX_SDK_getCardRoom(&filled));
    QCOMPARE(filled.freeBytes, 1000ull);
    QCOMPARE(filled.picturesLeft, 0ll);
    QVERIFY(!BRX_SDK_getCardRoom(nullptr));
}

void TestSdkCard::fullCardRefusesTheReleaseSayingSo_data()
{
    QTest::addColumn<int>("productId");
    QTest::newRow("vendor release 0x2031") << 0x2031;
    QTest::newRow("standard capture 0x2009") << 0x2009;
}

// The host hears why no picture comes, not only that none came.
void TestSdkCard::fullCardRefusesTheReleaseSayingSo()
{
    QFETCH(int, productId);
    SdkHost host(productId);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    QVERIFY(BRX_SDK_fillVirtualCameraCard(2));
    host.camera().setCardCapacity(bytesOnCard());
    const int filesBefore = host.camera().objectHandles().size();
    LogCapture log;
    BRX_SDK_capture();
    FrameRecorder& frames = host.frames();
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(kReleaseRefused), 1, kTimeoutMs);
    QCOMPARE(payloadOf<qint32>(frames.bytesOf(kReleaseRefused)), kStoreFull);
    QCOMPARE(frames.countOf(Transfer::kFrameJpgStarts) + frames.countOf(Transfer::kFrameDngStarts), 0);
    QCOMPARE(host.camera().objectHandles().size(), filesBefore);
    QVERIFY2(log.contains(QStringLiteral("the card is full")), qPrintable(log.lines().join('\n')));
}

// Told only to a host that asks; a picture taken and a file deleted each
// tell the room the camera gives then, and nothing else does.
void TestSdkCard::roomChangesAreTold()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    FrameRecorder& frames = host.frames();
    const auto lastRoom = [&frames] {
        return payloadOf<BRX_SDK_CardRoom>(frames.bytesOf(kCardRoom, frames.countOf(kCardRoom) - 1));
    };
    const auto roomNow = [] {
        BRX_SDK_CardRoom room{};
        BRX_SDK_getCardRoom(&room);
        return room;
    };
    BRX_SDK_capture();
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameJpg), 1, kTimeoutMs);
    QVERIFY(BRX_SDK_setWantCardRoom(true));
    BRX_SDK_capture();
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameJpg), 2, kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(frames.countOf(kCardRoom) > 0 && sameRoom(lastRoom(), roomNow()), kTimeoutMs);
    const BRX_SDK_CardRoom afterPicture = lastRoom();
    QVERIFY(afterPicture.freeBytes < afterPicture.capacityBytes);

    const int toldBeforeDeletion = frames.countOf(kCardRoom);
    const BRX_SDK_CardFile first = fileNamed(listCard(), "BRX_0001.JPG");
    QVERIFY(BRX_SDK_deleteCardFile(first.id, nullptr, 0));
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(kCardRoom), toldBeforeDeletion + 1, kTimeoutMs);
    QCOMPARE(lastRoom().freeBytes, afterPicture.freeBytes + first.size);
    QVERIFY(sameRoom(lastRoom(), roomNow()));

    // A card file fetched again leaves the room as it was.
    QVERIFY(BRX_SDK_deliverCardFile(fileNamed(listCard(), "BRX_0002.JPG").id));
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameJpg), 3, kTimeoutMs);
    QVERIFY(BRX_SDK_setWantCardRoom(false));
    BRX_SDK_capture();
    QTRY_COMPARE_WITH_TIMEOUT(frames.countOf(Transfer::kFrameJpg), 4, kTimeoutMs);
    QCOMPARE(frames.countOf(kCardRoom), toldBeforeDeletion + 1);
    QVERIFY(!sameRoom(lastRoom(), roomNow()));
}

// The card's file waits for the picture being downloaded, or the other way
// round; both arrive whole and their records do not mix.
void TestSdkCard::cardDownloadWhileShootingLosesNothing()
{
    SdkHost host(0x2031);
    QVERIFY(host.waitForInitialState(kTimeoutMs));
    host.camera().setPictureWidth(480);
    QVERIFY(BRX_SDK_fillVirtualCameraCard(2));
    const BRX_SDK_CardFile old = fileNamed(listCard(), "BRX_0001.JPG");
    FrameRecorder& frames = host.frames();
    BRX_SDK_capturePressed();
    QVERIFY(BRX_SDK_deliverCardFile(old.id));
    BRX_SDK_captureReleased();
    QTRY_VERIFY_WITH_TIMEOUT(frames.countOf(Transfer::kFrameJpg) + frames.countOf(Transfer::kFrameDng) >= 2,
                             kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(host.camera().pendingTransfers(), 0, kTimeoutMs);
    const QList<FrameRecorder::Record> records = frames.records();
    int fromCard = records.size();
    for (int i = 0; i < records.size(); ++i) {
        if (records.at(i).type == kFromCard)
            fromCard = i;
    }
    QVERIFY(fromCard + 2 < records.size());
    QCOMPARE(records.at(fromCard + 1).type, int(Transfer::kFrameJpgStarts));
    QCOMPARE(records.at(fromCard + 2).bytes, host.camera().objectData(old.id));
    QCOMPARE(frames.countOf(Transfer::kFrameNoData), 0);
    const QVector<quint32> handles = host.camera().objectHandles();
    QByteArrayList delivered;
    for (const FrameRecorder::Record& record : records) {
        if (record.type == Transfer::kFrameJpg || record.type == Transfer::kFrameDng)
            delivered << record.bytes;
    }
    // Every file taken now reached the host too.
    for (quint32 handle : handles) {
        if (host.camera().objectFileName(handle) > QStringLiteral("BRX_0002.JPG"))
            QVERIFY(delivered.contains(host.camera().objectData(handle)));
    }
}

void TestSdkCard::withoutCameraEverythingRefuses()
{
    unsigned int count = 7;
    QVERIFY(!BRX_SDK_listCard(nullptr, 0, &count));
    QCOMPARE(count, 0u);
    QVERIFY(!BRX_SDK_deliverCardFile(1));
    char reason[32] = "";
    QVERIFY(!BRX_SDK_deleteCardFile(1, reason, sizeof reason));
    QCOMPARE(QByteArray(reason), QByteArray("no camera"));
    BRX_SDK_CardRoom room{};
    QVERIFY(!BRX_SDK_getCardRoom(&room));
    QVERIFY(!BRX_SDK_fillVirtualCameraCard(3));
}

QTEST_GUILESS_MAIN(TestSdkCard)
#include "tst_sdkcard.moc"
