#include "BRX_Logic_Card.h"

#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_DeviceInfo.h"
#include "BRX_Logic_DownloadRetry.h"
#include "BRX_Logic_ObjectReader.h"

namespace {

typedef BRX_Logic_ObjectReader ObjectReader;

// The fixed part of StorageInfo and both its strings at their longest.
const quint32 kStorageInfoSize = 26 + 2 * (1 + 255 * 2);
const quint32 kCapacityOffset = 6;
const quint32 kFreeBytesOffset = 14;
const quint32 kFreeImagesOffset = 22;
const quint32 kFixedStorageInfoSize = 26;

} // namespace

BRX_Logic_Card::BRX_Logic_Card(BRX_Logic_Camera& camera, BRX_Commu_CameraAccess_Base& access)
    : m_camera(camera)
    , m_access(access)
    , m_listing(access)
    , m_downloads(access, camera.deviceInfo()->isOperationSupported(BRX_Commu_PtpCodes::kOpGetPartialObject))
{
}

// The pictures gone from the card are forgotten; the ObjectInfo of the new
// ones is read one picture at a time.
bool BRX_Logic_Card::files(QVector<File>* files)
{
    std::lock_guard<std::mutex> locker(m_lock);
    files->clear();
    QVector<quint32> handles;
    if (!m_listing.pictureHandles(&handles))
        return false;
    QHash<quint32, BRX_Logic_CardListing::Entry> stillThere;
    for (quint32 handle : handles) {
        File file;
        const auto known = m_known.constFind(handle);
        if (known != m_known.constEnd())
            file.entry = known.value();
        else if (!m_listing.readEntry(handle, &file.entry))
            continue;
        file.delivered = m_camera.wasDelivered(file.entry.cameraName);
        stillThere.insert(handle, file.entry);
        files->append(file);
    }
    m_known.swap(stillThere);
    return true;
}

bool BRX_Logic_Card::find(quint32 handle, BRX_Logic_CardListing::Entry* entry)
{
    std::lock_guard<std::mutex> locker(m_lock);
    const auto known = m_known.constFind(handle);
    if (known == m_known.constEnd()) {
        debugPrint(kDebugAlways, "%s - no picture 0x%08X on the card", BRX_METHOD, handle);
        return false;
    }
    *entry = known.value();
    return true;
}

// A picture whose read fails part way is tried again, and never reaches the
// host as whole when it is not.
std::unique_ptr<QByteArray> BRX_Logic_Card::download(quint32 handle)
{
    BRX_Logic_CardListing::Entry entry;
    if (!find(handle, &entry))
        return nullptr;
    std::lock_guard<std::mutex> locker(m_downloadLock);
    const QByteArray object = m_downloads.fetchObject(handle, entry.size, entry.fileName);
    if (object.isEmpty())
        return nullptr;
    return std::unique_ptr<QByteArray>(new QByteArray(object.constData(), object.size()));
}

std::unique_ptr<QByteArray> BRX_Logic_Card::thumbnail(quint32 handle)
{
    BRX_Logic_CardListing::Entry entry;
    if (!find(handle, &entry))
        return nullptr;
    ObjectReader reader(m_access, handle);
    ObjectReader::Info info;
    if (!reader.readInfo(ObjectReader::kSmallThumb, info))
        return nullptr;
    return reader.readThumbnail(ObjectReader::kSmallThumb, info.thumbSize);
}

BRX_Logic_Card::Deletion BRX_Logic_Card::remove(quint32 handle)
{
    if (!m_camera.deviceInfo()->isOperationSupported(BRX_Commu_PtpCodes::kOpDeleteObject)) {
        debugPrint(kDebugAlways, "%s - the camera does not offer deletion", BRX_METHOD);
        return Deletion::NotOffered;
    }
    BRX_Logic_CardListing::Entry entry;
    if (!find(handle, &entry))
        return Deletion::UnknownFile;
    if (!m_access.deleteObject(handle)) {
        debugPrint(kDebugAlways, "%s - the camera kept %s", BRX_METHOD, qUtf8Printable(entry.fileName));
        return Deletion::Refused;
    }
    std::lock_guard<std::mutex> locker(m_lock);
    m_known.remove(handle);
    return Deletion::Deleted;
}

bool BRX_Logic_Card::room(Room* room)
{
    *room = Room();
    bool told = false;
    for (quint32 storage : m_listing.storageIds()) {
        QByteArray dataset(int(kStorageInfoSize), '\0');
        Room storageRoom;
        if (!m_access.getStorageInfo(dataset.data(), kStorageInfoSize, storage)
            || !decodeRoom(dataset, &storageRoom))
            continue;
        told = true;
        room->capacityBytes += storageRoom.capacityBytes;
        room->freeBytes += storageRoom.freeBytes;
        if (storageRoom.picturesLeft != kPicturesLeftUntold)
            room->picturesLeft = (room->picturesLeft == kPicturesLeftUntold ? 0 : room->picturesLeft)
                                 + storageRoom.picturesLeft;
    }
    if (!told)
        debugPrint(kDebugAlways, "%s - the camera tells no room on its card", BRX_METHOD);
    return told;
}

bool BRX_Logic_Card::roomChanged(Room* room)
{
    if (!this->room(room))
        return false;
    std::lock_guard<std::mutex> locker(m_roomLock);
    const bool same = m_roomTold && room->capacityBytes == m_toldRoom.capacityBytes
                      && room->freeBytes == m_toldRoom.freeBytes && room->picturesLeft == m_toldRoom.picturesLeft;
    m_roomTold = true;
    m_toldRoom = *room;
    return !same;
}

bool BRX_Logic_Card::decodeRoom(const QByteArray& storageInfo, Room* room)
{
    if (quint32(storageInfo.size()) < kFixedStorageInfoSize)
        return false;
    BRX_Commu_ByteReader reader(storageInfo.constData(), quint32(storageInfo.size()));
    room->capacityBytes = reader.readU64At(kCapacityOffset);
    room->freeBytes = reader.readU64At(kFreeBytesOffset);
    room->picturesLeft = reader.readU32At(kFreeImagesOffset);
    return reader.ok();
}
