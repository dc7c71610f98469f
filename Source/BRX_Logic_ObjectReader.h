#ifndef BRX_LOGIC_OBJECTREADER_H
#define BRX_LOGIC_OBJECTREADER_H

#include "BRX_Commu_PtpCodes.h"

#include <QByteArray>
#include <QString>

#include <memory>

class BRX_Commu_CameraAccess_Base;

// Reads one stored object of the camera, addressed by its handle: the
// ObjectInfo dataset, its first bytes, a thumbnail or the whole object.
// The caller serialises it with the camera's other exchanges.
class BRX_Logic_ObjectReader
{
public:
    // Thumbnail kinds of GetObjectInfo and GetThumb.
    enum ThumbKind { kSmallThumb = 0, kBigThumb = 1, kLargePreview = 2 };

    // The ObjectInfo fields the image operations and downloads use.
    struct Info {
        quint16 format = 0;
        quint32 compressedSize = 0;
        quint32 thumbSize = 0;
        // Downloads: the pictures still to load, this one included.
        quint32 sequenceNumber = 0;
        QString fileName;
    };

    // Objects of this format are DNG pictures.
    static constexpr quint16 kFormatDng = BRX_Commu_PtpCodes::kFormatDng;
    // Larger objects are read in pieces of this size.
    static constexpr quint32 kChunkSize = 6000000;
    // Far above any thumbnail or preview of these cameras, far below what a
    // hostile ObjectInfo can claim.
    static constexpr quint32 kMaxThumbnailSize = 32u << 20;
    // As much of the ObjectInfo dataset as reaches past the file name.
    static constexpr quint32 kInfoSize = 154;
    // Enough of a picture's start to hold its TIFF or Exif header.
    static constexpr quint32 kHeadSize = 1024;

    // The fields of an ObjectInfo dataset of kInfoSize bytes.
    static Info decodeInfo(const QByteArray& dataset);
    // Makes buffer size bytes long (uninitialised). Sizes come from the
    // camera: one above ceiling or 256 MiB, larger than any picture, or one
    // that memory cannot hold now, is refused with a log line naming what,
    // instead of taking the process down.
    static bool allocate(QByteArray& buffer, quint32 size, const char* what, quint32 ceiling = 0xFFFFFFFF);

    BRX_Logic_ObjectReader(BRX_Commu_CameraAccess_Base& access, quint32 handle);

    // False, with a log line, when the camera refuses the dataset.
    bool readInfo(ThumbKind kind, Info& info);
    // The first bytes of the object (enough for its Exif header); false when
    // the read failed.
    bool readHead(QByteArray& head);
    // A buffer of size bytes filled with the thumbnail of kind. Null when
    // there is no thumbnail (size 0) or no buffer of that size can be had;
    // a failed read leaves the buffer zero-filled.
    std::unique_ptr<QByteArray> readThumbnail(ThumbKind kind, quint32 size);
    // The whole object of size bytes, in kChunkSize pieces when larger. Null
    // when no buffer of that size can be had; a failed read leaves the rest
    // of the buffer zero-filled.
    std::unique_ptr<QByteArray> readObject(quint32 size);

private:
    // Reads pieces at increasing offsets until all are read or one fails.
    void readInChunks(QByteArray& buffer);

    BRX_Commu_CameraAccess_Base& m_access;
    const quint32 m_handle;
};

#endif
