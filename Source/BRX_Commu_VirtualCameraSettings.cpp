#include "BRX_Commu_VirtualCameraSettings.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_VirtualCameraProfile.h"

#include <QList>

namespace {

typedef BRX_Commu_VirtualCameraSettings Settings;

// Writes go to the write code; the camera keeps the value under the read code
// and reports the change under a code of its own.
struct WriteAlias {
    quint16 writeCode;
    quint16 readCode;
    quint16 reportedCode;
};
const WriteAlias kWriteAliases[] = {
    {Settings::kDevicePropExposureTimeWrite, Settings::kDevicePropExposureTime,
     Settings::kDevicePropExposureTimeChanged},
    {Settings::kDevicePropApertureWrite, Settings::kDevicePropAperture, Settings::kDevicePropApertureChanged},
};

} // namespace

BRX_Commu_VirtualCameraSettings::BRX_Commu_VirtualCameraSettings(int productId)
    : m_productId(productId)
    , m_block(BRX_Commu_VirtualCameraProfile::settingsBlock(productId))
    , m_properties(BRX_Commu_VirtualCameraProfile::properties(productId))
{
}

BRX_Commu_VirtualCameraProperty* BRX_Commu_VirtualCameraSettings::find(quint32 code)
{
    for (BRX_Commu_VirtualCameraProperty& property : m_properties) {
        if (property.code() == code)
            return &property;
    }
    return nullptr;
}

const BRX_Commu_VirtualCameraProperty* BRX_Commu_VirtualCameraSettings::find(quint32 code) const
{
    return const_cast<BRX_Commu_VirtualCameraSettings*>(this)->find(code);
}

quint16 BRX_Commu_VirtualCameraSettings::read(quint32 code, bool descriptor, QByteArray* dataIn) const
{
    const BRX_Commu_VirtualCameraProperty* property = find(code);
    if (!property)
        return kResponseDevicePropNotSupported;
    *dataIn = descriptor ? property->descriptor() : property->valueBytes();
    return kResponseOK;
}

quint16 BRX_Commu_VirtualCameraSettings::write(quint32 code, const QByteArray& data, quint16* reported)
{
    BRX_Commu_VirtualCameraProperty* property = find(code);
    qint64 value = 0;
    if (!property)
        return kResponseDevicePropNotSupported;
    if (!property->isWritable())
        return kResponseAccessDenied;
    if (!property->decode(data, &value))
        return kResponseInvalidDevicePropFormat;
    if (!property->accepts(value))
        return kResponseInvalidDevicePropValue;
    set(*property, value);
    *reported = reportedCode(property->code());
    return kResponseOK;
}

// An ISO value set through the exposure index is the one the camera shows;
// in automatic (index 0) it goes on showing the one it chose. A value
// written under a code of its own is read under another.
void BRX_Commu_VirtualCameraSettings::set(BRX_Commu_VirtualCameraProperty& property, qint64 value)
{
    property.setValue(value);
    BRX_Commu_VirtualCameraProperty* shown = nullptr;
    if (property.code() == kDevicePropExposureIndex && value != 0)
        shown = find(kDevicePropSensitivityASA);
    for (const WriteAlias& alias : kWriteAliases) {
        if (alias.writeCode == property.code())
            shown = find(alias.readCode);
    }
    if (shown)
        shown->setValue(value);
}

quint16 BRX_Commu_VirtualCameraSettings::reportedCode(quint16 code)
{
    for (const WriteAlias& alias : kWriteAliases) {
        if (alias.writeCode == code)
            return alias.reportedCode;
    }
    return code;
}

// The streams a host switched on are no setting of the camera's.
bool BRX_Commu_VirtualCameraSettings::isKept(const BRX_Commu_VirtualCameraProperty& property) const
{
    return property.isWritable() && property.code() != kDevicePropEnabledStreams;
}

QByteArray BRX_Commu_VirtualCameraSettings::state() const
{
    QByteArray state;
    if (BRX_Commu_ProductFamily::hasSettingsBlock(m_productId))
        state += "block " + m_block.toHex() + '\n';
    for (const BRX_Commu_VirtualCameraProperty& property : m_properties) {
        if (isKept(property))
            state += QByteArray::number(property.code(), 16) + ' ' + QByteArray::number(property.value()) + '\n';
    }
    return state;
}

// The state comes from a file a user may have edited: every value is
// checked as a host's write would be.
void BRX_Commu_VirtualCameraSettings::restore(const QByteArray& state)
{
    for (const QByteArray& line : state.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() != 2)
            continue;
        const QByteArray block = QByteArray::fromHex(words.at(1));
        if (words.at(0) == "block" && block.size() == m_block.size()
            && BRX_Commu_ProductFamily::hasSettingsBlock(m_productId)) {
            m_block = block;
            continue;
        }
        bool codeOk = false;
        bool valueOk = false;
        const uint code = words.at(0).toUInt(&codeOk, 16);
        const qint64 value = words.at(1).toLongLong(&valueOk);
        BRX_Commu_VirtualCameraProperty* property = codeOk && valueOk ? find(code) : nullptr;
        if (property && isKept(*property) && property->accepts(value))
            set(*property, value);
    }
}
