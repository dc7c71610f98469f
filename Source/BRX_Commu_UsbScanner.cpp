#include "BRX_Commu_UsbScanner.h"

BRX_Commu_UsbScanner::~BRX_Commu_UsbScanner() = default;

QList<BRX_Commu_DeviceEntry> BRX_Commu_UsbScanner::list()
{
    return scan();
}
