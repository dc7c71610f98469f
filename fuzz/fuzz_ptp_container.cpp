// PTP container decoding: a container that decodes encodes back to its own bytes.
#include "BRX_Commu_PtpContainer.h"
#include "FuzzSupport.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BRX_Commu_PtpContainer container;
    if (!container.decodeHeader(data, quint32(size)) || !container.decodeParams(data, quint32(size)))
        return 0;
    const QByteArray original(reinterpret_cast<const char*>(data), int(container.length));
    fuzzCheck(container.encode() == original, "decoded container does not encode to its bytes");
    return 0;
}
