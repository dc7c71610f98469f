#include "BRX_Commu_VirtualCameraDevice.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"

#include <algorithm>
#include <iterator>

namespace {

typedef BRX_Commu_VirtualCameraDevice Device;

const quint16 kOpGetDeviceInfo = 0x1001;
const quint16 kOpOpenSession = 0x1002;
const quint32 kVendorSessionKey = 0xFF55;
const quint16 kEventSettingsChanged = 0xC000;
const quint16 kEventDevicePropChanged = 0xC00A;
const quint16 kEventObjectRemoved = 0x4003;
const quint16 kEventCaptureComplete = 0x400D;
// StorageInfo: removable RAM with a generic hierarchical file system, read-write.
const quint16 kStorageTypeRemovableRam = 0x0004;
const quint16 kFilesystemGenericHierarchical = 0x0002;
const quint64 kStorageCapacity = quint64(32) << 30;
const quint32 kAllStorages = 0xFFFFFFFF;
const quint32 kWholeObject = 0xFFFFFFFF;
const quint16 kObjectPropOrientation = 0xD800;
const quint16 kPropSupportedStreams = 0x5020;
const quint16 kPropEnabledStreams = 0x5021;
const quint16 kOpRelease = 0x9004;
const quint16 kOpControlVideoRecording = 0x901B;
const quint16 kOpControlPhotoLiveView = 0x901C;

// Release stages (first parameter of 0x9004) that the camera acts on.
enum ReleaseStage : quint32 {
    kStageSingle = 0,
    kStageBulbStart = 7,
    kStageBulbEnd = 8,
    kStageSeriesStart = 12,
    kStageSeriesStop = 13,
    kStageLiveViewStart = 17,
    kStageLiveViewStop = 18,
    kStageZoomToggle = 20,
    kStageFocusCross = 21
};
const quint32 kControlEnd = 1; // 0x9019 and 0x901A: 0 starts, 1 ends

QByteArray uint32Array(const QVector<quint32>& values)
{
    QByteArray out;
    BRX_Commu_ByteWriter::appendU32(out, quint32(values.size()));
    for (quint32 value : values)
        BRX_Commu_ByteWriter::appendU32(out, value);
    return out;
}

// Writes go to the write code; the camera keeps the value under the read code
// and reports the change under a code of its own.
struct WriteAlias {
    quint16 writeCode;
    quint16 readCode;
    quint16 reportedCode;
};
const WriteAlias kWriteAliases[] = {{0xD03B, 0xD60C, 0xD60D}, {0xD03C, 0xD60E, 0xD60F}};

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
    {kOpRelease, kStageLiveViewStart, 0, 2},
    {kOpRelease, kStageLiveViewStart, 1, 3},
    {kOpRelease, kStageLiveViewStop, kAnyVariant, 0},
    {kOpControlPhotoLiveView, 0, kAnyVariant, 2},
    {kOpControlPhotoLiveView, 1, kAnyVariant, 0},
    {kOpControlVideoRecording, 2, kAnyVariant, 3},
    {kOpControlVideoRecording, 3, kAnyVariant, 0},
};

quint32 supportedStreamsWord(quint32 mode)
{
    return mode ? (mode << 16) | 1 : 0;
}

} // namespace

