#include "BRX_Logic_PictureRecovery.h"

#include "BRX_Logic_ImageDatabase.h"
#include "BRX_Logic_ObjectReader.h"

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
    for (quint32 handle : BRX_Logic_ImageDatabase::readPictureHandles(&access)) {
        BRX_Logic_ObjectReader::Info info;
        if (BRX_Logic_ObjectReader(access, handle).readInfo(BRX_Logic_ObjectReader::kSmallThumb, info))
            files.append({handle, info.fileName, info.compressedSize});
    }
    return files;
}
