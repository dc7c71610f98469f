#ifndef TETHERSERVE_H
#define TETHERSERVE_H

#include "TetherServeHttp.h"
#include "TetherSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

#include <functional>

class TetherPictures;
class TetherServeApi;

// The serve subcommand: a page and an HTTP API for the connected camera, for
// the browsers on the set: live view, the settings, the shutter and the
// pictures as they land, which are saved as watch saves them. Until Ctrl-C.
class TetherServe
{
public:
    static QList<QCommandLineOption> options();
    static int run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);

    // What a subcommand that serves as serve does (tether node) is handed
    // once the HTTP side is up.
    struct Station {
        TetherPictures& pictures;
        TetherServeApi& api;
        QString address; // "http://HOST:PORT/"
        QString token;   // what every request needs; empty on loopback without one
    };
    // --port (with its default), --listen, --out, --filename and --exec.
    static QList<QCommandLineOption> stationOptions(int defaultPort);
    // --port and --listen alone.
    static QList<QCommandLineOption> listenOptions(int defaultPort);
    // The HTTP side's address, port and token (beyond loopback, or always
    // when alwaysToken) from --listen and --port, with the page built in
    // under the resource folder page; false for values that cannot be used.
    static bool httpSettings(const QCommandLineParser& arguments, bool alwaysToken, const QString& page,
                             TetherServeHttp::Settings* settings);
    // The address a browser opens, token included.
    static QString pageAddress(const TetherServeHttp::Settings& settings, int port);
    // Serves as run does, with a token even on loopback when alwaysToken,
    // and calls started once serving; events run until Ctrl-C, or at once
    // to the end when started returns false. finishing runs then, while
    // the station still stands.
    static int serve(TetherSession& session, const QCommandLineParser& arguments, bool alwaysToken,
                     const std::function<bool(const Station&)>& started,
                     const std::function<void()>& finishing = [] {});
};

#endif
