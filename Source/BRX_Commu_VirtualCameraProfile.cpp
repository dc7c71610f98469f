#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Commu_ByteWriter.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_PtpCodes.h"

#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <cstring>

namespace {

typedef BRX_Commu_VirtualCameraProperty Property;
typedef QVector<qint64> Values;

typedef BRX_Commu_PtpCodes Codes;

// 12-bit samples for the struct products, 14-bit for the others; each
// sample is stored in 16 bits.
struct ProductSensor {
    int productId;
    BRX_Commu_VirtualCameraProfile::Sensor sensor;
};
const ProductSensor kSensors[] = {
    {0x2009, {3936, 2624, 128, 4095, 20}},  {0x2011, {4992, 3328, 128, 4095, 30}},
    {0x2021, {4512, 3008, 128, 4095, 45}},  {0x2031, {6000, 4000, 512, 16383, 90}},
    {0x2041, {6960, 4640, 512, 16383, 150}}, {0x2051, {5472, 3648, 128, 4095, 90}},
    {0x2061, {7200, 4800, 512, 16383, 250}},
};

const quint16 kCommonOperations[] = {
    Codes::kOpGetDeviceInfo,         Codes::kOpOpenSession,           Codes::kOpCloseSession,
    Codes::kOpGetStorageIDs,         Codes::kOpGetStorageInfo,        Codes::kOpGetObjectHandles,
    Codes::kOpGetObjectInfo,         Codes::kOpGetObject,             Codes::kOpGetThumb,
    Codes::kOpDeleteObject,          Codes::kOpInitiateCapture,       Codes::kOpGetPartialObject,
    Codes::kOpGetLensData,           Codes::kOpRelease,               Codes::kOpOpenVQSession,
    Codes::kOpCloseVQSession,        Codes::kOpTransferObjectReady,   Codes::kOpGetGeotackingData,
    Codes::kOpControlAutoFocus,      Codes::kOpControlBulbExposure,   Codes::kOpControlContinuousExposure,
    Codes::kOpControlVideoRecording, Codes::kOpControlPhotoLiveView,  Codes::kOpKeepCameraActive,
    Codes::kOpMoveLens,              Codes::kOpGet3DAxisData,         Codes::kOpToggleZoomMode,
    Codes::kOpSetFocusCrossPosition, Codes::kOpControlLVWhiteBalance};
const quint16 kStructOperations[] = {Codes::kOpSetCameraSettings, Codes::kOpGetCameraSettings};
const quint16 kPropertyOperations[] = {Codes::kOpGetDevicePropDesc, Codes::kOpGetDevicePropValue,
                                       Codes::kOpSetDevicePropValue};
const quint16 kObjectPropertyOperations[] = {Codes::kOpGetObjectPropsSupported, Codes::kOpGetObjectPropValue};
const quint16 kLiveViewOperations[] = {Codes::kOpGetStreamInfo, Codes::kOpGetStreamData};
const quint16 kCommonEvents[] = {
    Codes::kEventObjectAdded,       Codes::kEventObjectRemoved,         Codes::kEventStoreAdded,
    Codes::kEventStoreRemoved,      Codes::kEventRequestObjectTransfer, Codes::kEventStorageInfoChanged,
    Codes::kEventCaptureComplete,   Codes::kVQCameraSettingsChanged,    Codes::kVQLensChanged,
    Codes::kVQBulbTick,             Codes::kVQSelfTimerTick,            Codes::kVQGeoTackingStatusChanged,
    Codes::kVQ3DAxisDataChanged};
const quint16 kPropertyEvents[] = {Codes::kVQDevicePropChanged};

// How fast each product shoots a continuous series.
struct SeriesRate {
    int productId;
    int intervalMs;
};
const SeriesRate kSeriesRates[] = {{0x2009, 333}, {0x2011, 333}, {0x2021, 667}, {0x2051, 667},
                                   {0x2031, 200}, {0x2041, 200}, {0x2061, 100}};
const int kDefaultSeriesIntervalMs = 250;
const int kJpgFirstProduct = 0x2041;

// One settings-block field: offset, width, value.
struct BlockField {
    int offset;
    int width;
    qint64 value;
};

// Plausible power-on settings, codes as the converters of each family know them.
const BlockField kStructBlock[] = {
    {0x02, 1, 1}, {0x03, 1, 2}, {0x04, 1, 6}, {0x06, 1, 1}, {0x07, 1, 1}, {0x0a, 1, 1},
    {0x0f, 1, 1}, {0x10, 2, -1784}, {0x13, 1, 30}, {0x2f, 1, 1}, {0x41, 1, 1}, {0x42, 1, 61},
    {0x43, 1, 0xFF}, {0x47, 1, 3}, {0x48, 2, 0x0480}, {0x4a, 2, 0x0767}, {0x4c, 4, 12723},
    {0x50, 1, 1}, {0x62, 1, 0xFF}, {0x63, 1, 0x01}};
const BlockField kStructMBlock[] = {
    {0x02, 1, 1}, {0x03, 1, 2}, {0x04, 1, 9}, {0x06, 1, 1}, {0x0f, 1, 1}, {0x10, 2, -1784},
    {0x13, 1, 30}, {0x2f, 1, 1}, {0x41, 1, 0}, {0x42, 1, 61}, {0x45, 2, 320}, {0x47, 1, 1},
    {0x4a, 2, 0x0767}, {0x62, 1, 0x3D}, {0x63, 1, 0x00}};

// The ISO value in use (0x45) of the struct products follows their table.
int structIsoValue(int productId)
{
    return productId == 0x2009 ? 80 : 50;
}

Values kelvinSteps()
{
    Values values;
    for (int k = 2000; k <= 5000; k += 100)
        values << k;
    for (int k = 5200; k <= 8000; k += 200)
        values << k;
    for (int k = 8300; k <= 13100; k += 300)
        values << k;
    return values;
}

Values whiteBalanceValues(int productId)
{
    if (productId == 0x2061)
        return {0, 1, 2, 3, 4, 6, 7, 8, 10, 11};
    return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11};
}

