#include "TetherServeHttp.h"
#include "TetherServeApi.h"
#include "TetherServeBridge.h"
#include "TetherServeLiveView.h"
#include "TetherServeServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

using httplib::DataSink;
using httplib::Request;
using httplib::Response;

// The request line and headers, whatever they carry, and then the body, each
// within its size and time. A browser opens a handful of connections; the
// streams (16 of each kind at most) count among them.
const TetherServeServer::Limits kLimits = {
    {32 * 1024, 10000, 32, 256}, // head bytes and ms; connections an address and in all
    64 * 1024, 10000,            // body bytes and ms
};
const int kHeartbeatMs = 10000;
const qint64 kFileChunk = 256 * 1024;

const char* const kSecurityHeaders[][2] = {
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-store"},
    {"Content-Security-Policy", "default-src 'self'; img-src 'self' blob:; frame-ancestors 'none'"},
    {"Cross-Origin-Resource-Policy", "same-origin"},
};

httplib::Headers securityHeaders()
{
    httplib::Headers headers;
    for (const auto& header : kSecurityHeaders)
        headers.emplace(header[0], header[1]);
    return headers;
}

void reply(Response& res, const TetherServeReply& answer)
{
    res.status = answer.status;
    res.set_content(answer.body, answer.type.c_str());
}

void refuse(Response& res, int status, const QString& reason)
{
    reply(res, TetherServeReply::error(status, reason));
}

QByteArray contentType(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "image/jpeg";
    if (suffix == QLatin1String("dng"))
        return "image/x-adobe-dng";
    return "application/octet-stream";
}

// Compares without leaking through its time how much of the token matched
// (its length is no secret).
bool sameSecret(const std::string& given, const QByteArray& secret)
{
    if (given.size() != std::size_t(secret.size()))
        return false;
    unsigned char difference = 0;
    for (std::size_t index = 0; index < given.size(); ++index)
        difference |= static_cast<unsigned char>(given[index] ^ secret[int(index)]);
    return difference == 0;
}

// "host:port" or "[::1]:port" without the port.
QString hostOf(const std::string& authority)
{
    const QString text = QString::fromStdString(authority);
    if (text.startsWith('['))
        return text.mid(1, text.indexOf(']') - 1);
    return text.section(':', 0, 0);
}

// "http://host:port" without the scheme.
std::string authorityOfOrigin(const std::string& origin)
{
    const std::size_t start = origin.find("://");
    return start == std::string::npos ? std::string() : origin.substr(start + 3);
}

// What the library's own refusals (no route, a body too large) say.
QString errorText(int status)
{
    switch (status) {
    case 404:
        return QStringLiteral("there is nothing here");
    case 413:
        return QStringLiteral("the request is too large");
    default:
        return QStringLiteral("the request was refused (HTTP %1)").arg(status);
    }
}

// Every part named, none hidden.
bool isVisible(const QString& relative)
{
    for (const QString& part : relative.split('/')) {
        if (part.isEmpty() || part.startsWith('.') || part.contains(QChar(0)))
            return false;
    }
    return true;
}

// The bytes a Range header asks of a file of size bytes: one range, first
// to last, clipped to the file; nothing of the file; or, without a header
// of one range, the whole file (several ranges are answered whole, never
// range by range).
struct ByteRange {
    enum Kind { Whole, Part, Unsatisfiable } kind = Whole;
    qint64 first = 0;
    qint64 last = 0;
};

// A decimal number, at most LLONG_MAX; -1 when empty or not a number.
qint64 rangeNumber(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return errno == ERANGE ? LLONG_MAX : value;
}

