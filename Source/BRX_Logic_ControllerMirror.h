#ifndef BRX_LOGIC_CONTROLLERMIRROR_H
#define BRX_LOGIC_CONTROLLERMIRROR_H

#include "BRX_Logic_ControllerConverters.h"

#include <QObject>
#include <QString>
#include <QVector>

class BRX_Logic_Camera;
class BRX_Logic_ControllerSignals;
class BRX_Logic_SetterRules;

// The Qt side of one camera connection: emits the controller's value, text,
// list and availability signals, which a Qt GUI on the controller uses and
// the host never sees. Camera values that reach only the Qt side are
// connected here; values the host is notified of are mirrored by the
// notifier through emitValue and the list calls. The Qt side's text setters
// come here too, to be turned into values.
//
// Created by the controller with the converters and deleted before them and
// the camera, which undoes its connections. Controller thread only.
class BRX_Logic_ControllerMirror : public QObject
{
    Q_OBJECT
public:
    // The camera's capabilities the initial state reports as signalHas...
    enum Capability {
        LensConnectionType,
        PowerSwitch,
        VideoRecording,
        LiveView,
        FlashStatus,
        FlashXSymbol,
        KeyLock,
        DngCompression,
        JpgColorSpace,
        JpgResolution,
        AutoreviewDuration,
        AutoPowerOff,
        SensorFormat,
        PhotoAspectRatio,
        VideoFileFormat,
        VideoResAndFrRate,
        VideoFormatResol,
        Contrast,
        Sharpness,
        Saturation,
        Monochrome,
        Orientation,
        AudioLevel,
        AudioWindElim,
        AudioVolSpeaker,
        AudioVolHeadphone,
        AudioVolMicrophone,
        ExposureSimulation,
        WhiteBalance,
        FocusMode,
        Interval,
        AutoFocusLimit,
        MirrorUpMode,
        Aperture,
        FocusDistance,
        FocusConfirmation,
        kCapabilityCount
    };

    // Groups of Qt-only values the initial state sends together.
    enum Group {
        NoGroup,
        Battery,
        FlashAndKeyLock,
        PictureSettings,
    };

    BRX_Logic_ControllerMirror(BRX_Logic_ControllerSignals& qtSide, BRX_Logic_Camera& camera,
                               BRX_Logic_ControllerConverters& converters, BRX_Logic_SetterRules& rules);

    // Emits the availability and answers it.
    bool announce(Capability capability);
    // Each value of the group the camera offers, with its availability and list first.
    void sendGroup(Group group);

    // The value and, with the converter, its text; without the converter
    // logs "no converter for" the subject.
    void emitValue(BRX_Logic_ControllerConverters::Kind kind, int value);
    // The converter's display texts; false without the converter.
    bool emitList(BRX_Logic_ControllerConverters::Kind kind);
    // -1.0 is bulb, "B".
    void emitShutterTime(double seconds);
    // Seconds fastest first; the Qt list ends with "B".
    void emitShutterTimeList(const QVector<double>& seconds);
    void emitAperture(double fNumber);
    // An empty list, which the host never receives, is "--" here.
    void emitApertureList(const QVector<double>& fNumbers);
    // In metres. Needs the focus-distance converter, which the caller has checked.
    void emitFocusDistance(int code);

    // The value of one of kind's display texts, set as the Qt side's text
    // setters set it: picture formats and styles straight on the camera, the
    // rest through the setter rules. False, logged under label, for a text
    // outside the list or without the converter; else whether the camera
    // took the value.
    bool setFromText(BRX_Logic_ControllerConverters::Kind kind, const QString& text, const char* label);

    // The controller's text setters: X(Name, Kind) sets one of Kind's texts.
#define BRX_MIRROR_TEXT_SETTERS(X)                                                                 \
    X(setDngCompression, DngCompression)                                                           \
    X(setJpgColorSpace, JpgColorSpace)                                                             \
    X(setJpgResolution, JpgResolution)                                                             \
    X(setAutoreviewDuration, AutoreviewDuration)                                                   \
    X(setAutoPowerOff, AutoPowerOff)                                                               \
    X(setSensorFormat, SensorFormat)                                                               \
    X(setPhotoAspectRatio, PhotoAspectRatio)                                                       \
    X(setVideoFileFormat, VideoFileFormat)                                                         \
    X(setVideoResAndFrRate, VideoResAndFrRate)                                                     \
    X(setVideoFormatResol, VideoFormatResol)                                                       \
    X(setContrast, Contrast)                                                                       \
    X(setSharpness, Sharpness)                                                                     \
    X(setSaturation, Saturation)                                                                   \
    X(setMonochrome, Monochrome)                                                                   \
    X(setFileFormat, FileFormat)                                                                   \
    X(setExposMetering, ExposMetering)                                                             \
    X(setExposCompens, ExposCompens)                                                               \
    X(setSensitivity, Sensitivity)                                                                 \
    X(setWhiteBalance, WhiteBalance)                                                               \
    X(setWhiteBalTemp, WhiteBalTemp)                                                               \
    X(setDriveMode, DriveMode)                                                                     \
    X(setBracketImgNum, BracketImgNum)                                                             \
    X(setBracketDeltaEV, BracketDeltaEV)                                                           \
    X(setIntervalFrames, IntervalFrames)                                                           \
    X(setIntervalTime, IntervalTime)                                                               \
    X(setAudioLevel, AudioLevel)

    // One row of the mirror's tables: a value's source, availability and signals.
    template <typename T>
    struct Value;

private:

    template <typename T>
    void connectValues();
    template <typename T>
    void sendValues(Group group);
    template <typename T>
    void emitChanged(const Value<T>& row, T value);
    template <typename T>
    void emitConverted(const Value<T>& row, T value, const char* label);
    template <typename T>
    void emitListOf(const Value<T>& row);

    BRX_Logic_ControllerSignals& m_qtSide;
    BRX_Logic_Camera& m_camera;
    BRX_Logic_ControllerConverters& m_converters;
    BRX_Logic_SetterRules& m_rules;
};

#endif
