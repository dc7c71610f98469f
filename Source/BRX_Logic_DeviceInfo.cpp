#include "BRX_Logic_DeviceInfo.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"

namespace {

const quint32 kDeviceInfoSize = 2048;
const quint32 kVendorExtensionDescOffset = 8;

} // namespace

BRX_Logic_DeviceInfo::BRX_Logic_DeviceInfo(BRX_Commu_CameraAccess_Base* access)
    : BRX_Logic_CameraDataset(access, kDeviceInfoSize)
{
    recvFromCamera();
}

bool BRX_Logic_DeviceInfo::recvFromCamera()
{
    clear();
    const bool ok = readFromCamera(&BRX_Commu_CameraAccess_Base::getDeviceInfo);
    if (ok)
        walk();
    if (isDebugFlagSet(kDebugDeviceInfo))
        dump(BRX_METHOD);
    return ok;
}

void BRX_Logic_DeviceInfo::clear()
{
    m_functionalMode = 0;
    for (QVector<quint16>& list : m_codeLists)
        list.clear();
    for (QString& text : m_texts)
        text.clear();
}

void BRX_Logic_DeviceInfo::walk()
{
    BRX_Commu_ByteReader bytes = reader();
    bytes.skip(kVendorExtensionDescOffset);
    bytes.readPtpString();
    m_functionalMode = bytes.readU16();
    for (QVector<quint16>& list : m_codeLists) {
        if (!readCodeList(bytes, list))
            break;
    }
    for (QString& text : m_texts) {
        text = bytes.readPtpString();
        if (!bytes.ok()) {
            text.clear();
            break;
        }
    }
    if (!bytes.ok())
        debugPrint(kDebugAlways, "%s - deviceInfo runs past its %u bytes after offset %u", BRX_METHOD,
                   kDeviceInfoSize, bytes.position());
}

bool BRX_Logic_DeviceInfo::readCodeList(BRX_Commu_ByteReader& bytes, QVector<quint16>& list)
{
    const quint32 count = bytes.readU32();
    const quint32 first = bytes.position();
    if (!bytes.ok() || !bytes.skip(quint64(count) * 2))
        return false;
    list.reserve(int(count));
    for (quint32 i = 0; i < count; ++i)
        list.append(bytes.readU16At(first + 2 * i));
    return true;
}

bool BRX_Logic_DeviceInfo::isOperationSupported(ushort code) const
{
    return m_codeLists[kOperations].contains(code);
}

bool BRX_Logic_DeviceInfo::isEventSupported(ushort code) const
{
    return m_codeLists[kEvents].contains(code);
}

bool BRX_Logic_DeviceInfo::isDevicePropSupported(ushort code) const
{
    return m_codeLists[kDeviceProps].contains(code);
}

QString BRX_Logic_DeviceInfo::getManufacturer() const
{
    return m_texts[kManufacturer];
}

QString BRX_Logic_DeviceInfo::getModel() const
{
    return m_texts[kModel];
}

QString BRX_Logic_DeviceInfo::getDeviceVersion() const
{
    return m_texts[kDeviceVersion];
}

QString BRX_Logic_DeviceInfo::getSerialNumber() const
{
    return m_texts[kSerialNumber];
}

void BRX_Logic_DeviceInfo::dumpCodeList(const char* method, const char* name, CodeList list) const
{
    debugPrint(kDebugAlways, "%s - %-24s= #%2d", method, name, m_codeLists[list].size());
    for (quint16 code : m_codeLists[list])
        debugPrint(kDebugAlways, "%s - %-24s: 0x%04X", method, name, code);
}

void BRX_Logic_DeviceInfo::dump(const QString& caller) const
{
    dumpBuffer("deviceInfo", caller);
    const std::string label = methodLabel(__PRETTY_FUNCTION__);
    const char* m = label.c_str();
    BRX_Commu_ByteReader bytes = reader();
    debugPrint(kDebugAlways, "%s - standardVersion         = %d", m, bytes.readU16At(0));
    debugPrint(kDebugAlways, "%s - vendorExtensionID       = %d", m, int(bytes.readU32At(2)));
    debugPrint(kDebugAlways, "%s - vendorExtensionVersion  = %d", m, bytes.readU16At(6));
    debugPrint(kDebugAlways, "%s - vendorExtensionDescSize = %d", m,
               bytes.readU8At(kVendorExtensionDescOffset));
    debugPrint(kDebugAlways, "%s - functionalMode          = %d", m, m_functionalMode);
    dumpCodeList(m, "operationsSupported", kOperations);
    dumpCodeList(m, "eventsSupported", kEvents);
    dumpCodeList(m, "devicePropsSupported", kDeviceProps);
    dumpCodeList(m, "captureFormats", kCaptureFormats);
    dumpCodeList(m, "imageFormats", kImageFormats);
    debugPrint(kDebugAlways, "%s - manufacturer            = \"%s\"", m, qUtf8Printable(getManufacturer()));
    debugPrint(kDebugAlways, "%s - model                   = \"%s\"", m, qUtf8Printable(getModel()));
    debugPrint(kDebugAlways, "%s - deviceVersion           = \"%s\"", m, qUtf8Printable(getDeviceVersion()));
    debugPrint(kDebugAlways, "%s - serialNumber            = \"%s\"", m, qUtf8Printable(getSerialNumber()));
}
