#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Commu_ByteWriter.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

typedef BRX_Commu_VirtualCameraProperty Property;
typedef QVector<qint64> Values;

const int kProducts[] = {0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051, 0x2061};

const quint16 kCommonOperations[] = {
    0x1001, 0x1002, 0x1003, 0x1004, 0x1005, 0x1007, 0x1008, 0x1009, 0x100A, 0x100B, 0x100E, 0x101B,
    0x9003, 0x9004, 0x9005, 0x9006, 0x9007, 0x9008, 0x9016, 0x9019, 0x901A, 0x901B, 0x901C, 0x901D,
    0x901E, 0x9020, 0x9021, 0x9022, 0x9023};
const quint16 kStructOperations[] = {0x9001, 0x9002};
const quint16 kPropertyOperations[] = {0x1014, 0x1015, 0x1016};
const quint16 kObjectPropertyOperations[] = {0x9801, 0x9803};
const quint16 kLiveViewOperations[] = {0x1024, 0x9025};
const quint16 kCommonEvents[] = {0x4002, 0x4003, 0x4004, 0x4005, 0x4009, 0x400C, 0x400D, 0xC000, 0xC002,
                                 0xC006, 0xC007, 0xC008, 0xC00C};
const quint16 kPropertyEvents[] = {0xC00A};

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
        Property::enumeration(0x500F, Property::kUInt32, 400, sensitivityValues(productId)),
        Property::enumeration(0x5013, Property::kUInt16, 0, captureModeValues(productId)),
        Property::enumeration(0xD000, Property::kUInt32, 10, {1, 2, 5, 10, 50, 100, 500, 1000, 2500, 5000, 9999}),
        Property::enumeration(0xD001, Property::kUInt32, 5, intervalTimeValues(productId)),
        // Focus modes 0 single, 1 continuous autofocus, 2 manual.
        Property::enumeration(0x500A, Property::kUInt16, 2, upTo(2)),
        Property::enumeration(0xD004, Property::kUInt32, 1, {0, 1, 3}),
        Property::enumeration(0x500B, Property::kUInt16, 2, lowStandardHigh),
        // The exposure modes the camera model accepts; 4 is bulb.
        Property::enumeration(0x500E, Property::kUInt16, 2, upTo(5)),
        Property::enumeration(0x5010, Property::kInt16, 0, compensationValues(productId)),
        Property::enumeration(0xD040, Property::kUInt32, 500, {333, 500}),
        Property::enumeration(0xD005, Property::kUInt32, 0, onOff),
        Property::enumeration(0xD006, Property::kUInt32, 3, {3, 5}),
        Property::enumeration(0xD007, Property::kUInt32, 1000, bracketingStepValues(productId)),
        Property::enumeration(0xD008, Property::kUInt32, 1, onOff),
        Property::enumeration(0xD00A, Property::kUInt32, 0, onOff),
        Property::enumeration(0xD050, Property::kUInt32, 0, onOff),
        Property::enumeration(0xD04F, Property::kUInt32, 0, upTo(5)),
        Property::enumeration(0xD00F, Property::kUInt32, jpgResolutionValues(productId).first(),
                              jpgResolutionValues(productId)),
        Property::enumeration(0xD03F, Property::kUInt32, 0, onOff),
        Property::enumeration(0xD125, Property::kUInt32, 8, videoModeValues(productId)),
        Property::range(0xD082, Property::kUInt32, 3, 0, 27, 1),
        Property::enumeration(0x5014, Property::kUInt8, 1, lowStandardHigh),
        Property::enumeration(0x5015, Property::kUInt8, 1, lowStandardHigh),
        Property::enumeration(0xD016, Property::kUInt32, 1, lowStandardHigh),
        Property::enumeration(0xD13B, Property::kUInt32, 0, onOff),
        Property::enumeration(0xD012, Property::kUInt32, 0, onOff),
        Property::enumeration(0xD013, Property::kUInt32, 0, onOff),
        Property::range(0xD121, Property::kUInt32, 3, 0, 5, 1),
        Property::range(0xD122, Property::kUInt32, 3, 0, 5, 1),
        Property::range(0xD123, Property::kUInt32, 0, 0, 5, 1),
        Property::enumeration(0xD115, Property::kUInt32, 0, onOff),
        Property::enumeration(0x5005, Property::kUInt16, 0, whiteBalanceValues(productId)),
        Property::enumeration(0xD014, Property::kUInt32, 5000, colorTemperatureValues(productId)),
        Property::enumeration(0xD015, Property::kUInt32, 0, lowStandardHigh),
        Property::enumeration(0xD018, Property::kUInt32, 0, lowStandardHigh),
        Property::enumeration(0xD01A, Property::kInt32, 3, {0, 1, 3, 5, -1}),
        Property::enumeration(0xD024, Property::kUInt32, 1, upTo(3)),
        Property::enumeration(0xD02D, Property::kUInt32, 0, onOff),
        Property::range(0xD036, Property::kUInt32, 0, 0, 10, 1),
        Property::enumeration(0xD04E, Property::kUInt32, 0, onOff),
        Property::enumeration(0xD080, Property::kUInt32, 1, onOff),
        Property::enumeration(0xD079, Property::kUInt32, 0, {0, 8, 12, 16, 24, 32, 45, 60}),
        // Shutter codes from 125 s to 1/8000 s, aperture codes from f/1 to f/22.
        Property::range(0xD03B, Property::kInt32, 0x0767, -1784, 3328, 1),
        Property::range(0xD03C, Property::kInt32, 0x0480, 0, 0x0900, 1),
    };
}

