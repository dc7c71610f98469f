#include "BRX_Logic_CameraSettingsBase.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"


namespace {

typedef BRX_Logic_CameraSettingsBase Base;

enum DumpFormat {
    kDecimal,
    kYesNo,
    kReal,
    // The struct records' shutter and aperture lines: code, then value.
    kMaxShutterCode,
    kApertureCode,
    kShutterCode,
};

struct DumpRow
{
    const char* label;
    DumpFormat format;
    double (*value)(const Base& record);
    unsigned records;
};

// A row for the getter; s, m and d (1 or 0): whether the struct, the M and
// the device-property record print it.
#define BRX_DUMP_ROW(label, format, getter, s, m, d)                                   \
    {                                                                                 \
        label, format, [](const Base& record) -> double { return record.getter(); },   \
            (s ? Base::kDumpStruct : 0u) | (m ? Base::kDumpStructM : 0u)               \
                | (d ? Base::kDumpDeviceProperties : 0u)                               \
    }

// Every line of a settings dump, values then capabilities, in dump order.
// A setting two records print differently has a row for each.
const DumpRow kDumpRows[] = {
    //           label                        format           getter                  S  M  D
    BRX_DUMP_ROW("driveMode",                 kDecimal,        driveMode,              1, 1, 1),
    BRX_DUMP_ROW("videoResAndFrRate",         kDecimal,        videoResAndFrRate,      0, 1, 0),
    BRX_DUMP_ROW("focusMode",                 kDecimal,        focusMode,              1, 0, 1),
    BRX_DUMP_ROW("exposureMeteringMode",      kDecimal,        exposMetering,          1, 1, 1),
    BRX_DUMP_ROW("exposureCompensation",      kDecimal,        exposCompens,           1, 1, 1),
    BRX_DUMP_ROW("bracketingImageNumbers",    kDecimal,        bracketingImageNumbers, 1, 1, 1),
    BRX_DUMP_ROW("bracketingDeltaEV",         kDecimal,        bracketingDeltaEV,      1, 1, 1),
    BRX_DUMP_ROW("bracketingAutomatic",       kDecimal,        bracketingAutomatic,    0, 0, 1),
    BRX_DUMP_ROW("shutterMode",               kDecimal,        shutterMode,            1, 0, 1),
    BRX_DUMP_ROW("mirrorUpMode",              kDecimal,        mirrorUpMode,           1, 0, 1),
    BRX_DUMP_ROW("sensitivity",               kDecimal,        sensitivity,            1, 1, 1),
    BRX_DUMP_ROW("USBspeed",                  kDecimal,        USBspeed,               1, 1, 1),
    BRX_DUMP_ROW("RAMBufferFreeCaptures",     kDecimal,        RAMBufferFreeCaptures,  1, 1, 1),
    BRX_DUMP_ROW("sensorBoardTemperature",    kDecimal,        sensorBoardTemperature, 1, 1, 1),
    BRX_DUMP_ROW("keyLock",                   kYesNo,          keyLock,                1, 0, 1),
    BRX_DUMP_ROW("dngCompression",            kYesNo,          dngCompression,         1, 1, 1),
    BRX_DUMP_ROW("flashXSymbol",              kYesNo,          flashXSymbol,           1, 0, 1),
    BRX_DUMP_ROW("fileFormat",                kDecimal,        fileFormat,             1, 1, 1),
    BRX_DUMP_ROW("maxShutterTime",            kMaxShutterCode, maxShutterTime,         1, 1, 0),
    BRX_DUMP_ROW("maxShutterTime",            kReal,           maxShutterTime,         0, 0, 1),
    BRX_DUMP_ROW("whiteBalance",              kDecimal,        whiteBalanceIndex,      1, 1, 1),
    BRX_DUMP_ROW("whiteBalanceColorTemp",     kDecimal,        whiteBalanceColorTemp,  1, 1, 1),
    BRX_DUMP_ROW("jpgColorSpace",             kDecimal,        jpgColorSpace,          1, 1, 1),
    BRX_DUMP_ROW("storageType",               kDecimal,        storageType,            1, 1, 1),
    BRX_DUMP_ROW("lightMeter",                kDecimal,        lightMeter,             1, 1, 1),
    BRX_DUMP_ROW("autoPowerOff",              kDecimal,        autoPowerOff,           1, 1, 1),
    BRX_DUMP_ROW("lockAEAF",                  kDecimal,        lockAEAF,               1, 0, 0),
    BRX_DUMP_ROW("lockAEAF",                  kYesNo,          lockAEAF,               0, 0, 1),
    BRX_DUMP_ROW("jpgResolution",             kDecimal,        jpgResolution,          1, 1, 1),
    BRX_DUMP_ROW("videoFileFormat",           kDecimal,        videoFileFormat,        0, 0, 1),
    BRX_DUMP_ROW("videoResAndFrRate",         kDecimal,        videoResAndFrRate,      0, 0, 1),
    BRX_DUMP_ROW("videoFormatResol",          kDecimal,        videoFormatResol,       0, 0, 1),
    BRX_DUMP_ROW("contrast",                  kDecimal,        contrast,               0, 0, 1),
    BRX_DUMP_ROW("sharpness",                 kDecimal,        sharpness,              0, 0, 1),
    BRX_DUMP_ROW("saturation",                kDecimal,        saturation,             0, 0, 1),
    BRX_DUMP_ROW("monochrome",                kDecimal,        monochrome,             0, 0, 1),
    BRX_DUMP_ROW("audioLevel",                kDecimal,        audioLevel,             0, 0, 1),
    BRX_DUMP_ROW("audioWindElim",             kDecimal,        audioWindElim,          0, 0, 1),
    BRX_DUMP_ROW("audioVolSpeaker",           kDecimal,        audioVolSpeaker,        0, 0, 1),
    BRX_DUMP_ROW("audioVolHeadphone",         kDecimal,        audioVolHeadphone,      0, 0, 1),
    BRX_DUMP_ROW("audioVolMicrophone",        kDecimal,        audioVolMicrophone,     0, 0, 1),
    BRX_DUMP_ROW("exposureSimulation",        kDecimal,        exposureSimulation,     0, 0, 1),
    BRX_DUMP_ROW("language",                  kDecimal,        language,               1, 1, 1),
    BRX_DUMP_ROW("batterySource",             kDecimal,        batterySource,          1, 1, 1),
    BRX_DUMP_ROW("batteryInfo",               kDecimal,        batteryInfo,            1, 1, 0),
    BRX_DUMP_ROW("batteryLevelIntern",        kDecimal,        batteryLevelIntern,     1, 1, 1),
    BRX_DUMP_ROW("batteryLevelExtern",        kDecimal,        batteryLevelExtern,     1, 0, 1),
    BRX_DUMP_ROW("powerSwitch",               kDecimal,        powerSwitch,            1, 0, 0),
    BRX_DUMP_ROW("warnings",                  kDecimal,        warnings,               1, 1, 1),
    BRX_DUMP_ROW("iSOValue",                  kDecimal,        iSOValue,               1, 1, 1),
    BRX_DUMP_ROW("exposureMode",              kDecimal,        exposureMode,           1, 1, 1),
    BRX_DUMP_ROW("aperture",                  kApertureCode,   aperture,               1, 0, 0),
    BRX_DUMP_ROW("aperture",                  kReal,           aperture,               0, 0, 1),
    BRX_DUMP_ROW("shutterTime",               kShutterCode,    shutterTime,            1, 1, 0),
    BRX_DUMP_ROW("shutterTime",               kReal,           shutterTime,            0, 0, 1),
    BRX_DUMP_ROW("focusConfirmation",         kDecimal,        focusConfirmation,      1, 0, 1),
    BRX_DUMP_ROW("focusDistance",             kDecimal,        focusDistance,          1, 0, 1),
    BRX_DUMP_ROW("lightBalance",              kDecimal,        lightBalance,           1, 1, 1),
    BRX_DUMP_ROW("flashCompensation",         kDecimal,        flashCompensation,      1, 1, 1),
    BRX_DUMP_ROW("flashStatus",               kDecimal,        flashStatus,            1, 1, 1),
    BRX_DUMP_ROW("featureAperture",           kYesNo,          hasAperture,            0, 0, 1),
    BRX_DUMP_ROW("featureFocusMode",          kYesNo,          hasFocusMode,           1, 1, 1),
    BRX_DUMP_ROW("featureFocusConfirmation",  kYesNo,          hasFocusConfirmation,   1, 1, 1),
    BRX_DUMP_ROW("featureFocusDistance",      kYesNo,          hasFocusDistance,       1, 1, 1),
    BRX_DUMP_ROW("featureMoveLensToPos",      kYesNo,          hasMoveLensToPos,       1, 1, 1),
    BRX_DUMP_ROW("featureMoveLensRightLeft",  kYesNo,          hasMoveLensRightLeft,   1, 1, 1),
    BRX_DUMP_ROW("featureJpgResSelection",    kYesNo,          hasJpgResolution,       1, 1, 1),
    BRX_DUMP_ROW("featureVideoFileFormat",    kYesNo,          hasVideoFileFormat,     1, 1, 1),
    BRX_DUMP_ROW("featureVideoResAndFrRate",  kYesNo,          hasVideoResAndFrRate,   1, 1, 1),
    BRX_DUMP_ROW("featureVideoFormatResol",   kYesNo,          hasVideoFormatResol,    1, 1, 1),
    BRX_DUMP_ROW("featureContrast",           kYesNo,          hasContrast,            0, 0, 1),
    BRX_DUMP_ROW("featureSharpness",          kYesNo,          hasSharpness,           0, 0, 1),
    BRX_DUMP_ROW("featureSaturation",         kYesNo,          hasSaturation,          0, 0, 1),
    BRX_DUMP_ROW("featureMonochrome",         kYesNo,          hasMonochrome,          0, 0, 1),
    BRX_DUMP_ROW("featureAutoFocusLimit",     kYesNo,          hasAutoFocusLimit,      1, 1, 1),
    BRX_DUMP_ROW("featureAudioLevel",         kYesNo,          hasAudioLevel,          1, 1, 1),
    BRX_DUMP_ROW("featureAudioWindElimi.",    kYesNo,          hasAudioWindElim,       1, 1, 1),
    BRX_DUMP_ROW("featureAudioVolSpeaker",    kYesNo,          hasAudioVolSpeaker,     1, 1, 1),
    BRX_DUMP_ROW("featureAudioVolHeadph.",    kYesNo,          hasAudioVolHeadphone,   1, 1, 1),
    BRX_DUMP_ROW("featureAudioVolMicroph.",   kYesNo,          hasAudioVolMicrophone,  1, 1, 1),
    BRX_DUMP_ROW("featureExposureSimulat.",   kYesNo,          hasExposureSimulation,  1, 1, 1),
    BRX_DUMP_ROW("featurePowerSave",          kYesNo,          hasAutoPowerOff,        1, 1, 1),
    BRX_DUMP_ROW("featureDngCompression",     kYesNo,          hasDngCompression,      1, 1, 1),
    BRX_DUMP_ROW("featureJpgColorSpace",      kYesNo,          hasJpgColorSpace,       0, 0, 1),
    BRX_DUMP_ROW("featureStorageType",        kYesNo,          hasStorageType,         0, 0, 1),
    BRX_DUMP_ROW("featureInterval",           kYesNo,          hasInterval,            1, 1, 1),
    BRX_DUMP_ROW("featureKeyLock",            kYesNo,          hasKeyLock,             1, 1, 1),
    BRX_DUMP_ROW("featureLiveView",           kYesNo,          hasLiveView,            1, 1, 1),
    BRX_DUMP_ROW("featureMirrorUpMode",       kYesNo,          hasMirrorUpMode,        0, 0, 1),
    BRX_DUMP_ROW("featureShutterMode",        kYesNo,          hasPowerSwitch,         0, 0, 1),
    BRX_DUMP_ROW("featurePreview",            kYesNo,          hasPreview,             1, 1, 1),
    BRX_DUMP_ROW("featureHMI",                kYesNo,          hasHMI,                 1, 1, 1),
    BRX_DUMP_ROW("featureFlashStatus",        kYesNo,          hasFlashStatus,         1, 1, 1),
    BRX_DUMP_ROW("featureFlashXSymbol",       kYesNo,          hasFlashXSymbol,        1, 1, 1),
};

#undef BRX_DUMP_ROW

void dumpRow(const Base& record, const DumpRow& row, const char* method, const Base::DumpCodes& codes)
{
    const double value = row.value(record);
    switch (row.format) {
    case kDecimal:
        debugPrint(kDebugSettings, "%s - %-25s= %d", method, row.label, int(value));
        break;
    case kYesNo:
        debugPrint(kDebugSettings, "%s - %-25s= %s", method, row.label, value != 0.0 ? "Yes" : "No");
        break;
    case kReal:
        debugPrint(kDebugSettings, "%s - %-25s= %lf", method, row.label, value);
        break;
    case kMaxShutterCode:
        debugPrint(kDebugSettings, "%s - %-25s= 0x%04X = %d (%.3lfs)", method, row.label,
                   unsigned(quint16(codes.maxShutterTime)), int(codes.maxShutterTime), value);
        break;
    case kApertureCode:
        debugPrint(kDebugSettings, "%s - %-25s= 0x%04X = %d (%.3lf)", method, row.label,
                   unsigned(quint16(codes.aperture)), int(codes.aperture), value);
        break;
    case kShutterCode:
        // Times below a second read better as a fraction.
        if (value >= 1.0)
            debugPrint(kDebugSettings, "%s - %-25s= 0x%04X = %d (%.3lfs)", method, row.label,
                       unsigned(quint16(codes.shutterTime)), int(codes.shutterTime), value);
        else
            debugPrint(kDebugSettings, "%s - %-25s= 0x%04X = %d (1/%.3lfs)", method, row.label,
                       unsigned(quint16(codes.shutterTime)), int(codes.shutterTime), 1.0 / value);
        break;
    }
}

} // namespace

BRX_Logic_CameraSettingsBase::BRX_Logic_CameraSettingsBase(BRX_Commu_CameraAccess_Base* cameraAccess,
                                                           BRX_Logic_DeviceInfo* deviceInfo)
    : m_cameraAccess(cameraAccess), m_deviceInfo(deviceInfo)
{
}

BRX_Logic_CameraSettingsBase::~BRX_Logic_CameraSettingsBase() = default;

bool BRX_Logic_CameraSettingsBase::holdsCameraValue(BRX_Logic_SettingsChanges::Flag) const
{
    return true;
}

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

void BRX_Logic_CameraSettingsBase::dumpSettings(const char* method, DumpRecord record,
                                                const DumpCodes& codes) const
{
    for (const DumpRow& row : kDumpRows) {
        if (row.records & record)
            dumpRow(*this, row, method, codes);
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
