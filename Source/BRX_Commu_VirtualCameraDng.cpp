#include "BRX_Commu_VirtualCameraDng.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_VirtualCameraExif.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

typedef BRX_Commu_TiffWriter Tiff;
typedef Tiff::Ifd Ifd;
typedef BRX_Commu_VirtualCameraDng Dng;

enum SubFileType : quint32 { kMainImage = 0, kReducedImage = 1 };
enum Photometric : quint16 { kRgb = 2, kYCbCr = 6, kCfa = 32803 };
// Chunky planar configuration, D65 illuminant, sRGB preview.
const quint16 kChunky = 1;
const quint16 kD65 = 21;
const quint32 kPreviewSRgb = 2;
const quint16 kSampleBits = 16;
// Red, green / green, blue.
const char kRggb[] = {0, 1, 1, 2};
const int kRowsPerBand = 64;

// The sensor's response: XYZ (D65) to camera RGB, as DNG's ColorMatrix1
// gives it. Not the identity, so that a converter's colour handling shows.
const double kXyzToCamera[3][3] = {{0.7000, -0.1500, -0.0800}, {-0.4200, 1.2000, 0.2400}, {-0.0800, 0.2000, 0.6200}};
const double kSRgbToXyz[3][3] = {{0.4124, 0.3576, 0.1805}, {0.2126, 0.7152, 0.0722}, {0.0193, 0.1192, 0.9505}};
// The brightest camera channel of the card's white lies this far up the range.
const double kWhiteHeadroom = 0.9;

// Linear sRGB straight to camera RGB, scaled so that white's brightest
// channel reaches the headroom; and the camera's neutral (white).
struct SensorResponse {
    float fromSRgb[3][3];
    double neutral[3];

    SensorResponse()
    {
        double combined[3][3] = {};
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                for (int k = 0; k < 3; ++k)
                    combined[row][column] += kXyzToCamera[row][k] * kSRgbToXyz[k][column];
            }
            neutral[row] = combined[row][0] + combined[row][1] + combined[row][2];
        }
        const double brightest = *std::max_element(neutral, neutral + 3);
        for (int row = 0; row < 3; ++row) {
            neutral[row] /= brightest;
            for (int column = 0; column < 3; ++column)
                fromSRgb[row][column] = float(combined[row][column] * kWhiteHeadroom / brightest);
        }
    }
};

const SensorResponse& sensorResponse()
{
    static const SensorResponse response;
    return response;
}

