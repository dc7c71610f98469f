#include "BRX_Logic_LiveViewPacer.h"

#include <QElapsedTimer>

#include <algorithm>

#include <utility>

BRX_Logic_LiveViewPacer::Clock BRX_Logic_LiveViewPacer::steadyClock()
{
    return [] {
        static const QElapsedTimer sinceFirstUse = [] {
            QElapsedTimer timer;
            timer.start();
            return timer;
        }();
        return sinceFirstUse.nsecsElapsed() / 1000;
    };
}

BRX_Logic_LiveViewPacer::BRX_Logic_LiveViewPacer(Clock clock)
    : m_clock(std::move(clock))
{
}

// The rate counts thousandths of a frame per second.
void BRX_Logic_LiveViewPacer::start(quint32 rate)
{
    m_intervalUs = rate ? qint64(1000000000ull / rate) : kDefaultIntervalUs;
    m_dueUs = m_clock() + m_intervalUs;
}

void BRX_Logic_LiveViewPacer::frameFetched()
{
    m_dueUs += m_intervalUs;
}

// A due time further back than the catch-up bound is a stall, not a backlog.
int BRX_Logic_LiveViewPacer::delayMs()
{
    const qint64 now = m_clock();
    if (now - m_dueUs > std::max(kCatchUpUs, m_intervalUs))
        m_dueUs = now;
    const qint64 delay = (m_dueUs - now + 999) / 1000;
    return delay <= kMinimumDelayMs ? kMinimumDelayMs : int(delay);
}
