#ifndef BRX_COMMU_LIBUSBSCANNER_H
#define BRX_COMMU_LIBUSBSCANNER_H

#include "BRX_Commu_UsbDeviceFilter.h"
#include "BRX_Commu_UsbScanner.h"

#include <QHash>
#include <QList>
#include <QString>
#include <memory>

class BRX_Commu_LibusbContext;

// Lists and opens still-image devices through libusb. The device path is
// the bus number and port path (BRX_Commu_UsbDeviceFilter::devicePath).
class BRX_Commu_LibusbScanner : public BRX_Commu_UsbScanner
{
public:
    // Accepts the vendors configured at build time (BRX_ACCEPTED_VENDOR_IDS).
    BRX_Commu_LibusbScanner();
    explicit BRX_Commu_LibusbScanner(const QList<quint16>& acceptedVendorIds);
    ~BRX_Commu_LibusbScanner() override;

    QList<BRX_Commu_DeviceEntry> scan() override;
    // In use: the interface is bound to usbfs, the driver of the programs
    // that claim one.
    QList<BRX_Commu_DeviceEntry> list() override;
    QList<quint16> acceptedVendorIds() const override;
    // Detaches a kernel driver, claims the still-image interface and keeps
    // the active configuration (setting it again would reset the device).
    std::shared_ptr<BRX_Commu_UsbPipe> open(const QString& deviceId) override;

    // The libusb session that lives as long as the scanner, for the hot-plug
    // watcher; invalid when libusb could not be initialised.
    std::shared_ptr<BRX_Commu_LibusbContext> context() const { return m_context; }

    // The vendors of the build configuration; empty means every vendor.
    static QList<quint16> configuredVendorIds();
    // The device path of the camera a scanner of this process last failed to
    // claim because another program holds it; empty once it is claimed or
    // gone. Any thread.
    static QString heldElsewhere();

    // A device's product string and serial number.
    struct Texts {
        QString model;
        QString serialNumber;
    };

private:
    // A fresh libusb session to enumerate in; null when libusb cannot start.
    std::shared_ptr<BRX_Commu_LibusbContext> enumeratingContext() const;
    // The candidates present, their texts filled in.
    QList<BRX_Commu_DeviceEntry> candidates(bool withUse);
    void reportClaim(const QString& deviceId, int result);
    void forgetClaimFailuresOfAbsent(const QList<BRX_Commu_DeviceEntry>& present);

    std::shared_ptr<BRX_Commu_LibusbContext> m_context;
    QList<quint16> m_acceptedVendorIds;
    // The libusb error last reported for a device that could not be claimed.
    QHash<QString, int> m_claimFailures;
    // The texts of the devices present, by bus and address: read once per
    // enumeration, not on every scan.
    QHash<QString, Texts> m_texts;
};

#endif
