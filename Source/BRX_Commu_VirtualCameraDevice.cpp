#include "BRX_Commu_VirtualCameraDevice.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"

#include <QCryptographicHash>

#include <algorithm>

namespace {

typedef BRX_Commu_VirtualCameraDevice Device;

const quint32 kAllStorages = 0xFFFFFFFF;
const quint32 kWholeObject = 0xFFFFFFFF;
const quint32 kControlEnd = 1; // bulb and series control: 0 starts, 1 ends

QByteArray uint32Array(const QVector<quint32>& values)
{
    QByteArray out;
    BRX_Commu_ByteWriter::appendU32(out, quint32(values.size()));
    for (quint32 value : values)
        BRX_Commu_ByteWriter::appendU32(out, value);
    return out;
}

// How the host switches live view: the operation, its first parameter (the
// stage of a release), the second where it matters, and the mode the camera
// enters. The supported-streams word carries the mode in its upper half.
const qint64 kAnyVariant = -1;
struct LiveViewSwitch {
    quint16 opCode;
    quint32 command;
    qint64 variant;
    quint32 mode;
};
const LiveViewSwitch kLiveViewSwitches[] = {
    {Device::kOpRelease, kVQReleaseLiveViewStart, 0, 2},
    {Device::kOpRelease, kVQReleaseLiveViewStart, 1, 3},
    {Device::kOpRelease, kVQReleaseLiveViewStop, kAnyVariant, 0},
    {Device::kOpControlPhotoLiveView, 0, kAnyVariant, 2},
    {Device::kOpControlPhotoLiveView, 1, kAnyVariant, 0},
    {Device::kOpControlVideoRecording, 2, kAnyVariant, 3},
    {Device::kOpControlVideoRecording, 3, kAnyVariant, 0},
};

quint32 supportedStreamsWord(quint32 mode)
{
    return mode ? (mode << 16) | 1 : 0;
}

// The lens data's nearest and farthest focus positions, in millimetres.
const quint32 kLensNearestFocusOffset = 77;
const quint32 kLensFarthestFocusOffset = 81;
// The settings block's focus distance, in millimetres.
const int kBlockFocusDistance = 0x4c;

} // namespace

