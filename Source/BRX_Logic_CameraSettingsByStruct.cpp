#include "BRX_Logic_CameraSettingsByStruct.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_APEXConverterShutterTime.h"

#include <algorithm>
#include <iterator>
#include <string>

typedef BRX_Logic_SettingsChanges Changes;

namespace {

// ISO number by sensitivity index; index 0 is automatic.
struct SensitivityTable
{
    int productId;
    int count;
    int iso[7];
};

const SensitivityTable kSensitivityTables[] = {
    {0x2009, 6, {0, 80, 160, 320, 640, 1250, 0}},
    {0x2011, 7, {0, 50, 100, 200, 400, 800, 1600}},
};

const SensitivityTable* sensitivityTable(int productId, const char* method)
{
    for (const SensitivityTable& table : kSensitivityTables)
        if (table.productId == productId)
            return &table;
    debugPrint(kDebugAlways, "%s - unknown ProductId 0x%X", method, productId);
    return nullptr;
}

// Exposure compensation is an index 0..12 in half steps, 6 = 0 EV.
const int kCompensLimit = 3000;
const int kCompensStep = 500;
const int kCompensMaxIndex = 12;

const BRX_Logic_CameraSettingsByStruct::ChangeRule kChangeRules[] = {
    {0x41, 3, 0xFFFFFF, &Changes::batteryInfo, false},  // source and both levels
    {0x42, 1, 0xFF, &Changes::batteryLevelIntern, false},
    {0x43, 1, 0xFF, &Changes::batteryLevelExtern, false},
    {0x10, 2, 0xFFFF, &Changes::maxShutterTime, false},
    {0x07, 1, 0xFF, &Changes::powerSwitch, false},
    {0x01, 1, 0xFF, &Changes::driveMode, false},
    {0x02, 1, 0xFF, &Changes::focusMode, false},
    {0x03, 1, 0xFF, &Changes::exposMetering, false},
    {0x04, 1, 0xFF, &Changes::exposCompens, false},
    {0x05, 1, 0xFF, &Changes::bracketingEnabled, true},
    {0x05, 1, 0xFF, &Changes::bracketingImageNumbers, false},
    {0x06, 1, 0xFF, &Changes::bracketingDeltaEV, false},
    {0x09, 1, 0xFF, &Changes::mirrorUpMode, false},
    {0x0a, 1, 0xFF, &Changes::sensitivity, false},
    {0x0e, 1, 0x01, &Changes::keyLock, false},
    {0x0e, 1, 0x02, &Changes::dngCompression, false},
    {0x0e, 1, 0x04, &Changes::flashXSymbol, false},
    {0x0f, 1, 0xFF, &Changes::fileFormat, false},
    {0x12, 1, 0xFF, &Changes::whiteBalanceIndex, false},
    {0x13, 1, 0xFF, &Changes::whiteBalanceColorTemp, false},
    {0x14, 1, 0xFF, &Changes::jpgColorSpace, false},
    {0x1a, 1, 0xFF, &Changes::storageType, false},
    {0x2f, 1, 0xFF, &Changes::autoPowerOff, false},
    {0x3d, 1, 0xFF, &Changes::jpgResolution, false},
    {0x40, 1, 0xFF, &Changes::language, false},
    {0x47, 1, 0xFF, &Changes::exposureMode, false},
    {0x48, 2, 0xFFFF, &Changes::aperture, false},
    {0x4a, 2, 0xFFFF, &Changes::shutterTime, false},
    {0x4c, 4, 0xFFFFFFFF, &Changes::focusDistance, false},
    {0x50, 1, 0xFF, &Changes::focusConfirmation, false},
    {0x51, 1, 0xFF, &Changes::lightBalance, false},
    {0x54, 1, 0xFF, &Changes::flashStatus, false},
};

const Changes::Flag kAlwaysUnchanged[] = {
    &Changes::exposCompensStep,
    &Changes::bracketingAutomatic,
    &Changes::focusConfirmationEnabled,
    &Changes::focusConfirmationBadSignal,
};

}  // namespace

const BRX_Logic_CameraSettingsByStruct::Layout BRX_Logic_CameraSettingsByStruct::kLayout = {
    "BRX_Logic_CameraSettingsByStruct", "struct mode", kChangeRules, std::size(kChangeRules),
    kAlwaysUnchanged, std::size(kAlwaysUnchanged), kDumpStruct,
};

