#include "BRX_Commu_TiffWriter.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Platform_Base.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

typedef BRX_Commu_TiffWriter Tiff;

const quint32 kHeaderSize = 8;
const quint16 kMagic = 42;
const quint32 kEntrySize = 12;
const quint32 kInlineBytes = 4;

quint32 aligned(quint32 offset)
{
    return offset + (offset & 1);
}

quint32 typeSize(Tiff::Type type)
{
    switch (type) {
    case Tiff::kShort:
        return 2;
    case Tiff::kLong:
        return 4;
    case Tiff::kRational:
    case Tiff::kSRational:
        return 8;
    default:
        return 1;
    }
}

bool isInline(quint32 bytes)
{
    return bytes <= kInlineBytes;
}

quint32 ifdSize(int entries)
{
    return 2 + kEntrySize * quint32(entries) + 4;
}

void put16(char* at, quint16 value)
{
    BRX_Commu_ByteWriter::writeU16(reinterpret_cast<quint8*>(at), 0, value);
}

void put32(char* at, quint32 value)
{
    BRX_Commu_ByteWriter::writeU32(reinterpret_cast<quint8*>(at), 0, value);
}

} // namespace

void BRX_Commu_TiffWriter::Ifd::add(const Entry& entry)
{
    const auto after = std::upper_bound(m_entries.begin(), m_entries.end(), entry.tag,
                                        [](quint16 tag, const Entry& other) { return tag < other.tag; });
    m_entries.insert(after, entry);
}

void BRX_Commu_TiffWriter::Ifd::addShorts(quint16 tag, const QVector<quint16>& values)
{
    QByteArray bytes;
    for (quint16 value : values)
        BRX_Commu_ByteWriter::appendU16(bytes, value);
    add({tag, kShort, quint32(values.size()), bytes, {}, kNoBlock, -1});
}

void BRX_Commu_TiffWriter::Ifd::addLongs(quint16 tag, const QVector<quint32>& values)
{
    QByteArray bytes;
    for (quint32 value : values)
        BRX_Commu_ByteWriter::appendU32(bytes, value);
    add({tag, kLong, quint32(values.size()), bytes, {}, kNoBlock, -1});
}

void BRX_Commu_TiffWriter::Ifd::addBytes(quint16 tag, Type type, const QByteArray& bytes)
{
    add({tag, type, quint32(bytes.size()), bytes, {}, kNoBlock, -1});
}

void BRX_Commu_TiffWriter::Ifd::addAscii(quint16 tag, const QString& text)
{
    addBytes(tag, kAscii, text.toLatin1() + '\0');
}

void BRX_Commu_TiffWriter::Ifd::addRationals(quint16 tag, const QVector<double>& values, quint32 denominator)
{
    QByteArray bytes;
    for (double value : values) {
        BRX_Commu_ByteWriter::appendU32(bytes, quint32(std::lround(std::max(0.0, value) * denominator)));
        BRX_Commu_ByteWriter::appendU32(bytes, denominator);
    }
    add({tag, kRational, quint32(values.size()), bytes, {}, kNoBlock, -1});
}

void BRX_Commu_TiffWriter::Ifd::addSignedRationals(quint16 tag, const QVector<double>& values, qint32 denominator)
{
    QByteArray bytes;
    for (double value : values) {
        BRX_Commu_ByteWriter::appendU32(bytes, quint32(qint32(std::lround(value * denominator))));
        BRX_Commu_ByteWriter::appendU32(bytes, quint32(denominator));
    }
    add({tag, kSRational, quint32(values.size()), bytes, {}, kNoBlock, -1});
}

void BRX_Commu_TiffWriter::Ifd::addSubIfd(quint16 tag, const std::shared_ptr<Ifd>& child)
{
    addSubIfds(tag, {child});
}

void BRX_Commu_TiffWriter::Ifd::addSubIfds(quint16 tag, const QVector<std::shared_ptr<Ifd>>& children)
{
    add({tag, kLong, quint32(children.size()), QByteArray(4 * children.size(), '\0'), children, kNoBlock, -1});
}

void BRX_Commu_TiffWriter::Ifd::addBlock(quint16 offsetTag, quint16 countTag, quint32 size, const Fill& fill)
{
    m_blocks << Block{size, fill};
    add({offsetTag, kLong, 1, QByteArray(), {}, kBlockOffset, m_blocks.size() - 1});
    if (countTag)
        add({countTag, kLong, 1, QByteArray(), {}, kBlockSize, m_blocks.size() - 1});
}

void BRX_Commu_TiffWriter::Ifd::addBlockValue(quint16 tag, Type type, quint32 size, const Fill& fill)
{
    m_blocks << Block{size, fill};
    add({tag, type, size / typeSize(type), QByteArray(), {}, kBlockValue, m_blocks.size() - 1});
}

