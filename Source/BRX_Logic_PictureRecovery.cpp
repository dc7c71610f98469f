#include "BRX_Logic_PictureRecovery.h"

#include "BRX_Logic_CardListing.h"
#include "BRX_Logic_FolderSettings.h"

BRX_Logic_PictureRecovery::Outcome BRX_Logic_PictureRecovery::match(
    const QVector<BRX_Logic_PendingPictures::Picture>& remembered, const QVector<CardFile>& card)
{
    Outcome outcome;
    QVector<bool> taken(card.size(), false);
    for (const BRX_Logic_PendingPictures::Picture& picture : remembered) {
        int index = -1;
        for (int i = 0; i < card.size() && index < 0; ++i) {
            if (!taken.at(i) && card.at(i).name == picture.name && card.at(i).size == picture.size)
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

QVector<BRX_Logic_PictureRecovery::CardFile> BRX_Logic_PictureRecovery::listCard(BRX_Commu_CameraAccess_Base& access)
{
    QVector<CardFile> files;
    for (const BRX_Logic_CardListing::Entry& entry : BRX_Logic_CardListing(access).list())
        files.append({entry.handle, entry.cameraName, entry.size});
    return files;
}

QString BRX_Logic_PictureRecovery::lostFileName(const QString& cameraName, int number)
{
    const QString extension = cameraName.mid(BRX_Logic_FolderSettings::withoutPictureExtension(cameraName).size());
    return BRX_Logic_FolderSettings::plainFileNameOr(
        cameraName, BRX_Logic_FolderSettings::pictureFileName(QStringLiteral("LostPicture"), number, extension));
}
