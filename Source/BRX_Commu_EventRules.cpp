#include "BRX_Commu_EventRules.h"

#include "BRX_Commu_PtpCodes.h"

namespace {

typedef BRX_Commu_EventRules Rules;
typedef BRX_Commu_PtpCodes Codes;

const Rules::Rule kEventRules[] = {
    {Rules::eventId(Codes::kVQCameraSettingsChanged), "kVQCameraSettingsChanged", Rules::kActionSettings, false},
    {Rules::eventId(Codes::kVQLensChanged), "kVQLensChanged", Rules::kActionLens, true},
    {Rules::eventId(Codes::kVQBulbTick), "kVQBulbTick", Rules::kActionBulb, true},
    {Rules::eventId(Codes::kVQSelfTimerTick), "kVQSelfTimerTick", Rules::kActionSelfTimer, true},
    {Rules::eventId(Codes::kVQGeoTackingStatusChanged), "kVQGeoTackingStatusChanged", Rules::kActionGeotagging, false},
    {Rules::eventId(Codes::kVQDevicePropChanged), "kVQDevicePropChanged", Rules::kActionDeviceProperty, false},
    {Rules::eventId(Codes::kVQ3DAxisDataChanged), "kVQ3DAxisDataChanged", Rules::kAction3DAxis, false},
    {Rules::eventId(Codes::kEventRequestObjectTransfer), "RequestObjectTransfer", Rules::kActionTransferRequest, false},
    {Rules::eventId(Codes::kEventObjectAdded), "ObjectAdded", Rules::kActionObjectAdded, false},
    {Rules::eventId(Codes::kEventObjectRemoved), "ObjectRemoved", Rules::kActionObjectRemoved, false},
    {Rules::eventId(Codes::kEventStoreAdded), "StoreAdded", Rules::kActionImageDatabase, false},
    {Rules::eventId(Codes::kEventStoreRemoved), "StoreRemoved", Rules::kActionImageDatabase, false},
    {Rules::eventId(Codes::kEventStorageInfoChanged), "StorageInfoChanged", Rules::kActionImageDatabase, false},
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
