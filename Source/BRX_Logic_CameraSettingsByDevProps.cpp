#include "BRX_Logic_CameraSettingsByDevProps.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_APEXConverterShutterTime.h"
#include "BRX_Logic_DeviceInfo.h"

#include <algorithm>
#include <iterator>

typedef BRX_Commu_CameraAccess_Base Access;
typedef BRX_Logic_CameraSettingsByDevProps Self;
typedef BRX_Logic_SettingsChanges Changes;

namespace {

// Adapters that let one table row use a typed accessor of the camera access:
// the accessor fixes width and signedness, the row holds the value as qint32
// (unsigned values zero-extended, signed ones sign-extended).
template <typename T, bool (Access::*Get)(T&)> bool readAs(Access* access, qint32& value)
{
    T raw{};
    const bool ok = (access->*Get)(raw);
    value = qint32(raw);
    return ok;
}

template <typename T, bool (Access::*Set)(T)> bool writeAs(Access* access, qint32 value)
{
    return (access->*Set)(T(value));
}

// The electronic shutter can only be written; it is taken to be on.
bool readElectronicShutter(Access*, qint32& value)
{
    value = 1;
    return true;
}

// Exposure index 0 means automatic sensitivity.
bool readSensitivityAuto(Access* access, qint32& value)
{
    quint32 index = 0;
    const bool ok = access->getDevicePropExposureIndex(index);
    value = ok && index == 0;
    return ok;
}

// Interface drive mode code and the camera's StillCaptureMode value.
struct DriveMode
{
    int code;
    qint32 captureMode;
};
const DriveMode kDriveModes[] = {{1, 1}, {2, 3}, {3, 4}, {4, 8}, {5, 2}, {6, 5}, {7, 6}, {8, 7}};
const qint32 kCaptureModeBracketing = 8;
const qint32 kCaptureModeSingle = 1;
const qint32 kCaptureModeSingleAlt = 7;  // single on cameras that accept mode 7

// Bulb presets that stand for that many seconds; every other preset means none.
const int kBulbPresetSeconds[] = {8, 12, 16, 24, 32, 45, 60};

const quint8 kNoBattery = 255;

}  // namespace

#define BRX_READ(Type, Name) &readAs<Type, &Access::getDeviceProp##Name>
#define BRX_WRITE(Type, Name) &writeAs<Type, &Access::setDeviceProp##Name>

