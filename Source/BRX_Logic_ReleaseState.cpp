#include "BRX_Logic_ReleaseState.h"

BRX_Logic_ReleaseState::BRX_Logic_ReleaseState(QObject* parent)
    : QObject(parent)
{
}

void BRX_Logic_ReleaseState::began()
{
    m_inProgress = true;
}

void BRX_Logic_ReleaseState::ended()
{
    m_inProgress = false;
}

void BRX_Logic_ReleaseState::downloadEnded(int remaining)
{
    m_inProgress = remaining > 1;
}

bool BRX_Logic_ReleaseState::stopSeries(const std::function<bool()>& send)
{
    const bool stopped = send();
    m_stopPending = true;
    return stopped;
}

void BRX_Logic_ReleaseState::repeatStop(const std::function<bool()>& send)
{
    if (m_stopPending && send())
        m_stopPending = false;
}
