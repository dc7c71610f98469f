#ifndef BRX_LOGIC_PICTURERECOVERY_H
#define BRX_LOGIC_PICTURERECOVERY_H

#include "BRX_Logic_PendingPictures.h"

#include <QDateTime>
#include <QStringList>
#include <QVector>

#include <functional>

class BRX_Commu_CameraAccess_Base;

// Finds on the card the pictures a camera still owed the host when it went
// away. Handles may differ from those of the earlier session, so a file is
// matched by its name, size and capture time; one the card no longer holds
// (card swapped, file deleted) is lost.
class BRX_Logic_PictureRecovery
{
public:
    // One picture file on the card, as its ObjectInfo describes it.
    struct CardFile {
        quint32 handle = 0;
        QString name;
        quint32 size = 0;
        // Invalid where the camera gives no capture date.
        QDateTime captured;
    };
    struct Outcome {
        // Handles to download, in the order the pictures were remembered.
        QVector<quint32> found;
        // Names of the remembered pictures the card does not hold.
        QStringList lost;
    };

    // Each card file answers one remembered picture at most: the same name
    // and size, and the same capture time where the remembered picture has
    // one (a file of the same name and size taken at another time is
    // another picture).
    static Outcome match(const QVector<BRX_Logic_PendingPictures::Picture>& remembered,
                         const QVector<CardFile>& card);
    // The card files, in the card's order, that came after the newest one
    // the mark saw and were not delivered: after that file where the card
    // still holds it, else those captured later than it. Nothing for a mark
    // that saw nothing of the card; all the files when the card was empty.
    static QVector<quint32> newerThan(const BRX_Logic_PendingPictures::CardMark& mark,
                                      const QVector<CardFile>& card);
    // Whether the files read so far, oldest first, are all a look at the card needs.
    typedef std::function<bool(const QVector<CardFile>& read)> Enough;
    // The picture files on the camera's card with their names, sizes and
    // capture times, oldest handle first, read from the newest back until
    // enough holds: those read then. Files whose ObjectInfo the camera
    // refuses are left out. False when the camera left, did not list its
    // card or stopped answering before enough was read: what was read then
    // tells nothing. The caller's thread talks to the camera (the transport
    // serialises it).
    static bool readCardBack(BRX_Commu_CameraAccess_Base& access, const Enough& enough, QVector<CardFile>* files);
    // The camera's newest picture file (its last picture handle); false when
    // the camera does not answer. No name: the card holds none.
    static bool readNewest(BRX_Commu_CameraAccess_Base& access, CardFile* newest);
    // One card file's ObjectInfo; false, with a log line, when it is refused.
    static bool readFile(BRX_Commu_CameraAccess_Base& access, quint32 handle, CardFile* file);
    // The name the host is told a lost picture by: the camera's when it is a
    // plain file name, else one of the picture's number among the lost.
    static QString lostFileName(const QString& cameraName, int number);
    static BRX_Logic_PendingPictures::Picture pictureOf(const CardFile& file);
    // The same name and size, and the same capture time where picture has one.
    static bool isSame(const BRX_Logic_PendingPictures::Picture& picture, const CardFile& file);
};

#endif
