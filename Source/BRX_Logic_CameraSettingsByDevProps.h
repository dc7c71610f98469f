#ifndef BRX_LOGIC_CAMERASETTINGSBYDEVPROPS_H
#define BRX_LOGIC_CAMERASETTINGSBYDEVPROPS_H

#include "BRX_Logic_CameraSettingsBase.h"
#include "BRX_Logic_SettingsChanges.h"

#include <memory>

class BRX_Logic_APEXConverterShutterTime;

// Settings record of every product the struct records do not serve: each
// setting is one PTP device property, read and written on its own through the
// camera access's typed accessors. One table (the property rows, in the order
// of the full refresh) drives both the full refresh and the read of a single
// property the camera reported changed. Setters write their property at once,
// so sendToCamera has nothing to do.
class BRX_Logic_CameraSettingsByDevProps : public BRX_Logic_CameraSettingsBase
{
public:
    // The held properties, in the order of the full refresh.
    enum Property {
        kBatteryInfo,
        kBatteryLevelIntern,
        kBatteryLevelExtern,
        kExposureTimeMax,
        kPowerSwitch,
        kSelfTimerRestTime,
        kBulbModeTime,
        kFlashStatus,
        kFlashSyncStatus,
        kFocusConfirmEnabled,
        kFocusConfirmBadSignal,
        kFocusConfirmValue,
        kFocusDistance,
        kAutoFocusLimit,
        kAutoFocusLimitDist,
        kElectronicShutter,
        kExposTimeBulbPreset,
        kLensConnectionType,
        kOrientation,
        kSensitivityASA,
        kSensitivityAuto,   // 1 when the camera's exposure index is 0
        kDriveMode,         // the camera's StillCaptureMode value
        kIntervalFrames,
        kIntervalTime,
        kFocusMode,
        kFileFormat,
        kExposureMeteringMode,
        kExposureProgram,
        kExposureCompensation,
        kExposCompensStepSize,
        kBracketingEnabled,
        kBracketingFrames,
        kBracketingAperture,
        kBracketingAutomatic,
        kMirrorUpMode,
        kSensorFormat,
        kPhotoAspectRatio,
        kPhotoResolutionJPG,
        kVideoFileFormat,
        kVideoResAndFrRate,
        kVideoFormatResol,
        kContrast,
        kSharpness,
        kSaturation,
        kMonochrome,
        kAudioLevel,
        kAudioWindElim,
        kAudioVolSpeaker,
        kAudioVolHeadphone,
        kAudioVolMicrophone,
        kExposureSimulation,
        kWhiteBalance,
        kWhiteBalanceColorTemp,
        kColorManagement,
        kExternalShooting,
        kAutoreviewDuration,
        kAutoPowerOff,
        kKeyLock,
        kLanguage,
        kLightmeter,
        kExposureTime,
        kAperture,
        kPropertyCount
    };

    BRX_Logic_CameraSettingsByDevProps(BRX_Commu_CameraAccess_Base* cameraAccess,
                                       BRX_Logic_DeviceInfo* deviceInfo);
    ~BRX_Logic_CameraSettingsByDevProps() override;

    // The value held for a property, as read from or written to the camera.
    qint32 heldValue(Property property) const { return m_values[property]; }

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

private:
    typedef bool (BRX_Logic_CameraSettingsByDevProps::*Gate)() const;
    typedef void (BRX_Logic_CameraSettingsByDevProps::*StoreHook)(BRX_Logic_SettingsChanges* changes);
    typedef bool (*Reader)(BRX_Commu_CameraAccess_Base* access, qint32& value);
    typedef bool (*Writer)(BRX_Commu_CameraAccess_Base* access, qint32 value);

    // One held property: the codes that select it (its read code first), its
    // log label, how it is read and written, the change flag it raises, the
    // condition under which the full refresh reads it (null: always) and what
    // else follows when a new value is stored.
    struct Row
    {
        quint16 codes[3];
        const char* label;
        Reader read;
        Writer write;
        BRX_Logic_SettingsChanges::Flag flag;
        Gate gate;
        StoreHook afterStore;
    };
    static const Row kRows[];

    void readRow(const char* method, Property property, BRX_Logic_SettingsChanges* changes);
    // Stores value and writes it to the camera, unless it is held already.
    // False when the camera did not take it (see takeBack).
    bool writeIfChanged(Property property, qint32 value);
    // After a write the camera did not take: previous is held again, the
    // property is read back from the camera and the set counts as refused.
    void takeBack(Property property, qint32 previous, qint32 refused);
    qint32 held(Property property) const { return m_values[property]; }
    double secondsOfCode(qint32 code) const;

    // Refresh gates beyond the capability queries.
    bool externalBatteryPresent() const;
    bool bracketingByProperties() const;
    // Products 0x2041 and 0x2061 express bracketing through the drive mode.
    bool bracketingByDriveMode() const;
    bool isProduct(int product) const { return productId() == product; }
    // 0x2041 and 0x2061 lack several features of the other products.
    bool isReducedModel() const;
    // Product 0x2031 may take StillCaptureMode 7 for single shots.
    bool captureMode7() const;

    void driveModeStored(BRX_Logic_SettingsChanges* changes);
    void bulbPresetStored(BRX_Logic_SettingsChanges* changes);
    void stepSizeStored(BRX_Logic_SettingsChanges* changes);

    std::unique_ptr<BRX_Logic_APEXConverterShutterTime> m_shutterConverter;
    qint32 m_values[kPropertyCount];
};

#endif
