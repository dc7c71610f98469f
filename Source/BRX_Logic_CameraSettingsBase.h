#ifndef BRX_LOGIC_CAMERASETTINGSBASE_H
#define BRX_LOGIC_CAMERASETTINGSBASE_H

#include <QString>
#include <QtGlobal>

#include <cstddef>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_DeviceInfo;
struct BRX_Logic_SettingsChanges;

// The camera's current settings as the camera model sees them. Three camera
// families exchange settings differently (a 100-byte block in two layouts, or
// one device property each); each family has its own record class behind this
// interface, so the camera model never needs to know which one it holds
// (BRX_Logic_CameraSettingsFactory builds the right one).
//
// Units: enumerated settings are the camera's own int codes; exposure
// compensation, its step and the bracketing step are milli-EV; sensitivity is
// an ISO number with 0 = automatic; shutter time in seconds and aperture as
// f-number.
//
// Writing: a setter stores a value that differs from the held one and marks
// the record changed; the caller then calls sendIfChanged(), whose result
// says whether the camera took it. A setter the record cannot serve logs,
// changes nothing and counts as refused. A write the camera refuses or does
// not answer leaves the record with the camera's values, never the refused ones.
//
// Not thread-safe: created, used and destroyed on the controller thread only.
class BRX_Logic_CameraSettingsBase
{
public:
    // Neither pointer is owned; both must outlive the record.
    BRX_Logic_CameraSettingsBase(BRX_Commu_CameraAccess_Base* cameraAccess,
                                 BRX_Logic_DeviceInfo* deviceInfo);
    virtual ~BRX_Logic_CameraSettingsBase();

    // --- Life cycle and transfer --------------------------------------------
    // Writes the record to the debug log (flag 0x400); caller names the reason.
    virtual void dump(const QString& caller) const = 0;
    // Hooks around the record's life in the camera model.
    virtual void init() = 0;
    virtual void exit() = 0;
    // The camera reported one device property changed: re-read it and flag
    // the settings it feeds in changes (which may be null).
    virtual void recvFromCamera(quint16 devicePropertyCode, BRX_Logic_SettingsChanges* changes) = 0;
    // Re-reads all settings and clears the changed flag; a setting whose
    // value differs from before is flagged in changes unless it is null.
    // What the camera does not report keeps its value and raises no flag.
    virtual void recvFromCamera(BRX_Logic_SettingsChanges* changes) = 0;
    // Writes pending changes to the camera and clears the changed flag; what
    // the camera does not take is taken back (see sendIfChanged).
    virtual void sendToCamera() = 0;

    // --- Setters --------------------------------------------------------------
    virtual void setDriveMode(int code) = 0;
    virtual void setFocusMode(int code) = 0;
    virtual void setExposMetering(int code) = 0;
    virtual void setExposCompens(int milliEV) = 0;
    virtual void setExposCompensStepSize(int milliEV) = 0;
    virtual void setBracketEnabled(bool on) = 0;
    virtual void setBracketImgNum(int images) = 0;
    virtual void setBracketDeltaEV(int milliEV) = 0;
    virtual void setBracketingAutomatic(int automatic) = 0;
    virtual void setMirrorUpMode(int code) = 0;
    virtual void setSensitivity(int iso) = 0;
    virtual void setKeyLock(bool on) = 0;
    virtual void setDngCompression(bool on) = 0;
    virtual void setFlashXSymbol(bool on) = 0;
    virtual void setFileFormat(int code) = 0;
    virtual void setWhiteBalanceIndex(int code) = 0;
    virtual void setWhiteBalanceColorTemp(int code) = 0;
    virtual void setJpgColorSpace(int code) = 0;
    virtual void setStorageType(int code) = 0;
    virtual void setAutoreviewDuration(int code) = 0;
    virtual void setAutoPowerOff(int code) = 0;
    virtual void setLockAEAF(bool on) = 0;
    virtual void setSensorFormat(int code) = 0;
    virtual void setPhotoAspectRatio(int code) = 0;
    virtual void setJpgResolution(int code) = 0;
    virtual void setVideoFileFormat(int code) = 0;
    virtual void setVideoResAndFrRate(int code) = 0;
    virtual void setVideoFormatResol(int code) = 0;
    virtual void setContrast(int code) = 0;
    virtual void setSharpness(int code) = 0;
    virtual void setSaturation(int code) = 0;
    virtual void setMonochrome(int code) = 0;
    virtual void setElectronicShutter(int code) = 0;
    virtual void setExposTimeBulbPreset(int code) = 0;
    virtual void setAudioLevel(int code) = 0;
    virtual void setAudioWindElim(int code) = 0;
    virtual void setAudioVolSpeaker(int volume) = 0;
    virtual void setAudioVolHeadphone(int volume) = 0;
    virtual void setAudioVolMicrophone(int volume) = 0;
    virtual void setExposureSimulation(int code) = 0;
    virtual void setLanguage(int code) = 0;
    virtual void setExposureMode(int code) = 0;
    virtual void setAperture(double fNumber) = 0;
    virtual void setShutterTime(double seconds) = 0;
    virtual void setAutoFocusLimit(int limit) = 0;
    virtual void setIntervalFrames(int frames) = 0;
    virtual void setIntervalTime(int time) = 0;

