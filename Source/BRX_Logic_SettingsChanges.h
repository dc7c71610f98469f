#ifndef BRX_LOGIC_SETTINGSCHANGES_H
#define BRX_LOGIC_SETTINGSCHANGES_H

#include <QtGlobal>

#include <cstddef>

// What a settings record found changed when it re-read the camera: one byte
// per setting, 1 = changed since the previous read, 0 = unchanged. The camera
// model zero-fills it (clear()) before each read and then re-reads and signals
// every flagged setting. The byte order is shared with the change dispatch, so
// members must not be moved.
struct BRX_Logic_SettingsChanges
{
    // A flag named by its member, as the records' tables refer to it.
    typedef quint8 BRX_Logic_SettingsChanges::*Flag;

    void clear();
    // Number of flags set; for diagnostics and tests.
    int count() const;

    quint8 batteryInfo;                 // 0
    quint8 batteryLevelIntern;          // 1
    quint8 batteryLevelExtern;          // 2
    quint8 maxShutterTime;              // 3
    quint8 powerSwitch;                 // 4
    quint8 selfTimerRestTime;           // 5
    quint8 bulbModeTime;                // 6
    quint8 driveMode;                   // 7
    quint8 focusMode;                   // 8
    quint8 exposMetering;               // 9
    quint8 exposCompens;                // 10
    quint8 exposCompensStep;            // 11
    quint8 bracketingEnabled;           // 12
    quint8 bracketingImageNumbers;      // 13
    quint8 bracketingDeltaEV;           // 14
    quint8 bracketingAutomatic;         // 15, never read by the camera model
    quint8 mirrorUpMode;                // 16
    quint8 sensitivity;                 // 17, covers sensitivityAuto too
    quint8 keyLock;                     // 18
    quint8 sensorFormat;                // 19
    quint8 photoAspectRatio;            // 20
    quint8 jpgResolution;               // 21
    quint8 videoFileFormat;             // 22
    quint8 videoResAndFrRate;           // 23
    quint8 videoFormatResol;            // 24
    quint8 contrast;                    // 25
    quint8 sharpness;                   // 26
    quint8 saturation;                  // 27
    quint8 monochrome;                  // 28
    quint8 electronicShutter;           // 29
    quint8 exposTimeBulbPreset;         // 30, never read by the camera model
    quint8 lensConnectionType;          // 31
    quint8 orientation;                 // 32
    quint8 audioLevel;                  // 33
    quint8 audioWindElim;               // 34
    quint8 audioVolSpeaker;             // 35
    quint8 audioVolHeadphone;           // 36
    quint8 audioVolMicrophone;          // 37
    quint8 exposureSimulation;          // 38
    quint8 language;                    // 39, never read by the camera model
    quint8 dngCompression;              // 40
    quint8 flashStatus;                 // 41
    quint8 flashXSymbol;                // 42
    quint8 lightBalance;                // 43
    quint8 fileFormat;                  // 44
    quint8 whiteBalanceIndex;           // 45
    quint8 whiteBalanceColorTemp;       // 46
    quint8 jpgColorSpace;               // 47
    quint8 storageType;                 // 48, never read by the camera model
    quint8 autoreviewDuration;          // 49
    quint8 autoPowerOff;                // 50
    quint8 exposureMode;                // 51, also re-reads aperture and shutterTime
    quint8 aperture;                    // 52
    quint8 shutterTime;                 // 53
    quint8 focusDistance;               // 54
    quint8 focusConfirmation;           // 55
    quint8 focusConfirmationEnabled;    // 56
    quint8 focusConfirmationBadSignal;  // 57
    quint8 autoFocusLimit;              // 58
    quint8 autoFocusLimitDist;          // 59
    quint8 warning;                     // 60
    quint8 intervalFrames;              // 61
    quint8 intervalTime;                // 62
};

static_assert(sizeof(BRX_Logic_SettingsChanges) == 63, "the change record is 63 one-byte flags");
static_assert(offsetof(BRX_Logic_SettingsChanges, maxShutterTime) == 3, "change record layout");
static_assert(offsetof(BRX_Logic_SettingsChanges, sensorFormat) == 19, "change record layout");
static_assert(offsetof(BRX_Logic_SettingsChanges, jpgResolution) == 21, "change record layout");
static_assert(offsetof(BRX_Logic_SettingsChanges, autoreviewDuration) == 49, "change record layout");
static_assert(offsetof(BRX_Logic_SettingsChanges, focusConfirmationEnabled) == 56, "change record layout");
static_assert(offsetof(BRX_Logic_SettingsChanges, intervalTime) == 62, "change record layout");

#endif
