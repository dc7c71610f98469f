// The camera datasets: DeviceInfo, lens, 3D axis, geotagging and stream
// info, each read from the rest of the input for the product the first byte
// picks (the 3D-axis layout depends on it), dumped (every debug flag is on)
// and queried.
#include "BRX_Logic_Camera3DAxisData.h"
#include "BRX_Logic_CameraGeotackingData.h"
#include "BRX_Logic_CameraLens.h"
#include "BRX_Logic_CameraStreamInfo.h"
#include "BRX_Logic_DeviceInfo.h"
#include "FakeCameraAccess.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

namespace {

typedef BRX_Commu_CameraAccess_Base Access;

void readDeviceInfo(Access& access)
{
    const BRX_Logic_DeviceInfo info(&access);
    info.isOperationSupported(Access::kOpGetObjectPropsSupported);
    info.isEventSupported(0xC00C);
    info.isDevicePropSupported(Access::kDevicePropStillCaptureMode);
    info.getSerialNumber();
}

void readLens(Access& access)
{
    const BRX_Logic_CameraLens lens(&access);
    lens.getApertureStepsText();
    lens.getLensFileVersion();
    lens.getLensTypeString();
}

void read3DAxis(Access& access)
{
    const BRX_Logic_Camera3DAxisData axis(&access);
    axis.getCameraPitchAngle();
    axis.getCameraRollAngle();
    axis.getTemperature();
}

void readGeotagging(Access& access)
{
    const BRX_Logic_CameraGeotackingData geotagging(&access);
    geotagging.getLatitudeSeconds();
    geotagging.getLongitudeSeconds();
}

void readStreamInfo(Access& access)
{
    const BRX_Logic_CameraStreamInfo info(&access);
    info.getPacketMaxSize();
}

struct Dataset {
    quint16 opCode;
    void (*read)(Access& access);
};

const Dataset kDatasets[] = {
    {Access::kOpGetDeviceInfo, readDeviceInfo},   {Access::kOpGetLensData, readLens},
    {Access::kOpGet3DAxisData, read3DAxis},       {Access::kOpGetGeotackingData, readGeotagging},
    {Access::kOpGetStreamInfo, readStreamInfo},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const quint8 choice = input.u8();
    const Dataset& dataset = kDatasets[choice % 5];
    FakeCameraAccess access(fuzzProduct(choice / 5));
    access.script(dataset.opCode, FakeCameraAccess::ok(input.rest()));
    dataset.read(access);
    return 0;
}
