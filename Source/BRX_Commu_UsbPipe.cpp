#include "BRX_Commu_UsbPipe.h"

BRX_Commu_UsbPipe::~BRX_Commu_UsbPipe() = default;
