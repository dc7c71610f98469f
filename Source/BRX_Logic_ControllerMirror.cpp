#include "BRX_Logic_ControllerMirror.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_ControllerSignals.h"
#include "BRX_Logic_ConverterBase.h"
#include "BRX_Logic_ConverterFocusDistance.h"
#include "BRX_Logic_SetterRules.h"

#include <iterator>

namespace {

typedef BRX_Logic_Camera Cam;
typedef BRX_Logic_ControllerSignals Sig;
typedef BRX_Logic_ControllerMirror Mirror;
using Kind = BRX_Logic_ControllerConverters::Kind;

const int kAlways = -1;
const int kNoConverter = -1;

struct Availability {
    bool (Cam::*offered)() const;
    void (Sig::*has)(bool);
};

// In the order of Mirror::Capability.
const Availability kAvailabilities[] = {
    {&Cam::hasLensConnectionType, &Sig::signalHasLensConnectionType},
    {&Cam::hasPowerSwitch, &Sig::signalHasPowerSwitch},
    {&Cam::hasVideoRecording, &Sig::signalHasVideoRecording},
    {&Cam::hasLiveView, &Sig::signalHasLiveView},
    {&Cam::hasFlashStatus, &Sig::signalHasFlashStatus},
    {&Cam::hasFlashXSymbol, &Sig::signalHasFlashXSymbol},
    {&Cam::hasKeyLock, &Sig::signalHasKeyLock},
    {&Cam::hasDngCompression, &Sig::signalHasDngCompression},
    {&Cam::hasJpgColorSpace, &Sig::signalHasJpgColorSpace},
    {&Cam::hasJpgResolution, &Sig::signalHasJpgResolution},
    {&Cam::hasAutoreviewDuration, &Sig::signalHasAutoreviewDuration},
    {&Cam::hasAutoPowerOff, &Sig::signalHasAutoPowerOff},
    {&Cam::hasSensorFormat, &Sig::signalHasSensorFormat},
    {&Cam::hasPhotoAspectRatio, &Sig::signalHasPhotoAspectRatio},
    {&Cam::hasVideoFileFormat, &Sig::signalHasVideoFileFormat},
    {&Cam::hasVideoResAndFrRate, &Sig::signalHasVideoResAndFrRate},
    {&Cam::hasVideoFormatResol, &Sig::signalHasVideoFormatResol},
    {&Cam::hasContrast, &Sig::signalHasContrast},
    {&Cam::hasSharpness, &Sig::signalHasSharpness},
    {&Cam::hasSaturation, &Sig::signalHasSaturation},
    {&Cam::hasMonochrome, &Sig::signalHasMonochrome},
    {&Cam::hasOrientation, &Sig::signalHasOrientation},
    {&Cam::hasAudioLevel, &Sig::signalHasAudioLevel},
    {&Cam::hasAudioWindElim, &Sig::signalHasAudioWindElim},
    {&Cam::hasAudioVolSpeaker, &Sig::signalHasAudioVolSpeaker},
    {&Cam::hasAudioVolHeadphone, &Sig::signalHasAudioVolHeadphone},
    {&Cam::hasAudioVolMicrophone, &Sig::signalHasAudioVolMicrophone},
    {&Cam::hasExposureSimulation, &Sig::signalHasExposureSimulation},
    {&Cam::hasWhiteBalance, &Sig::signalHasWhiteBalance},
    {&Cam::hasFocusMode, &Sig::signalHasFocusMode},
    {&Cam::hasInterval, &Sig::signalHasInterval},
    {&Cam::hasAutoFocusLimit, &Sig::signalHasAutoFocusLimit},
    {&Cam::hasMirrorUpMode, &Sig::signalHasMirrorUpMode},
    {&Cam::hasAperture, &Sig::signalHasAperture},
    {&Cam::hasFocusDistance, &Sig::signalHasFocusDistance},
    {&Cam::hasFocusConfirmation, &Sig::signalHasFocusConfirmation},
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
    void (Sig::*value)(T);
    int kind;
    void (Sig::*text)(const QString&);
    // Null for a status that offers no choices.
    void (Sig::*list)(const QStringList&);
};

namespace {

#define BRX_CURRENT(getter) [](Cam& camera) { return camera.getter(); }

// Groups in the order the initial state sends their values.
const Mirror::Value<int> kIntValues[] = {
    {Mirror::Battery, &Cam::signalBatteryInfo, BRX_CURRENT(batteryInfo), kAlways, &Sig::signalBatteryInfo,
     kNoConverter, nullptr, nullptr},
    {Mirror::Battery, &Cam::signalBatteryLevelIntern, BRX_CURRENT(batteryLevelIntern), kAlways,
     &Sig::signalBatteryLevelIntern, kNoConverter, nullptr, nullptr},
    {Mirror::Battery, &Cam::signalBatteryLevelExtern, BRX_CURRENT(batteryLevelExtern), kAlways,
     &Sig::signalBatteryLevelExtern, kNoConverter, nullptr, nullptr},
    {Mirror::FlashAndKeyLock, &Cam::signalFlashStatus, BRX_CURRENT(flashStatus), Mirror::FlashStatus,
     &Sig::signalFlashStatus, kNoConverter, nullptr, nullptr},
    {Mirror::FlashAndKeyLock, &Cam::signalLightBalance, BRX_CURRENT(lightBalance), kAlways, &Sig::signalLightBalance,
     kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalFileFormat, BRX_CURRENT(fileFormat), kAlways, &Sig::signalFileFormat,
     Kind::FileFormat, &Sig::signalFileFormat, &Sig::signalFileFormatList},
    {Mirror::PictureSettings, &Cam::signalJpgColorSpace, BRX_CURRENT(jpgColorSpace), Mirror::JpgColorSpace,
     &Sig::signalJpgColorSpace, Kind::JpgColorSpace, &Sig::signalJpgColorSpace, &Sig::signalJpgColorSpaceList},
    {Mirror::PictureSettings, &Cam::signalJpgResolution, BRX_CURRENT(jpgResolution), Mirror::JpgResolution,
     &Sig::signalJpgResolution, Kind::JpgResolution, &Sig::signalJpgResolution, &Sig::signalJpgResolutionList},
    {Mirror::PictureSettings, &Cam::signalAutoreviewDuration, BRX_CURRENT(autoreviewDuration),
     Mirror::AutoreviewDuration, &Sig::signalAutoreviewDuration, Kind::AutoreviewDuration,
     &Sig::signalAutoreviewDuration, &Sig::signalAutoreviewDurationList},
    {Mirror::PictureSettings, &Cam::signalAutoPowerOff, BRX_CURRENT(autoPowerOff), Mirror::AutoPowerOff,
     &Sig::signalAutoPowerOff, Kind::AutoPowerOff, &Sig::signalAutoPowerOff, &Sig::signalAutoPowerOffList},
    {Mirror::PictureSettings, &Cam::signalSensorFormat, BRX_CURRENT(sensorFormat), Mirror::SensorFormat,
     &Sig::signalSensorFormat, Kind::SensorFormat, &Sig::signalSensorFormat, &Sig::signalSensorFormatList},
    {Mirror::PictureSettings, &Cam::signalPhotoAspectRatio, BRX_CURRENT(photoAspectRatio), Mirror::PhotoAspectRatio,
     &Sig::signalPhotoAspectRatio, Kind::PhotoAspectRatio, &Sig::signalPhotoAspectRatio,
     &Sig::signalPhotoAspectRatioList},
    {Mirror::PictureSettings, &Cam::signalVideoFileFormat, BRX_CURRENT(videoFileFormat), Mirror::VideoFileFormat,
     &Sig::signalVideoFileFormat, Kind::VideoFileFormat, &Sig::signalVideoFileFormat,
     &Sig::signalVideoFileFormatList},
    {Mirror::PictureSettings, &Cam::signalVideoResAndFrRate, BRX_CURRENT(videoResAndFrRate),
     Mirror::VideoResAndFrRate, &Sig::signalVideoResAndFrRate, Kind::VideoResAndFrRate,
     &Sig::signalVideoResAndFrRate, &Sig::signalVideoResAndFrRateList},
    {Mirror::PictureSettings, &Cam::signalVideoFormatResol, BRX_CURRENT(videoFormatResol), Mirror::VideoFormatResol,
     &Sig::signalVideoFormatResol, Kind::VideoFormatResol, &Sig::signalVideoFormatResol,
     &Sig::signalVideoFormatResolList},
    {Mirror::PictureSettings, &Cam::signalContrast, BRX_CURRENT(contrast), Mirror::Contrast, &Sig::signalContrast,
     Kind::Contrast, &Sig::signalContrast, &Sig::signalContrastList},
    {Mirror::PictureSettings, &Cam::signalSharpness, BRX_CURRENT(sharpness), Mirror::Sharpness, &Sig::signalSharpness,
     Kind::Sharpness, &Sig::signalSharpness, &Sig::signalSharpnessList},
    {Mirror::PictureSettings, &Cam::signalSaturation, BRX_CURRENT(saturation), Mirror::Saturation,
     &Sig::signalSaturation, Kind::Saturation, &Sig::signalSaturation, &Sig::signalSaturationList},
    {Mirror::PictureSettings, &Cam::signalMonochrome, BRX_CURRENT(monochrome), Mirror::Monochrome,
     &Sig::signalMonochrome, Kind::Monochrome, &Sig::signalMonochrome, &Sig::signalMonochromeList},
    {Mirror::PictureSettings, &Cam::signalOrientation, BRX_CURRENT(orientation), Mirror::Orientation,
     &Sig::signalOrientation, Kind::Orientation, &Sig::signalOrientation, &Sig::signalOrientationList},
    {Mirror::PictureSettings, &Cam::signalAudioLevel, BRX_CURRENT(audioLevel), Mirror::AudioLevel,
     &Sig::signalAudioLevel, Kind::AudioLevel, &Sig::signalAudioLevel, &Sig::signalAudioLevelList},
    {Mirror::PictureSettings, &Cam::signalAudioWindElim, BRX_CURRENT(audioWindElim), Mirror::AudioWindElim,
     &Sig::signalAudioWindElim, kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalAudioVolSpeaker, BRX_CURRENT(audioVolSpeaker), Mirror::AudioVolSpeaker,
     &Sig::signalAudioVolSpeaker, kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalAudioVolHeadphone, BRX_CURRENT(audioVolHeadphone),
     Mirror::AudioVolHeadphone, &Sig::signalAudioVolHeadphone, kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalAudioVolMicrophone, BRX_CURRENT(audioVolMicrophone),
     Mirror::AudioVolMicrophone, &Sig::signalAudioVolMicrophone, kNoConverter, nullptr, nullptr},
    {Mirror::NoGroup, &Cam::signalExposureSimulation, nullptr, kAlways, &Sig::signalExposureSimulation, kNoConverter,
     nullptr, nullptr},
    {Mirror::NoGroup, &Cam::signalWarnings, nullptr, kAlways, &Sig::signalWarnings, Kind::Warning,
     &Sig::signalWarnings, nullptr},
    // Notified to the host; the controller mirrors them with its notification.
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalExposMetering, Kind::ExposMetering,
     &Sig::signalExposMetering, &Sig::signalExposMeteringList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalExposCompens, Kind::ExposCompens,
     &Sig::signalExposCompens, &Sig::signalExposCompensList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalSensitivity, Kind::Sensitivity, &Sig::signalSensitivity,
     &Sig::signalSensitivityList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalDriveMode, Kind::DriveMode, &Sig::signalDriveMode,
     &Sig::signalDriveModeList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalBracketImgNum, Kind::BracketImgNum,
     &Sig::signalBracketImgNum, &Sig::signalBracketImgNumList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalBracketDeltaEV, Kind::BracketDeltaEV,
     &Sig::signalBracketDeltaEV, &Sig::signalBracketDeltaEVList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalIntervalFrames, Kind::IntervalFrames,
     &Sig::signalIntervalFrames, &Sig::signalIntervalFramesList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalIntervalTime, Kind::IntervalTime,
     &Sig::signalIntervalTime, &Sig::signalIntervalTimeList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalWhiteBalance, Kind::WhiteBalance,
     &Sig::signalWhiteBalance, &Sig::signalWhiteBalanceList},
    {Mirror::NoGroup, nullptr, nullptr, kAlways, &Sig::signalWhiteBalTemp, Kind::WhiteBalTemp,
     &Sig::signalWhiteBalTemp, &Sig::signalWhiteBalTempList},
};

const Mirror::Value<bool> kBoolValues[] = {
    {Mirror::FlashAndKeyLock, &Cam::signalFlashXSymbol, BRX_CURRENT(flashXSymbol), Mirror::FlashXSymbol,
     &Sig::signalFlashXSymbol, kNoConverter, nullptr, nullptr},
    {Mirror::FlashAndKeyLock, &Cam::signalKeyLock, BRX_CURRENT(keyLock), Mirror::KeyLock, &Sig::signalKeyLock,
     kNoConverter, nullptr, nullptr},
    {Mirror::PictureSettings, &Cam::signalDngCompression, BRX_CURRENT(dngCompression), Mirror::DngCompression,
     &Sig::signalDngCompression, Kind::DngCompression, &Sig::signalDngCompression, &Sig::signalDngCompressionList},
    {Mirror::NoGroup, &Cam::signalAutoFocusLimit, nullptr, kAlways, &Sig::signalAutoFocusLimit, kNoConverter, nullptr,
     nullptr},
};

#undef BRX_CURRENT

typedef bool (*TextTarget)(Cam& camera, BRX_Logic_SetterRules& rules, int value);

typedef BRX_Logic_SetterRules Rules;

#define BRX_TO_CAMERA(setter, Type) [](Cam& camera, Rules&, int value) { return camera.setter(Type(value)); }
#define BRX_TO_RULES(setter) [](Cam&, Rules& rules, int value) { return rules.setter(value); }

// Where the value of a text goes, in the order of Kind: picture formats and
// styles straight to the camera, the rest through the setter rules.
const TextTarget kTextTargets[] = {
    /* Orientation */ nullptr,
    /* AudioLevel */ BRX_TO_RULES(setAudioLevel),
    /* AutoreviewDuration */ BRX_TO_CAMERA(setAutoreviewDuration, eVQAutoreviewDuration),
    /* AutoPowerOff */ BRX_TO_CAMERA(setAutoPowerOff, eVQAutoPowerOff),
    /* BracketDeltaEV */ BRX_TO_RULES(setBracketDeltaEV),
    /* BracketImgNum */ BRX_TO_RULES(setBracketImgNum),
    /* DngCompression */ [](Cam& camera, Rules&, int value) { return camera.setDngCompression(value != 0); },
    /* DriveMode */ BRX_TO_RULES(setDriveMode),
    /* ExposCompens */ BRX_TO_RULES(setExposCompens),
    /* ExposMetering */ BRX_TO_RULES(setExposMetering),
    /* FileFormat */ BRX_TO_RULES(setFileFormat),
    /* IntervalFrames */ BRX_TO_RULES(setIntervalFrames),
    /* IntervalTime */ BRX_TO_RULES(setIntervalTime),
    /* JpgColorSpace */ BRX_TO_CAMERA(setJpgColorSpace, eVQColorManagement),
    /* JpgResolution */ BRX_TO_CAMERA(setJpgResolution, eVQPhotoResolutionJPG),
    /* SensorFormat */ BRX_TO_CAMERA(setSensorFormat, eVQSensorFormat),
    /* PhotoAspectRatio */ BRX_TO_CAMERA(setPhotoAspectRatio, eVQPhotoAspectRatio),
    /* VideoFileFormat */ BRX_TO_CAMERA(setVideoFileFormat, eVQVideoFileFormat),
    /* VideoResAndFrRate */ BRX_TO_CAMERA(setVideoResAndFrRate, eVQVideoResAndFrRate),
    /* VideoFormatResol */ BRX_TO_CAMERA(setVideoFormatResol, eVQVideoFormatResol),
    /* Contrast */ BRX_TO_CAMERA(setContrast, eVQContrast),
    /* Sharpness */ BRX_TO_CAMERA(setSharpness, eVQSharpness),
    /* Saturation */ BRX_TO_CAMERA(setSaturation, eVQSaturation),
    /* Monochrome */ BRX_TO_CAMERA(setMonochrome, eVQMonochrome),
    /* Sensitivity */ BRX_TO_RULES(setSensitivity),
    /* Warning */ nullptr,
    /* WhiteBalance */ BRX_TO_RULES(setWhiteBalance),
    /* WhiteBalTemp */ BRX_TO_RULES(setWhiteBalTemp),
};

#undef BRX_TO_RULES
#undef BRX_TO_CAMERA

static_assert(sizeof kTextTargets / sizeof kTextTargets[0] == Kind::kKindCount, "one target per converter kind");

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

BRX_Logic_ControllerMirror::BRX_Logic_ControllerMirror(BRX_Logic_ControllerSignals& qtSide, BRX_Logic_Camera& camera,
                                                       BRX_Logic_ControllerConverters& converters,
                                                       BRX_Logic_SetterRules& rules)
    : m_qtSide(qtSide), m_camera(camera), m_converters(converters), m_rules(rules)
{
    connectValues<int>();
    connectValues<bool>();
    connect(&m_camera, &Cam::signal3DAxisAngles, &m_qtSide, &Sig::signal3DAxisAngles);
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
    Q_EMIT(m_qtSide.*row.has)(offered);
    return offered;
}

void BRX_Logic_ControllerMirror::sendGroup(Group group)
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
    Q_EMIT(m_qtSide.*row.value)(value);
    if (row.kind == kNoConverter)
        return;
    const BRX_Logic_ConverterBase* converter = m_converters.get(Kind(row.kind));
    if (converter)
        Q_EMIT(m_qtSide.*row.text)(converter->textOf(double(value)));
    else
        debugPrint(kDebugAlways, "%s - no converter for %s", label,
                   BRX_Logic_ControllerConverters::subject(Kind(row.kind)));
}

