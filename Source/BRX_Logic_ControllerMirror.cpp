#include "BRX_Logic_ControllerMirror.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_Controller.h"
#include "BRX_Logic_ConverterBase.h"
#include "BRX_Logic_ConverterFocusDistance.h"

#include <iterator>

namespace {

typedef BRX_Logic_Camera Cam;
typedef BRX_Logic_Controller Ctl;
typedef BRX_Logic_ControllerMirror Mirror;
using Kind = BRX_Logic_ControllerConverters::Kind;

const int kAlways = -1;
const int kNoConverter = -1;

struct Availability {
    bool (Cam::*offered)() const;
    void (Ctl::*has)(bool);
};

// In the order of Mirror::Capability.
const Availability kAvailabilities[] = {
    {&Cam::hasLensConnectionType, &Ctl::signalHasLensConnectionType},
    {&Cam::hasPowerSwitch, &Ctl::signalHasPowerSwitch},
    {&Cam::hasVideoRecording, &Ctl::signalHasVideoRecording},
    {&Cam::hasLiveView, &Ctl::signalHasLiveView},
    {&Cam::hasFlashStatus, &Ctl::signalHasFlashStatus},
    {&Cam::hasFlashXSymbol, &Ctl::signalHasFlashXSymbol},
    {&Cam::hasKeyLock, &Ctl::signalHasKeyLock},
    {&Cam::hasDngCompression, &Ctl::signalHasDngCompression},
    {&Cam::hasJpgColorSpace, &Ctl::signalHasJpgColorSpace},
    {&Cam::hasJpgResolution, &Ctl::signalHasJpgResolution},
    {&Cam::hasAutoreviewDuration, &Ctl::signalHasAutoreviewDuration},
    {&Cam::hasAutoPowerOff, &Ctl::signalHasAutoPowerOff},
    {&Cam::hasSensorFormat, &Ctl::signalHasSensorFormat},
    {&Cam::hasPhotoAspectRatio, &Ctl::signalHasPhotoAspectRatio},
    {&Cam::hasVideoFileFormat, &Ctl::signalHasVideoFileFormat},
    {&Cam::hasVideoResAndFrRate, &Ctl::signalHasVideoResAndFrRate},
    {&Cam::hasVideoFormatResol, &Ctl::signalHasVideoFormatResol},
    {&Cam::hasContrast, &Ctl::signalHasContrast},
    {&Cam::hasSharpness, &Ctl::signalHasSharpness},
    {&Cam::hasSaturation, &Ctl::signalHasSaturation},
    {&Cam::hasMonochrome, &Ctl::signalHasMonochrome},
    {&Cam::hasOrientation, &Ctl::signalHasOrientation},
    {&Cam::hasAudioLevel, &Ctl::signalHasAudioLevel},
    {&Cam::hasAudioWindElim, &Ctl::signalHasAudioWindElim},
    {&Cam::hasAudioVolSpeaker, &Ctl::signalHasAudioVolSpeaker},
    {&Cam::hasAudioVolHeadphone, &Ctl::signalHasAudioVolHeadphone},
    {&Cam::hasAudioVolMicrophone, &Ctl::signalHasAudioVolMicrophone},
    {&Cam::hasExposureSimulation, &Ctl::signalHasExposureSimulation},
    {&Cam::hasWhiteBalance, &Ctl::signalHasWhiteBalance},
    {&Cam::hasFocusMode, &Ctl::signalHasFocusMode},
    {&Cam::hasInterval, &Ctl::signalHasInterval},
    {&Cam::hasAutoFocusLimit, &Ctl::signalHasAutoFocusLimit},
    {&Cam::hasMirrorUpMode, &Ctl::signalHasMirrorUpMode},
    {&Cam::hasAperture, &Ctl::signalHasAperture},
    {&Cam::hasFocusDistance, &Ctl::signalHasFocusDistance},
    {&Cam::hasFocusConfirmation, &Ctl::signalHasFocusConfirmation},
};

static_assert(sizeof kAvailabilities / sizeof kAvailabilities[0] == Mirror::kCapabilityCount,
              "one row per capability");

} // namespace