    // --- Getters --------------------------------------------------------------
    virtual int driveMode() const = 0;
    virtual int focusMode() const = 0;
    virtual int exposMetering() const = 0;
    virtual int exposCompens() const = 0;
    virtual int exposCompensStep() const = 0;
    virtual bool bracketingEnabled() const = 0;
    virtual int bracketingImageNumbers() const = 0;
    virtual int bracketingDeltaEV() const = 0;
    virtual int bracketingAutomatic() const = 0;
    virtual int shutterMode() const = 0;
    virtual int mirrorUpMode() const = 0;
    virtual int sensitivity() const = 0;
    virtual bool sensitivityAuto() const = 0;
    virtual quint8 USBspeed() const = 0;
    virtual quint8 RAMBufferFreeCaptures() const = 0;
    virtual qint8 sensorBoardTemperature() const = 0;
    virtual bool keyLock() const = 0;
    virtual bool dngCompression() const = 0;
    virtual bool flashXSymbol() const = 0;
    virtual int fileFormat() const = 0;
    virtual double maxShutterTime() const = 0;
    virtual int whiteBalanceIndex() const = 0;
    virtual int whiteBalanceColorTemp() const = 0;
    virtual int jpgColorSpace() const = 0;
    virtual int storageType() const = 0;
    virtual qint16 lightMeter() const = 0;
    virtual int autoreviewDuration() const = 0;
    virtual int autoPowerOff() const = 0;
    virtual bool lockAEAF() const = 0;
    virtual int sensorFormat() const = 0;
    virtual int photoAspectRatio() const = 0;
    virtual int jpgResolution() const = 0;
    virtual int videoFileFormat() const = 0;
    virtual int videoResAndFrRate() const = 0;
    virtual int videoFormatResol() const = 0;
    virtual int contrast() const = 0;
    virtual int sharpness() const = 0;
    virtual int saturation() const = 0;
    virtual int monochrome() const = 0;
    virtual int electronicShutter() const = 0;
    virtual int exposTimeBulbPreset() const = 0;
    virtual int lensConnectionType() const = 0;
    virtual int orientation() const = 0;
    virtual int audioLevel() const = 0;
    virtual int audioWindElim() const = 0;
    virtual quint8 audioVolSpeaker() const = 0;
    virtual quint8 audioVolHeadphone() const = 0;
    virtual quint8 audioVolMicrophone() const = 0;
    virtual int exposureSimulation() const = 0;
    virtual int language() const = 0;
    virtual quint8 batterySource() const = 0;
    virtual int batteryInfo() const = 0;
    virtual quint8 batteryLevelIntern() const = 0;
    virtual quint8 batteryLevelExtern() const = 0;
    virtual int powerSwitch() const = 0;
    virtual int selfTimerRestTime() const = 0;
    virtual int bulbModeTime() const = 0;
    virtual quint8 warnings() const = 0;
    virtual quint16 iSOValue() const = 0;
    virtual int exposureMode() const = 0;
    virtual double aperture() const = 0;
    virtual double shutterTime() const = 0;
    virtual int focusDistance() const = 0;
    virtual qint8 focusConfirmation() const = 0;
    virtual bool focusConfirmationBadSignal() const = 0;
    virtual bool focusConfirmationEnabled() const = 0;
    virtual bool autoFocusLimit() const = 0;
    virtual int autoFocusLimitDistance() const = 0;
    virtual qint8 lightBalance() const = 0;
    virtual quint16 flashCompensation() const = 0;
    virtual int flashStatus() const = 0;

