#include "JpegLayout.h"

namespace {

const quint8 kMarker = 0xFF;
const quint8 kEndOfImage = 0xD9;
const quint8 kStartOfScan = 0xDA;
const quint8 kBaselineFrame = 0xC0;
const quint8 kHuffmanTables = 0xC4;
const quint8 kComment = 0xFE;

quint8 byteAt(const QByteArray& bytes, int at)
{
    return quint8(bytes.at(at));
}

int bigEndian16(const QByteArray& bytes, int at)
{
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

} // namespace

JpegLayout::JpegLayout(const QByteArray& bytes)
{
    if (walk(bytes) && m_width == 0)
        fail(QStringLiteral("no baseline frame header"));
}

bool JpegLayout::walk(const QByteArray& bytes)
{
    if (!bytes.startsWith("\xFF\xD8"))
        return fail(QStringLiteral("no SOI"));
    int at = 2;
    for (;;) {
        if (at >= bytes.size() || byteAt(bytes, at) != kMarker)
            return fail(QStringLiteral("no marker at %1").arg(at));
        while (at < bytes.size() && byteAt(bytes, at) == kMarker)
            ++at;
        if (at + 1 > bytes.size())
            return fail(QStringLiteral("cut off in a marker"));
        const quint8 marker = byteAt(bytes, at++);
        if (marker == kEndOfImage) {
            m_end = at;
            return true;
        }
        if (at + 2 > bytes.size() || bigEndian16(bytes, at) < 2 || at + bigEndian16(bytes, at) > bytes.size())
            return fail(QStringLiteral("segment 0x%1 overruns").arg(marker, 0, 16));
        const int length = bigEndian16(bytes, at);
        if (!readSegment(marker, bytes.mid(at + 2, length - 2)))
            return false;
        at += length;
        if (marker == kStartOfScan)
            at = skipScan(bytes, at);
    }
}

bool JpegLayout::readSegment(quint8 marker, const QByteArray& payload)
{
    if (marker == kComment)
        m_comments << payload;
    else if (marker == kHuffmanTables)
        return readHuffmanTables(payload);
    else if (marker == kBaselineFrame && payload.size() >= 5) {
        m_height = bigEndian16(payload, 1);
        m_width = bigEndian16(payload, 3);
    } else if (marker == kStartOfScan && (m_width == 0 || m_acTables.isEmpty()))
        return fail(QStringLiteral("a scan before its frame header or tables"));
    else if (marker > kBaselineFrame && marker <= 0xCF && marker != kHuffmanTables)
        return fail(QStringLiteral("not baseline: 0x%1").arg(marker, 0, 16));
    return true;
}

bool JpegLayout::readHuffmanTables(const QByteArray& payload)
{
    for (int at = 0; at < payload.size();) {
        if (at + 17 > payload.size())
            return fail(QStringLiteral("Huffman table cut off"));
        int count = 0;
        for (int length = 0; length < 16; ++length)
            count += byteAt(payload, at + 1 + length);
        if (at + 17 + count > payload.size())
            return fail(QStringLiteral("Huffman symbols cut off"));
        QSet<quint8> symbols;
        for (int i = 0; i < count; ++i)
            symbols << byteAt(payload, at + 17 + i);
        (byteAt(payload, at) >> 4 ? m_acTables : m_dcTables) << symbols;
        at += 17 + count;
    }
    return true;
}

// Entropy-coded data runs to the first 0xFF that is not stuffed.
int JpegLayout::skipScan(const QByteArray& bytes, int at) const
{
    while (at + 1 < bytes.size() && !(byteAt(bytes, at) == kMarker && byteAt(bytes, at + 1) != 0))
        at += byteAt(bytes, at) == kMarker ? 2 : 1;
    return at + 1 < bytes.size() ? at : bytes.size();
}

bool JpegLayout::hasCompleteHuffmanTables() const
{
    QSet<quint8> dc;
    for (quint8 category = 0; category <= 11; ++category)
        dc << category;
    QSet<quint8> ac = {0x00, 0xF0};
    for (int run = 0; run < 16; ++run) {
        for (int size = 1; size <= 10; ++size)
            ac << quint8(run << 4 | size);
    }
    for (const QSet<quint8>& table : m_dcTables) {
        if (!table.contains(dc))
            return false;
    }
    for (const QSet<quint8>& table : m_acTables) {
        if (!table.contains(ac))
            return false;
    }
    return !m_dcTables.isEmpty() && !m_acTables.isEmpty();
}

bool JpegLayout::fail(const QString& why)
{
    m_error = why.toUtf8();
    return false;
}
