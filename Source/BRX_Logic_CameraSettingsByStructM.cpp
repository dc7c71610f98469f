#include "BRX_Logic_CameraSettingsByStructM.h"

#include "BRX_Debug.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

typedef BRX_Logic_SettingsChanges Changes;
typedef BRX_Logic_CameraSettingsBase Base;

namespace {

// Exposure compensation is an index 0..18 in third steps, 9 = 0 EV.
const int kCompensLimit = 3000;
const int kCompensMaxIndex = 18;

// Video mode number in byte 0x02 and the interface's video code.
struct VideoMode
{
    int number;
    int code;
};
const VideoMode kVideoModes[] = {{1, 9}, {2, 15}, {3, 16}, {4, 17}, {5, 18}};
const int kVideoModeNone = 0;
const int kVideoCodeNone = 8;

// Camera exposure mode number and the interface's exposure mode code.
struct ExposureMode
{
    int number;
    int code;
};
const ExposureMode kExposureModes[] = {{0, 0}, {1, 2}, {3, 4}};

// Warning bits of byte 0x44 in priority order and the warning code each means.
struct WarningBit
{
    int bit;
    quint8 code;
};
const WarningBit kWarningBits[] = {{0, 1}, {1, 2}, {2, 3}, {3, 6}, {4, 7}, {5, 4}};
const quint8 kWarningNone = 1;

const BRX_Logic_CameraSettingsByStruct::ChangeRule kChangeRules[] = {
    {0x41, 2, 0xFFFF, &Changes::batteryInfo, false},  // source and level
    {0x42, 1, 0xFF, &Changes::batteryLevelIntern, false},
    {0x10, 2, 0xFFFF, &Changes::maxShutterTime, false},
    {0x01, 1, 0xFF, &Changes::driveMode, false},
    {0x02, 1, 0xFF, &Changes::videoResAndFrRate, false},
    {0x03, 1, 0xFF, &Changes::exposMetering, false},
    {0x04, 1, 0xFF, &Changes::exposCompens, false},
    {0x05, 1, 0xFF, &Changes::bracketingEnabled, true},
    {0x05, 1, 0xFF, &Changes::bracketingImageNumbers, false},
    {0x06, 1, 0xFF, &Changes::bracketingDeltaEV, false},
    {0x45, 2, 0xFFFF, &Changes::sensitivity, false},
    {0x0e, 1, 0x02, &Changes::dngCompression, false},
    {0x0f, 1, 0xFF, &Changes::fileFormat, false},
    {0x12, 1, 0xFF, &Changes::whiteBalanceIndex, false},
    {0x13, 1, 0xFF, &Changes::whiteBalanceColorTemp, false},
    {0x14, 1, 0xFF, &Changes::jpgColorSpace, false},
    {0x1a, 1, 0xFF, &Changes::storageType, false},
    {0x1b, 2, 0xFFFF, &Changes::lightBalance, false},
    {0x2f, 1, 0xFF, &Changes::autoPowerOff, false},
    {0x3d, 1, 0xFF, &Changes::jpgResolution, false},
    {0x40, 1, 0xFF, &Changes::language, false},
    {0x47, 1, 0xFF, &Changes::exposureMode, false},
    {0x4a, 2, 0xFFFF, &Changes::shutterTime, false},
    {0x54, 1, 0xFF, &Changes::flashStatus, false},
};

const Changes::Flag kAlwaysUnchanged[] = {
    &Changes::batteryLevelExtern, &Changes::powerSwitch,       &Changes::focusMode,
    &Changes::exposCompensStep,   &Changes::bracketingAutomatic, &Changes::mirrorUpMode,
    &Changes::keyLock,            &Changes::flashXSymbol,      &Changes::aperture,
    &Changes::focusDistance,      &Changes::focusConfirmation, &Changes::focusConfirmationEnabled,
    &Changes::focusConfirmationBadSignal,
};

const Base::DumpLine kDumpSettings[] = {
    BRX_DUMP_LINE("driveMode", Base::kDumpDecimal, driveMode, nullptr),
    BRX_DUMP_LINE("videoResAndFrRate", Base::kDumpDecimal, videoResAndFrRate, &Base::hasVideoResAndFrRate),
    BRX_DUMP_LINE("exposureMeteringMode", Base::kDumpDecimal, exposMetering, nullptr),
    BRX_DUMP_LINE("exposureCompensation", Base::kDumpDecimal, exposCompens, nullptr),
    BRX_DUMP_LINE("bracketingImageNumbers", Base::kDumpDecimal, bracketingImageNumbers, nullptr),
    BRX_DUMP_LINE("bracketingDeltaEV", Base::kDumpDecimal, bracketingDeltaEV, nullptr),
    BRX_DUMP_LINE("sensitivity", Base::kDumpDecimal, sensitivity, nullptr),
    BRX_DUMP_LINE("USBspeed", Base::kDumpDecimal, USBspeed, nullptr),
    BRX_DUMP_LINE("RAMBufferFreeCaptures", Base::kDumpDecimal, RAMBufferFreeCaptures, nullptr),
    BRX_DUMP_LINE("sensorBoardTemperature", Base::kDumpDecimal, sensorBoardTemperature, nullptr),
    BRX_DUMP_LINE("dngCompression", Base::kDumpYesNo, dngCompression, nullptr),
    BRX_DUMP_LINE("fileFormat", Base::kDumpDecimal, fileFormat, nullptr),
};

const Base::DumpLine kDumpPower[] = {
    BRX_DUMP_LINE("whiteBalance", Base::kDumpDecimal, whiteBalanceIndex, nullptr),
    BRX_DUMP_LINE("whiteBalanceColorTemp", Base::kDumpDecimal, whiteBalanceColorTemp, nullptr),
    BRX_DUMP_LINE("jpgColorSpace", Base::kDumpDecimal, jpgColorSpace, nullptr),
    BRX_DUMP_LINE("storageType", Base::kDumpDecimal, storageType, nullptr),
    BRX_DUMP_LINE("lightMeter", Base::kDumpDecimal, lightMeter, nullptr),
    BRX_DUMP_LINE("autoPowerOff", Base::kDumpDecimal, autoPowerOff, nullptr),
    BRX_DUMP_LINE("jpgResolution", Base::kDumpDecimal, jpgResolution, nullptr),
    BRX_DUMP_LINE("language", Base::kDumpDecimal, language, nullptr),
    BRX_DUMP_LINE("batterySource", Base::kDumpDecimal, batterySource, nullptr),
    BRX_DUMP_LINE("batteryInfo", Base::kDumpDecimal, batteryInfo, nullptr),
    BRX_DUMP_LINE("batteryLevelIntern", Base::kDumpDecimal, batteryLevelIntern, nullptr),
    BRX_DUMP_LINE("warnings", Base::kDumpDecimal, warnings, nullptr),
    BRX_DUMP_LINE("iSOValue", Base::kDumpDecimal, iSOValue, nullptr),
    BRX_DUMP_LINE("exposureMode", Base::kDumpDecimal, exposureMode, nullptr),
};

const Base::DumpLine kDumpMeter[] = {
    BRX_DUMP_LINE("lightBalance", Base::kDumpDecimal, lightBalance, nullptr),
    BRX_DUMP_LINE("flashCompensation", Base::kDumpDecimal, flashCompensation, nullptr),
    BRX_DUMP_LINE("flashStatus", Base::kDumpDecimal, flashStatus, nullptr),
};

}  // namespace