Values colorTemperatureValues(int productId)
{
    if (productId == 0x2041)
        return {2000, 2200, 2400, 2700, 3000, 3300, 3600, 3900, 4200, 4600,
                5000, 5500, 6000, 6600, 7200, 8000, 8700, 9500, 10300, 11500};
    return kelvinSteps();
}

Values sensitivityValues(int productId)
{
    if (productId == 0x2041)
        return {0, 50, 100, 200, 400, 800, 1600, 3200, 6400, 12500, 25000, 50000};
    if (productId == 0x2061)
        return {0, 100, 200, 250, 320, 400, 500, 640, 800, 1000, 1250, 1600, 2000, 2500,
                3200, 4000, 5000, 6400, 8000, 10000, 12500, 16000, 20000, 25000, 32000, 40000, 50000};
    return {0, 100, 200, 400, 800, 1600, 3200, 6400, 12500};
}

Values compensationValues(int productId)
{
    if (productId == 0x2061)
        return {-3000, -2667, -2333, -2000, -1667, -1333, -1000, -667, -333, 0,
                333, 667, 1000, 1333, 1667, 2000, 2333, 2667, 3000};
    return {-3000, -2500, -2000, -1500, -1000, -500, 0, 500, 1000, 1500, 2000, 2500, 3000};
}

// StillCaptureMode values the record sends for the drive modes each product offers.
Values captureModeValues(int productId)
{
    if (productId == 0x2041)
        return {0, 2, 3, 4, 5, 6, 7, 8};
    if (productId == 0x2061)
        return {0, 1, 2, 3, 4, 8};
    return {0, 1, 2, 3, 4, 7, 8};
}

Values bracketingStepValues(int productId)
{
    if (productId == 0x2041)
        return {1000, 2000, 3000};
    if (productId == 0x2061)
        return {333, 667, 1000, 2000, 3000};
    return {500, 1000, 2000, 3000};
}

Values intervalTimeValues(int productId)
{
    const qint64 longest = productId == 0x2031 ? 999 : 89999;
    return {1, 2, 3, 4, 5, 10, 15, 20, 25, 30, 45, 60, 90, 120, 600, 900, longest};
}

Values jpgResolutionValues(int productId)
{
    return productId == 0x2031 ? Values{0, 1, 2} : Values{3, 4, 5};
}