const Device::OperationEntry Device::s_operations[] = {
    {kOpGetDeviceInfo, Device::kDataIn, &Device::opGetDeviceInfo, Device::kAllProducts},
    {kOpOpenSession, Device::kNoData, &Device::opOpenSession, Device::kAllProducts},
    {kOpCloseSession, Device::kNoData, &Device::opCloseSession, Device::kAllProducts},
    {kOpGetStorageIDs, Device::kDataIn, &Device::opGetStorageIDs, Device::kAllProducts},
    {kOpGetStorageInfo, Device::kDataIn, &Device::opGetStorageInfo, Device::kAllProducts},
    {kOpGetObjectHandles, Device::kDataIn, &Device::opGetObjectHandles, Device::kAllProducts},
    {kOpGetObjectInfo, Device::kDataIn, &Device::opGetObjectInfo, Device::kAllProducts},
    {kOpGetObject, Device::kDataIn, &Device::opGetObject, Device::kAllProducts},
    {kOpGetThumb, Device::kDataIn, &Device::opGetThumb, Device::kAllProducts},
    {kOpDeleteObject, Device::kNoData, &Device::opDeleteObject, Device::kAllProducts},
    {kOpInitiateCapture, Device::kNoData, &Device::opInitiateCapture, Device::kAllProducts},
    {kOpGetDevicePropDesc, Device::kDataIn, &Device::opGetPropDesc, Device::kPropertyProducts},
    {kOpGetDevicePropValue, Device::kDataIn, &Device::opGetPropValue, Device::kPropertyProducts},
    {kOpSetDevicePropValue, Device::kDataOut, &Device::opSetPropValue, Device::kPropertyProducts},
    {kOpGetPartialObject, Device::kDataIn, &Device::opGetPartialObject, Device::kAllProducts},
    {kOpSetCameraSettings, Device::kDataOut, &Device::opSetSettings, Device::kStructProducts},
    {kOpGetCameraSettings, Device::kDataIn, &Device::opGetSettings, Device::kStructProducts},
    {kOpGetLensData, Device::kDataIn, &Device::opGetLensData, Device::kAllProducts},
    {kOpRelease, Device::kNoData, &Device::opRelease, Device::kAllProducts},
    {kOpOpenVQSession, Device::kNoData, &Device::opOpenVendorSession, Device::kAllProducts},
    {kOpCloseVQSession, Device::kNoData, &Device::opCloseVendorSession, Device::kAllProducts},
    {kOpTransferObjectReady, Device::kNoData, &Device::opTransferObjectReady, Device::kAllProducts},
    {kOpGetGeotackingData, Device::kDataIn, &Device::opGetGeotagging, Device::kAllProducts},
    {kOpControlBulbExposure, Device::kNoData, &Device::opControlBulb, Device::kAllProducts},
    {kOpControlContinuousExposure, Device::kNoData, &Device::opControlSeries, Device::kAllProducts},
    {kOpGet3DAxisData, Device::kDataIn, &Device::opGet3DAxis, Device::kAllProducts},
    {kOpGetStreamInfo, Device::kDataIn, &Device::opGetStreamInfo, Device::kLiveViewProducts},
    {kOpGetStreamData, Device::kDataIn, &Device::opGetStreamData, Device::kLiveViewProducts},
    {kOpControlVideoRecording, Device::kNoData, &Device::opControlVideoRecording, Device::kAllProducts},
    {kOpControlPhotoLiveView, Device::kNoData, &Device::opControlPhotoLiveView, Device::kAllProducts},
    {kOpToggleZoomMode, Device::kNoData, &Device::opToggleZoom, Device::kAllProducts},
    {kOpSetFocusCrossPosition, Device::kNoData, &Device::opSetFocusCross, Device::kAllProducts},
    {kOpGetObjectPropsSupported, Device::kDataIn, &Device::opGetObjectPropsSupported, Device::kObjectPropertyProducts},
    {kOpGetObjectPropValue, Device::kDataIn, &Device::opGetObjectPropValue, Device::kObjectPropertyProducts},
    // Keep-alive and the control operations without a picture: accepted as such.
    {kOpControlAutoFocus, Device::kNoData, &Device::opAcknowledge, Device::kAllProducts},
    {kOpKeepCameraActive, Device::kNoData, &Device::opAcknowledge, Device::kAllProducts},
    {kOpMoveLens, Device::kNoData, &Device::opAcknowledge, Device::kAllProducts},
    {kOpControlLVWhiteBalance, Device::kNoData, &Device::opAcknowledge, Device::kAllProducts},
};

BRX_Commu_VirtualCameraDevice::BRX_Commu_VirtualCameraDevice(int productId, const QString& serialNumber)
    : m_productId(productId)
    , m_serialNumber(serialNumber.isEmpty() ? BRX_Commu_VirtualCameraProfile::serialNumber(productId) : serialNumber)
    , m_deviceInfo(BRX_Commu_VirtualCameraProfile::deviceInfo(productId, m_serialNumber))
    , m_settings(productId)
    , m_lens(BRX_Commu_VirtualCameraProfile::lensData())
    , m_axis(BRX_Commu_VirtualCameraProfile::axisData(productId))
    , m_geotagging(BRX_Commu_VirtualCameraProfile::geotaggingData())
    , m_store(productId)
    , m_shutter(productId, m_serialNumber, m_lens, [this] { return settingsNow(); },
                [this](const QVector<quint16>& formats, const BRX_Commu_VirtualCameraShot& shot) {
                    orderPicture(formats, shot);
                })
{
}

BRX_Commu_VirtualCameraShotSettings BRX_Commu_VirtualCameraDevice::settingsNow() const
{
    return BRX_Commu_VirtualCameraShotSettings(m_productId, m_settings.block(),
                                           [this](quint16 code) { return propertyValue(code); });
}

const Device::OperationEntry* BRX_Commu_VirtualCameraDevice::findEntry(quint16 opCode)
{
    for (const OperationEntry& entry : s_operations) {
        if (entry.code == opCode)
            return &entry;
    }
    return nullptr;
}