// --- Construction and transfer -----------------------------------------------

BRX_Logic_CameraSettingsByStructM::BRX_Logic_CameraSettingsByStructM(
    BRX_Commu_CameraAccess_Base* cameraAccess, BRX_Logic_DeviceInfo* deviceInfo)
    : BRX_Logic_CameraSettingsByStruct(cameraAccess, deviceInfo, false)
{
    recvFromCamera(nullptr);
}

void BRX_Logic_CameraSettingsByStructM::recvFromCamera(quint16 devicePropertyCode, Changes*)
{
    debugPrint(kDebugAlways, "%s - ignore changed device property 0x%4X", BRX_METHOD, devicePropertyCode);
}

void BRX_Logic_CameraSettingsByStructM::recvFromCamera(Changes* changes)
{
    BRX_Logic_SettingsBlock before;
    if (!receiveBlock(BRX_METHOD, "BRX_Logic_CameraSettingsByStructM::recvFromCamera", &before) || !changes)
        return;
    flagDifferences(before, m_block, kChangeRules, std::size(kChangeRules), kAlwaysUnchanged,
                    std::size(kAlwaysUnchanged), changes);
    changes->warning = warningRaised(before);
}

bool BRX_Logic_CameraSettingsByStructM::warningRaised(const BRX_Logic_SettingsBlock& before) const
{
    const quint8 raised = m_block.u8(kOffWarnings) & ~before.u8(kOffWarnings);
    const int drive = driveMode();
    const bool continuous = drive == 2 || drive == 3;
    return (raised & 0x0F) || ((raised & 0x10) && continuous) || (raised & 0x20);
}

