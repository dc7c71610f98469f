#include "BRX_Commu_VirtualCameraDevice.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"

#include <iterator>

namespace {

typedef BRX_Commu_VirtualCameraDevice Device;

const quint16 kOpGetDeviceInfo = 0x1001;
const quint16 kOpOpenSession = 0x1002;
const quint32 kVendorSessionKey = 0xFF55;
const quint16 kEventSettingsChanged = 0xC000;
const quint16 kEventDevicePropChanged = 0xC00A;

// Writes go to the write code; the camera keeps the value under the read code
// and reports the change under a code of its own.
struct WriteAlias {
    quint16 writeCode;
    quint16 readCode;
    quint16 reportedCode;
};
const WriteAlias kWriteAliases[] = {{0xD03B, 0xD60C, 0xD60D}, {0xD03C, 0xD60E, 0xD60F}};

} // namespace

const Device::OperationEntry Device::s_operations[] = {
    {0x1001, Device::kDataIn, &Device::opGetDeviceInfo, false, false},
    {0x1002, Device::kNoData, &Device::opOpenSession, false, false},
    {0x1003, Device::kNoData, &Device::opCloseSession, false, false},
    {0x1014, Device::kDataIn, &Device::opGetPropDesc, false, true},
    {0x1015, Device::kDataIn, &Device::opGetPropValue, false, true},
    {0x1016, Device::kDataOut, &Device::opSetPropValue, false, true},
    {0x9001, Device::kDataOut, &Device::opSetSettings, true, false},
    {0x9002, Device::kDataIn, &Device::opGetSettings, true, false},
    {0x9003, Device::kDataIn, &Device::opGetLensData, false, false},
    {0x9008, Device::kDataIn, &Device::opGetGeotagging, false, false},
    {0x9020, Device::kDataIn, &Device::opGet3DAxis, false, false},
    {0x9005, Device::kNoData, &Device::opOpenVendorSession, false, false},
    {0x9006, Device::kNoData, &Device::opCloseVendorSession, false, false},
    // Release, keep-alive and the control operations: accepted as such.
    {0x100E, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x9004, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x9007, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x9016, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x9019, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x901A, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x901B, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x901C, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x901D, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x901E, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x9021, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x9022, Device::kNoData, &Device::opAcknowledge, false, false},
    {0x9023, Device::kNoData, &Device::opAcknowledge, false, false},
};

BRX_Commu_VirtualCameraDevice::BRX_Commu_VirtualCameraDevice(int productId)
    : m_productId(productId)
    , m_deviceInfo(BRX_Commu_VirtualCameraProfile::deviceInfo(productId))
    , m_settings(BRX_Commu_VirtualCameraProfile::settingsBlock(productId))
    , m_lens(BRX_Commu_VirtualCameraProfile::lensData())
    , m_axis(BRX_Commu_VirtualCameraProfile::axisData(productId))
    , m_geotagging(BRX_Commu_VirtualCameraProfile::geotaggingData())
    , m_properties(BRX_Commu_VirtualCameraProfile::properties(productId))
{
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
    return !(entry.structOnly && !structProduct) && !(entry.propertiesOnly && structProduct);
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
    if (m_failures.contains(opCode)) {
        reply.code = m_failures.value(opCode);
        return reply;
    }
    return dispatch(opCode, params, dataOut);
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

void BRX_Commu_VirtualCameraDevice::raiseEvent(quint16 code, const QVector<quint32>& params)
{
    m_events << BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kEvent, code, 0, params);
}

void BRX_Commu_VirtualCameraDevice::powerCycle()
{
    m_sessionOpen = false;
    m_vendorSessionOpen = false;
    m_lastTransactionId = 0;
    m_events.clear();
}

void BRX_Commu_VirtualCameraDevice::setCustomOperation(quint16 opCode, Direction direction, const Handler& handler)
{
    m_customOperations.insert(opCode, qMakePair(direction, handler));
}

void BRX_Commu_VirtualCameraDevice::injectBusy(int count)
{
    m_busyCount = count;
}

void BRX_Commu_VirtualCameraDevice::failOperation(quint16 opCode, quint16 responseCode)
{
    if (responseCode)
        m_failures.insert(opCode, responseCode);
    else
        m_failures.remove(opCode);
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
