#include "BRX_Logic_CameraSettingsByStructM.h"

#include "BRX_Debug.h"
#include "BRX_Logic_Rounding.h"

#include <algorithm>
#include <iterator>

typedef BRX_Logic_SettingsChanges Changes;

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

}  // namespace

const BRX_Logic_CameraSettingsByStruct::Layout BRX_Logic_CameraSettingsByStructM::kLayoutM = {
    "BRX_Logic_CameraSettingsByStructM", "struct mode M", kChangeRules, std::size(kChangeRules),
    kAlwaysUnchanged, std::size(kAlwaysUnchanged), kDumpStructM,
};

BRX_Logic_CameraSettingsByStructM::BRX_Logic_CameraSettingsByStructM(
    BRX_Commu_CameraAccess_Base* cameraAccess, BRX_Logic_DeviceInfo* deviceInfo)
    : BRX_Logic_CameraSettingsByStruct(cameraAccess, deviceInfo, kLayoutM)
{
    recvFromCamera(nullptr);
}

bool BRX_Logic_CameraSettingsByStructM::warningRaised(const BRX_Logic_SettingsBlock& before) const
{
    const quint8 raised = m_block.u8(kOffWarnings) & ~before.u8(kOffWarnings);
    const int drive = driveMode();
    const bool continuous = drive == 2 || drive == 3;
    return (raised & 0x0F) || ((raised & 0x10) && continuous) || (raised & 0x20);
}

// --- Setters -------------------------------------------------------------------

void BRX_Logic_CameraSettingsByStructM::setFocusMode(int) { refuseInLayout(BRX_METHOD); }

void BRX_Logic_CameraSettingsByStructM::setExposCompens(int milliEV)
{
    const int shifted = std::clamp(milliEV, -kCompensLimit, kCompensLimit) + kCompensLimit;
    patchU8(kOffExposCompens, (shifted * 3 + 500) / 1000);
}

void BRX_Logic_CameraSettingsByStructM::setMirrorUpMode(int) { refuseInLayout(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setSensitivity(int iso) { patchU16(kOffSensitivityISO, iso); }
void BRX_Logic_CameraSettingsByStructM::setKeyLock(bool) { refuseInLayout(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setFlashXSymbol(bool) { refuseInLayout(BRX_METHOD); }
void BRX_Logic_CameraSettingsByStructM::setLockAEAF(bool) { refuseInLayout(BRX_METHOD); }

void BRX_Logic_CameraSettingsByStructM::setVideoResAndFrRate(int code)
{
    const auto found = std::find_if(std::begin(kVideoModes), std::end(kVideoModes),
                                    [code](const VideoMode& mode) { return mode.code == code; });
    patchU8(kOffVideoMode, found == std::end(kVideoModes) ? kVideoModeNone : found->number);
}

// Without the blank the struct record's line ends in.
void BRX_Logic_CameraSettingsByStructM::setVideoFormatResol(int) { refuseInLayout(BRX_METHOD); }

void BRX_Logic_CameraSettingsByStructM::setExposureMode(int code)
{
    const auto found = std::find_if(std::begin(kExposureModes), std::end(kExposureModes),
                                    [code](const ExposureMode& mode) { return mode.code == code; });
    patchU8(kOffExposureMode, found == std::end(kExposureModes) ? 0 : found->number);
}

void BRX_Logic_CameraSettingsByStructM::setAperture(double) { refuseInLayout(BRX_METHOD); }

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
bool BRX_Logic_CameraSettingsByStructM::lockAEAF() const { return defaultInLayout(BRX_METHOD, false); }

int BRX_Logic_CameraSettingsByStructM::videoResAndFrRate() const
{
    const int number = m_block.u8(kOffVideoMode);
    const auto found = std::find_if(std::begin(kVideoModes), std::end(kVideoModes),
                                    [number](const VideoMode& mode) { return mode.number == number; });
    return found == std::end(kVideoModes) ? kVideoCodeNone : found->code;
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
int BRX_Logic_CameraSettingsByStructM::powerSwitch() const { return notAvailable(BRX_METHOD, 0); }

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

double BRX_Logic_CameraSettingsByStructM::aperture() const { return notAvailable(BRX_METHOD, 0.0); }
int BRX_Logic_CameraSettingsByStructM::focusDistance() const { return notAvailable(BRX_METHOD, 0); }

qint8 BRX_Logic_CameraSettingsByStructM::focusConfirmation() const
{
    return notAvailable(BRX_METHOD, m_block.s8(kOffFocusConfirmation));
}

bool BRX_Logic_CameraSettingsByStructM::focusConfirmationBadSignal() const { return true; }
bool BRX_Logic_CameraSettingsByStructM::focusConfirmationEnabled() const { return false; }

qint8 BRX_Logic_CameraSettingsByStructM::lightBalance() const
{
    // Whole EV of the meter reading, halves rounded up; kept within the
    // signed byte so an extreme reading cannot wrap round to the other sign.
    const double balance = roundHalfUp(lightMeter() / 128.0);
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
