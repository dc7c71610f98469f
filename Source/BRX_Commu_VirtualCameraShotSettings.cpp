#include "BRX_Commu_VirtualCameraShotSettings.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_PtpCodes.h"
#include "BRX_Commu_VirtualCameraProfile.h"

#include <algorithm>
#include <cmath>

namespace {

typedef BRX_Commu_VirtualCameraShot Shot;
typedef BRX_Commu_PtpCodes Codes;

// Where each setting lives in the settings block.
enum BlockOffset {
    kBlockMetering = 0x03,
    kBlockCompensation = 0x04,
    kBlockBracketing = 0x05,
    kBlockMirrorUp = 0x09,
    kBlockSensitivityIndex = 0x0a,
    kBlockFileFormat = 0x0f,
    kBlockWhiteBalance = 0x12,
    kBlockIso = 0x45,
    kBlockExposureMode = 0x47,
    kBlockAperture = 0x48,
    kBlockShutter = 0x4a,
};
const quint16 kPropWhiteBalance = Codes::kDevicePropWhiteBalance;
const quint16 kPropMetering = Codes::kDevicePropExposureMeteringMode;
const quint16 kPropExposureMode = Codes::kDevicePropExposureProgramMode;
const quint16 kPropSensitivity = Codes::kDevicePropExposureIndex;
const quint16 kPropCompensation = Codes::kDevicePropExposureBiasCompensation;
const quint16 kPropFileFormat = Codes::kDevicePropFileFormat;
const quint16 kPropBracketing = Codes::kDevicePropBracketingEnabled;
const quint16 kPropMirrorUp = Codes::kDevicePropMirrorUpMode;
const quint16 kPropShutter = Codes::kDevicePropExposureTime;
const quint16 kPropAperture = Codes::kDevicePropAperture;
const quint16 kPropIsoInUse = Codes::kDevicePropSensitivityASA;

const int kBulbMode = 4;
// What automatic sensitivity settles on, where the camera has no field for it.
const int kAutomaticIso = 400;

// The struct products' sensitivity by index; index 0 is automatic.
const int kIsoTable2009[] = {0, 80, 160, 320, 640, 1250};
const int kIsoTable2011[] = {0, 50, 100, 200, 400, 800, 1600};

// Exposure modes 0 to 5 as the camera codes them: M, S, P, A, bulb (a manual
// exposure) and automatic (a program).
const Shot::Program kPrograms[] = {Shot::kProgramManual, Shot::kProgramShutterPriority, Shot::kProgramNormal,
                                   Shot::kProgramAperturePriority, Shot::kProgramManual, Shot::kProgramNormal};
// Metering codes 0 spot, 1 centre-weighted, 2 multi-field.
const Shot::Metering kMeterings[] = {Shot::kMeteringSpot, Shot::kMeteringCenterWeighted, Shot::kMeteringMultiSegment};

// White-balance presets past tungsten (code 4), which every product numbers alike.
struct PresetLight {
    int code;
    Shot::LightSource light;
};
const Shot::LightSource kFirstPresets[] = {Shot::kLightUnknown, Shot::kLightDaylight, Shot::kLightCloudy,
                                           Shot::kLightShade, Shot::kLightTungsten};
const PresetLight kStructPresets[] = {{5, Shot::kLightWarmWhiteFluorescent},
                                      {6, Shot::kLightCoolWhiteFluorescent},
                                      {7, Shot::kLightFlash}};
const PresetLight kPropertyPresets[] = {{6, Shot::kLightWarmWhiteFluorescent},
                                        {7, Shot::kLightCoolWhiteFluorescent},
                                        {8, Shot::kLightFlash}};

// Marked shutter speeds in thirds and halves of a stop, longest first.
const double kMarkedSeconds[] = {
    30,       25,       20,       15,       13,       10,        8,         6,         5,         4,
    3.2,      3,        2.5,      2,        1.6,      1.5,       1.3,       1,         0.8,       0.7,
    0.6,      0.5,      0.4,      0.3,      1 / 4.0,  1 / 5.0,   1 / 6.0,   1 / 8.0,   1 / 10.0,  1 / 13.0,
    1 / 15.0, 1 / 20.0, 1 / 25.0, 1 / 30.0, 1 / 40.0, 1 / 45.0,  1 / 50.0,  1 / 60.0,  1 / 80.0,  1 / 90.0,
    1 / 100.0, 1 / 125.0, 1 / 160.0, 1 / 180.0, 1 / 200.0, 1 / 250.0, 1 / 320.0, 1 / 350.0, 1 / 400.0, 1 / 500.0,
    1 / 640.0, 1 / 750.0, 1 / 800.0, 1 / 1000.0, 1 / 1250.0, 1 / 1500.0, 1 / 1600.0, 1 / 2000.0, 1 / 2500.0,
    1 / 3000.0, 1 / 3200.0, 1 / 4000.0, 1 / 5000.0, 1 / 6000.0, 1 / 6400.0, 1 / 8000.0};
const double kMarkedFNumbers[] = {1.0, 1.1, 1.2, 1.4, 1.6, 1.7, 1.8, 2.0, 2.2, 2.4, 2.5, 2.8, 3.2, 3.3, 3.5,
                                  4.0, 4.5, 4.8, 5.0, 5.6, 6.3, 6.7, 7.1, 8.0, 9.0, 9.5, 10, 11, 13, 14,
                                  16, 18, 19, 20, 22, 25, 27, 29, 32};

const double kLongestSeconds = 3600;

template <size_t N>
double nearestMarked(const double (&marked)[N], double exact)
{
    double best = marked[0];
    for (double value : marked) {
        if (std::abs(std::log2(value / exact)) < std::abs(std::log2(best / exact)))
            best = value;
    }
    return best;
}

// Grey card, colour temperature and the like are another light source.
template <size_t N>
Shot::LightSource lightOf(const PresetLight (&presets)[N], int code)
{
    if (code >= 0 && code < int(sizeof kFirstPresets / sizeof kFirstPresets[0]))
        return kFirstPresets[code];
    for (const PresetLight& preset : presets) {
        if (preset.code == code)
            return preset.light;
    }
    return Shot::kLightOther;
}

template <size_t N>
int isoOfIndex(const int (&table)[N], int index)
{
    return index > 0 && index < int(N) ? table[index] : 0;
}

} // namespace

