#include "BRX_Commu_VirtualCameraPicture.h"
#include "BRX_Commu_VirtualCameraJpeg.h"
#include "BRX_Commu_VirtualCameraTestCard.h"

#include <algorithm>
#include <climits>

namespace {

const quint16 kTiffMagic = 42;
const quint32 kFirstIfdOffset = 8;
const quint16 kTagOrientation = 0x0112;
const quint16 kTagPixelXDimension = 0xA002;
const quint16 kTypeShort = 3;
const quint8 kMarker = 0xFF;
const quint8 kStartOfImage = 0xD8;
const quint8 kEndOfImage = 0xD9;
const quint8 kApp1 = 0xE1;
const char kExifIdentifier[] = "Exif\0\0";
const int kExifIdentifierSize = 6;
const int kMinimumThumbnailSize = 4;
const int kNumberModulus = 10000;
// The picture's sizes, tried in turn until one fits.
const int kImageDivisors[] = {1, 2, 4, 10};

// TIFF fields in either byte order, a byte at a time.
class TiffWriter
{
public:
    TiffWriter(QByteArray& out, bool bigEndian)
        : m_out(out)
        , m_bigEndian(bigEndian)
    {
    }

    void u16(quint16 value)
    {
        const quint8 high = quint8(value >> 8);
        const quint8 low = quint8(value & 0xFF);
        m_out.append(char(m_bigEndian ? high : low));
        m_out.append(char(m_bigEndian ? low : high));
    }

    void u32(quint32 value)
    {
        const quint16 high = quint16(value >> 16);
        const quint16 low = quint16(value & 0xFFFF);
        u16(m_bigEndian ? high : low);
        u16(m_bigEndian ? low : high);
    }

    // A SHORT value sits left-justified in the entry's 4-byte value field.
    void shortEntry(quint16 tag, quint16 value)
    {
        u16(tag);
        u16(kTypeShort);
        u32(1);
        u16(value);
        u16(0);
    }

private:
    QByteArray& m_out;
    const bool m_bigEndian;
};

void appendTiffHeader(QByteArray& out, bool bigEndian, quint16 orientation, quint16 width)
{
    out.append(bigEndian ? "MM" : "II");
    TiffWriter tiff(out, bigEndian);
    tiff.u16(kTiffMagic);
    tiff.u32(kFirstIfdOffset);
    tiff.u16(2);
    tiff.shortEntry(kTagOrientation, orientation);
    tiff.shortEntry(kTagPixelXDimension, width);
    tiff.u32(0); // no further IFD
}

// xorshift32: cheap enough for 60 MB objects, and any seed gives its own sequence.
void fillPseudoRandom(QByteArray& out, int from, int to, quint32 seed)
{
    quint32 state = seed * 2654435761u + 0x9E3779B9u;
    if (state == 0)
        state = 1;
    quint8* bytes = reinterpret_cast<quint8*>(out.data());
    for (int i = from; i < to; ++i) {
        if ((i - from) % 4 == 0) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
        }
        bytes[i] = quint8(state >> (8 * ((i - from) % 4)));
    }
}

QByteArray withFiller(QByteArray header, quint32 size, quint32 seed)
{
    const int headerSize = header.size();
    header.resize(std::max(headerSize, int(size)));
    fillPseudoRandom(header, headerSize, header.size(), seed);
    return header;
}

QByteArray filler(int count, quint32 seed)
{
    return withFiller(QByteArray(), quint32(std::max(0, count)), seed);
}

QByteArray exifHeader(quint16 orientation, quint16 width)
{
    QByteArray header;
    header.append(char(kMarker)).append(char(kStartOfImage)).append(char(kMarker)).append(char(kApp1));
    // The segment length is big-endian and counts itself, not the marker.
    const quint16 segmentLength = quint16(2 + kExifIdentifierSize + BRX_Commu_VirtualCameraPicture::kTiffHeaderSize);
    header.append(char(segmentLength >> 8)).append(char(segmentLength & 0xFF));
    header.append(kExifIdentifier, kExifIdentifierSize);
    appendTiffHeader(header, false, orientation, width);
    return header;
}

// Too small for a picture: only its first and last marker.
QByteArray jpegLikeBlock(quint32 size, quint32 seed)
{
    QByteArray block(std::max(int(size), kMinimumThumbnailSize), '\0');
    block[0] = char(kMarker);
    block[1] = char(kStartOfImage);
    fillPseudoRandom(block, 2, block.size() - 2, seed);
    block[block.size() - 2] = char(kMarker);
    block[block.size() - 1] = char(kEndOfImage);
    return block;
}

} // namespace

QByteArray BRX_Commu_VirtualCameraPicture::dng(quint32 size, quint16 orientation, quint16 width, quint32 seed)
{
    QByteArray header;
    appendTiffHeader(header, true, orientation, width);
    return withFiller(header, size, seed);
}

BRX_Commu_VirtualCameraPicture::BRX_Commu_VirtualCameraPicture(int number)
    : m_number(number % kNumberModulus)
    , m_image(encode(kImageWidth, kImageHeight))
{
}

QByteArray BRX_Commu_VirtualCameraPicture::jpg(quint32 size, quint16 orientation, quint16 width, quint32 seed) const
{
    QByteArray file = exifHeader(orientation, width);
    // The picture follows the Exif segment without its own SOI.
    file += imageWithin(int(std::min<quint32>(size, INT_MAX)) - file.size() + 2).mid(2);
    return withFiller(file, size, seed);
}

QByteArray BRX_Commu_VirtualCameraPicture::thumbnail(quint32 size, quint32 seed) const
{
    if (size == 0)
        return QByteArray();
    const QByteArray image = imageWithin(int(std::min<quint32>(size, INT_MAX)));
    if (image.isEmpty())
        return jpegLikeBlock(size, seed);
    return BRX_Commu_VirtualCameraJpeg::padded(image, int(size), filler(int(size) - image.size(), seed));
}

QByteArray BRX_Commu_VirtualCameraPicture::imageWithin(int bytes) const
{
    for (int divisor : kImageDivisors) {
        const QByteArray image = divisor == 1 ? m_image : encode(kImageWidth / divisor, kImageHeight / divisor);
        if (image.size() <= bytes)
            return image;
    }
    return QByteArray();
}

QByteArray BRX_Commu_VirtualCameraPicture::encode(int width, int height) const
{
    BRX_Commu_VirtualCameraTestCard card;
    card.setNumber(m_number);
    return BRX_Commu_VirtualCameraJpeg().encode(card.render(BRX_Commu_VirtualCameraTestCard::kWholeCard, width, height));
}
