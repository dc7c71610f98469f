#ifndef TETHERRIGCOLLECTOR_H
#define TETHERRIGCOLLECTOR_H

#include "TetherMqtt.h"
#include "TetherRigTopics.h"
#include "TetherSession.h"

#include <QCommandLineParser>
#include <QDir>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <map>
#include <memory>
#include <string>

namespace httplib {
class Client;
}

class TetherRigClient;

// tether rig collect: every picture file the nodes announce, fetched from
// each node over HTTP (with the token its state carries) into
// DIR/SHOT/LABEL-NAME. A file lands under its name only once its size and
// SHA-256 are those announced; a fetch that breaks goes on from where it
// stopped (a ".part" file and a Range request), and a file already in place
// is not fetched again, so a collector that restarts takes up where it was.
// It asks every node to announce its files again when it starts and each
// time it comes back to the broker. Without follow it ends once every
// node online has answered and its files are in. Host thread.
class TetherRigCollector : public QObject
{
    Q_OBJECT
public:
    static int run(TetherSession& session, const QCommandLineParser& arguments, TetherMqtt::Settings settings,
                   const TetherRigTopics& topics);

    // The broker's settings for a collector of folder: a session of its
    // own kept at the broker, so that what is announced while it is away
    // waits for it.
    static TetherMqtt::Settings sessionFor(TetherMqtt::Settings settings, const TetherRigTopics& topics,
                                           const QString& folder);

    TetherRigCollector(TetherSession& session, TetherRigClient& rig, const QString& folder);
    ~TetherRigCollector() override;

    // Goes on fetching what is announced, and asks the nodes to announce
    // again each time mqtt is back at the broker.
    void follow(TetherMqtt& mqtt);
    // Fetches what is waiting of the nodes that can be reached now.
    void fetchWaiting();
    // Files announced and not in the folder yet; files that were not what
    // their announcement said, fetched twice.
    int waiting() const { return m_waiting.size(); }
    int failures() const { return m_failures; }
    QString summary() const;
    // {"folder", "fetched", "present", "waiting", "failures", "bytes",
    //  "shots": [{"shot", "announced", "collected"}]}, the shots in order.
    QJsonObject progress() const;

signals:
    // A file was announced, or collected.
    void progressed();

private:
    void catchFile(const QJsonObject& file);
    // False when the file could not be fetched now; it stays waiting.
    bool fetch(const QJsonObject& file);
    bool download(const QJsonObject& file, const QJsonObject& http, const QString& part);
    QString target(const QJsonObject& file) const;
    static bool isUsable(const QJsonObject& file);

    TetherSession& m_session;
    TetherRigClient& m_rig;
    const QDir m_folder;
    struct ShotFiles {
        int announced = 0;
        int collected = 0;
    };

    void collected(const QJsonObject& file);

    QSet<QString> m_known;
    QMap<QString, ShotFiles> m_shots;
    QTimer m_poll;
    QList<QJsonObject> m_waiting;
    int m_fetched = 0;
    int m_present = 0;
    int m_failures = 0;
    qint64 m_bytes = 0;
    // By node address.
    std::map<std::string, std::unique_ptr<httplib::Client>> m_clients;
};

#endif
