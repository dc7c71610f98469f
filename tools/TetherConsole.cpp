#include "TetherConsole.h"
#include "BRX_SDK.h"
#include "TetherProperties.h"
#include "TetherSession.h"

#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

namespace {

const int kCommandTickMs = 50;

} // namespace

const char* const TetherConsole::kCommands =
    "shutter, change NAME VALUE (a setting, as set takes it: change ExposCompens +1 EV), change CODE VALUE "
    "(a device property by its PTP code: change 0x5010 1000), unplug, plug";

TetherConsole::TetherConsole(TetherSession& session, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_input(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this))
{
    connect(m_input, &QSocketNotifier::activated, this, &TetherConsole::read);
    auto* tick = new QTimer(this);
    connect(tick, &QTimer::timeout, this, &TetherConsole::runCommands);
    tick->start(kCommandTickMs);
}

void TetherConsole::read()
{
    char buffer[256];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
        m_input->setEnabled(false);
        return;
    }
    m_pending.append(buffer, int(count));
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString command = QString::fromLocal8Bit(m_pending.left(end)).simplified();
        m_pending.remove(0, end + 1);
        if (!command.isEmpty())
            m_commands << command;
    }
}

void TetherConsole::runCommands()
{
    while (!m_commands.isEmpty()) {
        const QString command = m_commands.first();
        const QString word = command.section(' ', 0, 0).toLower();
        const bool ready = m_session.isConnected() && BRX_SDK_isInitialStateDelivered();
        if (word == QLatin1String("plug")) {
            if (m_session.isConnected() || !m_unplugged)
                return;
            m_unplugged = false;
            BRX_SDK_setVirtualCameraConnected(true);
        } else if (!ready) {
            return;
        } else if (word == QLatin1String("unplug")) {
            m_unplugged = true;
            BRX_SDK_setVirtualCameraConnected(false);
        } else if (word == QLatin1String("shutter")) {
            BRX_SDK_pressVirtualCameraShutter();
        } else if (!change(command)) {
            m_session.output().error(QStringLiteral("unknown console command '%1' (%2)").arg(command, kCommands));
        }
        m_commands.removeFirst();
    }
}

bool TetherConsole::change(const QString& command)
{
    const QStringList words = command.split(' ');
    if (words.size() < 3 || words.first().compare("change", Qt::CaseInsensitive) != 0)
        return false;
    bool isCode = false;
    words.at(1).toUInt(&isCode, 0);
    if (isCode)
        changeByCode(words);
    else
        changeByName(words);
    return true;
}

// "change 0x500f 800": a dial turned on the camera's body.
void TetherConsole::changeByCode(const QStringList& words)
{
    bool valueOk = false;
    const uint code = words.at(1).toUInt(nullptr, 0);
    const qlonglong value = words.at(2).toLongLong(&valueOk, 0);
    if (words.size() != 3 || !valueOk)
        m_session.output().error(QStringLiteral("change CODE VALUE takes a number, not '%1'").arg(words.mid(2).join(' ')));
    else if (!BRX_SDK_changeVirtualCameraProperty(code, value))
        m_session.output().error(QStringLiteral("the virtual camera has no property %1").arg(words.at(1)));
}

// "change ExposCompens +1 EV": the setting goes to the camera as tether set
// sends it; the camera reports it as it reports a dial.
void TetherConsole::changeByName(const QStringList& words)
{
    const int property = TetherProperties::find(words.at(1));
    const QString text = words.mid(2).join(' ');
    QByteArray payload;
    const QString reason = property < 0 ? TetherProperties::unknownProperty(words.at(1))
                                        : TetherProperties(m_session).refusal(property, text, &payload);
    if (!reason.isEmpty())
        m_session.output().error(reason);
    else if (!TetherProperties::send(property, payload))
        m_session.output().error(QStringLiteral("the camera did not take %1 = %2").arg(words.at(1), text));
}
