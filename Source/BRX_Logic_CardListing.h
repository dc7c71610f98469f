#ifndef BRX_LOGIC_CARDLISTING_H
#define BRX_LOGIC_CARDLISTING_H

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>

class BRX_Commu_CameraAccess_Base;

// The pictures on the camera's card as the camera describes them: its
// picture handles, then one ObjectInfo read per picture. Each read is one
// PTP transaction of its own, so a download of the transfer threads waits
// for at most one of them; nothing is kept between listings but the names
// of the folders met.
//
// Any thread; one listing at a time per object. The access must outlive it.
class BRX_Logic_CardListing
{
public:
    struct Entry {
        quint32 handle = 0;
        // The file name ("BRX_0001.JPG") and the name of the folder that
        // holds it ("100BRX"; empty at the storage's root), as a host may use
        // them: plain file names, the camera's own unless they are not.
        QString fileName;
        QString folder;
        // The file name as the camera gives it, to match what it announced.
        QString cameraName;
        quint32 size = 0;
        // PTP object format (0x3801 JPG, 0x3802 the DNGs, 0x3000 undefined, ...).
        quint16 format = 0;
        // Invalid where the camera gives no capture date.
        QDateTime captured;
    };

    explicit BRX_Logic_CardListing(BRX_Commu_CameraAccess_Base& access);

    // The camera's storages (at most 16).
    QVector<quint32> storageIds();
    // The picture handles of all storages in the camera's order, each once.
    // False, with none, when the camera does not list them (no answer or a
    // refusal): that says nothing of what is on the card. Folders and other
    // objects are left out by the handle's type (its low four bits 1, 2 or 6).
    bool pictureHandles(QVector<quint32>* handles);
    // False, with a log line, when the camera refuses the handle's ObjectInfo.
    bool readEntry(quint32 handle, Entry* entry);
    // Every picture, oldest handle first; a picture whose ObjectInfo cannot
    // be read is left out.
    QVector<Entry> list();

    // The fields of an ObjectInfo dataset (as much of it as was received).
    // The parent's handle goes to *parent. A name that is no plain file name
    // gives way to one of the handle's number.
    static Entry decode(quint32 handle, const QByteArray& dataset, quint32* parent);
    // PTP DateTime "YYYYMMDDThhmmss[.s][Z|+hhmm]", local time; invalid for
    // anything else.
    static QDateTime parseDateTime(const QString& text);
    static bool isPictureHandle(quint32 handle);

private:
    QString folderName(quint32 parent);

    BRX_Commu_CameraAccess_Base& m_access;
    QHash<quint32, QString> m_folders;
};

#endif