const Self::Row Self::kRows[] = {
    {{Access::kDevicePropBatteryInfo}, "batteryInfo", BRX_READ(quint32, BatteryInfo), nullptr, &Changes::batteryInfo, nullptr, nullptr},
    {{Access::kDevicePropBatteryLevel}, "batteryLevelIntern", BRX_READ(quint8, BatteryLevel), nullptr, &Changes::batteryLevelIntern, nullptr, nullptr},
    {{Access::kDevicePropBatteryLevelExtern}, "batteryLevelExtern", BRX_READ(quint32, BatteryLevelExtern), nullptr, &Changes::batteryLevelExtern, &Self::externalBatteryPresent, nullptr},
    {{Access::kDevicePropExposureTimeMax}, "exposureTimeMax", BRX_READ(quint32, ExposureTimeMax), nullptr, &Changes::maxShutterTime, nullptr, nullptr},
    {{Access::kDevicePropPowerSwitch}, "powerSwitch", BRX_READ(quint32, PowerSwitch), nullptr, &Changes::powerSwitch, &Self::hasPowerSwitch, nullptr},
    {{Access::kDevicePropSelfTimerRestTime}, "selfTimerRestTime", BRX_READ(quint32, SelfTimerRestTime), nullptr, &Changes::selfTimerRestTime, nullptr, nullptr},
    {{Access::kDevicePropBulbModeTime}, "bulbModeTime", BRX_READ(quint32, BulbModeTime), nullptr, &Changes::bulbModeTime, nullptr, nullptr},
    {{Access::kDevicePropFlashStatus}, "flashStatus", BRX_READ(quint32, FlashStatus), nullptr, &Changes::flashStatus, &Self::hasFlashStatus, nullptr},
    {{Access::kDevicePropFlashSyncStatus}, "flashSyncStatus", BRX_READ(quint32, FlashSyncStatus), nullptr, &Changes::flashXSymbol, nullptr, nullptr},
    {{Access::kDevicePropFocusConfirmEnabled}, "focusConfirmEnabled", BRX_READ(quint32, FocusConfirmEnabled), nullptr, &Changes::focusConfirmationEnabled, &Self::hasFocusConfirmation, nullptr},
    {{Access::kDevicePropFocusConfirmBadSignal}, "focusConfirmBadSignal", BRX_READ(quint32, FocusConfirmBadSignal), nullptr, &Changes::focusConfirmationBadSignal, &Self::hasFocusConfirmation, nullptr},
    {{Access::kDevicePropFocusConfirmValue}, "focusConfirmValue", BRX_READ(quint32, FocusConfirmValue), nullptr, &Changes::focusConfirmation, &Self::hasFocusConfirmation, nullptr},
    {{Access::kDevicePropFocusDistance}, "focusDistance", BRX_READ(quint32, FocusDistance), nullptr, &Changes::focusDistance, &Self::hasFocusDistance, nullptr},
    {{Access::kDevicePropAutoFocusLimit}, "autoFocusLimit", BRX_READ(quint32, AutoFocusLimit), BRX_WRITE(quint32, AutoFocusLimit), &Changes::autoFocusLimit, &Self::hasAutoFocusLimit, nullptr},
    {{Access::kDevicePropAutoFocusLimitDist}, "autoFocusLimitDist", BRX_READ(quint32, AutoFocusLimitDist), nullptr, &Changes::autoFocusLimitDist, &Self::hasAutoFocusLimit, nullptr},
    {{Access::kDevicePropElectronicShutter}, "electronicShutter", &readElectronicShutter, BRX_WRITE(quint32, ElectronicShutter), &Changes::electronicShutter, &Self::hasElectronicShutter, nullptr},
    {{Access::kDevicePropExposTimeBulbPreset}, "exposTimeBulbPreset", BRX_READ(quint32, ExposTimeBulbPreset), BRX_WRITE(quint32, ExposTimeBulbPreset), &Changes::exposTimeBulbPreset, &Self::hasExposTimeBulbPreset, &Self::bulbPresetStored},
    {{Access::kDevicePropLensConnectionType}, "lensConnectionType", BRX_READ(quint32, LensConnectionType), nullptr, &Changes::lensConnectionType, &Self::hasLensConnectionType, nullptr},
    {{Access::kDevicePropOrientation}, "orientation", BRX_READ(quint32, Orientation), nullptr, &Changes::orientation, &Self::hasOrientation, nullptr},
    // The ISO value and the automatic flag are one setting: a report of
    // either code re-reads both.
    {{Access::kDevicePropSensitivityASA, Access::kDevicePropExposureIndex}, "sensitivityASA", BRX_READ(quint32, SensitivityASA), nullptr, &Changes::sensitivity, nullptr, nullptr},
    {{Access::kDevicePropExposureIndex, Access::kDevicePropSensitivityASA}, "sensitivityAuto", &readSensitivityAuto, nullptr, &Changes::sensitivity, nullptr, nullptr},
    {{Access::kDevicePropStillCaptureMode}, "driveMode", BRX_READ(quint16, StillCaptureMode), BRX_WRITE(quint16, StillCaptureMode), &Changes::driveMode, nullptr, &Self::driveModeStored},
    {{Access::kDevicePropIntervalFrames}, "intervalFrames", BRX_READ(quint32, IntervalFrames), BRX_WRITE(quint32, IntervalFrames), &Changes::intervalFrames, &Self::hasInterval, nullptr},
    {{Access::kDevicePropIntervalTime}, "intervalTime", BRX_READ(quint32, IntervalTime), BRX_WRITE(quint32, IntervalTime), &Changes::intervalTime, &Self::hasInterval, nullptr},
    {{Access::kDevicePropFocusMode}, "focusMode", BRX_READ(quint16, FocusMode), BRX_WRITE(quint16, FocusMode), &Changes::focusMode, &Self::hasFocusMode, nullptr},
    {{Access::kDevicePropFileFormat}, "fileFormat", BRX_READ(quint32, FileFormat), BRX_WRITE(quint32, FileFormat), &Changes::fileFormat, nullptr, nullptr},
    {{Access::kDevicePropExposureMeteringMode}, "exposureMeteringMode", BRX_READ(quint16, ExposureMeteringMode), BRX_WRITE(quint16, ExposureMeteringMode), &Changes::exposMetering, nullptr, nullptr},
    {{Access::kDevicePropExposureProgramMode}, "exposureProgram", BRX_READ(quint16, ExposureProgramMode), BRX_WRITE(quint16, ExposureProgramMode), &Changes::exposureMode, nullptr, nullptr},
    {{Access::kDevicePropExposureBiasCompensation}, "exposureCompensation", BRX_READ(qint16, ExposureBiasCompensation), BRX_WRITE(qint16, ExposureBiasCompensation), &Changes::exposCompens, nullptr, nullptr},
    {{Access::kDevicePropExposCompensStepSize}, "exposCompensStepSize", BRX_READ(quint32, ExposCompensStepSize), BRX_WRITE(quint32, ExposCompensStepSize), &Changes::exposCompensStep, &Self::hasExposCompensStep, &Self::stepSizeStored},
    {{Access::kDevicePropBracketingEnabled}, "bracketingEnabled", BRX_READ(quint32, BracketingEnabled), BRX_WRITE(quint32, BracketingEnabled), &Changes::bracketingEnabled, &Self::bracketingByProperties, nullptr},
    {{Access::kDevicePropBracketingFrames}, "bracketingFrames", BRX_READ(quint32, BracketingFrames), BRX_WRITE(quint32, BracketingFrames), &Changes::bracketingImageNumbers, &Self::bracketingByProperties, nullptr},
    {{Access::kDevicePropBracketingAperture}, "bracketingAperture", BRX_READ(quint32, BracketingAperture), BRX_WRITE(quint32, BracketingAperture), &Changes::bracketingDeltaEV, &Self::bracketingByProperties, nullptr},
    {{Access::kDevicePropBracketingAutomatic}, "bracketingAutomatic", BRX_READ(quint32, BracketingAutomatic), BRX_WRITE(quint32, BracketingAutomatic), &Changes::bracketingAutomatic, &Self::bracketingByProperties, nullptr},
    {{Access::kDevicePropMirrorUpMode}, "mirrorUpMode", BRX_READ(quint32, MirrorUpMode), BRX_WRITE(quint32, MirrorUpMode), &Changes::mirrorUpMode, &Self::hasMirrorUpMode, nullptr},
    {{Access::kDevicePropSensorFormat}, "sensorFormat", BRX_READ(quint32, SensorFormat), BRX_WRITE(quint32, SensorFormat), &Changes::sensorFormat, &Self::hasSensorFormat, nullptr},
    {{Access::kDevicePropPhotoAspectRatio}, "photoAspectRatio", BRX_READ(quint32, PhotoAspectRatio), BRX_WRITE(quint32, PhotoAspectRatio), &Changes::photoAspectRatio, &Self::hasPhotoAspectRatio, nullptr},
    {{Access::kDevicePropPhotoResolutionJPG}, "photoResolutionJPG", BRX_READ(quint32, PhotoResolutionJPG), BRX_WRITE(quint32, PhotoResolutionJPG), &Changes::jpgResolution, &Self::hasJpgResolution, nullptr},
    {{Access::kDevicePropVideoFileFormat}, "VideoFileFormat", BRX_READ(quint32, VideoFileFormat), BRX_WRITE(quint32, VideoFileFormat), &Changes::videoFileFormat, &Self::hasVideoFileFormat, nullptr},
    {{Access::kDevicePropVideoResAndFrRate}, "VideoResAndFrRate", BRX_READ(quint32, VideoResAndFrRate), BRX_WRITE(quint32, VideoResAndFrRate), &Changes::videoResAndFrRate, &Self::hasVideoResAndFrRate, nullptr},
    {{Access::kDevicePropVideoFormatResol}, "VideoFormatResol", BRX_READ(quint32, VideoFormatResol), BRX_WRITE(quint32, VideoFormatResol), &Changes::videoFormatResol, &Self::hasVideoFormatResol, nullptr},
    {{Access::kDevicePropContrast}, "Contrast", BRX_READ(quint8, Contrast), BRX_WRITE(quint8, Contrast), &Changes::contrast, &Self::hasContrast, nullptr},
    {{Access::kDevicePropSharpness}, "Sharpness", BRX_READ(quint8, Sharpness), BRX_WRITE(quint8, Sharpness), &Changes::sharpness, &Self::hasSharpness, nullptr},
    {{Access::kDevicePropSaturation}, "Saturation", BRX_READ(quint32, Saturation), BRX_WRITE(quint32, Saturation), &Changes::saturation, &Self::hasSaturation, nullptr},
    {{Access::kDevicePropMonochrome}, "Monochrome", BRX_READ(quint32, Monochrome), BRX_WRITE(quint32, Monochrome), &Changes::monochrome, &Self::hasMonochrome, nullptr},
    {{Access::kDevicePropAudioLevel}, "AudioLevel", BRX_READ(quint32, AudioLevel), BRX_WRITE(quint32, AudioLevel), &Changes::audioLevel, &Self::hasAudioLevel, nullptr},
    {{Access::kDevicePropAudioWindElim}, "AudioWindElim", BRX_READ(quint32, AudioWindElim), BRX_WRITE(quint32, AudioWindElim), &Changes::audioWindElim, &Self::hasAudioWindElim, nullptr},
    {{Access::kDevicePropAudioVolSpeaker}, "AudioVolSpeaker", BRX_READ(quint32, AudioVolSpeaker), BRX_WRITE(quint32, AudioVolSpeaker), &Changes::audioVolSpeaker, &Self::hasAudioVolSpeaker, nullptr},
    {{Access::kDevicePropAudioVolHeadphone}, "AudioVolHeadphone", BRX_READ(quint32, AudioVolHeadphone), BRX_WRITE(quint32, AudioVolHeadphone), &Changes::audioVolHeadphone, &Self::hasAudioVolHeadphone, nullptr},
    {{Access::kDevicePropAudioVolMicrophone}, "AudioVolMicrophone", BRX_READ(quint32, AudioVolMicrophone), BRX_WRITE(quint32, AudioVolMicrophone), &Changes::audioVolMicrophone, &Self::hasAudioVolMicrophone, nullptr},
    {{Access::kDevicePropExposureSimulation}, "ExposureSimulation", BRX_READ(quint32, ExposureSimulation), BRX_WRITE(quint32, ExposureSimulation), &Changes::exposureSimulation, &Self::hasExposureSimulation, nullptr},
    {{Access::kDevicePropWhiteBalance}, "whiteBalance", BRX_READ(quint16, WhiteBalance), BRX_WRITE(quint16, WhiteBalance), &Changes::whiteBalanceIndex, nullptr, nullptr},
    {{Access::kDevicePropWhiteBalanceColorTemp}, "whiteBalanceColorTemp", BRX_READ(quint32, WhiteBalanceColorTemp), BRX_WRITE(quint32, WhiteBalanceColorTemp), &Changes::whiteBalanceColorTemp, nullptr, nullptr},
    {{Access::kDevicePropColorManagement}, "colorManagement", BRX_READ(quint32, ColorManagement), BRX_WRITE(quint32, ColorManagement), &Changes::jpgColorSpace, &Self::hasJpgColorSpace, nullptr},
    {{Access::kDevicePropExternalShooting}, "externalShooting", BRX_READ(quint32, ExternalShooting), BRX_WRITE(quint32, ExternalShooting), &Changes::storageType, &Self::hasStorageType, nullptr},
    {{Access::kDevicePropAutoreviewDuration}, "autoreviewDuration", BRX_READ(quint32, AutoreviewDuration), BRX_WRITE(quint32, AutoreviewDuration), &Changes::autoreviewDuration, &Self::hasAutoreviewDuration, nullptr},
    {{Access::kDevicePropAutoPowerOff}, "autoPowerOff", BRX_READ(quint32, AutoPowerOff), BRX_WRITE(quint32, AutoPowerOff), &Changes::autoPowerOff, &Self::hasAutoPowerOff, nullptr},
    {{Access::kDevicePropKeyLock}, "keyLock", BRX_READ(quint32, KeyLock), BRX_WRITE(quint32, KeyLock), &Changes::keyLock, &Self::hasKeyLock, nullptr},
    {{Access::kDevicePropLanguage}, "language", BRX_READ(quint32, Language), BRX_WRITE(quint32, Language), &Changes::language, &Self::hasLanguage, nullptr},
    {{Access::kDevicePropLightmeter}, "lightmeter", BRX_READ(quint32, Lightmeter), nullptr, &Changes::lightBalance, nullptr, nullptr},
    // The camera reports changed shutter and aperture codes under their own
    // codes and is written under a third.
    {{Access::kDevicePropExposureTime, Access::kDevicePropExposureTimeChanged, Access::kDevicePropExposureTimeWrite}, "exposureTime", BRX_READ(quint32, ExposureTime), BRX_WRITE(quint32, ExposureTime), &Changes::shutterTime, nullptr, nullptr},
    {{Access::kDevicePropAperture, Access::kDevicePropApertureChanged, Access::kDevicePropApertureWrite}, "aperture", BRX_READ(quint32, Aperture), BRX_WRITE(quint32, Aperture), &Changes::aperture, &Self::hasAperture, nullptr},
};