ByteRange byteRange(const std::string& header, qint64 size)
{
    const ByteRange whole{ByteRange::Whole, 0, size - 1};
    const std::string unit = "bytes=";
    const std::size_t dash = header.find('-');
    if (header.compare(0, unit.size(), unit) != 0 || header.find(',') != std::string::npos || dash == std::string::npos)
        return whole;
    const std::string from = header.substr(unit.size(), dash - unit.size());
    const std::string to = header.substr(dash + 1);
    const qint64 first = rangeNumber(from);
    const qint64 last = rangeNumber(to);
    if (from.empty() && last > 0 && size > 0) // the file's last bytes
        return {ByteRange::Part, std::max<qint64>(0, size - last), size - 1};
    if (from.empty() && last == 0)
        return {ByteRange::Unsatisfiable};
    if (first < 0 || (!to.empty() && (last < 0 || last < first)))
        return whole;
    if (first >= size)
        return {ByteRange::Unsatisfiable};
    return {ByteRange::Part, first, to.empty() ? size - 1 : std::min(last, size - 1)};
}

struct FileStream {
    QFile file;
    QByteArray chunk;
};

} // namespace

struct TetherServeHttp::Private {
    Private(const Settings& settings, TetherServeBridge& bridge, TetherServeApi* api, TetherServeFeed& events,
            TetherServeLiveView* liveView, const std::vector<Route>& routes)
        : settings(settings)
        , token(settings.token.toUtf8())
        , folder(QDir(settings.folder).canonicalPath())
        , bridge(bridge)
        , api(api)
        , events(events)
        , liveView(liveView)
        , routes(routes)
        , server(kLimits, securityHeaders())
    {
    }

    void route();
    void routeCamera();
    void routeOthers();
    void limit();
    httplib::Server::HandlerResponse admit(const Request& req, Response& res) const;
    bool hasToken(const Request& req) const;
    bool isPage(const std::string& path) const;
    void ask(Response& res, const TetherServeBridge::Job& job) const;
    void page(const QString& name, Response& res) const;
    void setProperty(const Request& req, Response& res) const;
    void followEvents(const Request& req, Response& res) const;
    void watchLiveView(Response& res) const;
    void stream(Response& res, TetherServeFeed& feed, const TetherServeFeed::ClientPtr& client, const char* type,
                const std::string& heartbeat, std::function<void()> left) const;
    void sendFile(const Request& req, Response& res) const;
    void sendBytes(Response& res, const QString& path, const ByteRange& range) const;
    int resolve(const QString& relative, QString* path) const;

    const Settings settings;
    const QByteArray token;
    const QString folder;
    TetherServeBridge& bridge;
    TetherServeApi* const api; // null for an API of other routes
    TetherServeFeed& events;
    TetherServeLiveView* const liveView;
    const std::vector<Route> routes;
    TetherServeServer server;
    int port = 0;
    bool running = false;
};

TetherServeHttp::TetherServeHttp(const Settings& settings, TetherServeBridge& bridge, TetherServeApi& api,
                                 TetherServeLiveView& liveView)
    : d(std::make_unique<Private>(settings, bridge, &api, api.events(), &liveView, std::vector<Route>()))
{
}

TetherServeHttp::TetherServeHttp(const Settings& settings, TetherServeBridge& bridge, TetherServeFeed& events,
                                 const std::vector<Route>& routes)
    : d(std::make_unique<Private>(settings, bridge, nullptr, events, nullptr, routes))
{
}

TetherServeHttp::~TetherServeHttp()
{
    stop();
}

