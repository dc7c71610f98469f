#ifndef TETHERCONSOLE_H
#define TETHERCONSOLE_H

#include <QByteArray>
#include <QObject>
#include <QStringList>

class QSocketNotifier;
class TetherSession;

// Lines on standard input that work the virtual camera as a photographer
// works a camera's body: "shutter" presses its shutter, "change NAME VALUE"
// turns a setting as tether set names it (or "change CODE VALUE" a device
// property by its PTP code), "unplug" and "plug" pull the cable and put it
// back. Each waits until it makes sense: the shutter, a change and the
// unplugging for a camera that is fully connected, the plugging for one the
// library has seen go. Host thread.
class TetherConsole : public QObject
{
    Q_OBJECT
public:
    // "shutter, change NAME VALUE ..." for help texts and errors.
    static const char* const kCommands;

    TetherConsole(TetherSession& session, QObject* parent);

private:
    void read();
    void runCommands();
    // false: not a change command.
    bool change(const QString& command);
    void changeByCode(const QStringList& words);
    void changeByName(const QStringList& words);

    TetherSession& m_session;
    QSocketNotifier* m_input;
    QByteArray m_pending;
    QStringList m_commands;
    bool m_unplugged = false;
};

#endif
