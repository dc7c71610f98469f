#ifndef BRX_LOGIC_CAMERASETTINGSFACTORY_H
#define BRX_LOGIC_CAMERASETTINGSFACTORY_H

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_CameraSettingsBase;
class BRX_Logic_DeviceInfo;

// Builds the settings record that the product family of the open camera
// calls for: the struct record, its M layout, or the device-property record
// (see BRX_Commu_ProductFamily).
class BRX_Logic_CameraSettingsFactory
{
public:
    // The record for the product ID of cameraAccess; a record with a block
    // reads it from the camera at once. Neither pointer is owned; both must
    // outlive the record, which the caller owns.
    static BRX_Logic_CameraSettingsBase* create(BRX_Commu_CameraAccess_Base* cameraAccess,
                                                BRX_Logic_DeviceInfo* deviceInfo);
};

#endif
