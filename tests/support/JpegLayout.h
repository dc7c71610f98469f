#ifndef JPEGLAYOUT_H
#define JPEGLAYOUT_H

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// The marker structure of a baseline JPEG as a decoder walks it, without
// decoding pixels: fill bytes, segments and their lengths, the frame header,
// the Huffman tables, the entropy-coded data up to EOI (every 0xFF in it
// stuffed). Tells a picture a decoder takes from bytes that only start and
// end like one; what follows EOI is not looked at.
class JpegLayout
{
public:
    explicit JpegLayout(const QByteArray& bytes);

    bool isValid() const { return m_error.isEmpty(); }
    // Why it is not valid, for QVERIFY2.
    const char* error() const { return m_error.constData(); }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Just past EOI.
    int end() const { return m_end; }
    QList<QByteArray> comments() const { return m_comments; }
    // Every Huffman table holds each symbol a baseline encoder may write:
    // DC categories 0 to 11, AC run/size pairs, end of block and 16 zeros.
    bool hasCompleteHuffmanTables() const;

private:
    bool walk(const QByteArray& bytes);
    bool readSegment(quint8 marker, const QByteArray& payload);
    bool readHuffmanTables(const QByteArray& payload);
    int skipScan(const QByteArray& bytes, int at) const;
    bool fail(const QString& why);

    QByteArray m_error;
    int m_width = 0;
    int m_height = 0;
    int m_end = 0;
    QList<QByteArray> m_comments;
    QList<QSet<quint8>> m_dcTables;
    QList<QSet<quint8>> m_acTables;
};

#endif
