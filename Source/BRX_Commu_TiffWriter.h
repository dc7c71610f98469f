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
    // The tags of TIFF, Exif and DNG that the virtual camera's files carry.
    enum Tag : quint16 {
        kTagNewSubFileType = 0x00FE,
        kTagImageWidth = 0x0100,
        kTagImageLength = 0x0101,
        kTagBitsPerSample = 0x0102,
        kTagCompression = 0x0103,
        kTagPhotometric = 0x0106,
        kTagMake = 0x010F,
        kTagModel = 0x0110,
        kTagStripOffsets = 0x0111,
        kTagOrientation = 0x0112,
        kTagSamplesPerPixel = 0x0115,
        kTagRowsPerStrip = 0x0116,
        kTagStripByteCounts = 0x0117,
        kTagXResolution = 0x011A,
        kTagYResolution = 0x011B,
        kTagPlanarConfiguration = 0x011C,
        kTagResolutionUnit = 0x0128,
        kTagSoftware = 0x0131,
        kTagDateTime = 0x0132,
        kTagSubIfds = 0x014A,
        kTagThumbnailOffset = 0x0201,
        kTagThumbnailLength = 0x0202,
        kTagYCbCrSubSampling = 0x0212,
        kTagYCbCrPositioning = 0x0213,
        kTagCfaRepeatPatternDim = 0x828D,
        kTagCfaPattern = 0x828E,
        kTagExposureTime = 0x829A,
        kTagFNumber = 0x829D,
        kTagExifIfd = 0x8769,
        kTagExposureProgram = 0x8822,
        kTagIso = 0x8827,
        kTagExifVersion = 0x9000,
        kTagDateTimeOriginal = 0x9003,
        kTagDateTimeDigitized = 0x9004,
        kTagComponentsConfiguration = 0x9101,
        kTagExposureBias = 0x9204,
        kTagMaxAperture = 0x9205,
        kTagMeteringMode = 0x9207,
        kTagLightSource = 0x9208,
        kTagFlash = 0x9209,
        kTagFocalLength = 0x920A,
        kTagUserComment = 0x9286,
        kTagSubSecTime = 0x9290,
        kTagSubSecTimeOriginal = 0x9291,
        kTagSubSecTimeDigitized = 0x9292,
        kTagFlashpixVersion = 0xA000,
        kTagColorSpace = 0xA001,
        kTagPixelXDimension = 0xA002,
        kTagPixelYDimension = 0xA003,
        kTagExposureMode = 0xA402,
        kTagWhiteBalance = 0xA403,
        kTagSceneCaptureType = 0xA406,
        kTagImageUniqueId = 0xA420,
        kTagBodySerialNumber = 0xA431,
        kTagLensSpecification = 0xA432,
        kTagLensMake = 0xA433,
        kTagLensModel = 0xA434,
        kTagLensSerialNumber = 0xA435,
        kTagDngVersion = 0xC612,
        kTagDngBackwardVersion = 0xC613,
        kTagUniqueCameraModel = 0xC614,
        kTagBlackLevel = 0xC61A,
        kTagWhiteLevel = 0xC61D,
        kTagDefaultCropOrigin = 0xC61F,
        kTagDefaultCropSize = 0xC620,
        kTagColorMatrix1 = 0xC621,
        kTagAsShotNeutral = 0xC628,
        kTagCameraSerialNumber = 0xC62F,
        kTagLensInfo = 0xC630,
        kTagDngPrivateData = 0xC634,
        kTagCalibrationIlluminant1 = 0xC65A,
        kTagPreviewColorSpace = 0xC71A,
    };
    // Values of Compression (0x0103): a JPEG thumbnail of Exif is 6.
    enum Compression : quint16 { kUncompressed = 1, kExifJpeg = 6, kJpeg = 7 };

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