// The label of the operation running, as the layout's class names it.
#define BRX_RECORD_METHOD (recordLabel(__func__).c_str())

// --- Construction and transfer -----------------------------------------------

BRX_Logic_CameraSettingsByStruct::BRX_Logic_CameraSettingsByStruct(
    BRX_Commu_CameraAccess_Base* cameraAccess, BRX_Logic_DeviceInfo* deviceInfo)
    : BRX_Logic_CameraSettingsByStruct(cameraAccess, deviceInfo, kLayout)
{
    recvFromCamera(nullptr);
}

BRX_Logic_CameraSettingsByStruct::BRX_Logic_CameraSettingsByStruct(
    BRX_Commu_CameraAccess_Base* cameraAccess, BRX_Logic_DeviceInfo* deviceInfo, const Layout& layout)
    : BRX_Logic_CameraSettingsBase(cameraAccess, deviceInfo),
      m_layout(layout),
      m_shutterConverter(new BRX_Logic_APEXConverterShutterTime(productId()))
{
    setHoldsCameraValues(false);
}

BRX_Logic_CameraSettingsByStruct::~BRX_Logic_CameraSettingsByStruct() = default;

std::string BRX_Logic_CameraSettingsByStruct::recordLabel(const char* function) const
{
    return dumpCaller(function) + "()";
}

std::string BRX_Logic_CameraSettingsByStruct::dumpCaller(const char* function) const
{
    return std::string(m_layout.className) + "::" + function;
}

void BRX_Logic_CameraSettingsByStruct::init() {}

void BRX_Logic_CameraSettingsByStruct::exit() {}

void BRX_Logic_CameraSettingsByStruct::recvFromCamera(quint16 devicePropertyCode, Changes*)
{
    debugPrint(kDebugAlways, "%s - ignore changed device property 0x%4X", BRX_RECORD_METHOD, devicePropertyCode);
}

void BRX_Logic_CameraSettingsByStruct::recvFromCamera(Changes* changes)
{
    BRX_Logic_SettingsBlock before;
    if (!receiveBlock(BRX_RECORD_METHOD, &before) || !changes)
        return;
    flagDifferences(before, changes);
    changes->warning = warningRaised(before);
}

// A warning that went away is no news; only a new warning is.
bool BRX_Logic_CameraSettingsByStruct::warningRaised(const BRX_Logic_SettingsBlock& before) const
{
    return m_block.u8(kOffWarnings) != before.u8(kOffWarnings) && m_block.u8(kOffWarnings) != 0;
}

void BRX_Logic_CameraSettingsByStruct::sendToCamera()
{
    transmitBlock(BRX_RECORD_METHOD);
}

// A block that did not arrive whole is no news: the last one stays, so that
// nothing the camera did not report reaches the host or goes back to it.
bool BRX_Logic_CameraSettingsByStruct::receiveBlock(const char* method, BRX_Logic_SettingsBlock* before)
{
    BRX_Logic_SettingsBlock received;
    BRX_Commu_CameraAccess_Base* access = cameraAccess();
    if (!access || !access->getCameraSettings(received.data(), BRX_Logic_SettingsBlock::kSize)) {
        debugPrint(kDebugAlways, "%s - camera settings not received, keeping the last ones", method);
        setHoldsCameraValues(false);
        return false;
    }
    *before = m_block;
    m_block = m_onCamera = received;
    setHoldsCameraValues(true);
    clearChanged();
    rememberBracketing();
    if (isDebugFlagSet(kDebugSettings))
        dump(QString::fromStdString(dumpCaller("recvFromCamera")));
    return true;
}

// Only a block read from the camera goes back to it. One the camera does not
// take is taken back; as it may have taken it without answering, the block
// is read again before the next transfer.
void BRX_Logic_CameraSettingsByStruct::transmitBlock(const char* method)
{
    BRX_Commu_CameraAccess_Base* access = cameraAccess();
    if (!holdsCameraValues()) {
        debugPrint(kDebugAlways, "%s - camera settings not read, nothing sent", method);
        takeBackBlock();
    } else if (access && access->setCameraSettings(m_block.data(), BRX_Logic_SettingsBlock::kSize)) {
        m_onCamera = m_block;
        clearChanged();
    } else {
        debugPrint(kDebugAlways, "%s - camera settings not taken, keeping the camera's", method);
        takeBackBlock();
        setHoldsCameraValues(false);
    }
    if (isDebugFlagSet(kDebugSettings))
        dump(QString::fromStdString(dumpCaller("sendToCamera")));
}

