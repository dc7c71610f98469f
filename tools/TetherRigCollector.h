#ifndef TETHERRIGCOLLECTOR_H
#define TETHERRIGCOLLECTOR_H

#include "TetherMqtt.h"
#include "TetherRigTopics.h"
#include "TetherSession.h"

#include <QCommandLineParser>
#include <QDir>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSet>

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

    TetherRigCollector(TetherSession& session, TetherRigClient& rig, const QString& folder);
    ~TetherRigCollector() override;

    // Fetches what is waiting of the nodes that can be reached now.
    void fetchWaiting();
    // Files announced and not in the folder yet; files that were not what
    // their announcement said, fetched twice.
    int waiting() const { return m_waiting.size(); }
    int failures() const { return m_failures; }
    QString summary() const;

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
    QSet<QString> m_known;
    QList<QJsonObject> m_waiting;
    int m_fetched = 0;
    int m_present = 0;
    int m_failures = 0;
    qint64 m_bytes = 0;
    // By node address.
    std::map<std::string, std::unique_ptr<httplib::Client>> m_clients;
};

#endif
