#include "BRX_Commu_UsbScanner.h"

BRX_Commu_UsbScanner::~BRX_Commu_UsbScanner() = default;
