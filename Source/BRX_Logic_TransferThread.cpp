#include "BRX_Logic_TransferThread.h"

#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "BRX_Logic_DownloadRetry.h"
#include "BRX_Logic_ExifHeader.h"
#include "BRX_Logic_FolderSettings.h"
#include "BRX_Logic_PendingPictures.h"
#include "BRX_Logic_Release.h"
#include "BRX_Logic_TransferState.h"
#include "BRX_Platform_Base.h"

#include <QDir>
#include <QStringList>

#include <mutex>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;

// This product delivers a pair's JPG before its DNG and offers a second,
// larger thumbnail kind.
const int kProductJpgFirst = 0x2041;
const int kProductLargeThumbnail = 0x2041;
const int kFileFormatDngAndJpgFirst = 1;
const int kFileFormatDngAndJpgLast = 2;
const int kMaxPictureIndex = 99999;
const char kBrokenDataName[] = "_Broken_Data_Image";
// Room for every object property code a camera could list (a count, then codes).
const quint32 kObjectPropsBufferSize = 512;

// What a log line may show of a name the camera gave: ASCII only.
QByteArray printable(const QString& name)
{
    return name.toUtf8().toPercentEncoding(" ");
}

}  // namespace

unsigned long BRX_Logic_TransferThread::runningThreadNumber()
{
    return reinterpret_cast<unsigned long>(QThread::currentThreadId());
}

BRX_Logic_TransferThread::BRX_Logic_TransferThread(const BRX_Logic_DownloadContext& context)
    : m_context(context)
    , m_access(context.access)
    , m_handle(context.handle)
{
    debugPrint(kDebugTransfer, "%s - created in thread 0x%lx", BRX_METHOD, runningThreadNumber());
}

BRX_Logic_TransferThread::~BRX_Logic_TransferThread()
{
    debugPrint(kDebugTransfer, "%s - deleted automatically in thread 0x%lx", BRX_METHOD,
               runningThreadNumber());
}

// Nothing here stops the sequence once the mutex is held: every failure ends
// in a record the host can see (type 6 at the latest) and the camera's
// transfer state is always put back.
void BRX_Logic_TransferThread::run()
{
    debugPrint(kDebugTransfer, "%s - running in thread 0x%lx", BRX_METHOD, runningThreadNumber());
    debugPrint(kDebugHousekeeping, "%s - before ASSERT in ", BRX_METHOD);
    debugPrint(kDebugHousekeeping, "%s - after ASSERT in ", BRX_METHOD);
    void* permission = nullptr;
    if (!BRX_Platform_Base::transferBegin(&permission))
        return;
    enterQueue();
    std::lock_guard<std::mutex> locker(m_context.transfer->downloadMutex());
    prepareCamera();
    Download pending;
    pending.info = readObjectInfo();
    remember(pending.info);
    takeRemainingToLoad(pending.info);
    pending.pairMode = isPairMode();
    if (pending.info.valid)
        nameTarget(pending);
    if (!awaitsCameraReturn())
        sendQuickView(pending);
    download(pending);
    endOfBurst(pending);
    leaveQueue();
    BRX_Platform_Base::transferEnd(permission);
}

// Counted before waiting for the mutex, so the camera knows how many
// pictures are still queued.
void BRX_Logic_TransferThread::enterQueue()
{
    const int active = m_context.release->state().downloadQueued();
    debugPrint(kDebugHousekeeping, "%s - Number of active threads = %d", BRX_METHOD, active);
}

void BRX_Logic_TransferThread::leaveQueue()
{
    const int active = m_context.release->state().downloadLeft();
    debugPrint(kDebugHousekeeping, "%s - Number of active threads = %d", BRX_METHOD, active);
}

// A stopped series is stopped again before its pictures are fetched.
void BRX_Logic_TransferThread::prepareCamera()
{
    m_context.release->repeatSeriesStop();
    m_context.transfer->setInProgress(true);
    m_context.transfer->setImageFlag(true);
}

