#include "BRX_Commu_UsbDeviceFilter.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace {

const quint8 kDirectionIn = 0x80;
const quint8 kTransferTypeMask = 0x03;
const quint8 kTransferTypeBulk = 2;
const quint8 kTransferTypeInterrupt = 3;
// Bits 11-12 of wMaxPacketSize count extra transactions per microframe.
const quint16 kPacketSizeMask = 0x07FF;

bool isType(const BRX_Commu_UsbDeviceFilter::Endpoint& endpoint, quint8 type, bool in)
{
    return (endpoint.attributes & kTransferTypeMask) == type && bool(endpoint.address & kDirectionIn) == in;
}

const BRX_Commu_UsbDeviceFilter::Endpoint* findEndpoint(const BRX_Commu_UsbDeviceFilter::Interface& interface,
                                                        quint8 type, bool in)
{
    for (const BRX_Commu_UsbDeviceFilter::Endpoint& endpoint : interface.endpoints) {
        if (isType(endpoint, type, in))
            return &endpoint;
    }
    return nullptr;
}

} // namespace

bool BRX_Commu_UsbDeviceFilter::isStillImage(const Interface& interface)
{
    return interface.interfaceClass == kStillImageClass && interface.subClass == kStillImageSubClass
        && interface.protocol == kStillImageProtocol;
}

const BRX_Commu_UsbDeviceFilter::Interface* BRX_Commu_UsbDeviceFilter::stillImageInterface(const Device& device)
{
    for (const Interface& interface : device.interfaces) {
        if (isStillImage(interface))
            return &interface;
    }
    return nullptr;
}

bool BRX_Commu_UsbDeviceFilter::isCandidate(const Device& device, const QList<quint16>& acceptedVendorIds)
{
    return device.productId != 0 && isAcceptedVendor(device.vendorId, acceptedVendorIds)
        && stillImageInterface(device) && !device.portNumbers.isEmpty();
}

bool BRX_Commu_UsbDeviceFilter::isAcceptedVendor(quint16 vendorId, const QList<quint16>& acceptedVendorIds)
{
    return acceptedVendorIds.isEmpty() || acceptedVendorIds.contains(vendorId);
}

QString BRX_Commu_UsbDeviceFilter::devicePath(quint8 busNumber, const QVector<quint8>& portNumbers)
{
    if (portNumbers.isEmpty())
        return QString();
    QStringList ports;
    for (quint8 port : portNumbers)
        ports.append(QString::number(port));
    return QStringLiteral("usb:%1-%2").arg(busNumber).arg(ports.join(QLatin1Char('.')));
}

bool BRX_Commu_UsbDeviceFilter::findEndpoints(const Interface& interface, Endpoints* endpoints)
{
    const Endpoint* bulkIn = findEndpoint(interface, kTransferTypeBulk, true);
    const Endpoint* bulkOut = findEndpoint(interface, kTransferTypeBulk, false);
    const Endpoint* interruptIn = findEndpoint(interface, kTransferTypeInterrupt, true);
    if (!bulkIn || !bulkOut || !interruptIn)
        return false;
    endpoints->bulkIn = bulkIn->address;
    endpoints->bulkOut = bulkOut->address;
    endpoints->interruptIn = interruptIn->address;
    endpoints->bulkPacketSize = std::max(bulkIn->maxPacketSize & kPacketSizeMask,
                                         bulkOut->maxPacketSize & kPacketSizeMask);
    endpoints->interruptPacketSize = interruptIn->maxPacketSize & kPacketSizeMask;
    return (bulkIn->maxPacketSize & kPacketSizeMask) && (bulkOut->maxPacketSize & kPacketSizeMask)
        && endpoints->interruptPacketSize;
}

bool BRX_Commu_UsbDeviceFilter::parseVendorIds(const QString& text, QList<quint16>* vendorIds)
{
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    QList<quint16> parsed;
    for (QString item : text.split(separators, Qt::SkipEmptyParts)) {
        if (item.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            item = item.mid(2);
        bool ok = false;
        const uint value = item.toUInt(&ok, 16);
        if (!ok || value == 0 || value > 0xFFFF || item.size() > 4)
            return false;
        parsed.append(quint16(value));
    }
    *vendorIds = parsed;
    return true;
}
