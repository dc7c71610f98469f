#include "BRX_Logic_CameraSettingsFactory.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Logic_CameraSettingsByDevProps.h"
#include "BRX_Logic_CameraSettingsByStruct.h"
#include "BRX_Logic_CameraSettingsByStructM.h"

BRX_Logic_CameraSettingsBase* BRX_Logic_CameraSettingsFactory::create(BRX_Commu_CameraAccess_Base* cameraAccess,
                                                                      BRX_Logic_DeviceInfo* deviceInfo)
{
    switch (BRX_Commu_ProductFamily::of(cameraAccess ? cameraAccess->productId() : 0)) {
    case BRX_Commu_ProductFamily::kStruct:
        return new BRX_Logic_CameraSettingsByStruct(cameraAccess, deviceInfo);
    case BRX_Commu_ProductFamily::kStructM:
        return new BRX_Logic_CameraSettingsByStructM(cameraAccess, deviceInfo);
    case BRX_Commu_ProductFamily::kDeviceProperties:
        break;
    }
    return new BRX_Logic_CameraSettingsByDevProps(cameraAccess, deviceInfo);
}
