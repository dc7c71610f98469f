#include "BRX_Commu_VirtualCameraExif.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

typedef BRX_Commu_TiffWriter Tiff;
typedef BRX_Commu_VirtualCameraShot Shot;

enum Tag : quint16 {
    kTagCompression = 0x0103,
    kTagMake = 0x010F,
    kTagModel = 0x0110,
    kTagOrientation = 0x0112,
    kTagXResolution = 0x011A,
    kTagYResolution = 0x011B,
    kTagResolutionUnit = 0x0128,
    kTagSoftware = 0x0131,
    kTagDateTime = 0x0132,
    kTagThumbnailOffset = 0x0201,
    kTagThumbnailLength = 0x0202,
    kTagYCbCrPositioning = 0x0213,
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
};

const quint16 kCompressionJpeg = 6;
const quint16 kInches = 2;
const double kDotsPerInch = 72;
const quint16 kCentredChroma = 1;
const quint16 kSRgb = 1;
const quint16 kFlashDidNotFire = 0;
const quint16 kExposureAuto = 0;
const quint16 kExposureManual = 1;
const quint16 kExposureBracket = 2;
const quint16 kWhiteBalanceAuto = 0;
const quint16 kWhiteBalanceManual = 1;
// Y, Cb, Cr as a JPEG's components are ordered.
const char kComponents[] = {1, 2, 3, 0};
const int kExifIdentifierSize = 6;
const char kAsciiComment[] = "ASCII\0\0\0";
const int kCommentCodeSize = 8;
// Milli-EV as the nearest sixth of a stop, which fits both thirds and halves.
const qint32 kCompensationDenominator = 6;

QString exifTime(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss"));
}

// Fractions of a second as 1/n, whole seconds in tenths.
quint32 exposureDenominator(double seconds)
{
    return seconds < 1 ? quint32(std::lround(1 / seconds)) : 10;
}

// An ASCII user comment of size bytes, its character code first: text
// again and again.
void fillComment(char* at, int size, const QByteArray& text)
{
    std::memcpy(at, kAsciiComment, std::min(size, kCommentCodeSize));
    for (int i = kCommentCodeSize; i < size; ++i)
        at[i] = text.at((i - kCommentCodeSize) % text.size());
}

} // namespace

BRX_Commu_VirtualCameraExif::BRX_Commu_VirtualCameraExif(const BRX_Commu_VirtualCameraShot& shot)
    : m_shot(shot)
{
}

void BRX_Commu_VirtualCameraExif::addPrimaryTags(Ifd& ifd, int width, int height) const
{
    addCameraTags(ifd);
    ifd.addSubIfd(kTagExifIfd, exifIfd(width, height, false));
}

void BRX_Commu_VirtualCameraExif::addCameraTags(Ifd& ifd) const
{
    ifd.addAscii(kTagMake, m_shot.make);
    ifd.addAscii(kTagModel, m_shot.model);
    ifd.addShort(kTagOrientation, quint16(m_shot.orientation));
    ifd.addAscii(kTagSoftware, m_shot.firmware);
    ifd.addAscii(kTagDateTime, exifTime(m_shot.taken));
}

void BRX_Commu_VirtualCameraExif::addResolution(Ifd& ifd)
{
    ifd.addRationals(kTagXResolution, {kDotsPerInch}, 1);
    ifd.addRationals(kTagYResolution, {kDotsPerInch}, 1);
    ifd.addShort(kTagResolutionUnit, kInches);
}

QByteArray BRX_Commu_VirtualCameraExif::jpegSegment(int width, int height, const QByteArray& thumbnail,
                                                    int commentBytes) const
{
    auto primary = std::make_shared<Ifd>();
    addCameraTags(*primary);
    addResolution(*primary);
    primary->addShort(kTagYCbCrPositioning, kCentredChroma);
    const std::shared_ptr<Ifd> exif = exifIfd(width, height, true);
    if (commentBytes > 0) {
        const QByteArray text = (m_shot.model + QStringLiteral(" ")).toLatin1();
        exif->addBlockValue(kTagUserComment, Tiff::kUndefined, quint32(commentBytes),
                            [commentBytes, text](char* at) { fillComment(at, commentBytes, text); });
    }
    primary->addSubIfd(kTagExifIfd, exif);
    const QByteArray small = thumbnail.left(kMaxThumbnailBytes);
    auto thumbnailIfd = std::make_shared<Ifd>();
    thumbnailIfd->addShort(kTagCompression, kCompressionJpeg);
    addResolution(*thumbnailIfd);
    thumbnailIfd->addBlock(kTagThumbnailOffset, kTagThumbnailLength, quint32(small.size()), [small](char* at) {
        std::memcpy(at, small.constData(), size_t(small.size()));
    });
    primary->setNext(thumbnailIfd);

    const QByteArray tiff = BRX_Commu_TiffWriter(primary).write();
    const int length = 2 + kExifIdentifierSize + tiff.size();
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment.append("Exif\0\0", kExifIdentifierSize);
    return segment + tiff;
}