// One mirrored value: where it comes from, whether the camera offers it, and
// the controller's value, text and list signals.
template <typename T>
struct BRX_Logic_ControllerMirror::Value {
    Group group;
    // Null where the controller's notification of the value mirrors it.
    void (Cam::*changed)(T);
    // The current value for the initial state; null outside a group.
    T (*current)(Cam&);
    int capability;
    void (Ctl::*value)(T);
    int kind;
    void (Ctl::*text)(const QString&);
    // Null for a status that offers no choices.
    void (Ctl::*list)(const QStringList&);
};

namespace {

#define BRX_CURRENT(getter) [](Cam& camera) { return camera.getter(); }

// Groups in the order the initial state sends their values.
const Mirror::Value<int> kIntValues[] = {
    {Mirror::Battery, &Cam::signalBatteryInfo, BRX_CURRENT(batteryInfo), kAlways, &Ctl::signalBatteryInfo,
     kNoConverter, nullptr, nullptr},
    {Mirror::Battery, &Cam::signalBatteryLevelIntern, BRX_CURRENT(batteryLevelIntern), kAlways,
     &Ctl::signalBatteryLevelIntern, kNoConverter, nullptr, nullptr},
    {Mirror::Battery, &Cam::signalBatteryLevelExtern, BRX_CURRENT(batteryLevelExtern), kAlways,
     &Ctl::signalBatteryLevelExtern, kNoConverter, nullptr, nullptr},
    {Mirror::FlashAndKeyLock, &Cam::signalFlashStatus, BRX_CURRENT(flashStatus), Mirror::FlashStatus,
     &Ctl::signalFlashStatus, kNoConverter, nullptr, nullptr},
    {Mirror::FlashAndKeyLock, &Cam::signalLightBalance, BRX_CURRENT(lightBalance), kAlways, &Ctl::signalLightBalance,
     kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalFileFormat, BRX_CURRENT(fileFormat), kAlways, &Ctl::signalFileFormat,
     Kind::FileFormat, &Ctl::signalFileFormat, &Ctl::signalFileFormatList},
    {Mirror::PictureSettings, &Cam::signalJpgColorSpace, BRX_CURRENT(jpgColorSpace), Mirror::JpgColorSpace,
     &Ctl::signalJpgColorSpace, Kind::JpgColorSpace, &Ctl::signalJpgColorSpace, &Ctl::signalJpgColorSpaceList},
    {Mirror::PictureSettings, &Cam::signalJpgResolution, BRX_CURRENT(jpgResolution), Mirror::JpgResolution,
     &Ctl::signalJpgResolution, Kind::JpgResolution, &Ctl::signalJpgResolution, &Ctl::signalJpgResolutionList},
    {Mirror::PictureSettings, &Cam::signalAutoreviewDuration, BRX_CURRENT(autoreviewDuration),
     Mirror::AutoreviewDuration, &Ctl::signalAutoreviewDuration, Kind::AutoreviewDuration,
     &Ctl::signalAutoreviewDuration, &Ctl::signalAutoreviewDurationList},
    {Mirror::PictureSettings, &Cam::signalAutoPowerOff, BRX_CURRENT(autoPowerOff), Mirror::AutoPowerOff,
     &Ctl::signalAutoPowerOff, Kind::AutoPowerOff, &Ctl::signalAutoPowerOff, &Ctl::signalAutoPowerOffList},
    {Mirror::PictureSettings, &Cam::signalSensorFormat, BRX_CURRENT(sensorFormat), Mirror::SensorFormat,
     &Ctl::signalSensorFormat, Kind::SensorFormat, &Ctl::signalSensorFormat, &Ctl::signalSensorFormatList},
    {Mirror::PictureSettings, &Cam::signalPhotoAspectRatio, BRX_CURRENT(photoAspectRatio), Mirror::PhotoAspectRatio,
     &Ctl::signalPhotoAspectRatio, Kind::PhotoAspectRatio, &Ctl::signalPhotoAspectRatio,
     &Ctl::signalPhotoAspectRatioList},
    {Mirror::PictureSettings, &Cam::signalVideoFileFormat, BRX_CURRENT(videoFileFormat), Mirror::VideoFileFormat,
     &Ctl::signalVideoFileFormat, Kind::VideoFileFormat, &Ctl::signalVideoFileFormat,
     &Ctl::signalVideoFileFormatList},
    {Mirror::PictureSettings, &Cam::signalVideoResAndFrRate, BRX_CURRENT(videoResAndFrRate),
     Mirror::VideoResAndFrRate, &Ctl::signalVideoResAndFrRate, Kind::VideoResAndFrRate,
     &Ctl::signalVideoResAndFrRate, &Ctl::signalVideoResAndFrRateList},
    {Mirror::PictureSettings, &Cam::signalVideoFormatResol, BRX_CURRENT(videoFormatResol), Mirror::VideoFormatResol,
     &Ctl::signalVideoFormatResol, Kind::VideoFormatResol, &Ctl::signalVideoFormatResol,
     &Ctl::signalVideoFormatResolList},
    {Mirror::PictureSettings, &Cam::signalContrast, BRX_CURRENT(contrast), Mirror::Contrast, &Ctl::signalContrast,
     Kind::Contrast, &Ctl::signalContrast, &Ctl::signalContrastList},
    {Mirror::PictureSettings, &Cam::signalSharpness, BRX_CURRENT(sharpness), Mirror::Sharpness, &Ctl::signalSharpness,
     Kind::Sharpness, &Ctl::signalSharpness, &Ctl::signalSharpnessList},
    {Mirror::PictureSettings, &Cam::signalSaturation, BRX_CURRENT(saturation), Mirror::Saturation,
     &Ctl::signalSaturation, Kind::Saturation, &Ctl::signalSaturation, &Ctl::signalSaturationList},
    {Mirror::PictureSettings, &Cam::signalMonochrome, BRX_CURRENT(monochrome), Mirror::Monochrome,
     &Ctl::signalMonochrome, Kind::Monochrome, &Ctl::signalMonochrome, &Ctl::signalMonochromeList},
    {Mirror::PictureSettings, &Cam::signalOrientation, BRX_CURRENT(orientation), Mirror::Orientation,
     &Ctl::signalOrientation, Kind::Orientation, &Ctl::signalOrientation, &Ctl::signalOrientationList},
    {Mirror::PictureSettings, &Cam::signalAudioLevel, BRX_CURRENT(audioLevel), Mirror::AudioLevel,
     &Ctl::signalAudioLevel, Kind::AudioLevel, &Ctl::signalAudioLevel, &Ctl::signalAudioLevelList},
    {Mirror::PictureSettings, &Cam::signalAudioWindElim, BRX_CURRENT(audioWindElim), Mirror::AudioWindElim,
     &Ctl::signalAudioWindElim, kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalAudioVolSpeaker, BRX_CURRENT(audioVolSpeaker), Mirror::AudioVolSpeaker,
     &Ctl::signalAudioVolSpeaker, kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalAudioVolHeadphone, BRX_CURRENT(audioVolHeadphone),
     Mirror::AudioVolHeadphone, &Ctl::signalAudioVolHeadphone, kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalAudioVolMicrophone, BRX_CURRENT(audioVolMicrophone),
     Mirror::AudioVolMicrophone, &Ctl::signalAudioVolMicrophone, kNoConverter, nullptr, nullptr},
    {Mirror::NoGroup, &Cam::signalExposureSimulation, nullptr, kAlways, &Ctl::signalExposureSimulation, kNoConverter,
     nullptr, nullptr},
    {Mirror::NoGroup, &Cam::signalWarnings, nullptr, kAlways, &Ctl::signalWarnings, Kind::Warning,
     &Ctl::signalWarnings, nullptr},
    // Notified to the host; the controller mirrors them with its notification.
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalExposMetering, Kind::ExposMetering,
     &Ctl::signalExposMetering, &Ctl::signalExposMeteringList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalExposCompens, Kind::ExposCompens,
     &Ctl::signalExposCompens, &Ctl::signalExposCompensList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalSensitivity, Kind::Sensitivity, &Ctl::signalSensitivity,
     &Ctl::signalSensitivityList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalDriveMode, Kind::DriveMode, &Ctl::signalDriveMode,
     &Ctl::signalDriveModeList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalBracketImgNum, Kind::BracketImgNum,
     &Ctl::signalBracketImgNum, &Ctl::signalBracketImgNumList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalBracketDeltaEV, Kind::BracketDeltaEV,
     &Ctl::signalBracketDeltaEV, &Ctl::signalBracketDeltaEVList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalIntervalFrames, Kind::IntervalFrames,
     &Ctl::signalIntervalFrames, &Ctl::signalIntervalFramesList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalIntervalTime, Kind::IntervalTime,
     &Ctl::signalIntervalTime, &Ctl::signalIntervalTimeList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalWhiteBalance, Kind::WhiteBalance,
     &Ctl::signalWhiteBalance, &Ctl::signalWhiteBalanceList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Ctl::signalWhiteBalTemp, Kind::WhiteBalTemp,
     &Ctl::signalWhiteBalTemp, &Ctl::signalWhiteBalTempList},
};

