#include "BRX_Commu_VirtualCameraJpeg.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

typedef BRX_Commu_VirtualCameraJpeg::Image Image;

enum Marker : quint8 {
    kMarkerStart = 0xFF,
    kStartOfImage = 0xD8,
    kEndOfImage = 0xD9,
    kQuantisationTables = 0xDB,
    kBaselineFrame = 0xC0,
    kHuffmanTables = 0xC4,
    kStartOfScan = 0xDA,
    kComment = 0xFE,
};

const int kMcuSize = 16;
const int kMaxSegmentLength = 0xFFFF;
// Baseline coefficients: AC values take at most 10 bits.
const int kMaxAc = 1023;

// The natural (row-major) index of each coefficient in zigzag order.
const quint8 kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// The example tables of the JPEG standard, natural order, for quality 50.
const quint8 kLumaQuantisation[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
};
const quint8 kChromaQuantisation[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
};

// The standard Huffman tables: the number of codes of each length 1 to 16,
// then the symbols in code order.
struct HuffmanCodeTable {
    quint8 tableClassAndId;
    quint8 counts[16];
    QByteArray symbols;
};

// An AC table lists its common run/size symbols first, then every other
// symbol of runs 0 to 15 and sizes 1 to 10 in ascending order.
QByteArray acSymbols(const QByteArray& common)
{
    QByteArray symbols = common;
    for (int run = 0; run < 16; ++run) {
        for (int size = 1; size <= 10; ++size) {
            const char symbol = char(run << 4 | size);
            if (!common.contains(symbol))
                symbols.append(symbol);
        }
    }
    return symbols;
}

