// Device properties: the descriptor check for a value and property code the
// input chooses, and the typed reads of every width, all answered from the
// rest of the input.
#include "FakeCameraAccess.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const quint16 propertyCode = input.u16();
    const qint32 value = qint32(input.u32());
    const QByteArray answer = input.rest();
    FakeCameraAccess access(0x2031);
    access.script(BRX_Commu_CameraAccess_Base::kOpGetDevicePropDesc, FakeCameraAccess::ok(answer));
    access.script(BRX_Commu_CameraAccess_Base::kOpGetDevicePropValue, FakeCameraAccess::ok(answer));
    access.supportsDevicePropValue(propertyCode, value);
    access.evaluateSupportsCaptureMode7();
    quint8 battery = 0;
    quint16 focusMode = 0;
    qint16 bias = 0;
    quint32 exposureIndex = 0;
    access.getDevicePropBatteryLevel(battery);
    access.getDevicePropFocusMode(focusMode);
    access.getDevicePropExposureBiasCompensation(bias);
    access.getDevicePropExposureIndex(exposureIndex);
    fuzzCheck(access.focusMode() == focusMode, "focus mode not taken from the read");
    return 0;
}