void BRX_Logic_CameraSettingsByStruct::takeBackBlock()
{
    m_block = m_onCamera;
    clearChanged();
    rememberBracketing();
    markRefused();
}

void BRX_Logic_CameraSettingsByStruct::rememberBracketing()
{
    const quint8 bracketing = m_block.u8(kOffBracketing);
    if (bracketing == 1 || bracketing == 2)
        m_fiveImageBracketing = bracketing == 2;
}

void BRX_Logic_CameraSettingsByStruct::flagDifferences(const BRX_Logic_SettingsBlock& before, Changes* changes) const
{
    for (size_t i = 0; i < m_layout.ruleCount; ++i) {
        const ChangeRule& rule = m_layout.rules[i];
        quint32 old = before.readLE(rule.offset, rule.width) & rule.mask;
        quint32 value = m_block.readLE(rule.offset, rule.width) & rule.mask;
        if (rule.nonZero) {
            old = old != 0;
            value = value != 0;
        }
        changes->*rule.flag = old != value;
    }
    for (size_t i = 0; i < m_layout.unchangedCount; ++i)
        changes->*m_layout.unchanged[i] = 0;
}

// --- Patching the block ----------------------------------------------------

void BRX_Logic_CameraSettingsByStruct::patchU8(int offset, int value)
{
    if (m_block.setU8(offset, quint8(value)))
        markChanged();
}

void BRX_Logic_CameraSettingsByStruct::patchU16(int offset, int value)
{
    if (m_block.setU16(offset, quint16(value)))
        markChanged();
}

void BRX_Logic_CameraSettingsByStruct::patchBit(int offset, int bit, bool on)
{
    if (m_block.setBit(offset, bit, on))
        markChanged();
}

double BRX_Logic_CameraSettingsByStruct::secondsOfCode(qint16 code) const
{
    return m_shutterConverter->secondsFromCode(code, 1);
}

// --- Dump ----------------------------------------------------------------------

void BRX_Logic_CameraSettingsByStruct::dump(const QString& caller) const
{
    dumpBuffer("cameraSettings for " + caller + ":", QString(), m_block.data(), BRX_Logic_SettingsBlock::kSize,
               0, 16);
    const DumpCodes codes = {m_block.s16(kOffMaxShutterTime), m_block.s16(kOffAperture),
                             m_block.s16(kOffShutterTime)};
    dumpSettings(BRX_RECORD_METHOD, m_layout.dumpRecord, codes);
}

// --- Sensitivity -------------------------------------------------------------

int BRX_Logic_CameraSettingsByStruct::sensitivityFromIndex(int index) const
{
    const SensitivityTable* table = sensitivityTable(productId(), BRX_RECORD_METHOD);
    if (!table || index < 0 || index >= table->count)
        return 0;
    return table->iso[index];
}

int BRX_Logic_CameraSettingsByStruct::sensitivityToIndex(int iso) const
{
    const SensitivityTable* table = sensitivityTable(productId(), BRX_RECORD_METHOD);
    if (!table)
        return 0;
    const int* end = table->iso + table->count;
    const int* found = std::find(table->iso, end, iso);
    return found == end ? 0 : int(found - table->iso);
}

// --- Setters -------------------------------------------------------------------

void BRX_Logic_CameraSettingsByStruct::refuseInLayout(const char* method)
{
    debugPrint(kDebugAlways, "%s - functionality is not available in %s", method, m_layout.mode);
    markRefused();
}

void BRX_Logic_CameraSettingsByStruct::logDefault(const char* method, const char* mode)
{
    debugPrint(kDebugAlways, "%s - functionality is not available in %s, returning default", method, mode);
}

void BRX_Logic_CameraSettingsByStruct::setDriveMode(int code) { patchU8(kOffDriveMode, code); }
void BRX_Logic_CameraSettingsByStruct::setFocusMode(int code) { patchU8(kOffFocusMode, code); }
void BRX_Logic_CameraSettingsByStruct::setExposMetering(int code) { patchU8(kOffExposMetering, code); }

