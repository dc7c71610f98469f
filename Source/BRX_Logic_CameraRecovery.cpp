#include "BRX_Logic_CameraRecovery.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "BRX_Logic_CardListing.h"
#include "BRX_Logic_PictureRecovery.h"
#include "BRX_Logic_TransferThread.h"

#include <utility>

namespace {

typedef BRX_Logic_PendingPictures::Picture Picture;
typedef BRX_Logic_PictureRecovery Recovery;

QByteArray printable(const QString& name)
{
    return name.toUtf8().toPercentEncoding(" ");
}

} // namespace

// The releases' debt is taken over at once: the releases of this
// connection start a debt of their own.
BRX_Logic_CameraRecovery::BRX_Logic_CameraRecovery(BRX_Commu_CameraAccess_Base& access,
                                                   BRX_Logic_PendingPictures& pending, const QString& serial,
                                                   Hooks hooks)
    : m_access(access)
    , m_pending(pending)
    , m_serial(serial)
    , m_hooks(std::move(hooks))
    , m_mark(pending.takeMark(serial))
{
    m_due = m_mark.releasesOutstanding() || m_pending.has(m_serial);
}

// A card not read to its end proves nothing lost: what was owed waits for
// the next connection. A camera already gone is not asked at all.
void BRX_Logic_CameraRecovery::recover()
{
    if (m_access.hasDeparted()) {
        postpone();
        return;
    }
    if (!m_due)
        return;
    m_due = false;
    const QVector<Picture> owed = m_pending.take(m_serial);
    QVector<Recovery::CardFile> card;
    const bool read = Recovery::readCardBack(
        m_access, [this, &owed](const QVector<Recovery::CardFile>& files) { return isEnough(owed, files); }, &card);
    if (m_access.hasDeparted()) {
        keepForNextConnection(owed);
        return;
    }
    if (!read) {
        lookAgainLater(owed);
        return;
    }
    const Recovery::Outcome outcome = Recovery::match(owed, card);
    QVector<quint32> written;
    if (m_mark.releasesOutstanding()) {
        for (quint32 handle : Recovery::newerThan(m_mark, card)) {
            if (!outcome.found.contains(handle))
                written << handle;
        }
        debugPrint(kDebugAlways, "%s - releases outstanding at the last connection's end, %d new pictures on the card",
                   BRX_METHOD, written.size());
    }
    if (!owed.isEmpty())
        debugPrint(kDebugAlways, "%s - %d pictures owed from the last connection, %d on the card", BRX_METHOD,
                   owed.size(), outcome.found.size());
    // A card that listed nothing may not have answered: the first release
    // looks at it again.
    if (!card.isEmpty())
        noteNewest(Recovery::pictureOf(card.last()));
    reportLost(outcome.lost);
    fetch(card, outcome.found + written);
}

// Each file is owed until its download delivers it: a download cut before
// it learnt the file's name (its ObjectInfo) leaves it to the next connection.
void BRX_Logic_CameraRecovery::fetch(const QVector<Recovery::CardFile>& card, const QVector<quint32>& handles)
{
    for (const Recovery::CardFile& file : card) {
        if (handles.contains(file.handle))
            m_pending.remember(m_serial, Recovery::pictureOf(file));
    }
    for (quint32 handle : handles)
        m_hooks.download(handle);
}

void BRX_Logic_CameraRecovery::postpone()
{
    if (!m_due)
        return;
    m_due = false;
    keepForNextConnection({});
}

// The camera did not answer but is still connected: the owed files and the
// releases' debt stay with this connection, which looks again, or, after
// its last look, with the next connection.
void BRX_Logic_CameraRecovery::lookAgainLater(const QVector<Picture>& owed)
{
    if (++m_looks >= kMaxLooks) {
        debugPrint(kDebugAlways, "%s - the card did not answer %d times; looked at again at the next connection",
                   BRX_METHOD, m_looks);
        keepForNextConnection(owed);
        return;
    }
    rememberAll(owed);
    m_due = true;
    debugPrint(kDebugAlways, "%s - the card did not answer; looked at again in %d ms", BRX_METHOD, kLookAgainMs);
    m_hooks.lookAgain(kLookAgainMs);
}

