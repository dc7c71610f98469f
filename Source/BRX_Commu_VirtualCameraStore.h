#ifndef BRX_COMMU_VIRTUALCAMERASTORE_H
#define BRX_COMMU_VIRTUALCAMERASTORE_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

class BRX_Commu_VirtualCameraPicture;

// The virtual camera's card: one storage holding a folder and the pictures
// taken, and the queue of files the camera still wants a host to transfer.
// Handles are (n << 4) | type with n counting up and never reused; the type
// nibble says what the object is (DNG 1, folder 3, JPG 6). Not thread-safe:
// its owner locks.
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
        quint16 width = 0;
        int pictureNumber = 0;
    };

    BRX_Commu_VirtualCameraStore();

    // One picture as one file per format, in this order, all named with the
    // next picture number; each file is stored and queued for transfer.
    // Returns the new handles.
    QVector<quint32> addPicture(const QVector<quint16>& formats);
    // The object of handle, or of the head of the queue for kPendingHandle;
    // null when there is none. Valid until the store changes.
    const Object* find(quint32 handle) const;
    // Removes a picture (from the queue too); the folder stays.
    bool remove(quint32 handle);
    bool isFolder(quint32 handle) const { return handle == m_folderHandle; }
    // Every handle, folder included, in creation order.
    QVector<quint32> handles() const;

    // ObjectInfo dataset of object; ThumbCompressedSize and the thumbnail
    // dimensions describe thumbnail kind. The SequenceNumber is the number
    // of queued files (this one included) when the object was addressed as
    // the queue's head, 0 otherwise.
    QByteArray objectInfo(const Object& object, int kind, bool addressedAsPending) const;
    static const QByteArray& thumbnail(const Object& object, int kind);
    // StorageInfo dataset of the card, its free space after the files on it.
    QByteArray storageInfo() const;
    static bool isThumbnailKind(quint32 kind) { return kind < kThumbnailKinds; }

    int pendingCount() const { return m_pending.size(); }
    // The host has the head of the queue; nothing happens on an empty queue.
    void popPending();
    void clearPending() { m_pending.clear(); }

    // For the pictures taken from now on; sizes are capped at kMaxObjectBytes.
    void setPictureSizes(quint32 dngBytes, quint32 jpgBytes);
    void setPictureOrientation(int exifCode);
    void setPictureWidth(int width);
    // Sizes of 0 leave new pictures without that kind of thumbnail.
    void setThumbnailSize(int kind, quint32 bytes);
    // Keeps the files of only the last count pictures (0: all), so that long
    // runs with large pictures stay within memory; a file still queued for
    // transfer is kept until it is fetched.
    void setPicturesKept(int count);
    // SequenceNumber promises extra pictures more than are queued, as a
    // camera whose burst ends short of what it announced.
    void promiseMorePictures(int extra) { m_extraPromised = extra; }

private:
    quint32 nextHandle(HandleType type);
    Object makeFile(quint16 format, int pictureNumber, const BRX_Commu_VirtualCameraPicture& picture);
    int indexOf(quint32 handle) const;
    void forgetOldPictures();

    QVector<Object> m_objects;
    QList<quint32> m_pending;
    quint32 m_handleNumber = 0;
    int m_pictureNumber = 0;
    quint32 m_folderHandle = 0;
    int m_picturesKept = 0;
    int m_extraPromised = 0;
    quint32 m_dngBytes = 300000;
    quint32 m_jpgBytes = 80000;
    quint16 m_orientation = 1;
    quint16 m_width = 6000;
    quint32 m_thumbnailBytes[kThumbnailKinds] = {4000, 16000, 48000};
};

#endif
