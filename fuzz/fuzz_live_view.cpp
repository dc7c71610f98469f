// Live view through the camera model: the camera reports a live-view mode,
// the StreamInfo dataset and up to eight stream packets come from the input
// (each a length-prefixed piece), and every packet is fetched, checked, its
// tags walked and its frame handed to the frame callback.
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Logic_Camera.h"
#include "FakeCameraAccess.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

namespace {

typedef BRX_Commu_CameraAccess_Base Access;

const quint32 kPhotoLiveView = 0x00020001;
const int kMaxPackets = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    quint32 frameSum = 0;
    FakeCameraAccess access(fuzzProduct(input.u8()));
    QByteArray mode;
    BRX_Commu_ByteWriter::appendU32(mode, kPhotoLiveView);
    access.script(Access::kOpGetDevicePropValue, Access::kDevicePropSupportedStreams, FakeCameraAccess::ok(mode));
    access.script(Access::kOpGetStreamInfo, FakeCameraAccess::ok(input.chunk()));
    int packets = 0;
    while (!input.atEnd() && packets < kMaxPackets) {
        access.script(Access::kOpGetStreamData, FakeCameraAccess::ok(input.chunk()));
        ++packets;
    }
    BRX_Logic_Camera camera(&access);
    camera.setFrameCallback(fuzzFrameSink, &frameSum);
    camera.checkIfLiveViewIsActive();
    for (int i = 0; i < packets; ++i)
        QMetaObject::invokeMethod(&camera, "catchLiveViewTimerFired", Qt::DirectConnection);
    return 0;
}
