#ifndef VIRTUALCAMERAFUNCTION_H
#define VIRTUALCAMERAFUNCTION_H

#include "BRX_Commu_VirtualCameraDevice.h"
#include "BRX_Commu_VirtualCameraLink.h"
#include "EmulatedFunction.h"

// The virtual camera of one product as the device side of an emulated USB
// device, so that real libusb talks to it. Its faults wait on real time.
class VirtualCameraFunction : public EmulatedFunction
{
public:
    // An empty serialNumber: the product's own.
    VirtualCameraFunction(int productId, quint32 packetSize, const QString& serialNumber = QString());

    BRX_Commu_UsbPipe::Status receive(const quint8* data, quint32 size, quint32* accepted) override;
    BRX_Commu_UsbPipe::Status send(quint8* data, quint32 capacity, quint32* received) override;
    QByteArray takeEvent() override;
    void clearHalt(BRX_Commu_UsbPipe::Endpoint endpoint) override;
    void reset() override;
    void cancel(quint32 transactionId) override;
    BRX_Commu_UsbPipe::DeviceStatus deviceStatus() const override;
    qint64 msUntilDue() const override;
    bool takeUnplugRequest() override;
    void unplugged() override;

    BRX_Commu_VirtualCameraDevice& device() { return m_device; }
    BRX_Commu_VirtualCameraLink& link() { return m_link; }

private:
    BRX_Commu_VirtualCameraDevice m_device;
    BRX_Commu_VirtualCameraLink m_link;
    QList<BRX_Commu_PtpContainer> m_events;
};

#endif
