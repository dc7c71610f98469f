#include "BRX_Commu_CameraAccess_Base.h"

#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_EventRules.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Debug.h"

#include <QVector>
#include <QtEndian>

#include <algorithm>
#include <iterator>

namespace {

const int kChangeTimerIntervalMs = 100;
// A camera that reports more than this before the host has caught up is
// flooding it: the queue of events and that of changed properties stay below.
const int kMaxQueued = 4096;
const quint32 kDevicePropDescSize = 1024;
const int kProductWithCaptureMode7 = 0x2031;
const int kCaptureMode7 = 7;

// Products that understand a release stage directly through operation 0x9004.
const int kDirectReleaseProducts[] = {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051};

} // namespace

BRX_Commu_CameraAccess_Base::BRX_Commu_CameraAccess_Base(int connectionType)
    : QObject(nullptr), m_connectionType(connectionType), m_changeTimer(this)
{
    m_changeTimer.setInterval(kChangeTimerIntervalMs);
    connect(&m_changeTimer, &QTimer::timeout, this,
            &BRX_Commu_CameraAccess_Base::timeoutDevicePropertyChanged);
    m_changeTimer.start();
}

BRX_Commu_CameraAccess_Base::~BRX_Commu_CameraAccess_Base() = default;

bool BRX_Commu_CameraAccess_Base::evaluateSupportsCaptureMode7()
{
    m_supportsCaptureMode7 = m_productId == kProductWithCaptureMode7
                             && supportsDevicePropValue(kDevicePropStillCaptureMode, kCaptureMode7);
    return m_supportsCaptureMode7;
}

// --- PTP operations ----------------------------------------------------------