void BRX_Logic_CameraSettingsByStructM::sendToCamera()
{
    transmitBlock(BRX_METHOD, "BRX_Logic_CameraSettingsByStructM::sendToCamera");
}

void BRX_Logic_CameraSettingsByStructM::dump(const QString& caller) const
{
    // The label must outlive this statement: keep our own copy.
    const std::string label = BRX_METHOD;
    const char* method = label.c_str();
    dumpBlock(caller);
    dumpLines(method, kDumpSettings, std::size(kDumpSettings));
    dumpMaxShutterTime(method);
    dumpLines(method, kDumpPower, std::size(kDumpPower));
    dumpShutterTime(method);
    dumpLines(method, kDumpMeter, std::size(kDumpMeter));
    dumpFeatures(method, kFeatureLines, kFeatureLineCount);
}

void BRX_Logic_CameraSettingsByStructM::refuseInStructModeM(const char* method)
{
    debugPrint(kDebugAlways, "%s - functionality is not available in struct mode M", method);
    markRefused();
}

void BRX_Logic_CameraSettingsByStructM::logDefaultInStructModeM(const char* method)
{
    debugPrint(kDebugAlways, "%s - functionality is not available in struct mode M, returning default", method);
}

// --- Setters -------------------------------------------------------------------

void BRX_Logic_CameraSettingsByStructM::setFocusMode(int) { refuseInStructModeM(BRX_METHOD); }

void BRX_Logic_CameraSettingsByStructM::setExposCompens(int milliEV)
{
    const int shifted = std::clamp(milliEV, -kCompensLimit, kCompensLimit) + kCompensLimit;
    patchU8(kOffExposCompens, (shifted * 3 + 500) / 1000);
}