#undef BRX_READ
#undef BRX_WRITE

// --- Construction and transfer -----------------------------------------------

BRX_Logic_CameraSettingsByDevProps::BRX_Logic_CameraSettingsByDevProps(
    BRX_Commu_CameraAccess_Base* cameraAccess, BRX_Logic_DeviceInfo* deviceInfo)
    : BRX_Logic_CameraSettingsBase(cameraAccess, deviceInfo),
      m_shutterConverter(new BRX_Logic_APEXConverterShutterTime(productId()))
{
    static_assert(std::size(kRows) == kPropertyCount, "one row per held property");
    std::fill(std::begin(m_values), std::end(m_values), 0);
    std::fill(std::begin(m_states), std::end(m_states), kPreset);
    m_values[kBatteryLevelIntern] = kNoBattery;
    m_values[kBatteryLevelExtern] = kNoBattery;
}

BRX_Logic_CameraSettingsByDevProps::~BRX_Logic_CameraSettingsByDevProps() = default;

void BRX_Logic_CameraSettingsByDevProps::init() {}

void BRX_Logic_CameraSettingsByDevProps::exit() {}

void BRX_Logic_CameraSettingsByDevProps::recvFromCamera(quint16 devicePropertyCode, Changes* changes)
{
    bool known = false;
    for (int property = 0; property < kPropertyCount; ++property) {
        const quint16* codes = kRows[property].codes;
        if (devicePropertyCode != 0 && std::find(codes, codes + 3, devicePropertyCode) != codes + 3) {
            readRow(BRX_METHOD, Property(property), changes);
            known = true;
        }
    }
    if (!known)
        debugPrint(kDebugSettings, "%s - unknown device property 0x%4X", BRX_METHOD, devicePropertyCode);
}

