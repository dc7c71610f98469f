#include "BRX_Logic_ControllerNotifier.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_CaptureControl.h"
#include "BRX_Logic_ControllerMirror.h"
#include "BRX_Logic_ControllerSignals.h"
#include "BRX_Logic_ConverterBase.h"
#include "BRX_Logic_ConverterExposCompens.h"
#include "BRX_Logic_ConverterFocusDistance.h"
#include "BRX_Logic_PropertyLists.h"
#include "BRX_Logic_PropertyTable.h"
#include "BRX_SDK_C.h"

#include <array>

namespace {

using Kind = BRX_Logic_ControllerConverters::Kind;
using Mirror = BRX_Logic_ControllerMirror;
typedef BRX_Logic_Camera Cam;
typedef BRX_Logic_ControllerNotifier Notifier;

} // namespace

BRX_Logic_ControllerNotifier::BRX_Logic_ControllerNotifier(BRX_Logic_Camera& camera,
                                                           BRX_Logic_ControllerConverters& converters,
                                                           BRX_Logic_PropertyTable& table,
                                                           BRX_Logic_ControllerMirror& mirror,
                                                           BRX_Logic_CaptureControl& capture,
                                                           BRX_Logic_ControllerSignals& qtSide, int productId)
    : m_camera(camera)
    , m_converters(converters)
    , m_table(table)
    , m_mirror(mirror)
    , m_capture(capture)
    , m_qtSide(qtSide)
    , m_productId(productId)
{
    followCamera();
    connect(&m_capture, &BRX_Logic_CaptureControl::signalShutterTimeStale, this,
            &Notifier::notifyCurrentShutterTime);
}

// Camera values that reach the host as they are.
template <typename T>
void BRX_Logic_ControllerNotifier::connectValue(void (BRX_Logic_Camera::*signal)(T), int property)
{
    connect(&m_camera, signal, this, [this, property](T value) { notifyValue(property, value); });
}

// Camera values that reach the host as they are and the Qt side with their text.
void BRX_Logic_ControllerNotifier::connectConverted(void (BRX_Logic_Camera::*signal)(int), int property, int kind)
{
    connect(&m_camera, signal, this, [this, property, kind](int value) { notifyConverted(property, kind, value); });
}

void BRX_Logic_ControllerNotifier::followCamera()
{
    connectValue(&Cam::signalExposureMode, BRX_SDK_PropertyExposureMode);
    connectConverted(&Cam::signalExposMetering, BRX_SDK_PropertyExposMetering, Kind::ExposMetering);
    connect(&m_camera, &Cam::signalAperture, this, &Notifier::notifyAperture);
    connect(&m_camera, &Cam::signalShutterTime, this, &Notifier::notifyShutterTime);
    connectConverted(&Cam::signalExposCompens, BRX_SDK_PropertyExposCompens, Kind::ExposCompens);
    connectValue(&Cam::signalSensitivityAuto, BRX_SDK_PropertySensitivityAuto);
    connectValue(&Cam::signalBracketEnabled, BRX_SDK_PropertyBracketEnabled);
    connectConverted(&Cam::signalBracketImgNum, BRX_SDK_PropertyBracketImgNum, Kind::BracketImgNum);
    connectConverted(&Cam::signalBracketDeltaEV, BRX_SDK_PropertyBracketDeltaEV, Kind::BracketDeltaEV);
    connectValue(&Cam::signalMirrorUpMode, BRX_SDK_PropertyMirrorUpMode);
    connectValue(&Cam::signalFocusConfirmation, BRX_SDK_PropertyFocusConfirmation);
    connectValue(&Cam::signalFocusConfirmBadSig, BRX_SDK_PropertyFocusConfirmBadSig);
    connectValue(&Cam::signalFocusMode, BRX_SDK_PropertyFocusMode);
    connectValue(&Cam::signalPowerSwitch, BRX_SDK_PropertyPowerSwitch);
    connectValue(&Cam::signalLensConnectionType, BRX_SDK_PropertyLensConnectionType);
    connectConverted(&Cam::signalIntervalFrames, BRX_SDK_PropertyIntervalFrames, Kind::IntervalFrames);
    connectConverted(&Cam::signalIntervalTime, BRX_SDK_PropertyIntervalTime, Kind::IntervalTime);
    connect(&m_camera, &Cam::signalSensitivity, this, &Notifier::emitSensitivity);
    connect(&m_camera, &Cam::signalDriveMode, this, &Notifier::emitDriveMode);
    connect(&m_camera, &Cam::signalNoFocusConfirmation, this, &Notifier::emitNoFocusConfirmation);
    connect(&m_camera, &Cam::signalFocusDistance, this, &Notifier::emitFocusDistance);
    connect(&m_camera, &Cam::signalAutoFocusLimitDist, this, &Notifier::emitAutoFocusLimitDist);
    connect(&m_camera, &Cam::signalWhiteBalance, this, &Notifier::emitWhiteBalance);
    connect(&m_camera, &Cam::signalWhiteBalTemp, this, &Notifier::emitWhiteBalTemp);
    connect(&m_camera, &Cam::signalLensChanged, this, &Notifier::catchLensChanged);
    connect(&m_camera, &Cam::signalElectronicShutter, this, &Notifier::catchElectronicShutter);
    connect(&m_camera, &Cam::signalMaxShutterTime, this, &Notifier::catchMaxShutterTime);
    connect(&m_camera, &Cam::signalLiveViewMode, this, &Notifier::catchLiveViewMode);
}

