#include "BRX_Logic_SetterRules.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterShutterTime.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_CaptureControl.h"
#include "BRX_Logic_ControllerConverters.h"
#include "BRX_Logic_ControllerSignals.h"
#include "BRX_Logic_ConverterBase.h"
#include "BRX_Logic_ConverterFocusDistance.h"
#include "BRX_SDK_C.h"

#include <cmath>
#include <string>

namespace {

using Kind = BRX_Logic_ControllerConverters::Kind;

// The shutter time notified in bulb; set, it selects bulb.
const double kBulbShutterTime = -1.0;

// The label of the controller's setter named name, under which its refusals
// have always been logged.
std::string setterLabel(const char* name)
{
    return std::string("BRX_Logic_Controller::") + name + "()";
}

// Shutter times and f-numbers are positive and finite; anything else would
// become the nearest end of the camera's table.
bool isPositiveFinite(double value, const char* what, const char* setter)
{
    if (std::isfinite(value) && value > 0.0)
        return true;
    debugPrint(kDebugAlways, "%s - illegal %s %g", setterLabel(setter).c_str(), what, value);
    return false;
}

} // namespace

BRX_Logic_SetterRules::BRX_Logic_SetterRules(BRX_Logic_Camera& camera,
                                             const BRX_Logic_ControllerConverters& converters,
                                             BRX_Logic_CaptureControl& capture, BRX_Logic_ControllerSignals& qtSide,
                                             int productId, ControllerThread controllerThread)
    : m_camera(camera)
    , m_converters(converters)
    , m_capture(capture)
    , m_qtSide(qtSide)
    , m_productId(productId)
    , m_controllerThread(std::move(controllerThread))
{
}

bool BRX_Logic_SetterRules::setShutterTime(double seconds)
{
    if (seconds == kBulbShutterTime)
        return switchExposureMode(kVQExposureModeBulb);
    if (!isPositiveFinite(seconds, "shutter time", __func__))
        return false;
    if (m_camera.exposureMode() == kVQExposureModeBulb && !switchExposureMode(0))
        return false;
    return m_camera.setShutterTime(seconds);
}

// The exposure mode a shutter time implies; confirmed like a set of its own.
bool BRX_Logic_SetterRules::switchExposureMode(int mode)
{
    const bool taken = m_camera.setExposureMode(eVQExposureMode(mode));
    m_controllerThread.notificationDue(BRX_SDK_PropertyExposureMode);
    return taken;
}

bool BRX_Logic_SetterRules::setShutterTime(const QString& text)
{
    bool taken;
    if (text == QLatin1String("B")) {
        taken = m_camera.setExposureMode(kVQExposureModeBulb);
    } else {
        const double seconds = BRX_Logic_APEXConverterShutterTime::secondsFromString(text);
        if (seconds <= 0.0) {
            debugPrint(kDebugAlways, "%s - unknown value: %s", setterLabel(__func__).c_str(), qPrintable(text));
            return false;
        }
        taken = setShutterTime(seconds);
    }
    m_controllerThread.notificationDue(BRX_SDK_PropertyExposureMode);
    return taken;
}

bool BRX_Logic_SetterRules::setAperture(double fNumber)
{
    if (!isPositiveFinite(fNumber, "aperture", __func__))
        return false;
    return m_camera.apertureSteps() != 0 && m_camera.setAperture(fNumber);
}

// The host learns the camera's values from the lists; anything else would
// reach the camera as some other value.
bool BRX_Logic_SetterRules::isListed(int kind, int value, const char* what, const char* label) const
{
    const BRX_Logic_ConverterBase* converter = m_converters.get(Kind(kind));
    if (converter && converter->values().contains(double(value)))
        return true;
    debugPrint(kDebugAlways, "%s - illegal %s %d", label, what, value);
    return false;
}

int BRX_Logic_SetterRules::nearestListed(int kind, int value) const
{
    const BRX_Logic_ConverterBase* converter = m_converters.get(Kind(kind));
    if (!converter || converter->values().isEmpty())
        return value;
    double nearest = converter->values().first();
    for (double listed : converter->values()) {
        if (std::fabs(listed - value) < std::fabs(nearest - value))
            nearest = listed;
    }
    return int(nearest);
}

bool BRX_Logic_SetterRules::setSensitivity(int iso)
{
    if (!isListed(Kind::Sensitivity, iso, "sensitivity", setterLabel(__func__).c_str()))
        return false;
    if (iso == 0 && !m_camera.sensitivityAuto() && m_camera.sensitivity() > 0)
        m_sensitivityBeforeAuto = m_camera.sensitivity();
    const bool taken = m_camera.setSensitivity(uint(iso));
    Q_EMIT m_qtSide.signalSensitivityAuto(m_camera.sensitivityAuto());
    m_controllerThread.notificationDue(BRX_SDK_PropertySensitivityAuto);
    return taken;
}

