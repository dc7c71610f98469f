#ifndef BRX_COMMU_PTPIPPACKET_H
#define BRX_COMMU_PTPIPPACKET_H

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// One packet of PTP over TCP/IP (the CIPA standard): a header of length
// (the whole packet) and type, both 32-bit little-endian, then the body the
// type defines. The writers build whole packets; decodeBody reads a body
// whose header has been read. Data and End Data packets are the only ones
// of unbounded size: their payload after the transaction ID is streamed,
// never held here.
class BRX_Commu_PtpIpPacket
{
public:
    enum Type : quint32 {
        kInitCommandRequest = 1,
        kInitCommandAck = 2,
        kInitEventRequest = 3,
        kInitEventAck = 4,
        kInitFail = 5,
        kOperationRequest = 6,
        kOperationResponse = 7,
        kEvent = 8,
        kStartData = 9,
        kData = 10,
        kCancel = 11,
        kEndData = 12,
        kProbeRequest = 13,
        kProbeResponse = 14,
    };
    enum : quint32 {
        kHeaderSize = 8,
        kGuidSize = 16,
        kMaxParams = 5,
        // The body of every packet but Data and End Data fits in this.
        kMaxBodySize = 1024,
        // Bytes of a Data or End Data body before its payload.
        kDataPrefixSize = 4,
        // Payload of each Data packet a sender writes. Each packet is written
        // whole and so travels in one segment on loopback, where packet
        // analysers that do not reassemble TCP still decode it.
        kDataPacketPayload = 32 * 1024,
        kProtocolVersion = 0x00010000, // 1.0
    };
    // What an Operation Request announces of its data phase.
    enum DataPhase : quint32 { kNoDataOrDataIn = 1, kDataOut = 2 };
    enum FailReason : quint32 { kRejectedInitiator = 1, kBusy = 2, kUnspecified = 3 };
    static const quint16 kDefaultPort = 15740;

    static QByteArray initCommandRequest(const QByteArray& guid, const QString& name);
    static QByteArray initCommandAck(quint32 connectionNumber, const QByteArray& guid, const QString& name);
    static QByteArray initEventRequest(quint32 connectionNumber);
    static QByteArray initFail(quint32 reason);
    static QByteArray operationRequest(quint32 dataPhase, quint16 code, quint32 transactionId,
                                       const QVector<quint32>& params);
    static QByteArray operationResponse(quint16 code, quint32 transactionId, const QVector<quint32>& params);
    static QByteArray event(quint16 code, quint32 transactionId, const QVector<quint32>& params);
    static QByteArray startData(quint32 transactionId, quint64 totalLength);
    // The header and transaction ID of a Data or End Data packet whose
    // payloadSize bytes follow.
    static QByteArray dataHeader(Type type, quint32 transactionId, quint32 payloadSize);
    static QByteArray cancel(quint32 transactionId);
    // Init Event Ack, Probe Request and Probe Response: a bare header.
    static QByteArray bare(Type type);

    // "Operation Request", or null for a type the standard does not know.
    static const char* typeName(quint32 type);
    static bool isData(quint32 type) { return type == kData || type == kEndData; }

    // Reads the body of a packet whose type is set: size bytes, for Data
    // and End Data only their transaction ID. False when the body does not
    // have the type's layout (a wrong size, too many parameters, a name
    // without its terminating null).
    bool decodeBody(const quint8* body, quint32 size);

    // The fields the type has.
    quint32 type = 0;
    quint32 length = 0;
    quint32 connectionNumber = 0; // Init Command Ack, Init Event Request
    QByteArray guid;              // Init Command Request and Ack
    QString name;                 // the same
    quint32 version = 0;          // the same; 0 when the peer sends none
    quint32 reason = 0;           // Init Fail
    quint32 dataPhase = 0;        // Operation Request
    quint16 code = 0;             // Operation Request and Response, Event
    quint32 transactionId = 0;    // from Operation Request to End Data
    QVector<quint32> params;
    quint64 totalLength = 0;      // Start Data

private:
    static QByteArray packet(Type type, const QByteArray& body);
    bool decodeInit(const quint8* body, quint32 size, bool hasConnectionNumber);
    bool decodeOperation(const quint8* body, quint32 size, quint32 fixedSize);
};

#endif
