#ifndef BRX_LOGIC_SETTERRULES_H
#define BRX_LOGIC_SETTERRULES_H

#include <QString>

#include <functional>

class BRX_Logic_Camera;
class BRX_Logic_CaptureControl;
class BRX_Logic_ControllerConverters;
class BRX_Logic_ControllerSignals;

// The setters behind the host's property numbers and the controller's setter
// slots, for one camera connection: what a value means beyond the camera
// model's setter of the same name (bulb, automatic sensitivity, colour
// temperatures, the drive modes the controller carries itself), which values
// are refused, and which notifications a set makes due.
//
// Each setter says whether the camera took the value: false when it was
// refused, here or by the camera, and the camera model then holds the
// camera's value. A refusal is logged under the label of the controller's
// setter of the same name (BRX_Logic_Controller::setFileFormat()), the name
// hosts know it by.
//
// Created and deleted with the connection by the controller. Any thread: the
// host's thread calls it directly, under the controller's connection lock.
class BRX_Logic_SetterRules
{
public:
    // What the rules ask of the controller thread; both run there, at once
    // when called there, else queued.
    struct ControllerThread {
        // Runs a camera call on the camera open by then, if any: live view
        // lives on that thread with its timer.
        std::function<void(std::function<void(BRX_Logic_Camera&)>)> runOnCamera;
        // A set changed property besides its own value (the exposure mode a
        // shutter time leaves, automatic sensitivity, the drive mode the
        // controller shows): its notification is due.
        std::function<void(int property)> notificationDue;
    };

    BRX_Logic_SetterRules(BRX_Logic_Camera& camera, const BRX_Logic_ControllerConverters& converters,
                          BRX_Logic_CaptureControl& capture, BRX_Logic_ControllerSignals& qtSide, int productId,
                          ControllerThread controllerThread);

    // -1.0 selects bulb (exposure mode 4); other times must be positive and
    // finite, and leave bulb first.
    bool setShutterTime(double seconds);
    // A text of the shutter-time list; "B" selects bulb. The exposure mode
    // is notified after either.
    bool setShutterTime(const QString& text);
    // Positive and finite; lenses without aperture steps have none to set.
    bool setAperture(double fNumber);
    // An ISO value of the camera's list, 0 for automatic; automatic
    // sensitivity and the shutter times follow.
    bool setSensitivity(int iso);
    // Off ends automatic sensitivity at the ISO value held before it began
    // through here, else at the camera's lowest.
    bool setSensitivityAuto(bool automatic);
    // Metres; 0 or less is no distance, 1,000,000 or more infinity; NaN is
    // refused. Needs the focus-distance converter.
    bool setFocusDistance(double metres);
    bool setFocusDistance(const QString& text);
    // Negative formats are refused; the Qt side learns which picture settings apply.
    bool setFileFormat(int format);
    bool setWhiteBalance(int index);
    bool setWhiteBalTemp(int kelvin);
    // A text of the colour-temperature list, "5200 K".
    bool setWhiteBalTemp(const QString& text);
    // Property 32: a preset's index, or a colour temperature in kelvin above
    // the colour-temperature preset's index (unless the camera lists that
    // value as a preset of its own).
    bool writeWhiteBalance(int value);
    // A drive mode of the camera's list: 4 is bracketing, carried by the
    // camera's bracketing flag; 5 is interval shooting, emulated by the
    // capture control when the camera has none of its own.
    bool setDriveMode(int mode);
    // Without interval shooting of its own the camera's intervals are
    // emulated: the emulation keeps what is set; a camera of its own takes
    // the nearest value of its list.
    bool setIntervalFrames(int frames);
    bool setIntervalTime(int seconds);

    // The value to the camera model's setter of the same name: X(Name, Type).
#define BRX_SETTER_FORWARDS(X)                                                                     \
    X(setExposureMode, int)                                                                        \
    X(setExposMetering, int)                                                                       \
    X(setExposCompens, int)                                                                        \
    X(setExposCompensStep, int)                                                                    \
    X(setBracketEnabled, bool)                                                                     \
    X(setBracketImgNum, int)                                                                       \
    X(setBracketDeltaEV, int)                                                                      \
    X(setMirrorUpMode, bool)                                                                       \
    X(setFocusMode, int)                                                                           \
    X(setAudioLevel, int)
#define BRX_SETTER_DECLARE(Name, Type) bool Name(Type value);
    BRX_SETTER_FORWARDS(BRX_SETTER_DECLARE)
#undef BRX_SETTER_DECLARE

    // Commands and wishes, true once dispatched. Live view runs in the
    // controller thread.
    bool setFocusDistanceDec();
    bool setFocusDistanceInc();
    bool setWantQuickView(bool want);
    bool setLiveViewPhoto(bool on);
    bool setLiveViewVideo(bool on);
    bool setLiveViewCrossPosGlobal(double x, double y);
    bool toggleLiveViewZoom();
    bool setWantLiveView(bool want);

private:
    bool switchExposureMode(int mode);
    // Whether value is in the list of kind's converter; logs
    // "%s - illegal <what> %d" under label when not.
    bool isListed(int kind, int value, const char* what, const char* label) const;
    bool isWhiteBalanceTemperature(int value) const;
    // The value of kind's list nearest to value; value itself without a list.
    int nearestListed(int kind, int value) const;
    // The lowest ISO value of the camera's list that is not automatic; 0: none.
    int lowestFixedSensitivity() const;
    bool storeInterval(bool frames, int value);
    bool hasFocusDistanceConverter(const char* label) const;
    bool runOnControllerThread(std::function<void(BRX_Logic_Camera&)> call);

    BRX_Logic_Camera& m_camera;
    const BRX_Logic_ControllerConverters& m_converters;
    BRX_Logic_CaptureControl& m_capture;
    BRX_Logic_ControllerSignals& m_qtSide;
    const int m_productId;
    const ControllerThread m_controllerThread;
    // The ISO value held when automatic sensitivity was asked for; 0: none.
    int m_sensitivityBeforeAuto = 0;
};

#endif
