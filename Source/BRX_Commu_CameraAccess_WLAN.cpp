#include "BRX_Commu_CameraAccess_WLAN.h"
#include "BRX_Debug.h"

BRX_Commu_CameraAccess_WLAN::BRX_Commu_CameraAccess_WLAN()
    : BRX_Commu_CameraAccess_Base(kConnectionWlan)
{
}

bool BRX_Commu_CameraAccess_WLAN::checkDeviceAvailable()
{
    return false;
}

bool BRX_Commu_CameraAccess_WLAN::openConnection(quint64, int, QString)
{
    return false;
}

bool BRX_Commu_CameraAccess_WLAN::closeConnection()
{
    return false;
}

bool BRX_Commu_CameraAccess_WLAN::recvData(quint32, quint32, const quint32*, void*, quint32, const char* methodName,
                                           quint32* received)
{
    if (received)
        *received = 0;
    return noDevice(methodName, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_WLAN::sendCommand(quint32, quint32, const quint32*, const char* methodName)
{
    return noDevice(methodName, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_WLAN::sendData(quint32, quint32, const quint32*, const void*, quint32,
                                           const char* methodName)
{
    return noDevice(methodName, BRX_METHOD);
}

bool BRX_Commu_CameraAccess_WLAN::noDevice(const char* methodName, const char* ownName)
{
    debugPrint(kDebugAlways, "%s - Error: no device connected", methodName ? methodName : ownName);
    return false;
}