// The large thumbnail kind may be missing; the ordinary one is taken then.
BRX_Logic_TransferThread::ObjectInfo BRX_Logic_TransferThread::readObjectInfo()
{
    ObjectInfo info;
    const int thumbType = m_access->productId() == kProductLargeThumbnail ? 1 : 0;
    if (readObjectInfo(thumbType, info) && info.thumbSize == 0 && thumbType != 0)
        readObjectInfo(0, info);
    if (!info.valid)
        debugPrint(kDebugAlways, "%s - object information not received", BRX_METHOD);
    return info;
}

bool BRX_Logic_TransferThread::readObjectInfo(int thumbType, ObjectInfo& info)
{
    QByteArray dataset(int(BRX_Logic_ObjectReader::kInfoSize), '\0');
    info.thumbType = thumbType;
    info.valid = false;
    for (int attempt = 0; attempt < BRX_Logic_DownloadRetry::kAttempts && !info.valid; ++attempt)
        info.valid = m_access->getObjectInfo(dataset.data(), BRX_Logic_ObjectReader::kInfoSize, thumbType,
                                             m_handle);
    if (isDebugFlagSet(kDebugTransfer))
        dumpBuffer(QStringLiteral("objectInfo calls getObjectInfo:"), BRX_METHOD, dataset, 0, 0);
    static_cast<BRX_Logic_ObjectReader::Info&>(info) = BRX_Logic_ObjectReader::decodeInfo(dataset);
    return info.valid;
}

// Without object information the queued threads are all that is known
// about the pictures still to come.
void BRX_Logic_TransferThread::takeRemainingToLoad(const ObjectInfo& info)
{
    const int remaining = info.valid ? int(info.sequenceNumber) : m_context.release->state().activeDownloads();
    m_context.transfer->setRemainingToLoad(remaining);
    emit signalRemainingToLoad(remaining);
}

// Formats 1 and 2 deliver each picture as a DNG and a JPG.
bool BRX_Logic_TransferThread::isPairMode() const
{
    const int format = m_context.fileFormat();
    return format == kFileFormatDngAndJpgFirst || format == kFileFormatDngAndJpgLast;
}

BRX_Logic_TransferThread::FileKind BRX_Logic_TransferThread::kindOf(const QString& cameraFileName)
{
    const QStringList parts = cameraFileName.split(QLatin1Char('.'));
    const QString extension = parts.size() >= 2 ? parts.last() : QString();
    if (extension.compare(QLatin1String("DNG"), Qt::CaseInsensitive) == 0)
        return kDng;
    if (extension.compare(QLatin1String("JPG"), Qt::CaseInsensitive) == 0)
        return kJpg;
    return kUnrecognised;
}

// The folder settings are shared with the controller thread's facade, hence
// their lock; the signal waits until it is released.
void BRX_Logic_TransferThread::nameTarget(Download& download)
{
    download.kind = kindOf(download.info.fileName);
    bool advanced = false;
    {
        std::lock_guard<std::recursive_mutex> locker(*m_context.foldersLock);
        BRX_Logic_FolderSettings* folders = m_context.folders;
        if (folders->pictureName().isEmpty())
            folders->setPictureName(BRX_Logic_FolderSettings::kDefaultPictureName);
        const int index = folders->pictureIndex();
        const QString configuredFolder = targetFolder(download);
        advanced = advancePictureIndex(download);
        download.cameraName = plainCameraName(download, index);
        folders->setCameraFileName(download.cameraName);
        const QString folder = existingFolder(download.kind, configuredFolder);
        download.targetPath = download.kind == kUnrecognised
            ? folder + QLatin1Char('/') + QLatin1String(kBrokenDataName)
            : BRX_Logic_FolderSettings::fileName(folder, folders->pictureName(), index, download.kind == kDng);
        folders->setPictureExampleFileFormat(download.targetPath.endsWith(QLatin1String(".DNG")));
    }
    if (advanced)
        emit signalFileNameAndNumber();
}

// The host may make a file of the camera's name: one that is not a plain
// file name gives way to the name the picture's number gives.
QString BRX_Logic_TransferThread::plainCameraName(const Download& download, int index) const
{
    static const QString kExtensions[] = {QStringLiteral(".DNG"), QStringLiteral(".JPG"), QString()};
    return BRX_Logic_FolderSettings::plainFileNameOr(
        download.info.fileName,
        BRX_Logic_FolderSettings::pictureFileName(m_context.folders->pictureName(), index, kExtensions[download.kind]));
}