const QByteArray kDcSymbols("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B", 12);
const HuffmanCodeTable kDcLuma = {0x00, {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, kDcSymbols};
const HuffmanCodeTable kDcChroma = {0x01, {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, kDcSymbols};
const HuffmanCodeTable kAcLuma = {
    0x10,
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D},
    acSymbols(QByteArray("\x01\x02\x03\x00\x04\x11\x05\x12\x21\x31\x41\x06\x13\x51\x61\x07\x22\x71\x14"
                         "\x32\x81\x91\xA1\x08\x23\x42\xB1\xC1\x15\x52\xD1\xF0\x24\x33\x62\x72\x82",
                         37))};
const HuffmanCodeTable kAcChroma = {
    0x11,
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
    acSymbols(QByteArray("\x00\x01\x02\x03\x11\x04\x05\x21\x31\x06\x12\x41\x51\x07\x61\x71\x13\x22\x32"
                         "\x81\x08\x14\x42\x91\xA1\xB1\xC1\x09\x23\x33\x52\xF0\x15\x62\x72\xD1\x0A\x16"
                         "\x24\x34\xE1\x25\xF1",
                         43))};
const HuffmanCodeTable* const kCodeTables[] = {&kDcLuma, &kAcLuma, &kDcChroma, &kAcChroma};

const quint8 kEndOfBlock = 0x00;
const quint8 kSixteenZeros = 0xF0;

// Each symbol's code, numbered as the standard assigns them: consecutive
// within a length, doubled from one length to the next.
class HuffmanCodes
{
public:
    explicit HuffmanCodes(const HuffmanCodeTable& codeTable)
    {
        quint16 code = 0;
        int symbol = 0;
        for (int length = 1; length <= 16; ++length) {
            for (int i = 0; i < codeTable.counts[length - 1]; ++i) {
                m_codes[quint8(codeTable.symbols.at(symbol++))] = {code++, quint8(length)};
            }
            code = quint16(code << 1);
        }
    }
    quint16 code(quint8 symbol) const { return m_codes[symbol].code; }
    int length(quint8 symbol) const { return m_codes[symbol].length; }

private:
    struct Code {
        quint16 code = 0;
        quint8 length = 0;
    };
    Code m_codes[256];
};

// Entropy-coded bits, most significant first, gathered into bytes. The
// bytes of a scan get a 0x00 stuffed after every 0xFF when they are written
// out, so that no marker appears in the data; bits gathered apart (a band of
// the picture) can be appended to others at any bit position.
class Bits
{
public:
    void put(quint32 bits, int length)
    {
        m_pending = (m_pending << length) | (bits & ((1u << length) - 1));
        m_count += length;
        while (m_count >= 8) {
            m_count -= 8;
            m_bytes.push_back(char(m_pending >> m_count));
        }
    }

    void append(const Bits& other)
    {
        if (m_count == 0)
            m_bytes.insert(m_bytes.end(), other.m_bytes.begin(), other.m_bytes.end());
        else
            for (char byte : other.m_bytes)
                put(quint8(byte), 8);
        if (other.m_count > 0)
            put(other.m_pending, other.m_count);
    }

    // Empty again; the memory is kept for the next bits.
    void clear()
    {
        m_bytes.clear();
        m_pending = 0;
        m_count = 0;
    }

    // The last byte completed with one bits.
    void writeStuffed(QByteArray& out)
    {
        if (m_count > 0)
            put(0xFF, 8 - m_count);
        const char* at = m_bytes.data();
        const char* const end = at + m_bytes.size();
        out.reserve(out.size() + int(m_bytes.size()) + int(m_bytes.size() / 128));
        while (at < end) {
            const void* marker = std::memchr(at, kMarkerStart, size_t(end - at));
            const char* next = marker ? static_cast<const char*>(marker) + 1 : end;
            out.append(at, int(next - at));
            if (marker)
                out.append('\0');
            at = next;
        }
    }

private:
    std::vector<char> m_bytes;
    quint32 m_pending = 0;
    int m_count = 0;
};

// The luma and chroma code tables, built once.
struct CodeSet {
    HuffmanCodes dc;
    HuffmanCodes ac;
};
const CodeSet& lumaCodes()
{
    static const CodeSet codes = {HuffmanCodes(kDcLuma), HuffmanCodes(kAcLuma)};
    return codes;
}
const CodeSet& chromaCodes()
{
    static const CodeSet codes = {HuffmanCodes(kDcChroma), HuffmanCodes(kAcChroma)};
    return codes;
}

// The scaled forward DCT of Arai, Agui and Nakajima on 8 values spaced
// stride apart; the output is the true DCT times 8 and the AAN scale factors,
// which the quantisation divisors take out again.
void transform8(float* d, int stride)
{
    const float t0 = d[0] + d[7 * stride], t7 = d[0] - d[7 * stride];
    const float t1 = d[stride] + d[6 * stride], t6 = d[stride] - d[6 * stride];
    const float t2 = d[2 * stride] + d[5 * stride], t5 = d[2 * stride] - d[5 * stride];
    const float t3 = d[3 * stride] + d[4 * stride], t4 = d[3 * stride] - d[4 * stride];

    const float e10 = t0 + t3, e13 = t0 - t3, e11 = t1 + t2, e12 = t1 - t2;
    d[0] = e10 + e11;
    d[4 * stride] = e10 - e11;
    const float z1 = (e12 + e13) * 0.707106781f;
    d[2 * stride] = e13 + z1;
    d[6 * stride] = e13 - z1;

    const float o10 = t4 + t5, o11 = t5 + t6, o12 = t6 + t7;
    const float z5 = (o10 - o12) * 0.382683433f;
    const float z2 = 0.541196100f * o10 + z5;
    const float z4 = 1.306562965f * o12 + z5;
    const float z3 = o11 * 0.707106781f;
    const float z11 = t7 + z3, z13 = t7 - z3;
    d[5 * stride] = z13 + z2;
    d[3 * stride] = z13 - z2;
    d[stride] = z11 + z4;
    d[7 * stride] = z11 - z4;
}

void forwardDct(float* block)
{
    for (int row = 0; row < 8; ++row)
        transform8(block + row * 8, 1);
    for (int column = 0; column < 8; ++column)
        transform8(block + column, 8);
}

// Bits needed for the magnitude of value: the size category of the standard.
int sizeCategory(int value)
{
    int magnitude = std::abs(value);
    int bits = 0;
    while (magnitude) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
}

// A value of category size: positive as is, negative as its ones' complement.
void putValue(Bits& bits, int value, int size)
{
    if (size > 0)
        bits.put(quint32(value < 0 ? value - 1 : value), size);
}

// A block's quantised coefficients in zigzag order; those from length on are
// zero (the end of the block).
struct Block {
    int zigzag[64];
    int length;
};

void encodeBlock(Bits& bits, const CodeSet& codes, const Block& block, int* previousDc)
{
    const int difference = block.zigzag[0] - *previousDc;
    *previousDc = block.zigzag[0];
    const int dcSize = sizeCategory(difference);
    bits.put(codes.dc.code(quint8(dcSize)), codes.dc.length(quint8(dcSize)));
    putValue(bits, difference, dcSize);

    int zeros = 0;
    for (int k = 1; k < block.length; ++k) {
        const int value = block.zigzag[k];
        if (value == 0) {
            ++zeros;
            continue;
        }
        for (; zeros >= 16; zeros -= 16)
            bits.put(codes.ac.code(kSixteenZeros), codes.ac.length(kSixteenZeros));
        const int size = sizeCategory(value);
        const quint8 symbol = quint8((zeros << 4) | size);
        bits.put(codes.ac.code(symbol), codes.ac.length(symbol));
        putValue(bits, value, size);
        zeros = 0;
    }
    if (block.length < 64)
        bits.put(codes.ac.code(kEndOfBlock), codes.ac.length(kEndOfBlock));
}

// One MCU of 16 x 16 pixels, level-shifted: four luma blocks (left to
// right, top to bottom) and one block each of Cb and Cr, every chroma
// sample the mean of 2 x 2 pixels.
struct Mcu {
    float luma[4][64];
    float blue[64];
    float red[64];
};

// A band of up to 16 picture rows, three bytes a pixel.
struct Band {
    const quint8* rgb;
    int width;
    int rows;
    // Every row shows what the first shows.
    bool alike;

    const quint8* pixel(int x, int y) const
    {
        return rgb + 3 * (qint64(std::min(y, rows - 1)) * width + std::min(x, width - 1));
    }

    bool rowsAlike() const
    {
        for (int y = 1; y < rows; ++y) {
            if (std::memcmp(pixel(0, y), pixel(0, 0), 3 * size_t(width)) != 0)
                return false;
        }
        return true;
    }

    // The MCU at left shows the same pixels as the one before it.
    bool repeatsPrevious(int left) const
    {
        if (left < kMcuSize || left + kMcuSize > width)
            return false;
        for (int y = 0; y < (alike ? 1 : rows); ++y) {
            if (std::memcmp(pixel(left, y), pixel(left - kMcuSize, y), 3 * kMcuSize) != 0)
                return false;
        }
        return true;
    }
};

// The picture's last column and row repeat into the MCUs beyond its edges.
void loadMcu(const Band& band, int left, Mcu* mcu)
{
    std::fill_n(mcu->blue, 64, 0.0f);
    std::fill_n(mcu->red, 64, 0.0f);
    for (int y = 0; y < kMcuSize; ++y) {
        for (int x = 0; x < kMcuSize; ++x) {
            const quint8* pixel = band.pixel(left + x, y);
            const float r = pixel[0], g = pixel[1], b = pixel[2];
            mcu->luma[y / 8 * 2 + x / 8][y % 8 * 8 + x % 8] = 0.299f * r + 0.587f * g + 0.114f * b - 128.0f;
            const int chroma = y / 2 * 8 + x / 2;
            mcu->blue[chroma] += 0.25f * (-0.168736f * r - 0.331264f * g + 0.5f * b);
            mcu->red[chroma] += 0.25f * (0.5f * r - 0.418688f * g - 0.081312f * b);
        }
    }
}

bool isFlat(const float* samples)
{
    return std::all_of(samples + 1, samples + 64, [samples](float sample) { return sample == samples[0]; });
}

// samples are transformed in place. A flat block's transform is its DC
// alone, 64 times its level, which the transform gives exactly too.
void quantise(float* samples, const float* divisors, Block* block)
{
    if (isFlat(samples)) {
        block->zigzag[0] = qRound(64.0f * samples[0] * divisors[0]);
        std::fill_n(block->zigzag + 1, 63, 0);
        block->length = 1;
        return;
    }
    forwardDct(samples);
    // The DC value keeps its full range: 11 bits for 8-bit samples.
    block->zigzag[0] = qRound(samples[0] * divisors[0]);
    block->length = 1;
    for (int k = 1; k < 64; ++k) {
        const int natural = kZigzag[k];
        block->zigzag[k] = qBound(-kMaxAc, qRound(samples[natural] * divisors[natural]), kMaxAc);
        if (block->zigzag[k] != 0)
            block->length = k + 1;
    }
}

// The blocks of the MCU last transformed and each component's last DC value.
struct ScanState {
    Block blocks[6];
    int previousDc[3] = {0, 0, 0};
};

// Flat parts of a picture repeat the MCU before them: its blocks are taken
// again rather than transformed anew.
void encodeMcu(const Band& band, int left, const float* lumaDivisors, const float* chromaDivisors, Bits& bits,
               ScanState* scan)
{
    if (!band.repeatsPrevious(left)) {
        Mcu mcu;
        loadMcu(band, left, &mcu);
        for (int block = 0; block < 4; ++block)
            quantise(mcu.luma[block], lumaDivisors, &scan->blocks[block]);
        quantise(mcu.blue, chromaDivisors, &scan->blocks[4]);
        quantise(mcu.red, chromaDivisors, &scan->blocks[5]);
    }
    for (int block = 0; block < 4; ++block)
        encodeBlock(bits, lumaCodes(), scan->blocks[block], &scan->previousDc[0]);
    encodeBlock(bits, chromaCodes(), scan->blocks[4], &scan->previousDc[1]);
    encodeBlock(bits, chromaCodes(), scan->blocks[5], &scan->previousDc[2]);
}

// The band encoded last, kept for the bands that repeat it: where a band
// shows what it showed and starts from the same DC values, its bits are the
// same.
struct EncodedBand {
    bool alike = false;
    int startDc[3] = {0, 0, 0};
    Bits bits;

    bool repeatsFor(const Band& band, bool continuesAbove, const ScanState& scan) const
    {
        return alike && band.alike && continuesAbove && std::equal(startDc, startDc + 3, scan.previousDc);
    }
};

void appendBigEndian16(QByteArray& out, int value)
{
    out.append(char(value >> 8)).append(char(value & 0xFF));
}

void appendMarker(QByteArray& out, Marker marker)
{
    out.append(char(kMarkerStart)).append(char(marker));
}

// A marker segment: marker, length (counting itself), payload.
void appendSegment(QByteArray& out, Marker marker, const QByteArray& payload)
{
    appendMarker(out, marker);
    appendBigEndian16(out, payload.size() + 2);
    out += payload;
}

QByteArray frameHeader(int width, int height)
{
    QByteArray payload;
    payload.append(char(8));
    appendBigEndian16(payload, height);
    appendBigEndian16(payload, width);
    payload.append(char(3));
    // Component id, sampling factors (horizontal << 4 | vertical), table.
    payload.append("\x01\x22\x00\x02\x11\x01\x03\x11\x01", 9);
    return payload;
}

QByteArray huffmanTables()
{
    QByteArray payload;
    for (const HuffmanCodeTable* codeTable : kCodeTables) {
        payload.append(char(codeTable->tableClassAndId));
        payload.append(reinterpret_cast<const char*>(codeTable->counts), 16);
        payload.append(codeTable->symbols);
    }
    return payload;
}

QByteArray scanHeader()
{
    // Three components with their DC and AC tables, spectral selection 0 to
    // 63, no successive approximation.
    return QByteArray("\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 10);
}

// The example table scaled as libjpeg does for a quality.
quint8 scaledStep(quint8 step, int quality)
{
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    return quint8(qBound(1, (step * scale + 50) / 100, 255));
}

void makeDivisors(const quint8* example, int quality, float* divisors, quint8* table)
{
    static const float aanScale[8] = {1.0f,         1.387039845f, 1.306562965f, 1.175875602f,
                                      1.0f,         0.785694958f, 0.541196100f, 0.275899379f};
    for (int k = 0; k < 64; ++k) {
        const int natural = kZigzag[k];
        table[k] = scaledStep(example[natural], quality);
        divisors[natural] = 1.0f / (table[k] * aanScale[natural / 8] * aanScale[natural % 8] * 8.0f);
    }
}

} // namespace

BRX_Commu_VirtualCameraJpeg::BRX_Commu_VirtualCameraJpeg(int quality)
{
    quality = qBound(1, quality, 100);
    makeDivisors(kLumaQuantisation, quality, m_lumaDivisors, m_lumaTable);
    makeDivisors(kChromaQuantisation, quality, m_chromaDivisors, m_chromaTable);
}

QByteArray BRX_Commu_VirtualCameraJpeg::encode(const Image& image) const
{
    if (image.rgb.size() != qint64(image.width) * image.height * 3)
        return QByteArray();
    return encode(image.width, image.height, [&image](int first, int count, quint8* rgb) {
        std::memcpy(rgb, image.rgb.constData() + qint64(first) * image.width * 3, size_t(count) * image.width * 3);
    });
}

QByteArray BRX_Commu_VirtualCameraJpeg::encode(int width, int height, const RowSource& rows) const
{
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension)
        return QByteArray();
    QByteArray out;
    appendMarker(out, kStartOfImage);
    QByteArray tables;
    tables.append('\0').append(reinterpret_cast<const char*>(m_lumaTable), 64);
    tables.append('\1').append(reinterpret_cast<const char*>(m_chromaTable), 64);
    appendSegment(out, kQuantisationTables, tables);
    appendSegment(out, kBaselineFrame, frameHeader(width, height));
    appendSegment(out, kHuffmanTables, huffmanTables());
    appendSegment(out, kStartOfScan, scanHeader());

    Bits scan;
    ScanState state;
    EncodedBand last;
    const size_t rowBytes = 3 * size_t(width);
    QByteArray bandPixels(int(rowBytes) * kMcuSize, Qt::Uninitialized);
    QByteArray rowAbove(int(rowBytes), Qt::Uninitialized);
    for (int top = 0; top < height; top += kMcuSize) {
        Band band = {reinterpret_cast<const quint8*>(bandPixels.constData()), width, std::min(kMcuSize, height - top),
                     false};
        rows(top, band.rows, reinterpret_cast<quint8*>(bandPixels.data()));
        band.alike = band.rowsAlike();
        const bool continuesAbove = top > 0 && std::memcmp(band.rgb, rowAbove.constData(), rowBytes) == 0;
        if (!last.repeatsFor(band, continuesAbove, state)) {
            last.alike = band.alike;
            std::copy_n(state.previousDc, 3, last.startDc);
            last.bits.clear();
            for (int left = 0; left < width; left += kMcuSize)
                encodeMcu(band, left, m_lumaDivisors, m_chromaDivisors, last.bits, &state);
        }
        scan.append(last.bits);
        std::memcpy(rowAbove.data(), band.pixel(0, band.rows - 1), rowBytes);
    }
    scan.writeStuffed(out);
    appendMarker(out, kEndOfImage);
    return out;
}

QByteArray BRX_Commu_VirtualCameraJpeg::padded(const QByteArray& jpeg, int size, const QByteArray& comment)
{
    if (!jpeg.startsWith("\xFF\xD8") || jpeg.size() > size)
        return QByteArray();
    int missing = size - jpeg.size();
    QByteArray padding;
    if (missing < kCommentOverhead)
        padding.fill(char(kMarkerStart), missing);
    int commentAt = 0;
    while (missing >= kCommentOverhead) {
        // Each segment takes what is left, but never so much that fewer than
        // kCommentOverhead bytes would remain for the next one.
        int segment = std::min(missing, kMaxSegmentLength + 2);
        if (missing - segment > 0 && missing - segment < kCommentOverhead)
            segment -= kCommentOverhead;
        QByteArray payload = comment.mid(commentAt, segment - kCommentOverhead);
        commentAt += payload.size();
        payload.append(QByteArray(segment - kCommentOverhead - payload.size(), '\0'));
        appendSegment(padding, kComment, payload);
        missing -= segment;
    }
    QByteArray out = jpeg;
    out.insert(2, padding);
    return out;
}
