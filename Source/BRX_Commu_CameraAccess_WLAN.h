#ifndef BRX_COMMU_CAMERAACCESS_WLAN_H
#define BRX_COMMU_CAMERAACCESS_WLAN_H

#include "BRX_Commu_CameraAccess_Base.h"

// The WLAN access (connection type 2): a placeholder without a transport.
// It finds no camera, opens nothing and fails every transaction.
class BRX_Commu_CameraAccess_WLAN : public BRX_Commu_CameraAccess_Base
{
    Q_OBJECT
public:
    BRX_Commu_CameraAccess_WLAN();

    bool openConnection(quint64 cameraId, int productId, QString deviceId) override;
    bool closeConnection() override;
    bool recvData(quint32 opCode, quint32 numParams, const quint32* params, void* buffer, quint32 bufferSize,
                  const char* methodName, quint32* received = nullptr) override;
    bool sendCommand(quint32 opCode, quint32 numParams, const quint32* params, const char* methodName) override;
    bool sendData(quint32 opCode, quint32 numParams, const quint32* params, const void* buffer,
                  quint32 bufferSize, const char* methodName) override;

public slots:
    bool checkDeviceAvailable() override;

private:
    bool noDevice(const char* methodName, const char* ownName);
};

#endif
