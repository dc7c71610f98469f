#ifndef BRX_LOGIC_CAMERASETTINGSBYSTRUCTM_H
#define BRX_LOGIC_CAMERASETTINGSBYSTRUCTM_H

#include "BRX_Logic_CameraSettingsByStruct.h"

// Settings record of products 0x2021 and 0x2051: the same 100-byte block
// exchange as the struct record, with the M layout. Compensation runs in
// thirds, byte 0x02 carries the video mode, sensitivity is a 16-bit ISO
// number, exposure modes, warnings and battery fields are encoded
// differently, and there is no aperture, focus, mirror-up, key lock or flash
// symbol. Only the operations that differ are overridden here.
class BRX_Logic_CameraSettingsByStructM : public BRX_Logic_CameraSettingsByStruct
{
public:
    BRX_Logic_CameraSettingsByStructM(BRX_Commu_CameraAccess_Base* cameraAccess,
                                      BRX_Logic_DeviceInfo* deviceInfo);

    void dump(const QString& caller) const override;
    void recvFromCamera(quint16 devicePropertyCode, BRX_Logic_SettingsChanges* changes) override;
    void recvFromCamera(BRX_Logic_SettingsChanges* changes) override;
    void sendToCamera() override;

    void setFocusMode(int code) override;
    void setExposCompens(int milliEV) override;
    void setExposCompensStepSize(int milliEV) override;
    void setBracketingAutomatic(int automatic) override;
    void setMirrorUpMode(int code) override;
    void setSensitivity(int iso) override;
    void setKeyLock(bool on) override;
    void setFlashXSymbol(bool on) override;
    void setAutoreviewDuration(int code) override;
    void setLockAEAF(bool on) override;
    void setSensorFormat(int code) override;
    void setPhotoAspectRatio(int code) override;
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
    void setExposureMode(int code) override;
    void setAperture(double fNumber) override;
    void setAutoFocusLimit(int limit) override;
    void setIntervalFrames(int frames) override;
    void setIntervalTime(int time) override;

    int focusMode() const override;
    int exposCompens() const override;
    int shutterMode() const override;
    int mirrorUpMode() const override;
    int sensitivity() const override;
    bool sensitivityAuto() const override;
    bool keyLock() const override;
    bool flashXSymbol() const override;
    qint16 lightMeter() const override;
    int autoreviewDuration() const override;
    bool lockAEAF() const override;
    int sensorFormat() const override;
    int photoAspectRatio() const override;
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
    quint8 batterySource() const override;
    int batteryInfo() const override;
    quint8 batteryLevelExtern() const override;
    int powerSwitch() const override;
    int selfTimerRestTime() const override;
    int bulbModeTime() const override;
    quint8 warnings() const override;
    int exposureMode() const override;
    double aperture() const override;
    int focusDistance() const override;
    qint8 focusConfirmation() const override;
    bool focusConfirmationBadSignal() const override;
    bool focusConfirmationEnabled() const override;
    bool autoFocusLimit() const override;
    int autoFocusLimitDistance() const override;
    qint8 lightBalance() const override;

    bool hasFocusMode() const override;
    bool hasVideoResAndFrRate() const override;
    bool hasFocusConfirmation() const override;
    bool hasFocusDistance() const override;
    bool hasMirrorUpMode() const override;
    bool hasPowerSwitch() const override;
    bool hasWhiteBalance() const override;
    bool hasAperture() const override;
    bool hasJpgColorSpace() const override;

    int intervalFrames() const override;
    int intervalTime() const override;

private:
    enum OffsetM {
        kOffVideoMode = 0x02,
        kOffLightMeter = 0x1b,
        kOffSensitivityISO = 0x45,
    };

    void refuseInStructModeM(const char* method);
    static void logDefaultInStructModeM(const char* method);
    // A warning bit that became set is news; bit 4 only while a continuous
    // drive mode (2 or 3) is selected.
    bool warningRaised(const BRX_Logic_SettingsBlock& before) const;
};

#endif
