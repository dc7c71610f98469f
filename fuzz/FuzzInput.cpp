#include "FuzzInput.h"

#include <algorithm>

FuzzInput::FuzzInput(const uint8_t* data, size_t size)
    : m_data(data)
    , m_size(size)
{
}

quint8 FuzzInput::u8()
{
    return atEnd() ? 0 : m_data[m_position++];
}

quint16 FuzzInput::u16()
{
    const quint16 low = u8();
    return quint16(low | u8() << 8);
}

quint32 FuzzInput::u32()
{
    const quint32 low = u16();
    return low | quint32(u16()) << 16;
}

QByteArray FuzzInput::bytes(size_t count)
{
    const size_t taken = std::min(count, m_size - std::min(m_position, m_size));
    const QByteArray piece(reinterpret_cast<const char*>(m_data + m_position), int(taken));
    m_position += taken;
    return piece;
}

QByteArray FuzzInput::chunk()
{
    return bytes(u16());
}

QByteArray FuzzInput::rest()
{
    return bytes(m_size);
}