bool BRX_Commu_VirtualCameraDevice::isServed(const OperationEntry& entry) const
{
    if (m_withdrawn.contains(entry.code))
        return false;
    const bool structProduct = BRX_Commu_ProductFamily::hasSettingsBlock(m_productId);
    switch (entry.servedTo) {
    case kStructProducts:
        return structProduct;
    case kPropertyProducts:
        return !structProduct;
    case kObjectPropertyProducts:
        return BRX_Commu_VirtualCameraProfile::hasObjectProperties(m_productId);
    case kLiveViewProducts:
        return BRX_Commu_VirtualCameraProfile::hasLiveView(m_productId);
    default:
        return true;
    }
}

bool BRX_Commu_VirtualCameraDevice::expectsDataOut(quint16 opCode) const
{
    if (m_customOperations.contains(opCode))
        return m_customOperations.value(opCode).first == kDataOut;
    const OperationEntry* entry = findEntry(opCode);
    return entry && isServed(*entry) && entry->direction == kDataOut;
}

Device::Reply BRX_Commu_VirtualCameraDevice::handle(quint16 opCode, quint32 transactionId,
                                                    const QVector<quint32>& params, const QByteArray& dataOut)
{
    m_operationLog << opCode;
    debugPrint(kDebugSimulation, "%s - operation 0x%04X transaction %u", BRX_METHOD, opCode, transactionId);
    Reply reply;
    reply.code = checkSession(opCode, transactionId, params.size());
    if (reply.code != kResponseOK)
        return reply;
    if (m_busyCount > 0) {
        --m_busyCount;
        reply.code = kResponseDeviceBusy;
        return reply;
    }
    reply.code = takeFailure(opCode, params);
    if (reply.code != 0)
        return reply;
    if (m_observer)
        m_observer(opCode, params);
    m_currentTransactionId = transactionId;
    reply = dispatch(opCode, params, dataOut);
    if (m_nextCut.opCode == opCode) {
        reply.data.truncate(int(qMin<quint32>(m_nextCut.bytes, quint32(reply.data.size()))));
        m_nextCut = Cut();
    }
    return reply;
}

// The checks a device makes before it looks at the operation itself.
quint16 BRX_Commu_VirtualCameraDevice::checkSession(quint16 opCode, quint32 transactionId, int numParams)
{
    if (numParams > int(BRX_Commu_PtpContainer::kMaxParams))
        return kResponseParameterNotSupported;
    if (opCode == kOpOpenSession) {
        if (m_sessionOpen)
            return kResponseSessionAlreadyOpen;
        return transactionId == 0 ? kResponseOK : kResponseInvalidTransactionID;
    }
    if (!m_sessionOpen)
        return opCode == kOpGetDeviceInfo ? kResponseOK : kResponseSessionNotOpen;
    if (transactionId != m_lastTransactionId + 1)
        return kResponseInvalidTransactionID;
    m_lastTransactionId = transactionId;
    return kResponseOK;
}

Device::Reply BRX_Commu_VirtualCameraDevice::dispatch(quint16 opCode, const QVector<quint32>& params,
                                                      const QByteArray& dataOut)
{
    Reply reply;
    if (m_customOperations.contains(opCode)) {
        const QPair<Direction, Handler> custom = m_customOperations.value(opCode);
        reply.code = custom.second(params, dataOut, &reply.data);
        reply.hasData = custom.first == kDataIn && reply.code == kResponseOK;
        return reply;
    }
    const OperationEntry* entry = findEntry(opCode);
    if (!entry || !isServed(*entry)) {
        reply.code = kResponseOperationNotSupported;
        return reply;
    }
    reply.code = (this->*entry->operation)(params, dataOut, &reply.data);
    reply.hasData = entry->direction == kDataIn && reply.code == kResponseOK;
    return reply;
}

QVector<BRX_Commu_PtpContainer> BRX_Commu_VirtualCameraDevice::takeEvents()
{
    QVector<BRX_Commu_PtpContainer> events;
    events.swap(m_events);
    return events;
}

void BRX_Commu_VirtualCameraDevice::raiseEvent(quint16 code, const QVector<quint32>& params,
                                               quint32 transactionId)
{
    m_events << BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kEvent, code, transactionId, params);
}

void BRX_Commu_VirtualCameraDevice::powerCycle()
{
    newConnection();
    endSession();
    m_shutter.reset();
    resetLiveView();
    dropAnnouncements();
}

void BRX_Commu_VirtualCameraDevice::cancelTransaction(quint32 transactionId)
{
    if (m_sessionOpen)
        m_lastTransactionId = std::max(m_lastTransactionId, transactionId);
}

