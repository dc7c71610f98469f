#include "BRX_Logic_ExifHeader.h"

namespace {

const quint16 kTagOrientation = 0x0112;
const quint16 kTagPixelXDimension = 0xA002;
const quint16 kTypeShort = 3;

bool isMotorolaMark(const QByteArray& head, int offset)
{
    return head.size() > offset + 1 && head.at(offset) == 'M' && head.at(offset + 1) == 'M';
}

void appendU16(QByteArray* bytes, quint16 value, bool bigEndian)
{
    const char high = char(value >> 8);
    const char low = char(value & 0xFF);
    bytes->append(bigEndian ? high : low);
    bytes->append(bigEndian ? low : high);
}

// An IFD entry's first eight bytes: tag, type SHORT, count 1.
QByteArray entryPattern(quint16 tag, bool bigEndian)
{
    QByteArray pattern;
    appendU16(&pattern, tag, bigEndian);
    appendU16(&pattern, kTypeShort, bigEndian);
    const QByteArray one = bigEndian ? QByteArray::fromHex("00000001") : QByteArray::fromHex("01000000");
    return pattern + one;
}

} // namespace

BRX_Logic_ExifHeader::BRX_Logic_ExifHeader(const QByteArray& head)
    : m_bigEndian(isMotorolaMark(head, 0) || isMotorolaMark(head, 12))
{
    const int orientation = findEntry(head, kTagOrientation);
    if (orientation >= 0) {
        m_hasOrientation = true;
        m_orientationCode = qint8(head.at(orientation + valueOffset()));
    }
    // Both value bytes lie at +8 and +9 whatever the byte order.
    const int width = findEntry(head, kTagPixelXDimension);
    if (width >= 0) {
        const quint8 first = quint8(head.at(width + 8));
        const quint8 second = quint8(head.at(width + 9));
        m_pixelWidth = m_bigEndian ? (first << 8) | second : (second << 8) | first;
    }
}

int BRX_Logic_ExifHeader::orientationDegrees() const
{
    switch (m_orientationCode) {
    case 3:
        return 180;
    case 6:
        return 90;
    case 8:
        return 270;
    default:
        return 0;
    }
}

int BRX_Logic_ExifHeader::findEntry(const QByteArray& head, quint16 tag) const
{
    const int lastValueByte = 9;
    const int found = head.indexOf(entryPattern(tag, m_bigEndian));
    return found >= 0 && found + lastValueByte < head.size() ? found : -1;
}