// --- Notifications -----------------------------------------------------------

// A value the camera has not told is held back; the read that tells it
// flags it changed, which notifies it then.
void BRX_Logic_ControllerNotifier::notifyPayload(int property, const void* data, quint32 size)
{
    if (m_table.holdsCameraValue(property))
        Q_EMIT signalProperty(property, const_cast<void*>(data), size);
}

template <typename T>
void BRX_Logic_ControllerNotifier::notifyValue(int property, T value)
{
    notifyPayload(property, &value, quint32(sizeof value));
}

template <typename T>
void BRX_Logic_ControllerNotifier::notifyList(int property, const QVector<T>& values)
{
    notifyPayload(property, values.constData(), quint32(values.size() * sizeof(T)));
}

// A converted value's notification; a missing converter loses only the
// Qt side's text.
void BRX_Logic_ControllerNotifier::notifyConverted(int property, int kind, int value)
{
    notifyValue(property, qint32(value));
    m_mirror.emitValue(Kind(kind), value);
}

void BRX_Logic_ControllerNotifier::notifyShutterTime(double seconds)
{
    notifyValue(BRX_SDK_PropertyShutterTime, seconds);
    m_mirror.emitShutterTime(seconds);
}

void BRX_Logic_ControllerNotifier::notifyAperture(double fNumber)
{
    notifyValue(BRX_SDK_PropertyAperture, fNumber);
    m_mirror.emitAperture(fNumber);
}

void BRX_Logic_ControllerNotifier::notifyCurrentShutterTime()
{
    notifyShutterTime(m_camera.shutterTime());
}

// The selectable shutter times depend on the sensitivity, the electronic
// shutter and the longest time: the list and the current time again.
void BRX_Logic_ControllerNotifier::notifyShutterTimes()
{
    emitShutterTimeList();
    notifyCurrentShutterTime();
}

// The drive mode as the host sees it: 5 while the interval is emulated.
void BRX_Logic_ControllerNotifier::notifyDriveMode()
{
    const int mode = m_capture.isSoftwareInterval() ? int(BRX_SDK_DriveModeInterval) : m_camera.driveMode();
    notifyConverted(BRX_SDK_PropertyDriveMode, Kind::DriveMode, mode);
}