    // --- Capability queries: true when the camera offers the setting ----------
    virtual bool hasFocusMode() const = 0;
    // Gates moving the lens to a focus position.
    virtual bool hasMoveLensToPos() const = 0;
    // Gates stepping the focus in and out.
    virtual bool hasMoveLensRightLeft() const = 0;
    virtual bool hasSensorFormat() const = 0;
    virtual bool hasPhotoAspectRatio() const = 0;
    virtual bool hasJpgResolution() const = 0;
    virtual bool hasVideoFileFormat() const = 0;
    virtual bool hasVideoResAndFrRate() const = 0;
    virtual bool hasVideoFormatResol() const = 0;
    virtual bool hasContrast() const = 0;
    virtual bool hasSharpness() const = 0;
    virtual bool hasSaturation() const = 0;
    virtual bool hasMonochrome() const = 0;
    virtual bool hasAutoFocusLimit() const = 0;
    virtual bool hasElectronicShutter() const = 0;
    virtual bool hasExposTimeBulbPreset() const = 0;
    virtual bool hasLensConnectionType() const = 0;
    virtual bool hasOrientation() const = 0;
    virtual bool hasAudioLevel() const = 0;
    virtual bool hasAudioWindElim() const = 0;
    virtual bool hasAudioVolSpeaker() const = 0;
    virtual bool hasAudioVolHeadphone() const = 0;
    virtual bool hasAudioVolMicrophone() const = 0;
    virtual bool hasExposCompensStep() const = 0;
    virtual bool hasExposureSimulation() const = 0;
    virtual bool hasFocusConfirmation() const = 0;
    virtual bool hasFocusDistance() const = 0;
    virtual bool hasAutoPowerOff() const = 0;
    virtual bool hasDngCompression() const = 0;
    virtual bool hasInterval() const = 0;
    virtual bool hasKeyLock() const = 0;
    virtual bool hasLanguage() const = 0;
    virtual bool hasLiveView() const = 0;
    virtual bool hasMirrorUpMode() const = 0;
    virtual bool hasPowerSwitch() const = 0;
    virtual bool hasVideoRecording() const = 0;
    virtual bool hasWhiteBalance() const = 0;
    virtual bool hasPreview() const = 0;
    virtual bool hasHMI() const = 0;
    virtual bool hasFlashStatus() const = 0;
    virtual bool hasFlashXSymbol() const = 0;
    virtual bool hasWarnings() const = 0;
    virtual bool hasAperture() const = 0;
    // When true, switching bracketing first sets the automatic flag alike.
    virtual bool hasBracketingAutomatic() const = 0;
    virtual bool hasJpgColorSpace() const = 0;
    virtual bool hasStorageType() const = 0;
    virtual bool hasAutoreviewDuration() const = 0;
    virtual bool hasReservedFeature() const = 0;

    // --- Interval ---------------------------------------------------------------
    virtual int intervalFrames() const = 0;
    virtual int intervalTime() const = 0;

    // --- Pending changes ----------------------------------------------------------
    void markChanged() { m_changed = true; }
    void clearChanged() { m_changed = false; }
    bool isChanged() const { return m_changed; }
    // Calls sendToCamera() only when a setter stored a new value since the
    // last transfer. False when a set since the last call was refused, by the
    // record or by the camera, or went unanswered.
    bool sendIfChanged();
    // False while the values held were not read whole from the camera: before
    // the first read and after a failed one. Such a record sends nothing; the
    // caller reads it again first.
    bool holdsCameraValues() const { return m_holdsCameraValues; }

    // --- Dump tables (used by the record classes' own tables) ----------------
    typedef bool (BRX_Logic_CameraSettingsBase::*Query)() const;

    // One "Yes"/"No" line of a dump, per capability query.
    struct FeatureLine
    {
        const char* label;
        Query query;
    };

    // One value line of a dump: the getter's value as "%d", "Yes"/"No" or
    // "%lf", printed only when gate is null or answers true.
    enum DumpFormat { kDumpDecimal, kDumpYesNo, kDumpReal };
    struct DumpLine
    {
        const char* label;
        DumpFormat format;
        double (*value)(const BRX_Logic_CameraSettingsBase& record);
        Query gate;
    };

protected:
    BRX_Commu_CameraAccess_Base* cameraAccess() const { return m_cameraAccess; }
    BRX_Logic_DeviceInfo* deviceInfo() const { return m_deviceInfo; }
    // Product ID of the camera, 0 without access object.
    int productId() const;

    // Dump lines "<method> - <label padded to 25>= <value>" (flag 0x400).
    static void dumpInt(const char* method, const char* label, int value);
    static void dumpYesNo(const char* method, const char* label, bool value);
    void dumpFeatures(const char* method, const FeatureLine* lines, size_t count) const;
    void dumpLines(const char* method, const DumpLine* lines, size_t count) const;

    // The failure lines shared by all record classes (flag 0).
    static void logNotAvailable(const char* method);
    static void logOnlyExternally(const char* method);

    // A set that was not applied: the next sendIfChanged() reports it.
    void markRefused() { m_refused = true; }
    // The setters of a setting the record cannot serve.
    void refuseNotAvailable(const char* method);
    void refuseOnlyExternally(const char* method);
    // A value outside what the setting takes: "%s - illegal <what> %d".
    void refuseIllegal(const char* method, const char* what, int value);
    void setHoldsCameraValues(bool holds) { m_holdsCameraValues = holds; }

private:
    BRX_Commu_CameraAccess_Base* m_cameraAccess;
    BRX_Logic_DeviceInfo* m_deviceInfo;
    bool m_changed = false;
    bool m_refused = false;
    bool m_holdsCameraValues = true;
};

// A DumpLine row for the getter of the same name, e.g.
// BRX_DUMP_LINE("whiteBalance", kDumpDecimal, whiteBalanceIndex, nullptr).
#define BRX_DUMP_LINE(label, format, getter, gate)                                              \
    {                                                                                           \
        label, format,                                                                          \
            [](const BRX_Logic_CameraSettingsBase& record) -> double { return record.getter(); }, \
            gate                                                                                \
    }

#endif
