#ifndef TETHERSERVE_H
#define TETHERSERVE_H

#include "TetherSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>

// The serve subcommand: a page and an HTTP API for the connected camera, for
// the browsers on the set: live view, the settings, the shutter and the
// pictures as they land, which are saved as watch saves them. Until Ctrl-C.
class TetherServe
{
public:
    static QList<QCommandLineOption> options();
    static int run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
};

#endif
