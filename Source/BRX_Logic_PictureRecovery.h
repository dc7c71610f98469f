#ifndef BRX_LOGIC_PICTURERECOVERY_H
#define BRX_LOGIC_PICTURERECOVERY_H

#include "BRX_Logic_PendingPictures.h"

#include <QStringList>
#include <QVector>

class BRX_Commu_CameraAccess_Base;

// Finds on the card the pictures a camera still owed the host when it went
// away. Handles may differ from those of the earlier session, so a file is
// matched by its name and size; one the card no longer holds (card swapped,
// file deleted) is lost.
class BRX_Logic_PictureRecovery
{
public:
    // One picture file on the card, as its ObjectInfo describes it.
    struct CardFile {
        quint32 handle = 0;
        QString name;
        quint32 size = 0;
    };
    struct Outcome {
        // Handles to download, in the order the pictures were remembered.
        QVector<quint32> found;
        // Names of the remembered pictures the card does not hold.
        QStringList lost;
    };

    // Each card file answers one remembered picture at most.
    static Outcome match(const QVector<BRX_Logic_PendingPictures::Picture>& remembered,
                         const QVector<CardFile>& card);
    // The picture files on the camera's card with their names and sizes;
    // files whose ObjectInfo cannot be read are left out. The caller's
    // thread talks to the camera (the transport serialises it).
    static QVector<CardFile> listCard(BRX_Commu_CameraAccess_Base& access);
    // The name the host is told a lost picture by: the camera's when it is a
    // plain file name, else one of the picture's number among the lost.
    static QString lostFileName(const QString& cameraName, int number);
};

#endif
