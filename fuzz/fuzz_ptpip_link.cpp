// PTP over TCP/IP, the host's side: the Init Command handshake, then three
// transactions, each with the operation, direction and buffer size the
// input chooses, over a command connection whose every read the rest of the
// input scripts (bytes split anyhow, timeouts, the end, pieces repeated).
// The packet reader checks every length the camera states. What a
// transaction that succeeded sent must be its request and data packets,
// byte for byte, and no transaction answers more probes than its budget.
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_PtpIpLink.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"
#include "ScriptedPtpIpStream.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

typedef BRX_Commu_PtpIpPacket Packet;
typedef BRX_Commu_PtpTransaction Transaction;

struct Request {
    quint16 opCode;
    Transaction::Direction direction;
    quint32 numParams;
    quint32 size;
};

// Up to 1 MiB and a little more.
Request takeRequest(FuzzInput& input)
{
    const quint16 opCode = input.u16();
    const quint8 kind = input.u8();
    return {opCode, Transaction::Direction(kind % 3), quint32(kind / 3 % 6), input.u32() % ((1u << 20) + 4096)};
}

QByteArray expectedOutput(const Request& request, const quint32* params, quint32 transactionId,
                          const std::vector<quint8>& buffer)
{
    const bool dataOut = request.direction == Transaction::kDataOut;
    QByteArray bytes = Packet::operationRequest(dataOut ? Packet::kDataOut : Packet::kNoDataOrDataIn, request.opCode,
                                                transactionId, QVector<quint32>(params, params + request.numParams));
    if (!dataOut)
        return bytes;
    bytes += Packet::startData(transactionId, request.size);
    const quint32 chunk = Packet::kDataPacketPayload;
    quint32 offset = 0;
    do {
        const quint32 length = std::min(request.size - offset, chunk);
        bytes += Packet::dataHeader(offset + length == request.size ? Packet::kEndData : Packet::kData, transactionId,
                                    length);
        bytes.append(reinterpret_cast<const char*>(buffer.data()) + offset, int(length));
        offset += length;
    } while (offset < request.size);
    return bytes;
}

// The Probe Responses among the packets the link sent.
int probeResponses(const QByteArray& sent)
{
    int count = 0;
    BRX_Commu_ByteReader reader(sent.constData(), quint32(sent.size()));
    for (quint32 offset = 0; offset + Packet::kHeaderSize <= quint32(sent.size());) {
        const quint32 length = reader.readU32At(offset);
        if (reader.readU32At(offset + 4) == Packet::kProbeResponse)
            ++count;
        offset += std::max<quint32>(length, Packet::kHeaderSize);
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    Request requests[3];
    for (Request& request : requests)
        request = takeRequest(input);
    auto* peer = new ScriptedPtpIpStream(input.rest());
    BRX_Commu_PtpIpLink link{std::unique_ptr<BRX_Commu_PtpIpStream>(peer)};
    if (!link.initCommand({"fuzz", QStringLiteral("fuzz")}, "fuzz"))
        return 0;
    const quint32 params[5] = {1, 2, 3, 4, 5};
    for (quint32 transactionId = 0; transactionId < 3; ++transactionId) {
        const Request& request = requests[transactionId];
        std::vector<quint8> buffer(request.size, quint8(0xA5));
        const int sentBefore = peer->written().size();
        quint16 response = 0;
        const BRX_Commu_PtpIpLink::Result result = link.transact(
            Transaction::make(request.opCode, request.numParams, params, request.direction, buffer.data(),
                              request.size, "fuzz"),
            &response);
        fuzzCheck(probeResponses(peer->written().mid(sentBefore)) <= int(BRX_Commu_PtpIpLink::kProbeBudget),
                  "the link answered more probes than one transaction may ask");
        if (result == BRX_Commu_PtpIpLink::kLost)
            break;
        if (result == BRX_Commu_PtpIpLink::kResponded)
            fuzzCheck(peer->written().mid(sentBefore) == expectedOutput(request, params, transactionId, buffer),
                      "the link sent other bytes than its packets");
    }
    return 0;
}