Values videoModeValues(int productId)
{
    if (productId == 0x2041)
        return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    return {0, 7, 8, 9};
}

Values upTo(qint64 last)
{
    Values values;
    for (qint64 v = 0; v <= last; ++v)
        values << v;
    return values;
}

QVector<Property> settingProperties(int productId)
{
    const Values onOff = upTo(1);
    const Values lowStandardHigh = upTo(2);
    return {
        Property::enumeration(Codes::kDevicePropExposureIndex, Property::kUInt32, 400, sensitivityValues(productId)),
        Property::enumeration(Codes::kDevicePropStillCaptureMode, Property::kUInt16, 0, captureModeValues(productId)),
        Property::enumeration(Codes::kDevicePropIntervalFrames, Property::kUInt32, 10, {1, 2, 5, 10, 50, 100, 500, 1000, 2500, 5000, 9999}),
        Property::enumeration(Codes::kDevicePropIntervalTime, Property::kUInt32, 5, intervalTimeValues(productId)),
        // Focus modes 0 single, 1 continuous autofocus, 2 manual.
        Property::enumeration(Codes::kDevicePropFocusMode, Property::kUInt16, 2, upTo(2)),
        Property::enumeration(Codes::kDevicePropFileFormat, Property::kUInt32, 1, {0, 1, 3}),
        Property::enumeration(Codes::kDevicePropExposureMeteringMode, Property::kUInt16, 2, lowStandardHigh),
        // The exposure modes the camera model accepts; 4 is bulb.
        Property::enumeration(Codes::kDevicePropExposureProgramMode, Property::kUInt16, 2, upTo(5)),
        Property::enumeration(Codes::kDevicePropExposureBiasCompensation, Property::kInt16, 0, compensationValues(productId)),
        Property::enumeration(Codes::kDevicePropExposCompensStepSize, Property::kUInt32, 500, {333, 500}),
        Property::enumeration(Codes::kDevicePropBracketingEnabled, Property::kUInt32, 0, onOff),
        Property::enumeration(Codes::kDevicePropBracketingFrames, Property::kUInt32, 3, {3, 5}),
        Property::enumeration(Codes::kDevicePropBracketingAperture, Property::kUInt32, 1000, bracketingStepValues(productId)),
        Property::enumeration(Codes::kDevicePropBracketingAutomatic, Property::kUInt32, 1, onOff),
        Property::enumeration(Codes::kDevicePropMirrorUpMode, Property::kUInt32, 0, onOff),
        Property::enumeration(Codes::kDevicePropSensorFormat, Property::kUInt32, 0, onOff),
        Property::enumeration(Codes::kDevicePropPhotoAspectRatio, Property::kUInt32, 0, upTo(5)),
        Property::enumeration(Codes::kDevicePropPhotoResolutionJPG, Property::kUInt32, jpgResolutionValues(productId).first(),
                              jpgResolutionValues(productId)),
        Property::enumeration(Codes::kDevicePropVideoFileFormat, Property::kUInt32, 0, onOff),
        Property::enumeration(Codes::kDevicePropVideoResAndFrRate, Property::kUInt32, 8, videoModeValues(productId)),
        Property::range(Codes::kDevicePropVideoFormatResol, Property::kUInt32, 3, 0, 27, 1),
        Property::enumeration(Codes::kDevicePropContrast, Property::kUInt8, 1, lowStandardHigh),
        Property::enumeration(Codes::kDevicePropSharpness, Property::kUInt8, 1, lowStandardHigh),
        Property::enumeration(Codes::kDevicePropSaturation, Property::kUInt32, 1, lowStandardHigh),
        Property::enumeration(Codes::kDevicePropMonochrome, Property::kUInt32, 0, onOff),
        Property::enumeration(Codes::kDevicePropAudioLevel, Property::kUInt32, 0, onOff),
        Property::enumeration(Codes::kDevicePropAudioWindElim, Property::kUInt32, 0, onOff),
        Property::range(Codes::kDevicePropAudioVolSpeaker, Property::kUInt32, 3, 0, 5, 1),
        Property::range(Codes::kDevicePropAudioVolHeadphone, Property::kUInt32, 3, 0, 5, 1),
        Property::range(Codes::kDevicePropAudioVolMicrophone, Property::kUInt32, 0, 0, 5, 1),
        Property::enumeration(Codes::kDevicePropExposureSimulation, Property::kUInt32, 0, onOff),
        Property::enumeration(Codes::kDevicePropWhiteBalance, Property::kUInt16, 0, whiteBalanceValues(productId)),
        Property::enumeration(Codes::kDevicePropWhiteBalanceColorTemp, Property::kUInt32, 5000, colorTemperatureValues(productId)),
        Property::enumeration(Codes::kDevicePropColorManagement, Property::kUInt32, 0, lowStandardHigh),
        Property::enumeration(Codes::kDevicePropExternalShooting, Property::kUInt32, 0, lowStandardHigh),
        Property::enumeration(Codes::kDevicePropAutoreviewDuration, Property::kInt32, 3, {0, 1, 3, 5, -1}),
        Property::enumeration(Codes::kDevicePropAutoPowerOff, Property::kUInt32, 1, upTo(3)),
        Property::enumeration(Codes::kDevicePropKeyLock, Property::kUInt32, 0, onOff),
        Property::range(Codes::kDevicePropLanguage, Property::kUInt32, 0, 0, 10, 1),
        Property::enumeration(Codes::kDevicePropAutoFocusLimit, Property::kUInt32, 0, onOff),
        Property::enumeration(Codes::kDevicePropElectronicShutter, Property::kUInt32, 1, onOff),
        Property::enumeration(Codes::kDevicePropExposTimeBulbPreset, Property::kUInt32, 0, {0, 8, 12, 16, 24, 32, 45, 60}),
        // Shutter codes from 125 s to 1/8000 s, aperture codes from f/1 to f/22.
        Property::range(Codes::kDevicePropExposureTimeWrite, Property::kInt32, 0x0767, -1784, 3328, 1),
        Property::range(Codes::kDevicePropApertureWrite, Property::kInt32, 0x0480, 0, 0x0900, 1),
    };
}

