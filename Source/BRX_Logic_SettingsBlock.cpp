#include "BRX_Logic_SettingsBlock.h"

#include <cstring>

void BRX_Logic_SettingsBlock::clear()
{
    std::memset(m_bytes, 0, sizeof(m_bytes));
}

quint32 BRX_Logic_SettingsBlock::readLE(int offset, int width) const
{
    if (width > 4 || !fits(offset, width))
        return 0;
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | m_bytes[offset + i];
    return value;
}

bool BRX_Logic_SettingsBlock::writeLE(int offset, int width, quint32 value)
{
    if (width > 4 || !fits(offset, width) || readLE(offset, width) == value)
        return false;
    for (int i = 0; i < width; ++i)
        m_bytes[offset + i] = quint8(value >> (8 * i));
    return true;
}

bool BRX_Logic_SettingsBlock::setBit(int offset, int bit, bool on)
{
    const quint8 mask = quint8(1u << bit);
    const quint8 old = u8(offset);
    return setU8(offset, on ? quint8(old | mask) : quint8(old & ~mask));
}
