#include "SdkHost.h"
#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraPtpIpServer.h"
#include "BRX_SDK.h"
#include "PtpIpProxy.h"
#include "VirtualCameraFixture.h"

#include <QtTest>

SdkHost::SdkHost(int productId, Transport transport)
{
    if (transport == kUsb) {
        BRX_SDK_useVirtualCamera(productId);
        m_camera = BRX_Commu_VirtualCamera::selected();
    } else {
        m_camera = BRX_Commu_VirtualCamera::create(productId);
        m_server.reset(new BRX_Commu_VirtualCameraPtpIpServer(m_camera));
        if (transport == kProxiedNetwork)
            m_proxy.reset(new PtpIpProxy(QStringLiteral("127.0.0.1"), m_server->port()));
        const QString address = m_proxy ? m_proxy->hostAndPort() : m_server->hostAndPort();
        BRX_SDK_useNetworkCamera(address.toLatin1().constData());
    }
    if (m_camera)
        m_camera->setPictureWidth(VirtualCameraFixture::kPictureWidth);
    BRX_SDK_init(&SdkHost::initCallback, this);
}

void SdkHost::setCameraPlugged(bool plugged)
{
    m_camera->setPlugged(plugged);
}

// Notifications still queued when the library exits would be dropped with
// their payloads. The disconnection is the controller's last notification,
// so once the host has seen it nothing is left in flight.
SdkHost::~SdkHost()
{
    if (isConnected()) {
        setCameraPlugged(false);
        (void)QTest::qWaitFor([this] { return !isConnected(); }, 10000);
    }
    BRX_SDK_exit();
    BRX_SDK_useVirtualCamera(0);
    BRX_SDK_useNetworkCamera(nullptr);
}

void SdkHost::initCallback(void* context, bool connected, int productId)
{
    auto* host = static_cast<SdkHost*>(context);
    {
        std::lock_guard<std::mutex> locker(host->m_mutex);
        host->m_connections.append(qMakePair(connected, productId));
    }
    if (connected && host->m_reregister) {
        BRX_SDK_setChangesCallback(&SdkHost::changesCallback, host);
        BRX_SDK_setFrameCallback(&FrameRecorder::callback, &host->m_frames);
    }
}

void SdkHost::changesCallback(void* context, int property, const void* data, unsigned int size)
{
    auto* host = static_cast<SdkHost*>(context);
    std::lock_guard<std::mutex> locker(host->m_mutex);
    host->m_changes.append({property, QByteArray(static_cast<const char*>(data), int(size))});
}

QList<QPair<bool, int>> SdkHost::connections() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_connections;
}

bool SdkHost::isConnected() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return !m_connections.isEmpty() && m_connections.last().first;
}

QList<SdkHost::Change> SdkHost::changes() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
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
    std::lock_guard<std::mutex> locker(m_mutex);
    m_changes.clear();
}

// The burst is sent in one go by the controller thread; a queued set posted
// after the burst has begun is handled after it, and its confirmation comes
// last.
bool SdkHost::waitForInitialState(int timeoutMs)
{
    if (!QTest::qWaitFor([this] { return numbers().contains(0); }, timeoutMs))
        return false;
    qint32 compensation = 0;
    if (!BRX_SDK_getProperty(7, &compensation, sizeof compensation))
        return false;
    const int before = count(7);
    BRX_SDK_setPropertyQueued(7, &compensation, sizeof compensation);
    return QTest::qWaitFor([this, before] { return count(7) > before; }, timeoutMs);
}
