// The camera model's reads of stored objects: the image database's handle
// list, then one announced picture downloaded by a transfer thread (object
// information, object-property reads, thumbnail, Exif head, object). The
// product and every answer (DeviceInfo first, which decides whether the
// object-property operations are used) come from the input, each a
// length-prefixed piece.
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Logic_Camera.h"
#include "FakeCameraAccess.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

#include <algorithm>

namespace {

// The ObjectInfo's object and thumbnail sizes, cut to 16 MiB: the object
// target meets the stated sizes; here they would only time the zero-fill of
// buffers of hundreds of megabytes.
QByteArray withSizesCut(QByteArray objectInfo)
{
    const quint32 kSizeOffsets[] = {8, 14};
    for (quint32 offset : kSizeOffsets) {
        if (quint32(objectInfo.size()) < offset + 4)
            break;
        const quint32 stated = BRX_Commu_ByteReader(objectInfo.constData(), quint32(objectInfo.size())).readU32At(offset);
        BRX_Commu_ByteWriter::writeU32(reinterpret_cast<quint8*>(objectInfo.data()), offset,
                                       std::min(stated, 16u << 20));
    }
    return objectInfo;
}

}  // namespace

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
    for (quint16 opCode : kAnswered) {
        const QByteArray answer = input.chunk();
        access.script(opCode, FakeCameraAccess::ok(opCode == Access::kOpGetObjectInfo ? withSizesCut(answer) : answer));
    }
    BRX_Logic_Camera camera(&access);
    camera.setFrameCallback(fuzzFrameSink, &frameSum);
    camera.slotRebuildImageDB();
    for (int i = 0; i < camera.imageDBCount(); ++i)
        fuzzCheck(camera.imageDBIndexOfHandle(camera.imageDBHandle(i)) <= i, "image database lost a handle");
    camera.setWantQuickView(true);
    camera.transferRequest();
    return 0;
}
