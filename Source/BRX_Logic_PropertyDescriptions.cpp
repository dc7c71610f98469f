#include "BRX_Logic_PropertyDescriptions.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_ControllerConverters.h"
#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_SDK_C.h"

#include <QtGlobal>

namespace {

using Descriptions = BRX_Logic_PropertyDescriptions;
using Unit = Descriptions::Unit;
using Form = Descriptions::Form;
using Kind = BRX_Logic_ControllerConverters::Kind;
typedef BRX_Logic_Camera Cam;

const int kNone = Descriptions::kNone;

const Descriptions::Entry kEntries[BRX_Logic_PropertyCatalogue::kCount] = {
    /* 0 ExposureMode */ {Unit::Choice, Form::Named, kNone, kNone, nullptr},
    /* 1 ExposMetering */ {Unit::Choice, Form::Converted, Kind::ExposMetering, kNone, nullptr},
    /* 2 ApertureList */ {Unit::FNumber, Form::Aperture, kNone, kNone, &Cam::hasAperture},
    /* 3 Aperture */ {Unit::FNumber, Form::Aperture, kNone, BRX_SDK_PropertyApertureList, &Cam::hasAperture},
    /* 4 ShutterTimeList */ {Unit::Seconds, Form::ShutterTime, kNone, kNone, nullptr},
    /* 5 ShutterTime */ {Unit::Seconds, Form::ShutterTime, kNone, BRX_SDK_PropertyShutterTimeList, nullptr},
    /* 6 ExposCompensList */ {Unit::MilliEV, Form::SignedEv, kNone, kNone, nullptr},
    /* 7 ExposCompens */ {Unit::MilliEV, Form::SignedEv, kNone, BRX_SDK_PropertyExposCompensList, nullptr},
    /* 8 ExposCompensStep */ {Unit::MilliEV, Form::Ev, kNone, kNone, &Cam::hasExposCompensStep},
    /* 9 SensitivityList */ {Unit::Iso, Form::Iso, Kind::Sensitivity, kNone, nullptr},
    /* 10 Sensitivity */ {Unit::Iso, Form::Iso, Kind::Sensitivity, BRX_SDK_PropertySensitivityList, nullptr},
    /* 11 SensitivityAuto */ {Unit::OnOff, Form::OnOff, kNone, kNone, nullptr},
    /* 12 Reserved12 */ {Unit::None, Form::None, kNone, kNone, nullptr},
    /* 13 DriveMode */ {Unit::Choice, Form::Converted, Kind::DriveMode, kNone, nullptr},
    /* 14 BracketEnabled */ {Unit::OnOff, Form::OnOff, kNone, kNone, nullptr},
    /* 15 Reserved15 */ {Unit::None, Form::None, kNone, kNone, nullptr},
    /* 16 BracketImgNum */ {Unit::Pictures, Form::Converted, Kind::BracketImgNum, kNone, nullptr},
    /* 17 BracketDeltaEVList */ {Unit::MilliEV, Form::Ev, kNone, kNone, nullptr},
    /* 18 BracketDeltaEV */ {Unit::MilliEV, Form::Ev, kNone, BRX_SDK_PropertyBracketDeltaEVList, nullptr},
    /* 19 MirrorUpMode */ {Unit::OnOff, Form::OnOff, kNone, kNone, &Cam::hasMirrorUpMode},
    /* 20 FocusConfirmation */ {Unit::Choice, Form::FocusOffset, kNone, kNone, &Cam::hasFocusConfirmation},
    /* 21 FocusConfirmBadSig */ {Unit::OnOff, Form::OnOff, kNone, kNone, &Cam::hasFocusConfirmation},
    /* 22 NoFocusConfirmation */ {Unit::None, Form::None, kNone, kNone, &Cam::hasFocusConfirmation},
    /* 23 FocusDistance */ {Unit::Metres, Form::Distance, kNone, kNone, &Cam::hasFocusDistance},
    /* 24 FocusDistanceDec */ {Unit::None, Form::None, kNone, kNone, &Cam::hasFocusDistance},
    /* 25 FocusDistanceInc */ {Unit::None, Form::None, kNone, kNone, &Cam::hasFocusDistance},
    /* 26 FocusMaxDistance */ {Unit::Metres, Form::Distance, kNone, kNone, &Cam::hasFocusDistance},
    /* 27 FocusMinDistance */ {Unit::Metres, Form::Distance, kNone, kNone, &Cam::hasFocusDistance},
    /* 28 AutoFocusLimitDist */ {Unit::Metres, Form::Distance, kNone, kNone, &Cam::hasAutoFocusLimit},
    /* 29 FocusMode */ {Unit::Choice, Form::Named, kNone, kNone, &Cam::hasFocusMode},
    /* 30 FileFormat */ {Unit::Choice, Form::Converted, Kind::FileFormat, kNone, nullptr},
    /* 31 WantQuickView */ {Unit::OnOff, Form::OnOff, kNone, kNone, nullptr},
    /* 32 WhiteBalance */ {Unit::WhiteBalance, Form::WhiteBalance, Kind::WhiteBalance, kNone, &Cam::hasWhiteBalance},
    /* 33 LiveViewPhoto */ {Unit::OnOff, Form::OnOff, kNone, kNone, &Cam::hasLiveView},
    /* 34 LiveViewVideo */ {Unit::OnOff, Form::OnOff, kNone, kNone, &Cam::hasLiveView},
    /* 35 LiveViewCrossPosGlobal */ {Unit::Fraction, Form::Percent, kNone, kNone, &Cam::hasLiveView},
    /* 36 ToggleLiveViewZoom */ {Unit::None, Form::None, kNone, kNone, &Cam::hasLiveView},
    /* 37 WantLiveView */ {Unit::OnOff, Form::OnOff, kNone, kNone, &Cam::hasLiveView},
    /* 38 PowerSwitch */ {Unit::Choice, Form::Named, kNone, kNone, &Cam::hasPowerSwitch},
    /* 39 LensConnectionType */ {Unit::Choice, Form::Named, kNone, kNone, &Cam::hasLensConnectionType},
    /* 40 IntervalFramesRange */ {Unit::Pictures, Form::Frames, Kind::IntervalFrames, kNone, nullptr},
    /* 41 IntervalFrames */
    {Unit::Pictures, Form::Frames, Kind::IntervalFrames, BRX_SDK_PropertyIntervalFramesRange, nullptr},
    /* 42 IntervalTimeRange */ {Unit::Seconds, Form::IntervalTime, Kind::IntervalTime, kNone, nullptr},
    /* 43 IntervalTime */
    {Unit::Seconds, Form::IntervalTime, Kind::IntervalTime, BRX_SDK_PropertyIntervalTimeRange, nullptr},
};

// In the order of Unit.
const char* const kUnitNames[] = {
    "none",    "choice", "on/off",   "f-number", "seconds",  "milli-EV",
    "ISO",     "white-balance preset or kelvin", "metres",   "pictures", "fraction",
};
static_assert(sizeof kUnitNames / sizeof kUnitNames[0] == int(Unit::Fraction) + 1, "one name per unit");

// The codes the library can name without a converter table. A code's first
// row gives its text; later rows are other names a host may write for it.
struct CodeName {
    int property;
    int code;
    const char* name;
};

const CodeName kCodeNames[] = {
    {BRX_SDK_PropertyExposureMode, 0, "M"},
    {BRX_SDK_PropertyExposureMode, 0, "manual"},
    {BRX_SDK_PropertyExposureMode, 1, "S"},
    {BRX_SDK_PropertyExposureMode, 1, "shutter priority"},
    {BRX_SDK_PropertyExposureMode, 2, "P"},
    {BRX_SDK_PropertyExposureMode, 2, "program"},
    {BRX_SDK_PropertyExposureMode, 3, "A"},
    {BRX_SDK_PropertyExposureMode, 3, "aperture priority"},
    {BRX_SDK_PropertyExposureMode, kVQExposureModeBulb, "bulb"},
    {BRX_SDK_PropertyExposureMode, kVQExposureModeBulb, "B"},
    {BRX_SDK_PropertyExposureMode, 5, "auto"},
    {BRX_SDK_PropertyFocusMode, kVQFocusAutoSingle, "auto single"},
    {BRX_SDK_PropertyFocusMode, kVQFocusAutoSingle, "auto"},
    {BRX_SDK_PropertyFocusMode, kVQFocusAutoContinuous, "auto continuous"},
    {BRX_SDK_PropertyFocusMode, kVQFocusManual, "manual"},
    {BRX_SDK_PropertyPowerSwitch, 0, "off"},
    {BRX_SDK_PropertyPowerSwitch, 1, "on"},
    {BRX_SDK_PropertyPowerSwitch, 2, "single"},
    {BRX_SDK_PropertyPowerSwitch, 3, "continuous"},
    {BRX_SDK_PropertyLensConnectionType, 0, "native mount"},
    {BRX_SDK_PropertyLensConnectionType, 1, "adapted"},
};

} // namespace

