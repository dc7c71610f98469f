#include "BRX_Logic_ControllerConverters.h"
#include "BRX_Debug.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_ConverterAudioLevel.h"
#include "BRX_Logic_ConverterAutoPowerOff.h"
#include "BRX_Logic_ConverterAutoreviewDuration.h"
#include "BRX_Logic_ConverterBracketDeltaEV.h"
#include "BRX_Logic_ConverterBracketImgNum.h"
#include "BRX_Logic_ConverterContrast.h"
#include "BRX_Logic_ConverterDngCompression.h"
#include "BRX_Logic_ConverterDriveMode.h"
#include "BRX_Logic_ConverterExposCompens.h"
#include "BRX_Logic_ConverterExposMetering.h"
#include "BRX_Logic_ConverterFileFormat.h"
#include "BRX_Logic_ConverterFocusDistance.h"
#include "BRX_Logic_ConverterIntervalFrames.h"
#include "BRX_Logic_ConverterIntervalTime.h"
#include "BRX_Logic_ConverterJpgColorSpace.h"
#include "BRX_Logic_ConverterJpgResolution.h"
#include "BRX_Logic_ConverterMonochrome.h"
#include "BRX_Logic_ConverterOrientation.h"
#include "BRX_Logic_ConverterPhotoAspectRatio.h"
#include "BRX_Logic_ConverterSaturation.h"
#include "BRX_Logic_ConverterSensitivity.h"
#include "BRX_Logic_ConverterSensorFormat.h"
#include "BRX_Logic_ConverterSharpness.h"
#include "BRX_Logic_ConverterVideoFileFormat.h"
#include "BRX_Logic_ConverterVideoFormatResol.h"
#include "BRX_Logic_ConverterVideoResAndFrRate.h"
#include "BRX_Logic_ConverterWarning.h"
#include "BRX_Logic_ConverterWhiteBalTemp.h"
#include "BRX_Logic_ConverterWhiteBalance.h"
#include "BRX_Logic_Rounding.h"

#include <type_traits>

