// The PTP-over-USB link: three transactions, each with the direction and
// buffer size the input chooses, over a pipe whose device answers from the
// rest of the input (packet size, split points, zero-length packets,
// stalls, timeouts, device loss). What a transaction that succeeded sent
// must be its command container and its data container, byte for byte.
#include "BRX_Commu_PtpUsbLink.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"
#include "ScriptedUsbPipe.h"

#include <memory>
#include <vector>

namespace {

struct Request {
    BRX_Commu_PtpUsbLink::Direction direction;
    quint32 numParams;
    quint32 size;
};

// Up to 1 MiB and a little more: the link's largest single transfer.
Request takeRequest(FuzzInput& input)
{
    const quint8 kind = input.u8();
    return {BRX_Commu_PtpUsbLink::Direction(kind % 3), quint32(kind / 3 % 6), input.u32() % ((1u << 20) + 4096)};
}

QByteArray expectedOutput(const Request& request, const quint32* params, quint32 transactionId,
                          const std::vector<quint8>& buffer)
{
    const QVector<quint32> list(params, params + request.numParams);
    QByteArray bytes = BRX_Commu_PtpContainer(BRX_Commu_PtpContainer::kCommand, 0x9001, transactionId, list).encode();
    if (request.direction == BRX_Commu_PtpUsbLink::kDataOut) {
        quint8 header[BRX_Commu_PtpContainer::kHeaderSize];
        BRX_Commu_PtpContainer::encodeHeader(header, BRX_Commu_PtpContainer::kHeaderSize + request.size,
                                             BRX_Commu_PtpContainer::kData, 0x9001, transactionId);
        bytes.append(reinterpret_cast<const char*>(header), sizeof header);
        bytes.append(reinterpret_cast<const char*>(buffer.data()), int(request.size));
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const quint32 packetSize = 1 + input.u16() % 1024;
    Request requests[3];
    for (Request& request : requests)
        request = takeRequest(input);
    const auto pipe = std::make_shared<ScriptedUsbPipe>(packetSize, input.rest(), QByteArray());
    BRX_Commu_PtpUsbLink link(pipe);
    const quint32 params[5] = {1, 2, 3, 4, 5};
    for (quint32 transactionId = 0; transactionId < 3; ++transactionId) {
        const Request& request = requests[transactionId];
        std::vector<quint8> buffer(request.size, quint8(0xA5));
        const int sentBefore = pipe->sentBytes().size();
        quint16 response = 0;
        const BRX_Commu_PtpUsbLink::Result result =
            link.transact({0x9001, request.numParams, params, request.direction, buffer.data(), request.size,
                           false, "fuzz"},
                          &response);
        if (result == BRX_Commu_PtpUsbLink::kNoDevice)
            break;
        if (result == BRX_Commu_PtpUsbLink::kResponded)
            fuzzCheck(pipe->sentBytes().mid(sentBefore) == expectedOutput(request, params, transactionId, buffer),
                      "the link sent other bytes than its containers");
    }
    return 0;
}
