#include "BRX_Commu_VirtualCameraStore.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Commu_VirtualCameraExif.h"
#include "BRX_Commu_VirtualCameraPicture.h"

#include <algorithm>

namespace {

typedef BRX_Commu_VirtualCameraStore Store;
typedef BRX_Commu_ByteWriter Writer;
typedef BRX_Commu_PtpCodes Codes;

const quint16 kProtectionNone = 0;
const quint16 kAssociationGenericFolder = 1;
const quint32 kDngBitDepth = 16;
const quint32 kJpgBitDepth = 24;
const QString kFolderName = QStringLiteral("100BRX");
// StorageInfo: removable RAM with a generic hierarchical file system, read-write.
const quint16 kStorageTypeRemovableRam = 0x0004;
const quint16 kFilesystemGenericHierarchical = 0x0002;
const quint16 kReadWrite = 0;
const quint64 kStorageCapacity = quint64(32) << 30;
// The card's pictures taken before the host came: small, each its own width.
const QDateTime kFirstCardPicture(QDate(2026, 5, 1), QTime(8, 0));
const int kCardPictureSeconds = 97;
const int kCardPictureWidth = 240;
const int kCardPictureWidthStep = 16;
const int kCardPictureWidths = 8;
const int kCardPictureWithDng = 3;
// PTP DateTime strings: "YYYYMMDDThhmmss".
const QString kPtpDateTimeFormat = QStringLiteral("yyyyMMdd'T'HHmmss");

typedef BRX_Commu_VirtualCameraPicture Picture;

struct PixelSize {
    int width;
    int height;
};

QString fileName(int pictureNumber, quint16 format)
{
    const QString extension = format == Codes::kFormatJpg ? QStringLiteral("JPG") : QStringLiteral("DNG");
    return QStringLiteral("BRX_%1.%2").arg(pictureNumber, 4, 10, QChar('0')).arg(extension);
}

PixelSize thumbnailPixels(const Store::Object& object, int kind)
{
    if (kind == Store::kSmallThumbnail)
        return {Picture::kSmallWidth, Picture::kSmallHeight};
    if (kind == Store::kLargePreview && object.format == Codes::kFormatDng)
        return {object.previewWidth, object.previewHeight};
    return {Picture::kBigWidth, Picture::kBigHeight};
}

void appendFolderFields(QByteArray& out)
{
    Writer::appendU16(out, 0); // no thumbnail format
    for (int field = 0; field < 6; ++field)
        Writer::appendU32(out, 0); // thumbnail size and pixels, image pixels, bit depth
    Writer::appendU32(out, 0);     // in the storage's root
    Writer::appendU16(out, kAssociationGenericFolder);
}

void appendPictureFields(QByteArray& out, const Store::Object& object, int kind, quint32 parent)
{
    const QByteArray& thumbnail = Store::thumbnail(object, kind);
    const PixelSize pixels = thumbnail.isEmpty() ? PixelSize{0, 0} : thumbnailPixels(object, kind);
    Writer::appendU16(out, Codes::kFormatJpg);
    Writer::appendU32(out, quint32(thumbnail.size()));
    Writer::appendU32(out, quint32(pixels.width));
    Writer::appendU32(out, quint32(pixels.height));
    Writer::appendU32(out, quint32(object.width));
    Writer::appendU32(out, quint32(object.height));
    Writer::appendU32(out, object.format == Codes::kFormatJpg ? kJpgBitDepth : kDngBitDepth);
    Writer::appendU32(out, parent);
    Writer::appendU16(out, 0); // not an association
}

} // namespace

BRX_Commu_VirtualCameraStore::BRX_Commu_VirtualCameraStore(int productId)
    : m_sensor(BRX_Commu_VirtualCameraProfile::sensor(productId))
    , m_capacity(kStorageCapacity)
{
    m_files.sensor = m_sensor;
    m_files.cardMegabytesPerSecond = m_sensor.cardMegabytesPerSecond;
    Object folder;
    folder.handle = nextHandle(kTypeFolder);
    folder.format = Codes::kFormatFolder;
    folder.fileName = kFolderName;
    m_folderHandle = folder.handle;
    m_objects << folder;
}

quint32 BRX_Commu_VirtualCameraStore::nextHandle(HandleType type)
{
    return (++m_handleNumber << 4) | type;
}

Store::Order BRX_Commu_VirtualCameraStore::order(const QVector<quint16>& formats, BRX_Commu_VirtualCameraShot shot)
{
    shot.fileNumber = ++m_pictureNumber;
    shot.orientation = m_orientation;
    return {formats, shot, m_files};
}

// The thumbnails first, once for all files: the JPG carries the small one
// in its Exif.
QVector<Store::Object> BRX_Commu_VirtualCameraStore::makeFiles(const Order& order)
{
    const Picture picture(order.shot);
    const QByteArray thumbnails[kLargePreview] = {
        picture.thumbnail(false, order.files.thumbnailBytes[kSmallThumbnail]),
        picture.thumbnail(true, order.files.thumbnailBytes[kBigThumbnail]),
    };
    QVector<Object> files;
    for (quint16 format : order.formats)
        files << makeFile(format, order, picture, thumbnails);
    return files;
}