const Mirror::Value<bool> kBoolValues[] = {
    {Mirror::FlashAndKeyLock, &Cam::signalFlashXSymbol, BRX_CURRENT(flashXSymbol), Mirror::FlashXSymbol,
     &Ctl::signalFlashXSymbol, kNoConverter, nullptr, nullptr},
    {Mirror::FlashAndKeyLock, &Cam::signalKeyLock, BRX_CURRENT(keyLock), Mirror::KeyLock, &Ctl::signalKeyLock,
     kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalDngCompression, BRX_CURRENT(dngCompression), Mirror::DngCompression,
     &Ctl::signalDngCompression, Kind::DngCompression, &Ctl::signalDngCompression, &Ctl::signalDngCompressionList},
    {Mirror::NoGroup, &Cam::signalAutoFocusLimit, nullptr, kAlways, &Ctl::signalAutoFocusLimit, kNoConverter, nullptr,
     nullptr},
};

#undef BRX_CURRENT

// The table of one value type, for range-for.
template <typename T>
struct Rows;

template <>
struct Rows<int> {
    const Mirror::Value<int>* begin() const { return std::begin(kIntValues); }
    const Mirror::Value<int>* end() const { return std::end(kIntValues); }
};

template <>
struct Rows<bool> {
    const Mirror::Value<bool>* begin() const { return std::begin(kBoolValues); }
    const Mirror::Value<bool>* end() const { return std::end(kBoolValues); }
};

