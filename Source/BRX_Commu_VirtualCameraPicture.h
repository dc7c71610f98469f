#ifndef BRX_COMMU_VIRTUALCAMERAPICTURE_H
#define BRX_COMMU_VIRTUALCAMERAPICTURE_H

#include <QByteArray>
#include <QtGlobal>

// The bytes of the virtual camera's files. They are deterministic: a header
// a host can parse for orientation and width, then a pseudo-random sequence
// from a seed, so that a corrupted, lost or misplaced chunk shows up as a
// difference to the stored original.
class BRX_Commu_VirtualCameraPicture
{
public:
    // The TIFF header of a DNG or of the Exif segment of a JPG: 8 header
    // bytes, then one IFD with the Orientation (0x0112) and PixelXDimension
    // (0xA002) entries, type SHORT, count 1.
    static constexpr int kTiffHeaderSize = 38;
    // Where the TIFF header starts inside a JPG (after SOI, APP1 marker,
    // segment length and "Exif\0\0").
    static constexpr int kJpgTiffOffset = 12;

    // size bytes in all, but never less than the header.
    static QByteArray dng(quint32 size, quint16 orientation, quint16 width, quint32 seed);
    static QByteArray jpg(quint32 size, quint16 orientation, quint16 width, quint32 seed);
    // A JPEG-like block: FF D8, filler, FF D9; empty for size 0, at least 4
    // bytes otherwise.
    static QByteArray thumbnail(quint32 size, quint32 seed);
};

#endif
