#ifndef BRX_COMMU_SELECTINGSCANNER_H
#define BRX_COMMU_SELECTINGSCANNER_H

#include "BRX_Commu_CameraSelector.h"
#include "BRX_Commu_UsbScanner.h"

#include <QStringList>

// Shows discovery only the cameras a selector matches, so that every other
// camera on the bus is left alone: never opened, claimed or logged, free for
// the process that tethers it. Same thread contract as the scanner it wraps.
class BRX_Commu_SelectingScanner : public BRX_Commu_UsbScanner
{
public:
    BRX_Commu_SelectingScanner(std::shared_ptr<BRX_Commu_UsbScanner> scanner, const BRX_Commu_CameraSelector& selector);

    QList<BRX_Commu_DeviceEntry> scan() override;
    QList<quint16> acceptedVendorIds() const override;
    // Null for a device the last scan did not match.
    std::shared_ptr<BRX_Commu_UsbPipe> open(const QString& deviceId) override;

private:
    std::shared_ptr<BRX_Commu_UsbScanner> m_scanner;
    const BRX_Commu_CameraSelector m_selector;
    QStringList m_matched;
};

#endif
