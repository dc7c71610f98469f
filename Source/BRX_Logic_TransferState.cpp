#include "BRX_Logic_TransferState.h"

void BRX_Logic_TransferState::setInProgress(bool inProgress)
{
    std::lock_guard<std::mutex> locker(m_stateMutex);
    m_inProgress = inProgress;
}

bool BRX_Logic_TransferState::isInProgress() const
{
    std::lock_guard<std::mutex> locker(m_stateMutex);
    return m_inProgress;
}

bool BRX_Logic_TransferState::takeQuickViewTurn(bool pairMode)
{
    if (!pairMode) {
        m_quickViewPending = false;
        return true;
    }
    const bool first = !m_quickViewPending;
    m_quickViewPending = first;
    return first;
}