void BRX_Logic_CameraSettingsByDevProps::recvFromCamera(Changes* changes)
{
    for (int property = 0; property < kPropertyCount; ++property) {
        const Gate gate = kRows[property].gate;
        if (!gate || (this->*gate)())
            readRow(BRX_METHOD, Property(property), changes);
    }
    clearChanged();
    if (isDebugFlagSet(kDebugSettings))
        dump("BRX_Logic_CameraSettingsByDevProps::recvFromCamera");
}

void BRX_Logic_CameraSettingsByDevProps::readRow(const char* method, Property property, Changes* changes)
{
    const Row& row = kRows[property];
    qint32 value = 0;
    const bool ok = cameraAccess() && row.read(cameraAccess(), value);
    debugPrint(kDebugSettings, "%s - %-22s= %d   (ok = %s)", method, row.label, value, ok ? "Yes" : "No");
    if (!ok) {
        if (m_states[property] != kKnown)
            m_states[property] = kUnanswered;
        return;
    }
    // The first answer after failed reads is news even when it equals the
    // preset: the host has not been told the setting yet.
    if (value != m_values[property] || m_states[property] == kUnanswered) {
        m_values[property] = value;
        if (changes)
            changes->*row.flag = 1;
        if (row.afterStore)
            (this->*row.afterStore)(changes);
    }
    markKnown(property);
}

bool BRX_Logic_CameraSettingsByDevProps::holdsCameraValue(Changes::Flag setting) const
{
    if (setting == &Changes::bracketingEnabled && bracketingByDriveMode())
        return m_states[kDriveMode] != kUnanswered;
    for (int property = 0; property < kPropertyCount; ++property) {
        if (kRows[property].flag == setting && m_states[property] == kUnanswered)
            return false;
    }
    return true;
}

void BRX_Logic_CameraSettingsByDevProps::sendToCamera()
{
    debugPrint(kDebugAlways, "%s - functionality is not needed", BRX_METHOD);
}

bool BRX_Logic_CameraSettingsByDevProps::writeIfChanged(Property property, qint32 value)
{
    const qint32 previous = m_values[property];
    // A preset nobody read may differ from what the camera holds.
    if (previous == value && m_states[property] != kUnanswered)
        return true;
    m_values[property] = value;
    const Writer write = kRows[property].write;
    if (cameraAccess() && write && write(cameraAccess(), value)) {
        markKnown(property);
        return true;
    }
    takeBack(property, previous, value);
    return false;
}

// The camera keeps its value when it refuses a write, and may have taken one
// it did not answer: the value held before comes back, then the camera is
// asked, so that only the camera's value is shown.
void BRX_Logic_CameraSettingsByDevProps::takeBack(Property property, qint32 previous, qint32 refused)
{
    m_values[property] = previous;
    debugPrint(kDebugAlways, "%s - %s = %d not taken by the camera", BRX_METHOD, kRows[property].label, refused);
    recvFromCamera(kRows[property].codes[0], nullptr);
    markRefused();
}

double BRX_Logic_CameraSettingsByDevProps::secondsOfCode(qint32 code) const
{
    return m_shutterConverter->secondsFromCode(qint16(code), 1);
}

bool BRX_Logic_CameraSettingsByDevProps::externalBatteryPresent() const { return held(kBatteryInfo) == 2; }
bool BRX_Logic_CameraSettingsByDevProps::bracketingByProperties() const { return !bracketingByDriveMode(); }
bool BRX_Logic_CameraSettingsByDevProps::bracketingByDriveMode() const { return isReducedModel(); }
bool BRX_Logic_CameraSettingsByDevProps::isReducedModel() const { return isProduct(0x2041) || isProduct(0x2061); }

bool BRX_Logic_CameraSettingsByDevProps::captureMode7() const
{
    return cameraAccess() && cameraAccess()->supportsCaptureMode7();
}

void BRX_Logic_CameraSettingsByDevProps::driveModeStored(Changes* changes)
{
    if (!bracketingByDriveMode())
        return;
    const qint32 enabled = held(kDriveMode) == kCaptureModeBracketing;
    if (enabled == held(kBracketingEnabled) && m_states[kDriveMode] != kUnanswered)
        return;
    m_values[kBracketingEnabled] = enabled;
    if (changes)
        changes->bracketingEnabled = 1;
}

