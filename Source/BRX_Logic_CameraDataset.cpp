#include "BRX_Logic_CameraDataset.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"

#include <algorithm>

BRX_Logic_CameraDataset::BRX_Logic_CameraDataset(BRX_Commu_CameraAccess_Base* access, quint32 bufferSize)
    : m_access(access), m_buffer(bufferSize, 0)
{
}

BRX_Logic_CameraDataset::~BRX_Logic_CameraDataset() = default;

bool BRX_Logic_CameraDataset::readFromCamera(ReadOperation read)
{
    std::fill(m_buffer.begin(), m_buffer.end(), 0);
    const bool ok = m_access && (m_access->*read)(m_buffer.data(), quint32(m_buffer.size()));
    if (!ok)
        std::fill(m_buffer.begin(), m_buffer.end(), 0);
    return ok;
}

void BRX_Logic_CameraDataset::dumpBuffer(const char* label, const QString& caller) const
{
    ::dumpBuffer(QString("%1 for %2:").arg(QLatin1String(label), caller), QString(), m_buffer.data(),
                m_buffer.size(), 0, 16);
}

BRX_Commu_ByteReader BRX_Logic_CameraDataset::reader() const
{
    return BRX_Commu_ByteReader(m_buffer.data(), quint32(m_buffer.size()));
}
