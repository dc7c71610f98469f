#ifndef EMULATEDCAMERATARGET_H
#define EMULATEDCAMERATARGET_H

#include "FaultTarget.h"

class EmulatedUsbDevice;
class VirtualCameraFunction;

// An emulated USB device serving a virtual camera as the target of a fault
// script: its faults wait on real time, so that libusb's timeouts meet them.
class EmulatedCameraTarget : public FaultTarget
{
public:
    EmulatedCameraTarget(EmulatedUsbDevice& device, VirtualCameraFunction& function);

    int productId() const override;
    void injectFault(const BRX_Commu_VirtualCameraLink::Fault& fault) override;
    void holdElsewhere(int ms) override;
    void setCustomOperation(quint16 opCode, BRX_Commu_VirtualCameraDevice::Direction direction,
                            const BRX_Commu_VirtualCameraDevice::Handler& handler) override;
    void failOperation(quint16 opCode, quint16 responseCode) override;

private:
    EmulatedUsbDevice& m_device;
    VirtualCameraFunction& m_function;
};

#endif
