#include "BRX_Logic_LiveViewPacket.h"

#include "BRX_Commu_ByteReader.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Rounding.h"

namespace {

typedef BRX_Logic_LiveViewPacket::Zoom Zoom;

// Two length-checked header blocks, the frame offset, then the tag list.
const quint32 kHeaderA = 4;
const quint32 kHeaderB = 10;
const quint32 kFrameOffset = 16;
const quint32 kTagList = 20;
const quint32 kMinFrameOffset = 29;

enum Tag : quint32 {
    kTagEnd = 0,
    kTagIso = 1,
    kTagExposureUsec = 2,
    kTagExposureTv = 3,
    kTagZoom = 4,
    kTagImageId = 5,
    kTagAudio = 6,
    kTagTimeCode = 7,
    kTagCount = 8
};

// Bytes each known tag's payload must at least hold.
const quint32 kTagPayloadSize[kTagCount] = {0, 4, 4, 4, Zoom::kWords * 4, 4, 16, 4};

void logArea(const char* format, const char* label, const quint32* area)
{
    debugPrint(kDebugLiveView, format, label, long(area[0]), long(area[1]), long(area[2]), long(area[3]));
}

void logZoom(const char* label, const Zoom& zoom)
{
    const quint32* words = zoom.words;
    debugPrint(kDebugLiveView, "%s - Selected Stripe            = 0x%08lx", label,
               static_cast<unsigned long>(zoom.stripe()));
    debugPrint(kDebugLiveView, "%s - Zoom Level                 = %ld", label, long(words[Zoom::kLevel]));
    logArea("%s - Outer Bounds  (x, y, w, h) = %ld, %ld, %ld, %ld", label, words + Zoom::kOuterBounds);
    logArea("%s - Active Sensor (x, y, w, h) = %ld, %ld, %ld, %ld", label, words + Zoom::kActiveSensor);
    logArea("%s - Image SrcArea (x, y, w, h) = %ld, %ld, %ld, %ld", label, words + Zoom::kSourceArea);
    debugPrint(kDebugLiveView, "%s - AF Cross            (x, y) = %ld, %ld", label, long(words[Zoom::kAfCross]),
               long(words[Zoom::kAfCross + 1]));
    debugPrint(kDebugLiveView, "%s - --> rel. Focus Pos. (x, y) = %5.3lf, %5.3lf", label, zoom.relativeFocus(0),
               zoom.relativeFocus(1));
}

// The nearest whole number to fraction (in [0, 1]) of extent, halves upward:
// at most extent, so it fits.
quint32 partOf(quint32 extent, double fraction)
{
    return quint32(roundHalfUp(extent * fraction));
}

}  // namespace

bool Zoom::isFraction(double x)
{
    return x >= 0.0 && x <= 1.0;
}

double Zoom::relativeFocus(int axis) const
{
    const qint32 delta = qint32(words[kAfCross + axis] - words[kSourceArea + axis]);
    return delta / double(words[kSourceArea + 2 + axis]);
}

double Zoom::relativeToOuterBounds(int index) const
{
    const double outerExtent = words[kOuterBounds + 2 + index % 2];
    if (index >= 2)
        return words[kSourceArea + index] / outerExtent;
    return qint32(words[kSourceArea + index] - words[kOuterBounds + index]) / outerExtent;
}

// Sensor coordinates wrap as the camera's own 32-bit words do.
bool Zoom::pointIn(Word area, double x, double y, quint32& pointX, quint32& pointY) const
{
    if (!isFraction(x) || !isFraction(y))
        return false;
    const quint32* corner = words + area;
    pointX = corner[0] + partOf(corner[2], x);
    pointY = corner[1] + partOf(corner[3], y);
    return true;
}

