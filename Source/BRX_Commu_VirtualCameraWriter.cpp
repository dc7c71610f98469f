#include "BRX_Commu_VirtualCameraWriter.h"

#include <algorithm>

BRX_Commu_VirtualCameraWriter::BRX_Commu_VirtualCameraWriter(const Written& written)
    : m_written(written)
    , m_thread([this] { writeOrders(); })
{
}

BRX_Commu_VirtualCameraWriter::~BRX_Commu_VirtualCameraWriter()
{
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void BRX_Commu_VirtualCameraWriter::write(const Store::Order& order)
{
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_orders.push_back(order);
        ++m_inProgress;
    }
    m_wake.notify_all();
}

int BRX_Commu_VirtualCameraWriter::picturesInProgress() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_inProgress;
}

void BRX_Commu_VirtualCameraWriter::setPaused(bool paused)
{
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_paused = paused;
    }
    m_wake.notify_all();
}

void BRX_Commu_VirtualCameraWriter::setReusingFiles(bool reusing)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_reusingFiles = reusing;
}

std::chrono::microseconds BRX_Commu_VirtualCameraWriter::writeTime(qint64 bytes, int megabytesPerSecond)
{
    return std::chrono::microseconds(std::max<qint64>(0, bytes) / std::max(1, megabytesPerSecond));
}

// A picture's files are all made first (they share their JPEG), then
// written in their order.
void BRX_Commu_VirtualCameraWriter::writeOrders()
{
    Store::Order order;
    while (takeOrder(&order)) {
        const QVector<Store::Object> files = filesFor(order);
        for (int i = 0; i < files.size(); ++i) {
            const CardClock::time_point due =
                CardClock::now() + writeTime(files.at(i).data.size(), order.files.cardMegabytesPerSecond);
            if (!waitForCard(due))
                return;
            m_written(files.at(i), i == files.size() - 1);
        }
        finishPicture();
    }
}

bool BRX_Commu_VirtualCameraWriter::takeOrder(Store::Order* order)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_wake.wait(locker, [this] { return m_stopping || !m_orders.empty(); });
    if (m_stopping)
        return false;
    *order = m_orders.front();
    m_orders.pop_front();
    return true;
}

QVector<BRX_Commu_VirtualCameraStore::Object> BRX_Commu_VirtualCameraWriter::filesFor(const Store::Order& order)
{
    bool reusing = false;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        reusing = m_reusingFiles;
    }
    if (reusing)
        return m_reused.filesFor(order);
    m_reused = Store::ReusedFiles();
    return Store::makeFiles(order);
}

bool BRX_Commu_VirtualCameraWriter::waitForCard(CardClock::time_point due)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    while (!m_stopping && (m_paused || CardClock::now() < due)) {
        if (m_paused)
            m_wake.wait(locker);
        else
            m_wake.wait_until(locker, due);
    }
    return !m_stopping;
}

void BRX_Commu_VirtualCameraWriter::finishPicture()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    --m_inProgress;
}
