#ifndef BRX_COMMU_CAMERAACCESS_DUMMY_H
#define BRX_COMMU_CAMERAACCESS_DUMMY_H

#include "BRX_Commu_CameraAccess_Base.h"

#include <QByteArray>

// The simulated camera (connection type 0x100): announces one camera of
// product 0x2031, opens and closes it, and answers the three reads the camera
// model needs to come up (DeviceInfo, camera settings, lens data). Every
// other transaction fails as if no device were connected. Its data never
// changes.
class BRX_Commu_CameraAccess_Dummy : public BRX_Commu_CameraAccess_Base
{
    Q_OBJECT
public:
    BRX_Commu_CameraAccess_Dummy();

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
    static QByteArray buildDeviceInfo();
    static QByteArray buildSettings();
    static QByteArray buildLensData();
    bool copyOut(const QByteArray& data, void* buffer, quint32 bufferSize, quint32 opCode, const char* what,
                 const char* name, quint32* received);

    QByteArray m_deviceInfo;
    QByteArray m_settings;
    QByteArray m_lensData;
};

#endif
