#include "BRX_Commu_UsbEventAssembler.h"
#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_PtpContainer.h"

namespace {
// Event containers carry at most three parameters; anything much longer is
// garbage and ends at this size rather than growing without bound.
const int kMaxContainerBytes = 1024;
const int kLengthFieldBytes = 4;
} // namespace

BRX_Commu_UsbEventAssembler::BRX_Commu_UsbEventAssembler(quint32 packetSize)
    : m_packetSize(packetSize)
{
}

bool BRX_Commu_UsbEventAssembler::addPacket(const quint8* data, quint32 size, QByteArray* container)
{
    if (size == 0 && m_partial.isEmpty())
        return false;
    m_partial.append(reinterpret_cast<const char*>(data), int(size));
    if (!isComplete(size))
        return false;
    if (m_partial.size() >= kLengthFieldBytes) {
        const quint32 length = BRX_Commu_ByteReader(m_partial.constData(), quint32(m_partial.size())).readU32At(0);
        if (length >= BRX_Commu_PtpContainer::kHeaderSize && length < quint32(m_partial.size()))
            m_partial.truncate(int(length)); // bytes past the container's end
    }
    *container = m_partial;
    m_partial.clear();
    return true;
}

bool BRX_Commu_UsbEventAssembler::isComplete(quint32 lastPacketSize) const
{
    if (lastPacketSize < m_packetSize || m_partial.size() >= kMaxContainerBytes)
        return true;
    return m_partial.size() >= kLengthFieldBytes
        && BRX_Commu_ByteReader(m_partial.constData(), quint32(m_partial.size())).readU32At(0)
        <= quint32(m_partial.size());
}
