#ifndef TETHERSHOOTING_H
#define TETHERSHOOTING_H

#include "TetherPictures.h"
#include "TetherSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>

// The subcommands that take pictures: capture releases the shutter and
// saves what arrives, watch saves what the photographer shoots on the
// camera until Ctrl-C.
class TetherShooting
{
public:
    // With mirror-up on, a picture takes two releases, this far apart: the
    // first raises the mirror, the second exposes.
    static const int kMirrorUpPauseMs = 300;

    static QList<QCommandLineOption> captureOptions();
    static QList<QCommandLineOption> watchOptions();
    static int capture(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int watch(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);

    // Whether the camera has mirror-up on.
    static bool isMirrorUpOn();
    // Takes count pictures, intervalMs apart, and waits until at least
    // count pictures have arrived and the library has reported the end of
    // the last release; false when they do not come (timeout, Ctrl-C, the
    // camera gone, a release that brought nothing).
    static bool release(TetherSession& session, const TetherPictures& pictures, int count, int intervalMs);
    // After Ctrl-C or the end: lets the downloads in flight and the commands
    // run to their end, within the session's timeout.
    static void finishInFlight(TetherSession& session, const TetherPictures& pictures);

    // --out, --filename and --exec, and the settings they make.
    static QList<QCommandLineOption> pictureOptions();
    static TetherPictures::Settings pictureSettings(const QCommandLineParser& arguments);
    // Starts the session with pictures saved, quick view on and the ends of
    // releases reported; false (with a message) when the folder or the
    // virtual camera is wrong.
    static bool beginShooting(TetherSession& session, TetherPictures& pictures);
    // How the summary is printed: a line of text, a JSON document, one JSON
    // object on a line (after the lines of a watch), or not at all (a run
    // that never began).
    enum Summary { kSummaryText, kSummaryJson, kSummaryJsonLine, kSummaryNone };
    static Summary summaryFor(bool json) { return json ? kSummaryJson : kSummaryText; }
    // Finishes the pictures in flight, prints the summary and ends the
    // session; the exit code, which failed pictures and commands turn into an
    // error.
    static int endShooting(TetherSession& session, TetherPictures& pictures, int result,
                           Summary summary = kSummaryText);

private:
    // One picture: one release, or two with mirror-up on.
    static void takePicture(TetherSession& session, int shot, int count);
    // Ends when no camera has been there for timeoutMs (negative: never),
    // on Ctrl-C or when the camera of a short session is gone; false when
    // no camera came at all.
    static bool watchUntilEnd(TetherSession& session, int timeoutMs);
};

#endif