QVector<Property> statusProperties()
{
    return {
        Property::readOnly(0xD616, Property::kUInt32, 1),
        Property::readOnly(0x5001, Property::kUInt8, 80),
        Property::readOnly(0xD608, Property::kUInt32, 0xFF),
        Property::readOnly(0xD625, Property::kInt32, -1784),
        Property::readOnly(0xD626, Property::kUInt32, 2),
        Property::readOnly(0xD627, Property::kInt32, 0),
        Property::readOnly(0xD628, Property::kInt32, 0),
        Property::readOnly(0xD618, Property::kUInt32, 0),
        Property::readOnly(0xD619, Property::kUInt32, 0),
        Property::readOnly(0xD623, Property::kUInt32, 1),
        Property::readOnly(0xD622, Property::kUInt32, 0),
        Property::readOnly(0xD621, Property::kUInt32, 0),
        Property::readOnly(0xD62B, Property::kUInt32, 12723),
        Property::readOnly(0xD06F, Property::kUInt32, 0),
        Property::readOnly(0xD643, Property::kUInt32, 0),
        Property::readOnly(0xD65F, Property::kInt32, 0),
        Property::readOnly(0xD610, Property::kUInt32, 400),
        Property::readOnly(0xD615, Property::kInt32, 0),
        Property::readOnly(0xD60C, Property::kInt32, 0x0767),
        Property::readOnly(0xD60E, Property::kInt32, 0x0480),
    };
}

// Live view: no stream mode until the camera is switched into one; a
// motion-JPEG stream at 25 frames per second.
QVector<Property> liveViewProperties()
{
    return {
        Property::readOnly(0x5020, Property::kUInt32, 0),
        Property::enumeration(0x5021, Property::kUInt32, 0, upTo(1)),
        Property::readOnly(0x5022, Property::kUInt32, 0x47504A4D),
        Property::readOnly(0x5025, Property::kUInt32, 25000),
        Property::readOnly(0xD632, Property::kUInt32, 0),
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

QVector<int> BRX_Commu_VirtualCameraProfile::products()
{
    return QVector<int>(std::begin(kProducts), std::end(kProducts));
}

bool BRX_Commu_VirtualCameraProfile::isSupported(int productId)
{
    return std::find(std::begin(kProducts), std::end(kProducts), productId) != std::end(kProducts);
}

bool BRX_Commu_VirtualCameraProfile::isStructProduct(int productId)
{
    return productId == 0x2009 || productId == 0x2011 || isStructMProduct(productId);
}

bool BRX_Commu_VirtualCameraProfile::isStructMProduct(int productId)
{
    return productId == 0x2021 || productId == 0x2051;
}

bool BRX_Commu_VirtualCameraProfile::hasObjectProperties(int productId)
{
    return productId == 0x2041 || productId == 0x2061;
}

bool BRX_Commu_VirtualCameraProfile::hasLiveView(int productId)
{
    return isSupported(productId) && !isStructProduct(productId);
}

QVector<quint16> BRX_Commu_VirtualCameraProfile::operations(int productId)
{
    QVector<quint16> codes;
    appendCodes(codes, kCommonOperations);
    if (isStructProduct(productId))
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
    if (!isStructProduct(productId))
        appendCodes(codes, kPropertyEvents);
    return codes;
}

QByteArray BRX_Commu_VirtualCameraProfile::deviceInfo(int productId)
{
    QByteArray out;
    BRX_Commu_ByteWriter::appendU16(out, 100); // PTP 1.00
    BRX_Commu_ByteWriter::appendU32(out, 0);
    BRX_Commu_ByteWriter::appendU16(out, 0);
    BRX_Commu_ByteWriter::appendPtpString(out, QString());
    BRX_Commu_ByteWriter::appendU16(out, 0);
    appendArray(out, operations(productId));
    appendArray(out, events(productId));
    appendArray(out, propertyCodes(productId));
    appendArray(out, {});
    appendArray(out, {0x3801, 0x3802, 0x3000});
    BRX_Commu_ByteWriter::appendPtpString(out, QStringLiteral("Virtual Camera Works"));
    BRX_Commu_ByteWriter::appendPtpString(out, model(productId));
    BRX_Commu_ByteWriter::appendPtpString(out, QStringLiteral("1.0.0"));
    BRX_Commu_ByteWriter::appendPtpString(out, QStringLiteral("VC%1").arg(productId, 8, 16, QChar('0')));
    return out;
}

QString BRX_Commu_VirtualCameraProfile::model(int productId)
{
    return QStringLiteral("Virtual Camera 0x%1").arg(productId, 4, 16, QChar('0'));
}

int BRX_Commu_VirtualCameraProfile::productIdOfModel(const QString& text)
{
    for (int productId : kProducts) {
        if (model(productId) == text)
            return productId;
    }
    return 0;
}

QByteArray BRX_Commu_VirtualCameraProfile::settingsBlock(int productId)
{
    QByteArray block(kSettingsBlockSize, '\0');
    if (isStructMProduct(productId)) {
        for (const BlockField& field : kStructMBlock)
            BRX_Commu_ByteWriter::putValue(block, field.offset, field.value, field.width);
    } else if (isStructProduct(productId)) {
        for (const BlockField& field : kStructBlock)
            BRX_Commu_ByteWriter::putValue(block, field.offset, field.value, field.width);
        BRX_Commu_ByteWriter::putValue(block, 0x45, structIsoValue(productId), 2);
    }
    return block;
}

QVector<BRX_Commu_VirtualCameraProperty> BRX_Commu_VirtualCameraProfile::properties(int productId)
{
    if (isStructProduct(productId) || !isSupported(productId))
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