namespace {

using Kind = BRX_Logic_ControllerConverters::Kind;

// Tables that differ per camera take the product ID; the fixed ones do not.
template <typename T>
BRX_Logic_ConverterBase* create(int productId)
{
    if constexpr (std::is_constructible<T, int>::value)
        return new T(productId);
    else
        return new T;
}

bool always(const BRX_Logic_Camera&)
{
    return true;
}

struct Row {
    Kind kind;
    const char* subject;
    bool (*offered)(const BRX_Logic_Camera&);
    BRX_Logic_ConverterBase* (*create)(int productId);
};

#define BRX_OFFERED(query) [](const BRX_Logic_Camera& camera) { return camera.query(); }

const Row kRows[] = {
    {Kind::Orientation, "orientation", BRX_OFFERED(hasOrientation), create<BRX_Logic_ConverterOrientation>},
    {Kind::AudioLevel, "audio level", BRX_OFFERED(hasAudioLevel), create<BRX_Logic_ConverterAudioLevel>},
    {Kind::AutoreviewDuration, "autoreview duration", BRX_OFFERED(hasAutoreviewDuration),
     create<BRX_Logic_ConverterAutoreviewDuration>},
    {Kind::AutoPowerOff, "auto power off", BRX_OFFERED(hasAutoPowerOff), create<BRX_Logic_ConverterAutoPowerOff>},
    {Kind::BracketDeltaEV, "bracketing delta EV", always, create<BRX_Logic_ConverterBracketDeltaEV>},
    {Kind::BracketImgNum, "bracketing image numbers", always, create<BRX_Logic_ConverterBracketImgNum>},
    {Kind::DngCompression, "DNG compression", BRX_OFFERED(hasDngCompression),
     create<BRX_Logic_ConverterDngCompression>},
    {Kind::DriveMode, "drive mode", always, create<BRX_Logic_ConverterDriveMode>},
    {Kind::ExposCompens, "exposure compensation", always, create<BRX_Logic_ConverterExposCompens>},
    {Kind::ExposMetering, "exposure metering", always, create<BRX_Logic_ConverterExposMetering>},
    {Kind::FileFormat, "file format", always, create<BRX_Logic_ConverterFileFormat>},
    {Kind::IntervalFrames, "interval frames", always, create<BRX_Logic_ConverterIntervalFrames>},
    {Kind::IntervalTime, "interval time", always, create<BRX_Logic_ConverterIntervalTime>},
    {Kind::JpgColorSpace, "JPG color space", BRX_OFFERED(hasJpgColorSpace), create<BRX_Logic_ConverterJpgColorSpace>},
    {Kind::JpgResolution, "JPG resolution", BRX_OFFERED(hasJpgResolution), create<BRX_Logic_ConverterJpgResolution>},
    {Kind::SensorFormat, "sensor format", BRX_OFFERED(hasSensorFormat), create<BRX_Logic_ConverterSensorFormat>},
    {Kind::PhotoAspectRatio, "photo aspect ratio", BRX_OFFERED(hasPhotoAspectRatio),
     create<BRX_Logic_ConverterPhotoAspectRatio>},
    {Kind::VideoFileFormat, "video file format", BRX_OFFERED(hasVideoFileFormat),
     create<BRX_Logic_ConverterVideoFileFormat>},
    {Kind::VideoResAndFrRate, "video resolution and frame rate", BRX_OFFERED(hasVideoResAndFrRate),
     create<BRX_Logic_ConverterVideoResAndFrRate>},
    {Kind::VideoFormatResol, "video format resolution", BRX_OFFERED(hasVideoFormatResol),
     create<BRX_Logic_ConverterVideoFormatResol>},
    {Kind::Contrast, "contrast", BRX_OFFERED(hasContrast), create<BRX_Logic_ConverterContrast>},
    {Kind::Sharpness, "sharpness", BRX_OFFERED(hasSharpness), create<BRX_Logic_ConverterSharpness>},
    {Kind::Saturation, "saturation", BRX_OFFERED(hasSaturation), create<BRX_Logic_ConverterSaturation>},
    {Kind::Monochrome, "monochrome", BRX_OFFERED(hasMonochrome), create<BRX_Logic_ConverterMonochrome>},
    {Kind::Sensitivity, "sensitivity", always, create<BRX_Logic_ConverterSensitivity>},
    {Kind::Warning, "warnings", BRX_OFFERED(hasWarnings), create<BRX_Logic_ConverterWarning>},
    {Kind::WhiteBalance, "white balance", BRX_OFFERED(hasWhiteBalance), create<BRX_Logic_ConverterWhiteBalance>},
    {Kind::WhiteBalTemp, "white balance temperature", BRX_OFFERED(hasWhiteBalance),
     create<BRX_Logic_ConverterWhiteBalTemp>},
};

#undef BRX_OFFERED

static_assert(sizeof kRows / sizeof kRows[0] == Kind::kKindCount, "one row per converter kind");

} // namespace

BRX_Logic_ControllerConverters::BRX_Logic_ControllerConverters(BRX_Logic_Camera& camera, int productId)
    : m_shutterTime(productId)
{
    for (const Row& row : kRows) {
        if (row.offered(camera))
            m_converters[row.kind] = row.create(productId);
    }
    if (camera.hasFocusDistance())
        m_focusDistance = new BRX_Logic_ConverterFocusDistance;
}

BRX_Logic_ControllerConverters::~BRX_Logic_ControllerConverters()
{
    for (BRX_Logic_ConverterBase* converter : m_converters)
        delete converter;
    delete m_focusDistance;
}

bool BRX_Logic_ControllerConverters::valueOfText(Kind kind, const QString& text, int* value,
                                                  const char* label) const
{
    const BRX_Logic_ConverterBase* converter = get(kind);
    if (!converter) {
        debugPrint(kDebugAlways, "%s - no converter for %s", label, subject(kind));
        return false;
    }
    if (!converter->texts().contains(text)) {
        debugPrint(kDebugAlways, "%s - unknown value: %s", label, qPrintable(text));
        return false;
    }
    *value = int(roundHalfUp(converter->valueOf(text)));
    return true;
}

const char* BRX_Logic_ControllerConverters::subject(Kind kind)
{
    return kRows[kind].subject;
}

int BRX_Logic_ControllerConverters::colourTemperaturePreset(int productId)
{
    switch (productId) {
    case 0x2009:
    case 0x2011:
    case 0x2021:
        return 9;
    default:
        return 11;
    }
}
