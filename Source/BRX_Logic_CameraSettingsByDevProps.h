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
    // False while a setting's property was asked for and never answered;
    // on products that bracket through the drive mode, bracketingEnabled
    // follows the drive mode.
    bool holdsCameraValue(BRX_Logic_SettingsChanges::Flag setting) const override;

    BRX_SETTINGS_OVERRIDES

private:
    typedef bool (BRX_Logic_CameraSettingsByDevProps::*Gate)() const;
    typedef void (BRX_Logic_CameraSettingsByDevProps::*StoreHook)(BRX_Logic_SettingsChanges* changes);
    typedef bool (*Reader)(BRX_Commu_CameraAccess_Base* access, qint32& value);
    typedef bool (*Writer)(BRX_Commu_CameraAccess_Base* access, qint32 value);
    // Where each held value comes from: the constructor's preset (not asked
    // yet, or not for this product), nowhere (asked, no answer yet), or the
    // camera. Only the second keeps a value from the host.
    enum ValueState : quint8 { kPreset, kUnanswered, kKnown };

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
    // The camera answered the value or took it: the value is the camera's.
    void markKnown(Property property) { m_states[property] = kKnown; }
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
    ValueState m_states[kPropertyCount];
};

#endif
