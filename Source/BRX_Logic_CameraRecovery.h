#ifndef BRX_LOGIC_CAMERARECOVERY_H
#define BRX_LOGIC_CAMERARECOVERY_H

#include "BRX_Logic_PendingPictures.h"
#include "BRX_Logic_PictureRecovery.h"

#include <QString>

#include <functional>

class BRX_Commu_CameraAccess_Base;

// One connection's part in getting a camera's pictures to the host across
// its disconnections. It keeps the pending list (shared by all connections)
// told what the camera announced, what the host released and what was
// delivered, and, when the same camera is back, fetches from the card:
// - the files announced or begun and not delivered whole (lost, record 12,
//   when the card no longer holds them);
// - when releases of the host were outstanding as the link went (files
//   asked for and not announced), the card files newer than the newest the
//   library had seen and not delivered: pictures written after the link
//   had gone. Without outstanding releases nothing else is fetched, so
//   that pictures shot on the body while unplugged stay on the card.
//
// Controller thread, but delivered() (any thread).
class BRX_Logic_CameraRecovery
{
public:
    struct Hooks {
        // Starts the usual download of a card file (its records as for a
        // new picture).
        std::function<void(quint32 handle)> download;
        // Hands a record to the frame callback.
        std::function<void(int type, const void* data, unsigned int size)> deliver;
        // Calls recover() again after ms, unless the connection ends first.
        std::function<void(int ms)> lookAgain;
    };

    // How long a card that stopped answering is left before the next look,
    // and how many looks a connection makes before it leaves the card to
    // the next one (a camera that keeps refusing its listing is not asked
    // for ever).
    static constexpr int kLookAgainMs = 1000;
    static constexpr int kMaxLooks = 10;

    // access and pending are not owned and outlive the object.
    BRX_Logic_CameraRecovery(BRX_Commu_CameraAccess_Base& access, BRX_Logic_PendingPictures& pending,
                             const QString& serial, Hooks hooks);

    // Whether the camera owed pictures when it connected and they have not
    // been looked for yet.
    bool isDue() const { return m_due; }
    // Looks for them on the card: once, unless the card did not answer
    // before it was read far enough (then again a while later, at most
    // kMaxLooks times in all, or at the next connection when the camera
    // leaves meanwhile).
    void recover();
    // The connection ends before recover() ran: what the camera owes waits
    // for the next one, and a recover() still queued does nothing.
    void postpone();

    // The camera announced a new object (ObjectAdded).
    void objectAdded(quint32 handle);
    // The camera asked for one file's transfer (the announcement of cameras
    // that send no ObjectAdded).
    void transferRequested();
    // A release that makes files is about to go out: the first of the
    // connection notes the card's newest file, unless owed pictures are
    // still to be looked for (their listing notes it).
    void releasing();
    // It went out; files: as BRX_Logic_PendingPictures::releaseSent.
    void released(int files);
    // The camera went quiet after its releases.
    void releasesSettled();
    void seriesEnded();
    void delivered(const QString& cameraFileName);

private:
    bool isEnough(const QVector<BRX_Logic_PendingPictures::Picture>& owed,
                  const QVector<BRX_Logic_PictureRecovery::CardFile>& read) const;
    // The card was not read to the end (the camera left, or its last look
    // went unanswered): what it owed waits for the next connection.
    void keepForNextConnection(const QVector<BRX_Logic_PendingPictures::Picture>& owed);
    void lookAgainLater(const QVector<BRX_Logic_PendingPictures::Picture>& owed);
    void rememberAll(const QVector<BRX_Logic_PendingPictures::Picture>& owed);
    void reportLost(const QStringList& names);
    void fetch(const QVector<BRX_Logic_PictureRecovery::CardFile>& card, const QVector<quint32>& handles);
    void noteNewest(const BRX_Logic_PendingPictures::Picture& newest);

    BRX_Commu_CameraAccess_Base& m_access;
    BRX_Logic_PendingPictures& m_pending;
    const QString m_serial;
    const Hooks m_hooks;
    // The card mark as the connection began, its releases' debt included.
    BRX_Logic_PendingPictures::CardMark m_mark;
    bool m_due = false;
    int m_looks = 0;
    // The card's newest file is known for this connection.
    bool m_newestSeen = false;
    // An announced file went undescribed: the card mark stays where it was.
    bool m_newestFrozen = false;
    // The camera announces each new file (ObjectAdded), not only its transfer.
    bool m_announcesObjects = false;
};

#endif
