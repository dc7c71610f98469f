#include "FaultScript.h"
#include "LinkTimeouts.h"
#include "BRX_Commu_PtpUsbLink.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "FaultTarget.h"
#include "VirtualCameraFixture.h"

namespace {

const quint16 kOpGetDeviceInfo = 0x1001;
const quint16 kFirstVendorOperation = 0x9000;
const QVector<quint16> kStandardOperations{0x1001, 0x1002, 0x1003, 0x1004, 0x1005, 0x1007, 0x1008, 0x1009, 0x100A};
const QVector<quint16> kStandardEvents{0x4002, 0x4003, 0x4004, 0x4005};

} // namespace

FaultScript& FaultScript::add(Fault::Kind kind, quint16 opCode, quint32 bytes, int ms)
{
    m_steps.append({Step::kLinkFault, {kind, opCode, bytes, ms}});
    return *this;
}

FaultScript& FaultScript::heldElsewhere(int ms)
{
    m_steps.append({Step::kHeldElsewhere, {Fault::kBusy, 0, 0, ms}});
    return *this;
}

FaultScript& FaultScript::foreignDevice()
{
    m_steps.append({Step::kForeignDevice, {Fault::kBusy, 0, 0, 0}});
    return *this;
}

void FaultScript::applyTo(FaultTarget& target) const
{
    for (const Step& step : m_steps) {
        if (step.type == Step::kLinkFault)
            target.injectFault(step.fault);
        else if (step.type == Step::kHeldElsewhere)
            target.holdElsewhere(step.fault.ms);
        else
            becomeForeign(target);
    }
}

void FaultScript::shortenLinkTimeouts()
{
    BRX_Commu_PtpTransaction::setDefaultTimeouts(shortLinkTimeouts(300));
}

void FaultScript::becomeForeign(FaultTarget& target)
{
    const QByteArray info = VirtualCameraFixture::deviceInfoDataset(kStandardOperations, kStandardEvents);
    target.setCustomOperation(kOpGetDeviceInfo, BRX_Commu_VirtualCameraDevice::kDataIn,
                              [info](const QVector<quint32>&, const QByteArray&, QByteArray* in) {
                                  *in = info;
                                  return quint16(BRX_Commu_VirtualCameraDevice::kResponseOK);
                              });
    for (quint16 opCode : BRX_Commu_VirtualCameraProfile::operations(target.productId())) {
        if (opCode >= kFirstVendorOperation)
            target.failOperation(opCode, BRX_Commu_VirtualCameraDevice::kResponseOperationNotSupported);
    }
}
