#include "BRX_Logic_CameraSettingsBase.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"

BRX_Logic_CameraSettingsBase::BRX_Logic_CameraSettingsBase(BRX_Commu_CameraAccess_Base* cameraAccess,
                                                           BRX_Logic_DeviceInfo* deviceInfo)
    : m_cameraAccess(cameraAccess), m_deviceInfo(deviceInfo)
{
}

BRX_Logic_CameraSettingsBase::~BRX_Logic_CameraSettingsBase() = default;

bool BRX_Logic_CameraSettingsBase::sendIfChanged()
{
    if (m_changed)
        sendToCamera();
    const bool applied = !m_refused;
    m_refused = false;
    return applied;
}

int BRX_Logic_CameraSettingsBase::productId() const
{
    return m_cameraAccess ? m_cameraAccess->productId() : 0;
}

void BRX_Logic_CameraSettingsBase::dumpInt(const char* method, const char* label, int value)
{
    debugPrint(kDebugSettings, "%s - %-25s= %d", method, label, value);
}

void BRX_Logic_CameraSettingsBase::dumpYesNo(const char* method, const char* label, bool value)
{
    debugPrint(kDebugSettings, "%s - %-25s= %s", method, label, value ? "Yes" : "No");
}

void BRX_Logic_CameraSettingsBase::dumpFeatures(const char* method, const FeatureLine* lines,
                                                size_t count) const
{
    for (size_t i = 0; i < count; ++i)
        dumpYesNo(method, lines[i].label, (this->*lines[i].query)());
}

void BRX_Logic_CameraSettingsBase::dumpLines(const char* method, const DumpLine* lines,
                                             size_t count) const
{
    for (size_t i = 0; i < count; ++i) {
        const DumpLine& line = lines[i];
        if (line.gate && !(this->*line.gate)())
            continue;
        const double value = line.value(*this);
        if (line.format == kDumpYesNo)
            dumpYesNo(method, line.label, value != 0.0);
        else if (line.format == kDumpReal)
            debugPrint(kDebugSettings, "%s - %-25s= %lf", method, line.label, value);
        else
            dumpInt(method, line.label, int(value));
    }
}

void BRX_Logic_CameraSettingsBase::logNotAvailable(const char* method)
{
    debugPrint(kDebugAlways, "%s - functionality is not available", method);
}

void BRX_Logic_CameraSettingsBase::logOnlyExternally(const char* method)
{
    debugPrint(kDebugAlways, "%s - functionality is not available in camera, but only externally", method);
}

void BRX_Logic_CameraSettingsBase::refuseNotAvailable(const char* method)
{
    logNotAvailable(method);
    markRefused();
}

void BRX_Logic_CameraSettingsBase::refuseOnlyExternally(const char* method)
{
    logOnlyExternally(method);
    markRefused();
}

void BRX_Logic_CameraSettingsBase::refuseIllegal(const char* method, const char* what, int value)
{
    debugPrint(kDebugAlways, "%s - illegal %s %d", method, what, value);
    markRefused();
}
