#include "StreamPackets.h"

#include "BRX_Commu_ByteWriter.h"

namespace StreamPackets {

typedef BRX_Commu_ByteWriter Writer;

QByteArray words(const QVector<quint32>& values)
{
    QByteArray out;
    for (quint32 value : values)
        Writer::appendU32(out, value);
    return out;
}

QByteArray packet(const QList<Tag>& tags, const QByteArray& frame, quint32 frameOffset, bool terminated, quint16 a,
                  quint32 b)
{
    QByteArray list;
    for (const Tag& tag : tags) {
        Writer::appendU32(list, tag.type);
        Writer::appendU32(list, quint32(tag.payload.size()));
        list += tag.payload;
    }
    if (terminated)
        Writer::appendU32(list, 0);
    QByteArray out;
    Writer::appendU32(out, 0);
    Writer::appendU16(out, a);
    Writer::appendU32(out, 0);
    Writer::appendU32(out, b);
    Writer::appendU16(out, 0);
    Writer::appendU32(out, frameOffset ? frameOffset : quint32(20 + list.size()));
    out += list;
    while (frameOffset && quint32(out.size()) < frameOffset)
        out += '\0';
    return out + frame;
}

QByteArray streamInfo(quint32 packetMaxSize)
{
    QByteArray out;
    Writer::appendU32(out, 36);
    Writer::appendU32(out, 0);
    out += QByteArray(8, '\0');
    out += words({0, packetMaxSize, 0, packetMaxSize, 1});
    return out;
}

}  // namespace StreamPackets
