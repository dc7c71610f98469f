#ifndef BRX_COMMU_LIBUSBHOTPLUGWATCHER_H
#define BRX_COMMU_LIBUSBHOTPLUGWATCHER_H

#include <QObject>
#include <atomic>
#include <memory>
#include <thread>

class BRX_Commu_LibusbContext;

// Reports USB devices arriving and leaving as libusb's hot-plug callbacks
// see them, so that a camera is looked for at once instead of at the next
// periodic scan, which stays the fallback. Where libusb has no hot-plug
// support the watcher stays inactive and never signals.
//
// Hot-plug callbacks run in a thread that handles libusb's events; the
// watcher keeps one of its own running for the times no camera is open.
class BRX_Commu_LibusbHotplugWatcher : public QObject
{
    Q_OBJECT

public:
    explicit BRX_Commu_LibusbHotplugWatcher(std::shared_ptr<BRX_Commu_LibusbContext> context,
                                            QObject* parent = nullptr);
    // Deregisters the callback and stops the thread; no signal follows.
    ~BRX_Commu_LibusbHotplugWatcher() override;

    bool isActive() const { return m_registered; }

signals:
    // Emitted from a libusb thread: connect it queued (the default across
    // threads) to a slot that scans.
    void signalDevicesChanged();

private:
    void run();
    void notify();
    friend struct BRX_Commu_LibusbHotplugWatcherCallback;

    std::shared_ptr<BRX_Commu_LibusbContext> m_context;
    bool m_registered = false;
    int m_callbackHandle = 0;
    std::atomic<bool> m_stopping{false};
    int m_stopFlag = 0; // libusb's "completed" flag for the event loop
    std::thread m_thread;
};

#endif
