#ifndef BRX_COMMU_CAMERASELECTOR_H
#define BRX_COMMU_CAMERASELECTOR_H

#include "BRX_Commu_DeviceEntry.h"

#include <QString>

// Which camera a process tethers when several are on the bus: one serial
// number, one socket (the port path, which survives replugs into the same
// socket) or one product. The empty selector takes any camera. A value;
// the process-wide choice is set before the library starts and read by
// discovery when the access is created.
class BRX_Commu_CameraSelector
{
public:
    enum Kind { kAny, kSerial, kPort, kProduct };

    // "serial:SERIAL" or a bare SERIAL, "usb:BUS-PORT[.PORT...]",
    // "product:0xPPPP"; empty text is kAny. False for anything else: an
    // unknown prefix, an empty value, a serial with blanks or control
    // characters, a malformed port path, a product ID that is not 1 to
    // 0xFFFF in hexadecimal.
    static bool parse(const QString& text, BRX_Commu_CameraSelector* selector);
    // The forms parse accepts, for messages.
    static QString acceptedForms();

    // The process-wide choice; false (and the choice unchanged) when text
    // does not parse. Any thread.
    static bool select(const QString& text);
    static BRX_Commu_CameraSelector selected();

    Kind kind() const { return m_kind; }
    QString value() const { return m_value; }
    // The canonical text ("serial:A1", "usb:1-2.3", "product:0x2031"), empty
    // for kAny.
    QString text() const;
    // Whether the selector needs the serial number of the entries it judges.
    bool needsSerialNumber() const { return m_kind == kSerial; }
    bool matches(const BRX_Commu_DeviceEntry& entry) const;

private:
    static bool parsePort(const QString& path);
    static bool isPlainSerial(const QString& serial);

    Kind m_kind = kAny;
    QString m_value; // serial, port path without "usb:", or the product in hexadecimal
    int m_productId = 0;
};

#endif