bool TetherServeHttp::isLoopback(const QString& host)
{
    const QByteArray text = host.toLatin1();
    in_addr v4;
    in6_addr v6;
    if (inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    if (inet_pton(AF_INET6, text.constData(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6);
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

bool TetherServeHttp::start(QString* error)
{
    d->limit();
    d->route();
    d->port = d->server.bindPort(d->settings.address.toStdString(), d->settings.port);
    if (d->port <= 0 || !d->server.serve()) {
        *error = QStringLiteral("cannot serve on %1 port %2: another program serves there, or the address is not "
                                "this machine's")
                     .arg(d->settings.address)
                     .arg(d->settings.port);
        return false;
    }
    d->running = true;
    return true;
}

int TetherServeHttp::port() const
{
    return d->port;
}

void TetherServeHttp::stop()
{
    if (!d->running)
        return;
    d->running = false;
    d->events.endAll(true);
    if (d->liveView)
        d->liveView->feed().endAll(true);
    d->bridge.close();
    d->server.stopServing();
}

// --- Who gets in ----------------------------------------------------------------------

void TetherServeHttp::Private::limit()
{
    server.set_payload_max_length(kLimits.bodyBytes);
    server.set_pre_routing_handler([this](const Request& req, Response& res) { return admit(req, res); });
    server.set_error_handler([](const Request&, Response& res) {
        if (res.body.empty())
            refuse(res, res.status, errorText(res.status));
    });
}

// The page's own files hold nothing of the camera's: they load without the
// token (their addresses carry none), and the page then adds it to each
// request it makes.
bool TetherServeHttp::Private::isPage(const std::string& path) const
{
    return path == "/" || (path.size() > 1 && settings.assets.contains(QString::fromStdString(path.substr(1)))
                           && path != "/index.html");
}

// Beyond loopback the token keeps strangers out; on loopback the host name
// keeps out pages that rebind their own name to 127.0.0.1. Whatever a page
// of another origin asks is refused either way: reading can have effects
// (live view starts for a watcher) and takes places that browsers of the set need.
httplib::Server::HandlerResponse TetherServeHttp::Private::admit(const Request& req, Response& res) const
{
    const std::string host = req.get_header_value("Host");
    if (!token.isEmpty() && !hasToken(req) && !isPage(req.path)) {
        refuse(res, 401, QStringLiteral("this needs the token: open the address tether serve printed"));
    } else if (token.isEmpty() && !isLoopback(hostOf(host))) {
        refuse(res, 403, QStringLiteral("tether serve answers only to its loopback address"));
    } else if (req.has_header("Origin") && authorityOfOrigin(req.get_header_value("Origin")) != host) {
        refuse(res, 403, QStringLiteral("a request from a page of another origin is refused"));
    } else {
        return httplib::Server::HandlerResponse::Unhandled;
    }
    return httplib::Server::HandlerResponse::Handled;
}

bool TetherServeHttp::Private::hasToken(const Request& req) const
{
    const std::string bearer = "Bearer ";
    const std::string authorization = req.get_header_value("Authorization");
    if (authorization.compare(0, bearer.size(), bearer) == 0)
        return sameSecret(authorization.substr(bearer.size()), token);
    return sameSecret(req.get_param_value("token"), token);
}

// --- Routes ---------------------------------------------------------------------------

void TetherServeHttp::Private::route()
{
    for (auto asset = settings.assets.cbegin(); asset != settings.assets.cend(); ++asset) {
        const QString name = asset.key();
        const std::string path = name == QLatin1String("index.html") ? "/" : "/" + name.toStdString();
        server.Get(path, [this, name](const Request&, Response& res) { page(name, res); });
    }
    server.Get("/api/events", [this](const Request& req, Response& res) { followEvents(req, res); });
    if (api)
        routeCamera();
    else
        routeOthers();
}

void TetherServeHttp::Private::routeOthers()
{
    for (const Route& route : routes) {
        const auto handler = [this, &route](const Request& req, Response& res) {
            std::vector<std::string> captures;
            for (std::size_t group = 1; group < req.matches.size(); ++group)
                captures.push_back(req.matches[group].str());
            ask(res, route.job(captures, req.body));
        };
        if (route.method == "POST")
            server.Post(route.pattern, handler);
        else
            server.Get(route.pattern, handler);
    }
}

void TetherServeHttp::Private::routeCamera()
{
    server.Get("/api/camera", [this](const Request&, Response& res) {
        ask(res, [this](const TetherServeBridge::Answer& answer) { answer(api->camera()); });
    });
    server.Get("/api/properties", [this](const Request&, Response& res) {
        ask(res, [this](const TetherServeBridge::Answer& answer) { answer(api->properties()); });
    });
    server.Get(R"(/api/properties/(\w+))", [this](const Request& req, Response& res) {
        const QString name = QString::fromStdString(req.matches[1]);
        ask(res, [this, name](const TetherServeBridge::Answer& answer) { answer(api->property(name)); });
    });
    server.Put(R"(/api/properties/(\w+))", [this](const Request& req, Response& res) { setProperty(req, res); });
    server.Post(R"(/api/properties/(\w+))", [this](const Request& req, Response& res) { setProperty(req, res); });
    server.Post("/api/release", [this](const Request&, Response& res) {
        ask(res, [this](const TetherServeBridge::Answer& answer) { answer(api->release()); });
    });
    server.Get("/api/pictures", [this](const Request&, Response& res) {
        ask(res, [this](const TetherServeBridge::Answer& answer) { answer(api->pictures()); });
    });
    server.Get(R"(/api/pictures/(\d{1,9})/thumbnail)", [this](const Request& req, Response& res) {
        const int picture = std::stoi(req.matches[1]);
        ask(res, [this, picture](const TetherServeBridge::Answer& answer) { answer(api->thumbnail(picture)); });
    });
    server.Get("/api/card", [this](const Request& req, Response& res) {
        const int offset = std::atoi(req.get_param_value("offset").c_str());
        const int limit = std::atoi(req.get_param_value("limit").c_str());
        ask(res, [this, offset, limit](const TetherServeBridge::Answer& answer) {
            answer(api->card().page(offset, limit));
        });
    });
    server.Get(R"(/api/card/(\d{1,10})/thumbnail)", [this](const Request& req, Response& res) {
        const quint32 id = quint32(std::stoul(req.matches[1]));
        ask(res, [this, id](const TetherServeBridge::Answer& answer) { answer(api->card().thumbnail(id)); });
    });
    server.Get(R"(/api/card/(\d{1,10})/file)", [this](const Request& req, Response& res) {
        const quint32 id = quint32(std::stoul(req.matches[1]));
        ask(res, [this, id](const TetherServeBridge::Answer& answer) { answer(api->card().file(id)); });
    });
    server.Post("/api/card/import", [this](const Request&, Response& res) {
        ask(res, [this](const TetherServeBridge::Answer& answer) { answer(api->card().importNew()); });
    });
    server.Get("/api/liveview", [this](const Request&, Response& res) { watchLiveView(res); });
    server.Get(R"(/files/(.+))", [this](const Request& req, Response& res) { sendFile(req, res); });
}

void TetherServeHttp::Private::ask(Response& res, const TetherServeBridge::Job& job) const
{
    reply(res, bridge.ask(job, settings.answerMs));
}

void TetherServeHttp::Private::page(const QString& name, Response& res) const
{
    const auto& asset = settings.assets[name];
    res.set_content(asset.first.constData(), std::size_t(asset.first.size()), asset.second.constData());
}

void TetherServeHttp::Private::setProperty(const Request& req, Response& res) const
{
    const QString name = QString::fromStdString(req.matches[1]);
    const std::string body = req.body;
    ask(res, [this, name, body](const TetherServeBridge::Answer& answer) { api->setProperty(name, body, answer); });
}

// --- Streams ----------------------------------------------------------------------------

// A browser that comes back names the last event it has; it gets what it
// missed, as far as the feed keeps it.
void TetherServeHttp::Private::followEvents(const Request& req, Response& res) const
{
    std::optional<std::uint64_t> resumeAfter;
    if (req.has_header("Last-Event-ID"))
        resumeAfter = std::strtoull(req.get_header_value("Last-Event-ID").c_str(), nullptr, 10);
    const TetherServeFeed::ClientPtr client = events.join(resumeAfter);
    if (!client) {
        refuse(res, 503, QStringLiteral("too many browsers follow the events"));
        return;
    }
    stream(res, events, client, "text/event-stream", ":\n\n", [] {});
}

void TetherServeHttp::Private::watchLiveView(Response& res) const
{
    const TetherServeReply offered = bridge.ask(
        [this](const TetherServeBridge::Answer& answer) { answer(api->liveView()); }, settings.answerMs);
    if (offered.status != 200) {
        reply(res, offered);
        return;
    }
    const TetherServeFeed::ClientPtr client = liveView->feed().join();
    if (!client) {
        refuse(res, 503, QStringLiteral("too many browsers watch the live view"));
        return;
    }
    liveView->watchersChanged();
    const std::string type = std::string("multipart/x-mixed-replace; boundary=") + TetherServeLiveView::kBoundary;
    stream(res, liveView->feed(), client, type.c_str(), std::string(), [this] { liveView->watchersChanged(); });
}

// The client's pieces until its stream ends; the feed waits, never the
// publisher. While nothing comes, a heartbeat (where the stream has one)
// finds out whether the browser is still there.
void TetherServeHttp::Private::stream(Response& res, TetherServeFeed& feed, const TetherServeFeed::ClientPtr& client,
                                      const char* type, const std::string& heartbeat, std::function<void()> left) const
{
    res.set_chunked_content_provider(
        type,
        [&feed, client, heartbeat](std::size_t, DataSink& sink) {
            TetherServeFeed::PiecePtr piece;
            switch (feed.next(client, &piece, kHeartbeatMs)) {
            case TetherServeFeed::Next::Piece:
                return sink.write(piece->bytes.data(), piece->bytes.size());
            case TetherServeFeed::Next::Idle:
                return heartbeat.empty() || sink.write(heartbeat.data(), heartbeat.size());
            case TetherServeFeed::Next::Ended:
                sink.done();
                return true;
            }
            return false;
        },
        [&feed, client, left](bool) {
            feed.leave(client);
            left();
        });
}

// --- Files ------------------------------------------------------------------------------

void TetherServeHttp::Private::sendFile(const Request& req, Response& res) const
{
    QString path;
    const int status = resolve(QString::fromStdString(req.matches[1]), &path);
    if (status != 200) {
        refuse(res, status, status == 403 ? QStringLiteral("files come from the pictures folder only")
                                          : QStringLiteral("there is no such file"));
        return;
    }
    const qint64 size = QFileInfo(path).size();
    const ByteRange range = byteRange(req.get_header_value("Range"), size);
    res.set_header("Accept-Ranges", "bytes");
    if (range.kind == ByteRange::Unsatisfiable) {
        res.set_header("Content-Range", "bytes */" + std::to_string(size));
        refuse(res, 416, QStringLiteral("the range asks for nothing of the file's %1 bytes").arg(size));
        return;
    }
    if (range.kind == ByteRange::Part) {
        res.status = 206;
        res.set_header("Content-Range", "bytes " + std::to_string(range.first) + '-' + std::to_string(range.last) + '/'
                                            + std::to_string(size));
    }
    sendBytes(res, path, range);
}

// Streamed from the file a chunk at a time; a file that shrinks meanwhile
// ends the answer short, and the connection with it.
void TetherServeHttp::Private::sendBytes(Response& res, const QString& path, const ByteRange& range) const
{
    auto stream = std::make_shared<FileStream>();
    stream->file.setFileName(path);
    if (!stream->file.open(QIODevice::ReadOnly)) {
        refuse(res, 404, QStringLiteral("there is no such file"));
        return;
    }
    const qint64 first = range.first;
    const qint64 length = range.last - range.first + 1;
    if (length == 0) {
        res.set_content(std::string(), contentType(path).constData());
        return;
    }
    res.set_content_provider(std::size_t(length), contentType(path).constData(),
                             [stream, first](std::size_t offset, std::size_t length, DataSink& sink) {
                                 const qint64 size = std::min<qint64>(qint64(length), kFileChunk);
                                 stream->chunk.resize(int(size));
                                 return stream->file.seek(first + qint64(offset))
                                     && stream->file.read(stream->chunk.data(), size) == size
                                     && sink.write(stream->chunk.constData(), std::size_t(size));
                             });
}

// 200 with the canonical path of a regular file inside the folder; 403 for
// anything that would leave it (.., links pointing out) or show a hidden
// name, asked for or led to by a link; 404 for what is not there.
int TetherServeHttp::Private::resolve(const QString& relative, QString* path) const
{
    if (!isVisible(relative))
        return 403;
    const QString canonical = QFileInfo(QDir(folder).filePath(relative)).canonicalFilePath();
    if (canonical.isEmpty())
        return 404;
    if (!canonical.startsWith(folder + '/') || !isVisible(canonical.mid(folder.size() + 1)))
        return 403;
    if (!QFileInfo(canonical).isFile())
        return 404;
    *path = canonical;
    return 200;
}
