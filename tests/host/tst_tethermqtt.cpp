// tether's MQTT connection against a real Mosquitto broker on a free
// loopback port: messages both ways, retained ones, and a broker that goes
// away and comes back (the clients reconnect and subscribe again by
// themselves). Skipped without mosquitto.
#include "TetherMqtt.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QString mosquittoProgram()
{
    const QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {"/usr/sbin"}) : found;
}

// A broker that keeps its sessions across a restart.
class Broker
{
public:
    explicit Broker(const QString& folder)
        : m_port(freePort())
        , m_config(folder + QStringLiteral("/mosquitto.conf"))
    {
        QFile config(m_config);
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                                    "persistence_location %2/\n")
                         .arg(m_port)
                         .arg(folder)
                         .toUtf8());
    }
    ~Broker() { stop(); }

    bool start()
    {
        m_process.start(mosquittoProgram(), {QStringLiteral("-c"), m_config});
        if (!m_process.waitForStarted())
            return false;
        QTcpSocket probe;
        for (int attempt = 0; attempt < 200; ++attempt) {
            probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
            if (probe.waitForConnected(100))
                return true;
            QTest::qWait(50);
        }
        return false;
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished();
    }
    int port() const { return m_port; }

private:
    const int m_port;
    const QString m_config;
    QProcess m_process;
};

TetherMqtt::Settings settingsFor(const Broker& broker, const QString& clientId)
{
    TetherMqtt::Settings settings;
    settings.port = broker.port();
    settings.clientId = clientId;
    settings.cleanSession = false;
    return settings;
}

} // namespace

class TestTetherMqtt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readBroker_data();
    void readBroker();
    void messagesBothWays();
    void retainedForLateSubscribers();
    void brokerRestarted();
    void unusableTlsFile();

private:
    bool startClient(TetherMqtt& client);
    QTemporaryDir m_folder;
};

void TestTetherMqtt::initTestCase()
{
    if (mosquittoProgram().isEmpty())
        QSKIP("mosquitto is not installed");
}

void TestTetherMqtt::readBroker_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("host only") << "broker.lan" << true << "broker.lan" << 1883;
    QTest::newRow("host and port") << "10.0.0.2:8883" << true << "10.0.0.2" << 8883;
    QTest::newRow("port zero") << "host:0" << false << "host" << 0;
    QTest::newRow("port too big") << "host:65536" << false << "host" << 65536;
    QTest::newRow("no port number") << "host:x" << false << "host" << 0;
    QTest::newRow("no host") << ":1883" << false << "127.0.0.1" << 1883;
    QTest::newRow("empty") << "" << false << "127.0.0.1" << 1883;
}

void TestTetherMqtt::readBroker()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    TetherMqtt::Settings settings;
    QCOMPARE(TetherMqtt::readBroker(text, &settings), ok);
    if (ok) {
        QFETCH(QString, host);
        QFETCH(int, port);
        QCOMPARE(settings.host, host);
        QCOMPARE(settings.port, port);
    }
}

bool TestTetherMqtt::startClient(TetherMqtt& client)
{
    QString error;
    return client.start(&error) && QTest::qWaitFor([&client] { return client.isConnected(); }, 10000);
}

void TestTetherMqtt::messagesBothWays()
{
    Broker broker(m_folder.path());
    QVERIFY(broker.start());
    TetherMqtt one(settingsFor(broker, "one"));
    TetherMqtt two(settingsFor(broker, "two"));
    QSignalSpy toOne(&one, &TetherMqtt::messageReceived);
    QSignalSpy toTwo(&two, &TetherMqtt::messageReceived);
    QVERIFY(toOne.isValid() && toTwo.isValid());
    one.subscribe("rig/one/#");
    two.subscribe("rig/+/two");
    QVERIFY(startClient(one));
    QVERIFY(startClient(two));
    QTRY_VERIFY(one.isSubscribed() && two.isSubscribed());
    QVERIFY(two.publish("rig/one/x", "to one"));
    QVERIFY(one.publish("rig/a/two", QByteArray(100000, 'z')));
    QTRY_COMPARE(toOne.count(), 1);
    QTRY_COMPARE(toTwo.count(), 1);
    QCOMPARE(toOne.at(0).at(0).toString(), QStringLiteral("rig/one/x"));
    QCOMPARE(toOne.at(0).at(1).toByteArray(), QByteArray("to one"));
    QCOMPARE(toTwo.at(0).at(1).toByteArray(), QByteArray(100000, 'z'));
    QTRY_COMPARE(one.unacknowledged(), 0);
}

void TestTetherMqtt::retainedForLateSubscribers()
{
    Broker broker(m_folder.path());
    QVERIFY(broker.start());
    {
        TetherMqtt writer(settingsFor(broker, "writer"));
        QVERIFY(startClient(writer));
        QVERIFY(writer.publish("rig/state", "kept", true));
        QTRY_COMPARE(writer.unacknowledged(), 0);
    }
    TetherMqtt reader(settingsFor(broker, "reader"));
    QSignalSpy received(&reader, &TetherMqtt::messageReceived);
    reader.subscribe("rig/state");
    QVERIFY(startClient(reader));
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(1).toByteArray(), QByteArray("kept"));
}

// Both clients come back by themselves, their subscriptions with them.
void TestTetherMqtt::brokerRestarted()
{
    Broker broker(m_folder.path());
    QVERIFY(broker.start());
    TetherMqtt sender(settingsFor(broker, "sender"));
    TetherMqtt receiver(settingsFor(broker, "receiver"));
    QSignalSpy received(&receiver, &TetherMqtt::messageReceived);
    QSignalSpy senderLinks(&sender, &TetherMqtt::connectionChanged);
    receiver.subscribe("rig/command");
    QVERIFY(startClient(sender));
    QVERIFY(startClient(receiver));
    QTRY_VERIFY(receiver.isSubscribed());
    broker.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!sender.isConnected() && !receiver.isConnected(), 10000);
    QVERIFY(broker.start());
    QTRY_VERIFY_WITH_TIMEOUT(sender.isConnected() && receiver.isSubscribed(), 20000);
    QVERIFY(sender.publish("rig/command", "after the restart"));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 10000);
    QCOMPARE(received.at(0).at(1).toByteArray(), QByteArray("after the restart"));
    QTRY_COMPARE(sender.unacknowledged(), 0);
    QVERIFY(senderLinks.count() >= 3);
    QCOMPARE(senderLinks.last().at(0).toBool(), true);
}

void TestTetherMqtt::unusableTlsFile()
{
    TetherMqtt::Settings settings;
    settings.caFile = m_folder.filePath("missing-ca.pem");
    TetherMqtt client(settings);
    QString error;
    QVERIFY(!client.start(&error));
    QVERIFY2(error.contains("missing-ca.pem"), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestTetherMqtt)
#include "tst_tethermqtt.moc"
