#include "TetherMqtt.h"

#include <QFileInfo>
#include <QMetaObject>

#include <mosquitto.h>

#include <algorithm>

namespace {

const unsigned int kReconnectDelaySeconds = 1;
const unsigned int kReconnectDelayMaxSeconds = 4;

void initLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QByteArray bytesOrNull(const QString& text)
{
    return text.isEmpty() ? QByteArray() : text.toUtf8();
}

const char* orNull(const QByteArray& bytes)
{
    return bytes.isEmpty() ? nullptr : bytes.constData();
}

} // namespace

TetherMqtt::TetherMqtt(const Settings& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
{
    initLibraryOnce();
}

TetherMqtt::~TetherMqtt()
{
    stop();
    if (m_client)
        mosquitto_destroy(m_client);
}

bool TetherMqtt::readBroker(const QString& text, Settings* settings)
{
    const int colon = text.lastIndexOf(':');
    if (text.isEmpty() || colon == 0)
        return false;
    settings->host = colon < 0 ? text : text.left(colon);
    if (colon < 0)
        return true;
    bool ok = false;
    settings->port = text.mid(colon + 1).toInt(&ok);
    return ok && settings->port > 0 && settings->port <= 65535;
}

bool TetherMqtt::start(QString* error)
{
    const QByteArray clientId = bytesOrNull(m_settings.clientId);
    m_client = mosquitto_new(orNull(clientId), m_settings.cleanSession, this);
    if (!m_client) {
        *error = QStringLiteral("cannot make an MQTT client (a kept session needs a client ID)");
        return false;
    }
    *error = configure();
    if (!error->isEmpty())
        return false;
    mosquitto_connect_callback_set(m_client, &TetherMqtt::onConnect);
    mosquitto_disconnect_callback_set(m_client, &TetherMqtt::onDisconnect);
    mosquitto_message_callback_set(m_client, &TetherMqtt::onMessage);
    mosquitto_publish_callback_set(m_client, &TetherMqtt::onPublish);
    mosquitto_subscribe_callback_set(m_client, &TetherMqtt::onSubscribe);
    // A broker that is not there yet is tried again by the network thread.
    mosquitto_connect_async(m_client, m_settings.host.toUtf8().constData(), m_settings.port,
                            m_settings.keepAliveSeconds);
    if (mosquitto_loop_start(m_client) != MOSQ_ERR_SUCCESS) {
        *error = QStringLiteral("cannot start the MQTT client's thread");
        return false;
    }
    m_started = true;
    return true;
}

// The reason the options cannot be used; empty when they are set.
QString TetherMqtt::configure()
{
    mosquitto_reconnect_delay_set(m_client, kReconnectDelaySeconds, kReconnectDelayMaxSeconds, true);
    if (!m_settings.username.isEmpty()
        && mosquitto_username_pw_set(m_client, m_settings.username.toUtf8().constData(),
                                     orNull(bytesOrNull(m_settings.password)))
               != MOSQ_ERR_SUCCESS)
        return QStringLiteral("the broker's user name cannot be used");
    if (!m_settings.caFile.isEmpty()) {
        for (const QString& file : {m_settings.caFile, m_settings.certFile, m_settings.keyFile}) {
            if (!file.isEmpty() && !QFileInfo(file).isReadable())
                return QStringLiteral("cannot read the TLS file %1").arg(file);
        }
        const QByteArray ca = m_settings.caFile.toUtf8();
        const QByteArray cert = bytesOrNull(m_settings.certFile);
        const QByteArray key = bytesOrNull(m_settings.keyFile);
        if (mosquitto_tls_set(m_client, ca.constData(), nullptr, orNull(cert), orNull(key), nullptr)
            != MOSQ_ERR_SUCCESS)
            return QStringLiteral("the TLS files cannot be used (a certificate needs its key)");
    }
    if (!m_settings.willTopic.isEmpty()
        && mosquitto_will_set(m_client, m_settings.willTopic.toUtf8().constData(), m_settings.willPayload.size(),
                              m_settings.willPayload.constData(), 1, true)
               != MOSQ_ERR_SUCCESS)
        return QStringLiteral("the last will cannot be set on %1").arg(m_settings.willTopic);
    return QString();
}

void TetherMqtt::subscribe(const QString& filter)
{
    bool connected = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_filters << filter;
        connected = m_connected;
    }
    if (connected && m_client)
        sendSubscription(filter);
}

