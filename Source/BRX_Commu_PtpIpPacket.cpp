#include "BRX_Commu_PtpIpPacket.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_ByteWriter.h"

namespace {

typedef BRX_Commu_ByteWriter Writer;

const char* const kTypeNames[] = {
    nullptr,          "Init Command Request", "Init Command Ack", "Init Event Request", "Init Event Ack",
    "Init Fail",      "Operation Request",    "Operation Response", "Event",          "Start Data",
    "Data",           "Cancel",               "End Data",         "Probe Request",    "Probe Response",
};

void appendName(QByteArray& out, const QString& name)
{
    for (const QChar c : name)
        Writer::appendU16(out, c.unicode());
    Writer::appendU16(out, 0);
}

void appendParams(QByteArray& out, const QVector<quint32>& params)
{
    for (quint32 param : params)
        Writer::appendU32(out, param);
}

QByteArray fixedGuid(const QByteArray& guid)
{
    return guid.leftJustified(int(BRX_Commu_PtpIpPacket::kGuidSize), '\0', true);
}

} // namespace

QByteArray BRX_Commu_PtpIpPacket::packet(Type type, const QByteArray& body)
{
    QByteArray out;
    out.reserve(int(kHeaderSize) + body.size());
    Writer::appendU32(out, quint32(kHeaderSize + body.size()));
    Writer::appendU32(out, type);
    return out + body;
}

QByteArray BRX_Commu_PtpIpPacket::initCommandRequest(const QByteArray& guid, const QString& name)
{
    QByteArray body = fixedGuid(guid);
    appendName(body, name);
    Writer::appendU32(body, kProtocolVersion);
    return packet(kInitCommandRequest, body);
}

QByteArray BRX_Commu_PtpIpPacket::initCommandAck(quint32 connectionNumber, const QByteArray& guid,
                                                 const QString& name)
{
    QByteArray body;
    Writer::appendU32(body, connectionNumber);
    body += fixedGuid(guid);
    appendName(body, name);
    Writer::appendU32(body, kProtocolVersion);
    return packet(kInitCommandAck, body);
}

QByteArray BRX_Commu_PtpIpPacket::initEventRequest(quint32 connectionNumber)
{
    QByteArray body;
    Writer::appendU32(body, connectionNumber);
    return packet(kInitEventRequest, body);
}

QByteArray BRX_Commu_PtpIpPacket::initFail(quint32 reason)
{
    QByteArray body;
    Writer::appendU32(body, reason);
    return packet(kInitFail, body);
}

QByteArray BRX_Commu_PtpIpPacket::operationRequest(quint32 dataPhase, quint16 code, quint32 transactionId,
                                                   const QVector<quint32>& params)
{
    QByteArray body;
    Writer::appendU32(body, dataPhase);
    Writer::appendU16(body, code);
    Writer::appendU32(body, transactionId);
    appendParams(body, params);
    return packet(kOperationRequest, body);
}

QByteArray BRX_Commu_PtpIpPacket::operationResponse(quint16 code, quint32 transactionId,
                                                    const QVector<quint32>& params)
{
    QByteArray body;
    Writer::appendU16(body, code);
    Writer::appendU32(body, transactionId);
    appendParams(body, params);
    return packet(kOperationResponse, body);
}

QByteArray BRX_Commu_PtpIpPacket::event(quint16 code, quint32 transactionId, const QVector<quint32>& params)
{
    QByteArray out = operationResponse(code, transactionId, params);
    Writer::putValue(out, 4, kEvent, 4);
    return out;
}

QByteArray BRX_Commu_PtpIpPacket::startData(quint32 transactionId, quint64 totalLength)
{
    QByteArray body;
    Writer::appendU32(body, transactionId);
    Writer::appendValue(body, qint64(totalLength & 0xFFFFFFFF), 4);
    Writer::appendU32(body, quint32(totalLength >> 32));
    return packet(kStartData, body);
}

QByteArray BRX_Commu_PtpIpPacket::dataHeader(Type type, quint32 transactionId, quint32 payloadSize)
{
    QByteArray out;
    Writer::appendU32(out, kHeaderSize + kDataPrefixSize + payloadSize);
    Writer::appendU32(out, type);
    Writer::appendU32(out, transactionId);
    return out;
}

QByteArray BRX_Commu_PtpIpPacket::cancel(quint32 transactionId)
{
    QByteArray body;
    Writer::appendU32(body, transactionId);
    return packet(kCancel, body);
}

QByteArray BRX_Commu_PtpIpPacket::bare(Type type)
{
    return packet(type, QByteArray());
}

const char* BRX_Commu_PtpIpPacket::typeName(quint32 type)
{
    return type < sizeof kTypeNames / sizeof *kTypeNames ? kTypeNames[type] : nullptr;
}

bool BRX_Commu_PtpIpPacket::decodeBody(const quint8* body, quint32 size)
{
    params.clear();
    BRX_Commu_ByteReader reader(body, size);
    switch (type) {
    case kInitCommandRequest:
        return decodeInit(body, size, false);
    case kInitCommandAck:
        return decodeInit(body, size, true);
    case kInitEventRequest:
        connectionNumber = reader.readU32At(0);
        return size == 4;
    case kInitFail:
        reason = reader.readU32At(0);
        return size == 4;
    case kOperationRequest:
        dataPhase = reader.readU32At(0);
        return size >= 4 && decodeOperation(body + 4, size - 4, 6);
    case kOperationResponse:
    case kEvent:
        return decodeOperation(body, size, 6);
    case kStartData:
        transactionId = reader.readU32At(0);
        totalLength = reader.readU64At(4);
        return size == 12;
    case kData:
    case kEndData:
    case kCancel:
        transactionId = reader.readU32At(0);
        return size == kDataPrefixSize;
    case kInitEventAck:
    case kProbeRequest:
    case kProbeResponse:
        return size == 0;
    default:
        return false;
    }
}

// [connection number,] GUID, a null-terminated UTF-16 name and, from
// version 1.0 on, the protocol version.
bool BRX_Commu_PtpIpPacket::decodeInit(const quint8* body, quint32 size, bool hasConnectionNumber)
{
    BRX_Commu_ByteReader reader(body, size);
    if (hasConnectionNumber)
        connectionNumber = reader.readU32();
    if (!reader.hasRemaining(kGuidSize))
        return false;
    guid = QByteArray(reinterpret_cast<const char*>(body) + reader.position(), int(kGuidSize));
    reader.skip(kGuidSize);
    name.clear();
    for (quint16 unit = reader.readU16(); reader.ok() && unit != 0; unit = reader.readU16())
        name.append(QChar(unit));
    if (!reader.ok())
        return false;
    version = reader.hasRemaining(1) ? reader.readU32() : 0;
    return reader.ok() && !reader.hasRemaining(1);
}

// Code, transaction ID and up to five parameters.
bool BRX_Commu_PtpIpPacket::decodeOperation(const quint8* body, quint32 size, quint32 fixedSize)
{
    if (size < fixedSize || (size - fixedSize) % 4 != 0 || (size - fixedSize) / 4 > kMaxParams)
        return false;
    BRX_Commu_ByteReader reader(body, size);
    code = reader.readU16At(0);
    transactionId = reader.readU32At(2);
    for (quint32 offset = fixedSize; offset < size; offset += 4)
        params.append(reader.readU32At(offset));
    return true;
}
