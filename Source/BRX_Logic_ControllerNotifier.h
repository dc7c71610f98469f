#ifndef BRX_LOGIC_CONTROLLERNOTIFIER_H
#define BRX_LOGIC_CONTROLLERNOTIFIER_H

#include "BRX_Logic_ControllerConverters.h"

#include <QObject>
#include <QVector>

class BRX_Logic_Camera;
class BRX_Logic_CaptureControl;
class BRX_Logic_ControllerMirror;
class BRX_Logic_ControllerSignals;
class BRX_Logic_PropertyTable;

// The host's change notifications of one camera connection: turns the camera
// model's value signals into property notifications, builds the value lists,
// sends what a change makes due besides (the shutter times after a
// sensitivity, the lists after a lens or a compensation step) and, once, the
// whole initial state. Each notification leaves as signalProperty, which the
// controller passes on; the Qt side hears of each value through the mirror.
//
// Created by the controller with the connection and deleted before the
// camera, which undoes its connections. Controller thread only.
class BRX_Logic_ControllerNotifier : public QObject
{
    Q_OBJECT
public:
    BRX_Logic_ControllerNotifier(BRX_Logic_Camera& camera, BRX_Logic_ControllerConverters& converters,
                                 BRX_Logic_PropertyTable& table, BRX_Logic_ControllerMirror& mirror,
                                 BRX_Logic_CaptureControl& capture, BRX_Logic_ControllerSignals& qtSide,
                                 int productId);

    // The camera's whole state, in the order hosts know: availability and
    // Qt-only values, the lists, then the values.
    void sendInitialState();
    // What a set made due (BRX_Logic_SetterRules::ControllerThread): the
    // exposure mode, automatic sensitivity with the shutter times, or the
    // drive mode as the controller shows it.
    void followUp(int property);
    // A notification of property with a payload of size bytes; none while
    // the camera has not told the value (BRX_Logic_PropertyTable::holdsCameraValue).
    void notifyPayload(int property, const void* data, quint32 size);

    // Values with conversions or follow-ups of their own; the controller's
    // slots of the same names come here. X(Name, Type).
#define BRX_NOTIFIER_VALUE_SLOTS(X)                                                                \
    X(emitSensitivity, int)                                                                        \
    X(emitDriveMode, int)                                                                          \
    X(emitFocusDistance, int)                                                                      \
    X(emitFocusMaxDistance, int)                                                                   \
    X(emitFocusMinDistance, int)                                                                   \
    X(emitAutoFocusLimitDist, int)                                                                 \
    X(emitWhiteBalance, int)                                                                       \
    X(emitWhiteBalTemp, int)                                                                       \
    X(catchElectronicShutter, int)                                                                 \
    X(catchMaxShutterTime, double)                                                                 \
    X(catchLiveViewMode, int)
    // Lists and what a lens change makes due. X(Name).
#define BRX_NOTIFIER_SLOTS(X)                                                                      \
    X(emitNoFocusConfirmation)                                                                     \
    X(emitApertureList)                                                                            \
    X(emitShutterTimeList)                                                                         \
    X(emitExposCompensList)                                                                        \
    X(emitSensitivityList)                                                                         \
    X(emitBracketDeltaEVList)                                                                      \
    X(emitIntervalFramesList)                                                                      \
    X(emitIntervalTimeList)                                                                        \
    X(catchLensChanged)

    // 10, then the shutter-time list and time, which depend on it.
    void emitSensitivity(int iso);
    // 13; any mode but 5 ends an emulated interval at its next tick.
    void emitDriveMode(int mode);
    // 23, 26, 27, 28 in metres; nothing without the focus-distance converter.
    void emitFocusDistance(int code);
    void emitFocusMaxDistance(int code);
    void emitFocusMinDistance(int code);
    void emitAutoFocusLimitDist(int code);
    // 32: the index, or the colour temperature in the temperature preset.
    void emitWhiteBalance(int index);
    void emitWhiteBalTemp(int temperature);
    // 22 without payload, which the pipeline drops: the host never sees it.
    void emitNoFocusConfirmation();
    // The value lists 2, 4, 6, 9, 17 and the ranges 40, 42.
    void emitApertureList();
    void emitShutterTimeList();
    void emitExposCompensList();
    void emitSensitivityList();
    void emitBracketDeltaEVList();
    void emitIntervalFramesList();
    void emitIntervalTimeList();
    // The aperture list and the focus range (2, 26, 27).
    void catchLensChanged();
    // A new compensation step: 8, 6, 7 as 0, the shutter times and, with an
    // aperture, its list and value; nothing when the converter has it already.
    // The process-wide APEX step is the controller's to set.
    void catchExposCompensStep(int milliEv);
    // The shutter-time list and time again.
    void catchElectronicShutter(int value);
    void catchMaxShutterTime(double seconds);
    // Stores the mode that 33 and 34 read.
    void catchLiveViewMode(int mode);

signals:
    // Every notification: data points to the value during the call.
    void signalProperty(int property, void* data, quint32 size);

private:
    template <typename T>
    void notifyValue(int property, T value);
    template <typename T>
    void notifyList(int property, const QVector<T>& values);
    void notifyConverted(int property, int kind, int value);
    void notifyShutterTime(double seconds);
    void notifyAperture(double fNumber);
    void notifyCurrentShutterTime();
    void notifyShutterTimes();
    void notifyDriveMode();
    void notifyFocusRange();
    void notifyDistance(int property, int code, const char* label);
    void notifyConverterValues(int property, int kind, const char* label);
    void notifyConverterRange(int property, int kind, const char* label);
    double apertureStep() const;
    double shutterTimeStep() const;
    double fastestShutterTime() const;

    template <typename T>
    void connectValue(void (BRX_Logic_Camera::*signal)(T), int property);
    void connectConverted(void (BRX_Logic_Camera::*signal)(int), int property, int kind);
    void followCamera();

    void sendInitialPower();
    void sendInitialCompensStep();
    void sendInitialLists();
    void mirrorList(int kind, const char* label);
    void sendInitialValues();
    void sendInitialIntervals();
    void sendInitialFocus();

    BRX_Logic_Camera& m_camera;
    BRX_Logic_ControllerConverters& m_converters;
    BRX_Logic_PropertyTable& m_table;
    BRX_Logic_ControllerMirror& m_mirror;
    BRX_Logic_CaptureControl& m_capture;
    BRX_Logic_ControllerSignals& m_qtSide;
    const int m_productId;
};

#endif
