#include "BRX_Logic_PendingPictures.h"

#include "BRX_Debug.h"

#include <algorithm>

int BRX_Logic_PendingPictures::indexOf(const QString& serial, const Picture& picture) const
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).serial == serial && m_entries.at(i).picture == picture)
            return i;
    }
    return -1;
}

void BRX_Logic_PendingPictures::remember(const QString& serial, const Picture& picture)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    const int known = indexOf(serial, picture);
    if (known >= 0) {
        if (!m_entries.at(known).picture.captured.isValid())
            m_entries[known].picture.captured = picture.captured;
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
    const int known = indexOf(serial, picture);
    if (known >= 0)
        m_entries.removeAt(known);
}

bool BRX_Logic_PendingPictures::has(const QString& serial) const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    const CardMark* card = findCard(serial);
    return (card && card->releasesOutstanding())
        || std::any_of(m_entries.begin(), m_entries.end(), [&serial](const Entry& entry) { return entry.serial == serial; });
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

const BRX_Logic_PendingPictures::CardMark* BRX_Logic_PendingPictures::findCard(const QString& serial) const
{
    for (const Card& card : m_cards) {
        if (card.serial == serial)
            return &card.mark;
    }
    return nullptr;
}

// The camera seen longest ago gives way.
BRX_Logic_PendingPictures::CardMark& BRX_Logic_PendingPictures::cardOf(const QString& serial)
{
    for (Card& card : m_cards) {
        if (card.serial == serial)
            return card.mark;
    }
    if (m_cards.size() >= kMaxCameras)
        m_cards.removeFirst();
    m_cards.append({serial, CardMark()});
    return m_cards.last().mark;
}

void BRX_Logic_PendingPictures::sawNewest(const QString& serial, const Picture& newest)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    CardMark& card = cardOf(serial);
    card.known = true;
    card.newest = newest;
}

void BRX_Logic_PendingPictures::lostSightOfCard(const QString& serial)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    CardMark& card = cardOf(serial);
    card.known = false;
    card.newest = Picture();
}

void BRX_Logic_PendingPictures::releaseSent(const QString& serial, int files)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    CardMark& card = cardOf(serial);
    if (files == kUnknownFiles)
        card.unknownFiles = true;
    else
        card.unannounced = std::min(card.unannounced + std::max(files, 0), kMaxPictures);
}

void BRX_Logic_PendingPictures::fileAnnounced(const QString& serial)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    CardMark& card = cardOf(serial);
    card.unannounced = std::max(card.unannounced - 1, 0);
}

void BRX_Logic_PendingPictures::settle(CardMark& card)
{
    card.unannounced = 0;
    card.unknownFiles = false;
}

void BRX_Logic_PendingPictures::releasesSettled(const QString& serial)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    settle(cardOf(serial));
}

void BRX_Logic_PendingPictures::seriesEnded(const QString& serial)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    cardOf(serial).unknownFiles = false;
}

void BRX_Logic_PendingPictures::delivered(const QString& serial, const QString& name)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    QStringList& names = cardOf(serial).delivered;
    names.append(name);
    if (names.size() > kMaxPictures)
        names.removeFirst();
}

BRX_Logic_PendingPictures::CardMark BRX_Logic_PendingPictures::mark(const QString& serial) const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    const CardMark* card = findCard(serial);
    return card ? *card : CardMark();
}

BRX_Logic_PendingPictures::CardMark BRX_Logic_PendingPictures::takeMark(const QString& serial)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    CardMark& card = cardOf(serial);
    const CardMark taken = card;
    settle(card);
    return taken;
}
