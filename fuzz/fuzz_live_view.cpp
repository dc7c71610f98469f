// The live-view packet parser: up to eight stream packets (each a
// length-prefixed piece) are checked, their tags walked and logged, and the
// zoom record's figures computed, as live view does with every packet.
#include "BRX_Logic_LiveViewPacket.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

namespace {

const int kMaxPackets = 8;

void useZoom(const BRX_Logic_LiveViewPacket::Zoom& zoom)
{
    volatile double figures = 0;
    for (int axis = 0; axis < 2; ++axis)
        figures = figures + zoom.relativeFocus(axis);
    for (int index = 0; index < 4; ++index)
        figures = figures + zoom.relativeToOuterBounds(index);
    quint32 x = 0;
    quint32 y = 0;
    fuzzCheck(zoom.pointIn(BRX_Logic_LiveViewPacket::Zoom::kOuterBounds, 1.0, 0.5, x, y), "a corner was refused");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    for (int packets = 0; !input.atEnd() && packets < kMaxPackets; ++packets) {
        const QByteArray bytes = input.chunk();
        BRX_Logic_LiveViewPacket packet;
        if (!packet.parse(reinterpret_cast<const quint8*>(bytes.constData()), quint32(bytes.size()), "fuzz"))
            continue;
        fuzzCheck(packet.frameOffset <= quint32(bytes.size()), "frame beyond the packet");
        packet.logTags("fuzz");
        if (packet.zoom)
            useZoom(*packet.zoom);
    }
    return 0;
}