const Device::OperationEntry Device::s_operations[] = {
    {0x1001, Device::kDataIn, &Device::opGetDeviceInfo, Device::kAllProducts},
    {0x1002, Device::kNoData, &Device::opOpenSession, Device::kAllProducts},
    {0x1003, Device::kNoData, &Device::opCloseSession, Device::kAllProducts},
    {0x1004, Device::kDataIn, &Device::opGetStorageIDs, Device::kAllProducts},
    {0x1005, Device::kDataIn, &Device::opGetStorageInfo, Device::kAllProducts},
    {0x1007, Device::kDataIn, &Device::opGetObjectHandles, Device::kAllProducts},
    {0x1008, Device::kDataIn, &Device::opGetObjectInfo, Device::kAllProducts},
    {0x1009, Device::kDataIn, &Device::opGetObject, Device::kAllProducts},
    {0x100A, Device::kDataIn, &Device::opGetThumb, Device::kAllProducts},
    {0x100B, Device::kNoData, &Device::opDeleteObject, Device::kAllProducts},
    {0x100E, Device::kNoData, &Device::opInitiateCapture, Device::kAllProducts},
    {0x1014, Device::kDataIn, &Device::opGetPropDesc, Device::kPropertyProducts},
    {0x1015, Device::kDataIn, &Device::opGetPropValue, Device::kPropertyProducts},
    {0x1016, Device::kDataOut, &Device::opSetPropValue, Device::kPropertyProducts},
    {0x101B, Device::kDataIn, &Device::opGetPartialObject, Device::kAllProducts},
    {0x9001, Device::kDataOut, &Device::opSetSettings, Device::kStructProducts},
    {0x9002, Device::kDataIn, &Device::opGetSettings, Device::kStructProducts},
    {0x9003, Device::kDataIn, &Device::opGetLensData, Device::kAllProducts},
    {0x9004, Device::kNoData, &Device::opRelease, Device::kAllProducts},
    {0x9005, Device::kNoData, &Device::opOpenVendorSession, Device::kAllProducts},
    {0x9006, Device::kNoData, &Device::opCloseVendorSession, Device::kAllProducts},
    {0x9007, Device::kNoData, &Device::opTransferObjectReady, Device::kAllProducts},
    {0x9008, Device::kDataIn, &Device::opGetGeotagging, Device::kAllProducts},
    {0x9019, Device::kNoData, &Device::opControlBulb, Device::kAllProducts},
    {0x901A, Device::kNoData, &Device::opControlSeries, Device::kAllProducts},
    {0x9020, Device::kDataIn, &Device::opGet3DAxis, Device::kAllProducts},
    {0x1024, Device::kDataIn, &Device::opGetStreamInfo, Device::kLiveViewProducts},
    {0x9025, Device::kDataIn, &Device::opGetStreamData, Device::kLiveViewProducts},
    {0x901B, Device::kNoData, &Device::opControlVideoRecording, Device::kAllProducts},
    {0x901C, Device::kNoData, &Device::opControlPhotoLiveView, Device::kAllProducts},
    {0x9021, Device::kNoData, &Device::opToggleZoom, Device::kAllProducts},
    {0x9022, Device::kNoData, &Device::opSetFocusCross, Device::kAllProducts},
    {0x9801, Device::kDataIn, &Device::opGetObjectPropsSupported, Device::kObjectPropertyProducts},
    {0x9803, Device::kDataIn, &Device::opGetObjectPropValue, Device::kObjectPropertyProducts},
    // Keep-alive and the control operations without a picture: accepted as such.
    {0x9016, Device::kNoData, &Device::opAcknowledge, Device::kAllProducts},
    {0x901D, Device::kNoData, &Device::opAcknowledge, Device::kAllProducts},
    {0x901E, Device::kNoData, &Device::opAcknowledge, Device::kAllProducts},
    {0x9023, Device::kNoData, &Device::opAcknowledge, Device::kAllProducts},
};

BRX_Commu_VirtualCameraDevice::BRX_Commu_VirtualCameraDevice(int productId)
    : m_productId(productId)
    , m_deviceInfo(BRX_Commu_VirtualCameraProfile::deviceInfo(productId))
    , m_settings(BRX_Commu_VirtualCameraProfile::settingsBlock(productId))
    , m_lens(BRX_Commu_VirtualCameraProfile::lensData())
    , m_axis(BRX_Commu_VirtualCameraProfile::axisData(productId))
    , m_geotagging(BRX_Commu_VirtualCameraProfile::geotaggingData())
    , m_properties(BRX_Commu_VirtualCameraProfile::properties(productId))
    , m_store(productId)
    , m_shutter(productId, m_lens, m_store, [this] { return settingsNow(); },
                [this](quint16 code, const QVector<quint32>& params, quint32 transactionId) {
                    raiseEvent(code, params, transactionId);
                })
{
}