QVector<Property> statusProperties()
{
    return {
        Property::readOnly(Codes::kDevicePropBatteryInfo, Property::kUInt32, 1),
        Property::readOnly(Codes::kDevicePropBatteryLevel, Property::kUInt8, 80),
        Property::readOnly(Codes::kDevicePropBatteryLevelExtern, Property::kUInt32, 0xFF),
        Property::readOnly(Codes::kDevicePropExposureTimeMax, Property::kInt32, -1784),
        Property::readOnly(Codes::kDevicePropPowerSwitch, Property::kUInt32, 2),
        Property::readOnly(Codes::kDevicePropSelfTimerRestTime, Property::kInt32, 0),
        Property::readOnly(Codes::kDevicePropBulbModeTime, Property::kInt32, 0),
        Property::readOnly(Codes::kDevicePropFlashStatus, Property::kUInt32, 0),
        Property::readOnly(Codes::kDevicePropFlashSyncStatus, Property::kUInt32, 0),
        Property::readOnly(Codes::kDevicePropFocusConfirmEnabled, Property::kUInt32, 1),
        Property::readOnly(Codes::kDevicePropFocusConfirmBadSignal, Property::kUInt32, 0),
        Property::readOnly(Codes::kDevicePropFocusConfirmValue, Property::kUInt32, 0),
        Property::readOnly(Codes::kDevicePropFocusDistance, Property::kUInt32, 12723),
        Property::readOnly(Codes::kDevicePropAutoFocusLimitDist, Property::kUInt32, 0),
        Property::readOnly(Codes::kDevicePropLensConnectionType, Property::kUInt32, 0),
        Property::readOnly(Codes::kDevicePropOrientation, Property::kInt32, 0),
        Property::readOnly(Codes::kDevicePropSensitivityASA, Property::kUInt32, 400),
        Property::readOnly(Codes::kDevicePropLightmeter, Property::kInt32, 0),
        Property::readOnly(Codes::kDevicePropExposureTime, Property::kInt32, 0x0767),
        Property::readOnly(Codes::kDevicePropAperture, Property::kInt32, 0x0480),
    };
}

