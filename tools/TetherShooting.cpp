#include "TetherShooting.h"
#include "BRX_SDK.h"
#include "TetherCard.h"
#include "TetherProperties.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

namespace {

// Without a camera for this long, watch says it is waiting for one.
const int kWaitingNoticeMs = 1000;

QCommandLineOption setOption()
{
    return {"set",
            "Set a property before the first release, as tether set does (repeat it for several, applied in "
            "order, each confirmed by the camera): --set Aperture=f/8.",
            "NAME=VALUE"};
}

// The settings --set asks for; false, with the reason, for one that names no property.
bool readSettingOptions(const QCommandLineParser& arguments, QList<TetherProperties::Setting>* settings,
                        QString* reason)
{
    for (const QString& word : arguments.values("set")) {
        TetherProperties::Setting setting;
        if (!TetherProperties::readAssignment(word, &setting, reason))
            return false;
        settings->append(setting);
    }
    return true;
}

} // namespace

QList<QCommandLineOption> TetherShooting::pictureOptions()
{
    return {
        {"out", "Folder for the pictures (default: the current folder).", "DIR", "."},
        {"filename",
         "File names from {name} (the camera's), {date}, {time}, {counter}, {ext}, {serial} (the camera's serial "
         "number), {label} (--label) and strftime's %Y %y %m %d %H %M %S %j; folders ({date}/{name}) are made inside --out, a name without an extension gets the "
         "file's, an existing file is never overwritten (default: {name}.{ext}).",
         "PATTERN", "{name}.{ext}"},
        {"exec", "Run CMD with each saved file's path as its last argument; a command that fails makes the "
                 "exit status 1.",
         "CMD"},
    };
}

QList<QCommandLineOption> TetherShooting::captureOptions()
{
    return QList<QCommandLineOption>{
               {"n", "Take N pictures (default 1).", "N", "1"},
               {"interval", "Seconds between the pictures (default 0).", "S", "0"},
               setOption(),
           }
        + pictureOptions() + QList<QCommandLineOption>{TetherProperties::jsonOption()};
}

QList<QCommandLineOption> TetherShooting::watchOptions()
{
    return pictureOptions()
        + QList<QCommandLineOption>{{"json", "One JSON object per line for scripts: each file saved, each "
                                             "setting changed, the camera coming and going, the summary."}};
}

TetherPictures::Settings TetherShooting::pictureSettings(const QCommandLineParser& arguments)
{
    TetherPictures::Settings settings;
    settings.folder = arguments.value("out");
    settings.pattern = arguments.value("filename");
    settings.command = arguments.value("exec");
    settings.label = arguments.value("label");
    return settings;
}

bool TetherShooting::beginShooting(TetherSession& session, TetherPictures& pictures)
{
    if (!pictures.prepare() || !session.start())
        return false;
    session.addFrameSink(&pictures);
    session.setWantQuickView(true);
    BRX_SDK_setWantReleaseEnd(true);
    return true;
}

int TetherShooting::endShooting(TetherSession& session, TetherPictures& pictures, int result, Summary summary)
{
    finishInFlight(session, pictures);
    if (summary == kSummaryText)
        session.output().result(pictures.summary());
    else if (summary != kSummaryNone)
        session.output().json(pictures.summaryJson(), summary == kSummaryJsonLine);
    session.shutdown();
    session.removeFrameSink(&pictures);
    const bool failed = pictures.failures() > 0 || pictures.commandFailures() > 0;
    return result == kExitOk && failed ? kExitCamera : result;
}

int TetherShooting::capture(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    bool countOk = false;
    bool intervalOk = false;
    const int count = arguments.value("n").toInt(&countOk);
    const double interval = arguments.value("interval").toDouble(&intervalOk);
    QList<TetherProperties::Setting> settings;
    QString reason;
    if (!countOk || count < 1 || !intervalOk || interval < 0.0 || !words.isEmpty())
        reason = QStringLiteral("capture takes -n N (1 or more) and --interval S (0 or more)");
    if (!reason.isEmpty() || !readSettingOptions(arguments, &settings, &reason)) {
        session.output().error(reason);
        return kExitUsage;
    }
    const bool json = arguments.isSet("json");
    TetherPictures pictures(pictureSettings(arguments), session.output());
    if (!beginShooting(session, pictures))
        return kExitUsage;
    if (!session.waitForCamera(session.options().timeoutMs)) {
        session.shutdown();
        session.removeFrameSink(&pictures);
        return kExitCamera;
    }
    const int applied = TetherProperties(session).apply(settings);
    if (applied != kExitOk)
        return endShooting(session, pictures, applied, summaryFor(json));
    session.setPatient(session.options().timeoutMs);
    const bool complete = release(session, pictures, count, int(std::lround(interval * 1000.0)));
    // A release the camera refused was said as it came.
    if (!complete && pictures.refusedReleases() == 0)
        session.output().error(pictures.emptyReleaseEnds() > 0 && pictures.pictures() < count
                                   ? QStringLiteral("the camera took no picture")
                                   : QStringLiteral("%1 of %2 pictures arrived").arg(pictures.pictures()).arg(count));
    return endShooting(session, pictures, complete ? kExitOk : kExitCamera, summaryFor(json));
}

