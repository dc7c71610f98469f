#include "BRX_Logic_ImageService.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_ExifHeader.h"
#include "BRX_Logic_ImageEntry.h"
#include "BRX_Logic_ObjectReader.h"

#include <QDebug>

#include <mutex>

namespace {

using ObjectReader = BRX_Logic_ObjectReader;

// Objects outside this range are not worth sharing, or are not pictures.
const quint32 kMinSharedObjectSize = 501;
const quint32 kMaxSharedObjectSize = 199999999;
// A picture whose first bytes are all zero came over broken.
const int kNulledCheckSize = 100;

// Widths above which a product's pictures are medium (1) and large (2).
struct SizeClassLimits {
    int productId;
    int medium;
    int large;
};
const SizeClassLimits kSizeClassLimits[] = {{0x2031, 2000, 4000}, {0x2061, 3500, 5000}};

int sizeClassOf(int productId, int width)
{
    for (const SizeClassLimits& limits : kSizeClassLimits) {
        if (limits.productId == productId)
            return width > limits.large ? 2 : width > limits.medium ? 1 : 0;
    }
    return 0;
}

// Stores what the picture's Exif header says about its rotation and size.
// A failed read leaves the orientation unknown, to be tried again.
void analysePicture(ObjectReader& reader, BRX_Logic_ImageEntry& entry, int productId)
{
    QByteArray head;
    if (!reader.readHead(head))
        return;
    const BRX_Logic_ExifHeader header(head);
    entry.setOrientation(header.orientationDegrees());
    entry.setSizeClass(sizeClassOf(productId, header.pixelWidth()));
}

// While it exists the camera counts as transferring and no keep-alive or
// 3D-axis exchange comes in between.
class ImageOperation
{
public:
    explicit ImageOperation(BRX_Logic_Camera& camera)
        : m_camera(camera)
    {
        camera.setTransferInProgress(true);
        camera.setImageFlag(true);
        m_lock = camera.lockCommunication();
    }
    ~ImageOperation()
    {
        m_camera.setTransferInProgress(false);
        m_camera.setImageFlag(false);
    }
    ImageOperation(const ImageOperation&) = delete;
    ImageOperation& operator=(const ImageOperation&) = delete;

private:
    BRX_Logic_Camera& m_camera;
    std::unique_lock<std::mutex> m_lock;
};

enum class Fetch { BigThumbnail, LargePreview, WholeObject };

Fetch fetchChoice(bool fullRes, bool forceDNG, bool isDng)
{
    if (isDng && forceDNG)
        return Fetch::WholeObject;
    if (!fullRes)
        return Fetch::BigThumbnail;
    return isDng ? Fetch::LargePreview : Fetch::WholeObject;
}

std::unique_ptr<QByteArray> fetch(ObjectReader& reader, Fetch choice, const ObjectReader::Info& info)
{
    switch (choice) {
    case Fetch::BigThumbnail:
        return reader.readThumbnail(ObjectReader::kBigThumb, info.thumbSize);
    case Fetch::LargePreview: {
        ObjectReader::Info preview;
        if (!reader.readInfo(ObjectReader::kLargePreview, preview))
            return nullptr;
        return reader.readThumbnail(ObjectReader::kLargePreview, preview.thumbSize);
    }
    case Fetch::WholeObject:
        return reader.readObject(info.compressedSize);
    }
    return nullptr;
}

bool isNulled(const QByteArray& data)
{
    const int checked = qMin(kNulledCheckSize, data.size());
    for (int i = 0; i < checked; ++i) {
        if (data.at(i) != 0)
            return false;
    }
    return checked > 0;
}

// What loadImageForSharing delivers; isWholeDng is set only for a whole DNG.
std::unique_ptr<QByteArray> fetchForSharing(ObjectReader& reader, bool fullRes, bool forceDNG, bool& isWholeDng)
{
    ObjectReader::Info info;
    if (!reader.readInfo(ObjectReader::kBigThumb, info))
        return nullptr;
    if (info.compressedSize < kMinSharedObjectSize || info.compressedSize > kMaxSharedObjectSize) {
        debugPrint(kDebugTransfer, "%s - object size %u not transferred", BRX_METHOD, info.compressedSize);
        return nullptr;
    }
    const bool isDng = info.format == ObjectReader::kFormatDng;
    const Fetch choice = fetchChoice(fullRes, forceDNG, isDng);
    std::unique_ptr<QByteArray> image = fetch(reader, choice, info);
    if (image && isNulled(*image))
        qDebug().noquote() << "--- corrupt (nulled) image transfered for image" << info.fileName;
    isWholeDng = image && choice == Fetch::WholeObject && isDng;
    return image;
}

} // namespace

BRX_Logic_ImageService::BRX_Logic_ImageService(BRX_Logic_Camera& camera, BRX_Commu_CameraAccess_Base& access,
                                               int productId)
    : m_camera(camera), m_access(access), m_productId(productId)
{
}

int BRX_Logic_ImageService::pictureCount() const
{
    return m_camera.imageDBCount();
}

const BRX_Logic_ImageEntry* BRX_Logic_ImageService::pictureEntry(int index) const
{
    return m_camera.imageDBEntry(index);
}

std::unique_ptr<QByteArray> BRX_Logic_ImageService::loadThumbnail(uint handle, bool isBig, QString* fileName)
{
    const int index = m_camera.imageDBIndexOfHandle(handle);
    if (index < 0) {
        debugPrint(kDebugAlways, "%s - objectHandle 0x%08X not in the image database", BRX_METHOD, handle);
        return nullptr;
    }
    ObjectReader reader(m_access, handle);
    const ObjectReader::ThumbKind kind = isBig ? ObjectReader::kBigThumb : ObjectReader::kSmallThumb;
    ImageOperation operation(m_camera);
    BRX_Logic_ImageEntry& entry = *m_camera.imageDBEntry(index);
    if (entry.orientation() == BRX_Logic_ImageEntry::kUnknownOrientation)
        analysePicture(reader, entry, m_productId);
    ObjectReader::Info info;
    if (!reader.readInfo(kind, info))
        return nullptr;
    *fileName = info.fileName;
    return reader.readThumbnail(kind, info.thumbSize);
}

std::unique_ptr<QByteArray> BRX_Logic_ImageService::loadForSharing(int index, bool fullRes, bool forceDNG,
                                                                    bool* isWholeDng)
{
    *isWholeDng = false;
    const uint handle = m_camera.imageDBHandle(index);
    if (handle == 0) {
        debugPrint(kDebugAlways, "%s - no picture at index %d", BRX_METHOD, index);
        return nullptr;
    }
    ImageOperation operation(m_camera);
    ObjectReader reader(m_access, handle);
    return fetchForSharing(reader, fullRes, forceDNG, *isWholeDng);
}

bool BRX_Logic_ImageService::forgetPicture(uint handle)
{
    if (m_camera.removeFromImageDB(handle))
        return true;
    debugPrint(kDebugAlways, "%s - objectHandle 0x%08X not in the image database", BRX_METHOD, handle);
    return false;
}
