#include "BRX_Commu_SelectingScanner.h"

BRX_Commu_SelectingScanner::BRX_Commu_SelectingScanner(std::shared_ptr<BRX_Commu_UsbScanner> scanner,
                                                       const BRX_Commu_CameraSelector& selector)
    : m_scanner(std::move(scanner))
    , m_selector(selector)
{
}

QList<BRX_Commu_DeviceEntry> BRX_Commu_SelectingScanner::scan()
{
    QList<BRX_Commu_DeviceEntry> matching;
    m_matched.clear();
    for (const BRX_Commu_DeviceEntry& entry : m_scanner->scan()) {
        if (!m_selector.matches(entry))
            continue;
        matching.append(entry);
        m_matched.append(entry.deviceId);
    }
    return matching;
}

QList<quint16> BRX_Commu_SelectingScanner::acceptedVendorIds() const
{
    return m_scanner->acceptedVendorIds();
}

std::shared_ptr<BRX_Commu_UsbPipe> BRX_Commu_SelectingScanner::open(const QString& deviceId)
{
    return m_matched.contains(deviceId) ? m_scanner->open(deviceId) : nullptr;
}