std::shared_ptr<BRX_Commu_TiffWriter::Ifd> BRX_Commu_VirtualCameraExif::exifIfd(int width, int height,
                                                                              bool forJpeg) const
{
    auto exif = std::make_shared<Ifd>();
    exif->addBytes(kTagExifVersion, Tiff::kUndefined, QByteArray("0232"));
    if (forJpeg)
        exif->addBytes(kTagComponentsConfiguration, Tiff::kUndefined, QByteArray(kComponents, 4));
    exif->addBytes(kTagFlashpixVersion, Tiff::kUndefined, QByteArray("0100"));
    exif->addShort(kTagColorSpace, kSRgb);
    exif->addLong(kTagPixelXDimension, quint32(width));
    exif->addLong(kTagPixelYDimension, quint32(height));
    exif->addShort(kTagSceneCaptureType, 0);
    // The file number, as the camera counts its pictures.
    exif->addAscii(kTagImageUniqueId, QStringLiteral("%1").arg(m_shot.fileNumber, 32, 10, QChar('0')));
    exif->addAscii(kTagBodySerialNumber, m_shot.serialNumber);
    addTimeTags(*exif);
    addExposureTags(*exif);
    addLensTags(*exif);
    return exif;
}

void BRX_Commu_VirtualCameraExif::addTimeTags(Ifd& exif) const
{
    const QString taken = exifTime(m_shot.taken);
    const QString milliseconds = QStringLiteral("%1").arg(m_shot.taken.time().msec(), 3, 10, QChar('0'));
    exif.addAscii(kTagDateTimeOriginal, taken);
    exif.addAscii(kTagDateTimeDigitized, taken);
    for (quint16 tag : {kTagSubSecTime, kTagSubSecTimeOriginal, kTagSubSecTimeDigitized})
        exif.addAscii(tag, milliseconds);
}

void BRX_Commu_VirtualCameraExif::addExposureTags(Ifd& exif) const
{
    exif.addRationals(kTagExposureTime, {m_shot.exposureSeconds}, exposureDenominator(m_shot.exposureSeconds));
    exif.addRationals(kTagFNumber, {m_shot.fNumber}, 10);
    exif.addShort(kTagExposureProgram, quint16(m_shot.program));
    exif.addShort(kTagIso, quint16(qBound(0, m_shot.iso, 0xFFFF)));
    exif.addSignedRationals(kTagExposureBias, {m_shot.compensationMilliEv / 1000.0}, kCompensationDenominator);
    exif.addShort(kTagMeteringMode, quint16(m_shot.metering));
    exif.addShort(kTagLightSource, quint16(m_shot.lightSource));
    exif.addShort(kTagFlash, kFlashDidNotFire);
    const quint16 mode = m_shot.bracketing                           ? kExposureBracket
                         : m_shot.program == Shot::kProgramManual ? kExposureManual
                                                                   : kExposureAuto;
    exif.addShort(kTagExposureMode, mode);
    exif.addShort(kTagWhiteBalance, m_shot.autoWhiteBalance ? kWhiteBalanceAuto : kWhiteBalanceManual);
}

void BRX_Commu_VirtualCameraExif::addLensTags(Ifd& exif) const
{
    exif.addRationals(kTagMaxAperture, {2 * std::log2(m_shot.maxApertureFNumber)}, 100);
    exif.addRationals(kTagFocalLength, {m_shot.focalLengthMm}, 10);
    exif.addRationals(kTagLensSpecification,
                      {m_shot.focalLengthMm, m_shot.focalLengthMm, m_shot.maxApertureFNumber, m_shot.maxApertureFNumber},
                      10);
    exif.addAscii(kTagLensMake, m_shot.make);
    exif.addAscii(kTagLensModel, m_shot.lensModel);
    exif.addAscii(kTagLensSerialNumber, m_shot.lensSerialNumber);
}
