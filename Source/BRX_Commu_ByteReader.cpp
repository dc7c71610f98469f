#include "BRX_Commu_ByteReader.h"

#include <cstring>

BRX_Commu_ByteReader::BRX_Commu_ByteReader(const void* data, quint32 size)
    : m_data(static_cast<const quint8*>(data)), m_size(data ? size : 0)
{
}

bool BRX_Commu_ByteReader::fits(quint64 offset, quint64 count)
{
    if (offset <= m_size && count <= m_size - offset)
        return true;
    m_ok = false;
    return false;
}

quint64 BRX_Commu_ByteReader::readLittleEndian(quint32 offset, quint32 width)
{
    if (!fits(offset, width))
        return 0;
    quint64 value = 0;
    for (quint32 i = width; i > 0; --i)
        value = (value << 8) | m_data[offset + i - 1];
    return value;
}

quint8 BRX_Commu_ByteReader::readU8At(quint32 offset)
{
    return quint8(readLittleEndian(offset, 1));
}

quint16 BRX_Commu_ByteReader::readU16At(quint32 offset)
{
    return quint16(readLittleEndian(offset, 2));
}

quint32 BRX_Commu_ByteReader::readU32At(quint32 offset)
{
    return quint32(readLittleEndian(offset, 4));
}

quint64 BRX_Commu_ByteReader::readU64At(quint32 offset)
{
    return readLittleEndian(offset, 8);
}

float BRX_Commu_ByteReader::readF32At(quint32 offset)
{
    const quint32 bits = readU32At(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double BRX_Commu_ByteReader::readF64At(quint32 offset)
{
    const quint64 bits = readU64At(offset);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

qint32 BRX_Commu_ByteReader::readIntAt(quint32 offset, quint32 width, bool isSigned)
{
    const quint64 raw = readLittleEndian(offset, width);
    switch (width) {
    case 1:
        return isSigned ? qint32(qint8(raw)) : qint32(raw);
    case 2:
        return isSigned ? qint32(qint16(raw)) : qint32(raw);
    default:
        return qint32(quint32(raw));
    }
}

quint64 BRX_Commu_ByteReader::readAndAdvance(quint32 width)
{
    const quint64 value = readLittleEndian(m_position, width);
    if (m_ok)
        m_position += width;
    return value;
}

quint8 BRX_Commu_ByteReader::readU8()
{
    return quint8(readAndAdvance(1));
}

quint16 BRX_Commu_ByteReader::readU16()
{
    return quint16(readAndAdvance(2));
}

quint32 BRX_Commu_ByteReader::readU32()
{
    return quint32(readAndAdvance(4));
}

QString BRX_Commu_ByteReader::readPtpString()
{
    const quint8 count = readU8();
    if (!hasRemaining(quint64(count) * 2)) {
        m_ok = false;
        return QString();
    }
    QString text;
    for (quint8 i = 0; i < count; ++i) {
        const quint16 unit = readU16();
        if (unit == 0) {
            skip(quint64(count - i - 1) * 2);
            break;
        }
        text.append(QChar(unit));
    }
    return text;
}

bool BRX_Commu_ByteReader::skip(quint64 count)
{
    if (!fits(m_position, count))
        return false;
    m_position += quint32(count);
    return true;
}

bool BRX_Commu_ByteReader::hasRemaining(quint64 count) const
{
    return m_ok && count <= quint64(m_size - m_position);
}
