#include "BRX_Logic_CameraGeotackingData.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"

namespace {

const quint32 kGeotackingDataSize = 133;

const char* yesNo(bool value)
{
    return value ? "Yes" : "No";
}

} // namespace

BRX_Logic_CameraGeotackingData::BRX_Logic_CameraGeotackingData(BRX_Commu_CameraAccess_Base* access)
    : BRX_Logic_CameraDataset(access, kGeotackingDataSize)
{
    recvFromCamera();
}

bool BRX_Logic_CameraGeotackingData::recvFromCamera()
{
    const bool ok = readFromCamera(&BRX_Commu_CameraAccess_Base::getGeotackingData);
    if (isDebugFlagSet(kDebugGeotagging))
        dump(BRX_METHOD);
    return ok;
}

bool BRX_Logic_CameraGeotackingData::statusBit(int bit) const
{
    return (reader().readU8At(0) >> bit) & 0x01;
}

bool BRX_Logic_CameraGeotackingData::isMeanFieldDataValid() const
{
    return statusBit(0);
}

bool BRX_Logic_CameraGeotackingData::isTimeValid() const
{
    return statusBit(1);
}

bool BRX_Logic_CameraGeotackingData::isDateValid() const
{
    return statusBit(2);
}

bool BRX_Logic_CameraGeotackingData::isGPSEnabled() const
{
    return statusBit(3);
}

quint8 BRX_Logic_CameraGeotackingData::getLongitudeDegrees() const
{
    return reader().readU8At(23);
}

quint8 BRX_Logic_CameraGeotackingData::getLongitudeMinutes() const
{
    return reader().readU8At(24);
}

float BRX_Logic_CameraGeotackingData::getLongitudeSeconds() const
{
    return reader().readF32At(25);
}

quint8 BRX_Logic_CameraGeotackingData::getLatitudeDegrees() const
{
    return reader().readU8At(29);
}

quint8 BRX_Logic_CameraGeotackingData::getLatitudeMinutes() const
{
    return reader().readU8At(30);
}

float BRX_Logic_CameraGeotackingData::getLatitudeSeconds() const
{
    return reader().readF32At(31);
}

quint8 BRX_Logic_CameraGeotackingData::getNumberOfUsedSattelites() const
{
    return reader().readU8At(59);
}

void BRX_Logic_CameraGeotackingData::dump(const QString& caller) const
{
    dumpBuffer("geotackingData", caller);
    const std::string label = methodLabel(__PRETTY_FUNCTION__);
    const char* m = label.c_str();
    debugPrint(kDebugAlways, "%s - isMeanFieldDataValid    = %s", m, yesNo(isMeanFieldDataValid()));
    debugPrint(kDebugAlways, "%s - isTimeValid             = %s", m, yesNo(isTimeValid()));
    debugPrint(kDebugAlways, "%s - isDateValid             = %s", m, yesNo(isDateValid()));
    debugPrint(kDebugAlways, "%s - isGPSEnabled            = %s", m, yesNo(isGPSEnabled()));
    debugPrint(kDebugAlways, "%s - longitude               = %d %d' %f\"", m, getLongitudeDegrees(),
               getLongitudeMinutes(), double(getLongitudeSeconds()));
    debugPrint(kDebugAlways, "%s - latitude                = %d %d' %f\"", m, getLatitudeDegrees(),
               getLatitudeMinutes(), double(getLatitudeSeconds()));
    debugPrint(kDebugAlways, "%s - numberOfUsedSattelites  = %d", m, getNumberOfUsedSattelites());
}