void BRX_Commu_VirtualCameraDevice::endSession()
{
    m_sessionOpen = false;
    m_vendorSessionOpen = false;
    m_lastTransactionId = 0;
}

void BRX_Commu_VirtualCameraDevice::dropAnnouncements()
{
    m_events.clear();
    m_store.clearPending();
}

void BRX_Commu_VirtualCameraDevice::setCustomOperation(quint16 opCode, Direction direction, const Handler& handler)
{
    m_customOperations.insert(opCode, qMakePair(direction, handler));
}

void BRX_Commu_VirtualCameraDevice::injectBusy(int count)
{
    m_busyCount = count;
}

void BRX_Commu_VirtualCameraDevice::failOperation(quint16 opCode, quint16 responseCode, int times)
{
    setFailure(FailureKey(opCode, -1), responseCode, times);
}

void BRX_Commu_VirtualCameraDevice::failOperationOn(quint16 opCode, quint32 param, quint16 responseCode, int times)
{
    setFailure(FailureKey(opCode, param), responseCode, times);
}

void BRX_Commu_VirtualCameraDevice::setFailure(const FailureKey& key, quint16 responseCode, int times)
{
    if (responseCode && times != 0)
        m_failures.insert(key, {responseCode, times});
    else
        m_failures.remove(key);
}

quint16 BRX_Commu_VirtualCameraDevice::takeFailure(quint16 opCode, const QVector<quint32>& params)
{
    const quint16 code = params.isEmpty() ? 0 : takeFailure(FailureKey(opCode, params.first()));
    return code ? code : takeFailure(FailureKey(opCode, -1));
}

quint16 BRX_Commu_VirtualCameraDevice::takeFailure(const FailureKey& key)
{
    const auto failure = m_failures.find(key);
    if (failure == m_failures.end())
        return 0;
    const quint16 code = failure->responseCode;
    if (failure->remaining != kEveryTime && --failure->remaining == 0)
        m_failures.erase(failure);
    return code;
}

qint64 BRX_Commu_VirtualCameraDevice::propertyValue(quint16 code) const
{
    const BRX_Commu_VirtualCameraProperty* property = m_settings.find(code);
    return property ? property->value() : 0;
}

bool BRX_Commu_VirtualCameraDevice::changeProperty(quint16 code, qint64 value)
{
    BRX_Commu_VirtualCameraProperty* property = m_settings.find(code);
    if (!property)
        return false;
    m_settings.set(*property, value);
    raiseEvent(kVQDevicePropChanged, {code});
    return true;
}

// The lens goes as near or as far as it can, and the camera reports where
// it went: as a device property, or in its settings block.
void BRX_Commu_VirtualCameraDevice::moveLensTo(quint32 position)
{
    BRX_Commu_ByteReader lens(m_lens.constData(), quint32(m_lens.size()));
    const quint32 reached =
        qBound(lens.readU32At(kLensNearestFocusOffset), position, lens.readU32At(kLensFarthestFocusOffset));
    if (!BRX_Commu_ProductFamily::hasSettingsBlock(m_productId)) {
        changeProperty(kDevicePropFocusDistance, reached);
        return;
    }
    BRX_Commu_ByteWriter::putValue(m_settings.block(), kBlockFocusDistance, reached, 4);
    raiseEvent(kVQCameraSettingsChanged, {});
}

quint16 Device::opGetDeviceInfo(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_deviceInfo;
    return kResponseOK;
}

quint16 Device::opOpenSession(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.isEmpty() || params.first() == 0)
        return kResponseInvalidParameter;
    m_sessionOpen = true;
    m_lastTransactionId = 0;
    return kResponseOK;
}

quint16 Device::opCloseSession(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    m_sessionOpen = false;
    m_vendorSessionOpen = false;
    return kResponseOK;
}

quint16 Device::opGetPropDesc(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    return m_settings.read(params.value(0), true, dataIn);
}

quint16 Device::opGetPropValue(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    return m_settings.read(params.value(0), false, dataIn);
}

quint16 Device::opSetPropValue(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray*)
{
    quint16 reported = 0;
    const quint16 response = m_settings.write(params.value(0), dataOut, &reported);
    if (response == kResponseOK)
        raiseEvent(kVQDevicePropChanged, {reported});
    return response;
}

