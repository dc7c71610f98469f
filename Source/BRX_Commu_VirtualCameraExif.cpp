#include "BRX_Commu_VirtualCameraExif.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

typedef BRX_Commu_TiffWriter Tiff;
typedef BRX_Commu_VirtualCameraShot Shot;

const quint16 kInches = 2;
const double kDotsPerInch = 72;
const quint16 kCentredChroma = 1;
const quint16 kSRgb = 1;
const quint16 kFlashDidNotFire = 0;
enum ExposureMode : quint16 { kExposureAuto = 0, kExposureManual = 1, kExposureBracket = 2 };
enum WhiteBalance : quint16 { kWhiteBalanceAuto = 0, kWhiteBalanceManual = 1 };
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
    ifd.addSubIfd(Tiff::kTagExifIfd, exifIfd(width, height, false));
}

void BRX_Commu_VirtualCameraExif::addCameraTags(Ifd& ifd) const
{
    ifd.addAscii(Tiff::kTagMake, m_shot.make);
    ifd.addAscii(Tiff::kTagModel, m_shot.model);
    ifd.addShort(Tiff::kTagOrientation, quint16(m_shot.orientation));
    ifd.addAscii(Tiff::kTagSoftware, m_shot.firmware);
    ifd.addAscii(Tiff::kTagDateTime, exifTime(m_shot.taken));
}

void BRX_Commu_VirtualCameraExif::addResolution(Ifd& ifd)
{
    ifd.addRationals(Tiff::kTagXResolution, {kDotsPerInch}, 1);
    ifd.addRationals(Tiff::kTagYResolution, {kDotsPerInch}, 1);
    ifd.addShort(Tiff::kTagResolutionUnit, kInches);
}

QByteArray BRX_Commu_VirtualCameraExif::jpegSegment(int width, int height, const QByteArray& thumbnail,
                                                    int commentBytes) const
{
    auto primary = std::make_shared<Ifd>();
    addCameraTags(*primary);
    addResolution(*primary);
    primary->addShort(Tiff::kTagYCbCrPositioning, kCentredChroma);
    const std::shared_ptr<Ifd> exif = exifIfd(width, height, true);
    if (commentBytes > 0) {
        const QByteArray text = (m_shot.model + QStringLiteral(" ")).toLatin1();
        exif->addBlockValue(Tiff::kTagUserComment, Tiff::kUndefined, quint32(commentBytes),
                            [commentBytes, text](char* at) { fillComment(at, commentBytes, text); });
    }
    primary->addSubIfd(Tiff::kTagExifIfd, exif);
    const QByteArray small = thumbnail.left(kMaxThumbnailBytes);
    auto thumbnailIfd = std::make_shared<Ifd>();
    thumbnailIfd->addShort(Tiff::kTagCompression, Tiff::kExifJpeg);
    addResolution(*thumbnailIfd);
    thumbnailIfd->addBlock(Tiff::kTagThumbnailOffset, Tiff::kTagThumbnailLength, quint32(small.size()), [small](char* at) {
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
    exif->addBytes(Tiff::kTagExifVersion, Tiff::kUndefined, QByteArray("0232"));
    if (forJpeg)
        exif->addBytes(Tiff::kTagComponentsConfiguration, Tiff::kUndefined, QByteArray(kComponents, 4));
    exif->addBytes(Tiff::kTagFlashpixVersion, Tiff::kUndefined, QByteArray("0100"));
    exif->addShort(Tiff::kTagColorSpace, kSRgb);
    exif->addLong(Tiff::kTagPixelXDimension, quint32(width));
    exif->addLong(Tiff::kTagPixelYDimension, quint32(height));
    exif->addShort(Tiff::kTagSceneCaptureType, 0);
    // The file number, as the camera counts its pictures.
    exif->addAscii(Tiff::kTagImageUniqueId, QStringLiteral("%1").arg(m_shot.fileNumber, 32, 10, QChar('0')));
    exif->addAscii(Tiff::kTagBodySerialNumber, m_shot.serialNumber);
    addTimeTags(*exif);
    addExposureTags(*exif);
    addLensTags(*exif);
    return exif;
}

void BRX_Commu_VirtualCameraExif::addTimeTags(Ifd& exif) const
{
    const QString taken = exifTime(m_shot.taken);
    const QString milliseconds = QStringLiteral("%1").arg(m_shot.taken.time().msec(), 3, 10, QChar('0'));
    exif.addAscii(Tiff::kTagDateTimeOriginal, taken);
    exif.addAscii(Tiff::kTagDateTimeDigitized, taken);
    for (quint16 tag : {Tiff::kTagSubSecTime, Tiff::kTagSubSecTimeOriginal, Tiff::kTagSubSecTimeDigitized})
        exif.addAscii(tag, milliseconds);
}

void BRX_Commu_VirtualCameraExif::addExposureTags(Ifd& exif) const
{
    exif.addRationals(Tiff::kTagExposureTime, {m_shot.exposureSeconds}, exposureDenominator(m_shot.exposureSeconds));
    exif.addRationals(Tiff::kTagFNumber, {m_shot.fNumber}, 10);
    exif.addShort(Tiff::kTagExposureProgram, quint16(m_shot.program));
    exif.addShort(Tiff::kTagIso, quint16(qBound(0, m_shot.iso, 0xFFFF)));
    exif.addSignedRationals(Tiff::kTagExposureBias, {m_shot.compensationMilliEv / 1000.0}, kCompensationDenominator);
    exif.addShort(Tiff::kTagMeteringMode, quint16(m_shot.metering));
    exif.addShort(Tiff::kTagLightSource, quint16(m_shot.lightSource));
    exif.addShort(Tiff::kTagFlash, kFlashDidNotFire);
    const quint16 mode = m_shot.bracketing                           ? kExposureBracket
                         : m_shot.program == Shot::kProgramManual ? kExposureManual
                                                                   : kExposureAuto;
    exif.addShort(Tiff::kTagExposureMode, mode);
    exif.addShort(Tiff::kTagWhiteBalance, m_shot.autoWhiteBalance ? kWhiteBalanceAuto : kWhiteBalanceManual);
}

void BRX_Commu_VirtualCameraExif::addLensTags(Ifd& exif) const
{
    exif.addRationals(Tiff::kTagMaxAperture, {2 * std::log2(m_shot.maxApertureFNumber)}, 100);
    exif.addRationals(Tiff::kTagFocalLength, {m_shot.focalLengthMm}, 10);
    exif.addRationals(Tiff::kTagLensSpecification,
                      {m_shot.focalLengthMm, m_shot.focalLengthMm, m_shot.maxApertureFNumber, m_shot.maxApertureFNumber},
                      10);
    exif.addAscii(Tiff::kTagLensMake, m_shot.make);
    exif.addAscii(Tiff::kTagLensModel, m_shot.lensModel);
    exif.addAscii(Tiff::kTagLensSerialNumber, m_shot.lensSerialNumber);
}
