#include "BRX_Commu_VirtualCameraPipe.h"
#include "BRX_Commu_VirtualCamera.h"

BRX_Commu_VirtualCameraPipe::BRX_Commu_VirtualCameraPipe(std::shared_ptr<BRX_Commu_VirtualCamera> camera, int generation)
    : m_camera(std::move(camera))
    , m_generation(generation)
{
}

quint32 BRX_Commu_VirtualCameraPipe::maxPacketSize() const
{
    return m_camera->packetSize();
}

// The virtual camera takes every packet at once.
BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCameraPipe::bulkOut(const quint8* data, quint32 size, quint32* sent,
                                                               int)
{
    return m_camera->bulkOut(m_generation, data, size, sent);
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCameraPipe::bulkIn(quint8* data, quint32 capacity, quint32* received,
                                                              int timeoutMs)
{
    return m_camera->bulkIn(m_generation, data, capacity, received, timeoutMs);
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCameraPipe::interruptIn(quint8* data, quint32 capacity,
                                                                   quint32* received, int timeoutMs)
{
    return m_camera->interruptIn(m_generation, data, capacity, received, timeoutMs);
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCameraPipe::cancelTransaction(quint32 transactionId)
{
    return m_camera->cancelTransaction(m_generation, transactionId);
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCameraPipe::getDeviceStatus(DeviceStatus* status)
{
    return m_camera->getDeviceStatus(m_generation, status);
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCameraPipe::resetDevice()
{
    return m_camera->resetDevice(m_generation);
}

BRX_Commu_UsbPipe::Status BRX_Commu_VirtualCameraPipe::clearHalt(Endpoint endpoint)
{
    return m_camera->clearHalt(m_generation, endpoint);
}