void BRX_Logic_ControllerNotifier::followUp(int property)
{
    switch (property) {
    case BRX_SDK_PropertyExposureMode:
        notifyValue(property, qint32(m_camera.exposureMode()));
        break;
    case BRX_SDK_PropertySensitivityAuto:
        notifyValue(property, m_camera.sensitivityAuto());
        notifyShutterTimes();
        break;
    case BRX_SDK_PropertyDriveMode:
        notifyDriveMode();
        break;
    }
}

void BRX_Logic_ControllerNotifier::emitSensitivity(int iso)
{
    notifyConverted(BRX_SDK_PropertySensitivity, Kind::Sensitivity, m_table.sensitivityValue(iso));
    notifyShutterTimes();
}

void BRX_Logic_ControllerNotifier::emitDriveMode(int mode)
{
    notifyConverted(BRX_SDK_PropertyDriveMode, Kind::DriveMode, mode);
    if (mode != BRX_SDK_DriveModeInterval)
        m_capture.setSoftwareInterval(false);
}

void BRX_Logic_ControllerNotifier::emitFocusDistance(int code)
{
    notifyDistance(BRX_SDK_PropertyFocusDistance, code, BRX_METHOD);
    if (m_converters.focusDistance())
        m_mirror.emitFocusDistance(code);
}

void BRX_Logic_ControllerNotifier::emitFocusMaxDistance(int code)
{
    notifyDistance(BRX_SDK_PropertyFocusMaxDistance, code, BRX_METHOD);
}

void BRX_Logic_ControllerNotifier::emitFocusMinDistance(int code)
{
    notifyDistance(BRX_SDK_PropertyFocusMinDistance, code, BRX_METHOD);
}

void BRX_Logic_ControllerNotifier::emitAutoFocusLimitDist(int code)
{
    notifyDistance(BRX_SDK_PropertyAutoFocusLimitDist, code, BRX_METHOD);
}

// The payload is in metres, which needs the focus-distance converter.
void BRX_Logic_ControllerNotifier::notifyDistance(int property, int code, const char* label)
{
    double metres = 0.0;
    if (m_table.readFocusDistance(code, &metres, label))
        notifyValue(property, metres);
}

// Two products report the temperature preset as 10 as well as 9.
void BRX_Logic_ControllerNotifier::emitWhiteBalance(int index)
{
    if ((m_productId == 0x2031 || m_productId == 0x2041) && index == 10)
        index = 9;
    notifyValue(BRX_SDK_PropertyWhiteBalance,
                qint32(m_table.whiteBalanceValue(index, m_camera.whiteBalanceColorTemp())));
    m_mirror.emitValue(Kind::WhiteBalance, index);
}

// A temperature change in any other preset re-sends the unchanged index.
void BRX_Logic_ControllerNotifier::emitWhiteBalTemp(int temperature)
{
    notifyValue(BRX_SDK_PropertyWhiteBalance,
           qint32(m_table.whiteBalanceValue(m_camera.whiteBalanceIndex() & 0xFF, temperature)));
    m_mirror.emitValue(Kind::WhiteBalTemp, temperature);
}

void BRX_Logic_ControllerNotifier::emitNoFocusConfirmation()
{
    notifyPayload(BRX_SDK_PropertyNoFocusConfirmation, nullptr, 0);
}

// --- Lists -------------------------------------------------------------------

double BRX_Logic_ControllerNotifier::apertureStep() const
{
    if (m_camera.hasExposCompensStep())
        return BRX_Logic_PropertyLists::stepFromCompensStep(m_camera.exposCompensStep());
    return BRX_Logic_PropertyLists::stepFromApertureSteps(m_camera.apertureSteps());
}

double BRX_Logic_ControllerNotifier::shutterTimeStep() const
{
    if (!m_camera.hasExposCompensStep() && !m_camera.hasAperture())
        return 0.5;
    return apertureStep();
}

