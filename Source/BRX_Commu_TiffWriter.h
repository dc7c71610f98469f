#ifndef BRX_COMMU_TIFFWRITER_H
#define BRX_COMMU_TIFFWRITER_H

#include <QByteArray>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

// A little-endian TIFF structure as a camera writes it, for DNG files and
// for the Exif segment of a JPG: a chain of IFDs, each with its entries
// sorted by tag, sub-IFDs hanging off pointer tags, and data blocks (strips,
// thumbnails, private data) after all of them in the order they were added.
// Every IFD and value starts at an even offset. The layout is worked out
// before a byte is written, so that a caller can size a block to reach a
// file size, and each block is filled in place in the finished buffer: a
// 100 MB raw strip is written once.
class BRX_Commu_TiffWriter
{
public:
    enum Type : quint16 {
        kByte = 1,
        kAscii = 2,
        kShort = 3,
        kLong = 4,
        kRational = 5,
        kUndefined = 7,
        kSRational = 10,
    };
    // Writes a block's bytes where they go in the file.
    typedef std::function<void(char* at)> Fill;

    class Ifd
    {
    public:
        void addShorts(quint16 tag, const QVector<quint16>& values);
        void addShort(quint16 tag, quint16 value) { addShorts(tag, {value}); }
        void addLongs(quint16 tag, const QVector<quint32>& values);
        void addLong(quint16 tag, quint32 value) { addLongs(tag, {value}); }
        void addBytes(quint16 tag, Type type, const QByteArray& bytes);
        // Latin-1 text with its terminating null.
        void addAscii(quint16 tag, const QString& text);
        // Each value as a fraction over denominator.
        void addRationals(quint16 tag, const QVector<double>& values, quint32 denominator);
        void addSignedRationals(quint16 tag, const QVector<double>& values, qint32 denominator);
        // The tag points at child, which the writer lays out after this IFD.
        void addSubIfd(quint16 tag, const std::shared_ptr<Ifd>& child);
        // SubIFDs (0x014A): several children in one LONG array.
        void addSubIfds(quint16 tag, const QVector<std::shared_ptr<Ifd>>& children);
        // A data block of size bytes: offsetTag holds its offset, countTag
        // (if not 0) its size, both as LONG.
        void addBlock(quint16 offsetTag, quint16 countTag, quint32 size, const Fill& fill);
        // A value of type and count whose bytes are a data block: for private
        // data written at the end of a file. More than 4 bytes.
        void addBlockValue(quint16 tag, Type type, quint32 size, const Fill& fill);
        // The IFD that follows this one in the chain (IFD1 after IFD0).
        void setNext(const std::shared_ptr<Ifd>& next) { m_next = next; }

    private:
        friend class BRX_Commu_TiffWriter;
        // What a block entry holds: the block's offset, its size, or the
        // offset of a value that is the block.
        enum BlockRole { kNoBlock, kBlockOffset, kBlockSize, kBlockValue };
        struct Entry {
            quint16 tag;
            Type type;
            quint32 count;
            QByteArray bytes;                       // the value, when the entry holds it
            QVector<std::shared_ptr<Ifd>> children; // sub-IFD pointers
            BlockRole role;
            int block;
        };
        // Kept sorted by tag, so that values are laid out and written in the
        // same order.
        void add(const Entry& entry);
        QVector<Entry> m_entries;
        struct Block {
            quint32 size;
            Fill fill;
        };
        QVector<Block> m_blocks;
        std::shared_ptr<Ifd> m_next;
    };

    explicit BRX_Commu_TiffWriter(const std::shared_ptr<Ifd>& first);

    // The whole structure's bytes, header first.
    quint32 size() const { return m_size; }
    QByteArray write() const;

private:
    struct Placed {
        const Ifd* ifd;
        quint32 offset;
        quint32 valuesOffset;
    };
    void place(const std::shared_ptr<Ifd>& ifd);
    quint32 offsetOf(const Ifd* ifd) const;
    quint32 blockOffset(const Ifd* ifd, int block) const;
    void writeIfd(const Placed& placed, char* out) const;

    // Holds the whole tree, which the layout points into.
    const std::shared_ptr<Ifd> m_first;
    QVector<Placed> m_placed;
    struct PlacedBlock {
        const Ifd* ifd;
        int block;
        quint32 offset;
    };
    QVector<PlacedBlock> m_blocks;
    quint32 m_size = 0;
};

#endif