// Automatic ends at the ISO value held before it began, or where that is
// not known (the camera's own dial began it) at the camera's lowest.
bool BRX_Logic_SetterRules::setSensitivityAuto(bool automatic)
{
    if (automatic)
        return setSensitivity(0);
    if (!m_camera.sensitivityAuto())
        return true;
    const int iso = m_sensitivityBeforeAuto > 0 ? m_sensitivityBeforeAuto : lowestFixedSensitivity();
    return iso > 0 && setSensitivity(iso);
}

int BRX_Logic_SetterRules::lowestFixedSensitivity() const
{
    const BRX_Logic_ConverterBase* converter = m_converters.get(Kind::Sensitivity);
    double lowest = 0.0;
    for (double iso : converter ? converter->values() : QVector<double>()) {
        if (iso > 0.0 && (lowest == 0.0 || iso < lowest))
            lowest = iso;
    }
    return int(lowest);
}

bool BRX_Logic_SetterRules::hasFocusDistanceConverter(const char* label) const
{
    if (m_converters.focusDistance())
        return true;
    debugPrint(kDebugAlways, "%s - no converter for focus distance", label);
    return false;
}

bool BRX_Logic_SetterRules::setFocusDistance(double metres)
{
    if (!hasFocusDistanceConverter(setterLabel(__func__).c_str()))
        return false;
    // Distances at or below zero and beyond a million metres have codes of
    // their own; NaN has none.
    if (std::isnan(metres)) {
        debugPrint(kDebugAlways, "%s - illegal focus distance %g", setterLabel(__func__).c_str(), metres);
        return false;
    }
    return m_camera.setFocusDistance(uint(BRX_Logic_ConverterFocusDistance::codeFromMeters(metres)));
}

bool BRX_Logic_SetterRules::setFocusDistance(const QString& text)
{
    if (!hasFocusDistanceConverter(setterLabel(__func__).c_str()))
        return false;
    return m_camera.setFocusDistance(uint(BRX_Logic_ConverterFocusDistance::codeFromString(text, false)));
}

bool BRX_Logic_SetterRules::setFileFormat(int format)
{
    if (format < 0) {
        debugPrint(kDebugAlways, "%s - illegal file format %d", setterLabel(__func__).c_str(), format);
        return false;
    }
    const bool taken = m_camera.setFileFormat(format);
    const int held = taken ? format : m_camera.fileFormat();
    Q_EMIT m_qtSide.signalFileFormat(held);
    Q_EMIT m_qtSide.signalUseDngCompression(held <= 2);
    Q_EMIT m_qtSide.signalUseJpgColorSpace(held >= 1 && held <= 4);
    Q_EMIT m_qtSide.signalUseJpgResolution(held >= 1 && held <= 4);
    return taken;
}

bool BRX_Logic_SetterRules::setWhiteBalance(int index)
{
    const bool taken = m_camera.setWhiteBalanceIndex(uchar(index));
    const int held = taken ? index : m_camera.whiteBalanceIndex();
    Q_EMIT m_qtSide.signalWhiteBalance(held);
    Q_EMIT m_qtSide.signalIsWhiteBalTemp(held == BRX_Logic_ControllerConverters::colourTemperaturePreset(m_productId));
    if (!m_converters.get(Kind::WhiteBalance))
        debugPrint(kDebugAlways, "%s - no converter for white balance", setterLabel(__func__).c_str());
    return taken;
}

bool BRX_Logic_SetterRules::setWhiteBalTemp(int kelvin)
{
    return m_camera.setWhiteBalanceColorTemp(uint(kelvin));
}

bool BRX_Logic_SetterRules::setWhiteBalTemp(const QString& text)
{
    int kelvin = 0;
    return m_converters.valueOfText(Kind::WhiteBalTemp, text, &kelvin, setterLabel(__func__).c_str())
           && setWhiteBalTemp(kelvin);
}

// A value above the colour-temperature preset is a temperature, unless it is
// one of the camera's own presets (some list one above the temperature preset).
bool BRX_Logic_SetterRules::isWhiteBalanceTemperature(int value) const
{
    const BRX_Logic_ConverterBase* balance = m_converters.get(Kind::WhiteBalance);
    return balance && value > BRX_Logic_ControllerConverters::colourTemperaturePreset(m_productId)
           && !balance->values().contains(value);
}

