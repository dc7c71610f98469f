#ifndef BRX_LOGIC_LIVEVIEWPACER_H
#define BRX_LOGIC_LIVEVIEWPACER_H

#include <QtGlobal>

#include <functional>

// When live view fetches its next frame. Each request is aimed at its
// frame's due time, the previous due time plus the stream's interval, so
// that the stream's rate holds on average however late a single tick fires
// (a timer's tick is rounded up to its thread's loop). A camera slower than
// asked is simply waited for: a request whose due time has passed goes out
// a short pause after the previous frame. A thread held up for a while (a
// loaded machine) makes up the frames it missed the same way; after a
// stall of more than kCatchUpUs the due times start again from now instead
// of catching up in a burst. Single-threaded: the live view's thread.
class BRX_Logic_LiveViewPacer
{
public:
    // Microseconds on a monotonic clock.
    typedef std::function<qint64()> Clock;
    static Clock steadyClock();

    // The shortest pause between two fetches, so that a slow camera is
    // never asked again at once.
    static constexpr int kMinimumDelayMs = 5;
    // The interval of a stream that gives no rate.
    static constexpr qint64 kDefaultIntervalUs = 40000;
    // How far behind its due times the stream may fall and still make the
    // frames up: a few frames at the usual rates (at least one interval).
    static constexpr qint64 kCatchUpUs = 50000;

    explicit BRX_Logic_LiveViewPacer(Clock clock = steadyClock());

    // A stream of rate (thousandths of a frame per second; 0 unknown)
    // starts; its first frame is due one interval from now.
    void start(quint32 rate);
    // A frame was fetched (or its fetch failed): the next one is due one
    // interval after it.
    void frameFetched();
    // Milliseconds from now until the frame due next, at least the minimum
    // pause; rounded up, so that a tick never comes before the due time.
    int delayMs();
    qint64 intervalUs() const { return m_intervalUs; }

private:
    Clock m_clock;
    qint64 m_intervalUs = kDefaultIntervalUs;
    qint64 m_dueUs = 0;
};

#endif