template <typename T>
void BRX_Logic_ControllerMirror::emitListOf(const Value<T>& row)
{
    if (row.list && row.kind != kNoConverter) {
        if (const BRX_Logic_ConverterBase* converter = m_converters.get(Kind(row.kind)))
            Q_EMIT(m_qtSide.*row.list)(converter->texts());
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
    Q_EMIT m_qtSide.signalShutterTime(seconds);
    Q_EMIT m_qtSide.signalShutterTime(seconds < 0.0 ? QStringLiteral("B")
                                                         : m_converters.shutterTime().toString(seconds));
}

void BRX_Logic_ControllerMirror::emitShutterTimeList(const QVector<double>& seconds)
{
    QStringList texts;
    for (double time : seconds)
        texts.append(m_converters.shutterTime().toString(time));
    texts.append(QStringLiteral("B"));
    Q_EMIT m_qtSide.signalShutterTimeList(texts);
}

void BRX_Logic_ControllerMirror::emitAperture(double fNumber)
{
    Q_EMIT m_qtSide.signalAperture(fNumber);
    Q_EMIT m_qtSide.signalAperture(BRX_Logic_APEXConverterAperture::toString(fNumber));
}

void BRX_Logic_ControllerMirror::emitApertureList(const QVector<double>& fNumbers)
{
    QStringList texts;
    for (double fNumber : fNumbers)
        texts.append(BRX_Logic_APEXConverterAperture::toString(fNumber));
    if (texts.isEmpty())
        texts.append(QStringLiteral("--"));
    Q_EMIT m_qtSide.signalApertureList(texts);
}

void BRX_Logic_ControllerMirror::emitFocusDistance(int code)
{
    Q_EMIT m_qtSide.signalFocusDistance(code);
    Q_EMIT m_qtSide.signalFocusDistance(BRX_Logic_ConverterFocusDistance::toString(code, false));
}

bool BRX_Logic_ControllerMirror::setFromText(Kind kind, const QString& text, const char* label)
{
    int value = 0;
    return m_converters.valueOfText(kind, text, &value, label) && kTextTargets[kind](m_camera, m_rules, value);
}
