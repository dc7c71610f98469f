#ifndef BRX_LOGIC_CAMERASETTINGSBYSTRUCT_H
#define BRX_LOGIC_CAMERASETTINGSBYSTRUCT_H

#include "BRX_Logic_CameraSettingsBase.h"
#include "BRX_Logic_SettingsBlock.h"
#include "BRX_Logic_SettingsChanges.h"

#include <memory>

class BRX_Logic_APEXConverterShutterTime;

// Settings record of products 0x2009 and 0x2011: all settings travel as one
// 100-byte block (getCameraSettings / setCameraSettings). Setters patch the
// held block; sendToCamera writes it back whole, so bytes this record does not
// interpret go back to the camera as they came. Reads the block at
// construction.
class BRX_Logic_CameraSettingsByStruct : public BRX_Logic_CameraSettingsBase
{
public:
    // A block field whose change raises a flag: width bytes at offset, masked;
    // nonZero compares only whether the field is 0.
    struct ChangeRule
    {
        int offset;
        int width;
        quint32 mask;
        BRX_Logic_SettingsChanges::Flag flag;
        bool nonZero;
    };

    BRX_Logic_CameraSettingsByStruct(BRX_Commu_CameraAccess_Base* cameraAccess,
                                     BRX_Logic_DeviceInfo* deviceInfo);
    ~BRX_Logic_CameraSettingsByStruct() override;

    // ISO number of a sensitivity index of this product's table, 0 for
    // automatic, an index outside the table or an unknown product.
    int sensitivityFromIndex(int index) const;
    // First index whose ISO number equals iso; 0 (automatic) when none does.
    int sensitivityToIndex(int iso) const;
    // The block as held (for diagnostics and tests).
    const BRX_Logic_SettingsBlock& block() const { return m_block; }

    void dump(const QString& caller) const override;
    void init() override;
    void exit() override;
    void recvFromCamera(quint16 devicePropertyCode, BRX_Logic_SettingsChanges* changes) override;
    void recvFromCamera(BRX_Logic_SettingsChanges* changes) override;
    void sendToCamera() override;

    void setDriveMode(int code) override;
    void setFocusMode(int code) override;
    void setExposMetering(int code) override;
    void setExposCompens(int milliEV) override;
    void setExposCompensStepSize(int milliEV) override;
    void setBracketEnabled(bool on) override;
    void setBracketImgNum(int images) override;
    void setBracketDeltaEV(int milliEV) override;
    void setBracketingAutomatic(int automatic) override;
    void setMirrorUpMode(int code) override;
    void setSensitivity(int iso) override;
    void setKeyLock(bool on) override;
    void setDngCompression(bool on) override;
    void setFlashXSymbol(bool on) override;
    void setFileFormat(int code) override;
    void setWhiteBalanceIndex(int code) override;
    void setWhiteBalanceColorTemp(int code) override;
    void setJpgColorSpace(int code) override;
    void setStorageType(int code) override;
    void setAutoreviewDuration(int code) override;
    void setAutoPowerOff(int code) override;
    void setLockAEAF(bool on) override;
    void setSensorFormat(int code) override;
    void setPhotoAspectRatio(int code) override;
    void setJpgResolution(int code) override;
    void setVideoFileFormat(int code) override;
    void setVideoResAndFrRate(int code) override;
    void setVideoFormatResol(int code) override;
    void setContrast(int code) override;
    void setSharpness(int code) override;
    void setSaturation(int code) override;
    void setMonochrome(int code) override;
    void setElectronicShutter(int code) override;
    void setExposTimeBulbPreset(int code) override;
    void setAudioLevel(int code) override;
    void setAudioWindElim(int code) override;
    void setAudioVolSpeaker(int volume) override;
    void setAudioVolHeadphone(int volume) override;
    void setAudioVolMicrophone(int volume) override;
    void setExposureSimulation(int code) override;
    void setLanguage(int code) override;
    void setExposureMode(int code) override;
    void setAperture(double fNumber) override;
    void setShutterTime(double seconds) override;
    void setAutoFocusLimit(int limit) override;
    void setIntervalFrames(int frames) override;
    void setIntervalTime(int time) override;

