#ifndef BRX_LOGIC_CAMERASETTINGSBYSTRUCTM_H
#define BRX_LOGIC_CAMERASETTINGSBYSTRUCTM_H

#include "BRX_Logic_CameraSettingsByStruct.h"

// Settings record of products 0x2021 and 0x2051: the same 100-byte block
// exchange as the struct record, with the M layout. Compensation runs in
// thirds, byte 0x02 carries the video mode, sensitivity is a 16-bit ISO
// number, exposure modes, warnings and battery fields are encoded
// differently, and there is no aperture, focus, mirror-up, key lock or flash
// symbol. Only the operations that differ are overridden here; the others
// log under this class and its mode ("struct mode M").
class BRX_Logic_CameraSettingsByStructM : public BRX_Logic_CameraSettingsByStruct
{
public:
    BRX_Logic_CameraSettingsByStructM(BRX_Commu_CameraAccess_Base* cameraAccess,
                                      BRX_Logic_DeviceInfo* deviceInfo);

    void setFocusMode(int code) override;
    void setExposCompens(int milliEV) override;
    void setMirrorUpMode(int code) override;
    void setSensitivity(int iso) override;
    void setKeyLock(bool on) override;
    void setFlashXSymbol(bool on) override;
    void setLockAEAF(bool on) override;
    void setVideoResAndFrRate(int code) override;
    void setVideoFormatResol(int code) override;
    void setExposureMode(int code) override;
    void setAperture(double fNumber) override;

    int focusMode() const override;
    int exposCompens() const override;
    int shutterMode() const override;
    int mirrorUpMode() const override;
    int sensitivity() const override;
    bool sensitivityAuto() const override;
    bool keyLock() const override;
    bool flashXSymbol() const override;
    qint16 lightMeter() const override;
    bool lockAEAF() const override;
    int videoResAndFrRate() const override;
    quint8 batterySource() const override;
    int batteryInfo() const override;
    quint8 batteryLevelExtern() const override;
    int powerSwitch() const override;
    quint8 warnings() const override;
    int exposureMode() const override;
    double aperture() const override;
    int focusDistance() const override;
    qint8 focusConfirmation() const override;
    bool focusConfirmationBadSignal() const override;
    bool focusConfirmationEnabled() const override;
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

protected:
    // A warning bit that became set is news; bit 4 only while a continuous
    // drive mode (2 or 3) is selected.
    bool warningRaised(const BRX_Logic_SettingsBlock& before) const override;

private:
    enum OffsetM {
        kOffVideoMode = 0x02,
        kOffLightMeter = 0x1b,
        kOffSensitivityISO = 0x45,
    };

    static const Layout kLayoutM;
};

#endif
