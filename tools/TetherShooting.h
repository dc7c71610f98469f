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
    static QList<QCommandLineOption> captureOptions();
    static QList<QCommandLineOption> watchOptions();
    static int capture(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int watch(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);

    // Releases count times, intervalMs apart, and waits until at least count
    // pictures have arrived and the camera has gone quiet; false when they
    // do not come (timeout, Ctrl-C, the camera gone).
    static bool release(TetherSession& session, const TetherPictures& pictures, int count, int intervalMs);
    // After Ctrl-C or the end: lets the downloads in flight and the commands
    // run to their end, within the session's timeout.
    static void finishInFlight(TetherSession& session, const TetherPictures& pictures);

    // --out, --filename and --exec, and the settings they make.
    static QList<QCommandLineOption> pictureOptions();
    static TetherPictures::Settings pictureSettings(const QCommandLineParser& arguments);
    // Starts the session with pictures saved and quick view on; false (with
    // a message) when the folder or the virtual camera is wrong.
    static bool beginShooting(TetherSession& session, TetherPictures& pictures);
    // Finishes the pictures in flight, prints the summary and ends the
    // session; the exit code, which failed pictures turn into an error.
    static int endShooting(TetherSession& session, TetherPictures& pictures, int result);

private:
    // beginShooting and waiting for the camera; an exit code.
    static int startShooting(TetherSession& session, TetherPictures& pictures, int timeoutMs);
};

#endif
