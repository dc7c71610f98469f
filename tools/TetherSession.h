#ifndef TETHERSESSION_H
#define TETHERSESSION_H

#include "TetherOutput.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

// Receives frame records in the library's threads (a download thread for
// pictures, the library's controller thread for live view).
class TetherFrameSink
{
public:
    virtual ~TetherFrameSink() = default;
    virtual void frame(int type, const void* data, unsigned int size) = 0;
};

// Exit codes.
enum TetherExit { kExitOk = 0, kExitCamera = 1, kExitUsage = 2 };

// The options every subcommand takes.
struct TetherGlobalOptions {
    int virtualProduct = 0; // 0: a camera on the USB bus
    QString virtualSerial;  // the virtual camera's serial number; empty: its product's own
    QString camera;         // the selector of the one camera to tether; empty: any
    QString label;          // names this camera's pictures ({label}); empty: none
    QString network;        // HOST[:PORT] of a camera on the network; empty: none
    bool debug = false;
    unsigned int debugFlags = 0;
    int timeoutMs = 10000;
    bool timeoutGiven = false;
    bool quiet = false;
    // Log lines begin with the wall-clock time in microseconds since 1970.
    bool logTime = false;
    // The virtual camera starts with its power-on settings instead of those it kept.
    bool virtualReset = false;
    // Pictures on the virtual camera's card before it connects.
    int virtualCard = 0;
};

// One run of the library: starts it on the virtual camera (which keeps its
// settings under the user's state folder) or the USB bus, routes its log,
// registers the callbacks and re-applies the host's wishes (quick view, live
// view) on every connection, keeps the latest notifications, hands frames to
// the sinks, and shuts the library down. A long-running session outlives a
// camera that goes away and comes back, a patient one a camera that comes
// back in time; otherwise the loss ends it. Host thread, except frame
// dispatch.
class TetherSession : public QObject
{
    Q_OBJECT
public:
    TetherSession(const TetherGlobalOptions& options, TetherOutput& output);
    // Finishes the library through BRX_SDK_exit.
    ~TetherSession() override;

    TetherOutput& output() { return m_output; }
    const TetherGlobalOptions& options() const { return m_options; }

    // Starts the library; false (with a message) for an unsupported virtual product.
    bool start();
    // The part of start before the library runs: the log, the camera on the
    // network or the virtual camera; false (with a message) as start.
    bool chooseCamera();
    // Finishes the library through BRX_SDK_exit; downloads in flight still
    // reach the frame sinks meanwhile. Once.
    void shutdown();
    // Waits until a camera is connected and its initial state has arrived;
    // false (with a message) after the timeout, on Ctrl-C or when it went away.
    bool waitForCamera(int timeoutMs);
    // Runs events until done is true; false on timeout (a negative timeout
    // never expires), on Ctrl-C unless not interruptible, and when the camera
    // of a short session went.
    bool waitFor(const std::function<bool()>& done, int timeoutMs, bool interruptible = true);
    static bool isInterrupted();
    // " at usb:1-2" for a camera's socket, nothing for none.
    static QString portText(const QString& port);
    static void installInterruptHandler();
    // "0x2031".
    static QString productText(int productId);

    void setLongRunning(bool longRunning) { m_longRunning = longRunning; }
    // A camera that goes away may come back within comeBackMs (a network
    // that drops for a while) before the session counts it lost.
    void setPatient(int comeBackMs) { m_comeBackMs = comeBackMs; }
    bool isConnected() const { return m_connected; }
    // The camera went away in a short session, or stayed away too long in a
    // patient one.
    bool isLost();
    int productId() const { return m_productId; }

    // Wishes applied now and again on every connection.
    void setWantQuickView(bool want);
    void setWantLiveView(bool want);

    // How many notifications of property have arrived, and the latest one.
    int notificationCount(int property) const { return m_counts.value(property); }
    QByteArray lastNotification(int property) const { return m_last.value(property); }

    void addFrameSink(TetherFrameSink* sink);
    void removeFrameSink(TetherFrameSink* sink);

    // With a virtual camera: lines on standard input work it (TetherConsole).
    void startVirtualCameraConsole();
    // Where the virtual cameras keep their settings: $XDG_STATE_HOME/tether,
    // or ~/.local/state/tether.
    static QString virtualCameraStateFolder();

signals:
    // Every notification, once it is counted; host thread.
    void propertyChanged(int property, const QByteArray& payload);
    // The camera came or went; host thread.
    void connectionChanged(bool connected);

private:
    static void initCallback(void* context, bool connected, int productId);
    static void changesCallback(void* context, int property, const void* data, unsigned int size);
    static void frameCallback(void* context, int type, const void* data, unsigned int size);
    static void logCallback(void* context, const char* line);
    void catchConnection(bool connected, int productId);
    void noteCameraHeldElsewhere();
    void applyQuickView();
    void applyLiveView();
    void catchChange(int property, const QByteArray& payload);

    const TetherGlobalOptions m_options;
    TetherOutput& m_output;
    bool m_started = false;
    bool m_longRunning = false;
    bool m_connected = false;
    bool m_everConnected = false;
    bool m_lost = false;
    bool m_heldElsewhereSaid = false;
    int m_comeBackMs = 0;
    QElapsedTimer m_away;
    int m_productId = 0;
    bool m_wantQuickView = false;
    bool m_wantLiveView = false;
    QHash<int, int> m_counts;
    QHash<int, QByteArray> m_last;
    std::mutex m_sinkLock;
    QList<TetherFrameSink*> m_sinks;
    QObject* m_console = nullptr;
};

#endif
