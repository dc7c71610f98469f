#ifndef BRX_LOGIC_PENDINGPICTURES_H
#define BRX_LOGIC_PENDINGPICTURES_H

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <mutex>

// What each camera (by its serial number) still owes its host across its
// reconnects, so that the pictures can be found on the card and fetched
// when the same camera connects again:
// - the picture files it began to deliver and the host has not had whole;
//   object handles may change across sessions, so a file is known by its
//   name, size and capture time;
// - what the library last saw of its card (the newest picture file) and
//   whether releases the host asked for had not all been announced, so that
//   pictures the camera wrote after the link had gone can be told from
//   pictures shot on the body while nobody was tethered.
// Kept while the controller lives (across reconnects, not across a restart
// of the library): at most kMaxPictures files in all, the oldest giving
// way with a log line, and the cards of at most kMaxCameras cameras. Any
// thread.
class BRX_Logic_PendingPictures
{
public:
    static constexpr int kMaxPictures = 300;
    static constexpr int kMaxCameras = 32;
    // A release whose number of files nobody knows beforehand (a series).
    static constexpr int kUnknownFiles = -1;

    struct Picture {
        QString name;
        quint32 size = 0;
        // Invalid where the camera gives no capture date.
        QDateTime captured;
        // A download knows no capture date: name and size tell the file.
        bool operator==(const Picture& other) const { return name == other.name && size == other.size; }
    };
    // What the library last saw of one camera's card.
    struct CardMark {
        // Whether newest tells anything: false until the card was looked at.
        bool known = false;
        // The newest picture file seen; no name: the card held none.
        Picture newest;
        // Files the host's releases made that the camera has not announced;
        // unknownFiles: a series whose end has not been seen.
        int unannounced = 0;
        bool unknownFiles = false;
        // Names of the files delivered whole lately, at most kMaxPictures.
        QStringList delivered;
        bool releasesOutstanding() const { return unannounced > 0 || unknownFiles; }
    };

    // Once per file: remembering it again changes nothing but a capture
    // date that was missing.
    void remember(const QString& serial, const Picture& picture);
    void forget(const QString& serial, const Picture& picture);
    // Whether the camera owes pictures: files begun, or releases outstanding.
    bool has(const QString& serial) const;
    // The camera's files, oldest first, handed over: they are no longer
    // remembered (a download that is cut again remembers its file anew).
    QVector<Picture> take(const QString& serial);

    // The newest picture file on the camera's card now (no name: none).
    void sawNewest(const QString& serial, const Picture& newest);
    // The card could not be looked at: what was seen of it before tells
    // nothing any more.
    void lostSightOfCard(const QString& serial);
    // A release went out that makes files (kUnknownFiles: a series).
    void releaseSent(const QString& serial, int files);
    // The camera announced one file for transfer.
    void fileAnnounced(const QString& serial);
    // The camera was quiet after its releases: nothing more is owed by them.
    void releasesSettled(const QString& serial);
    // A series ended and its last picture arrived.
    void seriesEnded(const QString& serial);
    void delivered(const QString& serial, const QString& name);
    CardMark mark(const QString& serial) const;
    // The camera's card mark, its releases' debt handed over (settled here).
    CardMark takeMark(const QString& serial);

private:
    struct Entry {
        QString serial;
        Picture picture;
    };
    struct Card {
        QString serial;
        CardMark mark;
    };

    // Under m_mutex: the camera's card mark, made when missing.
    CardMark& cardOf(const QString& serial);
    const CardMark* findCard(const QString& serial) const;
    static void settle(CardMark& card);
    int indexOf(const QString& serial, const Picture& picture) const;

    mutable std::mutex m_mutex;
    QList<Entry> m_entries;
    QList<Card> m_cards;
};

#endif
