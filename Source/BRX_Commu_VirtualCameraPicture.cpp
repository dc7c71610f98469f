#include "BRX_Commu_VirtualCameraPicture.h"
#include "BRX_Commu_VirtualCameraDng.h"
#include "BRX_Commu_VirtualCameraExif.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

namespace {

typedef BRX_Commu_VirtualCameraPicture Picture;
typedef BRX_Commu_VirtualCameraShot Shot;
typedef BRX_Commu_VirtualCameraTestCard Card;

const int kNumberModulus = 10000;
// Private data of a DNG reaching its size: at least this much, so that its
// value never fits in its IFD entry.
const quint32 kMinimumPrivateBytes = 8;
// Tries at a narrower JPG whose picture fits.
const int kWidthTries = 6;
// The largest APP1 segment, length field included.
const int kMaxSegmentBytes = 0xFFFF + 2;
// Thumbnails tried smaller in turn until one fits.
const int kThumbnailDivisors[] = {1, 2, 4, 10};

QString exposureText(double seconds)
{
    if (seconds <= 0.3)
        return QStringLiteral("1/%1").arg(std::lround(1 / seconds));
    return QStringLiteral("%1S").arg(seconds);
}

QString programText(Shot::Program program)
{
    switch (program) {
    case Shot::kProgramManual:
        return QStringLiteral("M");
    case Shot::kProgramAperturePriority:
        return QStringLiteral("A");
    case Shot::kProgramShutterPriority:
        return QStringLiteral("S");
    default:
        return QStringLiteral("P");
    }
}

QString meteringText(Shot::Metering metering)
{
    switch (metering) {
    case Shot::kMeteringSpot:
        return QStringLiteral("SPOT");
    case Shot::kMeteringCenterWeighted:
        return QStringLiteral("CENTRE");
    default:
        return QStringLiteral("MULTI");
    }
}

QString whiteBalanceText(const Shot& shot)
{
    return shot.autoWhiteBalance ? QStringLiteral("AWB") : QStringLiteral("WB%1").arg(int(shot.lightSource));
}

int even(int value)
{
    return value & ~1;
}

} // namespace

BRX_Commu_VirtualCameraPicture::BRX_Commu_VirtualCameraPicture(const BRX_Commu_VirtualCameraShot& shot)
    : m_shot(shot)
{
    m_card.setNumber(shot.fileNumber % kNumberModulus);
    m_card.setCaption(caption(shot));
}

