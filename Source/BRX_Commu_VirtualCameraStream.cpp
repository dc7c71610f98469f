#include "BRX_Commu_VirtualCameraStream.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_VirtualCameraJpeg.h"

#include <cmath>

namespace {

typedef BRX_Commu_ByteWriter Writer;

const quint64 kStreamInfoSize = 36;
// Time stamps in microseconds.
const quint64 kTimeResolutionNs = 1000;
const quint32 kPacketAlignment = 1;
const quint32 kPacketHeaderSize = 20;
// The bytes of header block A after its length field; block B counts the
// rest of the packet after its length field.
const quint16 kHeaderBlockA = 14;
const quint32 kHeaderBlockBEnd = 14;
const quint32 kMaxFrameSize = 4 * 1024 * 1024;
// 480 x 320 down to 60 x 40.
const int kMaxHalvings = 3;
// The ball's round: an ellipse about the middle of the colour bars.
const int kBallCentreX = 3000;
const int kBallCentreY = 1700;
const int kBallRadiusX = 2200;
const int kBallRadiusY = 1000;
const double kTwoPi = 6.283185307179586;
const quint32 kFramesPerSecond = 25;

enum StreamTag : quint32 { kTagEnd = 0, kTagZoom = 4, kTagAudio = 6, kTagTimeCode = 7 };

// Peak left, peak right, RMS left, RMS right: a quiet room.
const quint32 kAudioLevels[] = {20000, 18000, 8000, 6000};

void appendTag(QByteArray& out, quint32 type, const QByteArray& payload)
{
    Writer::appendU32(out, type);
    Writer::appendU32(out, quint32(payload.size()));
    out += payload;
}

void appendU64(QByteArray& out, quint64 value)
{
    Writer::appendU32(out, quint32(value));
    Writer::appendU32(out, quint32(value >> 32));
}

void appendArea(QByteArray& out, quint32 x, quint32 y, quint32 w, quint32 h)
{
    for (quint32 value : {x, y, w, h})
        Writer::appendU32(out, value);
}

} // namespace

QByteArray BRX_Commu_VirtualCameraStream::streamInfo() const
{
    const quint32 headerSize = kPacketHeaderSize + quint32(tagList().size());
    QByteArray out;
    appendU64(out, kStreamInfoSize);
    appendU64(out, kTimeResolutionNs);
    Writer::appendU32(out, 0); // the frame is plain JPEG, without a header of its own
    Writer::appendU32(out, m_frameSize);
    Writer::appendU32(out, headerSize);
    Writer::appendU32(out, headerSize + m_frameSize);
    Writer::appendU32(out, kPacketAlignment);
    return out;
}

QByteArray BRX_Commu_VirtualCameraStream::nextPacket()
{
    const QByteArray tags = tagList();
    const quint32 frameOffset = kPacketHeaderSize + quint32(tags.size());
    const quint32 packetSize = frameOffset + m_frameSize;
    QByteArray packet;
    Writer::appendU32(packet, packetSize);
    Writer::appendU16(packet, kHeaderBlockA);
    Writer::appendU32(packet, m_frameNumber);
    Writer::appendU32(packet, packetSize - kHeaderBlockBEnd);
    Writer::appendU16(packet, 0);
    Writer::appendU32(packet, frameOffset);
    packet += tags;
    packet += frame();
    ++m_frameNumber;
    return packet;
}

QByteArray BRX_Commu_VirtualCameraStream::frame()
{
    const QByteArray comment = "frame " + QByteArray::number(m_frameNumber);
    for (;;) {
        const QByteArray frame =
            BRX_Commu_VirtualCameraJpeg::padded(cyclePicture(int(m_frameNumber % kCycleFrames)), int(m_frameSize), comment);
        // kMinFrameSize holds the smallest picture.
        if (!frame.isEmpty() || m_halvings == kMaxHalvings)
            return frame;
        m_cycle.fill(QByteArray());
        ++m_halvings;
    }
}

