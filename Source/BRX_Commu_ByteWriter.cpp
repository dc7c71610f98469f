#include "BRX_Commu_ByteWriter.h"

void BRX_Commu_ByteWriter::writeU16(quint8* buffer, quint32 offset, quint16 value)
{
    buffer[offset] = quint8(value);
    buffer[offset + 1] = quint8(value >> 8);
}

void BRX_Commu_ByteWriter::writeU32(quint8* buffer, quint32 offset, quint32 value)
{
    writeU16(buffer, offset, quint16(value));
    writeU16(buffer, offset + 2, quint16(value >> 16));
}

void BRX_Commu_ByteWriter::appendU8(QByteArray& out, quint8 value)
{
    out.append(char(value));
}

void BRX_Commu_ByteWriter::appendU16(QByteArray& out, quint16 value)
{
    appendValue(out, value, 2);
}

void BRX_Commu_ByteWriter::appendU32(QByteArray& out, quint32 value)
{
    appendValue(out, value, 4);
}

void BRX_Commu_ByteWriter::appendValue(QByteArray& out, qint64 value, int width)
{
    for (int i = 0; i < width; ++i)
        appendU8(out, quint8(quint64(value) >> (8 * i)));
}

void BRX_Commu_ByteWriter::appendPtpString(QByteArray& out, const QString& text)
{
    if (text.isEmpty()) {
        appendU8(out, 0);
        return;
    }
    appendU8(out, quint8(text.size() + 1));
    for (const QChar c : text)
        appendU16(out, c.unicode());
    appendU16(out, 0);
}

void BRX_Commu_ByteWriter::putValue(QByteArray& out, int offset, qint64 value, int width)
{
    for (int i = 0; i < width; ++i)
        out[offset + i] = char(quint8(quint64(value) >> (8 * i)));
}
