#ifndef TETHERRIGBROKER_H
#define TETHERRIGBROKER_H

#include "TetherMqtt.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

// The options node and rig share: the broker, the rig's name and the
// broker's credentials (a user with a password read from a file, so that it
// is never seen in the process list; TLS with a CA file and an optional
// client certificate).
class TetherRigBroker
{
public:
    static QList<QCommandLineOption> options();
    // The broker's settings and the rig's name; false with the reason for an
    // option that cannot be used.
    static bool read(const QCommandLineParser& arguments, TetherMqtt::Settings* settings, QString* rig,
                     QString* error);
};

#endif
