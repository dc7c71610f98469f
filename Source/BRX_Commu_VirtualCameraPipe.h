#ifndef BRX_COMMU_VIRTUALCAMERAPIPE_H
#define BRX_COMMU_VIRTUALCAMERAPIPE_H

#include "BRX_Commu_UsbPipe.h"

#include <memory>

class BRX_Commu_VirtualCamera;

// A pipe to a virtual camera as it was plugged in when the pipe was opened;
// after an unplug it only reports kNoDevice.
class BRX_Commu_VirtualCameraPipe : public BRX_Commu_UsbPipe
{
public:
    BRX_Commu_VirtualCameraPipe(std::shared_ptr<BRX_Commu_VirtualCamera> camera, int generation);

    quint32 maxPacketSize() const override;
    Status bulkOut(const quint8* data, quint32 size, quint32* sent, int timeoutMs) override;
    Status bulkIn(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override;
    Status interruptIn(quint8* data, quint32 capacity, quint32* received, int timeoutMs) override;
    Status cancelTransaction(quint32 transactionId) override;
    Status getDeviceStatus(DeviceStatus* status) override;
    Status resetDevice() override;
    Status clearHalt(Endpoint endpoint) override;

private:
    std::shared_ptr<BRX_Commu_VirtualCamera> m_camera;
    const int m_generation;
};

#endif
