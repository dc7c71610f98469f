#ifndef BRX_LOGIC_SETTINGSBLOCK_H
#define BRX_LOGIC_SETTINGSBLOCK_H

#include <QtGlobal>

// The 100-byte camera settings block of the struct records, as exchanged with
// the camera. Fields are little-endian and packed (many start at odd offsets),
// so they are read and written byte by byte, never through wider pointers.
// A field that would reach past the block reads as 0 and is not written.
class BRX_Logic_SettingsBlock
{
public:
    enum { kSize = 100 };

    BRX_Logic_SettingsBlock() { clear(); }

    void clear();
    quint8* data() { return m_bytes; }
    const quint8* data() const { return m_bytes; }

    quint8 u8(int offset) const { return quint8(readLE(offset, 1)); }
    qint8 s8(int offset) const { return qint8(readLE(offset, 1)); }
    quint16 u16(int offset) const { return quint16(readLE(offset, 2)); }
    qint16 s16(int offset) const { return qint16(readLE(offset, 2)); }
    qint32 s32(int offset) const { return qint32(readLE(offset, 4)); }
    bool bit(int offset, int bit) const { return (u8(offset) >> bit) & 1; }
    // Unsigned little-endian value of width (1 to 4) bytes at offset.
    quint32 readLE(int offset, int width) const;

    // Writers return true when the block changed.
    bool setU8(int offset, quint8 value) { return writeLE(offset, 1, value); }
    bool setU16(int offset, quint16 value) { return writeLE(offset, 2, value); }
    bool setS16(int offset, qint16 value) { return writeLE(offset, 2, quint16(value)); }
    // Changes only the one bit of the byte at offset.
    bool setBit(int offset, int bit, bool on);

private:
    static bool fits(int offset, int width) { return offset >= 0 && width >= 0 && offset <= kSize - width; }
    bool writeLE(int offset, int width, quint32 value);

    quint8 m_bytes[kSize];
};

#endif
