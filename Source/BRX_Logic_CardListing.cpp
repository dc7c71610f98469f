#include "BRX_Logic_CardListing.h"

#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Debug.h"
#include "BRX_Logic_FolderSettings.h"

#include <QSet>

namespace {

const quint32 kAllStorages = 0xFFFFFFFF;
const quint32 kStorageIDsBufferSize = 4 + 16 * 4;
// Room for the count and this many handles; a camera that lists more is
// cut off here.
const quint32 kMaxObjectHandles = 65536;
// The whole dataset: four PTP strings of up to 255 characters after 52 bytes.
const quint32 kObjectInfoSize = 52 + 4 * (1 + 255 * 2);
const quint32 kFormatOffset = 4;
const quint32 kCompressedSizeOffset = 8;
const quint32 kParentOffset = 38;
const quint32 kFileNameOffset = 52;
const quint32 kStorageRoot = 0;

// A name for a file of the camera's that has none a host may use.
QString nameOfHandle(quint32 handle, quint16 format)
{
    const QString extension = format == BRX_Commu_PtpCodes::kFormatJpg ? QStringLiteral(".JPG")
        : format == BRX_Commu_PtpCodes::kFormatDng                      ? QStringLiteral(".DNG")
                                                                        : QString();
    return BRX_Logic_FolderSettings::pictureFileName(BRX_Logic_FolderSettings::kDefaultPictureName,
                                                     int(handle & 0x7FFFFFFF), extension);
}

} // namespace

BRX_Logic_CardListing::BRX_Logic_CardListing(BRX_Commu_CameraAccess_Base& access)
    : m_access(access)
{
}

bool BRX_Logic_CardListing::isPictureHandle(quint32 handle)
{
    const quint32 type = handle & 0xF;
    return type == 1 || type == 2 || type == 6;
}

// A camera that lists a handle twice must not get two entries for it.
bool BRX_Logic_CardListing::pictureHandles(QVector<quint32>* handles)
{
    handles->clear();
    storageIds();
    const quint32 size = 4 + kMaxObjectHandles * 4;
    QByteArray answer(int(size), '\0');
    if (!m_access.getObjectHandles(answer.data(), size, kAllStorages)) {
        debugPrint(kDebugAlways, "%s - getObjectHandles failed", BRX_METHOD);
        return false;
    }
    BRX_Commu_ByteReader reader(answer.constData(), size);
    const quint32 count = qMin(reader.readU32(), kMaxObjectHandles);
    QSet<quint32> listed;
    for (quint32 i = 0; i < count; ++i) {
        const quint32 handle = reader.readU32();
        if (isPictureHandle(handle) && !listed.contains(handle)) {
            listed.insert(handle);
            handles->append(handle);
        }
    }
    return true;
}

QVector<quint32> BRX_Logic_CardListing::storageIds()
{
    QByteArray answer(int(kStorageIDsBufferSize), '\0');
    QVector<quint32> ids;
    if (!m_access.getStorageIDs(answer.data(), kStorageIDsBufferSize))
        return ids;
    BRX_Commu_ByteReader reader(answer.constData(), kStorageIDsBufferSize);
    const quint32 count = qMin<quint32>(reader.readU32(), (kStorageIDsBufferSize - 4) / 4);
    for (quint32 i = 0; i < count; ++i)
        ids.append(reader.readU32());
    return ids;
}

bool BRX_Logic_CardListing::readEntry(quint32 handle, Entry* entry)
{
    QByteArray dataset(int(kObjectInfoSize), '\0');
    quint32 parent = kStorageRoot;
    if (!m_access.getObjectInfo(dataset.data(), kObjectInfoSize, 0, handle)) {
        debugPrint(kDebugAlways, "%s - getObjectInfo failed for objectHandle 0x%08X", BRX_METHOD, handle);
        return false;
    }
    *entry = decode(handle, dataset, &parent);
    entry->folder = folderName(parent);
    return true;
}

QVector<BRX_Logic_CardListing::Entry> BRX_Logic_CardListing::list()
{
    QVector<Entry> entries;
    QVector<quint32> handles;
    pictureHandles(&handles);
    for (quint32 handle : handles) {
        Entry entry;
        if (readEntry(handle, &entry))
            entries.append(entry);
    }
    return entries;
}

BRX_Logic_CardListing::Entry BRX_Logic_CardListing::decode(quint32 handle, const QByteArray& dataset,
                                                           quint32* parent)
{
    BRX_Commu_ByteReader reader(dataset.constData(), quint32(dataset.size()));
    Entry entry;
    entry.handle = handle;
    entry.format = reader.readU16At(kFormatOffset);
    entry.size = reader.readU32At(kCompressedSizeOffset);
    *parent = reader.readU32At(kParentOffset);
    reader.skip(kFileNameOffset);
    entry.cameraName = reader.readPtpString();
    entry.fileName = BRX_Logic_FolderSettings::plainFileNameOr(entry.cameraName, nameOfHandle(handle, entry.format));
    entry.captured = parseDateTime(reader.readPtpString());
    return entry;
}

// Time zones and tenths are read past: the camera's clock is the
// photographer's local time.
QDateTime BRX_Logic_CardListing::parseDateTime(const QString& text)
{
    return QDateTime::fromString(text.left(15), QStringLiteral("yyyyMMdd'T'HHmmss"));
}

// Each folder is asked for once per listing object.
QString BRX_Logic_CardListing::folderName(quint32 parent)
{
    if (parent == kStorageRoot)
        return QString();
    const auto known = m_folders.constFind(parent);
    if (known != m_folders.constEnd())
        return known.value();
    QByteArray dataset(int(kObjectInfoSize), '\0');
    quint32 grandParent = kStorageRoot;
    const QString name = m_access.getObjectInfo(dataset.data(), kObjectInfoSize, 0, parent)
                             ? decode(parent, dataset, &grandParent).fileName
                             : QString();
    m_folders.insert(parent, name);
    return name;
}