void BRX_Logic_CameraRecovery::rememberAll(const QVector<Picture>& owed)
{
    for (const Picture& picture : owed)
        m_pending.remember(m_serial, picture);
}

void BRX_Logic_CameraRecovery::keepForNextConnection(const QVector<Picture>& owed)
{
    rememberAll(owed);
    m_pending.releaseSent(m_serial, m_mark.unannounced);
    if (m_mark.unknownFiles)
        m_pending.releaseSent(m_serial, BRX_Logic_PendingPictures::kUnknownFiles);
}

// Every owed file found, and, for outstanding releases, the newest file seen
// before: what lies before cannot be owed. Otherwise the card is read whole
// (a file not found is lost only then).
bool BRX_Logic_CameraRecovery::isEnough(const QVector<Picture>& owed, const QVector<Recovery::CardFile>& read) const
{
    if (read.isEmpty() || !Recovery::match(owed, read).lost.isEmpty())
        return false;
    if (!m_mark.releasesOutstanding() || !m_mark.known)
        return true;
    return !m_mark.newest.name.isEmpty() && Recovery::isSame(m_mark.newest, read.first());
}

void BRX_Logic_CameraRecovery::reportLost(const QStringList& names)
{
    int lostNumber = 0;
    for (const QString& name : names) {
        debugPrint(kDebugAlways, "%s - picture %s lost: no longer on the camera", BRX_METHOD,
                   printable(name).constData());
        const QByteArray latin1 = Recovery::lostFileName(name, ++lostNumber).toLatin1();
        m_hooks.deliver(BRX_Logic_TransferThread::kFramePictureLost, latin1.constData(), unsigned(latin1.size()));
    }
}

// Once an announced file could not be described, no newer file may mark
// the card: the next connection must still look past the undescribed one.
void BRX_Logic_CameraRecovery::noteNewest(const Picture& newest)
{
    if (!m_newestFrozen)
        m_pending.sawNewest(m_serial, newest);
    m_newestSeen = true;
}

// A new picture is remembered from its announcement on: a camera that goes
// away before its download begins still owes it. The camera announces the
// file before it asks for its transfer, so it is remembered before its
// download can end.
void BRX_Logic_CameraRecovery::objectAdded(quint32 handle)
{
    if (!BRX_Logic_CardListing::isPictureHandle(handle))
        return;
    m_announcesObjects = true;
    // A file whose description did not come is not seen: the release that
    // made it still owes it, and the card answers for it once the camera is back.
    Recovery::CardFile file;
    if (!Recovery::readFile(m_access, handle, &file)) {
        m_newestFrozen = true;
        return;
    }
    m_pending.fileAnnounced(m_serial);
    const Picture picture = Recovery::pictureOf(file);
    m_pending.remember(m_serial, picture);
    noteNewest(picture);
    debugPrint(kDebugHousekeeping, "%s - picture %s owed until delivered", BRX_METHOD,
               printable(file.name).constData());
}

// A camera that announces its objects asks for their transfers later: each
// file is counted once, at its first announcement.
void BRX_Logic_CameraRecovery::transferRequested()
{
    if (!m_announcesObjects)
        m_pending.fileAnnounced(m_serial);
}

// Read before the stage goes out, so that the release's own files are newer.
void BRX_Logic_CameraRecovery::releasing()
{
    if (m_newestSeen || m_due || m_access.hasDeparted())
        return;
    Recovery::CardFile newest;
    if (Recovery::readNewest(m_access, &newest))
        noteNewest(Recovery::pictureOf(newest));
    else
        m_pending.lostSightOfCard(m_serial);
    m_newestSeen = true;
}

void BRX_Logic_CameraRecovery::released(int files)
{
    m_pending.releaseSent(m_serial, files);
}

void BRX_Logic_CameraRecovery::releasesSettled()
{
    m_pending.releasesSettled(m_serial);
}

void BRX_Logic_CameraRecovery::seriesEnded()
{
    m_pending.seriesEnded(m_serial);
}

void BRX_Logic_CameraRecovery::delivered(const QString& cameraFileName)
{
    m_pending.delivered(m_serial, cameraFileName);
}
