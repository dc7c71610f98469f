// The camera model's reads of stored objects: the image database's handle
// list, then one announced picture downloaded by a transfer thread (object
// information, object-property reads, thumbnail, Exif head, object). The
// product and every answer (DeviceInfo first, which decides whether the
// object-property operations are used) come from the input, each a
// length-prefixed piece.
#include "BRX_Logic_Camera.h"
#include "FakeCameraAccess.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    typedef BRX_Commu_CameraAccess_Base Access;
    FuzzInput input(data, size);
    // Declared first: the camera's transfer thread hands frames to it until the camera is gone.
    quint32 frameSum = 0;
    FakeCameraAccess access(fuzzProduct(input.u8()));
    static const quint16 kAnswered[] = {Access::kOpGetDeviceInfo, Access::kOpGetObjectHandles,
                                        Access::kOpGetObjectInfo, Access::kOpGetObjectPropsSupported,
                                        Access::kOpGetObjectPropValue, Access::kOpGetThumb, Access::kOpGetObject};
    for (quint16 opCode : kAnswered)
        access.script(opCode, FakeCameraAccess::ok(input.chunk()));
    BRX_Logic_Camera camera(&access);
    camera.setFrameCallback(fuzzFrameSink, &frameSum);
    camera.slotRebuildImageDB();
    for (int i = 0; i < camera.imageDBCount(); ++i)
        fuzzCheck(camera.imageDBIndexOfHandle(camera.imageDBHandle(i)) <= i, "image database lost a handle");
    camera.setWantQuickView(true);
    camera.transferRequest();
    return 0;
}