// The sRGB curve undone, for each 8-bit level.
const float* linearLevels()
{
    static const QVector<float> levels = [] {
        QVector<float> table(256);
        for (int level = 0; level < 256; ++level) {
            const double v = level / 255.0;
            table[level] = float(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        }
        return table;
    }();
    return levels.constData();
}

// One sensor row: each photosite records its own colour of the card's pixel.
void sensorRow(const quint8* rgb, int width, int parity, const Dng::Raw& raw, quint16* out)
{
    const SensorResponse& response = sensorResponse();
    const float* linear = linearLevels();
    const float range = float(raw.whiteLevel - raw.blackLevel);
    for (int x = 0; x < width; ++x) {
        const float* weights = response.fromSRgb[int(kRggb[2 * parity + (x & 1)])];
        const quint8* pixel = rgb + 3 * x;
        const float value = weights[0] * linear[pixel[0]] + weights[1] * linear[pixel[1]] + weights[2] * linear[pixel[2]];
        out[x] = quint16(raw.blackLevel + std::lround(qBound(0.0f, value, 1.0f) * range));
    }
}

// The raw strip, a band of the card at a time. A row that shows what the
// row two above showed (the same colour filters) is copied from it.
void fillRaw(const Dng::Raw& raw, char* at)
{
    const int rowBytes = raw.width * 3;
    QByteArray band(rowBytes * (kRowsPerBand + 2), Qt::Uninitialized);
    quint8* pixels = reinterpret_cast<quint8*>(band.data());
    quint16* out = reinterpret_cast<quint16*>(at);
    for (int first = 0; first < raw.height; first += kRowsPerBand) {
        const int count = std::min(kRowsPerBand, raw.height - first);
        // The two rows before the band stay in front of it.
        if (first > 0)
            std::memmove(pixels, pixels + kRowsPerBand * rowBytes, 2 * size_t(rowBytes));
        raw.rows(first, count, pixels + 2 * rowBytes);
        for (int y = first; y < first + count; ++y) {
            const quint8* rgb = pixels + (y - first + 2) * rowBytes;
            quint16* row = out + qint64(y) * raw.width;
            if (y >= 2 && std::memcmp(rgb, rgb - 2 * rowBytes, size_t(rowBytes)) == 0)
                std::memcpy(row, row - 2 * raw.width, 2 * size_t(raw.width));
            else
                sensorRow(rgb, raw.width, y & 1, raw, row);
        }
    }
}

// What every image IFD of the file says of its image, stored in one strip.
struct ImageLayout {
    quint32 subFileType;
    int width;
    int height;
    QVector<quint16> bitsPerSample;
    quint16 compression;
    quint16 photometric;
};

void addImageTags(Ifd& ifd, const ImageLayout& layout)
{
    ifd.addLong(Tiff::kTagNewSubFileType, layout.subFileType);
    ifd.addLong(Tiff::kTagImageWidth, quint32(layout.width));
    ifd.addLong(Tiff::kTagImageLength, quint32(layout.height));
    ifd.addShorts(Tiff::kTagBitsPerSample, layout.bitsPerSample);
    ifd.addShort(Tiff::kTagCompression, layout.compression);
    ifd.addShort(Tiff::kTagPhotometric, layout.photometric);
    ifd.addShort(Tiff::kTagSamplesPerPixel, quint16(layout.bitsPerSample.size()));
    ifd.addLong(Tiff::kTagRowsPerStrip, quint32(layout.height));
    ifd.addShort(Tiff::kTagPlanarConfiguration, kChunky);
}

void addStrip(Ifd& ifd, const QByteArray& bytes)
{
    ifd.addBlock(Tiff::kTagStripOffsets, Tiff::kTagStripByteCounts, quint32(bytes.size()),
                 [bytes](char* at) { std::memcpy(at, bytes.constData(), size_t(bytes.size())); });
}

std::shared_ptr<Ifd> rawIfd(const Dng::Raw& raw)
{
    auto ifd = std::make_shared<Ifd>();
    addImageTags(*ifd, {kMainImage, raw.width, raw.height, {kSampleBits}, Tiff::kUncompressed, kCfa});
    ifd->addShorts(Tiff::kTagCfaRepeatPatternDim, {2, 2});
    ifd->addBytes(Tiff::kTagCfaPattern, Tiff::kByte, QByteArray(kRggb, 4));
    ifd->addLong(Tiff::kTagBlackLevel, quint32(raw.blackLevel));
    ifd->addLong(Tiff::kTagWhiteLevel, quint32(raw.whiteLevel));
    ifd->addLongs(Tiff::kTagDefaultCropOrigin, {0, 0});
    ifd->addLongs(Tiff::kTagDefaultCropSize, {quint32(raw.width), quint32(raw.height)});
    const quint32 bytes = quint32(2 * qint64(raw.width) * raw.height);
    ifd->addBlock(Tiff::kTagStripOffsets, Tiff::kTagStripByteCounts, bytes, [raw](char* at) { fillRaw(raw, at); });
    return ifd;
}

std::shared_ptr<Ifd> previewIfd(const Dng::Preview& preview)
{
    auto ifd = std::make_shared<Ifd>();
    addImageTags(*ifd, {kReducedImage, preview.width, preview.height, {8, 8, 8}, Tiff::kJpeg, kYCbCr});
    ifd->addShorts(Tiff::kTagYCbCrSubSampling, {2, 2});
    ifd->addLong(Tiff::kTagPreviewColorSpace, kPreviewSRgb);
    addStrip(*ifd, preview.jpeg);
    return ifd;
}

void addThumbnail(Ifd& ifd, const BRX_Commu_VirtualCameraJpeg::Image& thumbnail)
{
    addImageTags(ifd, {kReducedImage, thumbnail.width, thumbnail.height, {8, 8, 8}, Tiff::kUncompressed, kRgb});
    addStrip(ifd, thumbnail.rgb);
}

void addColourData(Ifd& ifd)
{
    QVector<double> matrix;
    for (const auto& row : kXyzToCamera)
        matrix << row[0] << row[1] << row[2];
    ifd.addSignedRationals(Tiff::kTagColorMatrix1, matrix, 10000);
    ifd.addShort(Tiff::kTagCalibrationIlluminant1, kD65);
    const double* neutral = sensorResponse().neutral;
    ifd.addRationals(Tiff::kTagAsShotNeutral, {neutral[0], neutral[1], neutral[2]}, 10000);
}

// The camera's private data: its name, then a pattern that shows where bytes
// went missing or were moved.
void fillPrivateData(char* at, quint32 size, const QByteArray& name)
{
    for (quint32 i = 0; i < size; ++i)
        at[i] = i < quint32(name.size()) ? name.at(int(i)) : char(i * 7 + (i >> 8));
}

} // namespace

BRX_Commu_VirtualCameraDng::BRX_Commu_VirtualCameraDng(const BRX_Commu_VirtualCameraShot& shot, const Raw& raw,
                                                       const BRX_Commu_VirtualCameraJpeg::Image& thumbnail,
                                                       const Preview& preview, quint32 privateBytes)
    : m_writer(build(shot, raw, thumbnail, preview, privateBytes))
{
}

std::shared_ptr<BRX_Commu_TiffWriter::Ifd> BRX_Commu_VirtualCameraDng::build(
    const BRX_Commu_VirtualCameraShot& shot, const Raw& raw, const BRX_Commu_VirtualCameraJpeg::Image& thumbnail,
    const Preview& preview, quint32 privateBytes)
{
    auto first = std::make_shared<Ifd>();
    addThumbnail(*first, thumbnail);
    BRX_Commu_VirtualCameraExif(shot).addPrimaryTags(*first, raw.width, raw.height);
    first->addSubIfds(Tiff::kTagSubIfds, {rawIfd(raw), previewIfd(preview)});
    first->addBytes(Tiff::kTagDngVersion, Tiff::kByte, QByteArray("\x01\x04\x00\x00", 4));
    first->addBytes(Tiff::kTagDngBackwardVersion, Tiff::kByte, QByteArray("\x01\x02\x00\x00", 4));
    first->addAscii(Tiff::kTagUniqueCameraModel, shot.make + QLatin1Char(' ') + shot.model);
    first->addAscii(Tiff::kTagCameraSerialNumber, shot.serialNumber);
    first->addRationals(Tiff::kTagLensInfo, {shot.focalLengthMm, shot.focalLengthMm, shot.maxApertureFNumber,
                                       shot.maxApertureFNumber}, 10);
    addColourData(*first);
    if (privateBytes > 0) {
        const QByteArray name = shot.make.toLatin1();
        first->addBlockValue(Tiff::kTagDngPrivateData, Tiff::kByte, privateBytes,
                             [privateBytes, name](char* at) { fillPrivateData(at, privateBytes, name); });
    }
    return first;
}