void BRX_Logic_CameraSettingsByStruct::setExposCompens(int milliEV)
{
    const int shifted = std::clamp(milliEV, -kCompensLimit, kCompensLimit) + kCompensLimit;
    patchU8(kOffExposCompens, (shifted + kCompensStep / 2) / kCompensStep);
}

void BRX_Logic_CameraSettingsByStruct::setExposCompensStepSize(int) { refuseInLayout(BRX_RECORD_METHOD); }

void BRX_Logic_CameraSettingsByStruct::setBracketEnabled(bool on)
{
    if (on == bracketingEnabled())
        return;
    patchU8(kOffBracketing, on ? (m_fiveImageBracketing ? 2 : 1) : 0);
}

void BRX_Logic_CameraSettingsByStruct::setBracketImgNum(int images)
{
    // The image count and the on/off state share one field, so choosing a
    // count also switches bracketing on.
    const quint8 field = images == 5 ? 2 : 1;
    if (m_block.setU8(kOffBracketing, field)) {
        m_fiveImageBracketing = field == 2;
        markChanged();
    }
}

void BRX_Logic_CameraSettingsByStruct::setBracketDeltaEV(int milliEV)
{
    const int code = milliEV == 500 ? 0 : milliEV == 2000 ? 2 : milliEV == 3000 ? 3 : 1;
    patchU8(kOffBracketDeltaEV, code);
}

