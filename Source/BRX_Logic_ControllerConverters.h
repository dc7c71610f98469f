#ifndef BRX_LOGIC_CONTROLLERCONVERTERS_H
#define BRX_LOGIC_CONTROLLERCONVERTERS_H

#include "BRX_Logic_APEXConverterShutterTime.h"

#include <QString>

class BRX_Logic_Camera;
class BRX_Logic_ConverterBase;
class BRX_Logic_ConverterFocusDistance;

// The value converters of one camera connection: the shutter-time converter
// and one table converter per setting, each created only when the camera
// offers the setting. Controller thread; the host's thread only reads the
// tables, which do not change after creation (the exposure-compensation
// table, which does, is used on the controller thread only).
class BRX_Logic_ControllerConverters
{
public:
    enum Kind {
        Orientation,
        AudioLevel,
        AutoreviewDuration,
        AutoPowerOff,
        BracketDeltaEV,
        BracketImgNum,
        DngCompression,
        DriveMode,
        ExposCompens,
        ExposMetering,
        FileFormat,
        IntervalFrames,
        IntervalTime,
        JpgColorSpace,
        JpgResolution,
        SensorFormat,
        PhotoAspectRatio,
        VideoFileFormat,
        VideoResAndFrRate,
        VideoFormatResol,
        Contrast,
        Sharpness,
        Saturation,
        Monochrome,
        Sensitivity,
        Warning,
        WhiteBalance,
        WhiteBalTemp,
        kKindCount
    };

    // Creates the converters camera offers, for productId.
    BRX_Logic_ControllerConverters(BRX_Logic_Camera& camera, int productId);
    ~BRX_Logic_ControllerConverters();
    BRX_Logic_ControllerConverters(const BRX_Logic_ControllerConverters&) = delete;
    BRX_Logic_ControllerConverters& operator=(const BRX_Logic_ControllerConverters&) = delete;

    // Null when the camera does not offer the setting.
    BRX_Logic_ConverterBase* get(Kind kind) const { return m_converters[kind]; }
    BRX_Logic_ConverterFocusDistance* focusDistance() const { return m_focusDistance; }
    BRX_Logic_APEXConverterShutterTime& shutterTime() { return m_shutterTime; }

    // The whole value of one of kind's texts; false, logged under label,
    // without the converter ("no converter for ...") or for a text outside
    // its list ("unknown value: ..."), which would reach the camera as -1.
    bool valueOfText(Kind kind, const QString& text, int* value, const char* label) const;

    // The words of "no converter for ..." for a kind.
    static const char* subject(Kind kind);
    // Index of the white-balance preset that selects a colour temperature.
    static int colourTemperaturePreset(int productId);

private:
    BRX_Logic_APEXConverterShutterTime m_shutterTime;
    BRX_Logic_ConverterBase* m_converters[kKindCount] = {};
    BRX_Logic_ConverterFocusDistance* m_focusDistance = nullptr;
};

#endif
