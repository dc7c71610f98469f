#ifndef BRX_COMMU_EVENTRULES_H
#define BRX_COMMU_EVENTRULES_H

#include <QtGlobal>

// What the camera's events mean to the access: the vendor events and the
// standard events every transport delivers, each with what it sets off.
class BRX_Commu_EventRules
{
public:
    enum Action {
        kActionSettings,
        kActionLens,
        kActionBulb,
        kActionSelfTimer,
        kActionGeotagging,
        kActionDeviceProperty,
        kAction3DAxis,
        kActionTransferRequest,
        kActionImageDatabase,
        kActionObjectAdded,
        kActionObjectRemoved,
    };

    struct Rule {
        quint32 eventCode;
        const char* name;
        Action action;
        bool structProductsOnly;
    };

    // The platform's 32-bit event identifier of a PTP event code.
    static constexpr quint32 eventId(quint16 code) { return quint32(code) << 16; }
    // The rule of the platform's 32-bit event identifier; null for an
    // event nobody here knows.
    static const Rule* find(quint32 eventCode);
    // Whether the action cannot be carried out without the event's first
    // parameter.
    static bool needsParameter(Action action);
};

#endif