bool BRX_Logic_SetterRules::writeWhiteBalance(int value)
{
    if (!isWhiteBalanceTemperature(value))
        return setWhiteBalance(value);
    const bool preset = setWhiteBalance(BRX_Logic_ControllerConverters::colourTemperaturePreset(m_productId));
    return setWhiteBalTemp(QString::number(value) + QStringLiteral(" K")) && preset;
}

bool BRX_Logic_SetterRules::setDriveMode(int mode)
{
    if (!isListed(Kind::DriveMode, mode, "drive mode", setterLabel(__func__).c_str()))
        return false;
    const bool bracketing = setBracketEnabled(mode == BRX_SDK_DriveModeBracketing);
    // Any other mode, bracketing too, ends an emulated interval: a press
    // would start the interval instead.
    const bool emulated = !m_camera.hasInterval() && mode == BRX_SDK_DriveModeInterval;
    if (!m_camera.hasInterval())
        m_capture.setSoftwareInterval(emulated);
    const bool single = emulated || mode == BRX_SDK_DriveModeBracketing;
    const bool taken = m_camera.setDriveMode(eVQDriveMode(single ? int(BRX_SDK_DriveModeSingle) : mode));
    m_controllerThread.notificationDue(BRX_SDK_PropertyDriveMode);
    return taken && bracketing;
}

bool BRX_Logic_SetterRules::setIntervalFrames(int frames)
{
    return storeInterval(true, frames);
}

bool BRX_Logic_SetterRules::setIntervalTime(int seconds)
{
    return storeInterval(false, seconds);
}

// frames: interval frames, else interval time. A camera with intervals of
// its own takes only the steps of its list: the nearest one within the
// range; the emulation takes any.
bool BRX_Logic_SetterRules::storeInterval(bool frames, int value)
{
    if (m_camera.hasInterval()) {
        const int step = nearestListed(frames ? Kind::IntervalFrames : Kind::IntervalTime, value);
        return frames ? m_camera.setIntervalFrames(step) : m_camera.setIntervalTime(step);
    }
    if (frames)
        m_capture.setIntervalFrames(value);
    else
        m_capture.setIntervalTime(value);
    return true;
}

namespace {

// The argument type of a setter of the camera model.
template <typename>
struct CameraArgument;
template <typename Argument>
struct CameraArgument<bool (BRX_Logic_Camera::*)(Argument)> {
    typedef Argument type;
};

} // namespace

#define BRX_SETTER_DEFINE(Name, Type)                                                              \
    bool BRX_Logic_SetterRules::Name(Type value)                                                   \
    {                                                                                              \
        return m_camera.Name(CameraArgument<decltype(&BRX_Logic_Camera::Name)>::type(value));      \
    }
BRX_SETTER_FORWARDS(BRX_SETTER_DEFINE)
#undef BRX_SETTER_DEFINE

bool BRX_Logic_SetterRules::setFocusDistanceDec()
{
    m_camera.setFocusDistanceDec();
    return true;
}

bool BRX_Logic_SetterRules::setFocusDistanceInc()
{
    m_camera.setFocusDistanceInc();
    return true;
}

bool BRX_Logic_SetterRules::setWantQuickView(bool want)
{
    m_camera.setWantQuickView(want);
    return true;
}

bool BRX_Logic_SetterRules::runOnControllerThread(std::function<void(BRX_Logic_Camera&)> call)
{
    m_controllerThread.runOnCamera(std::move(call));
    return true;
}

bool BRX_Logic_SetterRules::setLiveViewPhoto(bool on)
{
    return runOnControllerThread([on](BRX_Logic_Camera& camera) { camera.setLiveViewPhoto(on); });
}

bool BRX_Logic_SetterRules::setLiveViewVideo(bool on)
{
    return runOnControllerThread([on](BRX_Logic_Camera& camera) { camera.setLiveViewVideo(on); });
}

bool BRX_Logic_SetterRules::setLiveViewCrossPosGlobal(double x, double y)
{
    return runOnControllerThread([x, y](BRX_Logic_Camera& camera) { camera.setLiveViewCrossPosGlobal(x, y); });
}

bool BRX_Logic_SetterRules::toggleLiveViewZoom()
{
    return runOnControllerThread([](BRX_Logic_Camera& camera) { camera.toggleLiveViewZoom(); });
}

bool BRX_Logic_SetterRules::setWantLiveView(bool want)
{
    return runOnControllerThread([want](BRX_Logic_Camera& camera) { camera.setWantLiveView(want); });
}
