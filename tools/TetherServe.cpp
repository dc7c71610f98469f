#include "TetherServe.h"
#include "TetherPictures.h"
#include "TetherServeApi.h"
#include "TetherServeBridge.h"
#include "TetherServeHttp.h"
#include "TetherServeLiveView.h"
#include "TetherShooting.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSysInfo>

namespace {

const int kDefaultPort = 8080;
// A request waits this much longer than the camera's own timeout.
const int kAnswerMarginMs = 5000;

const char* const kAssetTypes[][2] = {
    {"html", "text/html; charset=utf-8"},
    {"js", "text/javascript; charset=utf-8"},
    {"css", "text/css; charset=utf-8"},
};

// The page's files, built into the program under :/FOLDER/.
QMap<QString, QPair<QByteArray, QByteArray>> pageAssets(const QString& folder)
{
    QMap<QString, QPair<QByteArray, QByteArray>> assets;
    const QDir resources(QStringLiteral(":/") + folder);
    for (const auto& type : kAssetTypes) {
        for (const QString& name : resources.entryList({QStringLiteral("*.") + QLatin1String(type[0])}, QDir::Files)) {
            QFile file(resources.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                assets.insert(name, qMakePair(file.readAll(), QByteArray(type[1])));
        }
    }
    return assets;
}

// 128 random bits as hex.
QString newToken()
{
    QString token;
    for (int word = 0; word < 4; ++word)
        token += QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0');
    return token;
}

// Where the server is reached: every interface by the machine's name.
QString serverAddress(const TetherServeHttp::Settings& settings, int port)
{
    QString host = settings.address;
    if (host == QLatin1String("0.0.0.0") || host == QLatin1String("::"))
        host = QSysInfo::machineHostName();
    else if (host.contains(':'))
        host = '[' + host + ']';
    return QStringLiteral("http://%1:%2/").arg(host).arg(port);
}

QString withToken(const QString& address, const QString& token)
{
    return address + (token.isEmpty() ? QString() : QStringLiteral("?token=") + token);
}

} // namespace

QList<QCommandLineOption> TetherServe::options()
{
    return stationOptions(kDefaultPort);
}

QList<QCommandLineOption> TetherServe::listenOptions(int defaultPort)
{
    return {
        {"port", QStringLiteral("The port to serve on, 0 for a free one (default %1).").arg(defaultPort), "N",
         QString::number(defaultPort)},
        {"listen", "The address to serve on (default 127.0.0.1); beyond loopback every request needs the token "
                   "in the printed address.",
         "ADDR", "127.0.0.1"},
    };
}

bool TetherServe::httpSettings(const QCommandLineParser& arguments, bool alwaysToken, const QString& page,
                               TetherServeHttp::Settings* settings)
{
    bool portOk = false;
    settings->port = arguments.value("port").toInt(&portOk);
    settings->address = arguments.value("listen");
    if (alwaysToken || !TetherServeHttp::isLoopback(settings->address))
        settings->token = newToken();
    settings->assets = pageAssets(page);
    return portOk && settings->port >= 0 && settings->port <= 65535 && !settings->address.isEmpty();
}

QString TetherServe::pageAddress(const TetherServeHttp::Settings& settings, int port)
{
    return withToken(serverAddress(settings, port), settings.token);
}

QList<QCommandLineOption> TetherServe::stationOptions(int defaultPort)
{
    QList<QCommandLineOption> options = listenOptions(defaultPort);
    options << QCommandLineOption("out",
                                  "Folder for the pictures, and the only folder the browsers can read files from "
                                  "(default: pictures).",
                                  "DIR", "pictures");
    for (const QCommandLineOption& option : TetherShooting::pictureOptions()) {
        if (!option.names().contains(QStringLiteral("out")))
            options << option;
    }
    return options;
}

int TetherServe::run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    if (!words.isEmpty()) {
        session.output().error(QStringLiteral("serve takes options only (tether serve --help)"));
        return kExitUsage;
    }
    return serve(session, arguments, false, [&session, &arguments](const Station& station) {
        session.output().result(QStringLiteral("serving the camera at %1 (pictures go to %2), Ctrl-C ends")
                                    .arg(withToken(station.address, station.token),
                                         QDir::toNativeSeparators(arguments.value("out"))));
        return true;
    });
}

int TetherServe::serve(TetherSession& session, const QCommandLineParser& arguments, bool alwaysToken,
                       const std::function<bool(const Station&)>& started, const std::function<void()>& finishing)
{
    TetherServeHttp::Settings settings;
    if (!httpSettings(arguments, alwaysToken, QStringLiteral("web"), &settings)) {
        session.output().error(QStringLiteral("--port takes 0 to 65535 and --listen an address"));
        return kExitUsage;
    }
    session.setLongRunning(true);
    TetherPictures pictures(TetherShooting::pictureSettings(arguments), session.output());
    if (!TetherShooting::beginShooting(session, pictures))
        return kExitUsage;
    // The page shows the card's room as pictures take it.
    BRX_SDK_setWantCardRoom(true);
    TetherServeLiveView liveView(session);
    session.addFrameSink(&liveView);
    TetherServeApi api(session, pictures, liveView, arguments.value("out"));
    TetherServeBridge bridge;
    settings.folder = arguments.value("out");
    settings.answerMs = session.options().timeoutMs + kAnswerMarginMs;
    TetherServeHttp http(settings, bridge, api, liveView);
    QString error;
    bool serving = http.start(&error);
    if (serving) {
        serving = started({pictures, api, serverAddress(settings, http.port()), settings.token});
        if (serving) {
            session.startVirtualCameraConsole();
            session.waitFor([] { return false; }, -1);
        }
        finishing();
        http.stop();
    } else {
        session.output().error(error);
    }
    session.removeFrameSink(&liveView);
    return serving ? TetherShooting::endShooting(session, pictures, kExitOk)
                   : TetherShooting::endShooting(session, pictures, kExitUsage, TetherShooting::kSummaryNone);
}
