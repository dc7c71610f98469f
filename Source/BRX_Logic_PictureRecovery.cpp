#include "BRX_Logic_PictureRecovery.h"

#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "BRX_Logic_CardListing.h"
#include "BRX_Logic_FolderSettings.h"

namespace {

typedef BRX_Logic_PendingPictures::Picture Picture;

const quint32 kAllStorages = 0xFFFFFFFF;
// Room for the count and this many handles; a longer list is cut here.
const quint32 kMaxObjectHandles = 65536;
// The whole ObjectInfo dataset: four PTP strings of up to 255 characters
// after 52 bytes.
const quint32 kObjectInfoSize = 52 + 4 * (1 + 255 * 2);

} // namespace

bool BRX_Logic_PictureRecovery::isSame(const Picture& picture, const CardFile& file)
{
    return file.name == picture.name && file.size == picture.size
        && (!picture.captured.isValid() || file.captured == picture.captured);
}

BRX_Logic_PictureRecovery::Outcome BRX_Logic_PictureRecovery::match(const QVector<Picture>& remembered,
                                                                    const QVector<CardFile>& card)
{
    Outcome outcome;
    QVector<bool> taken(card.size(), false);
    for (const Picture& picture : remembered) {
        int index = -1;
        for (int i = 0; i < card.size() && index < 0; ++i) {
            if (!taken.at(i) && isSame(picture, card.at(i)))
                index = i;
        }
        if (index < 0) {
            outcome.lost << picture.name;
            continue;
        }
        taken[index] = true;
        outcome.found << card.at(index).handle;
    }
    return outcome;
}

QVector<quint32> BRX_Logic_PictureRecovery::newerThan(const BRX_Logic_PendingPictures::CardMark& mark,
                                                      const QVector<CardFile>& card)
{
    QVector<quint32> newer;
    if (!mark.known)
        return newer;
    int seen = -1;
    for (int i = card.size() - 1; i >= 0 && seen < 0 && !mark.newest.name.isEmpty(); --i) {
        if (isSame(mark.newest, card.at(i)))
            seen = i;
    }
    // Without the newest file seen, only its capture time tells what came after.
    const bool byTime = seen < 0 && !mark.newest.name.isEmpty();
    if (byTime && !mark.newest.captured.isValid())
        return newer;
    for (int i = seen + 1; i < card.size(); ++i) {
        const CardFile& file = card.at(i);
        const bool later = !byTime || (file.captured.isValid() && file.captured > mark.newest.captured);
        if (later && !mark.delivered.contains(file.name))
            newer << file.handle;
    }
    return newer;
}

// A card of thousands of files is not read whole for the few pictures of
// the last connection: each ObjectInfo is a transaction of its own. A
// request without an answer (no response code) is the link failing, not
// the camera refusing one file.
bool BRX_Logic_PictureRecovery::readCardBack(BRX_Commu_CameraAccess_Base& access, const Enough& enough,
                                             QVector<CardFile>* files)
{
    files->clear();
    BRX_Logic_CardListing listing(access);
    QVector<quint32> handles;
    if (!listing.pictureHandles(&handles))
        return false;
    for (int i = handles.size() - 1; i >= 0 && !access.hasDeparted() && !enough(*files); --i) {
        BRX_Logic_CardListing::Entry entry;
        if (listing.readEntry(handles.at(i), &entry))
            files->prepend({entry.handle, entry.cameraName, entry.size, entry.captured});
        else if (access.lastResponseCode() == 0)
            return false;
    }
    return !access.hasDeparted();
}

// Only the last handle's ObjectInfo is read: a full card is not listed
// before a release.
bool BRX_Logic_PictureRecovery::readNewest(BRX_Commu_CameraAccess_Base& access, CardFile* newest)
{
    const quint32 size = 4 + kMaxObjectHandles * 4;
    QByteArray answer(int(size), '\0');
    if (!access.getObjectHandles(answer.data(), size, kAllStorages)) {
        debugPrint(kDebugAlways, "%s - getObjectHandles failed", BRX_METHOD);
        return false;
    }
    BRX_Commu_ByteReader reader(answer.constData(), size);
    const quint32 count = qMin(reader.readU32(), kMaxObjectHandles);
    quint32 last = 0;
    for (quint32 i = 0; i < count; ++i) {
        const quint32 handle = reader.readU32();
        if (BRX_Logic_CardListing::isPictureHandle(handle))
            last = handle;
    }
    *newest = CardFile();
    return last == 0 || readFile(access, last, newest);
}

bool BRX_Logic_PictureRecovery::readFile(BRX_Commu_CameraAccess_Base& access, quint32 handle, CardFile* file)
{
    QByteArray dataset(int(kObjectInfoSize), '\0');
    if (!access.getObjectInfo(dataset.data(), kObjectInfoSize, 0, handle)) {
        debugPrint(kDebugAlways, "%s - getObjectInfo failed for objectHandle 0x%08X", BRX_METHOD, handle);
        return false;
    }
    quint32 parent = 0;
    const BRX_Logic_CardListing::Entry entry = BRX_Logic_CardListing::decode(handle, dataset, &parent);
    *file = {handle, entry.cameraName, entry.size, entry.captured};
    return true;
}

BRX_Logic_PendingPictures::Picture BRX_Logic_PictureRecovery::pictureOf(const CardFile& file)
{
    return {file.name, file.size, file.captured};
}

QString BRX_Logic_PictureRecovery::lostFileName(const QString& cameraName, int number)
{
    const QString extension = cameraName.mid(BRX_Logic_FolderSettings::withoutPictureExtension(cameraName).size());
    return BRX_Logic_FolderSettings::plainFileNameOr(
        cameraName, BRX_Logic_FolderSettings::pictureFileName(QStringLiteral("LostPicture"), number, extension));
}
