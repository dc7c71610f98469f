#include "BRX_Logic_PropertyTable.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_CaptureControl.h"
#include "BRX_Logic_ConverterBase.h"
#include "BRX_Logic_ConverterFocusDistance.h"
#include "BRX_Logic_Rounding.h"
#include "BRX_Logic_SetterRules.h"
#include "BRX_SDK_C.h"

#include <QString>

#include <cstring>

namespace {

using Kind = BRX_Logic_ControllerConverters::Kind;
typedef BRX_Logic_Camera Cam;
typedef BRX_Logic_CaptureControl Capture;
typedef BRX_Logic_SetterRules Rules;
typedef BRX_Logic_SettingsChanges Changes;

// The camera model's live-view modes.
const int kLiveViewPhoto = 2;
const int kLiveViewVideo = 3;

template <typename T>
T readValue(const void* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

// The host may pass any non-zero byte for true.
template <>
bool readValue<bool>(const void* data)
{
    return *static_cast<const unsigned char*>(data) != 0;
}

template <typename T>
bool writeValue(void* data, T value)
{
    std::memcpy(data, &value, sizeof value);
    return true;
}

} // namespace

BRX_Logic_PropertyTable::BRX_Logic_PropertyTable(BRX_Logic_Camera& camera,
                                                 const BRX_Logic_ControllerConverters& converters,
                                                 BRX_Logic_SetterRules& rules, const BRX_Logic_CaptureControl& capture,
                                                 int productId)
    : m_camera(camera), m_converters(converters), m_rules(rules), m_capture(capture), m_productId(productId)
{
}

// Reader: the getter's value, in its own type, which is the payload's.
// Writer: the setter of the payload's type.
const BRX_Logic_PropertyTable::Row BRX_Logic_PropertyTable::kRows[] = {
    {BRX_SDK_PropertyExposureMode, readGetter<&Cam::exposureMode>, writeSetter<int, &Rules::setExposureMode>},
    {BRX_SDK_PropertyExposMetering, readGetter<&Cam::exposMetering>, writeSetter<int, &Rules::setExposMetering>},
    {BRX_SDK_PropertyAperture, readGetter<&Cam::aperture>, writeSetter<double, &Rules::setAperture>},
    {BRX_SDK_PropertyShutterTime, readGetter<&Cam::shutterTime>, writeSetter<double, &Rules::setShutterTime>},
    {BRX_SDK_PropertyExposCompens, readGetter<&Cam::exposCompens>, writeSetter<int, &Rules::setExposCompens>},
    {BRX_SDK_PropertyExposCompensStep, readGetter<&Cam::exposCompensStep>,
     writeSetter<int, &Rules::setExposCompensStep>},
    {BRX_SDK_PropertySensitivity, readSensitivity, writeSetter<int, &Rules::setSensitivity>},
    {BRX_SDK_PropertySensitivityAuto, readGetter<&Cam::sensitivityAuto>, writeSetter<bool, &Rules::setSensitivityAuto>},
    {BRX_SDK_PropertyDriveMode, readGetter<&Cam::driveMode>, writeSetter<int, &Rules::setDriveMode>},
    {BRX_SDK_PropertyBracketEnabled, readGetter<&Cam::bracketingEnabled>, writeSetter<bool, &Rules::setBracketEnabled>},
    {BRX_SDK_PropertyBracketImgNum, readGetter<&Cam::bracketingImageNumbers>,
     writeSetter<int, &Rules::setBracketImgNum>},
    {BRX_SDK_PropertyBracketDeltaEV, readGetter<&Cam::bracketingDeltaEV>, writeSetter<int, &Rules::setBracketDeltaEV>},
    {BRX_SDK_PropertyMirrorUpMode, readGetter<&Cam::mirrorUpMode>, writeSetter<bool, &Rules::setMirrorUpMode>},
    {BRX_SDK_PropertyFocusDistance, readDistance<&Cam::focusDistance>, writeSetter<double, &Rules::setFocusDistance>},
    {BRX_SDK_PropertyFocusDistanceDec, nullptr, writeCommand<&Rules::setFocusDistanceDec>},
    {BRX_SDK_PropertyFocusDistanceInc, nullptr, writeCommand<&Rules::setFocusDistanceInc>},
    {BRX_SDK_PropertyFocusMaxDistance, readDistance<&Cam::focusPositionMax>, nullptr},
    {BRX_SDK_PropertyFocusMinDistance, readDistance<&Cam::focusPositionMin>, nullptr},
    {BRX_SDK_PropertyAutoFocusLimitDist, readDistance<&Cam::autoFocusLimitDist>, nullptr},
    {BRX_SDK_PropertyFocusMode, readGetter<&Cam::focusMode>, writeSetter<int, &Rules::setFocusMode>},
    {BRX_SDK_PropertyFileFormat, readGetter<&Cam::fileFormat>, writeSetter<int, &Rules::setFileFormat>},
    {BRX_SDK_PropertyWantQuickView, readGetter<&Cam::wantsQuickView>, writeSetter<bool, &Rules::setWantQuickView>},
    {BRX_SDK_PropertyWhiteBalance, readWhiteBalance, writeSetter<int, &Rules::writeWhiteBalance>},
    {BRX_SDK_PropertyLiveViewPhoto, readLiveViewMode<kLiveViewPhoto>, writeSetter<bool, &Rules::setLiveViewPhoto>},
    {BRX_SDK_PropertyLiveViewVideo, readLiveViewMode<kLiveViewVideo>, writeSetter<bool, &Rules::setLiveViewVideo>},
    {BRX_SDK_PropertyLiveViewCrossPosGlobal, nullptr, writeCrossPosition},
    {BRX_SDK_PropertyToggleLiveViewZoom, nullptr, writeCommand<&Rules::toggleLiveViewZoom>},
    {BRX_SDK_PropertyWantLiveView, readGetter<&Cam::wantsLiveView>, writeSetter<bool, &Rules::setWantLiveView>},
    {BRX_SDK_PropertyPowerSwitch, readGetter<&Cam::powerSwitch>, nullptr},
    {BRX_SDK_PropertyLensConnectionType, readGetter<&Cam::lensConnectionType>, nullptr},
    {BRX_SDK_PropertyIntervalFramesRange, readRangeOf<Kind::IntervalFrames>, nullptr},
    {BRX_SDK_PropertyIntervalFrames, readInterval<&Cam::intervalFrames, &Capture::intervalFrames>,
     writeSetter<int, &Rules::setIntervalFrames>},
    {BRX_SDK_PropertyIntervalTimeRange, readRangeOf<Kind::IntervalTime>, nullptr},
    {BRX_SDK_PropertyIntervalTime, readInterval<&Cam::intervalTime, &Capture::intervalTime>,
     writeSetter<int, &Rules::setIntervalTime>},
};

// Lists, commands and the controller's own values have no camera setting.
const BRX_Logic_PropertyTable::Source BRX_Logic_PropertyTable::kSources[] = {
    {BRX_SDK_PropertyExposureMode, &Changes::exposureMode},
    {BRX_SDK_PropertyExposMetering, &Changes::exposMetering},
    {BRX_SDK_PropertyAperture, &Changes::aperture},
    {BRX_SDK_PropertyShutterTime, &Changes::shutterTime},
    {BRX_SDK_PropertyExposCompens, &Changes::exposCompens},
    {BRX_SDK_PropertyExposCompensStep, &Changes::exposCompensStep},
    {BRX_SDK_PropertySensitivity, &Changes::sensitivity},
    {BRX_SDK_PropertySensitivityAuto, &Changes::sensitivity},
    {BRX_SDK_PropertyDriveMode, &Changes::driveMode},
    {BRX_SDK_PropertyBracketEnabled, &Changes::bracketingEnabled},
    {BRX_SDK_PropertyBracketImgNum, &Changes::bracketingImageNumbers},
    {BRX_SDK_PropertyBracketDeltaEV, &Changes::bracketingDeltaEV},
    {BRX_SDK_PropertyMirrorUpMode, &Changes::mirrorUpMode},
    {BRX_SDK_PropertyFocusConfirmation, &Changes::focusConfirmation},
    {BRX_SDK_PropertyFocusConfirmBadSig, &Changes::focusConfirmationBadSignal},
    {BRX_SDK_PropertyFocusDistance, &Changes::focusDistance},
    {BRX_SDK_PropertyAutoFocusLimitDist, &Changes::autoFocusLimitDist},
    {BRX_SDK_PropertyFocusMode, &Changes::focusMode},
    {BRX_SDK_PropertyFileFormat, &Changes::fileFormat},
    {BRX_SDK_PropertyWhiteBalance, &Changes::whiteBalanceIndex},
    {BRX_SDK_PropertyPowerSwitch, &Changes::powerSwitch},
    {BRX_SDK_PropertyLensConnectionType, &Changes::lensConnectionType},
    {BRX_SDK_PropertyIntervalFrames, &Changes::intervalFrames},
    {BRX_SDK_PropertyIntervalTime, &Changes::intervalTime},
};

bool BRX_Logic_PropertyTable::holdsCameraValue(int property) const
{
    for (const Source& source : kSources) {
        if (source.property == property)
            return m_camera.holdsCameraValue(source.setting);
    }
    return true;
}

// Lists, reserved and emit-only numbers have no row.
const BRX_Logic_PropertyTable::Row* BRX_Logic_PropertyTable::rowOf(int property)
{
    for (const Row& row : kRows) {
        if (row.property == property)
            return &row;
    }
    return nullptr;
}

bool BRX_Logic_PropertyTable::hasReader(int property) const
{
    const Row* row = rowOf(property);
    return row && row->read;
}

bool BRX_Logic_PropertyTable::hasWriter(int property) const
{
    const Row* row = rowOf(property);
    return row && row->write;
}

bool BRX_Logic_PropertyTable::readProperty(int property, void* data, const char* label) const
{
    return rowOf(property)->read(*this, data, label);
}

bool BRX_Logic_PropertyTable::writeProperty(int property, const void* data)
{
    return rowOf(property)->write(*this, data);
}

template <auto Getter>
bool BRX_Logic_PropertyTable::readGetter(const BRX_Logic_PropertyTable& table, void* data, const char*)
{
    return writeValue(data, (table.m_camera.*Getter)());
}

template <auto Getter>
bool BRX_Logic_PropertyTable::readDistance(const BRX_Logic_PropertyTable& table, void* data, const char* label)
{
    double metres = 0.0;
    return table.readFocusDistance((table.m_camera.*Getter)(), &metres, label) && writeValue(data, metres);
}

template <BRX_Logic_ControllerConverters::Kind kind>
bool BRX_Logic_PropertyTable::readRangeOf(const BRX_Logic_PropertyTable& table, void* data, const char* label)
{
    std::array<qint32, 2> values;
    return table.readRange(kind, &values, label) && writeValue(data, values);
}

// A camera without interval shooting of its own reports the emulation's value.
template <auto Own, auto Emulated>
bool BRX_Logic_PropertyTable::readInterval(const BRX_Logic_PropertyTable& table, void* data, const char*)
{
    const BRX_Logic_Camera& camera = table.m_camera;
    return writeValue<qint32>(data, camera.hasInterval() ? (camera.*Own)() : (table.m_capture.*Emulated)());
}

template <int mode>
bool BRX_Logic_PropertyTable::readLiveViewMode(const BRX_Logic_PropertyTable& table, void* data, const char*)
{
    return writeValue<bool>(data, table.m_liveViewMode == mode);
}

bool BRX_Logic_PropertyTable::readWhiteBalance(const BRX_Logic_PropertyTable& table, void* data, const char*)
{
    const BRX_Logic_Camera& camera = table.m_camera;
    return writeValue<qint32>(
        data, table.whiteBalanceValue(camera.whiteBalanceIndex() & 0xFF, camera.whiteBalanceColorTemp()));
}

bool BRX_Logic_PropertyTable::readSensitivity(const BRX_Logic_PropertyTable& table, void* data, const char*)
{
    return writeValue<qint32>(data, table.sensitivityValue(table.m_camera.sensitivity()));
}

template <typename T, bool (BRX_Logic_SetterRules::*Setter)(T)>
bool BRX_Logic_PropertyTable::writeSetter(BRX_Logic_PropertyTable& table, const void* data)
{
    return (table.m_rules.*Setter)(readValue<T>(data));
}

template <bool (BRX_Logic_SetterRules::*Command)()>
bool BRX_Logic_PropertyTable::writeCommand(BRX_Logic_PropertyTable& table, const void*)
{
    return (table.m_rules.*Command)();
}

bool BRX_Logic_PropertyTable::writeCrossPosition(BRX_Logic_PropertyTable& table, const void* data)
{
    const double x = readValue<double>(data);
    const double y = readValue<double>(static_cast<const double*>(data) + 1);
    return table.m_rules.setLiveViewCrossPosGlobal(x, y);
}

bool BRX_Logic_PropertyTable::readFocusDistance(int code, double* metres, const char* label) const
{
    if (!m_converters.focusDistance()) {
        debugPrint(kDebugAlways, "%s - no converter for focus distance", label);
        return false;
    }
    *metres = BRX_Logic_ConverterFocusDistance::metersFromCode(code);
    return true;
}

bool BRX_Logic_PropertyTable::readRange(Kind kind, std::array<qint32, 2>* range, const char* label) const
{
    const BRX_Logic_ConverterBase* converter = m_converters.get(kind);
    if (!converter) {
        debugPrint(kDebugAlways, "%s - no converter for %s", label, BRX_Logic_ControllerConverters::subject(kind));
        return false;
    }
    *range = {qint32(roundHalfUp(converter->minValue())),
              qint32(roundHalfUp(converter->maxValue()))};
    return true;
}

int BRX_Logic_PropertyTable::whiteBalanceValue(int index, int temperature) const
{
    const BRX_Logic_ConverterBase* balance = m_converters.get(Kind::WhiteBalance);
    const BRX_Logic_ConverterBase* kelvin = m_converters.get(Kind::WhiteBalTemp);
    if (!balance || !kelvin || index != BRX_Logic_ControllerConverters::colourTemperaturePreset(m_productId))
        return index;
    QString text = kelvin->textOf(temperature);
    text.remove(QStringLiteral(" K"));
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : index;
}

int BRX_Logic_PropertyTable::sensitivityValue(int iso) const
{
    return m_camera.sensitivityAuto() ? 0 : iso;
}