BRX_Commu_VirtualCameraSettings BRX_Commu_VirtualCameraDevice::settingsNow() const
{
    return BRX_Commu_VirtualCameraSettings(m_productId, m_settings,
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
    const bool structProduct = BRX_Commu_VirtualCameraProfile::isStructProduct(m_productId);
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
    if (reply.code != kOK)
        return reply;
    if (m_busyCount > 0) {
        --m_busyCount;
        reply.code = kDeviceBusy;
        return reply;
    }
    reply.code = takeFailure(opCode);
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
        return kParameterNotSupported;
    if (opCode == kOpOpenSession) {
        if (m_sessionOpen)
            return kSessionAlreadyOpen;
        return transactionId == 0 ? kOK : kInvalidTransactionID;
    }
    if (!m_sessionOpen)
        return opCode == kOpGetDeviceInfo ? kOK : kSessionNotOpen;
    if (transactionId != m_lastTransactionId + 1)
        return kInvalidTransactionID;
    m_lastTransactionId = transactionId;
    return kOK;
}

Device::Reply BRX_Commu_VirtualCameraDevice::dispatch(quint16 opCode, const QVector<quint32>& params,
                                                      const QByteArray& dataOut)
{
    Reply reply;
    if (m_customOperations.contains(opCode)) {
        const QPair<Direction, Handler> custom = m_customOperations.value(opCode);
        reply.code = custom.second(params, dataOut, &reply.data);
        reply.hasData = custom.first == kDataIn && reply.code == kOK;
        return reply;
    }
    const OperationEntry* entry = findEntry(opCode);
    if (!entry || !isServed(*entry)) {
        reply.code = kOperationNotSupported;
        return reply;
    }
    reply.code = (this->*entry->operation)(params, dataOut, &reply.data);
    reply.hasData = entry->direction == kDataIn && reply.code == kOK;
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
    if (responseCode && times != 0)
        m_failures.insert(opCode, {responseCode, times});
    else
        m_failures.remove(opCode);
}

quint16 BRX_Commu_VirtualCameraDevice::takeFailure(quint16 opCode)
{
    const auto failure = m_failures.find(opCode);
    if (failure == m_failures.end())
        return 0;
    const quint16 code = failure->responseCode;
    if (failure->remaining != kEveryTime && --failure->remaining == 0)
        m_failures.erase(failure);
    return code;
}

qint64 BRX_Commu_VirtualCameraDevice::propertyValue(quint16 code) const
{
    for (const BRX_Commu_VirtualCameraProperty& property : m_properties) {
        if (property.code() == code)
            return property.value();
    }
    return 0;
}

bool BRX_Commu_VirtualCameraDevice::changeProperty(quint16 code, qint64 value)
{
    BRX_Commu_VirtualCameraProperty* property = findProperty(code);
    if (!property)
        return false;
    property->setValue(value);
    raiseEvent(kEventDevicePropChanged, {code});
    return true;
}

BRX_Commu_VirtualCameraProperty* BRX_Commu_VirtualCameraDevice::findProperty(quint32 code)
{
    for (BRX_Commu_VirtualCameraProperty& property : m_properties) {
        if (property.code() == code)
            return &property;
    }
    return nullptr;
}

quint16 Device::opGetDeviceInfo(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_deviceInfo;
    return kOK;
}

quint16 Device::opOpenSession(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.isEmpty() || params.first() == 0)
        return kInvalidParameter;
    m_sessionOpen = true;
    m_lastTransactionId = 0;
    return kOK;
}

quint16 Device::opCloseSession(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    m_sessionOpen = false;
    m_vendorSessionOpen = false;
    return kOK;
}

quint16 Device::opGetPropDesc(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraProperty* property = params.isEmpty() ? nullptr : findProperty(params.first());
    if (!property)
        return kDevicePropNotSupported;
    *dataIn = property->descriptor();
    return kOK;
}

quint16 Device::opGetPropValue(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraProperty* property = params.isEmpty() ? nullptr : findProperty(params.first());
    if (!property)
        return kDevicePropNotSupported;
    *dataIn = property->valueBytes();
    return kOK;
}

quint16 Device::opSetPropValue(const QVector<quint32>& params, const QByteArray& dataOut, QByteArray*)
{
    BRX_Commu_VirtualCameraProperty* property = params.isEmpty() ? nullptr : findProperty(params.first());
    if (!property)
        return kDevicePropNotSupported;
    if (!property->isWritable())
        return kAccessDenied;
    qint64 value = 0;
    if (!property->decode(dataOut, &value))
        return kInvalidDevicePropFormat;
    if (!property->accepts(value))
        return kInvalidDevicePropValue;
    property->setValue(value);
    quint16 reported = property->code();
    for (const WriteAlias& alias : kWriteAliases) {
        if (alias.writeCode == reported) {
            findProperty(alias.readCode)->setValue(value);
            reported = alias.reportedCode;
        }
    }
    raiseEvent(kEventDevicePropChanged, {reported});
    return kOK;
}

quint16 Device::opSetSettings(const QVector<quint32>&, const QByteArray& dataOut, QByteArray*)
{
    if (dataOut.size() != BRX_Commu_VirtualCameraProfile::kSettingsBlockSize)
        return kInvalidParameter;
    m_settings = dataOut;
    raiseEvent(kEventSettingsChanged, {});
    return kOK;
}

quint16 Device::opGetSettings(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_settings;
    return kOK;
}

