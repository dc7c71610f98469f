#include "SdkHost.h"
#include "BRX_SDK.h"

#include <QMutexLocker>

SdkHost::SdkHost(int productId)
{
    BRX_SDK_useVirtualCamera(productId);
    BRX_SDK_init(&SdkHost::initCallback, this);
}

SdkHost::~SdkHost()
{
    BRX_SDK_exit();
    BRX_SDK_useVirtualCamera(0);
}

void SdkHost::initCallback(void* context, bool connected, int productId)
{
    auto* host = static_cast<SdkHost*>(context);
    {
        QMutexLocker locker(&host->m_mutex);
        host->m_connections.append(qMakePair(connected, productId));
    }
    if (connected && host->m_reregister)
        BRX_SDK_setChangesCallback(&SdkHost::changesCallback, host);
}

void SdkHost::changesCallback(void* context, int property, const void* data, unsigned int size)
{
    auto* host = static_cast<SdkHost*>(context);
    QMutexLocker locker(&host->m_mutex);
    host->m_changes.append({property, QByteArray(static_cast<const char*>(data), int(size))});
}

QList<QPair<bool, int>> SdkHost::connections() const
{
    QMutexLocker locker(&m_mutex);
    return m_connections;
}

bool SdkHost::isConnected() const
{
    QMutexLocker locker(&m_mutex);
    return !m_connections.isEmpty() && m_connections.last().first;
}

QList<SdkHost::Change> SdkHost::changes() const
{
    QMutexLocker locker(&m_mutex);
    return m_changes;
}

QList<int> SdkHost::numbers() const
{
    QList<int> result;
    for (const Change& change : changes())
        result.append(change.property);
    return result;
}

QList<QByteArray> SdkHost::payloads(int property) const
{
    QList<QByteArray> result;
    for (const Change& change : changes()) {
        if (change.property == property)
            result.append(change.payload);
    }
    return result;
}

void SdkHost::clearChanges()
{
    QMutexLocker locker(&m_mutex);
    m_changes.clear();
}
