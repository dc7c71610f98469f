// Writes the udev rule that lets the user at the seat, and the group plugdev
// (services such as tether-serve@), open the cameras the library supports.
// The build runs it, so that the rule names the products of the library's
// own table and the vendors the build accepts (or those given, hexadecimal,
// separated by commas or semicolons).
//   brxsdk-udev-rule FILE [VENDOR_IDS]
#include "BRX_Commu_LibusbScanner.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_UsbDeviceFilter.h"

#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

typedef BRX_Commu_UsbDeviceFilter Filter;

QString hex(int value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

// usb_id lists a device's interfaces in ID_USB_INTERFACES as
// ":CCSSPP:" (class, subclass, protocol) one after the other.
QString stillImageInterface()
{
    return hex(Filter::kStillImageClass, 2) + hex(Filter::kStillImageSubClass, 2) + hex(Filter::kStillImageProtocol, 2);
}

QString vendorText(const QList<quint16>& vendors)
{
    QStringList ids;
    for (quint16 vendor : vendors)
        ids << hex(vendor, 4);
    return ids.join(QLatin1Char('|'));
}

QString header(const QList<quint16>& vendors)
{
    const QString recognition = vendors.isEmpty()
        ? QStringLiteral("# Of any vendor: the library takes such a device for a camera once its\n"
                         "# DeviceInfo lists the vendor operations of our cameras, which a rule\n"
                         "# cannot read.\n")
        : QStringLiteral("# Of the vendors the build accepts: %1.\n").arg(vendorText(vendors));
    return QStringLiteral("# Made by the BRX SDK's build (brxsdk-udev-rule) from the library's product\n"
                          "# table: edit the table, not this file.\n"
                          "#\n"
                          "# The user at the seat (uaccess) and the group plugdev may open each camera\n"
                          "# the library supports: a USB device with a still-image interface (class %1,\n"
                          "# subclass %2, protocol %3: PTP) and one of the product IDs below.\n")
               .arg(hex(Filter::kStillImageClass, 2), hex(Filter::kStillImageSubClass, 2),
                    hex(Filter::kStillImageProtocol, 2))
        + recognition;
}

QString rule(const QList<quint16>& vendors)
{
    QString text = header(vendors);
    text += QStringLiteral("ACTION==\"remove\", GOTO=\"brxsdk_end\"\n"
                           "SUBSYSTEM!=\"usb\", GOTO=\"brxsdk_end\"\n"
                           "ENV{DEVTYPE}!=\"usb_device\", GOTO=\"brxsdk_end\"\n"
                           "ENV{ID_USB_INTERFACES}==\"\", IMPORT{builtin}=\"usb_id\"\n"
                           "ENV{ID_USB_INTERFACES}!=\"*:%1:*\", GOTO=\"brxsdk_end\"\n")
                .arg(stillImageInterface());
    if (!vendors.isEmpty())
        text += QStringLiteral("ATTR{idVendor}!=\"%1\", GOTO=\"brxsdk_end\"\n").arg(vendorText(vendors));
    for (int product : BRX_Commu_ProductFamily::knownProducts()) {
        text += QStringLiteral("ATTR{idProduct}==\"%1\", GROUP=\"plugdev\", MODE=\"0664\", TAG+=\"uaccess\"\n")
                    .arg(hex(product, 4));
    }
    return text + QStringLiteral("LABEL=\"brxsdk_end\"\n");
}

} // namespace

int main(int argc, char** argv)
{
    QList<quint16> vendors = BRX_Commu_LibusbScanner::configuredVendorIds();
    if ((argc != 2 && argc != 3) || (argc == 3 && !Filter::parseVendorIds(QString::fromLocal8Bit(argv[2]), &vendors))) {
        std::fprintf(stderr, "usage: brxsdk-udev-rule FILE [VENDOR_IDS]\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(rule(vendors).toUtf8()) < 0) {
        std::fprintf(stderr, "brxsdk-udev-rule: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