quint16 Device::opGetLensData(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_lens;
    return kOK;
}

quint16 Device::opGetGeotagging(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_geotagging;
    return kOK;
}

quint16 Device::opGet3DAxis(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_axis;
    return kOK;
}

quint16 Device::opOpenVendorSession(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.size() != 1 || params.first() != kVendorSessionKey)
        return kParameterNotSupported;
    m_vendorSessionOpen = true;
    return kOK;
}

quint16 Device::opCloseVendorSession(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.size() != 1 || params.first() != kVendorSessionKey)
        return kParameterNotSupported;
    m_vendorSessionOpen = false;
    return kOK;
}

quint16 Device::opAcknowledge(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    return kOK;
}

// --- Live view ----------------------------------------------------------------

// The stream is described whether or not it runs; its packets flow only
// while the host has the streams enabled.
quint16 Device::opGetStreamInfo(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    *dataIn = m_stream.streamInfo();
    return kOK;
}

quint16 Device::opGetStreamData(const QVector<quint32>&, const QByteArray&, QByteArray* dataIn)
{
    if (propertyValue(kPropEnabledStreams) == 0)
        return kAccessDenied;
    *dataIn = m_stream.nextPacket();
    return kOK;
}

quint16 Device::opControlVideoRecording(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    switchLiveView(kOpControlVideoRecording, params);
    return kOK;
}

quint16 Device::opControlPhotoLiveView(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    switchLiveView(kOpControlPhotoLiveView, params);
    return kOK;
}

quint16 Device::opToggleZoom(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    m_stream.toggleZoom();
    return kOK;
}

quint16 Device::opSetFocusCross(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    m_stream.setFocusCross(qint32(params.value(0)), qint32(params.value(1)));
    return kOK;
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
        if (propertyValue(kPropSupportedStreams) != word)
            changeProperty(kPropSupportedStreams, word);
        return;
    }
}

void BRX_Commu_VirtualCameraDevice::resetLiveView()
{
    for (quint16 code : {kPropSupportedStreams, kPropEnabledStreams}) {
        if (BRX_Commu_VirtualCameraProperty* property = findProperty(code))
            property->setValue(0);
    }
}

// --- Pictures ---------------------------------------------------------------

quint16 Device::opRelease(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    switch (params.value(0)) {
    case kStageSingle:
        m_shutter.release();
        break;
    case kStageBulbStart:
        m_shutter.openBulb();
        break;
    case kStageBulbEnd:
        m_shutter.closeBulb();
        break;
    case kStageSeriesStart:
        m_shutter.startSeries();
        break;
    case kStageSeriesStop:
        m_shutter.stopSeries();
        break;
    case kStageZoomToggle:
        m_stream.toggleZoom();
        break;
    case kStageFocusCross:
        m_stream.setFocusCross(qint32(params.value(1)), qint32(params.value(2)));
        break;
    default:
        switchLiveView(kOpRelease, params);
        break;
    }
    return kOK;
}

// As the standard has it: each new object is announced with the capture's
// transaction ID, then the capture's end, which generic hosts wait for.
quint16 Device::opInitiateCapture(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    m_shutter.setCaptureTransaction(m_currentTransactionId);
    m_shutter.release();
    m_shutter.setCaptureTransaction(0);
    raiseEvent(kEventCaptureComplete, {}, m_currentTransactionId);
    return kOK;
}

quint16 Device::opControlBulb(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.value(0) == kControlEnd)
        m_shutter.closeBulb();
    else
        m_shutter.openBulb();
    return kOK;
}

quint16 Device::opControlSeries(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    if (params.value(0) == kControlEnd)
        m_shutter.stopSeries();
    else
        m_shutter.startSeries();
    return kOK;
}

void BRX_Commu_VirtualCameraDevice::advanceTo(qint64 nowMs)
{
    m_shutter.advanceTo(nowMs);
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
    return kOK;
}

quint16 Device::opGetStorageInfo(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    if (params.value(0) != BRX_Commu_VirtualCameraStore::kStorageId)
        return kInvalidStorageID;
    QByteArray out;
    BRX_Commu_ByteWriter::appendU16(out, kStorageTypeRemovableRam);
    BRX_Commu_ByteWriter::appendU16(out, kFilesystemGenericHierarchical);
    BRX_Commu_ByteWriter::appendU16(out, 0); // read-write
    quint64 used = 0;
    for (quint32 handle : m_store.handles())
        used += quint64(m_store.find(handle)->data.size());
    for (quint64 bytes : {kStorageCapacity, kStorageCapacity - std::min(used, kStorageCapacity)}) {
        BRX_Commu_ByteWriter::appendU32(out, quint32(bytes));
        BRX_Commu_ByteWriter::appendU32(out, quint32(bytes >> 32));
    }
    BRX_Commu_ByteWriter::appendU32(out, 0xFFFFFFFF); // free space in images: not told
    BRX_Commu_ByteWriter::appendPtpString(out, QStringLiteral("Virtual card"));
    BRX_Commu_ByteWriter::appendPtpString(out, QString());
    *dataIn = out;
    return kOK;
}