// Live view: no stream mode until the camera is switched into one; a
// motion-JPEG stream at 25 frames per second.
QVector<Property> liveViewProperties()
{
    return {
        Property::readOnly(Codes::kDevicePropSupportedStreams, Property::kUInt32, 0),
        Property::enumeration(Codes::kDevicePropEnabledStreams, Property::kUInt32, 0, upTo(1)),
        Property::readOnly(Codes::kDevicePropStreamVideoFormat, Property::kUInt32, 0x47504A4D),
        Property::readOnly(Codes::kDevicePropStreamVideoFrameRate, Property::kUInt32, 25000),
        Property::readOnly(Codes::kDevicePropStreamVideoResolution, Property::kUInt32, 0),
    };
}

template <typename T, size_t N>
void appendCodes(QVector<quint16>& out, const T (&codes)[N])
{
    for (quint16 code : codes)
        out << code;
}

void appendArray(QByteArray& out, const QVector<quint16>& codes)
{
    BRX_Commu_ByteWriter::appendU32(out, quint32(codes.size()));
    for (quint16 code : codes)
        BRX_Commu_ByteWriter::appendU16(out, code);
}

QVector<quint16> propertyCodes(int productId)
{
    QVector<quint16> codes;
    for (const Property& property : BRX_Commu_VirtualCameraProfile::properties(productId))
        codes << property.code();
    return codes;
}

} // namespace

bool BRX_Commu_VirtualCameraProfile::isSupported(int productId)
{
    return BRX_Commu_ProductFamily::knownProducts().contains(productId);
}

bool BRX_Commu_VirtualCameraProfile::hasObjectProperties(int productId)
{
    return productId == 0x2041 || productId == 0x2061;
}

bool BRX_Commu_VirtualCameraProfile::hasLiveView(int productId)
{
    return isSupported(productId) && !BRX_Commu_ProductFamily::hasSettingsBlock(productId);
}

int BRX_Commu_VirtualCameraProfile::seriesIntervalMs(int productId)
{
    for (const SeriesRate& rate : kSeriesRates) {
        if (rate.productId == productId)
            return rate.intervalMs;
    }
    return kDefaultSeriesIntervalMs;
}

bool BRX_Commu_VirtualCameraProfile::writesJpgFirst(int productId)
{
    return productId == kJpgFirstProduct;
}

QVector<quint16> BRX_Commu_VirtualCameraProfile::operations(int productId)
{
    QVector<quint16> codes;
    appendCodes(codes, kCommonOperations);
    if (BRX_Commu_ProductFamily::hasSettingsBlock(productId))
        appendCodes(codes, kStructOperations);
    else
        appendCodes(codes, kPropertyOperations);
    if (hasObjectProperties(productId))
        appendCodes(codes, kObjectPropertyOperations);
    if (hasLiveView(productId))
        appendCodes(codes, kLiveViewOperations);
    return codes;
}

QVector<quint16> BRX_Commu_VirtualCameraProfile::events(int productId)
{
    QVector<quint16> codes;
    appendCodes(codes, kCommonEvents);
    if (!BRX_Commu_ProductFamily::hasSettingsBlock(productId))
        appendCodes(codes, kPropertyEvents);
    return codes;
}

QByteArray BRX_Commu_VirtualCameraProfile::deviceInfo(int productId, const QString& serialNumber,
                                                     const QVector<quint16>& withdrawn)
{
    QVector<quint16> offered = operations(productId);
    offered.erase(std::remove_if(offered.begin(), offered.end(),
                                 [&withdrawn](quint16 code) { return withdrawn.contains(code); }),
                  offered.end());
    QByteArray out;
    BRX_Commu_ByteWriter::appendU16(out, 100); // PTP 1.00
    BRX_Commu_ByteWriter::appendU32(out, 0);
    BRX_Commu_ByteWriter::appendU16(out, 0);
    BRX_Commu_ByteWriter::appendPtpString(out, QString());
    BRX_Commu_ByteWriter::appendU16(out, 0);
    appendArray(out, offered);
    appendArray(out, events(productId));
    appendArray(out, propertyCodes(productId));
    appendArray(out, {});
    appendArray(out, {Codes::kFormatJpg, Codes::kFormatDng, Codes::kFormatUndefined});
    BRX_Commu_ByteWriter::appendPtpString(out, manufacturer());
    BRX_Commu_ByteWriter::appendPtpString(out, model(productId));
    BRX_Commu_ByteWriter::appendPtpString(out, firmwareVersion());
    BRX_Commu_ByteWriter::appendPtpString(out, serialNumber.isEmpty() ? BRX_Commu_VirtualCameraProfile::serialNumber(productId) : serialNumber);
    return out;
}

