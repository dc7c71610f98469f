#include "BRX_Logic_ReleaseState.h"

#include "BRX_Debug.h"

BRX_Logic_ReleaseState::BRX_Logic_ReleaseState(const std::function<bool()>& heldOpen, int quietMs,
                                               QObject* parent)
    : QObject(parent)
    , m_heldOpen(heldOpen)
    , m_quietMs(quietMs)
    , m_quietInterval(quietMs)
{
    m_quietTimer.setSingleShot(true);
    connect(&m_quietTimer, &QTimer::timeout, this, &BRX_Logic_ReleaseState::catchQuietTimeOver);
}

void BRX_Logic_ReleaseState::began(int exposureMs)
{
    m_quietInterval = m_quietMs + 2 * qMax(0, exposureMs);
    m_inProgress = true;
    openRecord();
    restartQuietTime();
}

void BRX_Logic_ReleaseState::pictureAnnounced()
{
    m_loading = true;
    began();
}

void BRX_Logic_ReleaseState::ended()
{
    m_inProgress = false;
}

int BRX_Logic_ReleaseState::downloadQueued()
{
    return ++m_activeDownloads;
}

int BRX_Logic_ReleaseState::downloadLeft()
{
    int active = m_activeDownloads;
    while (active > 0 && !m_activeDownloads.compare_exchange_weak(active, active - 1)) {
    }
    return qMax(active - 1, 0);
}

void BRX_Logic_ReleaseState::downloadEnded(int remaining)
{
    if (remaining > 1) {
        began();
        return;
    }
    m_inProgress = false;
    endLoading();
    // A running series still has pictures to take.
    if (!m_seriesRunning)
        finishRecord();
}

void BRX_Logic_ReleaseState::fileDelivered()
{
    std::lock_guard<std::mutex> locker(m_recordMutex);
    ++m_filesDelivered;
}

void BRX_Logic_ReleaseState::openRecord()
{
    std::lock_guard<std::mutex> locker(m_recordMutex);
    m_recordOpen = true;
}

void BRX_Logic_ReleaseState::finishRecord()
{
    int files = 0;
    {
        std::lock_guard<std::mutex> locker(m_recordMutex);
        if (!m_recordOpen)
            return;
        files = m_filesDelivered;
        m_recordOpen = false;
        m_filesDelivered = 0;
    }
    emit signalReleaseFinished(files);
}

void BRX_Logic_ReleaseState::endLoading()
{
    if (!m_loading.exchange(false))
        return;
    emit signalLoading(false);
    emit signalRemainingToLoad(0);
}

// The timer belongs to this object's thread; transfer threads restart it
// through the event queue, by name, so that nothing built in their thread
// travels with the call.
void BRX_Logic_ReleaseState::restartQuietTime()
{
    QMetaObject::invokeMethod(&m_quietTimer, "start", Qt::QueuedConnection, Q_ARG(int, m_quietInterval));
}

// A queued download restarts the quiet time when it ends. A release whose
// pictures came before the stage that ended it (a stopped series) is over
// for the host's record only now.
void BRX_Logic_ReleaseState::catchQuietTimeOver()
{
    if (m_activeDownloads > 0 || m_timeExposureRunning || m_heldOpen())
        return;
    if (m_inProgress || m_loading) {
        debugPrint(kDebugAlways, "%s - no picture for %d ms, release ended", BRX_METHOD, int(m_quietInterval));
        m_inProgress = false;
        emit signalQuiet();
        endLoading();
    }
    finishRecord();
}

bool BRX_Logic_ReleaseState::startSeries(const std::function<bool()>& send)
{
    std::lock_guard<std::mutex> locker(m_seriesMutex);
    const bool started = send();
    if (started) {
        m_stopPending = false;
        m_seriesRunning = true;
    }
    return started;
}

bool BRX_Logic_ReleaseState::stopSeries(const std::function<bool()>& send)
{
    std::lock_guard<std::mutex> locker(m_seriesMutex);
    m_stopPending = true;
    m_seriesRunning = false;
    return send();
}

void BRX_Logic_ReleaseState::repeatStop(const std::function<bool()>& send)
{
    std::lock_guard<std::mutex> locker(m_seriesMutex);
    if (m_stopPending && send())
        m_stopPending = false;
}