BRX_Commu_TiffWriter::BRX_Commu_TiffWriter(const std::shared_ptr<Ifd>& first)
    : m_first(first)
{
    m_size = kHeaderSize;
    place(first);
    // Strips and thumbnails in the order of their IFDs, then the values
    // kept as blocks (private data), which end the file.
    for (Ifd::BlockRole role : {Ifd::kBlockOffset, Ifd::kBlockValue}) {
        for (const Placed& placed : m_placed) {
            for (const Ifd::Entry& entry : placed.ifd->m_entries) {
                if (entry.role != role)
                    continue;
                m_size = aligned(m_size);
                m_blocks << PlacedBlock{placed.ifd, entry.block, m_size};
                m_size += placed.ifd->m_blocks.at(entry.block).size;
            }
        }
    }
}

// An IFD, its values, then its sub-IFDs, then the next IFD of its chain.
void BRX_Commu_TiffWriter::place(const std::shared_ptr<Ifd>& ifd)
{
    const quint32 offset = aligned(m_size);
    const quint32 valuesOffset = offset + ifdSize(ifd->m_entries.size());
    m_size = valuesOffset;
    for (const Ifd::Entry& entry : ifd->m_entries) {
        if (entry.role == Ifd::kNoBlock && !isInline(quint32(entry.bytes.size())))
            m_size = aligned(m_size) + quint32(entry.bytes.size());
    }
    m_placed << Placed{ifd.get(), offset, valuesOffset};
    for (const Ifd::Entry& entry : ifd->m_entries) {
        for (const std::shared_ptr<Ifd>& child : entry.children)
            place(child);
    }
    if (ifd->m_next)
        place(ifd->m_next);
}

quint32 BRX_Commu_TiffWriter::offsetOf(const Ifd* ifd) const
{
    for (const Placed& placed : m_placed) {
        if (placed.ifd == ifd)
            return placed.offset;
    }
    return 0;
}

quint32 BRX_Commu_TiffWriter::blockOffset(const Ifd* ifd, int block) const
{
    for (const PlacedBlock& placed : m_blocks) {
        if (placed.ifd == ifd && placed.block == block)
            return placed.offset;
    }
    return 0;
}

QByteArray BRX_Commu_TiffWriter::write() const
{
    QByteArray out(int(m_size), Qt::Uninitialized);
    char* data = out.data();
    // A raw strip is tens of megabytes, written once from front to back.
    BRX_Platform_Base::preferLargePages(data, m_size);
    const quint32 blocksStart = m_blocks.isEmpty() ? m_size : m_blocks.first().offset;
    std::memset(data, 0, blocksStart);
    data[0] = 'I';
    data[1] = 'I';
    put16(data + 2, kMagic);
    put32(data + 4, m_placed.first().offset);
    for (const Placed& placed : m_placed)
        writeIfd(placed, data);
    quint32 end = blocksStart;
    for (const PlacedBlock& placed : m_blocks) {
        std::memset(data + end, 0, placed.offset - end);
        const Ifd::Block& block = placed.ifd->m_blocks.at(placed.block);
        block.fill(data + placed.offset);
        end = placed.offset + block.size;
    }
    return out;
}

void BRX_Commu_TiffWriter::writeIfd(const Placed& placed, char* out) const
{
    QVector<Ifd::Entry> entries = placed.ifd->m_entries;
    char* at = out + placed.offset;
    put16(at, quint16(entries.size()));
    at += 2;
    quint32 values = placed.valuesOffset;
    for (Ifd::Entry& entry : entries) {
        put16(at, entry.tag);
        put16(at + 2, entry.type);
        put32(at + 4, entry.count);
        for (int i = 0; i < entry.children.size(); ++i)
            put32(entry.bytes.data() + 4 * i, offsetOf(entry.children.at(i).get()));
        if (entry.role == Ifd::kBlockSize) {
            put32(at + 8, placed.ifd->m_blocks.at(entry.block).size);
        } else if (entry.role != Ifd::kNoBlock) {
            put32(at + 8, blockOffset(placed.ifd, entry.block));
        } else if (isInline(quint32(entry.bytes.size()))) {
            std::memcpy(at + 8, entry.bytes.constData(), size_t(entry.bytes.size()));
        } else {
            values = aligned(values);
            put32(at + 8, values);
            std::memcpy(out + values, entry.bytes.constData(), size_t(entry.bytes.size()));
            values += quint32(entry.bytes.size());
        }
        at += kEntrySize;
    }
    const Ifd* next = placed.ifd->m_next.get();
    put32(at, next ? offsetOf(next) : 0);
}
