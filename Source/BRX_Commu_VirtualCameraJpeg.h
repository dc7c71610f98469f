#ifndef BRX_COMMU_VIRTUALCAMERAJPEG_H
#define BRX_COMMU_VIRTUALCAMERAJPEG_H

#include <QByteArray>
#include <QtGlobal>
#include <functional>

// A small baseline JPEG encoder for the virtual camera's live view,
// thumbnails and JPG files: sequential DCT, 8-bit samples, YCbCr with 4:2:0
// chroma, the example quantisation tables scaled to a quality and the
// standard Huffman tables. No restart intervals, no JFIF or Exif segment of
// its own: the callers add what their file carries.
class BRX_Commu_VirtualCameraJpeg
{
public:
    // An RGB picture, three bytes a pixel, row after row.
    struct Image {
        int width = 0;
        int height = 0;
        QByteArray rgb;
    };

    static constexpr int kDefaultQuality = 75;
    // The most a baseline frame header can describe.
    static constexpr int kMaxDimension = 0xFFFF;
    // The least a comment segment adds: its marker and length.
    static constexpr int kCommentOverhead = 4;

    // quality 1 (smallest) to 100 (finest), as libjpeg counts it.
    explicit BRX_Commu_VirtualCameraJpeg(int quality = kDefaultQuality);

    // From SOI to EOI; empty for an image without pixels, larger than a
    // frame header describes, or whose rgb does not hold its pixels.
    QByteArray encode(const Image& image) const;
    // Fills count rows of a picture from row first on, width x 3 bytes
    // each: large pictures are encoded a band at a time.
    typedef std::function<void(int first, int count, quint8* rgb)> RowSource;
    QByteArray encode(int width, int height, const RowSource& rows) const;

    // jpeg grown to exactly size bytes by comment segments right after SOI;
    // their payloads carry comment and zeros after it. Fewer than
    // kCommentOverhead bytes to add become fill bytes (0xFF) before the next
    // marker, which decoders skip. Empty when jpeg does not start with SOI or
    // is longer than size.
    static QByteArray padded(const QByteArray& jpeg, int size, const QByteArray& comment = QByteArray());

private:
    // Reciprocal divisors in natural order, each quantisation step times the
    // scale of the DCT below.
    float m_lumaDivisors[64];
    float m_chromaDivisors[64];
    // The tables as written into DQT, zigzag order.
    quint8 m_lumaTable[64];
    quint8 m_chromaTable[64];
};

#endif
