#ifndef TETHERRIG_H
#define TETHERRIG_H

#include "TetherSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QStringList>

class TetherRigClient;

// tether rig: the nodes of a rig as one, through the broker. status prints
// a table of every node (a setting that differs from the rest of the rig
// marked), set sets a property on every node and prints each one's
// confirmation or refusal, shoot has every node press at one wall-clock
// time and prints the press times and their spread, collect fetches every
// announced picture (TetherRigCollector).
class TetherRig
{
public:
    static QList<QCommandLineOption> options();
    static int run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);

    static const int kDefaultLeadMs = 200;
    // A node answers a shot once it has pressed: the lead, then this.
    static const int kShotAnswerMs = 5000;

    // The value most nodes hold of each setting, among the connected ones.
    static QJsonObject rigSettings(const QMap<QString, QJsonObject>& states);
    // The settings whose value differs from the rig's, by name.
    static QStringList differing(const QJsonObject& settings, const QJsonObject& rig);
    // "connected", "no camera" or "offline".
    static QString connectionText(const QJsonObject& state);
    static bool isReachable(const QJsonObject& state);
    // The command of a shot at now plus leadMs by this machine's clock,
    // named series-NNN.
    static QJsonObject shotCommand(const QString& series, int shot, int leadMs);
    // Microseconds from the first press of the answers to the last; -1
    // without a press.
    static qint64 spreadUs(const QMap<QString, QJsonObject>& answers);

private:
    static int status(TetherSession& session, TetherRigClient& rig);
    static int set(TetherSession& session, TetherRigClient& rig, const QStringList& words);
    static int shoot(TetherSession& session, TetherRigClient& rig, const QCommandLineParser& arguments);
    static bool shootOnce(TetherSession& session, TetherRigClient& rig, const QJsonObject& shot, int leadMs);
    // The nodes to ask: those online with their camera connected; the others
    // are named and left out.
    static QStringList reachable(TetherSession& session, TetherRigClient& rig);
    // Prints each node's answer; false when one refused or did not answer.
    static bool report(TetherSession& session, const QStringList& nodes, const QMap<QString, QJsonObject>& answers,
                       QString (*success)(const QJsonObject& answer));
};

#endif