QString BRX_Commu_VirtualCameraProfile::manufacturer()
{
    return QStringLiteral("Virtual Camera Works");
}

QString BRX_Commu_VirtualCameraProfile::serialNumber(int productId)
{
    return QStringLiteral("VC%1").arg(productId, 8, 16, QChar('0'));
}

bool BRX_Commu_VirtualCameraProfile::isSerialNumber(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,31}$"));
    return form.match(text).hasMatch();
}

QString BRX_Commu_VirtualCameraProfile::firmwareVersion()
{
    return QStringLiteral("1.0.0");
}

BRX_Commu_VirtualCameraProfile::Sensor BRX_Commu_VirtualCameraProfile::sensor(int productId)
{
    for (const ProductSensor& entry : kSensors) {
        if (entry.productId == productId)
            return entry.sensor;
    }
    return kSensors[3].sensor;
}

QString BRX_Commu_VirtualCameraProfile::model(int productId)
{
    return QStringLiteral("Virtual Camera 0x%1").arg(productId, 4, 16, QChar('0'));
}

int BRX_Commu_VirtualCameraProfile::productIdOfModel(const QString& text)
{
    for (int productId : BRX_Commu_ProductFamily::knownProducts()) {
        if (model(productId) == text)
            return productId;
    }
    return 0;
}

QByteArray BRX_Commu_VirtualCameraProfile::settingsBlock(int productId)
{
    QByteArray block(kSettingsBlockSize, '\0');
    switch (BRX_Commu_ProductFamily::of(productId)) {
    case BRX_Commu_ProductFamily::kStructM:
        for (const BlockField& field : kStructMBlock)
            BRX_Commu_ByteWriter::putValue(block, field.offset, field.value, field.width);
        break;
    case BRX_Commu_ProductFamily::kStruct:
        for (const BlockField& field : kStructBlock)
            BRX_Commu_ByteWriter::putValue(block, field.offset, field.value, field.width);
        BRX_Commu_ByteWriter::putValue(block, 0x45, structIsoValue(productId), 2);
        break;
    case BRX_Commu_ProductFamily::kDeviceProperties:
        break;
    }
    return block;
}

QVector<BRX_Commu_VirtualCameraProperty> BRX_Commu_VirtualCameraProfile::properties(int productId)
{
    if (BRX_Commu_ProductFamily::hasSettingsBlock(productId) || !isSupported(productId))
        return {};
    return statusProperties() + settingProperties(productId) + liveViewProperties();
}

QByteArray BRX_Commu_VirtualCameraProfile::lensData()
{
    QByteArray lens(kLensDataSize, '\0');
    lens[0] = 1;
    const QByteArray name = QByteArray("Virtual Lens 50").leftJustified(60, ' ');
    std::memcpy(lens.data() + 1, name.constData(), 60);
    const BlockField fields[] = {{61, 1, 7},   {62, 4, 4242}, {66, 1, 0x10}, {67, 1, 0x01},
                                 {68, 2, 0x0200}, {70, 2, 0x0800}, {72, 1, 3}, {73, 2, 50},
                                 {75, 2, 50}, {77, 4, 450}, {81, 4, 0x7FFFFFFF}};
    for (const BlockField& field : fields)
        BRX_Commu_ByteWriter::putValue(lens, field.offset, field.value, field.width);
    return lens;
}

// Products 0x2031 and 0x2041 send doubles, the others floats; the data
// stays zero (level, 0 degrees), which is plausible for a camera on a table.
QByteArray BRX_Commu_VirtualCameraProfile::axisData(int productId)
{
    const bool longLayout = productId == 0x2031 || productId == 0x2041;
    return QByteArray(longLayout ? 213 : 193, '\0');
}

QByteArray BRX_Commu_VirtualCameraProfile::geotaggingData()
{
    return QByteArray(kGeotaggingDataSize, '\0');
}