quint16 Device::opSetSettings(const QVector<quint32>&, const QByteArray& dataOut, QByteArray*)
{
    if (dataOut.size() != BRX_Commu_VirtualCameraProfile::kSettingsBlockSize)
        return kResponseInvalidParameter;
    m_settings.block() = dataOut;
    raiseEvent(kVQCameraSettingsChanged, {});
    return kResponseOK;
}

quint16 Device::opGetSettings(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_settings.block();
    return kResponseOK;
}

quint16 Device::opGetLensData(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_lens;
    return kResponseOK;
}

quint16 Device::opGetGeotagging(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_geotagging;
    return kResponseOK;
}

quint16 Device::opGet3DAxis(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_axis;
    return kResponseOK;
}

quint16 Device::opOpenVendorSession(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.size() != 1 || params.first() != kVQSessionKey)
        return kResponseParameterNotSupported;
    m_vendorSessionOpen = true;
    return kResponseOK;
}

quint16 Device::opCloseVendorSession(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.size() != 1 || params.first() != kVQSessionKey)
        return kResponseParameterNotSupported;
    m_vendorSessionOpen = false;
    return kResponseOK;
}

quint16 Device::opAcknowledge(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    return kResponseOK;
}

// --- Live view ----------------------------------------------------------------

// The stream is described whether or not it runs; its packets flow only
// while the host has the streams enabled.
quint16 Device::opGetStreamInfo(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_stream.streamInfo();
    return kResponseOK;
}

quint16 Device::opGetStreamData(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    if (propertyValue(kDevicePropEnabledStreams) == 0)
        return kResponseAccessDenied;
    *dataIn = m_stream.nextPacket();
    return kResponseOK;
}

quint16 Device::opControlVideoRecording(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    switchLiveView(kOpControlVideoRecording, params);
    return kResponseOK;
}

quint16 Device::opControlPhotoLiveView(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    switchLiveView(kOpControlPhotoLiveView, params);
    return kResponseOK;
}

quint16 Device::opToggleZoom(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    m_stream.toggleZoom();
    return kResponseOK;
}

quint16 Device::opSetFocusCross(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    m_stream.setFocusCross(qint32(params.value(0)), qint32(params.value(1)));
    return kResponseOK;
}

// Only a change is reported; products without live view have no
// supported-streams property to change.
void BRX_Commu_VirtualCameraDevice::switchLiveView(quint16 opCode, const QVector<quint32>& params)
{
    for (const LiveViewSwitch& entry : kLiveViewSwitches) {
        if (entry.opCode != opCode || entry.command != params.value(0)
            || (entry.variant != kAnyVariant && entry.variant != params.value(1)))
            continue;
        const quint32 word = supportedStreamsWord(entry.mode);
        if (propertyValue(kDevicePropSupportedStreams) != word)
            changeProperty(kDevicePropSupportedStreams, word);
        return;
    }
}

void BRX_Commu_VirtualCameraDevice::resetLiveView()
{
    for (quint16 code : {kDevicePropSupportedStreams, kDevicePropEnabledStreams}) {
        if (BRX_Commu_VirtualCameraProperty* property = m_settings.find(code))
            property->setValue(0);
    }
}

// --- Pictures ---------------------------------------------------------------

quint16 Device::opRelease(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    switch (params.value(0)) {
    case kVQReleaseCapture:
        if (m_store.isFull())
            return kResponseStoreFull;
        m_shutter.release();
        break;
    case kVQReleaseTimeExposureStart:
        m_shutter.openBulb();
        break;
    case kVQReleaseTimeExposureEnd:
        m_shutter.closeBulb();
        break;
    case kVQReleaseSeriesStart:
        m_shutter.startSeries();
        break;
    case kVQReleaseSeriesStop:
        m_shutter.stopSeries();
        break;
    case kVQReleaseLensToPosition:
        moveLensTo(params.value(1));
        break;
    case kVQReleaseZoomToggle:
        m_stream.toggleZoom();
        break;
    case kVQReleaseFocusCross:
        m_stream.setFocusCross(qint32(params.value(1)), qint32(params.value(2)));
        break;
    default:
        switchLiveView(kOpRelease, params);
        break;
    }
    return kResponseOK;
}