Store::Object BRX_Commu_VirtualCameraStore::makeFile(quint16 format, const Order& order, const Picture& picture,
                                                     const QByteArray* thumbnails)
{
    const bool isJpg = format == Codes::kFormatJpg;
    const int width = order.files.width > 0 ? order.files.width : order.files.sensor.width;
    Object file;
    file.format = format;
    name(file, order);
    std::copy_n(thumbnails, int(kLargePreview), file.thumbnails);
    const Picture::File made = isJpg ? picture.jpg(width, order.files.jpgBytes, thumbnails[kSmallThumbnail])
                                     : picture.dng(order.files.sensor, width, order.files.dngBytes, width);
    file.data = made.data;
    file.width = made.width;
    file.height = made.height;
    if (!isJpg) {
        file.previewWidth = width;
        file.previewHeight = Picture::heightOf(width);
        file.thumbnails[kLargePreview] = picture.jpeg(width);
    }
    return file;
}

void BRX_Commu_VirtualCameraStore::name(Object& file, const Order& order)
{
    file.fileName = fileName(order.shot.fileNumber, file.format);
    file.pictureNumber = order.shot.fileNumber;
    file.captured = order.shot.taken;
    file.orientation = quint16(order.shot.orientation);
}

bool BRX_Commu_VirtualCameraStore::makesAlike(const Order& made, const Order& order)
{
    const FileSettings& a = made.files;
    const FileSettings& b = order.files;
    return made.formats == order.formats && a.dngBytes == b.dngBytes && a.jpgBytes == b.jpgBytes
        && a.width == b.width && std::equal(a.thumbnailBytes, a.thumbnailBytes + kLargePreview, b.thumbnailBytes)
        && a.sensor.width == b.sensor.width && a.sensor.height == b.sensor.height;
}

QVector<Store::Object> BRX_Commu_VirtualCameraStore::ReusedFiles::filesFor(const Order& order)
{
    if (m_files.isEmpty() || !makesAlike(m_made, order)) {
        m_made = order;
        m_files = makeFiles(order);
        return m_files;
    }
    QVector<Object> renamed = m_files;
    for (Object& file : renamed)
        name(file, order);
    return renamed;
}

quint32 BRX_Commu_VirtualCameraStore::add(Object file, bool queueForTransfer)
{
    file.handle = nextHandle(file.format == Codes::kFormatJpg ? kTypeJpg : kTypeDng);
    m_objects << file;
    if (queueForTransfer)
        m_pending << file.handle;
    forgetOldPictures();
    return file.handle;
}

QVector<quint32> BRX_Commu_VirtualCameraStore::addPicture(const QVector<quint16>& formats,
                                                          BRX_Commu_VirtualCameraShot shot)
{
    QVector<quint32> added;
    for (const Object& file : makeFiles(order(formats, shot)))
        added << add(file, true);
    return added;
}

QVector<quint32> BRX_Commu_VirtualCameraStore::fillCard(int count, const BRX_Commu_VirtualCameraShot& shot)
{
    QVector<quint32> added;
    const FileSettings usual = m_files;
    BRX_Commu_VirtualCameraShot taken = shot;
    for (int i = 0; i < count; ++i) {
        m_files.width = kCardPictureWidth + kCardPictureWidthStep * (i % kCardPictureWidths);
        taken.taken = kFirstCardPicture.addSecs(qint64(kCardPictureSeconds) * (m_pictureNumber + 1));
        QVector<quint16> formats{Codes::kFormatJpg};
        if ((m_pictureNumber + 1) % kCardPictureWithDng == 0)
            formats.prepend(Codes::kFormatDng);
        for (const Object& file : makeFiles(order(formats, taken)))
            added << add(file, false);
    }
    m_files = usual;
    return added;
}

void BRX_Commu_VirtualCameraStore::setPicturesKept(int count)
{
    m_picturesKept = std::max(0, count);
    forgetOldPictures();
}

// Objects are in creation order, the folder first: the oldest picture's
// files follow it, the newest stored end the list.
void BRX_Commu_VirtualCameraStore::forgetOldPictures()
{
    const int oldestKept = m_objects.last().pictureNumber - m_picturesKept + 1;
    while (m_picturesKept > 0 && m_objects.size() > 1 && m_objects.at(1).pictureNumber < oldestKept
           && !m_pending.contains(m_objects.at(1).handle))
        m_objects.remove(1);
}

int BRX_Commu_VirtualCameraStore::indexOf(quint32 handle) const
{
    if (handle == kPendingHandle) {
        if (m_pending.isEmpty())
            return -1;
        handle = m_pending.first();
    }
    for (int i = 0; i < m_objects.size(); ++i) {
        if (m_objects.at(i).handle == handle)
            return i;
    }
    return -1;
}

const Store::Object* BRX_Commu_VirtualCameraStore::find(quint32 handle) const
{
    const int index = indexOf(handle);
    return index < 0 ? nullptr : &m_objects.at(index);
}

