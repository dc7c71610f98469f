#ifndef BRX_LOGIC_CAMERASETTINGSBASE_H
#define BRX_LOGIC_CAMERASETTINGSBASE_H

#include "BRX_Logic_SettingsChanges.h"

#include <QString>
#include <QtGlobal>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_DeviceInfo;

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
// The interface as lists, in its order, so that the base declares every
// operation once and each record class overrides them all in one line
// (BRX_SETTINGS_OVERRIDES).
//
// Setters: X(name, parameter). Each stores one setting (units above).
#define BRX_SETTINGS_SETTERS(X)              \
    X(setDriveMode, int code)                \
    X(setFocusMode, int code)                \
    X(setExposMetering, int code)            \
    X(setExposCompens, int milliEV)          \
    X(setExposCompensStepSize, int milliEV)  \
    X(setBracketEnabled, bool on)            \
    X(setBracketImgNum, int images)          \
    X(setBracketDeltaEV, int milliEV)        \
    X(setBracketingAutomatic, int automatic) \
    X(setMirrorUpMode, int code)             \
    X(setSensitivity, int iso)               \
    X(setKeyLock, bool on)                   \
    X(setDngCompression, bool on)            \
    X(setFlashXSymbol, bool on)              \
    X(setFileFormat, int code)               \
    X(setWhiteBalanceIndex, int code)        \
    X(setWhiteBalanceColorTemp, int code)    \
    X(setJpgColorSpace, int code)            \
    X(setStorageType, int code)              \
    X(setAutoreviewDuration, int code)       \
    X(setAutoPowerOff, int code)             \
    X(setLockAEAF, bool on)                  \
    X(setSensorFormat, int code)             \
    X(setPhotoAspectRatio, int code)         \
    X(setJpgResolution, int code)            \
    X(setVideoFileFormat, int code)          \
    X(setVideoResAndFrRate, int code)        \
    X(setVideoFormatResol, int code)         \
    X(setContrast, int code)                 \
    X(setSharpness, int code)                \
    X(setSaturation, int code)               \
    X(setMonochrome, int code)               \
    X(setElectronicShutter, int code)        \
    X(setExposTimeBulbPreset, int code)      \
    X(setAudioLevel, int code)               \
    X(setAudioWindElim, int code)            \
    X(setAudioVolSpeaker, int volume)        \
    X(setAudioVolHeadphone, int volume)      \
    X(setAudioVolMicrophone, int volume)     \
    X(setExposureSimulation, int code)       \
    X(setLanguage, int code)                 \
    X(setExposureMode, int code)             \
    X(setAperture, double fNumber)           \
    X(setShutterTime, double seconds)        \
    X(setAutoFocusLimit, int limit)          \
    X(setIntervalFrames, int frames)         \
    X(setIntervalTime, int time)