double BRX_Logic_ControllerNotifier::fastestShutterTime() const
{
    if (m_productId != 0x2041)
        return 1.0 / 4000;
    const bool electronic = m_camera.hasElectronicShutter() && m_camera.electronicShutter() == 1;
    return electronic ? 1.0 / 16000 : 1.0 / 8000;
}

void BRX_Logic_ControllerNotifier::emitApertureList()
{
    const QVector<double> fNumbers =
        BRX_Logic_PropertyLists::apertureList(m_camera.openApertureValue(), m_camera.closeApertureValue(),
                                              apertureStep(), BRX_Logic_APEXConverterAperture::fNumberFromAv);
    notifyList(BRX_SDK_PropertyApertureList, fNumbers);
    m_mirror.emitApertureList(fNumbers);
}

void BRX_Logic_ControllerNotifier::emitShutterTimeList()
{
    const double step = shutterTimeStep();
    if (step <= 0.0) {
        debugPrint(kDebugAlways, "%s - illegal shutter time step", BRX_METHOD);
        return;
    }
    const BRX_Logic_APEXConverterShutterTime& converter = m_converters.shutterTime();
    const QVector<double> times =
        BRX_Logic_PropertyLists::shutterTimeList(fastestShutterTime(), m_camera.maxShutterTime(), step,
                                                 [&converter](double tv) { return converter.secondsFromTv(tv); });
    notifyList(BRX_SDK_PropertyShutterTimeList, times);
    m_mirror.emitShutterTimeList(times);
}

void BRX_Logic_ControllerNotifier::notifyConverterValues(int property, int kind, const char* label)
{
    const BRX_Logic_ConverterBase* converter = m_converters.get(Kind(kind));
    if (!converter) {
        debugPrint(kDebugAlways, "%s - no converter for %s", label,
                   BRX_Logic_ControllerConverters::subject(Kind(kind)));
        return;
    }
    notifyList(property, BRX_Logic_PropertyLists::roundedValues(converter->values()));
    m_mirror.emitList(Kind(kind));
}

void BRX_Logic_ControllerNotifier::notifyConverterRange(int property, int kind, const char* label)
{
    std::array<qint32, 2> range;
    if (!m_table.readRange(Kind(kind), &range, label))
        return;
    notifyValue(property, range);
    m_mirror.emitList(Kind(kind));
}

void BRX_Logic_ControllerNotifier::emitExposCompensList()
{
    notifyConverterValues(BRX_SDK_PropertyExposCompensList, Kind::ExposCompens, BRX_METHOD);
}

void BRX_Logic_ControllerNotifier::emitSensitivityList()
{
    notifyConverterValues(BRX_SDK_PropertySensitivityList, Kind::Sensitivity, BRX_METHOD);
}

void BRX_Logic_ControllerNotifier::emitBracketDeltaEVList()
{
    notifyConverterValues(BRX_SDK_PropertyBracketDeltaEVList, Kind::BracketDeltaEV, BRX_METHOD);
}

void BRX_Logic_ControllerNotifier::emitIntervalFramesList()
{
    notifyConverterRange(BRX_SDK_PropertyIntervalFramesRange, Kind::IntervalFrames, BRX_METHOD);
}

void BRX_Logic_ControllerNotifier::emitIntervalTimeList()
{
    notifyConverterRange(BRX_SDK_PropertyIntervalTimeRange, Kind::IntervalTime, BRX_METHOD);
}

// --- Camera changes with follow-ups ------------------------------------------

void BRX_Logic_ControllerNotifier::notifyFocusRange()
{
    BRX_Logic_ConverterFocusDistance* converter = m_converters.focusDistance();
    converter->setFocusPositionMax(m_camera.focusPositionMax());
    converter->setFocusPositionMin(m_camera.focusPositionMin());
    emitFocusMaxDistance(converter->focusPositionMax());
    emitFocusMinDistance(converter->focusPositionMin());
}

