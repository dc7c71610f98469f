#include "TetherShooting.h"
#include "BRX_SDK.h"

#include <cmath>

namespace {

// A pair's second file and the rest of a burst follow within this.
const qint64 kSettleMs = 1500;

} // namespace

QList<QCommandLineOption> TetherShooting::pictureOptions()
{
    return {
        {"out", "Folder for the pictures (default: the current folder).", "DIR", "."},
        {"filename",
         "File names from {name} (the camera's), {date}, {time}, {counter} and {ext}; an existing file is "
         "never overwritten (default: {name}.{ext}).",
         "PATTERN", "{name}.{ext}"},
        {"exec", "Run CMD with each saved file's path as its last argument.", "CMD"},
    };
}

QList<QCommandLineOption> TetherShooting::captureOptions()
{
    return QList<QCommandLineOption>{
               {"n", "Release the shutter N times (default 1).", "N", "1"},
               {"interval", "Seconds between the releases (default 0).", "S", "0"},
           }
        + pictureOptions();
}

QList<QCommandLineOption> TetherShooting::watchOptions()
{
    return pictureOptions();
}

TetherPictures::Settings TetherShooting::pictureSettings(const QCommandLineParser& arguments)
{
    TetherPictures::Settings settings;
    settings.folder = arguments.value("out");
    settings.pattern = arguments.value("filename");
    settings.command = arguments.value("exec");
    return settings;
}

bool TetherShooting::beginShooting(TetherSession& session, TetherPictures& pictures)
{
    if (!pictures.prepare() || !session.start())
        return false;
    session.addFrameSink(&pictures);
    session.setWantQuickView(true);
    return true;
}

int TetherShooting::startShooting(TetherSession& session, TetherPictures& pictures, int timeoutMs)
{
    if (!beginShooting(session, pictures))
        return kExitUsage;
    if (session.waitForCamera(timeoutMs))
        return kExitOk;
    session.shutdown();
    session.removeFrameSink(&pictures);
    return kExitCamera;
}

int TetherShooting::endShooting(TetherSession& session, TetherPictures& pictures, int result)
{
    finishInFlight(session, pictures);
    session.output().result(pictures.summary());
    session.shutdown();
    session.removeFrameSink(&pictures);
    return result == kExitOk && pictures.failures() > 0 ? kExitCamera : result;
}

int TetherShooting::capture(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    bool countOk = false;
    bool intervalOk = false;
    const int count = arguments.value("n").toInt(&countOk);
    const double interval = arguments.value("interval").toDouble(&intervalOk);
    if (!countOk || count < 1 || !intervalOk || interval < 0.0 || !words.isEmpty()) {
        session.output().error(QStringLiteral("capture takes -n N (1 or more) and --interval S (0 or more)"));
        return kExitUsage;
    }
    TetherPictures pictures(pictureSettings(arguments), session.output());
    const int started = startShooting(session, pictures, session.options().timeoutMs);
    if (started != kExitOk)
        return started;
    session.setPatient(session.options().timeoutMs);
    const bool complete = release(session, pictures, count, int(std::lround(interval * 1000.0)));
    if (!complete)
        session.output().error(QStringLiteral("%1 of %2 pictures arrived").arg(pictures.pictures()).arg(count));
    return endShooting(session, pictures, complete ? kExitOk : kExitCamera);
}

bool TetherShooting::release(TetherSession& session, const TetherPictures& pictures, int count, int intervalMs)
{
    const int before = pictures.pictures();
    for (int shot = 1; shot <= count; ++shot) {
        if (shot > 1 && intervalMs > 0)
            session.waitFor([] { return false; }, intervalMs);
        if (session.isInterrupted() || session.isLost()
            || (!session.isConnected() && !session.waitForCamera(session.options().timeoutMs)))
            return false;
        session.output().progress(QStringLiteral("release %1 of %2").arg(shot).arg(count));
        BRX_SDK_capture();
    }
    const int timeoutMs = session.options().timeoutMs;
    return session.waitFor(
        [&] {
            const bool settled = pictures.pictures() - before >= count && !pictures.isBusy()
                              && pictures.quietMs() >= kSettleMs;
            return settled || pictures.quietMs() >= timeoutMs;
        },
        -1)
        && pictures.pictures() - before >= count;
}

void TetherShooting::finishInFlight(TetherSession& session, const TetherPictures& pictures)
{
    if (!pictures.isBusy())
        return;
    session.output().progress(QStringLiteral("finishing the pictures in flight"));
    session.waitFor([&] { return !pictures.isBusy(); }, session.options().timeoutMs, false);
}

int TetherShooting::watch(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    if (!words.isEmpty()) {
        session.output().error(QStringLiteral("watch takes no arguments"));
        return kExitUsage;
    }
    session.setLongRunning(true);
    TetherPictures pictures(pictureSettings(arguments), session.output());
    // Without --timeout, watching waits for the camera as long as it takes.
    const int started =
        startShooting(session, pictures, session.options().timeoutGiven ? session.options().timeoutMs : -1);
    if (started != kExitOk)
        return session.isInterrupted() ? kExitOk : started;
    session.setReportChanges(true);
    session.startVirtualCameraConsole();
    session.output().progress(QStringLiteral("watching camera %1: pictures taken on the camera are saved, Ctrl-C ends")
                                  .arg(TetherSession::productText(session.productId())));
    session.waitFor([] { return false; }, -1);
    return endShooting(session, pictures, kExitOk);
}