void TetherMqtt::sendSubscription(const QString& filter)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_subscriptionsPending;
    }
    if (mosquitto_subscribe(m_client, nullptr, filter.toUtf8().constData(), 1) != MOSQ_ERR_SUCCESS) {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_subscriptionsPending;
    }
}

void TetherMqtt::subscribeAll()
{
    QStringList filters;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        filters = m_filters;
    }
    for (const QString& filter : filters)
        sendSubscription(filter);
}

bool TetherMqtt::publish(const QString& topic, const QByteArray& payload, bool retain)
{
    if (!m_client)
        return false;
    int messageId = 0;
    const int result = mosquitto_publish(m_client, &messageId, topic.toUtf8().constData(), payload.size(),
                                         payload.constData(), 1, retain);
    // Without a connection the message waits in libmosquitto's queue.
    if (result != MOSQ_ERR_SUCCESS && result != MOSQ_ERR_NO_CONN)
        return false;
    // The acknowledgement may have come first; then it is already marked.
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_inFlight.erase(-messageId))
        m_inFlight.insert(messageId);
    return true;
}

bool TetherMqtt::isConnected() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connected;
}

bool TetherMqtt::isSubscribed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connected && m_subscriptionsPending == 0;
}

int TetherMqtt::unacknowledged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_inFlight.size());
}

void TetherMqtt::stop()
{
    if (!m_started)
        return;
    m_started = false;
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, false);
}

void TetherMqtt::onConnect(mosquitto*, void* self, int result)
{
    if (result != 0)
        return;
    auto* mqtt = static_cast<TetherMqtt*>(self);
    {
        std::lock_guard<std::mutex> lock(mqtt->m_mutex);
        mqtt->m_connected = true;
    }
    mqtt->subscribeAll();
    mqtt->post({Event::Connected, QString(), QByteArray()});
}

void TetherMqtt::onDisconnect(mosquitto*, void* self, int)
{
    auto* mqtt = static_cast<TetherMqtt*>(self);
    {
        // Subscriptions under way are sent again on the next connection.
        std::lock_guard<std::mutex> lock(mqtt->m_mutex);
        mqtt->m_connected = false;
        mqtt->m_subscriptionsPending = 0;
    }
    mqtt->post({Event::Disconnected, QString(), QByteArray()});
}

void TetherMqtt::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    static_cast<TetherMqtt*>(self)->post({Event::Message, QString::fromUtf8(message->topic), payload});
}

// Marks the message acknowledged; a negative ID stands for one whose
// acknowledgement came before publish() could note it.
void TetherMqtt::onPublish(mosquitto*, void* self, int messageId)
{
    auto* mqtt = static_cast<TetherMqtt*>(self);
    std::lock_guard<std::mutex> lock(mqtt->m_mutex);
    if (!mqtt->m_inFlight.erase(messageId))
        mqtt->m_inFlight.insert(-messageId);
}

void TetherMqtt::onSubscribe(mosquitto*, void* self, int, int, const int*)
{
    auto* mqtt = static_cast<TetherMqtt*>(self);
    std::lock_guard<std::mutex> lock(mqtt->m_mutex);
    mqtt->m_subscriptionsPending = std::max(0, mqtt->m_subscriptionsPending - 1);
}

// Network thread.
void TetherMqtt::post(Event event)
{
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        first = m_events.empty();
        m_events.push_back(std::move(event));
    }
    if (first)
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
}

void TetherMqtt::deliver()
{
    for (;;) {
        Event event;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_events.empty())
                return;
            event = std::move(m_events.front());
            m_events.pop_front();
        }
        if (event.kind == Event::Message)
            emit messageReceived(event.topic, event.payload);
        else
            emit connectionChanged(event.kind == Event::Connected);
    }
}