void BRX_Logic_ControllerNotifier::catchLensChanged()
{
    if (m_camera.hasAperture())
        emitApertureList();
    if (m_converters.focusDistance())
        notifyFocusRange();
    else if (m_camera.hasFocusDistance())
        debugPrint(kDebugAlways, "%s - no converter for focus distance", BRX_METHOD);
}

void BRX_Logic_ControllerNotifier::catchExposCompensStep(int milliEv)
{
    m_converters.shutterTime().setStepSize(milliEv);
    auto* converter = static_cast<BRX_Logic_ConverterExposCompens*>(m_converters.get(Kind::ExposCompens));
    if (!converter) {
        debugPrint(kDebugAlways, "%s - no converter for exposure compensation", BRX_METHOD);
        return;
    }
    if (converter->stepSize() == milliEv)
        return;
    converter->setStepSize(milliEv);
    notifyValue(BRX_SDK_PropertyExposCompensStep, qint32(milliEv));
    emitExposCompensList();
    notifyConverted(BRX_SDK_PropertyExposCompens, Kind::ExposCompens, 0);
    notifyShutterTimes();
    if (m_camera.hasAperture()) {
        emitApertureList();
        notifyAperture(m_camera.aperture());
    }
}

void BRX_Logic_ControllerNotifier::catchElectronicShutter(int)
{
    notifyShutterTimes();
}

void BRX_Logic_ControllerNotifier::catchMaxShutterTime(double)
{
    notifyShutterTimes();
}

void BRX_Logic_ControllerNotifier::catchLiveViewMode(int mode)
{
    m_table.setLiveViewMode(mode);
    Q_EMIT m_qtSide.signalLiveViewMode(mode);
}

// --- Initial state -------------------------------------------------------------

void BRX_Logic_ControllerNotifier::sendInitialState()
{
    sendInitialPower();
    m_mirror.sendGroup(Mirror::PictureSettings);
    sendInitialCompensStep();
    if (m_mirror.announce(Mirror::ExposureSimulation))
        Q_EMIT m_qtSide.signalExposureSimulation(m_camera.exposureSimulation());
    Q_EMIT m_qtSide.signalFileNameAndNumber();
    m_mirror.announce(Mirror::WhiteBalance);
    sendInitialLists();
    sendInitialValues();
}

void BRX_Logic_ControllerNotifier::sendInitialPower()
{
    m_mirror.sendGroup(Mirror::Battery);
    if (m_mirror.announce(Mirror::LensConnectionType))
        notifyValue(BRX_SDK_PropertyLensConnectionType, qint32(m_camera.lensConnectionType()));
    if (m_mirror.announce(Mirror::PowerSwitch))
        notifyValue(BRX_SDK_PropertyPowerSwitch, qint32(m_camera.powerSwitch()));
    m_mirror.announce(Mirror::VideoRecording);
    if (m_mirror.announce(Mirror::LiveView)) {
        Q_EMIT m_qtSide.signalLiveViewMode(0);
        if (m_camera.wantsLiveView())
            m_camera.checkIfLiveViewIsActive();
    }
    m_mirror.sendGroup(Mirror::FlashAndKeyLock);
}

void BRX_Logic_ControllerNotifier::sendInitialCompensStep()
{
    if (!m_camera.hasExposCompensStep())
        return;
    const int step = m_camera.exposCompensStep();
    m_converters.shutterTime().setStepSize(step);
    if (auto* converter = static_cast<BRX_Logic_ConverterExposCompens*>(m_converters.get(Kind::ExposCompens)))
        converter->setStepSize(step);
    notifyValue(BRX_SDK_PropertyExposCompensStep, qint32(step));
}

void BRX_Logic_ControllerNotifier::sendInitialLists()
{
    mirrorList(Kind::DriveMode, BRX_METHOD);
    mirrorList(Kind::ExposMetering, BRX_METHOD);
    emitExposCompensList();
    mirrorList(Kind::BracketImgNum, BRX_METHOD);
    emitBracketDeltaEVList();
    emitIntervalFramesList();
    emitIntervalTimeList();
    emitSensitivityList();
    if (m_camera.hasWhiteBalance()) {
        mirrorList(Kind::WhiteBalance, BRX_METHOD);
        mirrorList(Kind::WhiteBalTemp, BRX_METHOD);
    }
    emitShutterTimeList();
    catchLensChanged();
    Q_EMIT m_qtSide.signalFocusIsUnitFeet(false);
}

