#ifndef BRX_LOGIC_PENDINGPICTURES_H
#define BRX_LOGIC_PENDINGPICTURES_H

#include <QList>
#include <QString>
#include <QVector>

#include <mutex>

// The picture files each camera (by its serial number) began to deliver and
// the host has not had whole, so that they can be found on the card and
// fetched when the same camera connects again: object handles may change
// across sessions, so a file is known by its name and size. Kept while the
// controller lives (across reconnects, not across a restart of the
// library), at most kMaxPictures files in all; the oldest gives way, with a
// log line. Any thread.
class BRX_Logic_PendingPictures
{
public:
    static constexpr int kMaxPictures = 300;

    struct Picture {
        QString name;
        quint32 size = 0;
        bool operator==(const Picture& other) const { return name == other.name && size == other.size; }
    };

    // Once per file: remembering it again changes nothing.
    void remember(const QString& serial, const Picture& picture);
    void forget(const QString& serial, const Picture& picture);
    bool has(const QString& serial) const;
    // The camera's files, oldest first, handed over: they are no longer
    // remembered (a download that is cut again remembers its file anew).
    QVector<Picture> take(const QString& serial);

private:
    struct Entry {
        QString serial;
        Picture picture;
    };

    mutable std::mutex m_mutex;
    QList<Entry> m_entries;
};

#endif