// Getters: X(result, name).
#define BRX_SETTINGS_GETTERS(X)         \
    X(int, driveMode)                   \
    X(int, focusMode)                   \
    X(int, exposMetering)               \
    X(int, exposCompens)                \
    X(int, exposCompensStep)            \
    X(bool, bracketingEnabled)          \
    X(int, bracketingImageNumbers)      \
    X(int, bracketingDeltaEV)           \
    X(int, bracketingAutomatic)         \
    X(int, shutterMode)                 \
    X(int, mirrorUpMode)                \
    X(int, sensitivity)                 \
    X(bool, sensitivityAuto)            \
    X(quint8, USBspeed)                 \
    X(quint8, RAMBufferFreeCaptures)    \
    X(qint8, sensorBoardTemperature)    \
    X(bool, keyLock)                    \
    X(bool, dngCompression)             \
    X(bool, flashXSymbol)               \
    X(int, fileFormat)                  \
    X(double, maxShutterTime)           \
    X(int, whiteBalanceIndex)           \
    X(int, whiteBalanceColorTemp)       \
    X(int, jpgColorSpace)               \
    X(int, storageType)                 \
    X(qint16, lightMeter)               \
    X(int, autoreviewDuration)          \
    X(int, autoPowerOff)                \
    X(bool, lockAEAF)                   \
    X(int, sensorFormat)                \
    X(int, photoAspectRatio)            \
    X(int, jpgResolution)               \
    X(int, videoFileFormat)             \
    X(int, videoResAndFrRate)           \
    X(int, videoFormatResol)            \
    X(int, contrast)                    \
    X(int, sharpness)                   \
    X(int, saturation)                  \
    X(int, monochrome)                  \
    X(int, electronicShutter)           \
    X(int, exposTimeBulbPreset)         \
    X(int, lensConnectionType)          \
    X(int, orientation)                 \
    X(int, audioLevel)                  \
    X(int, audioWindElim)               \
    X(quint8, audioVolSpeaker)          \
    X(quint8, audioVolHeadphone)        \
    X(quint8, audioVolMicrophone)       \
    X(int, exposureSimulation)          \
    X(int, language)                    \
    X(quint8, batterySource)            \
    X(int, batteryInfo)                 \
    X(quint8, batteryLevelIntern)       \
    X(quint8, batteryLevelExtern)       \
    X(int, powerSwitch)                 \
    X(int, selfTimerRestTime)           \
    X(int, bulbModeTime)                \
    X(quint8, warnings)                 \
    X(quint16, iSOValue)                \
    X(int, exposureMode)                \
    X(double, aperture)                 \
    X(double, shutterTime)              \
    X(int, focusDistance)               \
    X(qint8, focusConfirmation)         \
    X(bool, focusConfirmationBadSignal) \
    X(bool, focusConfirmationEnabled)   \
    X(bool, autoFocusLimit)             \
    X(int, autoFocusLimitDistance)      \
    X(qint8, lightBalance)              \
    X(quint16, flashCompensation)       \
    X(int, flashStatus)

// Capability queries: X(name), true when the camera offers the setting.
// hasMoveLensToPos gates moving the lens to a focus position and
// hasMoveLensRightLeft stepping the focus in and out; when
// hasBracketingAutomatic answers true, switching bracketing first sets the
// automatic flag alike.
#define BRX_SETTINGS_QUERIES(X) \
    X(hasFocusMode)             \
    X(hasMoveLensToPos)         \
    X(hasMoveLensRightLeft)     \
    X(hasSensorFormat)          \
    X(hasPhotoAspectRatio)      \
    X(hasJpgResolution)         \
    X(hasVideoFileFormat)       \
    X(hasVideoResAndFrRate)     \
    X(hasVideoFormatResol)      \
    X(hasContrast)              \
    X(hasSharpness)             \
    X(hasSaturation)            \
    X(hasMonochrome)            \
    X(hasAutoFocusLimit)        \
    X(hasElectronicShutter)     \
    X(hasExposTimeBulbPreset)   \
    X(hasLensConnectionType)    \
    X(hasOrientation)           \
    X(hasAudioLevel)            \
    X(hasAudioWindElim)         \
    X(hasAudioVolSpeaker)       \
    X(hasAudioVolHeadphone)     \
    X(hasAudioVolMicrophone)    \
    X(hasExposCompensStep)      \
    X(hasExposureSimulation)    \
    X(hasFocusConfirmation)     \
    X(hasFocusDistance)         \
    X(hasAutoPowerOff)          \
    X(hasDngCompression)        \
    X(hasInterval)              \
    X(hasKeyLock)               \
    X(hasLanguage)              \
    X(hasLiveView)              \
    X(hasMirrorUpMode)          \
    X(hasPowerSwitch)           \
    X(hasVideoRecording)        \
    X(hasWhiteBalance)          \
    X(hasPreview)               \
    X(hasHMI)                   \
    X(hasFlashStatus)           \
    X(hasFlashXSymbol)          \
    X(hasWarnings)              \
    X(hasAperture)              \
    X(hasBracketingAutomatic)   \
    X(hasJpgColorSpace)         \
    X(hasStorageType)           \
    X(hasAutoreviewDuration)    \
    X(hasReservedFeature)

