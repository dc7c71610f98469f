#ifndef BRX_LOGIC_LIVEVIEWPACKET_H
#define BRX_LOGIC_LIVEVIEWPACKET_H

#include <QtGlobal>

#include <optional>

// One live-view stream packet as the camera sends it: two length-checked
// header blocks, the offset of the frame, then a list of tagged metadata
// (exposure, zoom record, image ID, audio levels, time code) ended by a 0
// tag. The frame runs from its offset to the end of the packet.
//
// Parsing reads only the bytes it is given and keeps copies of the values,
// never pointers into the packet. Plain data: any thread.
struct BRX_Logic_LiveViewPacket
{
    // The zoom record (tag 4): the selected stripe, the zoom level, then four
    // areas of x, y, w, h and the focus cross x, y, in sensor coordinates.
    struct Zoom
    {
        enum Word { kStripe = 0, kLevel = 1, kOuterBounds = 2, kActiveSensor = 6, kSourceArea = 10, kAfCross = 14 };
        static constexpr int kWords = 16;

        // Whether x lies in [0, 1] (NaN does not).
        static bool isFraction(double x);

        quint32 stripe() const { return words[kStripe]; }
        qint32 level() const { return qint32(words[kLevel]); }
        // The focus cross relative to the image source area; axis 0 is x, 1 is y.
        double relativeFocus(int axis) const;
        // The source area relative to the outer bounds: its x, y (index 0, 1)
        // or its width, height (2, 3).
        double relativeToOuterBounds(int index) const;
        // The point at fractions x, y of the area that starts at word area, in
        // sensor coordinates: the area's corner plus the nearest whole number
        // (halves upward) to the fraction of its extent. Both fractions must
        // lie in [0, 1]; false otherwise, and nothing is computed.
        bool pointIn(Word area, double x, double y, quint32& pointX, quint32& pointY) const;

        quint32 words[kWords] = {};
    };
    struct Audio
    {
        quint32 peakLeft;
        quint32 peakRight;
        quint32 rmsLeft;
        quint32 rmsRight;
    };
    struct TimeCode
    {
        quint8 hours;
        quint8 minutes;
        quint8 seconds;
        quint8 frames;
    };

    // Parses size bytes into this (a fresh) packet. False when the packet
    // breaks a rule: shorter than its header, a header block or the frame
    // offset beyond its end, a frame offset below 29, a tag that overruns
    // it, is empty or too short for its record, or no end tag before its
    // end. Unknown tags are logged under label and skipped; of a tag that
    // comes twice the later one counts.
    bool parse(const quint8* data, quint32 size, const char* label);
    // Logs every tag present (debug flag live view), in the order ISO,
    // exposure, zoom record, image ID, audio, time code.
    void logTags(const char* label) const;

    quint32 frameOffset = 0;
    std::optional<qint32> iso;
    std::optional<qint32> exposureUsec;
    // In 1/256 APEX steps.
    std::optional<qint32> exposureTv;
    std::optional<Zoom> zoom;
    std::optional<quint32> imageId;
    std::optional<Audio> audio;
    std::optional<TimeCode> timeCode;

private:
    bool checkHeader(const quint8* data, quint32 size);
    // False when a known tag's payload is too short for its record.
    bool takeTag(quint32 type, const quint8* payload, quint32 length, const char* label);
};

#endif