bool TetherShooting::isMirrorUpOn()
{
    bool on = false;
    BRX_SDK_PropertyDescription description{};
    return BRX_SDK_describeProperty(BRX_SDK_Property::MirrorUpMode, &description) && description.supported
        && BRX_SDK_getProperty(BRX_SDK_Property::MirrorUpMode, &on, sizeof on) && on;
}

void TetherShooting::takePicture(TetherSession& session, int shot, int count)
{
    const bool mirrorUp = isMirrorUpOn();
    session.output().progress(QStringLiteral("release %1 of %2%3")
                                  .arg(shot)
                                  .arg(count)
                                  .arg(mirrorUp ? QStringLiteral(": mirror up, then the exposure") : QString()));
    BRX_SDK_capture();
    if (!mirrorUp)
        return;
    session.waitFor([] { return false; }, kMirrorUpPauseMs, false);
    BRX_SDK_capture();
}

// Releases that overlap share one end, and a camera may still be writing a
// picture when the files it had waiting are in: the end that counts is one
// that comes after every picture has begun. An end without a file after the
// last press says the camera took nothing.
bool TetherShooting::release(TetherSession& session, const TetherPictures& pictures, int count, int intervalMs)
{
    const int before = pictures.pictures();
    int emptyBefore = 0;
    const int refusedBefore = pictures.refusedReleases();
    for (int shot = 1; shot <= count; ++shot) {
        if (shot > 1 && intervalMs > 0)
            session.waitFor([] { return false; }, intervalMs);
        if (session.isInterrupted() || session.isLost()
            || (!session.isConnected() && !session.waitForCamera(session.options().timeoutMs)))
            return false;
        emptyBefore = pictures.emptyReleaseEnds();
        takePicture(session, shot, count);
    }
    const int timeoutMs = session.options().timeoutMs;
    // The camera's silence counts from the last release at the earliest:
    // the pictures' quiet time may have begun long before it.
    QElapsedTimer sinceRelease;
    sinceRelease.start();
    const auto arrived = [&] { return pictures.pictures() - before >= count; };
    session.waitFor(
        [&] {
            const bool ended = pictures.picturesAtReleaseEnd() - before >= count && !pictures.isBusy();
            return ended || pictures.emptyReleaseEnds() > emptyBefore || pictures.refusedReleases() > refusedBefore
                   || std::min(pictures.quietMs(), sinceRelease.elapsed()) >= timeoutMs;
        },
        -1);
    return arrived() && pictures.emptyReleaseEnds() == emptyBefore && pictures.refusedReleases() == refusedBefore;
}

void TetherShooting::finishInFlight(TetherSession& session, const TetherPictures& pictures)
{
    if (!pictures.isBusy())
        return;
    session.output().progress(QStringLiteral("finishing the pictures in flight"));
    session.waitFor([&] { return !pictures.isDownloading(); }, session.options().timeoutMs, false);
    // The user's --exec commands (a conversion may take minutes) are waited
    // for to their end, not for the camera's timeout; Ctrl-C ends the wait.
    if (!pictures.isDownloading())
        session.waitFor([&] { return !pictures.isBusy(); }, -1);
}

// --- watch ------------------------------------------------------------------------

