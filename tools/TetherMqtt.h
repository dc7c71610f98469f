#ifndef TETHERMQTT_H
#define TETHERMQTT_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <mutex>
#include <set>

struct mosquitto;
struct mosquitto_message;

// One connection to an MQTT broker (MQTT 3.1.1, libmosquitto), for the rig's
// node and controller. libmosquitto runs the network in a thread of its own:
// it reconnects by itself (subscribing again), and the broker publishes the last will when the connection dies
// without a goodbye. What arrives there is queued under a std::mutex (so that
// ThreadSanitizer sees every hand-over) and handed on as signals in the
// thread that made the object. publish() may be called from any thread.
class TetherMqtt : public QObject
{
    Q_OBJECT
public:
    struct Settings {
        QString host = QStringLiteral("127.0.0.1");
        int port = 1883;
        // The broker keeps a session (subscriptions, QoS 1 messages missed
        // while away) for a client ID it sees again unless the session is clean.
        QString clientId;
        bool cleanSession = true;
        QString username;
        QString password;
        // TLS when caFile is set; a client certificate when certFile is.
        QString caFile;
        QString certFile;
        QString keyFile;
        // Published retained by the broker when the connection dies unsaid.
        QString willTopic;
        QByteArray willPayload;
        int keepAliveSeconds = 5;
    };

    explicit TetherMqtt(const Settings& settings, QObject* parent = nullptr);
    // Says goodbye (no last will) and joins the network thread.
    ~TetherMqtt() override;

    // "HOST[:PORT]" into settings; false for a port that is not one.
    static bool readBroker(const QString& text, Settings* settings);

    // Starts connecting; false (with the reason) when the settings cannot
    // be used (a TLS file, a client ID). Reconnects by itself after that.
    bool start(QString* error);
    // Subscribed at QoS 1, now and after every reconnect.
    void subscribe(const QString& filter);
    // At QoS 1. False when libmosquitto refuses the message itself (too
    // large, a bad topic).
    bool publish(const QString& topic, const QByteArray& payload, bool retain = false);
    bool isConnected() const;
    // Connected, and every subscription acknowledged by the broker.
    bool isSubscribed() const;
    // Publishes not yet acknowledged by the broker.
    int unacknowledged() const;
    // Says goodbye: the broker drops the last will. Then nothing more is sent.
    void stop();

signals:
    void connectionChanged(bool connected);
    void messageReceived(const QString& topic, const QByteArray& payload);

private:
    struct Event {
        enum Kind { Connected, Disconnected, Message } kind;
        QString topic;
        QByteArray payload;
    };

    static void onConnect(mosquitto* client, void* self, int result);
    static void onDisconnect(mosquitto* client, void* self, int result);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
    static void onPublish(mosquitto* client, void* self, int messageId);
    static void onSubscribe(mosquitto* client, void* self, int messageId, int count, const int* grantedQos);
    void sendSubscription(const QString& filter);
    void post(Event event);
    Q_INVOKABLE void deliver();
    QString configure();
    void subscribeAll();

    const Settings m_settings;
    mosquitto* m_client = nullptr;
    bool m_started = false;
    mutable std::mutex m_mutex; // guards what follows
    std::deque<Event> m_events;
    QStringList m_filters;
    std::set<int> m_inFlight;
    bool m_connected = false;
    int m_subscriptionsPending = 0;
};

#endif