bool BRX_Commu_VirtualCameraStore::remove(quint32 handle)
{
    const int index = (handle == kPendingHandle || isFolder(handle)) ? -1 : indexOf(handle);
    if (index < 0)
        return false;
    m_objects.remove(index);
    m_pending.removeAll(handle);
    return true;
}

void BRX_Commu_VirtualCameraStore::format()
{
    m_objects.erase(std::remove_if(m_objects.begin(), m_objects.end(),
                                   [this](const Object& object) { return !isFolder(object.handle); }),
                    m_objects.end());
    m_pending.clear();
    m_pictureNumber = 0;
}

QVector<quint32> BRX_Commu_VirtualCameraStore::handles() const
{
    QVector<quint32> all;
    for (const Object& object : m_objects)
        all << object.handle;
    return all;
}

QByteArray BRX_Commu_VirtualCameraStore::storageInfo() const
{
    QByteArray out;
    Writer::appendU16(out, kStorageTypeRemovableRam);
    Writer::appendU16(out, kFilesystemGenericHierarchical);
    Writer::appendU16(out, kReadWrite);
    const quint64 free = freeBytes();
    for (quint64 bytes : {m_capacity, free}) {
        Writer::appendU32(out, quint32(bytes));
        Writer::appendU32(out, quint32(bytes >> 32));
    }
    Writer::appendU32(out, quint32(std::min<quint64>(free / rawPictureBytes(), 0xFFFFFFFE)));
    Writer::appendPtpString(out, QStringLiteral("Virtual card"));
    Writer::appendPtpString(out, QString());
    return out;
}

quint64 BRX_Commu_VirtualCameraStore::freeBytes() const
{
    quint64 used = 0;
    for (const Object& object : m_objects)
        used += quint64(object.data.size());
    return m_capacity - std::min(used, m_capacity);
}

// 16 bits a sample, as the DNGs store them.
quint64 BRX_Commu_VirtualCameraStore::rawPictureBytes() const
{
    return std::max<quint64>(1, quint64(m_sensor.width) * quint64(m_sensor.height) * 2);
}

void BRX_Commu_VirtualCameraStore::setCapacity(quint64 bytes)
{
    m_capacity = bytes > 0 ? bytes : kStorageCapacity;
}

bool BRX_Commu_VirtualCameraStore::isFull() const
{
    return freeBytes() < rawPictureBytes();
}

QByteArray BRX_Commu_VirtualCameraStore::objectInfo(const Object& object, int kind, bool addressedAsPending) const
{
    QByteArray out;
    Writer::appendU32(out, kStorageId);
    Writer::appendU16(out, object.format);
    Writer::appendU16(out, kProtectionNone);
    Writer::appendU32(out, quint32(object.data.size()));
    if (isFolder(object.handle))
        appendFolderFields(out);
    else
        appendPictureFields(out, object, kind, m_folderHandle);
    Writer::appendU32(out, 0); // association description
    Writer::appendU32(out, addressedAsPending ? quint32(m_pending.size() + m_extraPromised) : 0);
    Writer::appendPtpString(out, object.fileName);
    const QString captured = object.captured.isValid() ? object.captured.toString(kPtpDateTimeFormat) : QString();
    Writer::appendPtpString(out, captured);
    Writer::appendPtpString(out, captured); // modified when taken
    Writer::appendPtpString(out, QString()); // keywords
    return out;
}

const QByteArray& BRX_Commu_VirtualCameraStore::thumbnail(const Object& object, int kind)
{
    static const QByteArray none;
    if (!isThumbnailKind(quint32(kind)))
        return none;
    if (kind == kLargePreview && object.format == Codes::kFormatJpg)
        kind = kBigThumbnail;
    return object.thumbnails[kind];
}

void BRX_Commu_VirtualCameraStore::popPending()
{
    if (!m_pending.isEmpty())
        m_pending.removeFirst();
}

void BRX_Commu_VirtualCameraStore::setPictureSizes(quint32 dngBytes, quint32 jpgBytes)
{
    m_files.dngBytes = std::min(dngBytes, kMaxObjectBytes);
    m_files.jpgBytes = std::min(jpgBytes, kMaxObjectBytes);
}

void BRX_Commu_VirtualCameraStore::setPictureOrientation(int exifCode)
{
    m_orientation = quint16(exifCode);
}

void BRX_Commu_VirtualCameraStore::setPictureWidth(int width)
{
    m_files.width = qBound(0, width, int(BRX_Commu_VirtualCameraJpeg::kMaxDimension));
}

void BRX_Commu_VirtualCameraStore::setThumbnailSize(int kind, quint32 bytes)
{
    if (kind == kSmallThumbnail)
        m_files.thumbnailBytes[kind] = std::min<quint32>(bytes, BRX_Commu_VirtualCameraExif::kMaxThumbnailBytes);
    else if (kind == kBigThumbnail)
        m_files.thumbnailBytes[kind] = std::min(bytes, kMaxObjectBytes);
}

void BRX_Commu_VirtualCameraStore::setCardSpeed(int megabytesPerSecond)
{
    m_files.cardMegabytesPerSecond = megabytesPerSecond > 0 ? megabytesPerSecond : m_sensor.cardMegabytesPerSecond;
}
