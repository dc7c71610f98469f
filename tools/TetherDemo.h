#ifndef TETHERDEMO_H
#define TETHERDEMO_H

#include "TetherSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>

class TetherPictures;
class TetherProperties;

// The demo subcommand: a guided run on the virtual camera that connects,
// shows the settings, changes a few, shoots a pair and a burst, streams two
// seconds of live view and says where everything went.
class TetherDemo
{
public:
    // The virtual camera the demo uses unless told otherwise.
    static const int kDefaultProduct = 0x2031;

    static QList<QCommandLineOption> options();
    static int run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);

private:
    struct Change {
        const char* property;
        // The first one the camera offers is taken.
        QStringList candidates;
    };

    TetherDemo(TetherSession& session, TetherPictures& pictures, const TetherProperties& properties);
    bool connect();
    bool changeSettings();
    bool change(const Change& change);
    bool shoot(const char* title, const Change& setting);
    bool streamLiveView(const QString& path);
    void step(const QString& title);

    TetherSession& m_session;
    TetherPictures& m_pictures;
    const TetherProperties& m_properties;
    int m_step = 0;
};

#endif