// The interval getters close the interface.
#define BRX_SETTINGS_INTERVAL_GETTERS(X) X(int, intervalFrames) X(int, intervalTime)

#define BRX_SETTINGS_PURE_SETTER(name, parameter) virtual void name(parameter) = 0;
#define BRX_SETTINGS_PURE_GETTER(result, name) virtual result name() const = 0;
#define BRX_SETTINGS_PURE_QUERY(name) virtual bool name() const = 0;
#define BRX_SETTINGS_OVERRIDE_SETTER(name, parameter) void name(parameter) override;
#define BRX_SETTINGS_OVERRIDE_GETTER(result, name) result name() const override;
#define BRX_SETTINGS_OVERRIDE_QUERY(name) bool name() const override;

// Every setter, getter and capability query declared as an override.
#define BRX_SETTINGS_OVERRIDES                                  \
    BRX_SETTINGS_SETTERS(BRX_SETTINGS_OVERRIDE_SETTER)         \
    BRX_SETTINGS_GETTERS(BRX_SETTINGS_OVERRIDE_GETTER)         \
    BRX_SETTINGS_QUERIES(BRX_SETTINGS_OVERRIDE_QUERY)          \
    BRX_SETTINGS_INTERVAL_GETTERS(BRX_SETTINGS_OVERRIDE_GETTER)

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

    // --- Setters, getters, capability queries (see the lists above) ---------
    BRX_SETTINGS_SETTERS(BRX_SETTINGS_PURE_SETTER)
    BRX_SETTINGS_GETTERS(BRX_SETTINGS_PURE_GETTER)
    BRX_SETTINGS_QUERIES(BRX_SETTINGS_PURE_QUERY)
    BRX_SETTINGS_INTERVAL_GETTERS(BRX_SETTINGS_PURE_GETTER)

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
    // Whether the value held for setting (a flag of the change record) is the
    // camera's own: false while the record asked the camera for it and has
    // had no answer yet, so that its getter answers a preset nobody read.
    // A value read once stays the camera's through later failed reads. True
    // unless the record keeps track (the device-property record does).
    virtual bool holdsCameraValue(BRX_Logic_SettingsChanges::Flag setting) const;

    // --- Dump ---------------------------------------------------------------------
    // The record classes, each with its own lines of the one dump table.
    enum DumpRecord : unsigned { kDumpStruct = 1, kDumpStructM = 2, kDumpDeviceProperties = 4 };
    // The camera's own shutter and aperture codes (APEX values times 256),
    // which the records with a block show beside the values; none by default.
    struct DumpCodes {
        qint16 maxShutterTime;
        qint16 aperture;
        qint16 shutterTime;
    };

protected:
    BRX_Commu_CameraAccess_Base* cameraAccess() const { return m_cameraAccess; }
    BRX_Logic_DeviceInfo* deviceInfo() const { return m_deviceInfo; }
    // Product ID of the camera, 0 without access object.
    int productId() const;

    // Writes record's lines of the dump table, values then capability
    // queries, as "<method> - <label padded to 25>= <value>" (flag 0x400).
    void dumpSettings(const char* method, DumpRecord record, const DumpCodes& codes = DumpCodes()) const;

    // The failure lines shared by all record classes (flag 0).
    static void logNotAvailable(const char* method);
    static void logOnlyExternally(const char* method);
    // The getters of a setting the record cannot serve: the line, then value.
    template <typename T> static T notAvailable(const char* method, T value)
    {
        logNotAvailable(method);
        return value;
    }
    template <typename T> static T onlyExternally(const char* method, T value)
    {
        logOnlyExternally(method);
        return value;
    }

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

#endif
