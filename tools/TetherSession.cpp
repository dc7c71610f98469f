#include "TetherSession.h"
#include "BRX_SDK.h"
#include "TetherConsole.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <csignal>

namespace {

const int kPollMs = 10;

std::atomic<bool> g_interrupted{false};

qint64 wallClockUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

// A second Ctrl-C ends the program at once.
extern "C" void onInterrupt(int)
{
    g_interrupted = true;
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

TetherSession::TetherSession(const TetherGlobalOptions& options, TetherOutput& output)
    : m_options(options)
    , m_output(output)
{
}

// The library logs no more once it has finished; the hook goes with the session.
TetherSession::~TetherSession()
{
    shutdown();
    BRX_SDK_setLogCallback(nullptr, nullptr);
}

void TetherSession::installInterruptHandler()
{
    std::signal(SIGINT, &onInterrupt);
}

bool TetherSession::isInterrupted()
{
    return g_interrupted;
}

QString TetherSession::portText(const QString& port)
{
    return port.isEmpty() ? QString() : QStringLiteral(" at ") + port;
}

QString TetherSession::productText(int productId)
{
    return QStringLiteral("0x") + QString::number(productId, 16).toUpper().rightJustified(4, '0');
}

QString TetherSession::virtualCameraStateFolder()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base = QDir::isAbsolutePath(state) ? state : QDir::home().filePath(QStringLiteral(".local/state"));
    return QDir(base).filePath(QStringLiteral("tether"));
}

// Without --debug the library's log goes nowhere.
void TetherSession::logCallback(void* context, const char* line)
{
    auto* session = static_cast<TetherSession*>(context);
    if (!session->m_options.debug)
        return;
    // Taken in the thread that logs, as the line is written.
    const QString time = session->m_options.logTime ? QStringLiteral("%1 ").arg(wallClockUs()) : QString();
    session->m_output.log(time + QString::fromUtf8(line));
}

bool TetherSession::start()
{
    if (!chooseCamera())
        return false;
    BRX_SDK_init(&TetherSession::initCallback, this);
    m_started = true;
    // The library starts with its message groups off.
    if (m_options.debug)
        BRX_SDK_setDebugFlags(m_options.debugFlags, true);
    // After the log groups, so that the card's files are in the log.
    if (m_options.virtualProduct && m_options.virtualCard > 0)
        BRX_SDK_fillVirtualCameraCard(m_options.virtualCard);
    return true;
}

bool TetherSession::chooseCamera()
{
    BRX_SDK_setLogCallback(&TetherSession::logCallback, this);
    if (!m_options.network.isEmpty() && !BRX_SDK_useNetworkCamera(m_options.network.toUtf8().constData())) {
        m_output.error(QStringLiteral("'%1' is no network address (HOST or HOST:PORT)").arg(m_options.network));
        return false;
    }
    if (m_options.virtualProduct
        && !BRX_SDK_useVirtualCameraWithSerial(m_options.virtualProduct, m_options.virtualSerial.toUtf8().constData())) {
        const QString serial = m_options.virtualSerial.isEmpty()
                                   ? QString()
                                   : QStringLiteral(" with serial number '%1' (a serial number is 1 to 32 letters, "
                                                    "digits, '.', '-' or '_')").arg(m_options.virtualSerial);
        m_output.error(QStringLiteral("there is no virtual camera of product %1%2 (there are 0x2009, 0x2011, "
                                      "0x2021, 0x2031, 0x2041, 0x2051 and 0x2061)")
                           .arg(productText(m_options.virtualProduct), serial));
        return false;
    }
    if (m_options.virtualProduct)
        BRX_SDK_keepVirtualCameraState(virtualCameraStateFolder().toUtf8().constData(), m_options.virtualReset);
    return true;
}

// Pictures in flight are finished first: the library waits for its
// downloads, whose frames still reach the sinks.
void TetherSession::shutdown()
{
    if (!m_started)
        return;
    m_started = false;
    BRX_SDK_exit();
    // The virtual camera goes on writing its card after the host has gone;
    // it is let go here, so that it finishes before the program's statics go.
    if (m_options.virtualProduct)
        BRX_SDK_useVirtualCamera(0);
}

// Said once for as long as the camera stays held: the library's log, which
// says it too, is shown only with --debug.
void TetherSession::noteCameraHeldElsewhere()
{
    char port[64] = {};
    const bool held = m_started && !m_connected && BRX_SDK_getCameraHeldElsewhere(port, sizeof port);
    if (held && !m_heldElsewhereSaid)
        m_output.error(QStringLiteral("the camera%1 is in use by another program; waiting until it lets it go")
                           .arg(portText(QString::fromUtf8(port))));
    m_heldElsewhereSaid = held;
}

bool TetherSession::waitFor(const std::function<bool()>& done, int timeoutMs, bool interruptible)
{
    QElapsedTimer clock;
    clock.start();
    const auto over = [&] {
        return done() || (interruptible && isInterrupted()) || isLost()
            || (timeoutMs >= 0 && clock.hasExpired(timeoutMs));
    };
    if (!over()) {
        QEventLoop loop;
        QTimer tick;
        connect(&tick, &QTimer::timeout, &loop, [&] {
            noteCameraHeldElsewhere();
            if (over())
                loop.quit();
        });
        tick.start(kPollMs);
        loop.exec();
    }
    return done();
}

bool TetherSession::waitForCamera(int timeoutMs)
{
    if (waitFor([this] { return m_connected && BRX_SDK_isInitialStateDelivered(); }, timeoutMs))
        return true;
    if (!isInterrupted() && !isLost())
        m_output.error(!m_options.network.isEmpty() ? QStringLiteral("no camera answered at %1").arg(m_options.network)
                       : m_options.virtualProduct    ? QStringLiteral("the virtual camera did not connect")
                                                     : QStringLiteral("no camera found on the USB bus"));
    return false;
}

void TetherSession::setWantQuickView(bool want)
{
    m_wantQuickView = want;
    if (m_connected)
        applyQuickView();
}

void TetherSession::setWantLiveView(bool want)
{
    m_wantLiveView = want;
    if (m_connected)
        applyLiveView();
}

void TetherSession::applyQuickView()
{
    const bool want = m_wantQuickView;
    BRX_SDK_setProperty(BRX_SDK_Property::WantQuickView, &want, sizeof want);
}

// The wish first, then the mode; off in the other order.
void TetherSession::applyLiveView()
{
    const bool want = m_wantLiveView;
    const int order[2] = {want ? BRX_SDK_Property::WantLiveView : BRX_SDK_Property::LiveViewPhoto,
                          want ? BRX_SDK_Property::LiveViewPhoto : BRX_SDK_Property::WantLiveView};
    for (int property : order)
        BRX_SDK_setProperty(property, &want, sizeof want);
}

void TetherSession::initCallback(void* context, bool connected, int productId)
{
    static_cast<TetherSession*>(context)->catchConnection(connected, productId);
}

// The library clears the changes and frame callbacks at every disconnection.
void TetherSession::catchConnection(bool connected, int productId)
{
    m_connected = connected;
    emit connectionChanged(connected);
    if (!connected) {
        if (m_longRunning || m_comeBackMs > 0) {
            m_output.result(QStringLiteral("camera %1 went away; waiting for it to come back").arg(productText(productId)));
            m_away.start();
        } else {
            m_lost = true;
            m_output.error(QStringLiteral("camera %1 went away").arg(productText(productId)));
        }
        return;
    }
    m_productId = productId;
    m_away.invalidate();
    BRX_SDK_setChangesCallback(&TetherSession::changesCallback, this);
    BRX_SDK_setFrameCallback(&TetherSession::frameCallback, this);
    // The library forgets both wishes with each connection.
    if (m_wantQuickView)
        applyQuickView();
    if (m_wantLiveView)
        applyLiveView();
    if (m_everConnected)
        m_output.result(QStringLiteral("camera %1 came back").arg(productText(productId)));
    m_everConnected = true;
}

bool TetherSession::isLost()
{
    if (!m_lost && !m_longRunning && !m_connected && m_away.isValid() && m_away.hasExpired(m_comeBackMs)) {
        m_lost = true;
        m_output.error(QStringLiteral("camera %1 did not come back").arg(productText(m_productId)));
    }
    return m_lost;
}

void TetherSession::changesCallback(void* context, int property, const void* data, unsigned int size)
{
    static_cast<TetherSession*>(context)->catchChange(
        property, QByteArray(static_cast<const char*>(data), int(size)));
}

void TetherSession::catchChange(int property, const QByteArray& payload)
{
    ++m_counts[property];
    m_last.insert(property, payload);
    emit propertyChanged(property, payload);
}

void TetherSession::frameCallback(void* context, int type, const void* data, unsigned int size)
{
    auto* session = static_cast<TetherSession*>(context);
    std::lock_guard<std::mutex> locker(session->m_sinkLock);
    for (TetherFrameSink* sink : qAsConst(session->m_sinks))
        sink->frame(type, data, size);
}

void TetherSession::addFrameSink(TetherFrameSink* sink)
{
    std::lock_guard<std::mutex> locker(m_sinkLock);
    m_sinks.append(sink);
}

void TetherSession::removeFrameSink(TetherFrameSink* sink)
{
    std::lock_guard<std::mutex> locker(m_sinkLock);
    m_sinks.removeAll(sink);
}

// --- Virtual camera console --------------------------------------------------------

void TetherSession::startVirtualCameraConsole()
{
    if (m_options.virtualProduct && !m_console)
        m_console = new TetherConsole(*this, this);
}
