#ifndef FAULTSCRIPT_H
#define FAULTSCRIPT_H

#include "BRX_Commu_VirtualCameraLink.h"

#include <QList>
#include <QMetaType>

class FaultTarget;

// A camera's misbehaviour, strung together: link faults fire one after the
// other, each on its cue (the next command of its operation); the other
// steps act at once. The same script applies to the in-process virtual
// camera and to an emulated USB device.
class FaultScript
{
public:
    typedef BRX_Commu_VirtualCameraLink::Fault Fault;

    FaultScript& add(Fault::Kind kind, quint16 opCode, quint32 bytes = 0, int ms = 0);
    // Another program holds the camera's interface for ms.
    FaultScript& heldElsewhere(int ms);
    // The camera turns into a PTP device of another kind: its DeviceInfo
    // lists standard operations only and it refuses the vendor ones.
    FaultScript& foreignDevice();

    void applyTo(FaultTarget& target) const;

    // Link timeouts short enough for a test to outlast them at once (first
    // answer and progress 300 ms, patient answer 2 s, settling 500 ms).
    static void shortenLinkTimeouts();

private:
    struct Step {
        enum Type { kLinkFault, kHeldElsewhere, kForeignDevice };
        Type type;
        Fault fault;
    };
    static void becomeForeign(FaultTarget& target);

    QList<Step> m_steps;
};

Q_DECLARE_METATYPE(FaultScript)

#endif