    int driveMode() const override;
    int focusMode() const override;
    int exposMetering() const override;
    int exposCompens() const override;
    int exposCompensStep() const override;
    bool bracketingEnabled() const override;
    int bracketingImageNumbers() const override;
    int bracketingDeltaEV() const override;
    int bracketingAutomatic() const override;
    int shutterMode() const override;
    int mirrorUpMode() const override;
    int sensitivity() const override;
    bool sensitivityAuto() const override;
    quint8 USBspeed() const override;
    quint8 RAMBufferFreeCaptures() const override;
    qint8 sensorBoardTemperature() const override;
    bool keyLock() const override;
    bool dngCompression() const override;
    bool flashXSymbol() const override;
    int fileFormat() const override;
    double maxShutterTime() const override;
    int whiteBalanceIndex() const override;
    int whiteBalanceColorTemp() const override;
    int jpgColorSpace() const override;
    int storageType() const override;
    qint16 lightMeter() const override;
    int autoreviewDuration() const override;
    int autoPowerOff() const override;
    bool lockAEAF() const override;
    int sensorFormat() const override;
    int photoAspectRatio() const override;
    int jpgResolution() const override;
    int videoFileFormat() const override;
    int videoResAndFrRate() const override;
    int videoFormatResol() const override;
    int contrast() const override;
    int sharpness() const override;
    int saturation() const override;
    int monochrome() const override;
    int electronicShutter() const override;
    int exposTimeBulbPreset() const override;
    int lensConnectionType() const override;
    int orientation() const override;
    int audioLevel() const override;
    int audioWindElim() const override;
    quint8 audioVolSpeaker() const override;
    quint8 audioVolHeadphone() const override;
    quint8 audioVolMicrophone() const override;
    int exposureSimulation() const override;
    int language() const override;
    quint8 batterySource() const override;
    int batteryInfo() const override;
    quint8 batteryLevelIntern() const override;
    quint8 batteryLevelExtern() const override;
    int powerSwitch() const override;
    int selfTimerRestTime() const override;
    int bulbModeTime() const override;
    quint8 warnings() const override;
    quint16 iSOValue() const override;
    int exposureMode() const override;
    double aperture() const override;
    double shutterTime() const override;
    int focusDistance() const override;
    qint8 focusConfirmation() const override;
    bool focusConfirmationBadSignal() const override;
    bool focusConfirmationEnabled() const override;
    bool autoFocusLimit() const override;
    int autoFocusLimitDistance() const override;
    qint8 lightBalance() const override;
    quint16 flashCompensation() const override;
    int flashStatus() const override;

    bool hasFocusMode() const override;
    bool hasMoveLensToPos() const override;
    bool hasMoveLensRightLeft() const override;
    bool hasSensorFormat() const override;
    bool hasPhotoAspectRatio() const override;
    bool hasJpgResolution() const override;
    bool hasVideoFileFormat() const override;
    bool hasVideoResAndFrRate() const override;
    bool hasVideoFormatResol() const override;
    bool hasContrast() const override;
    bool hasSharpness() const override;
    bool hasSaturation() const override;
    bool hasMonochrome() const override;
    bool hasAutoFocusLimit() const override;
    bool hasElectronicShutter() const override;
    bool hasExposTimeBulbPreset() const override;
    bool hasLensConnectionType() const override;
    bool hasOrientation() const override;
    bool hasAudioLevel() const override;
    bool hasAudioWindElim() const override;
    bool hasAudioVolSpeaker() const override;
    bool hasAudioVolHeadphone() const override;
    bool hasAudioVolMicrophone() const override;
    bool hasExposCompensStep() const override;
    bool hasExposureSimulation() const override;
    bool hasFocusConfirmation() const override;
    bool hasFocusDistance() const override;
    bool hasAutoPowerOff() const override;
    bool hasDngCompression() const override;
    bool hasInterval() const override;
    bool hasKeyLock() const override;
    bool hasLanguage() const override;
    bool hasLiveView() const override;
    bool hasMirrorUpMode() const override;
    bool hasPowerSwitch() const override;
    bool hasVideoRecording() const override;
    bool hasWhiteBalance() const override;
    bool hasPreview() const override;
    bool hasHMI() const override;
    bool hasFlashStatus() const override;
    bool hasFlashXSymbol() const override;
    bool hasWarnings() const override;
    bool hasAperture() const override;
    bool hasBracketingAutomatic() const override;
    bool hasJpgColorSpace() const override;
    bool hasStorageType() const override;
    bool hasAutoreviewDuration() const override;
    bool hasReservedFeature() const override;

