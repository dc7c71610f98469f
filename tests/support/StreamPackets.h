#ifndef STREAMPACKETS_H
#define STREAMPACKETS_H

#include <QByteArray>
#include <QList>
#include <QVector>

// Live-view stream data as a camera sends it, built field by field for
// tests: packets with any tag list, and the StreamInfo dataset that sizes
// them.
namespace StreamPackets {

struct Tag
{
    quint32 type;
    QByteArray payload;
};

// Little-endian 32-bit words, one after the other.
QByteArray words(const QVector<quint32>& values);
// A packet: header blocks A and B, the frame offset (0: right after the
// tag list), the tags, the end tag when terminated, padding up to the frame
// offset, the frame.
QByteArray packet(const QList<Tag>& tags, const QByteArray& frame, quint32 frameOffset = 0, bool terminated = true,
                  quint16 a = 0, quint32 b = 0);
// A StreamInfo dataset announcing packets of packetMaxSize bytes.
QByteArray streamInfo(quint32 packetMaxSize);

}  // namespace StreamPackets

#endif
