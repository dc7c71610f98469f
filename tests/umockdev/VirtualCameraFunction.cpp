#include "VirtualCameraFunction.h"

VirtualCameraFunction::VirtualCameraFunction(int productId, quint32 packetSize, const QString& serialNumber)
    : m_device(productId, serialNumber)
    , m_link(&m_device, packetSize)
{
}

BRX_Commu_UsbPipe::Status VirtualCameraFunction::receive(const quint8* data, quint32 size, quint32* accepted)
{
    return m_link.receive(data, size, accepted);
}

BRX_Commu_UsbPipe::Status VirtualCameraFunction::send(quint8* data, quint32 capacity, quint32* received)
{
    return m_link.send(data, capacity, received);
}

QByteArray VirtualCameraFunction::takeEvent()
{
    m_events.append(m_device.takeEvents().toList());
    return m_events.isEmpty() ? QByteArray() : m_events.takeFirst().encode();
}

void VirtualCameraFunction::clearHalt(BRX_Commu_UsbPipe::Endpoint endpoint)
{
    m_link.clearHalt(endpoint);
}

void VirtualCameraFunction::reset()
{
    m_link.resetDevice();
}

void VirtualCameraFunction::cancel(quint32 transactionId)
{
    m_link.cancel(transactionId);
}

BRX_Commu_UsbPipe::DeviceStatus VirtualCameraFunction::deviceStatus() const
{
    return m_link.deviceStatus();
}

qint64 VirtualCameraFunction::msUntilDue() const
{
    return m_link.msUntilDue();
}

void VirtualCameraFunction::unplugged()
{
    m_device.powerCycle();
    m_link.resetDevice();
    m_events.clear();
}

bool VirtualCameraFunction::takeUnplugRequest()
{
    return m_link.takeUnplugRequest();
}
