#include "BRX_Commu_VirtualCameraProperty.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_ByteWriter.h"

BRX_Commu_VirtualCameraProperty BRX_Commu_VirtualCameraProperty::range(quint16 code, DataType type, qint64 value,
                                                                       qint64 minimum, qint64 maximum,
                                                                       qint64 step)
{
    BRX_Commu_VirtualCameraProperty property = readOnly(code, type, value);
    property.m_writable = true;
    property.m_form = kRange;
    property.m_minimum = minimum;
    property.m_maximum = maximum;
    property.m_step = step;
    return property;
}

BRX_Commu_VirtualCameraProperty BRX_Commu_VirtualCameraProperty::enumeration(quint16 code, DataType type,
                                                                             qint64 value,
                                                                             const QVector<qint64>& values)
{
    BRX_Commu_VirtualCameraProperty property = readOnly(code, type, value);
    property.m_writable = true;
    property.m_form = kEnumeration;
    property.m_values = values;
    return property;
}

BRX_Commu_VirtualCameraProperty BRX_Commu_VirtualCameraProperty::readOnly(quint16 code, DataType type,
                                                                          qint64 value)
{
    BRX_Commu_VirtualCameraProperty property;
    property.m_code = code;
    property.m_type = type;
    property.m_default = value;
    property.m_value = value;
    return property;
}

int BRX_Commu_VirtualCameraProperty::width() const
{
    return m_type <= kUInt8 ? 1 : m_type <= kUInt16 ? 2 : 4;
}

bool BRX_Commu_VirtualCameraProperty::isSigned() const
{
    return m_type == kInt8 || m_type == kInt16 || m_type == kInt32;
}

QByteArray BRX_Commu_VirtualCameraProperty::descriptor() const
{
    QByteArray out;
    BRX_Commu_ByteWriter::appendU16(out, m_code);
    BRX_Commu_ByteWriter::appendU16(out, m_type);
    BRX_Commu_ByteWriter::appendU8(out, m_writable ? 1 : 0);
    BRX_Commu_ByteWriter::appendValue(out, m_default, width());
    BRX_Commu_ByteWriter::appendValue(out, m_value, width());
    BRX_Commu_ByteWriter::appendU8(out, m_form);
    if (m_form == kRange) {
        for (qint64 field : {m_minimum, m_maximum, m_step})
            BRX_Commu_ByteWriter::appendValue(out, field, width());
    } else if (m_form == kEnumeration) {
        BRX_Commu_ByteWriter::appendU16(out, quint16(m_values.size()));
        for (qint64 value : m_values)
            BRX_Commu_ByteWriter::appendValue(out, value, width());
    }
    return out;
}

QByteArray BRX_Commu_VirtualCameraProperty::valueBytes() const
{
    QByteArray out;
    BRX_Commu_ByteWriter::appendValue(out, m_value, width());
    return out;
}

bool BRX_Commu_VirtualCameraProperty::decode(const QByteArray& data, qint64* value) const
{
    if (data.size() != width())
        return false;
    BRX_Commu_ByteReader reader(data.constData(), quint32(data.size()));
    *value = reader.readIntAt(0, quint32(width()), isSigned());
    if (m_type == kUInt32)
        *value = quint32(*value);
    return true;
}

bool BRX_Commu_VirtualCameraProperty::accepts(qint64 value) const
{
    if (m_form == kRange)
        return value >= m_minimum && value <= m_maximum && m_step > 0 && (value - m_minimum) % m_step == 0;
    return m_form == kEnumeration && m_values.contains(value);
}
