#ifndef VIRTUALCAMERATARGET_H
#define VIRTUALCAMERATARGET_H

#include "FaultTarget.h"

#include <memory>

class BRX_Commu_VirtualCamera;

// The in-process virtual camera as the target of a fault script: its faults
// wait on the camera's own clock, which skips the waits of its pipes.
class VirtualCameraTarget : public FaultTarget
{
public:
    explicit VirtualCameraTarget(std::shared_ptr<BRX_Commu_VirtualCamera> camera);

    int productId() const override;
    void injectFault(const BRX_Commu_VirtualCameraLink::Fault& fault) override;
    void holdElsewhere(int ms) override;
    void setCustomOperation(quint16 opCode, BRX_Commu_VirtualCameraDevice::Direction direction,
                            const BRX_Commu_VirtualCameraDevice::Handler& handler) override;
    void failOperation(quint16 opCode, quint16 responseCode) override;

private:
    std::shared_ptr<BRX_Commu_VirtualCamera> m_camera;
};

#endif