bool BRX_Commu_CameraAccess_Base::getDeviceInfo(void* buffer, quint32 size)
{
    return receiveDataset(kOpGetDeviceInfo, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getStorageIDs(void* buffer, quint32 size)
{
    return receiveDataset(kOpGetStorageIDs, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getObjectHandles(void* buffer, quint32 size, uint storageId)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X storageId 0x%08X", BRX_METHOD, size, storageId);
    // All formats, all folders of that storage.
    const quint32 params[] = {storageId, 0, 0};
    return recvData(kOpGetObjectHandles, 3, params, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getStorageInfo(void* buffer, quint32 size, uint storageId)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X storageId 0x%08X", BRX_METHOD, size, storageId);
    const quint32 params[] = {storageId};
    return recvData(kOpGetStorageInfo, 1, params, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getObjectInfo(void* buffer, quint32 size, int thumbType,
                                                uint objectHandle)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X thumbType %d objectHandle 0x%08X", BRX_METHOD, size,
               thumbType, objectHandle);
    const quint32 params[] = {objectHandle, quint32(thumbType)};
    return recvData(kOpGetObjectInfo, 2, params, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getObjectPropsSupported(void* buffer, quint32 size,
                                                          uint objectFormatCode)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X objectFormatCode 0x%08X", BRX_METHOD, size,
               objectFormatCode);
    const quint32 params[] = {objectFormatCode};
    return recvData(kOpGetObjectPropsSupported, 1, params, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getObjectPropValue(void* buffer, quint32 size, uint propertyCode,
                                                     uint objectHandle)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X propertyCode 0x%08X objectHandle 0x%08X", BRX_METHOD,
               size, propertyCode, objectHandle);
    const quint32 params[] = {objectHandle, propertyCode};
    return recvData(kOpGetObjectPropValue, 2, params, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getObject(void* buffer, quint32 size, uint objectHandle, quint32* received)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X objectHandle 0x%08X", BRX_METHOD, size, objectHandle);
    const quint32 params[] = {objectHandle};
    return recvData(kOpGetObject, 1, params, buffer, size, BRX_METHOD, received);
}

bool BRX_Commu_CameraAccess_Base::getPartialObject(void* buffer, quint32 size, uint offset,
                                                   uint objectHandle, quint32* received)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X offset 0x%08X objectHandle 0x%08X", BRX_METHOD, size,
               offset, objectHandle);
    const quint32 params[] = {objectHandle, offset, size};
    return recvData(kOpGetPartialObject, 3, params, buffer, size, BRX_METHOD, received);
}

bool BRX_Commu_CameraAccess_Base::getStreamInfo(void* buffer, quint32 size)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X", BRX_METHOD, size);
    const quint32 params[] = {0};
    return recvData(kOpGetStreamInfo, 1, params, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getThumbnail(void* buffer, quint32 size, int thumbType,
                                               uint objectHandle, quint32* received)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X thumbType %d objectHandle 0x%08X", BRX_METHOD, size,
               thumbType, objectHandle);
    if (received)
        *received = 0;
    if (!buffer || size == 0)
        return false;
    const quint32 params[] = {objectHandle, quint32(thumbType)};
    return recvData(kOpGetThumb, 2, params, buffer, size, BRX_METHOD, received);
}

bool BRX_Commu_CameraAccess_Base::transferObjectReady()
{
    debugPrint(kDebugPtp, "%s", BRX_METHOD);
    return sendCommand(kOpTransferObjectReady, 0, nullptr, BRX_METHOD);
}

// A block shorter than asked for is no block: writing it back would send
// zeros for the fields the camera left out.
bool BRX_Commu_CameraAccess_Base::getCameraSettings(void* buffer, quint32 size)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X", BRX_METHOD, size);
    quint32 received = 0;
    return recvData(kOpGetCameraSettings, 0, nullptr, buffer, size, BRX_METHOD, &received) && received == size;
}

bool BRX_Commu_CameraAccess_Base::setCameraSettings(const void* buffer, quint32 size)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X", BRX_METHOD, size);
    return sendData(kOpSetCameraSettings, 0, nullptr, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getLensData(void* buffer, quint32 size)
{
    return receiveDataset(kOpGetLensData, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::get3DAxisData(void* buffer, quint32 size)
{
    return receiveDataset(kOpGet3DAxisData, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getGeotackingData(void* buffer, quint32 size)
{
    return receiveDataset(kOpGetGeotackingData, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getStreamData(void* buffer, quint32 size)
{
    return receiveDataset(kOpGetStreamData, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getDevicePropDesc(uint propertyCode, void* buffer, quint32 size)
{
    debugPrint(kDebugPtp, "%s - propertyCode 0x%08X dataSize 0x%08X", BRX_METHOD, propertyCode, size);
    const quint32 params[] = {propertyCode};
    return recvData(kOpGetDevicePropDesc, 1, params, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::getDevicePropValue(uint propertyCode, void* buffer, quint32 size)
{
    debugPrint(kDebugPtp, "%s - propertyCode 0x%08X dataSize 0x%08X", BRX_METHOD, propertyCode, size);
    const quint32 params[] = {propertyCode};
    return recvData(kOpGetDevicePropValue, 1, params, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::setDevicePropValue(uint propertyCode, const void* buffer,
                                                     quint32 size)
{
    debugPrint(kDebugPtp, "%s - propertyCode 0x%08X dataSize 0x%08X", BRX_METHOD, propertyCode, size);
    const quint32 params[] = {propertyCode};
    return sendData(kOpSetDevicePropValue, 1, params, buffer, size, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::deleteObject(uint objectHandle)
{
    debugPrint(kDebugPtp, "%s - objectHandle 0x%08X", BRX_METHOD, objectHandle);
    const quint32 params[] = {objectHandle};
    return sendCommand(kOpDeleteObject, 1, params, BRX_METHOD);
}

// The vendor datasets read without parameters.
bool BRX_Commu_CameraAccess_Base::receiveDataset(quint16 opCode, void* buffer, quint32 size, const char* label)
{
    debugPrint(kDebugPtp, "%s - dataSize 0x%08X", label, size);
    return recvData(opCode, 0, nullptr, buffer, size, label);
}

// The control operations that take one command value.
bool BRX_Commu_CameraAccess_Base::sendControl(quint16 opCode, int command, const char* label)
{
    debugPrint(kDebugPtp, "%s - command %d", label, command);
    const quint32 params[] = {quint32(command)};
    return sendCommand(opCode, 1, params, label);
}

bool BRX_Commu_CameraAccess_Base::initiateCapture()
{
    debugPrint(kDebugPtp, "%s", BRX_METHOD);
    return sendCommand(kOpInitiateCapture, 0, nullptr, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::controlAutoFocus(int command)
{
    return sendControl(kOpControlAutoFocus, command, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::controlAutoFocus(uint command, int mode)
{
    debugPrint(kDebugPtp, "%s - command %d mode %d", BRX_METHOD, int(command), mode);
    const quint32 params[] = {command, quint32(mode)};
    return sendCommand(kOpControlAutoFocus, 2, params, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::controlBulbExposure(int command)
{
    return sendControl(kOpControlBulbExposure, command, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::controlContinuousExposure(int command)
{
    return sendControl(kOpControlContinuousExposure, command, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::controlVideoRecording(int command)
{
    return sendControl(kOpControlVideoRecording, command, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::controlPhotoLiveView(int command)
{
    return sendControl(kOpControlPhotoLiveView, command, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::keepCameraActive()
{
    debugPrint(kDebugPtp, "%s", BRX_METHOD);
    return sendCommand(kOpKeepCameraActive, 0, nullptr, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::moveLens(uint command, int value)
{
    debugPrint(kDebugPtp, "%s - command %d value %d", BRX_METHOD, int(command), value);
    const quint32 params[] = {command, quint32(value)};
    return sendCommand(kOpMoveLens, 2, params, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::toggleZoomMode()
{
    debugPrint(kDebugPtp, "%s", BRX_METHOD);
    const quint32 params[] = {1};
    return sendCommand(kOpToggleZoomMode, 1, params, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::setFocusCrossPosition(int positionX, int positionY)
{
    debugPrint(kDebugPtp, "%s - positionX %d positionY %d", BRX_METHOD, positionX, positionY);
    const quint32 params[] = {quint32(positionX), quint32(positionY)};
    return sendCommand(kOpSetFocusCrossPosition, 2, params, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_Base::controlLVWhiteBalance(int command)
{
    return sendControl(kOpControlLVWhiteBalance, command, BRX_METHOD);
}

// --- Typed device properties ---------------------------------------------------

template <typename T>
bool BRX_Commu_CameraAccess_Base::getDevicePropTyped(quint16 propertyCode, T& value)
{
    uchar bytes[sizeof(T)];
    if (!getDevicePropValue(propertyCode, bytes, sizeof bytes))
        return false;
    value = qFromLittleEndian<T>(bytes);
    if (propertyCode == kDevicePropFocusMode)
        m_focusMode = quint16(value);
    return true;
}

template <typename T>
bool BRX_Commu_CameraAccess_Base::setDevicePropTyped(quint16 propertyCode, T value)
{
    uchar bytes[sizeof(T)];
    qToLittleEndian<T>(value, bytes);
    if (!setDevicePropValue(propertyCode, bytes, sizeof bytes))
        return false;
    if (propertyCode == kDevicePropFocusMode)
        m_focusMode = quint16(value);
    return true;
}

template bool BRX_Commu_CameraAccess_Base::getDevicePropTyped<quint8>(quint16, quint8&);
template bool BRX_Commu_CameraAccess_Base::getDevicePropTyped<quint16>(quint16, quint16&);
template bool BRX_Commu_CameraAccess_Base::getDevicePropTyped<qint16>(quint16, qint16&);
template bool BRX_Commu_CameraAccess_Base::getDevicePropTyped<quint32>(quint16, quint32&);
template bool BRX_Commu_CameraAccess_Base::setDevicePropTyped<quint8>(quint16, quint8);
template bool BRX_Commu_CameraAccess_Base::setDevicePropTyped<quint16>(quint16, quint16);
template bool BRX_Commu_CameraAccess_Base::setDevicePropTyped<qint16>(quint16, qint16);
template bool BRX_Commu_CameraAccess_Base::setDevicePropTyped<quint32>(quint16, quint32);

// --- Descriptor check ------------------------------------------------------------

namespace {

enum : quint16 { kDataTypeInt8 = 1, kDataTypeUInt32 = 6 };
enum : quint8 { kFormNone = 0, kFormRange = 1, kFormEnumeration = 2 };
const quint32 kDescValueOffset = 5;

// Bytes per value of data types 1..6 (INT8, UINT8, INT16, UINT16, INT32, UINT32).
quint32 dataTypeWidth(quint16 dataType)
{
    static const quint32 widths[] = {1, 1, 2, 2, 4, 4};
    return widths[dataType - kDataTypeInt8];
}

// Odd types are the signed ones; 32-bit values compare as signed either way.
bool dataTypeIsSigned(quint16 dataType)
{
    return dataType % 2 == 1;
}

bool rangeAdmits(BRX_Commu_ByteReader& desc, quint32 at, quint32 width, bool isSigned, qint32 value)
{
    const qint64 minimum = desc.readIntAt(at, width, isSigned);
    const qint64 maximum = desc.readIntAt(at + width, width, isSigned);
    const qint64 step = desc.readIntAt(at + 2 * width, width, isSigned);
    if (value < minimum || value > maximum)
        return false;
    // A step of 0 means the range has no step: every value in it is valid.
    return step == 0 || (value - minimum) % step == 0;
}

bool enumerationAdmits(BRX_Commu_ByteReader& desc, quint32 at, quint32 width, bool isSigned,
                       qint32 value)
{
    const quint16 count = desc.readU16At(at);
    for (quint32 i = 0; i < count && desc.ok(); ++i) {
        if (desc.readIntAt(at + 2 + i * width, width, isSigned) == value && desc.ok())
            return true;
    }
    return false;
}

} // namespace

bool BRX_Commu_CameraAccess_Base::supportsDevicePropValue(uint propertyCode, int value)
{
    QVector<uchar> buffer(kDevicePropDescSize);
    if (!getDevicePropDesc(propertyCode, buffer.data(), kDevicePropDescSize))
        return false;
    BRX_Commu_ByteReader desc(buffer.constData(), kDevicePropDescSize);
    const quint16 dataType = desc.readU16At(2);
    if (dataType < kDataTypeInt8 || dataType > kDataTypeUInt32) {
        debugPrint(kDebugAlways, "%s - Device Property Desc: unknown dataType 0x%04X", BRX_METHOD,
                   dataType);
        return false;
    }
    const quint32 width = dataTypeWidth(dataType);
    const bool isSigned = dataTypeIsSigned(dataType);
    const quint32 formFlagOffset = kDescValueOffset + 2 * width;
    const quint8 formFlag = desc.readU8At(formFlagOffset);
    switch (formFlag) {
    case kFormNone:
        return false;
    case kFormRange:
        return rangeAdmits(desc, formFlagOffset + 1, width, isSigned, value);
    case kFormEnumeration:
        return enumerationAdmits(desc, formFlagOffset + 1, width, isSigned, value);
    default:
        debugPrint(kDebugAlways, "%s - Device Property Desc: unknown formFlag 0x%02X with dataType 0x%04X",
                   BRX_METHOD, formFlag, dataType);
        return false;
    }
}

// --- Release -------------------------------------------------------------------------

bool BRX_Commu_CameraAccess_Base::releaseCam(int releaseStage, int param)
{
    debugPrint(kDebugPtp, "%s - release start - releaseStage %d - param %d", BRX_METHOD, releaseStage,
               param);
    static const int stagesWithParam[] = {kVQReleaseLensStepNear,  kVQReleaseLensStepFar,  kVQReleaseLensToPosition,
                                          kVQReleaseLiveViewStart, kVQReleaseLiveViewStop, kVQReleaseLiveViewWhiteBalance};
    const bool withParam = std::find(std::begin(stagesWithParam), std::end(stagesWithParam), releaseStage)
                           != std::end(stagesWithParam);
    const qint32 values[] = {releaseStage, param};
    return releaseCamImpl(withParam ? 2 : 1, values);
}

bool BRX_Commu_CameraAccess_Base::releaseCam(int releaseStage, int param1, int param2)
{
    debugPrint(kDebugPtp, "%s - release start - releaseStage %d - param1 %d - param2 %d", BRX_METHOD,
               releaseStage, param1, param2);
    const qint32 values[] = {releaseStage, param1, param2};
    return releaseCamImpl(3, values);
}

bool BRX_Commu_CameraAccess_Base::releaseCamAutoFocusStart()
{
    debugPrint(kDebugPtp, "%s - release start - releaseStage %d - param %d", BRX_METHOD, kVQReleaseAutoFocusStart, 0);
    const qint32 values[] = {kVQReleaseAutoFocusStart};
    return releaseCamImpl(1, values);
}

bool BRX_Commu_CameraAccess_Base::releaseCamAutoFocusStop()
{
    debugPrint(kDebugPtp, "%s - release start - releaseStage %d - param %d", BRX_METHOD, kVQReleaseAutoFocusStop, 0);
    const qint32 values[] = {kVQReleaseAutoFocusStop};
    return releaseCamImpl(1, values);
}

bool BRX_Commu_CameraAccess_Base::isDirectReleaseProduct() const
{
    return std::find(std::begin(kDirectReleaseProducts), std::end(kDirectReleaseProducts), m_productId)
           != std::end(kDirectReleaseProducts);
}

bool BRX_Commu_CameraAccess_Base::releaseCamImpl(quint32 count, const qint32* values)
{
    if (isDirectReleaseProduct()) {
        QVector<quint32> params;
        for (quint32 i = 0; i < count; ++i)
            params.append(quint32(values[i]));
        return sendCommand(kOpRelease, count, params.constData(), BRX_METHOD);
    }
    if (count == 0) {
        debugPrint(kDebugAlways, "%s - Error: no input parameters", BRX_METHOD);
        return false;
    }
    return translateRelease(count, values, BRX_METHOD);
}

namespace {

using Access = BRX_Commu_CameraAccess_Base;

// Autofocus mode for each focus mode the camera reports (0, 1, 2).
const int kAutoFocusModes[] = {2, 1, 0};

bool startAutoFocus(Access& access, const qint32*, const char* label)
{
    const quint16 focusMode = access.focusMode();
    if (focusMode >= std::size(kAutoFocusModes)) {
        debugPrint(kDebugAlways, "%s - Error: unknown focusMode %d", label, focusMode);
        return false;
    }
    return access.controlAutoFocus(0, kAutoFocusModes[focusMode]);
}

bool rejectParameter(const qint32* values, const char* label)
{
    debugPrint(kDebugAlways, "%s - Error: unknown additional parameter %d for releaseStage %d", label,
               values[1], values[0]);
    return false;
}

// Stages 17 and 18: p = 0 drives photo live view, p = 1 the video variant.
bool liveViewOrVideo(Access& access, const qint32* values, int liveViewCommand, int videoCommand,
                     const char* label)
{
    switch (values[1]) {
    case 0:
        return access.controlPhotoLiveView(liveViewCommand);
    case 1:
        return access.controlVideoRecording(videoCommand);
    default:
        return rejectParameter(values, label);
    }
}

bool liveViewWhiteBalance(Access& access, const qint32* values, const char* label)
{
    const quint32 command = quint32(values[1]);
    if (command >= 4)
        return rejectParameter(values, label);
    return access.controlLVWhiteBalance(int(command));
}

struct ReleaseTranslation
{
    int stage;
    quint32 valuesNeeded;  // the stage included
    bool (*send)(Access& access, const qint32* values, const char* label);
};

// How products without direct release express each stage.
const ReleaseTranslation kReleaseTranslations[] = {
    {kVQReleaseCapture, 1, [](Access& a, const qint32*, const char*) { return a.initiateCapture(); }},
    {kVQReleaseAutoFocusStart, 1, startAutoFocus},
    {kVQReleaseAutoFocusStop, 1, [](Access& a, const qint32*, const char*) { return a.controlAutoFocus(1); }},
    {kVQReleaseTimeExposureStart, 1, [](Access& a, const qint32*, const char*) { return a.controlBulbExposure(0); }},
    {kVQReleaseTimeExposureEnd, 1, [](Access& a, const qint32*, const char*) { return a.controlBulbExposure(1); }},
    {kVQReleaseLensStepNear, 2, [](Access& a, const qint32* v, const char*) { return a.moveLens(1, v[1]); }},
    {kVQReleaseLensStepFar, 2, [](Access& a, const qint32* v, const char*) { return a.moveLens(0, v[1]); }},
    {kVQReleaseLensToPosition, 2, [](Access& a, const qint32* v, const char*) { return a.moveLens(2, v[1]); }},
    {kVQReleaseSeriesStart, 1, [](Access& a, const qint32*, const char*) { return a.controlContinuousExposure(0); }},
    {kVQReleaseSeriesStop, 1, [](Access& a, const qint32*, const char*) { return a.controlContinuousExposure(1); }},
    {kVQReleaseKeepAlive, 1, [](Access& a, const qint32*, const char*) { return a.keepCameraActive(); }},
    {kVQReleaseVideoStart, 1, [](Access& a, const qint32*, const char*) { return a.controlVideoRecording(0); }},
    {kVQReleaseVideoStop, 1, [](Access& a, const qint32*, const char*) { return a.controlVideoRecording(1); }},
    {kVQReleaseLiveViewStart, 2, [](Access& a, const qint32* v, const char* l) { return liveViewOrVideo(a, v, 0, 2, l); }},
    {kVQReleaseLiveViewStop, 2, [](Access& a, const qint32* v, const char* l) { return liveViewOrVideo(a, v, 1, 3, l); }},
    {kVQReleaseZoomToggle, 1, [](Access& a, const qint32*, const char*) { return a.toggleZoomMode(); }},
    {kVQReleaseFocusCross, 3, [](Access& a, const qint32* v, const char*) { return a.setFocusCrossPosition(v[1], v[2]); }},
    {kVQReleaseLiveViewWhiteBalance, 2, liveViewWhiteBalance},
};

} // namespace

bool BRX_Commu_CameraAccess_Base::translateRelease(quint32 count, const qint32* values, const char* label)
{
    const int stage = values[0];
    const auto row = std::find_if(std::begin(kReleaseTranslations), std::end(kReleaseTranslations),
                                  [stage](const ReleaseTranslation& r) { return r.stage == stage; });
    if (row == std::end(kReleaseTranslations)) {
        debugPrint(kDebugAlways, "%s - Error: unknown releaseStage %d", label, stage);
        return false;
    }
    if (count < row->valuesNeeded) {
        if (row->valuesNeeded == 2)
            debugPrint(kDebugAlways, "%s - Error: missing additional parameter for releaseStage %d", label, stage);
        else
            debugPrint(kDebugAlways, "%s - Error: missing additional parameters for releaseStage %d", label, stage);
        return false;
    }
    return row->send(*this, values, label);
}

// --- Device-property changes and transfers -------------------------------------

void BRX_Commu_CameraAccess_Base::addChangedDeviceProperty(quint16 propertyCode)
{
    if (isFlooded(currentConnection()))
        return;
    {
        std::lock_guard<std::mutex> locker(m_changedPropertiesMutex);
        if (m_changedProperties.contains(propertyCode))
            return;
        if (m_changedProperties.size() < kMaxQueued) {
            m_changedProperties.append(propertyCode);
            return;
        }
        m_changedProperties.clear();
    }
    giveUpFlooded(currentConnection(), "changed properties");
}

void BRX_Commu_CameraAccess_Base::timeoutDevicePropertyChanged()
{
    quint16 code = 0;
    {
        std::lock_guard<std::mutex> locker(m_changedPropertiesMutex);
        if (!m_changedProperties.isEmpty())
            code = m_changedProperties.takeFirst();
    }
    if (code == kDevicePropLensChanged)
        emit signalLensChanged();
    else if (code != 0)
        emit signalDevicePropertyChanged(code);
}

void BRX_Commu_CameraAccess_Base::finishTransfer()
{
    std::lock_guard<std::mutex> locker(m_transferMutex);
    // Never below zero, even when a download ends that was not counted.
    if (m_pendingTransfers > 0)
        --m_pendingTransfers;
    m_transferActive = 0;
}

int BRX_Commu_CameraAccess_Base::pendingTransfers() const
{
    std::lock_guard<std::mutex> locker(m_transferMutex);
    return m_pendingTransfers;
}

bool BRX_Commu_CameraAccess_Base::isTransferActive() const
{
    std::lock_guard<std::mutex> locker(m_transferMutex);
    return m_transferActive != 0;
}

// --- Camera events -----------------------------------------------------------------

void BRX_Commu_CameraAccess_Base::queueEvent(quint32 connection, const BRX_Commu_PtpContainer& event)
{
    queuePending({connection, PendingEvent::kEvent, event});
}

void BRX_Commu_CameraAccess_Base::queueDeparture(quint32 connection, bool silent)
{
    m_departedConnection = connection;
    queuePending({connection, silent ? PendingEvent::kSilent : PendingEvent::kVanished, BRX_Commu_PtpContainer()});
}

// The queue carries the data; the queued call only wakes this object's
// thread. An event that would overfill it is not kept: the connection is
// given up instead.
void BRX_Commu_CameraAccess_Base::queuePending(const PendingEvent& event)
{
    {
        std::lock_guard<std::mutex> locker(m_eventMutex);
        if (event.kind == PendingEvent::kEvent && isFlooded(event.connection))
            return;
        if (event.kind != PendingEvent::kEvent || m_pendingEvents.size() < kMaxQueued) {
            appendPendingLocked(event);
            return;
        }
    }
    giveUpFlooded(event.connection, "events");
}

void BRX_Commu_CameraAccess_Base::appendPendingLocked(const PendingEvent& event)
{
    if (m_pendingEvents.isEmpty())
        QMetaObject::invokeMethod(this, "drainEvents", Qt::QueuedConnection);
    m_pendingEvents.append(event);
}

// A camera that floods the host is treated as broken: its events are
// dropped, once logged, and its connection closes as after a fault, so that
// discovery opens it afresh. Any thread.
void BRX_Commu_CameraAccess_Base::giveUpFlooded(quint32 connection, const char* what)
{
    {
        std::lock_guard<std::mutex> locker(m_eventMutex);
        if (isFlooded(connection))
            return;
        m_floodedConnection = connection;
        m_pendingEvents.erase(std::remove_if(m_pendingEvents.begin(), m_pendingEvents.end(),
                                             [connection](const PendingEvent& pending) {
                                                 return pending.connection == connection;
                                             }),
                              m_pendingEvents.end());
        appendPendingLocked({connection, PendingEvent::kFlooded, BRX_Commu_PtpContainer()});
    }
    debugPrint(kDebugAlways, "%s - the camera sent more %s than the host can queue; closing its connection",
               BRX_METHOD, what);
}

void BRX_Commu_CameraAccess_Base::dropQueuedEvents()
{
    std::lock_guard<std::mutex> locker(m_eventMutex);
    m_pendingEvents.clear();
}

void BRX_Commu_CameraAccess_Base::deviceDeparted(bool)
{
}

void BRX_Commu_CameraAccess_Base::deviceFlooded()
{
    closeConnection();
}

void BRX_Commu_CameraAccess_Base::drainEvents()
{
    QVector<PendingEvent> events;
    {
        std::lock_guard<std::mutex> locker(m_eventMutex);
        events.swap(m_pendingEvents);
    }
    for (const PendingEvent& pending : events) {
        if (pending.connection != m_connection || m_productId == 0)
            continue;
        if (pending.kind == PendingEvent::kEvent) {
            if (!isFlooded(pending.connection))
                deliverEvent(BRX_Commu_EventRules::eventId(pending.event.code), pending.event.params);
            continue;
        }
        if (pending.kind == PendingEvent::kFlooded) {
            deviceFlooded();
            continue;
        }
        debugPrint(kDebugPtp, "%s - device removed", BRX_METHOD);
        deviceDeparted(pending.kind == PendingEvent::kSilent);
    }
}

void BRX_Commu_CameraAccess_Base::deliverEvent(quint32 eventCode, const QVector<quint32>& params)
{
    typedef BRX_Commu_EventRules Rules;
    const Rules::Rule* rule = Rules::find(eventCode);
    if (!rule) {
        debugPrint(kDebugPtp, "%s - event 0x%08X is unknown", BRX_METHOD, eventCode);
        return;
    }
    debugPrint(kDebugPtp, "%s - event 0x%08X is %s", BRX_METHOD, eventCode, rule->name);
    if (rule->structProductsOnly && !BRX_Commu_ProductFamily::hasSettingsBlock(m_productId))
        return;
    if (Rules::needsParameter(rule->action) && params.isEmpty()) {
        debugPrint(kDebugAlways, "%s - event 0x%08X without parameter", BRX_METHOD, eventCode);
        return;
    }
    switch (rule->action) {
    case Rules::kActionSettings:
        Q_EMIT signalSettingsChanged();
        break;
    case Rules::kActionLens:
        Q_EMIT signalLensChanged();
        break;
    case Rules::kActionBulb:
        Q_EMIT signalBulbCounter(int(params.first()));
        break;
    case Rules::kActionSelfTimer:
        Q_EMIT signalSelfTimerCounter(int(params.first()));
        break;
    case Rules::kActionGeotagging:
        Q_EMIT signalGeotackingChanged();
        break;
    case Rules::kActionDeviceProperty:
        addChangedDeviceProperty(quint16(params.first()));
        break;
    case Rules::kAction3DAxis:
        Q_EMIT signal3DAxisDataChanged();
        break;
    case Rules::kActionTransferRequest:
        Q_EMIT signalTransferRequest();
        break;
    case Rules::kActionObjectRemoved:
        Q_EMIT signalObjectDeleted(params.first());
        Q_EMIT signalUpdateImageDB();
        break;
    case Rules::kActionObjectAdded:
        if (!params.isEmpty())
            Q_EMIT signalObjectAdded(params.first());
        Q_EMIT signalUpdateImageDB();
        break;
    case Rules::kActionImageDatabase:
        Q_EMIT signalUpdateImageDB();
        break;
    }
}