const BRX_Logic_PropertyDescriptions::Entry* BRX_Logic_PropertyDescriptions::find(int property)
{
    if (!BRX_Logic_PropertyCatalogue::find(property))
        return nullptr;
    return &kEntries[property];
}

const char* BRX_Logic_PropertyDescriptions::unitName(Unit unit)
{
    return kUnitNames[int(unit)];
}

bool BRX_Logic_PropertyDescriptions::isOffered(int property, const BRX_Logic_Camera& camera)
{
    const BRX_Logic_PropertyCatalogue::Entry* entry = BRX_Logic_PropertyCatalogue::find(property);
    if (!entry || entry->access == BRX_Logic_PropertyCatalogue::Access::Reserved)
        return false;
    const Offered offered = kEntries[property].offered;
    return !offered || (camera.*offered)();
}

const char* BRX_Logic_PropertyDescriptions::codeName(int property, int code)
{
    for (const CodeName& row : kCodeNames) {
        if (row.property == property && row.code == code)
            return row.name;
    }
    return nullptr;
}

QVector<int> BRX_Logic_PropertyDescriptions::namedCodes(int property)
{
    QVector<int> codes;
    for (const CodeName& row : kCodeNames) {
        if (row.property == property && !codes.contains(row.code))
            codes << row.code;
    }
    return codes;
}

int BRX_Logic_PropertyDescriptions::codeOfName(int property, const char* name)
{
    for (const CodeName& row : kCodeNames) {
        if (row.property == property && qstricmp(row.name, name) == 0)
            return row.code;
    }
    return kNone;
}