const Mirror::Value<int>* intRowOf(Kind kind)
{
    for (const Mirror::Value<int>& row : kIntValues) {
        if (row.kind == kind)
            return &row;
    }
    return nullptr;
}

} // namespace

BRX_Logic_ControllerMirror::BRX_Logic_ControllerMirror(BRX_Logic_Controller& controller, BRX_Logic_Camera& camera,
                                                       BRX_Logic_ControllerConverters& converters)
    : m_controller(controller), m_camera(camera), m_converters(converters)
{
    connectValues<int>();
    connectValues<bool>();
    connect(&m_camera, &Cam::signal3DAxisAngles, &m_controller, &Ctl::signal3DAxisAngles);
}

template <typename T>
void BRX_Logic_ControllerMirror::connectValues()
{
    for (const Value<T>& row : Rows<T>()) {
        if (row.changed)
            connect(&m_camera, row.changed, this, [this, &row](T value) { emitChanged(row, value); });
    }
}

bool BRX_Logic_ControllerMirror::announce(Capability capability)
{
    const Availability& row = kAvailabilities[capability];
    const bool offered = (m_camera.*row.offered)();
    Q_EMIT(m_controller.*row.has)(offered);
    return offered;
}

void BRX_Logic_ControllerMirror::send(Group group)
{
    sendValues<int>(group);
    sendValues<bool>(group);
}

