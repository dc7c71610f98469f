#ifndef BRX_LOGIC_EXIFHEADER_H
#define BRX_LOGIC_EXIFHEADER_H

#include <QByteArray>

// What the first bytes of a picture (a TIFF/DNG file or a JPEG with an Exif
// segment) tell about it without a full Exif parser: the byte order and the
// Orientation and PixelXDimension entries, found by their 8-byte entry
// patterns (tag, type SHORT, count 1). An entry whose value lies past the
// end of the bytes counts as missing.
class BRX_Logic_ExifHeader
{
public:
    explicit BRX_Logic_ExifHeader(const QByteArray& head);

    // "MM" at byte 0 (TIFF, DNG) or at byte 12 (the TIFF header inside a
    // JPEG's Exif segment); little-endian otherwise.
    bool isBigEndian() const { return m_bigEndian; }
    bool hasOrientation() const { return m_hasOrientation; }
    // The Orientation value byte taken as a signed byte, 0 when missing.
    int orientationCode() const { return m_orientationCode; }
    // Degrees of rotation: code 3 gives 180, 6 gives 90, 8 gives 270, else 0.
    int orientationDegrees() const;
    // The PixelXDimension value in the file's byte order, -1 when missing.
    int pixelWidth() const { return m_pixelWidth; }

private:
    // Offset of the first entry of tag whose value bytes are all present, or -1.
    int findEntry(const QByteArray& head, quint16 tag) const;
    // Where an entry's value starts, relative to the entry.
    int valueOffset() const { return m_bigEndian ? 9 : 8; }

    bool m_bigEndian = false;
    bool m_hasOrientation = false;
    int m_orientationCode = 0;
    int m_pixelWidth = -1;
};

#endif
