#include "BRX_Commu_CameraAccess_Dummy.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Debug.h"

#include <cstring>

namespace {

const int kDummyProductId = 0x2031;
const int kDeviceInfoSize = 256;
const int kSettingsSize = 100;
const int kLensDataSize = 101;
const char kDummyDeviceId[] = "DummyID";

// offset, width, value
struct Field {
    int offset;
    int width;
    qint64 value;
};

const Field kSettingsFields[] = {
    {0x03, 1, 2},      {0x04, 1, 6},      {0x06, 1, 1},      {0x0a, 1, 1},     {0x0f, 1, 2},
    {0x10, 2, 0xF908}, {0x13, 1, 30},     {0x41, 1, 1},      {0x42, 1, 61},    {0x43, 1, 0xFF},
    {0x45, 2, 80},     {0x47, 1, 3},      {0x48, 2, 0x0480}, {0x4a, 2, 0x0767}, {0x4c, 4, 12723},
    {0x50, 1, 1}};

const Field kLensFields[] = {
    {0, 1, 1},         {61, 1, 132},      {62, 4, 1234567}, {66, 1, 0x19}, {67, 1, 0x1D},
    {68, 2, 0x02A4},   {70, 2, 0x0900},   {72, 1, 2},       {73, 2, 70},   {75, 2, 70},
    {77, 4, 500},      {81, 4, 70000}};

// DeviceInfo arrays: count, all codes 0.
const quint32 kDeviceInfoArrayCounts[] = {24, 12, 1, 3, 3};

} // namespace

BRX_Commu_CameraAccess_Dummy::BRX_Commu_CameraAccess_Dummy()
    : BRX_Commu_CameraAccess_Base(kConnectionSimulated)
    , m_deviceInfo(buildDeviceInfo())
    , m_settings(buildSettings())
    , m_lensData(buildLensData())
{
}

QByteArray BRX_Commu_CameraAccess_Dummy::buildDeviceInfo()
{
    QByteArray info;
    BRX_Commu_ByteWriter::appendU16(info, 100);
    BRX_Commu_ByteWriter::appendU32(info, 0);
    BRX_Commu_ByteWriter::appendU16(info, 0);
    BRX_Commu_ByteWriter::appendU8(info, 0);
    BRX_Commu_ByteWriter::appendU16(info, 0);
    for (quint32 count : kDeviceInfoArrayCounts) {
        BRX_Commu_ByteWriter::appendU32(info, count);
        info.append(QByteArray(int(count) * 2, '\0'));
    }
    for (const char* text : {"Orvane Dummy AG", "ZQ Digital SLR Dummy", "01.02.03.04", "0000000001200345"})
        BRX_Commu_ByteWriter::appendPtpString(info, QString::fromLatin1(text));
    info.append(QByteArray(kDeviceInfoSize - info.size(), '\0'));
    return info;
}

QByteArray BRX_Commu_CameraAccess_Dummy::buildSettings()
{
    QByteArray settings(kSettingsSize, '\0');
    for (const Field& field : kSettingsFields)
        BRX_Commu_ByteWriter::putValue(settings, field.offset, field.value, field.width);
    return settings;
}

QByteArray BRX_Commu_CameraAccess_Dummy::buildLensData()
{
    QByteArray lens(kLensDataSize, '\0');
    const QByteArray name = QByteArray("Varnix-T 70").leftJustified(60, ' ');
    std::memcpy(lens.data() + 1, name.constData(), size_t(name.size()));
    for (const Field& field : kLensFields)
        BRX_Commu_ByteWriter::putValue(lens, field.offset, field.value, field.width);
    return lens;
}

bool BRX_Commu_CameraAccess_Dummy::checkDeviceAvailable()
{
    Q_EMIT signalDeviceAvailable(kConnectionSimulated, 0, kDummyProductId, QString::fromLatin1(kDummyDeviceId));
    return true;
}

bool BRX_Commu_CameraAccess_Dummy::openConnection(quint64, int productId, QString)
{
    if (m_productId != 0)
        return false;
    debugPrint(kDebugSimulation, "%s - ProductId = 0x%X", BRX_METHOD, unsigned(productId));
    m_productId = productId;
    Q_EMIT signalConnectionOpened(kConnectionSimulated);
    return true;
}

bool BRX_Commu_CameraAccess_Dummy::closeConnection()
{
    if (m_productId == 0)
        return false;
    debugPrint(kDebugSimulation, "%s - ProductId = 0x%X", BRX_METHOD, unsigned(m_productId));
    m_productId = 0;
    Q_EMIT signalConnectionClosed(kConnectionSimulated);
    return true;
}

bool BRX_Commu_CameraAccess_Dummy::recvData(quint32 opCode, quint32, const quint32*, void* buffer,
                                            quint32 bufferSize, const char* methodName, quint32* received)
{
    const std::string ownLabel = BRX_METHOD;
    const char* name = methodName ? methodName : ownLabel.c_str();
    if (received)
        *received = 0;
    switch (opCode) {
    case kOpGetDeviceInfo:
        return copyOut(m_deviceInfo, buffer, bufferSize, opCode, "Device Info", name, received);
    case kOpGetCameraSettings:
        return copyOut(m_settings, buffer, bufferSize, opCode, "Camera Settings", name, received);
    case kOpGetLensData:
        return copyOut(m_lensData, buffer, bufferSize, opCode, "Lens Parameter", name, received);
    default:
        debugPrint(kDebugAlways, "%s - Error: command code 0x%08X not implemented", name, opCode);
        return false;
    }
}

bool BRX_Commu_CameraAccess_Dummy::copyOut(const QByteArray& data, void* buffer, quint32 bufferSize,
                                           quint32 opCode, const char* what, const char* name, quint32* received)
{
    if (!buffer || bufferSize < quint32(data.size())) {
        debugPrint(kDebugAlways, "%s - Error: command code 0x%08X (%s)", name, opCode, what);
        return false;
    }
    std::memset(buffer, 0, bufferSize);
    std::memcpy(buffer, data.constData(), size_t(data.size()));
    if (received)
        *received = quint32(data.size());
    return true;
}

bool BRX_Commu_CameraAccess_Dummy::sendCommand(quint32, quint32, const quint32*, const char* methodName)
{
    debugPrint(kDebugAlways, "%s - Error: no device connected", methodName ? methodName : BRX_METHOD);
    return false;
}

bool BRX_Commu_CameraAccess_Dummy::sendData(quint32, quint32, const quint32*, const void*, quint32,
                                            const char* methodName)
{
    debugPrint(kDebugAlways, "%s - Error: no device connected", methodName ? methodName : BRX_METHOD);
    return false;
}
