#ifndef BRX_COMMU_USBDEVICEFILTER_H
#define BRX_COMMU_USBDEVICEFILTER_H

#include <QList>
#include <QString>
#include <QVector>
#include <QtGlobal>

// The rules that decide which USB devices are cameras and how their
// interface is reached, as pure functions over plain copies of the
// descriptors, so that they are tested without a device.
class BRX_Commu_UsbDeviceFilter
{
public:
    struct Endpoint {
        quint8 address = 0;    // bit 7 set: device to host
        quint8 attributes = 0; // bits 0-1: transfer type
        quint16 maxPacketSize = 0;
    };
    struct Interface {
        quint8 number = 0;
        quint8 interfaceClass = 0;
        quint8 subClass = 0;
        quint8 protocol = 0;
        QVector<Endpoint> endpoints;
    };
    struct Device {
        quint16 vendorId = 0;
        quint16 productId = 0;
        // Indices of the string descriptors; 0: the device has none.
        quint8 productText = 0;
        quint8 serialNumberText = 0;
        quint8 busNumber = 0;
        quint8 address = 0; // changes on every re-enumeration
        QVector<quint8> portNumbers; // from the root hub down; empty for a root hub
        QVector<Interface> interfaces;
    };
    // The endpoints of a still-image interface.
    struct Endpoints {
        quint8 bulkIn = 0;
        quint8 bulkOut = 0;
        quint8 interruptIn = 0;
        quint16 bulkPacketSize = 0;
        quint16 interruptPacketSize = 0;
    };

    // The interface a camera is reached through: class 6 (image), subclass 1
    // (still image capture), protocol 1 (PTP).
    static const quint8 kStillImageClass = 6;
    static const quint8 kStillImageSubClass = 1;
    static const quint8 kStillImageProtocol = 1;
    static bool isStillImage(const Interface& interface);
    // The device's first still-image interface, or null.
    static const Interface* stillImageInterface(const Device& device);
    // A camera: a still-image interface, an accepted vendor (any vendor when
    // acceptedVendorIds is empty), a product ID that is not 0, and a path.
    static bool isCandidate(const Device& device, const QList<quint16>& acceptedVendorIds);
    static bool isAcceptedVendor(quint16 vendorId, const QList<quint16>& acceptedVendorIds);

    // "usb:BUS-PORT.PORT...", which stays the same while the device stays in
    // its socket (the device address changes on every re-enumeration); empty
    // for a device without ports.
    static QString devicePath(quint8 busNumber, const QVector<quint8>& portNumbers);

    // Finds the first bulk-in, bulk-out and interrupt-in endpoint; false when
    // one is missing or has a packet size of 0. The bulk packet size is the
    // larger of the two bulk endpoints' (they are equal on real devices).
    static bool findEndpoints(const Interface& interface, Endpoints* endpoints);

    // Parses "0x1234,0x5678" (hexadecimal with or without 0x, separated by
    // commas, semicolons or blanks); false on anything else or on 0.
    static bool parseVendorIds(const QString& text, QList<quint16>* vendorIds);
};

#endif