void BRX_Logic_CameraSettingsByDevProps::bulbPresetStored(Changes* changes)
{
    // On 0x2061 a bulb preset is also the exposure time the camera will use.
    if (!isProduct(0x2061))
        return;
    const int preset = held(kExposTimeBulbPreset);
    if (std::find(std::begin(kBulbPresetSeconds), std::end(kBulbPresetSeconds), preset) ==
        std::end(kBulbPresetSeconds))
        return;
    const qint32 code = m_shutterConverter->codeFromSeconds(preset);
    if (code == held(kExposureTime))
        return;
    m_values[kExposureTime] = code;
    markKnown(kExposureTime);
    if (changes)
        changes->shutterTime = 1;
}

void BRX_Logic_CameraSettingsByDevProps::stepSizeStored(Changes*)
{
    // The shutter table depends on the camera's exposure step.
    m_shutterConverter->setStepSize(held(kExposCompensStepSize));
}

// --- Dump ----------------------------------------------------------------------

void BRX_Logic_CameraSettingsByDevProps::dump(const QString&) const
{
    dumpSettings(BRX_METHOD, kDumpDeviceProperties);
}

// --- Setters -------------------------------------------------------------------

void BRX_Logic_CameraSettingsByDevProps::setDriveMode(int code)
{
    const auto found = std::find_if(std::begin(kDriveModes), std::end(kDriveModes),
                                    [code](const DriveMode& mode) { return mode.code == code; });
    if (found == std::end(kDriveModes) && code != 0) {
        refuseIllegal(BRX_METHOD, "drive mode", code);
        return;
    }
    qint32 value = found == std::end(kDriveModes) ? 0 : found->captureMode;
    if (value == kCaptureModeSingle && captureMode7())
        value = kCaptureModeSingleAlt;
    // While bracketing is on, these cameras must stay in the bracketing mode.
    if (bracketingByDriveMode() && bracketingEnabled())
        value = kCaptureModeBracketing;
    writeIfChanged(kDriveMode, value);
}

void BRX_Logic_CameraSettingsByDevProps::setFocusMode(int code) { writeIfChanged(kFocusMode, code); }
void BRX_Logic_CameraSettingsByDevProps::setExposMetering(int code) { writeIfChanged(kExposureMeteringMode, code); }
void BRX_Logic_CameraSettingsByDevProps::setExposCompens(int milliEV) { writeIfChanged(kExposureCompensation, qint16(milliEV)); }

void BRX_Logic_CameraSettingsByDevProps::setExposCompensStepSize(int milliEV)
{
    writeIfChanged(kExposCompensStepSize, milliEV);
    stepSizeStored(nullptr);
}

void BRX_Logic_CameraSettingsByDevProps::setBracketEnabled(bool on)
{
    if (on == bracketingEnabled())
        return;
    if (!bracketingByDriveMode()) {
        writeIfChanged(kBracketingEnabled, on);
        return;
    }
    // Switching off leaves the drive mode to the next drive-mode choice.
    if (!on || writeIfChanged(kDriveMode, kCaptureModeBracketing))
        m_values[kBracketingEnabled] = on;
}

void BRX_Logic_CameraSettingsByDevProps::setBracketImgNum(int images) { writeIfChanged(kBracketingFrames, images); }
void BRX_Logic_CameraSettingsByDevProps::setBracketDeltaEV(int milliEV) { writeIfChanged(kBracketingAperture, milliEV); }
void BRX_Logic_CameraSettingsByDevProps::setBracketingAutomatic(int automatic) { writeIfChanged(kBracketingAutomatic, automatic); }
void BRX_Logic_CameraSettingsByDevProps::setMirrorUpMode(int code) { writeIfChanged(kMirrorUpMode, code); }

void BRX_Logic_CameraSettingsByDevProps::setSensitivity(int iso)
{
    // The camera takes both through its exposure index: 0 selects automatic.
    const bool automatic = iso == 0;
    if (automatic ? held(kSensitivityAuto) != 0 : (iso == held(kSensitivityASA) && !held(kSensitivityAuto)))
        return;
    const qint32 previousIso = held(kSensitivityASA);
    const qint32 previousAutomatic = held(kSensitivityAuto);
    m_values[kSensitivityAuto] = automatic;
    if (!automatic)
        m_values[kSensitivityASA] = iso;
    BRX_Commu_CameraAccess_Base* access = cameraAccess();
    if (access && access->setDevicePropExposureIndex(quint32(iso))) {
        markKnown(kSensitivityAuto);
        if (!automatic)
            markKnown(kSensitivityASA);
        return;
    }
    // Reading the ISO value back reads the automatic flag too.
    m_values[kSensitivityAuto] = previousAutomatic;
    takeBack(kSensitivityASA, previousIso, iso);
}