// A list only the Qt side receives.
void BRX_Logic_ControllerNotifier::mirrorList(int kind, const char* label)
{
    if (!m_mirror.emitList(Kind(kind)))
        debugPrint(kDebugAlways, "%s - no converter for %s", label,
                   BRX_Logic_ControllerConverters::subject(Kind(kind)));
}

void BRX_Logic_ControllerNotifier::sendInitialValues()
{
    BRX_Logic_Camera& camera = m_camera;
    notifyDriveMode();
    if (m_mirror.announce(Mirror::FocusMode))
        notifyValue(BRX_SDK_PropertyFocusMode, qint32(camera.focusMode()));
    notifyConverted(BRX_SDK_PropertyExposMetering, Kind::ExposMetering, camera.exposMetering());
    notifyConverted(BRX_SDK_PropertyExposCompens, Kind::ExposCompens, camera.exposCompens());
    notifyValue(BRX_SDK_PropertyBracketEnabled, camera.bracketingEnabled());
    notifyConverted(BRX_SDK_PropertyBracketImgNum, Kind::BracketImgNum, camera.bracketingImageNumbers());
    notifyConverted(BRX_SDK_PropertyBracketDeltaEV, Kind::BracketDeltaEV, camera.bracketingDeltaEV());
    sendInitialIntervals();
    if (m_mirror.announce(Mirror::AutoFocusLimit)) {
        Q_EMIT m_qtSide.signalAutoFocusLimit(camera.autoFocusLimit());
        emitAutoFocusLimitDist(camera.autoFocusLimitDist());
    }
    if (m_mirror.announce(Mirror::MirrorUpMode))
        notifyValue(BRX_SDK_PropertyMirrorUpMode, camera.mirrorUpMode());
    notifyValue(BRX_SDK_PropertySensitivityAuto, camera.sensitivityAuto());
    emitSensitivity(camera.sensitivity());
    if (camera.hasWhiteBalance()) {
        emitWhiteBalance(camera.whiteBalanceIndex() & 0xFF);
        emitWhiteBalTemp(camera.whiteBalanceColorTemp());
    }
    notifyValue(BRX_SDK_PropertyExposureMode, qint32(camera.exposureMode()));
    if (m_mirror.announce(Mirror::Aperture))
        notifyAperture(camera.aperture());
    notifyCurrentShutterTime();
    sendInitialFocus();
}

// A camera without interval shooting of its own reports the emulation's values.
void BRX_Logic_ControllerNotifier::sendInitialIntervals()
{
    const bool own = m_mirror.announce(Mirror::Interval);
    notifyConverted(BRX_SDK_PropertyIntervalFrames, Kind::IntervalFrames,
                    own ? m_camera.intervalFrames() : m_capture.intervalFrames());
    notifyConverted(BRX_SDK_PropertyIntervalTime, Kind::IntervalTime,
                    own ? m_camera.intervalTime() : m_capture.intervalTime());
}

void BRX_Logic_ControllerNotifier::sendInitialFocus()
{
    if (m_mirror.announce(Mirror::FocusDistance))
        emitFocusDistance(m_camera.focusDistance());
    if (!m_mirror.announce(Mirror::FocusConfirmation))
        return;
    if (m_camera.focusConfirmationEnabled()) {
        notifyValue(BRX_SDK_PropertyFocusConfirmBadSig, m_camera.focusConfirmationBadSignal());
        notifyValue(BRX_SDK_PropertyFocusConfirmation, qint32(m_camera.focusConfirmation()));
    } else {
        emitNoFocusConfirmation();
    }
}