namespace {

// What watch reports as it happens: lines, or with --json one object per line.
class WatchReport : public QObject
{
public:
    WatchReport(TetherSession& session, TetherPictures& pictures, bool json)
        : m_session(session)
        , m_properties(session)
        , m_json(json)
    {
        connect(&session, &TetherSession::propertyChanged, this, &WatchReport::propertyChanged);
        connect(&session, &TetherSession::connectionChanged, this, &WatchReport::connectionChanged);
        if (json)
            connect(&pictures, &TetherPictures::fileSaved, this, &WatchReport::fileSaved);
        connect(&pictures, &TetherPictures::cardRoomChanged, this, &WatchReport::cardRoomChanged);
    }

private:
    // Values, not lists, once the camera's initial state is in.
    void propertyChanged(int property, const QByteArray& payload)
    {
        const int kind = TetherProperties::describe(property).payload;
        if (!BRX_SDK_isInitialStateDelivered() || kind == BRX_SDK_PayloadIntList || kind == BRX_SDK_PayloadDoubleList)
            return;
        if (!m_json) {
            m_session.output().result(TetherProperties::valueLine(property, payload));
            return;
        }
        QJsonObject change{{"type", "property"}};
        const QJsonObject json = m_properties.jsonOf(property);
        for (const char* key : {"number", "name", "unit"})
            change.insert(key, json.value(key));
        change.insert("text", TetherProperties::text(property, payload));
        change.insert("raw", TetherProperties::rawText(property, payload));
        m_session.output().json(change, true);
    }

    void connectionChanged(bool connected)
    {
        BRX_SDK_CameraIdentity identity{};
        identity.productId = m_session.productId();
        BRX_SDK_getCameraIdentity(&identity);
        if (!connected || m_announced) {
            if (m_json)
                m_session.output().json(camera(identity, connected), true);
            return;
        }
        m_announced = true;
        if (m_json)
            m_session.output().json(camera(identity, true), true);
        else
            m_session.output().progress(QStringLiteral("watching camera %1: pictures taken on the camera are saved, "
                                                       "Ctrl-C ends")
                                            .arg(TetherSession::productText(identity.productId)));
    }

    static QJsonObject camera(const BRX_SDK_CameraIdentity& identity, bool connected)
    {
        QJsonObject object = TetherProperties::identityJson(identity);
        object.insert("type", "camera");
        object.insert("connected", connected);
        return object;
    }

    void cardRoomChanged(qulonglong capacityBytes, qulonglong freeBytes, qlonglong picturesLeft)
    {
        const BRX_SDK_CardRoom room{capacityBytes, freeBytes, picturesLeft};
        if (!m_json) {
            m_session.output().progress(QStringLiteral("card: %1").arg(TetherCard::roomText(room)));
            return;
        }
        QJsonObject json = TetherCard::roomJson(room);
        json.insert("type", "card");
        m_session.output().json(json, true);
    }

    void fileSaved(int picture, const QString& path, qint64 bytes)
    {
        m_session.output().json(
            QJsonObject{{"type", "file"}, {"picture", picture}, {"path", path}, {"size", double(bytes)}}, true);
    }

    TetherSession& m_session;
    const TetherProperties m_properties;
    const bool m_json;
    bool m_announced = false;
};

} // namespace

bool TetherShooting::watchUntilEnd(TetherSession& session, int timeoutMs)
{
    QElapsedTimer absent;
    absent.start();
    bool came = false;
    bool waiting = false;
    session.waitFor(
        [&] {
            if (session.isConnected()) {
                came = true;
                waiting = false;
                absent.restart();
            } else if (!waiting && absent.hasExpired(kWaitingNoticeMs)) {
                waiting = true;
                session.output().progress(QStringLiteral("waiting for a camera%1, Ctrl-C ends")
                                              .arg(timeoutMs < 0 ? QString()
                                                                 : QStringLiteral(" (at most %1 s)")
                                                                       .arg(double(timeoutMs) / 1000.0)));
            }
            return timeoutMs >= 0 && absent.hasExpired(timeoutMs);
        },
        -1);
    return came;
}

int TetherShooting::watch(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    if (!words.isEmpty()) {
        session.output().error(QStringLiteral("watch takes no arguments"));
        return kExitUsage;
    }
    session.setLongRunning(true);
    const bool json = arguments.isSet("json");
    TetherPictures pictures(pictureSettings(arguments), session.output());
    const WatchReport report(session, pictures, json);
    if (!beginShooting(session, pictures))
        return kExitUsage;
    BRX_SDK_setWantCardRoom(true);
    session.startVirtualCameraConsole();
    const int timeoutMs = session.options().timeoutGiven ? session.options().timeoutMs : -1;
    const bool came = watchUntilEnd(session, timeoutMs);
    if (!came && !session.isInterrupted())
        session.output().error(QStringLiteral("no camera came within %1 s").arg(double(timeoutMs) / 1000.0));
    return endShooting(session, pictures, came || session.isInterrupted() ? kExitOk : kExitCamera,
                       json ? kSummaryJsonLine : kSummaryText);
}
