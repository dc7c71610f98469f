#ifndef BRX_COMMU_VIRTUALCAMERAPICTURE_H
#define BRX_COMMU_VIRTUALCAMERAPICTURE_H

#include <QByteArray>
#include <QtGlobal>

// The bytes of the virtual camera's files. They are deterministic: a header
// a host can parse for orientation and width, the picture where the format
// shows one, and a pseudo-random filler from a seed up to the file's size,
// so that a corrupted, lost or misplaced chunk shows up as a difference to
// the stored original.
class BRX_Commu_VirtualCameraPicture
{
public:
    // The TIFF header of a DNG or of the Exif segment of a JPG: 8 header
    // bytes, then one IFD with the Orientation (0x0112) and PixelXDimension
    // (0xA002) entries, type SHORT, count 1.
    static constexpr int kTiffHeaderSize = 38;
    // The picture the thumbnails and the JPG file show, when they have room.
    static constexpr int kImageWidth = 160;
    static constexpr int kImageHeight = 120;

    // The picture numbered number: the test card with the number on it.
    explicit BRX_Commu_VirtualCameraPicture(int number);

    // size bytes in all, but never less than the header.
    static QByteArray dng(quint32 size, quint16 orientation, quint16 width, quint32 seed);
    // SOI, an APP1 Exif segment whose TIFF header begins at byte 12, the
    // picture down to its EOI when it fits, then the filler: size bytes in
    // all, but never less than the SOI and Exif segment.
    QByteArray jpg(quint32 size, quint16 orientation, quint16 width, quint32 seed) const;
    // The picture, made smaller where size asks for it, padded to size with
    // comment segments that carry the filler. Below the size of the smallest
    // picture a JPEG-like block: FF D8, filler, FF D9. Empty for size 0, at
    // least 4 bytes otherwise.
    QByteArray thumbnail(quint32 size, quint32 seed) const;

private:
    // The picture at the largest size whose JPEG takes at most bytes; empty
    // when even the smallest takes more.
    QByteArray imageWithin(int bytes) const;
    QByteArray encode(int width, int height) const;

    const int m_number;
    const QByteArray m_image;
};

#endif
