#ifndef BRX_COMMU_BYTEREADER_H
#define BRX_COMMU_BYTEREADER_H

#include <QString>
#include <QtGlobal>

// Bounds-checked little-endian reads from a byte buffer the reader does not
// own. Camera data is untrusted: a field that does not fit reads as 0 (or an
// empty string) and clears ok(), never touching memory past the end.
// Two ways to read: at a fixed offset (read*At) or from a cursor that moves
// past each field (read*).
class BRX_Commu_ByteReader
{
public:
    BRX_Commu_ByteReader(const void* data, quint32 size);

    quint8 readU8At(quint32 offset);
    quint16 readU16At(quint32 offset);
    quint32 readU32At(quint32 offset);
    quint64 readU64At(quint32 offset);
    float readF32At(quint32 offset);
    double readF64At(quint32 offset);
    // Reads width (1, 2 or 4) bytes as a signed value, sign-extended when
    // isSigned, zero-extended otherwise.
    qint32 readIntAt(quint32 offset, quint32 width, bool isSigned);

    quint8 readU8();
    quint16 readU16();
    quint32 readU32();
    // A PTP string: a count byte (code units including the terminating null),
    // then that many UTF-16LE code units.
    QString readPtpString();
    // Moves the cursor by count bytes; clears ok() when they are not there.
    bool skip(quint64 count);

    // Whether count more bytes are available from the cursor.
    bool hasRemaining(quint64 count) const;
    quint32 position() const { return m_position; }
    // False once any read or skip ran past the end.
    bool ok() const { return m_ok; }

private:
    bool fits(quint64 offset, quint64 count);
    quint64 readLittleEndian(quint32 offset, quint32 width);
    quint64 readAndAdvance(quint32 width);

    const quint8* m_data;
    quint32 m_size;
    quint32 m_position = 0;
    bool m_ok = true;
};

#endif