void BRX_Logic_CameraSettingsByDevProps::setKeyLock(bool on) { writeIfChanged(kKeyLock, on); }
void BRX_Logic_CameraSettingsByDevProps::setDngCompression(bool) { refuseNotAvailable(BRX_METHOD); }
void BRX_Logic_CameraSettingsByDevProps::setFlashXSymbol(bool) { refuseNotAvailable(BRX_METHOD); }
void BRX_Logic_CameraSettingsByDevProps::setFileFormat(int code) { writeIfChanged(kFileFormat, code); }
void BRX_Logic_CameraSettingsByDevProps::setWhiteBalanceIndex(int code) { writeIfChanged(kWhiteBalance, code); }
void BRX_Logic_CameraSettingsByDevProps::setWhiteBalanceColorTemp(int code) { writeIfChanged(kWhiteBalanceColorTemp, code); }
void BRX_Logic_CameraSettingsByDevProps::setJpgColorSpace(int code) { writeIfChanged(kColorManagement, code); }
void BRX_Logic_CameraSettingsByDevProps::setStorageType(int code) { writeIfChanged(kExternalShooting, code); }
void BRX_Logic_CameraSettingsByDevProps::setAutoreviewDuration(int code) { writeIfChanged(kAutoreviewDuration, code); }
void BRX_Logic_CameraSettingsByDevProps::setAutoPowerOff(int code) { writeIfChanged(kAutoPowerOff, code); }
void BRX_Logic_CameraSettingsByDevProps::setLockAEAF(bool) { refuseNotAvailable(BRX_METHOD); }
void BRX_Logic_CameraSettingsByDevProps::setSensorFormat(int code) { writeIfChanged(kSensorFormat, code); }
void BRX_Logic_CameraSettingsByDevProps::setPhotoAspectRatio(int code) { writeIfChanged(kPhotoAspectRatio, code); }
void BRX_Logic_CameraSettingsByDevProps::setJpgResolution(int code) { writeIfChanged(kPhotoResolutionJPG, code); }
void BRX_Logic_CameraSettingsByDevProps::setVideoFileFormat(int code) { writeIfChanged(kVideoFileFormat, code); }
void BRX_Logic_CameraSettingsByDevProps::setVideoResAndFrRate(int code) { writeIfChanged(kVideoResAndFrRate, code); }
void BRX_Logic_CameraSettingsByDevProps::setVideoFormatResol(int code) { writeIfChanged(kVideoFormatResol, code); }
void BRX_Logic_CameraSettingsByDevProps::setContrast(int code) { writeIfChanged(kContrast, code); }
void BRX_Logic_CameraSettingsByDevProps::setSharpness(int code) { writeIfChanged(kSharpness, code); }
void BRX_Logic_CameraSettingsByDevProps::setSaturation(int code) { writeIfChanged(kSaturation, code); }
void BRX_Logic_CameraSettingsByDevProps::setMonochrome(int code) { writeIfChanged(kMonochrome, code); }
void BRX_Logic_CameraSettingsByDevProps::setElectronicShutter(int code) { writeIfChanged(kElectronicShutter, code); }
void BRX_Logic_CameraSettingsByDevProps::setExposTimeBulbPreset(int code) { writeIfChanged(kExposTimeBulbPreset, code); }
void BRX_Logic_CameraSettingsByDevProps::setAudioLevel(int code) { writeIfChanged(kAudioLevel, code); }
void BRX_Logic_CameraSettingsByDevProps::setAudioWindElim(int code) { writeIfChanged(kAudioWindElim, code); }
void BRX_Logic_CameraSettingsByDevProps::setAudioVolSpeaker(int volume) { writeIfChanged(kAudioVolSpeaker, volume); }
void BRX_Logic_CameraSettingsByDevProps::setAudioVolHeadphone(int volume) { writeIfChanged(kAudioVolHeadphone, volume); }
void BRX_Logic_CameraSettingsByDevProps::setAudioVolMicrophone(int volume) { writeIfChanged(kAudioVolMicrophone, volume); }
void BRX_Logic_CameraSettingsByDevProps::setExposureSimulation(int code) { writeIfChanged(kExposureSimulation, code); }
void BRX_Logic_CameraSettingsByDevProps::setLanguage(int code) { writeIfChanged(kLanguage, code); }
void BRX_Logic_CameraSettingsByDevProps::setExposureMode(int code) { writeIfChanged(kExposureProgram, code); }

void BRX_Logic_CameraSettingsByDevProps::setAperture(double fNumber)
{
    writeIfChanged(kAperture, BRX_Logic_APEXConverterAperture::codeFromFNumber(fNumber));
}

void BRX_Logic_CameraSettingsByDevProps::setShutterTime(double seconds)
{
    writeIfChanged(kExposureTime, m_shutterConverter->codeFromSeconds(seconds));
}

void BRX_Logic_CameraSettingsByDevProps::setAutoFocusLimit(int limit) { writeIfChanged(kAutoFocusLimit, limit); }
void BRX_Logic_CameraSettingsByDevProps::setIntervalFrames(int frames) { writeIfChanged(kIntervalFrames, frames); }
void BRX_Logic_CameraSettingsByDevProps::setIntervalTime(int time) { writeIfChanged(kIntervalTime, time); }

// --- Getters -------------------------------------------------------------------

int BRX_Logic_CameraSettingsByDevProps::driveMode() const
{
    const qint32 captureMode = held(kDriveMode);
    if (captureMode == kCaptureModeSingleAlt && captureMode7())
        return 1;
    const auto found = std::find_if(std::begin(kDriveModes), std::end(kDriveModes),
                                    [captureMode](const DriveMode& mode) { return mode.captureMode == captureMode; });
    return found == std::end(kDriveModes) ? 0 : found->code;
}