BRX_Commu_VirtualCameraShotSettings::BRX_Commu_VirtualCameraShotSettings(int productId, const QByteArray& block,
                                                                 const PropertyValue& property)
    : m_productId(productId)
    , m_struct(BRX_Commu_ProductFamily::hasSettingsBlock(productId))
    , m_structM(BRX_Commu_ProductFamily::of(productId) == BRX_Commu_ProductFamily::kStructM)
    , m_block(block)
    , m_property(property)
{
}

int BRX_Commu_VirtualCameraShotSettings::blockValue(int offset, int width) const
{
    BRX_Commu_ByteReader reader(m_block.constData(), quint32(m_block.size()));
    return reader.readIntAt(quint32(offset), quint32(width), width == 2);
}

int BRX_Commu_VirtualCameraShotSettings::blockByte(int offset) const
{
    return blockValue(offset, 1);
}

int BRX_Commu_VirtualCameraShotSettings::fileFormat() const
{
    return m_struct ? blockByte(kBlockFileFormat) : int(m_property(kPropFileFormat));
}

// The M products have no mirror-up mode.
bool BRX_Commu_VirtualCameraShotSettings::isMirrorUpOn() const
{
    if (m_structM)
        return false;
    return (m_struct ? blockByte(kBlockMirrorUp) : m_property(kPropMirrorUp)) != 0;
}

bool BRX_Commu_VirtualCameraShotSettings::isBulb() const
{
    return exposureModeCode() == kBulbMode;
}

// The M layout numbers its modes 0, 1 and 3 for the host's 0, 2 and 4.
int BRX_Commu_VirtualCameraShotSettings::exposureModeCode() const
{
    if (!m_struct)
        return int(m_property(kPropExposureMode));
    const int code = blockByte(kBlockExposureMode);
    if (!m_structM)
        return code;
    return code == 1 ? 2 : code == 3 ? 4 : 0;
}

