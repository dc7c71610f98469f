#ifndef FUZZINPUT_H
#define FUZZINPUT_H

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// Hands out a fuzz input piece by piece. Past the end every number reads as
// 0 and every piece as empty, so a target never has to check the length.
class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size);

    bool atEnd() const { return m_position >= m_size; }
    quint8 u8();
    quint16 u16();
    quint32 u32();
    // Up to count bytes.
    QByteArray bytes(size_t count);
    // A piece prefixed by its 16-bit length: how seeds carry one answer of the camera.
    QByteArray chunk();
    QByteArray rest();

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

#endif