int BRX_Logic_CameraSettingsByDevProps::focusMode() const { return held(kFocusMode); }
int BRX_Logic_CameraSettingsByDevProps::exposMetering() const { return held(kExposureMeteringMode); }
int BRX_Logic_CameraSettingsByDevProps::exposCompens() const { return held(kExposureCompensation); }
int BRX_Logic_CameraSettingsByDevProps::exposCompensStep() const { return held(kExposCompensStepSize); }
bool BRX_Logic_CameraSettingsByDevProps::bracketingEnabled() const { return held(kBracketingEnabled) != 0; }
int BRX_Logic_CameraSettingsByDevProps::bracketingImageNumbers() const { return held(kBracketingFrames); }
int BRX_Logic_CameraSettingsByDevProps::bracketingDeltaEV() const { return held(kBracketingAperture); }
int BRX_Logic_CameraSettingsByDevProps::bracketingAutomatic() const { return held(kBracketingAutomatic); }
// These cameras report no shutter mode of their own.
int BRX_Logic_CameraSettingsByDevProps::shutterMode() const { return 0; }
int BRX_Logic_CameraSettingsByDevProps::mirrorUpMode() const { return held(kMirrorUpMode); }
int BRX_Logic_CameraSettingsByDevProps::sensitivity() const { return held(kSensitivityASA); }
bool BRX_Logic_CameraSettingsByDevProps::sensitivityAuto() const { return held(kSensitivityAuto) != 0; }
quint8 BRX_Logic_CameraSettingsByDevProps::USBspeed() const { return 0; }
quint8 BRX_Logic_CameraSettingsByDevProps::RAMBufferFreeCaptures() const { return notAvailable(BRX_METHOD, quint8(0)); }
qint8 BRX_Logic_CameraSettingsByDevProps::sensorBoardTemperature() const { return notAvailable(BRX_METHOD, qint8(0)); }
bool BRX_Logic_CameraSettingsByDevProps::keyLock() const { return held(kKeyLock) != 0; }
bool BRX_Logic_CameraSettingsByDevProps::dngCompression() const { return notAvailable(BRX_METHOD, false); }
bool BRX_Logic_CameraSettingsByDevProps::flashXSymbol() const { return held(kFlashSyncStatus) != 0; }
int BRX_Logic_CameraSettingsByDevProps::fileFormat() const { return held(kFileFormat); }
double BRX_Logic_CameraSettingsByDevProps::maxShutterTime() const { return secondsOfCode(held(kExposureTimeMax)); }
int BRX_Logic_CameraSettingsByDevProps::whiteBalanceIndex() const { return held(kWhiteBalance); }
int BRX_Logic_CameraSettingsByDevProps::whiteBalanceColorTemp() const { return held(kWhiteBalanceColorTemp); }
int BRX_Logic_CameraSettingsByDevProps::jpgColorSpace() const { return held(kColorManagement); }
int BRX_Logic_CameraSettingsByDevProps::storageType() const { return held(kExternalShooting); }
// The meter reports whole steps; the light meter value counts 1/128 steps.
qint16 BRX_Logic_CameraSettingsByDevProps::lightMeter() const { return qint16(lightBalance() * 128); }
int BRX_Logic_CameraSettingsByDevProps::autoreviewDuration() const { return held(kAutoreviewDuration); }
int BRX_Logic_CameraSettingsByDevProps::autoPowerOff() const { return held(kAutoPowerOff); }
bool BRX_Logic_CameraSettingsByDevProps::lockAEAF() const { return notAvailable(BRX_METHOD, false); }
int BRX_Logic_CameraSettingsByDevProps::sensorFormat() const { return held(kSensorFormat); }
int BRX_Logic_CameraSettingsByDevProps::photoAspectRatio() const { return held(kPhotoAspectRatio); }
int BRX_Logic_CameraSettingsByDevProps::jpgResolution() const { return held(kPhotoResolutionJPG); }
int BRX_Logic_CameraSettingsByDevProps::videoFileFormat() const { return held(kVideoFileFormat); }
int BRX_Logic_CameraSettingsByDevProps::videoResAndFrRate() const { return held(kVideoResAndFrRate); }
int BRX_Logic_CameraSettingsByDevProps::videoFormatResol() const { return held(kVideoFormatResol); }
int BRX_Logic_CameraSettingsByDevProps::contrast() const { return held(kContrast); }
int BRX_Logic_CameraSettingsByDevProps::sharpness() const { return held(kSharpness); }
int BRX_Logic_CameraSettingsByDevProps::saturation() const { return held(kSaturation); }
int BRX_Logic_CameraSettingsByDevProps::monochrome() const { return held(kMonochrome); }
int BRX_Logic_CameraSettingsByDevProps::electronicShutter() const { return held(kElectronicShutter); }
int BRX_Logic_CameraSettingsByDevProps::exposTimeBulbPreset() const { return held(kExposTimeBulbPreset); }
int BRX_Logic_CameraSettingsByDevProps::lensConnectionType() const { return held(kLensConnectionType); }
int BRX_Logic_CameraSettingsByDevProps::orientation() const { return held(kOrientation); }
int BRX_Logic_CameraSettingsByDevProps::audioLevel() const { return held(kAudioLevel); }
int BRX_Logic_CameraSettingsByDevProps::audioWindElim() const { return held(kAudioWindElim); }
quint8 BRX_Logic_CameraSettingsByDevProps::audioVolSpeaker() const { return quint8(held(kAudioVolSpeaker)); }
quint8 BRX_Logic_CameraSettingsByDevProps::audioVolHeadphone() const { return quint8(held(kAudioVolHeadphone)); }
quint8 BRX_Logic_CameraSettingsByDevProps::audioVolMicrophone() const { return quint8(held(kAudioVolMicrophone)); }
int BRX_Logic_CameraSettingsByDevProps::exposureSimulation() const { return held(kExposureSimulation); }
int BRX_Logic_CameraSettingsByDevProps::language() const { return held(kLanguage); }
quint8 BRX_Logic_CameraSettingsByDevProps::batterySource() const { return notAvailable(BRX_METHOD, quint8(0)); }
int BRX_Logic_CameraSettingsByDevProps::batteryInfo() const { return held(kBatteryInfo); }
quint8 BRX_Logic_CameraSettingsByDevProps::batteryLevelIntern() const { return quint8(held(kBatteryLevelIntern)); }
quint8 BRX_Logic_CameraSettingsByDevProps::batteryLevelExtern() const { return quint8(held(kBatteryLevelExtern)); }
int BRX_Logic_CameraSettingsByDevProps::powerSwitch() const { return held(kPowerSwitch); }
int BRX_Logic_CameraSettingsByDevProps::selfTimerRestTime() const { return held(kSelfTimerRestTime); }
int BRX_Logic_CameraSettingsByDevProps::bulbModeTime() const { return held(kBulbModeTime); }
quint8 BRX_Logic_CameraSettingsByDevProps::warnings() const { return notAvailable(BRX_METHOD, quint8(0)); }
quint16 BRX_Logic_CameraSettingsByDevProps::iSOValue() const { return notAvailable(BRX_METHOD, quint16(0)); }
int BRX_Logic_CameraSettingsByDevProps::exposureMode() const { return held(kExposureProgram); }

