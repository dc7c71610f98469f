#include "EmulatedCameraTarget.h"
#include "EmulatedUsbDevice.h"
#include "VirtualCameraFunction.h"

EmulatedCameraTarget::EmulatedCameraTarget(EmulatedUsbDevice& device, VirtualCameraFunction& function)
    : m_device(device)
    , m_function(function)
{
}

int EmulatedCameraTarget::productId() const
{
    return m_function.device().productId();
}

void EmulatedCameraTarget::injectFault(const BRX_Commu_VirtualCameraLink::Fault& fault)
{
    m_device.withFunction([&](EmulatedFunction*) { m_function.link().injectFault(fault); });
}

void EmulatedCameraTarget::holdElsewhere(int ms)
{
    m_device.holdElsewhere(ms);
}

void EmulatedCameraTarget::setCustomOperation(quint16 opCode, BRX_Commu_VirtualCameraDevice::Direction direction,
                                              const BRX_Commu_VirtualCameraDevice::Handler& handler)
{
    m_device.withFunction(
        [&](EmulatedFunction*) { m_function.device().setCustomOperation(opCode, direction, handler); });
}

void EmulatedCameraTarget::failOperation(quint16 opCode, quint16 responseCode)
{
    m_device.withFunction([&](EmulatedFunction*) { m_function.device().failOperation(opCode, responseCode); });
}
