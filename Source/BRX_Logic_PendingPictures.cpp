#include "BRX_Logic_PendingPictures.h"

#include "BRX_Debug.h"

#include <algorithm>

void BRX_Logic_PendingPictures::remember(const QString& serial, const Picture& picture)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    for (const Entry& entry : qAsConst(m_entries)) {
        if (entry.serial == serial && entry.picture == picture)
            return;
    }
    if (m_entries.size() >= kMaxPictures) {
        debugPrint(kDebugAlways, "%s - more than %d pictures await their camera, %s given up", BRX_METHOD,
                   kMaxPictures, qUtf8Printable(m_entries.first().picture.name));
        m_entries.removeFirst();
    }
    m_entries.append({serial, picture});
}

void BRX_Logic_PendingPictures::forget(const QString& serial, const Picture& picture)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).serial == serial && m_entries.at(i).picture == picture) {
            m_entries.removeAt(i);
            return;
        }
    }
}

bool BRX_Logic_PendingPictures::has(const QString& serial) const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return std::any_of(m_entries.begin(), m_entries.end(), [&serial](const Entry& entry) { return entry.serial == serial; });
}

QVector<BRX_Logic_PendingPictures::Picture> BRX_Logic_PendingPictures::take(const QString& serial)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    QVector<Picture> taken;
    for (int i = m_entries.size() - 1; i >= 0; --i) {
        if (m_entries.at(i).serial == serial)
            taken.prepend(m_entries.takeAt(i).picture);
    }
    return taken;
}