double BRX_Logic_CameraSettingsByDevProps::aperture() const
{
    return BRX_Logic_APEXConverterAperture::fNumberFromCode(qint16(held(kAperture)));
}

double BRX_Logic_CameraSettingsByDevProps::shutterTime() const { return secondsOfCode(held(kExposureTime)); }
int BRX_Logic_CameraSettingsByDevProps::focusDistance() const { return held(kFocusDistance); }
qint8 BRX_Logic_CameraSettingsByDevProps::focusConfirmation() const { return qint8(held(kFocusConfirmValue)); }
bool BRX_Logic_CameraSettingsByDevProps::focusConfirmationBadSignal() const { return held(kFocusConfirmBadSignal) != 0; }
bool BRX_Logic_CameraSettingsByDevProps::focusConfirmationEnabled() const { return held(kFocusConfirmEnabled) != 0; }
bool BRX_Logic_CameraSettingsByDevProps::autoFocusLimit() const { return held(kAutoFocusLimit) != 0; }
int BRX_Logic_CameraSettingsByDevProps::autoFocusLimitDistance() const { return held(kAutoFocusLimitDist); }
qint8 BRX_Logic_CameraSettingsByDevProps::lightBalance() const { return qint8(held(kLightmeter)); }
quint16 BRX_Logic_CameraSettingsByDevProps::flashCompensation() const { return notAvailable(BRX_METHOD, quint16(0)); }
int BRX_Logic_CameraSettingsByDevProps::flashStatus() const { return held(kFlashStatus); }
int BRX_Logic_CameraSettingsByDevProps::intervalFrames() const { return held(kIntervalFrames); }
int BRX_Logic_CameraSettingsByDevProps::intervalTime() const { return held(kIntervalTime); }

// --- Capabilities: by product only, except orientation ---------------------------

bool BRX_Logic_CameraSettingsByDevProps::hasFocusMode() const { return !isProduct(0x2061); }
bool BRX_Logic_CameraSettingsByDevProps::hasMoveLensToPos() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasMoveLensRightLeft() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasSensorFormat() const { return isProduct(0x2041); }
bool BRX_Logic_CameraSettingsByDevProps::hasPhotoAspectRatio() const { return isProduct(0x2041); }
bool BRX_Logic_CameraSettingsByDevProps::hasJpgResolution() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasVideoFileFormat() const { return false; }
bool BRX_Logic_CameraSettingsByDevProps::hasVideoResAndFrRate() const { return !isReducedModel(); }
bool BRX_Logic_CameraSettingsByDevProps::hasVideoFormatResol() const { return isProduct(0x2041); }
bool BRX_Logic_CameraSettingsByDevProps::hasContrast() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasSharpness() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasSaturation() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasMonochrome() const { return !isProduct(0x2041); }
bool BRX_Logic_CameraSettingsByDevProps::hasAutoFocusLimit() const { return isProduct(0x2041); }
bool BRX_Logic_CameraSettingsByDevProps::hasElectronicShutter() const { return isProduct(0x2041); }
bool BRX_Logic_CameraSettingsByDevProps::hasExposTimeBulbPreset() const { return isProduct(0x2061); }
bool BRX_Logic_CameraSettingsByDevProps::hasLensConnectionType() const { return false; }

bool BRX_Logic_CameraSettingsByDevProps::hasOrientation() const
{
    return deviceInfo() && deviceInfo()->isDevicePropSupported(Access::kDevicePropOrientation);
}

bool BRX_Logic_CameraSettingsByDevProps::hasAudioLevel() const { return !isReducedModel(); }
bool BRX_Logic_CameraSettingsByDevProps::hasAudioWindElim() const { return !isReducedModel(); }
bool BRX_Logic_CameraSettingsByDevProps::hasAudioVolSpeaker() const { return !isReducedModel(); }
bool BRX_Logic_CameraSettingsByDevProps::hasAudioVolHeadphone() const { return !isReducedModel(); }
bool BRX_Logic_CameraSettingsByDevProps::hasAudioVolMicrophone() const { return !isProduct(0x2061); }
bool BRX_Logic_CameraSettingsByDevProps::hasExposCompensStep() const { return isProduct(0x2041); }
bool BRX_Logic_CameraSettingsByDevProps::hasExposureSimulation() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasFocusConfirmation() const { return !isReducedModel(); }
bool BRX_Logic_CameraSettingsByDevProps::hasFocusDistance() const { return !isProduct(0x2061); }
bool BRX_Logic_CameraSettingsByDevProps::hasAutoPowerOff() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasDngCompression() const { return false; }
bool BRX_Logic_CameraSettingsByDevProps::hasInterval() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasKeyLock() const { return !isProduct(0x2061); }
bool BRX_Logic_CameraSettingsByDevProps::hasLanguage() const { return !isProduct(0x2041); }
bool BRX_Logic_CameraSettingsByDevProps::hasLiveView() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasMirrorUpMode() const { return !isReducedModel(); }
bool BRX_Logic_CameraSettingsByDevProps::hasPowerSwitch() const { return !isReducedModel(); }
bool BRX_Logic_CameraSettingsByDevProps::hasVideoRecording() const { return !isProduct(0x2061); }
bool BRX_Logic_CameraSettingsByDevProps::hasWhiteBalance() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasPreview() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasHMI() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasFlashStatus() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasFlashXSymbol() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasWarnings() const { return false; }
bool BRX_Logic_CameraSettingsByDevProps::hasAperture() const { return !isProduct(0x2061); }
bool BRX_Logic_CameraSettingsByDevProps::hasBracketingAutomatic() const { return true; }
bool BRX_Logic_CameraSettingsByDevProps::hasJpgColorSpace() const { return !isProduct(0x2061); }
bool BRX_Logic_CameraSettingsByDevProps::hasStorageType() const { return !isProduct(0x2061); }
bool BRX_Logic_CameraSettingsByDevProps::hasAutoreviewDuration() const { return !isProduct(0x2041); }
bool BRX_Logic_CameraSettingsByDevProps::hasReservedFeature() const { return true; }
