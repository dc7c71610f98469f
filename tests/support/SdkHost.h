#ifndef SDKHOST_H
#define SDKHOST_H

#include "FrameRecorder.h"

#include <QMetaType>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QVector>

#include <memory>
#include <mutex>

#include <cstring>

// A host application of the exported interface, on a virtual camera: it
// initialises the library, registers its changes callback from the init
// callback (as a host must after every connection) and records everything
// the callbacks deliver. One at a time; the init and changes callbacks run in
// the thread that processes the test's events, the frame callback in the
// library's threads.
class BRX_Commu_VirtualCamera;
class BRX_Commu_VirtualCameraPtpIpServer;
class PtpIpProxy;

class SdkHost
{
public:
    // How the library reaches the virtual camera: its USB link, or PTP/IP on
    // loopback (served in this process, named with BRX_SDK_useNetworkCamera),
    // straight or through a proxy that plays the network.
    enum Transport { kUsb, kNetwork, kProxiedNetwork };

    struct Change {
        int property;
        QByteArray payload;
    };

    // Selects a virtual camera of productId and initialises the library.
    explicit SdkHost(int productId, Transport transport = kUsb);
    // Unplugs the camera, exits the library and goes back to USB hardware.
    ~SdkHost();

    BRX_Commu_VirtualCamera& camera() const { return *m_camera; }
    // Null over USB.
    BRX_Commu_VirtualCameraPtpIpServer* server() const { return m_server.get(); }
    // Null but through the proxied network.
    PtpIpProxy* proxy() const { return m_proxy.get(); }
    // Plugs the camera in or pulls it out (over the network: switches it on or off).
    void setCameraPlugged(bool plugged);

    // Waits until a camera is connected and its whole initial state has
    // arrived; false after timeoutMs.
    bool waitForInitialState(int timeoutMs = 10000);

    // Connection events seen by the init callback: (connected, product ID).
    QList<QPair<bool, int>> connections() const;
    bool isConnected() const;
    QList<Change> changes() const;
    // The property numbers notified so far, in order.
    QList<int> numbers() const;
    // Payloads of one property, in order.
    QList<QByteArray> payloads(int property) const;
    int count(int property) const { return payloads(property).size(); }
    void clearChanges();
    // Live-view frames and downloaded pictures, registered with the changes
    // callback.
    FrameRecorder& frames() { return m_frames; }
    // Whether the changes callback is registered again after each connection.
    void setReregister(bool reregister) { m_reregister = reregister; }

    template <typename T>
    static T value(const QByteArray& payload)
    {
        T result{};
        if (payload.size() == int(sizeof(T)))
            std::memcpy(&result, payload.constData(), sizeof(T));
        return result;
    }
    template <typename T>
    static QVector<T> list(const QByteArray& payload)
    {
        QVector<T> result(payload.size() / int(sizeof(T)));
        std::memcpy(result.data(), payload.constData(), size_t(result.size()) * sizeof(T));
        return result;
    }
    // The last payload of property as T; T{} when none arrived.
    template <typename T>
    T last(int property) const
    {
        const QList<QByteArray> all = payloads(property);
        return all.isEmpty() ? T{} : value<T>(all.last());
    }

private:
    static void initCallback(void* context, bool connected, int productId);
    static void changesCallback(void* context, int property, const void* data, unsigned int size);

    std::shared_ptr<BRX_Commu_VirtualCamera> m_camera;
    std::unique_ptr<BRX_Commu_VirtualCameraPtpIpServer> m_server;
    std::unique_ptr<PtpIpProxy> m_proxy;
    mutable std::mutex m_mutex;
    QList<QPair<bool, int>> m_connections;
    QList<Change> m_changes;
    bool m_reregister = true;
    FrameRecorder m_frames;
};

Q_DECLARE_METATYPE(SdkHost::Transport)

#endif