QString BRX_Commu_VirtualCameraPicture::caption(const BRX_Commu_VirtualCameraShot& shot)
{
    return QStringLiteral("%1 F%2 ISO %3 %4%5 EV %6 %7 %8 %9MM")
        .arg(exposureText(shot.exposureSeconds))
        .arg(shot.fNumber, 0, 'f', 1)
        .arg(shot.iso)
        .arg(shot.compensationMilliEv < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        .arg(std::abs(shot.compensationMilliEv) / 1000.0, 0, 'f', 1)
        .arg(programText(shot.program), meteringText(shot.metering), whiteBalanceText(shot))
        .arg(shot.focalLengthMm);
}

int BRX_Commu_VirtualCameraPicture::heightOf(int width)
{
    return std::max(2, even(width * 2 / 3));
}

BRX_Commu_VirtualCameraJpeg::RowSource BRX_Commu_VirtualCameraPicture::cardRows(int width, int height) const
{
    const auto rows = std::make_shared<Card::Rows>(m_card, Card::kWholeCard, width, height);
    return [rows](int first, int count, quint8* rgb) { rows->fill(first, count, rgb); };
}

BRX_Commu_VirtualCameraJpeg::Image BRX_Commu_VirtualCameraPicture::cardImage(int width, int height) const
{
    return m_card.render(Card::kWholeCard, width, height);
}

QByteArray BRX_Commu_VirtualCameraPicture::jpeg(int width) const
{
    width = qBound(kMinimumWidth, width, BRX_Commu_VirtualCameraJpeg::kMaxDimension);
    auto cached = m_jpegs.find(width);
    if (cached == m_jpegs.end()) {
        const int height = heightOf(width);
        cached = m_jpegs.insert(width, BRX_Commu_VirtualCameraJpeg(kJpegQuality).encode(width, height, cardRows(width, height)));
    }
    return cached.value();
}

BRX_Commu_VirtualCameraPicture::File BRX_Commu_VirtualCameraPicture::dng(const BRX_Commu_VirtualCameraProfile::Sensor& sensor, int width,
                                               quint32 bytes, int previewWidth) const
{
    const QByteArray preview = jpeg(previewWidth);
    const BRX_Commu_VirtualCameraDng::Preview previewPart = {previewWidth, heightOf(previewWidth), preview};
    const BRX_Commu_VirtualCameraJpeg::Image small = cardImage(kSmallWidth, kSmallHeight);
    BRX_Commu_VirtualCameraDng::Raw raw = {even(std::max(kMinimumWidth, width)), 0, sensor.blackLevel,
                                           sensor.whiteLevel, {}};
    quint32 privateBytes = 0;
    if (bytes > 0) {
        // Everything but the raw's samples: the raw takes what is left,
        // whole rows of a 3:2 picture, and private data the last bytes.
        const quint32 overhead =
            BRX_Commu_VirtualCameraDng(m_shot, raw, small, previewPart, kMinimumPrivateBytes).size()
            - kMinimumPrivateBytes;
        const qint64 samples = (qint64(bytes) - overhead - kMinimumPrivateBytes) / 2;
        raw.width = even(int(std::sqrt(std::max<qint64>(0, samples) * 1.5)));
        raw.width = std::max(kMinimumWidth, raw.width);
        raw.height = std::max(2, even(int(samples / raw.width)));
        privateBytes = quint32(std::max<qint64>(kMinimumPrivateBytes,
                                                qint64(bytes) - overhead - 2 * qint64(raw.width) * raw.height));
    } else {
        raw.height = heightOf(raw.width);
    }
    raw.rows = cardRows(raw.width, raw.height);
    return {BRX_Commu_VirtualCameraDng(m_shot, raw, small, previewPart, privateBytes).write(), raw.width, raw.height};
}

BRX_Commu_VirtualCameraPicture::File BRX_Commu_VirtualCameraPicture::jpg(int width, quint32 bytes, const QByteArray& thumbnail) const
{
    const BRX_Commu_VirtualCameraExif exif(m_shot);
    const int segment = exif.jpegSegment(width, heightOf(width), thumbnail, 0).size();
    if (bytes > 0)
        width = jpgWidthWithin(width, int(std::min<quint32>(bytes, INT_MAX)) - segment);
    // The picture follows the Exif segment without its own SOI.
    const QByteArray picture = jpeg(width);
    const int pictureBytes = picture.size() - 2;
    int commentBytes = 0;
    if (bytes > 0) {
        const int gap = int(std::min<quint32>(bytes, INT_MAX)) - 2 - segment - pictureBytes;
        commentBytes = std::min(gap, kMaxSegmentBytes - segment) - BRX_Commu_VirtualCameraExif::kCommentOverhead;
        commentBytes = commentBytes >= BRX_Commu_VirtualCameraExif::kMinimumCommentBytes ? commentBytes : 0;
    }
    QByteArray head = exif.jpegSegment(width, heightOf(width), thumbnail, commentBytes);
    // The comment starts on an even offset, which may cost a byte.
    const int excess = 2 + head.size() + pictureBytes - int(std::min<quint32>(bytes, INT_MAX));
    if (excess > 0 && commentBytes - excess >= BRX_Commu_VirtualCameraExif::kMinimumCommentBytes)
        head = exif.jpegSegment(width, heightOf(width), thumbnail, commentBytes - excess);
    QByteArray file;
    file.reserve(2 + head.size() + pictureBytes);
    file.append("\xFF\xD8", 2).append(head).append(picture.constData() + 2, pictureBytes);
    return {file, width, heightOf(width)};
}

// The widest picture up to width whose JPEG (without its SOI) takes at most budget.
int BRX_Commu_VirtualCameraPicture::jpgWidthWithin(int width, int budget) const
{
    for (int attempt = 0; attempt < kWidthTries && width > kMinimumWidth; ++attempt) {
        const int size = jpeg(width).size() - 2;
        if (size <= budget)
            return width;
        width = even(int(width * std::sqrt(double(std::max(budget, 1)) / size) * 0.97));
    }
    return std::max(kMinimumWidth, width);
}

QByteArray BRX_Commu_VirtualCameraPicture::thumbnail(bool big, quint32 bytes) const
{
    if (bytes == 0)
        return QByteArray();
    const int size = int(std::min<quint32>(bytes, INT_MAX));
    QByteArray picture;
    for (int divisor : kThumbnailDivisors) {
        const int width = (big ? kBigWidth : kSmallWidth) / divisor;
        const int height = (big ? kBigHeight : kSmallHeight) / divisor;
        picture = BRX_Commu_VirtualCameraJpeg(kJpegQuality).encode(cardImage(width, height));
        if (picture.size() <= size)
            return BRX_Commu_VirtualCameraJpeg::padded(picture, size);
    }
    return picture;
}
