#ifndef BRX_COMMU_DEVICEENTRY_H
#define BRX_COMMU_DEVICEENTRY_H

#include <QString>
#include <QtGlobal>

// One camera as the scan sees it.
class BRX_Commu_DeviceEntry
{
public:
    BRX_Commu_DeviceEntry() = default;
    BRX_Commu_DeviceEntry(quint64 cameraId, int productId, const QString& deviceId);

    bool operator==(const BRX_Commu_DeviceEntry& other) const;

    quint64 cameraId = 0; // USB vendor ID, upper 32 bits zero
    int productId = 0;    // USB product ID
    QString deviceId;     // platform device path, used to open the device
    // From the device's string descriptor; empty when it has none or it
    // could not be read. Not part of the identity: equality leaves it out.
    QString serialNumber;
    // Filled by a listing only (BRX_Commu_UsbScanner::list): the model the
    // device's product string names, and whether another program (or this
    // one) has claimed it.
    QString model;
    bool inUse = false;
};

#endif