const QByteArray& BRX_Commu_VirtualCameraStream::cyclePicture(int index)
{
    QByteArray& picture = m_cycle[index];
    if (!picture.isEmpty())
        return picture;
    const double angle = kTwoPi * index / kCycleFrames;
    BRX_Commu_VirtualCameraTestCard card;
    card.setBall(kBallCentreX + int(kBallRadiusX * std::cos(angle)), kBallCentreY + int(kBallRadiusY * std::sin(angle)));
    card.setCross(int(m_crossX), int(m_crossY));
    picture = BRX_Commu_VirtualCameraJpeg().encode(
        card.render(shownArea(), kFrameWidth >> m_halvings, kFrameHeight >> m_halvings));
    return picture;
}

void BRX_Commu_VirtualCameraStream::forgetPictures()
{
    m_cycle.fill(QByteArray());
    m_halvings = 0;
}

void BRX_Commu_VirtualCameraStream::setFrameSize(quint32 bytes)
{
    m_frameSize = qBound(kMinFrameSize, bytes, kMaxFrameSize);
    forgetPictures();
}

void BRX_Commu_VirtualCameraStream::toggleZoom()
{
    m_zoomLevel = m_zoomLevel == kFullViewZoom ? kMagnifiedZoom : kFullViewZoom;
    forgetPictures();
}

void BRX_Commu_VirtualCameraStream::setFocusCross(qint32 x, qint32 y)
{
    m_crossX = quint32(qBound(0, x, int(kSensorWidth) - 1));
    m_crossY = quint32(qBound(0, y, int(kSensorHeight) - 1));
    forgetPictures();
}

// The same tags in every packet, so the packet header keeps its size.
QByteArray BRX_Commu_VirtualCameraStream::tagList() const
{
    QByteArray audio;
    for (quint32 level : kAudioLevels)
        Writer::appendU32(audio, level);
    QByteArray out;
    appendTag(out, kTagZoom, zoomRecord());
    appendTag(out, kTagAudio, audio);
    appendTag(out, kTagTimeCode, timeCode());
    Writer::appendU32(out, kTagEnd);
    return out;
}

QByteArray BRX_Commu_VirtualCameraStream::zoomRecord() const
{
    const BRX_Commu_VirtualCameraTestCard::Area shown = shownArea();
    QByteArray out;
    Writer::appendU32(out, 0); // the only stripe
    Writer::appendU32(out, m_zoomLevel);
    appendArea(out, 0, 0, kSensorWidth, kSensorHeight);
    appendArea(out, 0, 0, kSensorWidth, kSensorHeight);
    appendArea(out, quint32(shown.x), quint32(shown.y), quint32(shown.width), quint32(shown.height));
    Writer::appendU32(out, m_crossX);
    Writer::appendU32(out, m_crossY);
    return out;
}

BRX_Commu_VirtualCameraTestCard::Area BRX_Commu_VirtualCameraStream::shownArea() const
{
    return {int(sourceStart(m_crossX, kSensorWidth)), int(sourceStart(m_crossY, kSensorHeight)),
            int(kSensorWidth / m_zoomLevel), int(kSensorHeight / m_zoomLevel)};
}

quint32 BRX_Commu_VirtualCameraStream::sourceStart(quint32 cross, quint32 extent) const
{
    const quint32 shown = extent / m_zoomLevel;
    const qint64 start = qint64(cross) - shown / 2;
    return quint32(qBound(qint64(0), start, qint64(extent - shown)));
}

// Hours, minutes, seconds and frames of the frame about to be sent.
QByteArray BRX_Commu_VirtualCameraStream::timeCode() const
{
    const quint32 seconds = m_frameNumber / kFramesPerSecond;
    QByteArray out;
    Writer::appendU8(out, quint8(seconds / 3600 % 24));
    Writer::appendU8(out, quint8(seconds / 60 % 60));
    Writer::appendU8(out, quint8(seconds % 60));
    Writer::appendU8(out, quint8(m_frameNumber % kFramesPerSecond));
    return out;
}