bool BRX_Logic_LiveViewPacket::checkHeader(const quint8* data, quint32 size)
{
    BRX_Commu_ByteReader reader(data, size);
    if (size < 6 || 6 + quint64(reader.readU16At(kHeaderA)) > size)
        return false;
    if (size < 14 || 14 + quint64(reader.readU32At(kHeaderB)) > size)
        return false;
    if (size < kTagList)
        return false;
    frameOffset = reader.readU32At(kFrameOffset);
    return frameOffset >= kMinFrameOffset && frameOffset <= size && kTagList + 4 <= size;
}

// Every entry must lie inside the packet, none may be empty and the list
// must end with a 0 type before the packet does.
bool BRX_Logic_LiveViewPacket::parse(const quint8* data, quint32 size, const char* label)
{
    if (!checkHeader(data, size))
        return false;
    BRX_Commu_ByteReader reader(data, size);
    quint64 pos = kTagList;
    while (pos + 4 <= size) {
        const quint32 type = reader.readU32At(quint32(pos));
        if (type == kTagEnd)
            return true;
        if (pos + 8 > size)
            return false;
        const quint32 length = reader.readU32At(quint32(pos + 4));
        if (length == 0 || pos + 8 + length > size)
            return false;
        if (!takeTag(type, data + pos + 8, length, label))
            return false;
        pos += 8 + length;
    }
    return false;
}

bool BRX_Logic_LiveViewPacket::takeTag(quint32 type, const quint8* payload, quint32 length, const char* label)
{
    if (type >= kTagCount) {
        debugPrint(kDebugLiveView, "%s - unknown tag 0x%08lx in live view stream!", label,
                   static_cast<unsigned long>(type));
        return true;
    }
    // A known tag too short for its record is as broken as one that overruns.
    if (length < kTagPayloadSize[type])
        return false;
    BRX_Commu_ByteReader reader(payload, length);
    switch (Tag(type)) {
    case kTagIso:
        iso = qint32(reader.readU32());
        break;
    case kTagExposureUsec:
        exposureUsec = qint32(reader.readU32());
        break;
    case kTagExposureTv:
        exposureTv = qint32(reader.readU32());
        break;
    case kTagZoom:
        zoom = Zoom();
        for (quint32& word : zoom->words)
            word = reader.readU32();
        break;
    case kTagImageId:
        imageId = reader.readU32();
        break;
    case kTagAudio:
        audio = Audio{reader.readU32(), reader.readU32(), reader.readU32(), reader.readU32()};
        break;
    case kTagTimeCode:
        timeCode = TimeCode{reader.readU8(), reader.readU8(), reader.readU8(), reader.readU8()};
        break;
    case kTagEnd:
    case kTagCount:
        break;
    }
    return true;
}

void BRX_Logic_LiveViewPacket::logTags(const char* label) const
{
    if (iso)
        debugPrint(kDebugLiveView, "%s - ISO                        = %ld", label, long(*iso));
    if (exposureUsec)
        debugPrint(kDebugLiveView, "%s - Exposure            (usec) = %ld usec", label, long(*exposureUsec));
    if (exposureTv)
        debugPrint(kDebugLiveView, "%s - Exposure              (TV) = %lf", label, *exposureTv / 256.0);
    if (zoom)
        logZoom(label, *zoom);
    if (imageId)
        debugPrint(kDebugLiveView, "%s - Image ID                   = 0x%08lx", label,
                   static_cast<unsigned long>(*imageId));
    if (audio) {
        debugPrint(kDebugLiveView, "%s - Audio Peak Value     (L,R) = %ld, %ld", label, long(audio->peakLeft),
                   long(audio->peakRight));
        debugPrint(kDebugLiveView, "%s - Audio RMS Value      (L,R) = %ld, %ld", label, long(audio->rmsLeft),
                   long(audio->rmsRight));
    }
    if (timeCode)
        debugPrint(kDebugLiveView, "%s - Time Code    (HH:MM:SS.FF) = %02d:%02d:%02d.%02d", label, timeCode->hours,
                   timeCode->minutes, timeCode->seconds, timeCode->frames);
}
