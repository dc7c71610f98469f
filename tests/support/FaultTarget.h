#ifndef FAULTTARGET_H
#define FAULTTARGET_H

#include "BRX_Commu_VirtualCameraDevice.h"
#include "BRX_Commu_VirtualCameraLink.h"

// What a fault script acts on: a virtual camera, in process or served by an
// emulated USB device. Each call takes the camera's lock.
class FaultTarget
{
public:
    virtual ~FaultTarget() = default;

    virtual int productId() const = 0;
    virtual void injectFault(const BRX_Commu_VirtualCameraLink::Fault& fault) = 0;
    // Another program holds the camera's interface for ms from now.
    virtual void holdElsewhere(int ms) = 0;
    virtual void setCustomOperation(quint16 opCode, BRX_Commu_VirtualCameraDevice::Direction direction,
                                    const BRX_Commu_VirtualCameraDevice::Handler& handler) = 0;
    virtual void failOperation(quint16 opCode, quint16 responseCode) = 0;
};

#endif
