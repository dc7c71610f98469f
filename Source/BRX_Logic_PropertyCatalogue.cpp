#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_Debug.h"

namespace {

using Payload = BRX_Logic_PropertyCatalogue::Payload;
using Access = BRX_Logic_PropertyCatalogue::Access;

const BRX_Logic_PropertyCatalogue::Entry kEntries[BRX_Logic_PropertyCatalogue::kCount] = {
    {0, "ExposureMode", Payload::Int, Access::ReadWrite, true},
    {1, "ExposMetering", Payload::Int, Access::ReadWrite, true},
    {2, "ApertureList", Payload::DoubleList, Access::List, true},
    {3, "Aperture", Payload::Double, Access::ReadWrite, true},
    {4, "ShutterTimeList", Payload::DoubleList, Access::List, true},
    {5, "ShutterTime", Payload::Double, Access::ReadWrite, true},
    {6, "ExposCompensList", Payload::IntList, Access::List, true},
    {7, "ExposCompens", Payload::Int, Access::ReadWrite, true},
    {8, "ExposCompensStep", Payload::Int, Access::ReadWrite, true},
    {9, "SensitivityList", Payload::IntList, Access::List, true},
    {10, "Sensitivity", Payload::Int, Access::ReadWrite, true},
    {11, "SensitivityAuto", Payload::Bool, Access::ReadWrite, true},
    {12, "Reserved12", Payload::None, Access::Reserved, false},
    {13, "DriveMode", Payload::Int, Access::ReadWrite, true},
    {14, "BracketEnabled", Payload::Bool, Access::ReadWrite, true},
    {15, "Reserved15", Payload::None, Access::Reserved, false},
    {16, "BracketImgNum", Payload::Int, Access::ReadWrite, true},
    {17, "BracketDeltaEVList", Payload::IntList, Access::List, true},
    {18, "BracketDeltaEV", Payload::Int, Access::ReadWrite, true},
    {19, "MirrorUpMode", Payload::Bool, Access::ReadWrite, true},
    {20, "FocusConfirmation", Payload::Int, Access::EmitOnly, true},
    {21, "FocusConfirmBadSig", Payload::Bool, Access::EmitOnly, true},
    // Emitted without payload but never delivered to the host.
    {22, "NoFocusConfirmation", Payload::None, Access::EmitOnly, false},
    {23, "FocusDistance", Payload::Double, Access::ReadWrite, true},
    {24, "FocusDistanceDec", Payload::None, Access::Command, false},
    {25, "FocusDistanceInc", Payload::None, Access::Command, false},
    {26, "FocusMaxDistance", Payload::Double, Access::ReadOnly, true},
    {27, "FocusMinDistance", Payload::Double, Access::ReadOnly, true},
    {28, "AutoFocusLimitDist", Payload::Double, Access::ReadOnly, true},
    {29, "FocusMode", Payload::Int, Access::ReadWrite, true},
    {30, "FileFormat", Payload::Int, Access::ReadWrite, false},
    {31, "WantQuickView", Payload::Bool, Access::ReadWrite, false},
    {32, "WhiteBalance", Payload::Int, Access::ReadWrite, true},
    {33, "LiveViewPhoto", Payload::Bool, Access::ReadWrite, false},
    {34, "LiveViewVideo", Payload::Bool, Access::ReadWrite, false},
    {35, "LiveViewCrossPosGlobal", Payload::DoublePair, Access::WriteOnly, false},
    {36, "ToggleLiveViewZoom", Payload::None, Access::Command, false},
    {37, "WantLiveView", Payload::Bool, Access::ReadWrite, false},
    {38, "PowerSwitch", Payload::Int, Access::ReadOnly, true},
    {39, "LensConnectionType", Payload::Int, Access::ReadOnly, true},
    {40, "IntervalFramesRange", Payload::IntPair, Access::ReadOnly, true},
    {41, "IntervalFrames", Payload::Int, Access::ReadWrite, true},
    {42, "IntervalTimeRange", Payload::IntPair, Access::ReadOnly, true},
    {43, "IntervalTime", Payload::Int, Access::ReadWrite, true},
};

} // namespace

const BRX_Logic_PropertyCatalogue::Entry* BRX_Logic_PropertyCatalogue::find(int property)
{
    if (property < 0 || property >= kCount)
        return nullptr;
    return &kEntries[property];
}

unsigned int BRX_Logic_PropertyCatalogue::payloadSize(Payload payload)
{
    switch (payload) {
    case Payload::Int:
        return 4;
    case Payload::Bool:
        return 1;
    case Payload::Double:
    case Payload::IntPair:
        return 8;
    case Payload::DoublePair:
        return 16;
    case Payload::None:
    case Payload::IntList:
    case Payload::DoubleList:
        break;
    }
    return 0;
}

namespace {

using Verdict = BRX_Logic_PropertyCatalogue::Verdict;

Verdict refuse(const char* format, const char* label, int property)
{
    debugPrint(kDebugAlways, format, label, property);
    return Verdict::Refused;
}

Verdict checkData(const BRX_Logic_PropertyCatalogue::Entry& entry, const void* data, unsigned int size,
                  const char* label)
{
    // Null data asks for nothing; with a size it would be answered true
    // for a value never read or written, so it counts as no bytes given.
    if (!data && size == 0)
        return Verdict::NoData;
    const unsigned int given = data ? size : 0;
    const unsigned int expected = BRX_Logic_PropertyCatalogue::payloadSize(entry.payload);
    if (given != expected) {
        debugPrint(kDebugAlways, "%s - wrong size %ld instead of %ld for property: %d", label, long(given),
                   long(expected), entry.id);
        return Verdict::Refused;
    }
    return Verdict::Accepted;
}

} // namespace

BRX_Logic_PropertyCatalogue::Verdict BRX_Logic_PropertyCatalogue::checkGet(int property, const void* data,
                                                                         unsigned int size, const char* label)
{
    const Entry* entry = find(property);
    if (!entry || entry->access == Access::List || entry->access == Access::Reserved)
        return refuse("%s - unknown property: %d", label, property);
    if (entry->access == Access::EmitOnly)
        return refuse("%s - cannot get emit-only property: %d", label, property);
    if (entry->access == Access::WriteOnly || entry->access == Access::Command)
        return refuse("%s - cannot get write-only property: %d", label, property);
    return checkData(*entry, data, size, label);
}

BRX_Logic_PropertyCatalogue::Verdict BRX_Logic_PropertyCatalogue::checkSet(int property, const void* data,
                                                                         unsigned int size, const char* label)
{
    const Entry* entry = find(property);
    if (!entry)
        return refuse("%s - unknown property: %d", label, property);
    switch (entry->access) {
    case Access::ReadOnly:
    case Access::List:
    case Access::Reserved:
        return refuse("%s - cannot set read-only property: %d", label, property);
    case Access::EmitOnly:
        return refuse("%s - cannot set emit-only property: %d", label, property);
    case Access::Command:
        // Commands carry no payload; the data pointer is not looked at.
        return checkData(*entry, &size, size, label);
    case Access::ReadWrite:
    case Access::WriteOnly:
        break;
    }
    return checkData(*entry, data, size, label);
}
