#ifndef BRX_COMMU_BYTEWRITER_H
#define BRX_COMMU_BYTEWRITER_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Little-endian writes for PTP containers and datasets (the reading side is
// BRX_Commu_ByteReader). Byte by byte, so odd offsets are fine; the write*
// callers have checked that the buffer holds the field.
class BRX_Commu_ByteWriter
{
public:
    static void writeU16(quint8* buffer, quint32 offset, quint16 value);
    static void writeU32(quint8* buffer, quint32 offset, quint32 value);

    static void appendU8(QByteArray& out, quint8 value);
    static void appendU16(QByteArray& out, quint16 value);
    static void appendU32(QByteArray& out, quint32 value);
    // The low width bytes (1, 2 or 4) of value.
    static void appendValue(QByteArray& out, qint64 value, int width);
    // A PTP string: a count byte (characters including the terminating null,
    // 0 for an empty text), then the UTF-16LE characters and the null.
    static void appendPtpString(QByteArray& out, const QString& text);
    // Overwrites width bytes of out at offset, which must lie inside out.
    static void putValue(QByteArray& out, int offset, qint64 value, int width);
};

#endif
