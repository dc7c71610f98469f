#ifndef BRX_COMMU_VIRTUALCAMERASTORE_H
#define BRX_COMMU_VIRTUALCAMERASTORE_H

#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Commu_VirtualCameraShot.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVector>

class BRX_Commu_VirtualCameraPicture;

// The virtual camera's card: one storage holding a folder and the pictures
// taken, and the queue of files the camera still wants a host to transfer.
// A picture is ordered at its release and its files are stored once made
// (the camera's card writer makes them in between). Handles are
// (n << 4) | type with n counting up and never reused; the type nibble says
// what the object is (DNG 1, folder 3, JPG 6). Not thread-safe: its owner
// locks.
class BRX_Commu_VirtualCameraStore
{
public:
    static constexpr quint32 kStorageId = 0x00010001;
    // Addresses the head of the pending-transfer queue in object operations.
    static constexpr quint32 kPendingHandle = 0x12345678;
    static constexpr quint32 kMaxObjectBytes = 1u << 30;

    enum HandleType : quint32 { kTypeDng = 1, kTypeFolder = 3, kTypeJpg = 6 };
    // A large preview exists for DNGs only; a JPG answers it with its big thumbnail.
    enum ThumbnailKind { kSmallThumbnail, kBigThumbnail, kLargePreview, kThumbnailKinds };

    struct Object {
        quint32 handle = 0;
        quint16 format = 0;
        QString fileName;
        QByteArray data;
        QByteArray thumbnails[kThumbnailKinds];
        quint16 orientation = 0;
        // The picture's pixels, and the large preview's.
        int width = 0;
        int height = 0;
        int previewWidth = 0;
        int previewHeight = 0;
        int pictureNumber = 0;
        QDateTime captured;
    };

    // What the files of the pictures ordered from now on are like (the
    // setters below tell).
    struct FileSettings {
        BRX_Commu_VirtualCameraProfile::Sensor sensor;
        quint32 dngBytes = 0;
        quint32 jpgBytes = 0;
        // 0: the sensor's.
        int width = 0;
        quint32 thumbnailBytes[kLargePreview] = {4000, 16000};
        int cardMegabytesPerSecond = 0;
    };
    // One picture as its release orders it: its files in the order the
    // camera writes them, the shot with its number and orientation, and the
    // file settings of that moment. Everything its files need, so that they
    // can be made on any thread (makeFiles).
    struct Order {
        QVector<quint16> formats;
        BRX_Commu_VirtualCameraShot shot;
        FileSettings files;
    };

    // A card in a camera of productId: its pictures are its sensor's size
    // and take its card's time to write.
    explicit BRX_Commu_VirtualCameraStore(int productId);

    // The next picture, numbered, with one file per format, all named with
    // its number.
    Order order(const QVector<quint16>& formats, BRX_Commu_VirtualCameraShot shot);
    // The files of an order, in its order, without handles yet. Touches no
    // store: safe on any thread.
    static QVector<Object> makeFiles(const Order& order);
    // For benchmarks of a host's downloads: the files of the last order
    // made, handed out renamed for each order of the same formats and file
    // settings, so that no picture making stands between a release and its
    // announcement. Their bytes, Exif included, are the earlier picture's.
    // Not thread-safe.
    class ReusedFiles
    {
    public:
        QVector<Object> filesFor(const Order& order);