// As the standard has it: each new object is announced with the capture's
// transaction ID, then the capture's end, which generic hosts wait for; a
// capture without a picture ends at once.
quint16 Device::opInitiateCapture(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    if (m_store.isFull())
        return kResponseStoreFull;
    m_captureTransactionId = m_currentTransactionId;
    const bool taken = m_shutter.release();
    m_captureTransactionId = 0;
    if (!taken)
        raiseEvent(kEventCaptureComplete, {}, m_currentTransactionId);
    return kResponseOK;
}

quint16 Device::opControlBulb(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.value(0) == kControlEnd)
        m_shutter.closeBulb();
    else
        m_shutter.openBulb();
    return kResponseOK;
}

quint16 Device::opControlSeries(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.value(0) == kControlEnd)
        m_shutter.stopSeries();
    else
        m_shutter.startSeries();
    return kResponseOK;
}

void BRX_Commu_VirtualCameraDevice::orderPicture(const QVector<quint16>& formats,
                                                 const BRX_Commu_VirtualCameraShot& shot)
{
    const BRX_Commu_VirtualCameraStore::Order order = m_store.order(formats, shot);
    m_unwritten.insert(order.shot.fileNumber, {m_connection, m_captureTransactionId, {}});
    if (m_cardWriter) {
        m_cardWriter(order);
        return;
    }
    const QVector<BRX_Commu_VirtualCameraStore::Object> files = BRX_Commu_VirtualCameraStore::makeFiles(order);
    for (int i = 0; i < files.size(); ++i)
        fileWritten(files.at(i), i == files.size() - 1);
}

// A picture is announced once all its files are on the card, so that a host
// that asks what is waiting finds the whole picture.
void BRX_Commu_VirtualCameraDevice::fileWritten(const BRX_Commu_VirtualCameraStore::Object& file, bool last)
{
    const auto unwritten = m_unwritten.find(file.pictureNumber);
    const bool announced = unwritten != m_unwritten.end() && unwritten->connection == m_connection;
    const quint32 handle = m_store.add(file, announced);
    logAdded(file, handle);
    if (announced)
        unwritten->handles.append(handle);
    if (!last)
        return;
    if (announced) {
        for (quint32 written : unwritten->handles) {
            raiseEvent(kEventObjectAdded, {written}, unwritten->captureTransactionId);
            raiseEvent(kEventRequestObjectTransfer, {});
        }
        if (unwritten->captureTransactionId != 0)
            raiseEvent(kEventCaptureComplete, {}, unwritten->captureTransactionId);
    }
    m_unwritten.remove(file.pictureNumber);
}

// With its size and digest, so that a test can tell a host's copy for the
// camera's own; the digest is taken only when the line is shown.
void BRX_Commu_VirtualCameraDevice::logAdded(const BRX_Commu_VirtualCameraStore::Object& file, quint32 handle) const
{
    if (!isDebugFlagSet(kDebugSimulation))
        return;
    debugPrint(kDebugSimulation, "%s - %s added as 0x%08X, %d bytes, SHA-256 %s, camera %s", BRX_METHOD,
               qPrintable(file.fileName), handle, file.data.size(),
               QCryptographicHash::hash(file.data, QCryptographicHash::Sha256).toHex().constData(),
               qPrintable(m_serialNumber));
}

void BRX_Commu_VirtualCameraDevice::advanceTo(qint64 nowMs)
{
    m_shutter.advanceTo(nowMs);
}

void BRX_Commu_VirtualCameraDevice::fillCard(int count)
{
    BRX_Commu_VirtualCameraShot shot;
    BRX_Commu_VirtualCameraShotSettings::describeCamera(m_productId, m_serialNumber, &shot);
    BRX_Commu_VirtualCameraShotSettings::describeLens(m_lens, &shot);
    for (quint32 handle : m_store.fillCard(count, shot)) {
        if (const BRX_Commu_VirtualCameraStore::Object* file = m_store.find(handle))
            logAdded(*file, handle);
    }
}

void BRX_Commu_VirtualCameraDevice::withdrawOperation(quint16 opCode)
{
    if (!m_withdrawn.contains(opCode))
        m_withdrawn << opCode;
    m_deviceInfo = BRX_Commu_VirtualCameraProfile::deviceInfo(m_productId, m_serialNumber, m_withdrawn);
}