void BRX_Logic_CameraSettingsByStructM::setExposCompensStepSize(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setBracketingAutomatic(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setMirrorUpMode(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setSensitivity(int iso) { patchU16(kOffSensitivityISO, iso); }
void BRX_Logic_CameraSettingsByStructM::setKeyLock(bool) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setFlashXSymbol(bool) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setAutoreviewDuration(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setLockAEAF(bool) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setSensorFormat(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setPhotoAspectRatio(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setVideoFileFormat(int) { refuseInStructModeM(BRX_METHOD); }

void BRX_Logic_CameraSettingsByStructM::setVideoResAndFrRate(int code)
{
    const auto found = std::find_if(std::begin(kVideoModes), std::end(kVideoModes),
                                    [code](const VideoMode& mode) { return mode.code == code; });
    patchU8(kOffVideoMode, found == std::end(kVideoModes) ? kVideoModeNone : found->number);
}

void BRX_Logic_CameraSettingsByStructM::setVideoFormatResol(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setContrast(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setSharpness(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setSaturation(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setMonochrome(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setElectronicShutter(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setExposTimeBulbPreset(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setAudioLevel(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setAudioWindElim(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setAudioVolSpeaker(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setAudioVolHeadphone(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setAudioVolMicrophone(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setExposureSimulation(int) { refuseInStructModeM(BRX_METHOD); }

void BRX_Logic_CameraSettingsByStructM::setExposureMode(int code)
{
    const auto found = std::find_if(std::begin(kExposureModes), std::end(kExposureModes),
                                    [code](const ExposureMode& mode) { return mode.code == code; });
    patchU8(kOffExposureMode, found == std::end(kExposureModes) ? 0 : found->number);
}

void BRX_Logic_CameraSettingsByStructM::setAperture(double) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setAutoFocusLimit(int) { refuseInStructModeM(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setIntervalFrames(int) { refuseOnlyExternally(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setIntervalTime(int) { refuseOnlyExternally(BRX_METHOD); }

// --- Getters -------------------------------------------------------------------

int BRX_Logic_CameraSettingsByStructM::focusMode() const { return 2; }

int BRX_Logic_CameraSettingsByStructM::exposCompens() const
{
    // Thirds of an EV, rounded down to whole milli-EV: -2667, -2333, ...
    const int index = std::min<int>(m_block.u8(kOffExposCompens), kCompensMaxIndex);
    return (index * 1000 + 1) / 3 - kCompensLimit;
}

int BRX_Logic_CameraSettingsByStructM::shutterMode() const { return 1; }
int BRX_Logic_CameraSettingsByStructM::mirrorUpMode() const { return 0; }
int BRX_Logic_CameraSettingsByStructM::sensitivity() const { return m_block.u16(kOffSensitivityISO); }
bool BRX_Logic_CameraSettingsByStructM::sensitivityAuto() const { return m_block.u16(kOffSensitivityISO) == 0; }
bool BRX_Logic_CameraSettingsByStructM::keyLock() const { return false; }
bool BRX_Logic_CameraSettingsByStructM::flashXSymbol() const { return false; }
qint16 BRX_Logic_CameraSettingsByStructM::lightMeter() const { return m_block.s16(kOffLightMeter); }

int BRX_Logic_CameraSettingsByStructM::autoreviewDuration() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 5;
}

bool BRX_Logic_CameraSettingsByStructM::lockAEAF() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return false;
}

int BRX_Logic_CameraSettingsByStructM::sensorFormat() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::photoAspectRatio() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::videoFileFormat() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::videoResAndFrRate() const
{
    const int number = m_block.u8(kOffVideoMode);
    const auto found = std::find_if(std::begin(kVideoModes), std::end(kVideoModes),
                                    [number](const VideoMode& mode) { return mode.number == number; });
    return found == std::end(kVideoModes) ? kVideoCodeNone : found->code;
}

int BRX_Logic_CameraSettingsByStructM::videoFormatResol() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 3;
}

int BRX_Logic_CameraSettingsByStructM::contrast() const
{
    logDefaultInStructMode(BRX_METHOD);
    return 1;
}

int BRX_Logic_CameraSettingsByStructM::sharpness() const
{
    logDefaultInStructMode(BRX_METHOD);
    return 1;
}

int BRX_Logic_CameraSettingsByStructM::saturation() const
{
    logDefaultInStructMode(BRX_METHOD);
    return 1;
}

int BRX_Logic_CameraSettingsByStructM::monochrome() const
{
    logDefaultInStructMode(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::electronicShutter() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::exposTimeBulbPreset() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::lensConnectionType() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::orientation() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::audioLevel() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::audioWindElim() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

quint8 BRX_Logic_CameraSettingsByStructM::audioVolSpeaker() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 3;
}

quint8 BRX_Logic_CameraSettingsByStructM::audioVolHeadphone() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 3;
}

quint8 BRX_Logic_CameraSettingsByStructM::audioVolMicrophone() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::exposureSimulation() const
{
    logDefaultInStructModeM(BRX_METHOD);
    return 0;
}

quint8 BRX_Logic_CameraSettingsByStructM::batterySource() const
{
    // These cameras number the two sources the other way round.
    const quint8 source = m_block.u8(kOffBatterySource);
    return source == 0 ? 1 : source == 1 ? 0 : source;
}

int BRX_Logic_CameraSettingsByStructM::batteryInfo() const
{
    if (batterySource() == 0)
        return 3;
    return batteryLevelIntern() != kNoBattery ? 1 : 4;
}

quint8 BRX_Logic_CameraSettingsByStructM::batteryLevelExtern() const { return kNoBattery; }

int BRX_Logic_CameraSettingsByStructM::powerSwitch() const
{
    logNotAvailable(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::selfTimerRestTime() const
{
    logNotAvailable(BRX_METHOD);
    return -1;
}

int BRX_Logic_CameraSettingsByStructM::bulbModeTime() const
{
    logNotAvailable(BRX_METHOD);
    return -1;
}

quint8 BRX_Logic_CameraSettingsByStructM::warnings() const
{
    const quint8 bits = m_block.u8(kOffWarnings);
    for (const WarningBit& warning : kWarningBits)
        if (bits & (1u << warning.bit))
            return warning.code;
    return kWarningNone;
}

int BRX_Logic_CameraSettingsByStructM::exposureMode() const
{
    const int number = m_block.u8(kOffExposureMode);
    const auto found = std::find_if(std::begin(kExposureModes), std::end(kExposureModes),
                                    [number](const ExposureMode& mode) { return mode.number == number; });
    return found == std::end(kExposureModes) ? 0 : found->code;
}

double BRX_Logic_CameraSettingsByStructM::aperture() const
{
    logNotAvailable(BRX_METHOD);
    return 0.0;
}

int BRX_Logic_CameraSettingsByStructM::focusDistance() const
{
    logNotAvailable(BRX_METHOD);
    return 0;
}

qint8 BRX_Logic_CameraSettingsByStructM::focusConfirmation() const
{
    logNotAvailable(BRX_METHOD);
    return m_block.s8(kOffFocusConfirmation);
}

bool BRX_Logic_CameraSettingsByStructM::focusConfirmationBadSignal() const { return true; }
bool BRX_Logic_CameraSettingsByStructM::focusConfirmationEnabled() const { return false; }

bool BRX_Logic_CameraSettingsByStructM::autoFocusLimit() const
{
    logNotAvailable(BRX_METHOD);
    return false;
}

int BRX_Logic_CameraSettingsByStructM::autoFocusLimitDistance() const
{
    logNotAvailable(BRX_METHOD);
    return 0;
}

qint8 BRX_Logic_CameraSettingsByStructM::lightBalance() const
{
    // Whole EV of the meter reading, halves rounded up; kept within the
    // signed byte so an extreme reading cannot wrap round to the other sign.
    const double balance = std::floor(lightMeter() / 128.0 + 0.5);
    return qint8(std::clamp(balance, -128.0, 127.0));
}

// --- Capabilities ----------------------------------------------------------------

bool BRX_Logic_CameraSettingsByStructM::hasFocusMode() const { return false; }
bool BRX_Logic_CameraSettingsByStructM::hasVideoResAndFrRate() const { return true; }
bool BRX_Logic_CameraSettingsByStructM::hasFocusConfirmation() const { return false; }
bool BRX_Logic_CameraSettingsByStructM::hasFocusDistance() const { return false; }
bool BRX_Logic_CameraSettingsByStructM::hasMirrorUpMode() const { return false; }
bool BRX_Logic_CameraSettingsByStructM::hasPowerSwitch() const { return false; }
bool BRX_Logic_CameraSettingsByStructM::hasWhiteBalance() const { return productId() != 0x2051; }
bool BRX_Logic_CameraSettingsByStructM::hasAperture() const { return false; }
bool BRX_Logic_CameraSettingsByStructM::hasJpgColorSpace() const { return productId() != 0x2051; }

int BRX_Logic_CameraSettingsByStructM::intervalFrames() const
{
    logOnlyExternally(BRX_METHOD);
    return 0;
}

int BRX_Logic_CameraSettingsByStructM::intervalTime() const
{
    logOnlyExternally(BRX_METHOD);
    return 0;
}
