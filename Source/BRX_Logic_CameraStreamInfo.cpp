#include "BRX_Logic_CameraStreamInfo.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"

namespace {

const quint32 kStreamInfoSize = 36;

} // namespace

BRX_Logic_CameraStreamInfo::BRX_Logic_CameraStreamInfo(BRX_Commu_CameraAccess_Base* access)
    : BRX_Logic_CameraDataset(access, kStreamInfoSize)
{
    recvFromCamera();
}

bool BRX_Logic_CameraStreamInfo::recvFromCamera()
{
    const bool ok = readFromCamera(&BRX_Commu_CameraAccess_Base::getStreamInfo);
    if (getDatasetSize() != kStreamInfoSize)
        debugPrint(kDebugAlways, "%s - stream info structure has wrong size %d", BRX_METHOD,
                   int(getDatasetSize()));
    if (isDebugFlagSet(kDebugLiveView))
        dump(BRX_METHOD);
    return ok;
}

quint64 BRX_Logic_CameraStreamInfo::getDatasetSize() const
{
    return reader().readU64At(0);
}

quint64 BRX_Logic_CameraStreamInfo::getTimeResolution() const
{
    return reader().readU64At(8);
}

quint32 BRX_Logic_CameraStreamInfo::getFrameHeaderSize() const
{
    return reader().readU32At(16);
}

quint32 BRX_Logic_CameraStreamInfo::getFrameMaxSize() const
{
    return reader().readU32At(20);
}

quint32 BRX_Logic_CameraStreamInfo::getPacketHeaderSize() const
{
    return reader().readU32At(24);
}

quint32 BRX_Logic_CameraStreamInfo::getPacketMaxSize() const
{
    return reader().readU32At(28);
}

quint32 BRX_Logic_CameraStreamInfo::getPacketAlignment() const
{
    return reader().readU32At(32);
}

void BRX_Logic_CameraStreamInfo::dump(const QString& caller) const
{
    dumpBuffer("streamInfo", caller);
    const std::string label = methodLabel(__PRETTY_FUNCTION__);
    const char* m = label.c_str();
    debugPrint(kDebugAlways, "%s - datasetSize      = %10d bytes", m, int(getDatasetSize()));
    debugPrint(kDebugAlways, "%s - timeResolution   = %10d ns = %lf sec", m, int(getTimeResolution()),
               getTimeResolution() / 1e9);
    debugPrint(kDebugAlways, "%s - frameHeaderSize  = %10d bytes", m, int(getFrameHeaderSize()));
    debugPrint(kDebugAlways, "%s - frameMaxSize     = %10d bytes", m, int(getFrameMaxSize()));
    debugPrint(kDebugAlways, "%s - packetHeaderSize = %10d bytes", m, int(getPacketHeaderSize()));
    debugPrint(kDebugAlways, "%s - packetMaxSize    = %10d bytes", m, int(getPacketMaxSize()));
    debugPrint(kDebugAlways, "%s - packetAlignment  = %10d byte(s)", m, int(getPacketAlignment()));
}
