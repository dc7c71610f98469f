#ifndef BRX_LOGIC_CONTROLLERMIRROR_H
#define BRX_LOGIC_CONTROLLERMIRROR_H

#include "BRX_Logic_ControllerConverters.h"

#include <QObject>
#include <QVector>

class BRX_Logic_Camera;
class BRX_Logic_Controller;

// The Qt side of one camera connection: emits the controller's value, text,
// list and availability signals, which a Qt GUI on the controller uses and
// the host never sees. Camera values that reach only the Qt side are
// connected here; values the host is notified of are mirrored by the
// controller's notifications through emitValue and the list calls.
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

    BRX_Logic_ControllerMirror(BRX_Logic_Controller& controller, BRX_Logic_Camera& camera,
                               BRX_Logic_ControllerConverters& converters);

    // Emits the availability and answers it.
    bool announce(Capability capability);
    // Each value of the group the camera offers, with its availability and list first.
    void send(Group group);

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
    // Needs the focus-distance converter, which the caller has checked.
    void emitFocusDistance(int code, bool feet);

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

    BRX_Logic_Controller& m_controller;
    BRX_Logic_Camera& m_camera;
    BRX_Logic_ControllerConverters& m_converters;
};

#endif