void BRX_Logic_CameraSettingsByStruct::setBracketingAutomatic(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setMirrorUpMode(int code) { patchU8(kOffMirrorUpMode, code); }

// An ISO number outside the table is refused rather than taken as automatic.
void BRX_Logic_CameraSettingsByStruct::setSensitivity(int iso)
{
    const int index = sensitivityToIndex(iso);
    if (index == 0 && iso != 0)
        refuseIllegal(BRX_RECORD_METHOD, "sensitivity", iso);
    else
        patchU8(kOffSensitivity, index);
}

void BRX_Logic_CameraSettingsByStruct::setKeyLock(bool on) { patchBit(kOffSwitches, kBitKeyLock, on); }
void BRX_Logic_CameraSettingsByStruct::setDngCompression(bool on) { patchBit(kOffSwitches, kBitDngCompression, on); }
void BRX_Logic_CameraSettingsByStruct::setFlashXSymbol(bool on) { patchBit(kOffSwitches, kBitFlashXSymbol, on); }
void BRX_Logic_CameraSettingsByStruct::setFileFormat(int code) { patchU8(kOffFileFormat, code); }
void BRX_Logic_CameraSettingsByStruct::setWhiteBalanceIndex(int code) { patchU8(kOffWhiteBalance, code); }
void BRX_Logic_CameraSettingsByStruct::setWhiteBalanceColorTemp(int code) { patchU8(kOffWhiteBalanceColorTemp, code); }
void BRX_Logic_CameraSettingsByStruct::setJpgColorSpace(int code) { patchU8(kOffJpgColorSpace, code); }
void BRX_Logic_CameraSettingsByStruct::setStorageType(int code) { patchU8(kOffStorageType, code); }
void BRX_Logic_CameraSettingsByStruct::setAutoreviewDuration(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setAutoPowerOff(int code) { patchU8(kOffAutoPowerOff, code); }
void BRX_Logic_CameraSettingsByStruct::setLockAEAF(bool on) { patchU8(kOffLockAEAF, on); }
void BRX_Logic_CameraSettingsByStruct::setSensorFormat(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setPhotoAspectRatio(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setJpgResolution(int code) { patchU8(kOffJpgResolution, code); }
void BRX_Logic_CameraSettingsByStruct::setVideoFileFormat(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setVideoResAndFrRate(int) { refuseInLayout(BRX_RECORD_METHOD); }

void BRX_Logic_CameraSettingsByStruct::setVideoFormatResol(int)
{
    // This one line has always ended in a blank; log readers match it as is.
    debugPrint(kDebugAlways, "%s - functionality is not available in struct mode ", BRX_RECORD_METHOD);
    markRefused();
}

void BRX_Logic_CameraSettingsByStruct::setContrast(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setSharpness(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setSaturation(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setMonochrome(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setElectronicShutter(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setExposTimeBulbPreset(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setAudioLevel(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setAudioWindElim(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setAudioVolSpeaker(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setAudioVolHeadphone(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setAudioVolMicrophone(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setExposureSimulation(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setLanguage(int code) { patchU8(kOffLanguage, code); }
void BRX_Logic_CameraSettingsByStruct::setExposureMode(int code) { patchU8(kOffExposureMode, code); }

void BRX_Logic_CameraSettingsByStruct::setAperture(double fNumber)
{
    patchU16(kOffAperture, quint16(BRX_Logic_APEXConverterAperture::codeFromFNumber(fNumber)));
}

void BRX_Logic_CameraSettingsByStruct::setShutterTime(double seconds)
{
    patchU16(kOffShutterTime, quint16(m_shutterConverter->codeFromSeconds(seconds)));
}

void BRX_Logic_CameraSettingsByStruct::setAutoFocusLimit(int) { refuseInLayout(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setIntervalFrames(int) { refuseOnlyExternally(BRX_RECORD_METHOD); }
void BRX_Logic_CameraSettingsByStruct::setIntervalTime(int) { refuseOnlyExternally(BRX_RECORD_METHOD); }

// --- Getters -------------------------------------------------------------------

int BRX_Logic_CameraSettingsByStruct::driveMode() const { return m_block.u8(kOffDriveMode); }
int BRX_Logic_CameraSettingsByStruct::focusMode() const { return m_block.u8(kOffFocusMode); }
int BRX_Logic_CameraSettingsByStruct::exposMetering() const { return m_block.u8(kOffExposMetering); }

int BRX_Logic_CameraSettingsByStruct::exposCompens() const
{
    const int index = std::min<int>(m_block.u8(kOffExposCompens), kCompensMaxIndex);
    return (index - kCompensMaxIndex / 2) * kCompensStep;
}

int BRX_Logic_CameraSettingsByStruct::exposCompensStep() const { return kCompensStep; }
bool BRX_Logic_CameraSettingsByStruct::bracketingEnabled() const { return m_block.u8(kOffBracketing) != 0; }
int BRX_Logic_CameraSettingsByStruct::bracketingImageNumbers() const { return m_block.u8(kOffBracketing) == 2 ? 5 : 3; }

int BRX_Logic_CameraSettingsByStruct::bracketingDeltaEV() const
{
    switch (m_block.u8(kOffBracketDeltaEV)) {
    case 0: return 500;
    case 2: return 2000;
    case 3: return 3000;
    default: return 1000;
    }
}

int BRX_Logic_CameraSettingsByStruct::bracketingAutomatic() const { return 1; }
int BRX_Logic_CameraSettingsByStruct::shutterMode() const { return m_block.u8(kOffShutterMode); }
int BRX_Logic_CameraSettingsByStruct::mirrorUpMode() const { return m_block.u8(kOffMirrorUpMode); }
int BRX_Logic_CameraSettingsByStruct::sensitivity() const { return sensitivityFromIndex(m_block.u8(kOffSensitivity)); }
bool BRX_Logic_CameraSettingsByStruct::sensitivityAuto() const { return m_block.u8(kOffSensitivity) == 0; }
quint8 BRX_Logic_CameraSettingsByStruct::USBspeed() const { return m_block.u8(kOffUSBspeed); }
quint8 BRX_Logic_CameraSettingsByStruct::RAMBufferFreeCaptures() const { return m_block.u8(kOffRAMBufferFreeCaptures); }
qint8 BRX_Logic_CameraSettingsByStruct::sensorBoardTemperature() const { return m_block.s8(kOffSensorBoardTemperature); }
bool BRX_Logic_CameraSettingsByStruct::keyLock() const { return m_block.bit(kOffSwitches, kBitKeyLock); }
bool BRX_Logic_CameraSettingsByStruct::dngCompression() const { return m_block.bit(kOffSwitches, kBitDngCompression); }
bool BRX_Logic_CameraSettingsByStruct::flashXSymbol() const { return m_block.bit(kOffSwitches, kBitFlashXSymbol); }
int BRX_Logic_CameraSettingsByStruct::fileFormat() const { return m_block.u8(kOffFileFormat); }
double BRX_Logic_CameraSettingsByStruct::maxShutterTime() const { return secondsOfCode(m_block.s16(kOffMaxShutterTime)); }
int BRX_Logic_CameraSettingsByStruct::whiteBalanceIndex() const { return m_block.u8(kOffWhiteBalance); }
int BRX_Logic_CameraSettingsByStruct::whiteBalanceColorTemp() const { return m_block.u8(kOffWhiteBalanceColorTemp); }
int BRX_Logic_CameraSettingsByStruct::jpgColorSpace() const { return m_block.u8(kOffJpgColorSpace); }
int BRX_Logic_CameraSettingsByStruct::storageType() const { return m_block.u8(kOffStorageType); }
qint16 BRX_Logic_CameraSettingsByStruct::lightMeter() const { return qint16(lightBalance() * 128); }
int BRX_Logic_CameraSettingsByStruct::autoreviewDuration() const { return defaultInLayout(BRX_RECORD_METHOD, 5); }
int BRX_Logic_CameraSettingsByStruct::autoPowerOff() const { return m_block.u8(kOffAutoPowerOff); }
bool BRX_Logic_CameraSettingsByStruct::lockAEAF() const { return m_block.u8(kOffLockAEAF) != 0; }
int BRX_Logic_CameraSettingsByStruct::sensorFormat() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::photoAspectRatio() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::jpgResolution() const { return m_block.u8(kOffJpgResolution); }
int BRX_Logic_CameraSettingsByStruct::videoFileFormat() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::videoResAndFrRate() const { return defaultInLayout(BRX_RECORD_METHOD, 8); }
int BRX_Logic_CameraSettingsByStruct::videoFormatResol() const { return defaultInLayout(BRX_RECORD_METHOD, 3); }
// Every layout reports these four as missing in plain struct mode.
int BRX_Logic_CameraSettingsByStruct::contrast() const { return defaultInStructMode(BRX_RECORD_METHOD, 1); }
int BRX_Logic_CameraSettingsByStruct::sharpness() const { return defaultInStructMode(BRX_RECORD_METHOD, 1); }
int BRX_Logic_CameraSettingsByStruct::saturation() const { return defaultInStructMode(BRX_RECORD_METHOD, 1); }
int BRX_Logic_CameraSettingsByStruct::monochrome() const { return defaultInStructMode(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::electronicShutter() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::exposTimeBulbPreset() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::lensConnectionType() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::orientation() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::audioLevel() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::audioWindElim() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
quint8 BRX_Logic_CameraSettingsByStruct::audioVolSpeaker() const { return defaultInLayout(BRX_RECORD_METHOD, quint8(3)); }
quint8 BRX_Logic_CameraSettingsByStruct::audioVolHeadphone() const { return defaultInLayout(BRX_RECORD_METHOD, quint8(3)); }
quint8 BRX_Logic_CameraSettingsByStruct::audioVolMicrophone() const { return defaultInLayout(BRX_RECORD_METHOD, quint8(0)); }
int BRX_Logic_CameraSettingsByStruct::exposureSimulation() const { return defaultInLayout(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::language() const { return m_block.u8(kOffLanguage); }
quint8 BRX_Logic_CameraSettingsByStruct::batterySource() const { return m_block.u8(kOffBatterySource); }

int BRX_Logic_CameraSettingsByStruct::batteryInfo() const
{
    if (batterySource() == 0)
        return 3;
    const bool intern = batteryLevelIntern() != kNoBattery;
    const bool extern_ = batteryLevelExtern() != kNoBattery;
    if (intern)
        return extern_ ? 2 : 1;
    return extern_ ? 0 : 4;
}

quint8 BRX_Logic_CameraSettingsByStruct::batteryLevelIntern() const { return m_block.u8(kOffBatteryLevelIntern); }
quint8 BRX_Logic_CameraSettingsByStruct::batteryLevelExtern() const { return m_block.u8(kOffBatteryLevelExtern); }

int BRX_Logic_CameraSettingsByStruct::powerSwitch() const
{
    switch (shutterMode()) {
    case 0: return 2;
    case 1: return 3;
    default: return 0;
    }
}

int BRX_Logic_CameraSettingsByStruct::selfTimerRestTime() const { return notAvailable(BRX_RECORD_METHOD, -1); }
int BRX_Logic_CameraSettingsByStruct::bulbModeTime() const { return notAvailable(BRX_RECORD_METHOD, -1); }
quint8 BRX_Logic_CameraSettingsByStruct::warnings() const { return m_block.u8(kOffWarnings); }
quint16 BRX_Logic_CameraSettingsByStruct::iSOValue() const { return m_block.u16(kOffISOValue); }
int BRX_Logic_CameraSettingsByStruct::exposureMode() const { return m_block.u8(kOffExposureMode); }

double BRX_Logic_CameraSettingsByStruct::aperture() const
{
    return BRX_Logic_APEXConverterAperture::fNumberFromCode(m_block.s16(kOffAperture));
}

double BRX_Logic_CameraSettingsByStruct::shutterTime() const { return secondsOfCode(m_block.s16(kOffShutterTime)); }
int BRX_Logic_CameraSettingsByStruct::focusDistance() const { return m_block.s32(kOffFocusDistance); }
qint8 BRX_Logic_CameraSettingsByStruct::focusConfirmation() const { return m_block.s8(kOffFocusConfirmation); }
bool BRX_Logic_CameraSettingsByStruct::focusConfirmationBadSignal() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::focusConfirmationEnabled() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::autoFocusLimit() const { return notAvailable(BRX_RECORD_METHOD, false); }
int BRX_Logic_CameraSettingsByStruct::autoFocusLimitDistance() const { return notAvailable(BRX_RECORD_METHOD, 0); }
qint8 BRX_Logic_CameraSettingsByStruct::lightBalance() const { return m_block.s8(kOffLightBalance); }
quint16 BRX_Logic_CameraSettingsByStruct::flashCompensation() const { return m_block.u16(kOffFlashCompensation); }
int BRX_Logic_CameraSettingsByStruct::flashStatus() const { return m_block.u8(kOffFlashStatus); }

// --- Capabilities ----------------------------------------------------------------

bool BRX_Logic_CameraSettingsByStruct::hasFocusMode() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasMoveLensToPos() const { return m_block.bit(kOffFeatures, 0); }
bool BRX_Logic_CameraSettingsByStruct::hasMoveLensRightLeft() const { return m_block.bit(kOffFeatures, 1); }
bool BRX_Logic_CameraSettingsByStruct::hasSensorFormat() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasPhotoAspectRatio() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasJpgResolution() const { return m_block.bit(kOffFeatures, 2); }
bool BRX_Logic_CameraSettingsByStruct::hasVideoFileFormat() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasVideoResAndFrRate() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasVideoFormatResol() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasContrast() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasSharpness() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasSaturation() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasMonochrome() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasAutoFocusLimit() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasElectronicShutter() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasExposTimeBulbPreset() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasLensConnectionType() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasOrientation() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasAudioLevel() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasAudioWindElim() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasAudioVolSpeaker() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasAudioVolHeadphone() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasAudioVolMicrophone() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasExposCompensStep() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasExposureSimulation() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasFocusConfirmation() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasFocusDistance() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasAutoPowerOff() const { return m_block.bit(kOffFeatures, 3); }
bool BRX_Logic_CameraSettingsByStruct::hasDngCompression() const { return m_block.bit(kOffFeatures, 4); }
bool BRX_Logic_CameraSettingsByStruct::hasInterval() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasKeyLock() const { return m_block.bit(kOffFeatures, 5); }
bool BRX_Logic_CameraSettingsByStruct::hasLanguage() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasLiveView() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasMirrorUpMode() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasPowerSwitch() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasVideoRecording() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasWhiteBalance() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasPreview() const { return m_block.bit(kOffFeatures, 6); }
bool BRX_Logic_CameraSettingsByStruct::hasHMI() const { return m_block.bit(kOffFeatures, 7); }
bool BRX_Logic_CameraSettingsByStruct::hasFlashStatus() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasFlashXSymbol() const { return m_block.bit(kOffFeatures2, 0); }
bool BRX_Logic_CameraSettingsByStruct::hasWarnings() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasAperture() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasBracketingAutomatic() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasJpgColorSpace() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasStorageType() const { return true; }
bool BRX_Logic_CameraSettingsByStruct::hasAutoreviewDuration() const { return false; }
bool BRX_Logic_CameraSettingsByStruct::hasReservedFeature() const { return false; }
int BRX_Logic_CameraSettingsByStruct::intervalFrames() const { return onlyExternally(BRX_RECORD_METHOD, 0); }
int BRX_Logic_CameraSettingsByStruct::intervalTime() const { return onlyExternally(BRX_RECORD_METHOD, 0); }