QString BRX_Logic_TransferThread::targetFolder(const Download& download) const
{
    switch (download.kind) {
    case kDng:
        return m_context.folders->dngPath();
    case kJpg:
        return m_context.folders->jpgPath();
    case kUnrecognised:
        break;
    }
    debugPrint(kDebugAlways, "%s - Exception! File not JPG or DNG: %s", BRX_METHOD,
               qUtf8Printable(download.info.fileName));
    return BRX_Platform_Base::getPicturesFolder();
}

// Both files of a pair carry one number: the first of them leaves the index.
bool BRX_Logic_TransferThread::advancePictureIndex(const Download& download)
{
    if (download.kind == kUnrecognised)
        return false;
    const bool jpgFirst = m_access->productId() == kProductJpgFirst;
    const bool firstOfPair = download.pairMode && ((download.kind == kDng) != jpgFirst);
    BRX_Logic_FolderSettings* folders = m_context.folders;
    if (firstOfPair || folders->pictureIndex() >= kMaxPictureIndex)
        return false;
    folders->incrementPictureIndex();
    return true;
}

// A folder that has gone away is replaced by the pictures folder for good.
QString BRX_Logic_TransferThread::existingFolder(FileKind kind, const QString& folder) const
{
    if (QDir(folder).exists())
        return folder;
    const QString fallback = BRX_Platform_Base::getPicturesFolder();
    if (kind == kJpg)
        m_context.folders->setJpgPath(fallback);
    else
        m_context.folders->setDngPath(fallback);
    return fallback;
}

// Only the first file of a pair shows a quick view.
void BRX_Logic_TransferThread::sendQuickView(const Download& download)
{
    BRX_Logic_TransferState& transfer = *m_context.transfer;
    if (transfer.wantsQuickView() && transfer.takeQuickViewTurn(download.pairMode) && download.info.valid)
        sendQuickViewRecords(download);
}

void BRX_Logic_TransferThread::sendQuickViewRecords(const Download& download)
{
    const QByteArray thumbnail = readThumbnail(download.info);
    if (thumbnail.isEmpty())
        return;
    const qint32 orientation = readOrientation(download.kind);
    const QByteArray name = BRX_Logic_FolderSettings::withoutPictureExtension(download.cameraName).toLatin1();
    m_context.deliver(kFrameFileName, name.constData(), unsigned(name.size()));
    m_context.deliver(kFrameOrientation, &orientation, sizeof orientation);
    m_context.deliver(kFrameThumbnail, thumbnail.constData(), unsigned(thumbnail.size()));
}

QByteArray BRX_Logic_TransferThread::readThumbnail(const ObjectInfo& info)
{
    const QByteArray thumbnail =
        m_context.downloads->fetchThumbnail(m_handle, info.thumbType, info.thumbSize);
    if (!thumbnail.isEmpty() && isDebugFlagSet(kDebugTransfer))
        dumpBuffer(QStringLiteral("thumbnailBuffer calls getThumbnail:"), BRX_METHOD, thumbnail, 0, 0);
    return thumbnail;
}

int BRX_Logic_TransferThread::readOrientation(FileKind kind)
{
    if (m_context.useObjectProps && supportsOrientationProperty(kind))
        return readOrientationProperty();
    return parseOrientation();
}

bool BRX_Logic_TransferThread::supportsOrientationProperty(FileKind kind)
{
    QByteArray buffer(int(kObjectPropsBufferSize), '\0');
    const uint format = kind == kJpg ? Access::kFormatJpg : Access::kFormatDng;
    if (!m_access->getObjectPropsSupported(buffer.data(), kObjectPropsBufferSize, format))
        return false;
    BRX_Commu_ByteReader reader(buffer.constData(), kObjectPropsBufferSize);
    const quint32 count = reader.readU32();
    for (quint32 i = 0; i < count && reader.hasRemaining(2); ++i) {
        if (reader.readU16() == Access::kObjectPropOrientation)
            return true;
    }
    return false;
}

