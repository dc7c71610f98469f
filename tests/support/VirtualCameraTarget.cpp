#include "VirtualCameraTarget.h"
#include "BRX_Commu_VirtualCamera.h"

VirtualCameraTarget::VirtualCameraTarget(std::shared_ptr<BRX_Commu_VirtualCamera> camera)
    : m_camera(std::move(camera))
{
}

int VirtualCameraTarget::productId() const
{
    return m_camera->productId();
}

void VirtualCameraTarget::injectFault(const BRX_Commu_VirtualCameraLink::Fault& fault)
{
    m_camera->injectFault(fault);
}

void VirtualCameraTarget::holdElsewhere(int ms)
{
    m_camera->holdElsewhere(ms);
}

void VirtualCameraTarget::setCustomOperation(quint16 opCode, BRX_Commu_VirtualCameraDevice::Direction direction,
                                             const BRX_Commu_VirtualCameraDevice::Handler& handler)
{
    m_camera->setCustomOperation(opCode, direction, handler);
}

void VirtualCameraTarget::failOperation(quint16 opCode, quint16 responseCode)
{
    m_camera->failOperation(opCode, responseCode);
}
