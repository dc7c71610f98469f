#include "BRX_Commu_EventRules.h"

#include "BRX_Commu_PtpCodes.h"

namespace {

typedef BRX_Commu_EventRules Rules;
typedef BRX_Commu_PtpCodes Codes;

// The platform's 32-bit event identifier of a PTP event code.
constexpr quint32 eventId(quint16 code)
{
    return quint32(code) << 16;
}

const Rules::Rule kEventRules[] = {
    {eventId(Codes::kVQCameraSettingsChanged), "kVQCameraSettingsChanged", Rules::kActionSettings, false},
    {eventId(Codes::kVQLensChanged), "kVQLensChanged", Rules::kActionLens, true},
    {eventId(Codes::kVQBulbTick), "kVQBulbTick", Rules::kActionBulb, true},
    {eventId(Codes::kVQSelfTimerTick), "kVQSelfTimerTick", Rules::kActionSelfTimer, true},
    {eventId(Codes::kVQGeoTackingStatusChanged), "kVQGeoTackingStatusChanged", Rules::kActionGeotagging, false},
    {eventId(Codes::kVQDevicePropChanged), "kVQDevicePropChanged", Rules::kActionDeviceProperty, false},
    {eventId(Codes::kVQ3DAxisDataChanged), "kVQ3DAxisDataChanged", Rules::kAction3DAxis, false},
    {eventId(Codes::kEventRequestObjectTransfer), "RequestObjectTransfer", Rules::kActionTransferRequest, false},
    {eventId(Codes::kEventObjectAdded), "ObjectAdded", Rules::kActionObjectAdded, false},
    {eventId(Codes::kEventObjectRemoved), "ObjectRemoved", Rules::kActionObjectRemoved, false},
    {eventId(Codes::kEventStoreAdded), "StoreAdded", Rules::kActionImageDatabase, false},
    {eventId(Codes::kEventStoreRemoved), "StoreRemoved", Rules::kActionImageDatabase, false},
    {eventId(Codes::kEventStorageInfoChanged), "StorageInfoChanged", Rules::kActionImageDatabase, false},
};

} // namespace

const BRX_Commu_EventRules::Rule* BRX_Commu_EventRules::find(quint32 eventCode)
{
    for (const Rule& rule : kEventRules) {
        if (rule.eventCode == eventCode)
            return &rule;
    }
    return nullptr;
}

bool BRX_Commu_EventRules::needsParameter(Action action)
{
    return action == kActionBulb || action == kActionSelfTimer || action == kActionDeviceProperty
        || action == kActionObjectRemoved;
}