// A failed read leaves the zeroed value: orientation 0.
int BRX_Logic_TransferThread::readOrientationProperty()
{
    quint8 value[2] = {};
    m_access->getObjectPropValue(value, sizeof value, Access::kObjectPropOrientation, m_handle);
    return BRX_Commu_ByteReader(value, sizeof value).readU16At(0);
}

int BRX_Logic_TransferThread::parseOrientation()
{
    QByteArray head;
    if (!readExifHead(head))
        return 0;
    const BRX_Logic_ExifHeader exif(head);
    if (exif.hasOrientation())
        debugPrint(kDebugTransfer, "%s - parse Exif for orientation: %d", BRX_METHOD, exif.orientationCode());
    return exif.orientationCode();
}

// GetPartialObject brings just the head. GetObject into a head-sized buffer
// makes the camera send the whole picture, of which the link keeps the head:
// only for cameras without the partial read.
bool BRX_Logic_TransferThread::readExifHead(QByteArray& head)
{
    if (m_context.downloads->readsPartially())
        return BRX_Logic_ObjectReader(*m_access, m_handle).readHead(head);
    head = QByteArray(int(BRX_Logic_ObjectReader::kHeadSize), 'X');
    return m_access->getObject(head.data(), quint32(head.size()), m_handle);
}

// The camera is told the object arrived even when it did not, so that its
// queue of pending objects stays in step with the requests; a file fetched
// again after a reconnect is in no queue.
void BRX_Logic_TransferThread::download(const Download& download)
{
    const bool jpg = download.kind == kJpg;
    const bool begins = !awaitsCameraReturn();
    if (begins)
        m_context.deliver(jpg ? kFrameJpgStarts : kFrameDngStarts, nullptr, 0);
    const QByteArray object = download.info.valid && begins ? readObject(download.info) : QByteArray();
    if (m_handle == kPendingObjectHandle)
        m_access->transferObjectReady();
    m_context.transfer->setImageFlag(false);
    m_context.sendSettings();
    m_access->finishTransfer();
    if (object.isEmpty() && awaitsCameraReturn()) {
        if (download.info.valid)
            debugPrint(kDebugAlways, "%s - picture %s cut off with the camera, fetched again when it is back",
                       BRX_METHOD, printable(download.info.fileName).constData());
        return;
    }
    forget(download.info);
    if (object.isEmpty()) {
        m_context.deliver(kFrameNoData, nullptr, 0);
        return;
    }
    m_context.deliver(jpg ? kFrameJpg : kFrameDng, object.constData(), unsigned(object.size()));
    m_context.delivered(download.info.fileName);
    m_context.release->state().fileDelivered();
}

// What the camera announced and did not deliver is remembered; the host
// hears of it again when the camera is back.
bool BRX_Logic_TransferThread::awaitsCameraReturn() const
{
    return m_context.pending && m_access->hasDeparted();
}

void BRX_Logic_TransferThread::remember(const ObjectInfo& info)
{
    if (info.valid && m_context.pending)
        m_context.pending->remember(m_context.serial, {info.fileName, info.compressedSize, {}});
}

void BRX_Logic_TransferThread::forget(const ObjectInfo& info)
{
    if (info.valid && m_context.pending)
        m_context.pending->forget(m_context.serial, {info.fileName, info.compressedSize, {}});
}

// A picture short of its announced size never reaches the host as good.
QByteArray BRX_Logic_TransferThread::readObject(const ObjectInfo& info)
{
    const QByteArray object =
        m_context.downloads->fetchObject(m_handle, info.compressedSize, info.fileName);
    if (!object.isEmpty() && isDebugFlagSet(kDebugTransfer))
        dumpBuffer(QStringLiteral("imageBuffer calls getObject:"), BRX_METHOD, object, 0, 0);
    return object;
}

void BRX_Logic_TransferThread::endOfBurst(const Download& download)
{
    if (!download.pairMode || download.targetPath.endsWith(QLatin1String(".DNG")))
        emit signalDngTransferDone();
    const int remaining = m_context.transfer->remainingToLoad();
    m_context.transfer->setInProgress(remaining > 1);
    m_context.release->state().downloadEnded(remaining);
}