int BRX_Commu_VirtualCameraShotSettings::iso() const
{
    if (m_structM)
        return blockValue(kBlockIso, 2) ? blockValue(kBlockIso, 2) & 0xFFFF : kAutomaticIso;
    if (!m_struct)
        return int(m_property(kPropSensitivity) ? m_property(kPropSensitivity) : m_property(kPropIsoInUse));
    const int index = blockByte(kBlockSensitivityIndex);
    const int chosen = m_productId == 0x2009 ? isoOfIndex(kIsoTable2009, index) : isoOfIndex(kIsoTable2011, index);
    return chosen ? chosen : blockValue(kBlockIso, 2) & 0xFFFF;
}

// Half steps around index 6, or thirds around index 9 in the M layout.
int BRX_Commu_VirtualCameraShotSettings::compensation() const
{
    if (!m_struct)
        return int(qint16(m_property(kPropCompensation)));
    const int index = blockByte(kBlockCompensation);
    return m_structM ? (index * 1000 + 1) / 3 - 3000 : (index - 6) * 500;
}

// 0 where the camera sets no aperture.
double BRX_Commu_VirtualCameraShotSettings::fNumber() const
{
    if (m_structM)
        return 0;
    return nominalFNumber(m_struct ? blockValue(kBlockAperture, 2) : int(m_property(kPropAperture)));
}

void BRX_Commu_VirtualCameraShotSettings::describeExposure(BRX_Commu_VirtualCameraShot* shot) const
{
    const int shutterCode = m_struct ? blockValue(kBlockShutter, 2) : int(m_property(kPropShutter));
    shot->exposureSeconds = nominalSeconds(shutterCode);
    const double aperture = fNumber();
    shot->fNumber = aperture > 0 ? aperture : shot->maxApertureFNumber;
    shot->iso = iso();
    shot->compensationMilliEv = compensation();
    const int mode = exposureModeCode();
    shot->program = mode >= 0 && mode < int(sizeof kPrograms / sizeof kPrograms[0]) ? kPrograms[mode]
                                                                                       : Shot::kProgramNormal;
    shot->bracketing = (m_struct ? blockByte(kBlockBracketing) : m_property(kPropBracketing)) != 0;
    const int metering = m_struct ? blockByte(kBlockMetering) : int(m_property(kPropMetering));
    shot->metering = metering >= 0 && metering < 3 ? kMeterings[metering] : Shot::kMeteringMultiSegment;
    const int whiteBalance = m_struct ? blockByte(kBlockWhiteBalance) : int(m_property(kPropWhiteBalance));
    shot->autoWhiteBalance = whiteBalance == 0;
    shot->lightSource = m_struct ? lightOf(kStructPresets, whiteBalance) : lightOf(kPropertyPresets, whiteBalance);
}

void BRX_Commu_VirtualCameraShotSettings::describeCamera(int productId, const QString& serialNumber,
                                                         BRX_Commu_VirtualCameraShot* shot)
{
    shot->make = BRX_Commu_VirtualCameraProfile::manufacturer();
    shot->model = BRX_Commu_VirtualCameraProfile::model(productId);
    shot->serialNumber = serialNumber;
    shot->firmware = BRX_Commu_VirtualCameraProfile::firmwareVersion();
}

// The lens dataset: its name at 1 (60 characters, blank-padded), serial
// number at 62, widest aperture code at 68, shortest focal length at 73.
void BRX_Commu_VirtualCameraShotSettings::describeLens(const QByteArray& lensData, BRX_Commu_VirtualCameraShot* shot)
{
    BRX_Commu_ByteReader reader(lensData.constData(), quint32(lensData.size()));
    shot->lensModel = QString::fromLatin1(lensData.mid(1, 60)).trimmed();
    shot->lensSerialNumber = QString::number(reader.readU32At(62));
    shot->maxApertureFNumber = nominalFNumber(reader.readU16At(68));
    shot->focalLengthMm = reader.readU16At(73);
}

// Long exposures past the longest marked speed keep their whole seconds, up
// to an hour.
double BRX_Commu_VirtualCameraShotSettings::nominalSeconds(int shutterCode)
{
    const double exact = std::min(std::exp2(-shutterCode / 256.0), kLongestSeconds);
    return exact > kMarkedSeconds[0] ? std::round(exact) : nearestMarked(kMarkedSeconds, exact);
}

// The aperture value Av is two stops per doubling of the f-number.
double BRX_Commu_VirtualCameraShotSettings::nominalFNumber(int apertureCode)
{
    return nearestMarked(kMarkedFNumbers, std::exp2(apertureCode / 512.0));
}