    int intervalFrames() const override;
    int intervalTime() const override;

protected:
    // For the M layout, which reads the block itself once it is constructed.
    BRX_Logic_CameraSettingsByStruct(BRX_Commu_CameraAccess_Base* cameraAccess,
                                     BRX_Logic_DeviceInfo* deviceInfo, bool readBlock);

    // Offsets in the block; the M layout shares those it does not redefine.
    enum Offset {
        kOffDriveMode = 0x01,
        kOffFocusMode = 0x02,
        kOffExposMetering = 0x03,
        kOffExposCompens = 0x04,
        kOffBracketing = 0x05,       // 0 off, 1 three images, 2 five images
        kOffBracketDeltaEV = 0x06,
        kOffShutterMode = 0x07,
        kOffMirrorUpMode = 0x09,
        kOffSensitivity = 0x0a,
        kOffUSBspeed = 0x0b,
        kOffRAMBufferFreeCaptures = 0x0c,
        kOffSensorBoardTemperature = 0x0d,
        kOffSwitches = 0x0e,         // bits: keyLock, dngCompression, flashXSymbol
        kOffFileFormat = 0x0f,
        kOffMaxShutterTime = 0x10,
        kOffWhiteBalance = 0x12,
        kOffWhiteBalanceColorTemp = 0x13,
        kOffJpgColorSpace = 0x14,
        kOffStorageType = 0x1a,
        kOffAutoPowerOff = 0x2f,
        kOffLockAEAF = 0x3c,
        kOffJpgResolution = 0x3d,
        kOffLanguage = 0x40,
        kOffBatterySource = 0x41,
        kOffBatteryLevelIntern = 0x42,
        kOffBatteryLevelExtern = 0x43,
        kOffWarnings = 0x44,
        kOffISOValue = 0x45,
        kOffExposureMode = 0x47,
        kOffAperture = 0x48,
        kOffShutterTime = 0x4a,
        kOffFocusDistance = 0x4c,
        kOffFocusConfirmation = 0x50,
        kOffLightBalance = 0x51,
        kOffFlashCompensation = 0x52,
        kOffFlashStatus = 0x54,
        kOffFeatures = 0x62,
        kOffFeatures2 = 0x63,
    };
    enum SwitchBit { kBitKeyLock = 0, kBitDngCompression = 1, kBitFlashXSymbol = 2 };
    static const quint8 kNoBattery = 0xFF;

    // Reads the block; only a whole one replaces the held block (copied to
    // *before first), clears the changed flag, updates the bracketing memory
    // and dumps under flag 0x400 for caller. False, logged for method, when
    // the read failed: nothing changes but holdsCameraValues().
    bool receiveBlock(const char* method, const char* caller, BRX_Logic_SettingsBlock* before);
    // Writes the whole block and clears the changed flag, dumps for caller.
    // A block not read whole, or one the camera does not take, is not kept:
    // the block last on the camera comes back and the set counts as refused.
    void transmitBlock(const char* method, const char* caller);
    void takeBackBlock();
    // The last non-zero bracketing choice, from the held block.
    void rememberBracketing();
    // Writes flag = (field differs) for every rule, 0 for every zeroFlags entry.
    static void flagDifferences(const BRX_Logic_SettingsBlock& before, const BRX_Logic_SettingsBlock& now,
                                const ChangeRule* rules, size_t ruleCount,
                                const BRX_Logic_SettingsChanges::Flag* zeroFlags, size_t zeroCount,
                                BRX_Logic_SettingsChanges* changes);

    // Patch helpers: store when different and mark the record changed.
    void patchU8(int offset, int value);
    void patchU16(int offset, int value);
    void patchBit(int offset, int bit, bool on);

    double secondsOfCode(qint16 code) const;
    // "0x%04X = %d (...)" lines of the raw block dump.
    void dumpBlock(const QString& caller) const;
    void dumpMaxShutterTime(const char* method) const;
    void dumpShutterTime(const char* method) const;
    static const FeatureLine kFeatureLines[];
    static const size_t kFeatureLineCount;

    BRX_Logic_SettingsBlock m_block;
    // The block as the camera last had it: read, or taken by it.
    BRX_Logic_SettingsBlock m_onCamera;
    std::unique_ptr<BRX_Logic_APEXConverterShutterTime> m_shutterConverter;
    bool m_fiveImageBracketing = false;

    void refuseInStructMode(const char* method);
    static void logDefaultInStructMode(const char* method);
};

#endif
