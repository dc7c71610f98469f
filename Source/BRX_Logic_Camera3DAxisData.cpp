#include "BRX_Logic_Camera3DAxisData.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"

namespace {

const quint32 kShortLayoutSize = 193;
const quint32 kLongLayoutSize = 213;

bool hasLongLayout(const BRX_Commu_CameraAccess_Base* access)
{
    return access && (access->productId() == 0x2031 || access->productId() == 0x2041);
}

} // namespace

BRX_Logic_Camera3DAxisData::BRX_Logic_Camera3DAxisData(BRX_Commu_CameraAccess_Base* access)
    : BRX_Logic_CameraDataset(access, hasLongLayout(access) ? kLongLayoutSize : kShortLayoutSize),
      m_longLayout(hasLongLayout(access))
{
    recvFromCamera();
}

bool BRX_Logic_Camera3DAxisData::recvFromCamera()
{
    const bool ok = readFromCamera(&BRX_Commu_CameraAccess_Base::get3DAxisData);
    if (isDebugFlagSet(kDebug3DAxis))
        dump(BRX_METHOD);
    return ok;
}

double BRX_Logic_Camera3DAxisData::field(quint32 shortOffset, quint32 longOffset) const
{
    BRX_Commu_ByteReader bytes = reader();
    return m_longLayout ? bytes.readF64At(longOffset) : double(bytes.readF32At(shortOffset));
}

double BRX_Logic_Camera3DAxisData::getCameraPitchAngle() const
{
    return field(12, 12);
}

double BRX_Logic_Camera3DAxisData::getCameraRollAngle() const
{
    return field(16, 20);
}

double BRX_Logic_Camera3DAxisData::getTemperature() const
{
    return field(189, 205);
}

void BRX_Logic_Camera3DAxisData::dump(const QString& caller) const
{
    dumpBuffer("3DAxisData", caller);
    debugPrint(kDebugAlways, "%s - cameraPitchAngle = %lf", BRX_METHOD, getCameraPitchAngle());
    debugPrint(kDebugAlways, "%s - cameraRollAngle  = %lf", BRX_METHOD, getCameraRollAngle());
    debugPrint(kDebugAlways, "%s - temperature      = %lf", BRX_METHOD, getTemperature());
}