template <typename T>
void BRX_Logic_ControllerMirror::sendValues(Group group)
{
    for (const Value<T>& row : Rows<T>()) {
        if (row.group != group || (row.capability != kAlways && !announce(Capability(row.capability))))
            continue;
        emitListOf(row);
        emitConverted(row, row.current(m_camera), BRX_METHOD);
    }
}

template <typename T>
void BRX_Logic_ControllerMirror::emitChanged(const Value<T>& row, T value)
{
    emitConverted(row, value, BRX_METHOD);
}

template <typename T>
void BRX_Logic_ControllerMirror::emitConverted(const Value<T>& row, T value, const char* label)
{
    Q_EMIT(m_controller.*row.value)(value);
    if (row.kind == kNoConverter)
        return;
    const BRX_Logic_ConverterBase* converter = m_converters.get(Kind(row.kind));
    if (converter)
        Q_EMIT(m_controller.*row.text)(converter->textOf(double(value)));
    else
        debugPrint(kDebugAlways, "%s - no converter for %s", label,
                   BRX_Logic_ControllerConverters::subject(Kind(row.kind)));
}

template <typename T>
void BRX_Logic_ControllerMirror::emitListOf(const Value<T>& row)
{
    if (row.list && row.kind != kNoConverter) {
        if (const BRX_Logic_ConverterBase* converter = m_converters.get(Kind(row.kind)))
            Q_EMIT(m_controller.*row.list)(converter->texts());
    }
}

void BRX_Logic_ControllerMirror::emitValue(Kind kind, int value)
{
    if (const Value<int>* row = intRowOf(kind))
        emitConverted(*row, value, BRX_METHOD);
}

bool BRX_Logic_ControllerMirror::emitList(Kind kind)
{
    const Value<int>* row = intRowOf(kind);
    if (!row || !m_converters.get(kind))
        return false;
    emitListOf(*row);
    return true;
}

void BRX_Logic_ControllerMirror::emitShutterTime(double seconds)
{
    Q_EMIT m_controller.signalShutterTime(seconds);
    Q_EMIT m_controller.signalShutterTime(seconds < 0.0 ? QStringLiteral("B")
                                                         : m_converters.shutterTime().toString(seconds));
}

void BRX_Logic_ControllerMirror::emitShutterTimeList(const QVector<double>& seconds)
{
    QStringList texts;
    for (double time : seconds)
        texts.append(m_converters.shutterTime().toString(time));
    texts.append(QStringLiteral("B"));
    Q_EMIT m_controller.signalShutterTimeList(texts);
}

void BRX_Logic_ControllerMirror::emitAperture(double fNumber)
{
    Q_EMIT m_controller.signalAperture(fNumber);
    Q_EMIT m_controller.signalAperture(BRX_Logic_APEXConverterAperture::toString(fNumber));
}

void BRX_Logic_ControllerMirror::emitApertureList(const QVector<double>& fNumbers)
{
    QStringList texts;
    for (double fNumber : fNumbers)
        texts.append(BRX_Logic_APEXConverterAperture::toString(fNumber));
    if (texts.isEmpty())
        texts.append(QStringLiteral("--"));
    Q_EMIT m_controller.signalApertureList(texts);
}

void BRX_Logic_ControllerMirror::emitFocusDistance(int code, bool feet)
{
    Q_EMIT m_controller.signalFocusDistance(code);
    Q_EMIT m_controller.signalFocusDistance(BRX_Logic_ConverterFocusDistance::toString(code, feet));
}