// All objects of the storage are listed; the camera cannot filter by format or folder.
quint16 Device::opGetObjectHandles(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const quint32 storage = params.value(0);
    if (storage != kAllStorages && storage != BRX_Commu_VirtualCameraStore::kStorageId)
        return kInvalidStorageID;
    if (params.value(1) != 0)
        return kSpecificationByFormatUnsupported;
    if (params.value(2) != 0)
        return kParameterNotSupported;
    *dataIn = uint32Array(m_store.handles());
    return kOK;
}

quint16 Device::opGetObjectInfo(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const quint32 handle = params.value(0);
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(handle);
    if (!object)
        return kInvalidObjectHandle;
    if (!BRX_Commu_VirtualCameraStore::isThumbnailKind(params.value(1)))
        return kInvalidParameter;
    *dataIn = m_store.objectInfo(*object, int(params.value(1)),
                                 handle == BRX_Commu_VirtualCameraStore::kPendingHandle);
    return kOK;
}

// The stored bytes themselves: a large object is shared, not copied.
quint16 Device::opGetObject(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(params.value(0));
    if (!object)
        return kInvalidObjectHandle;
    *dataIn = object->data;
    return kOK;
}

quint16 Device::opGetThumb(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(params.value(0));
    if (!object)
        return kInvalidObjectHandle;
    if (!BRX_Commu_VirtualCameraStore::isThumbnailKind(params.value(1)))
        return kInvalidParameter;
    const QByteArray& thumbnail = BRX_Commu_VirtualCameraStore::thumbnail(*object, int(params.value(1)));
    if (thumbnail.isEmpty())
        return kNoThumbnailPresent;
    *dataIn = thumbnail;
    return kOK;
}

quint16 Device::opDeleteObject(const QVector<quint32>& params, const QByteArray&, QByteArray*)
{
    const quint32 handle = params.value(0);
    if (m_store.isFolder(handle))
        return kObjectWriteProtected;
    return deleteObjectOnCamera(handle) ? kOK : kInvalidObjectHandle;
}

// The bytes from the offset, at most as many as asked for; an offset at or
// past the end has no bytes to give.
quint16 Device::opGetPartialObject(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(params.value(0));
    if (!object)
        return kInvalidObjectHandle;
    const quint32 size = quint32(object->data.size());
    const quint32 offset = params.value(1);
    if (offset >= size)
        return kInvalidParameter;
    const quint32 count = qMin(params.value(2, kWholeObject), size - offset);
    *dataIn = object->data.mid(int(offset), int(count));
    return kOK;
}

// The host has the head of the queue; an empty queue is acknowledged all the same.
quint16 Device::opTransferObjectReady(const QVector<quint32>&, const QByteArray&, QByteArray*)
{
    m_store.popPending();
    return kOK;
}

quint16 Device::opGetObjectPropsSupported(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const quint32 format = params.value(0);
    const bool picture = format == BRX_Commu_VirtualCameraStore::kFormatJpg
                         || format == BRX_Commu_VirtualCameraStore::kFormatDng;
    QByteArray out;
    BRX_Commu_ByteWriter::appendU32(out, picture ? 1 : 0);
    if (picture)
        BRX_Commu_ByteWriter::appendU16(out, kObjectPropOrientation);
    *dataIn = out;
    return kOK;
}

quint16 Device::opGetObjectPropValue(const QVector<quint32>& params, const QByteArray&, QByteArray* dataIn)
{
    const BRX_Commu_VirtualCameraStore::Object* object = m_store.find(params.value(0));
    if (!object)
        return kInvalidObjectHandle;
    if (params.value(1) != kObjectPropOrientation || object->format == BRX_Commu_VirtualCameraStore::kFormatFolder)
        return kInvalidObjectPropCode;
    QByteArray out;
    BRX_Commu_ByteWriter::appendU16(out, object->orientation);
    *dataIn = out;
    return kOK;
}
