#ifndef TETHERNODESHUTTER_H
#define TETHERNODESHUTTER_H

#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

// Presses the shutter at wall-clock times, from a thread of its own, so
// that nothing the host thread is doing at that moment (a state to publish,
// a picture to announce) delays the press. The thread sleeps until shortly
// before the time and watches the clock for the rest; the press is
// BRX_SDK_capture, which any thread may call. Each press is reported in the
// thread that made the object.
class TetherNodeShutter : public QObject
{
    Q_OBJECT
public:
    TetherNodeShutter();
    // Presses not yet made are dropped.
    ~TetherNodeShutter() override;

    // Presses at atUs (microseconds since 1970 by this machine's clock); id
    // comes back with the press. Any thread.
    void schedule(const QString& id, qint64 atUs);

signals:
    // pressedUs: the clock just before the press.
    void pressed(const QString& id, qint64 atUs, qint64 pressedUs);

private:
    struct Press {
        QString id;
        qint64 atUs;
        qint64 pressedUs;
    };

    void run();
    Q_INVOKABLE void deliver();

    std::mutex m_mutex; // guards what follows
    std::condition_variable m_wake;
    std::multimap<qint64, QString> m_due;
    std::deque<Press> m_done;
    bool m_stopping = false;
    std::thread m_thread;
};

#endif