bool BRX_Commu_VirtualCameraDevice::deleteObjectOnCamera(quint32 handle)
{
    if (!m_store.remove(handle))
        return false;
    raiseEvent(kEventObjectRemoved, {handle});
    return true;
}

quint16 Device::opGetStorageIDs(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = uint32Array({BRX_Commu_VirtualCameraStore::kStorageId});
    return kResponseOK;
}

quint16 Device::opGetStorageInfo(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    if (params.value(0) != BRX_Commu_VirtualCameraStore::kStorageId)
        return kResponseInvalidStorageID;
    *dataIn = m_store.storageInfo();
    return kResponseOK;
}

// All objects of the storage are listed; the camera cannot filter by format or folder.
quint16 Device::opGetObjectHandles(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const quint32 storage = params.value(0);
    if (storage != kAllStorages && storage != BRX_Commu_VirtualCameraStore::kStorageId)
        return kResponseInvalidStorageID;
    if (params.value(1) != 0)
        return kResponseSpecificationByFormatUnsupported;
    if (params.value(2) != 0)
        return kResponseParameterNotSupported;
    *dataIn = uint32Array(m_store.handles());
    return kResponseOK;
}

quint16 Device::opGetObjectInfo(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const quint32 handle = params.value(0);
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(handle);
    if (!object)
        return kResponseInvalidObjectHandle;
    if (!BRX_Commu_VirtualCameraStore::isThumbnailKind(params.value(1)))
        return kResponseInvalidParameter;
    *dataIn = m_store.objectInfo(*object, int(params.value(1)),
                                 handle == BRX_Commu_VirtualCameraStore::kPendingHandle);
    return kResponseOK;
}

// The stored bytes themselves: a large object is shared, not copied.
quint16 Device::opGetObject(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(params.value(0));
    if (!object)
        return kResponseInvalidObjectHandle;
    *dataIn = object->data;
    return kResponseOK;
}

quint16 Device::opGetThumb(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(params.value(0));
    if (!object)
        return kResponseInvalidObjectHandle;
    if (!BRX_Commu_VirtualCameraStore::isThumbnailKind(params.value(1)))
        return kResponseInvalidParameter;
    const QByteArray& thumbnail = BRX_Commu_VirtualCameraStore::thumbnail(*object, int(params.value(1)));
    if (thumbnail.isEmpty())
        return kResponseNoThumbnailPresent;
    *dataIn = thumbnail;
    return kResponseOK;
}

quint16 Device::opDeleteObject(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    const quint32 handle = params.value(0);
    if (m_store.isFolder(handle))
        return kResponseObjectWriteProtected;
    return deleteObjectOnCamera(handle) ? kResponseOK : kResponseInvalidObjectHandle;
}

// The bytes from the offset, at most as many as asked for; an offset at or
// past the end has no bytes to give.
quint16 Device::opGetPartialObject(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(params.value(0));
    if (!object)
        return kResponseInvalidObjectHandle;
    const quint32 size = quint32(object->data.size());
    const quint32 offset = params.value(1);
    if (offset >= size)
        return kResponseInvalidParameter;
    const quint32 count = qMin(params.value(2, kWholeObject), size - offset);
    *dataIn = object->data.mid(int(offset), int(count));
    return kResponseOK;
}

// The host has the head of the queue; an empty queue is acknowledged all the same.
quint16 Device::opTransferObjectReady(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    m_store.popPending();
    return kResponseOK;
}

quint16 Device::opGetObjectPropsSupported(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const quint32 format = params.value(0);
    const bool picture = format == Device::kFormatJpg
                         || format == Device::kFormatDng;
    QByteArray out;
    BRX_Commu_ByteWriter::appendU32(out, picture ? 1 : 0);
    if (picture)
        BRX_Commu_ByteWriter::appendU16(out, kObjectPropOrientation);
    *dataIn = out;
    return kResponseOK;
}

quint16 Device::opGetObjectPropValue(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(params.value(0));
    if (!object)
        return kResponseInvalidObjectHandle;
    if (params.value(1) != kObjectPropOrientation || object->format == Device::kFormatFolder)
        return kResponseInvalidObjectPropCode;
    QByteArray out;
    BRX_Commu_ByteWriter::appendU16(out, object->orientation);
    *dataIn = out;
    return kResponseOK;
}
