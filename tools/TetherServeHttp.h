#ifndef TETHERSERVEHTTP_H
#define TETHERSERVEHTTP_H

#include <QByteArray>
#include <QMap>
#include <QString>

#include "TetherServeBridge.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TetherServeApi;
class TetherServeFeed;
class TetherServeLiveView;

// The HTTP side of tether serve, on cpp-httplib: the page, the API (asked of
// the host thread through the bridge), the event and live-view streams and
// the saved files. It lets in only who belongs: loopback addresses by name
// unless it listens beyond them, and then only requests that carry the
// token; nothing for pages of another origin; files from the folder alone;
// bounded heads, bodies, connections and streams. Runs its own threads.
class TetherServeHttp
{
public:
    struct Settings {
        QString address;  // where to listen, 127.0.0.1 unless told otherwise
        int port = 0;     // 0: a free port
        QString token;    // asked of every request when not empty
        QString folder;   // the only folder files come from
        int answerMs = 0; // how long a request waits for the host thread
        // The page's files by name ("index.html"), each with its content type.
        QMap<QString, QPair<QByteArray, QByteArray>> assets;
    };

    // A route of an API other than the camera's (tether rig serve): made in
    // an HTTP thread from the request's captures and body, its job answers
    // in the host thread.
    struct Route {
        std::string method; // "GET" or "POST"
        std::string pattern;
        std::function<TetherServeBridge::Job(const std::vector<std::string>& captures, const std::string& body)> job;
    };

    TetherServeHttp(const Settings& settings, TetherServeBridge& bridge, TetherServeApi& api,
                    TetherServeLiveView& liveView);
    // The page, the events and these routes, behind the same door; no
    // camera, no live view and no files.
    TetherServeHttp(const Settings& settings, TetherServeBridge& bridge, TetherServeFeed& events,
                    const std::vector<Route>& routes);
    ~TetherServeHttp();

    // Binds and serves; false with a reason when the address cannot be bound.
    bool start(QString* error);
    // The port bound.
    int port() const;
    // Ends the streams, wakes the waiting requests and stops serving. Once.
    void stop();

    // localhost, 127.0.0.0/8 and ::1.
    static bool isLoopback(const QString& host);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

#endif