    private:
        Order m_made;
        QVector<Object> m_files;
    };
    // Stores a file made of an order, queued for transfer or not; returns
    // its new handle.
    quint32 add(Object file, bool queueForTransfer);
    // The pictures taken before any host came: count of them stored at once,
    // none queued for transfer. Picture n is a JPG, every third one with a
    // DNG beside it, small and of a width of its own (so that sizes differ),
    // taken 97 s after the one before from 1 May 2026, 08:00 on; shot says
    // the camera and lens they record. Returns the files' new handles.
    QVector<quint32> fillCard(int count, const BRX_Commu_VirtualCameraShot& shot);
    // Orders a picture, makes its files and stores them all queued, at once.
    QVector<quint32> addPicture(const QVector<quint16>& formats,
                                BRX_Commu_VirtualCameraShot shot = BRX_Commu_VirtualCameraShot());
    // The object of handle, or of the head of the queue for kPendingHandle;
    // null when there is none. Valid until the store changes.
    const Object* find(quint32 handle) const;
    // Removes a picture (from the queue too); the folder stays.
    bool remove(quint32 handle);
    // The card formatted: every picture gone, the file numbers start again
    // at 1 (handles still count on, never reused).
    void format();
    bool isFolder(quint32 handle) const { return handle == m_folderHandle; }
    // Every handle, folder included, in creation order.
    QVector<quint32> handles() const;

    // ObjectInfo dataset of object; ThumbCompressedSize and the thumbnail
    // dimensions describe thumbnail kind. The SequenceNumber is the number
    // of queued files (this one included) when the object was addressed as
    // the queue's head, 0 otherwise.
    QByteArray objectInfo(const Object& object, int kind, bool addressedAsPending) const;
    static const QByteArray& thumbnail(const Object& object, int kind);
    // StorageInfo dataset of the card: its free space after the files on it
    // and the raw pictures of the sensor's size that still fit.
    QByteArray storageInfo() const;
    // A card of bytes (a small one fills up in tests); 0: the usual 32 GiB.
    void setCapacity(quint64 bytes);
    // Not room left for one more raw picture of the sensor's size.
    bool isFull() const;
    static bool isThumbnailKind(quint32 kind) { return kind < kThumbnailKinds; }

    int pendingCount() const { return m_pending.size(); }
    // The host has the head of the queue; nothing happens on an empty queue.
    void popPending();
    void clearPending() { m_pending.clear(); }

    // For the pictures ordered from now on. The sizes the files should have,
    // 0 for the sizes their pixels give them: a DNG reaches its size by its
    // raw's pixels, a JPG comes as near as its picture and Exif take it
    // (see BRX_Commu_VirtualCameraPicture); capped at kMaxObjectBytes.
    void setPictureSizes(quint32 dngBytes, quint32 jpgBytes);
    void setPictureOrientation(int exifCode);
    // Pictures width pixels wide (3:2), smaller than the sensor's for quick
    // tests; 0: the sensor's.
    void setPictureWidth(int width);
    // The small (0) and big (1) thumbnails' bytes; 0 leaves new pictures
    // without that kind. A DNG's large preview (2) is its own preview, and
    // the small thumbnail is at most the Exif's room for it.
    void setThumbnailSize(int kind, quint32 bytes);
    // A card that writes megabytesPerSecond; 0: the product's own.
    void setCardSpeed(int megabytesPerSecond);
    // Keeps the files of only the last count pictures (0: all), so that long
    // runs with large pictures stay within memory; a file still queued for
    // transfer is kept until it is fetched.
    void setPicturesKept(int count);
    // SequenceNumber promises extra pictures more than are queued, as a
    // camera whose burst ends short of what it announced.
    void promiseMorePictures(int extra) { m_extraPromised = extra; }

private:
    quint32 nextHandle(HandleType type);
    static void name(Object& file, const Order& order);
    static bool makesAlike(const Order& made, const Order& order);
    static Object makeFile(quint16 format, const Order& order, const BRX_Commu_VirtualCameraPicture& picture,
                           const QByteArray* thumbnails);
    int indexOf(quint32 handle) const;
    void forgetOldPictures();
    quint64 freeBytes() const;
    quint64 rawPictureBytes() const;

    QVector<Object> m_objects;
    QList<quint32> m_pending;
    quint32 m_handleNumber = 0;
    int m_pictureNumber = 0;
    quint32 m_folderHandle = 0;
    int m_picturesKept = 0;
    int m_extraPromised = 0;
    const BRX_Commu_VirtualCameraProfile::Sensor m_sensor;
    FileSettings m_files;
    quint16 m_orientation = 1;
    quint64 m_capacity;
};

#endif
