#ifndef BRX_LOGIC_CARD_H
#define BRX_LOGIC_CARD_H

#include "BRX_Logic_CardListing.h"
#include "BRX_Logic_DownloadRetry.h"

#include <QByteArray>
#include <QHash>
#include <QVector>

#include <memory>
#include <mutex>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_Camera;

// The camera's card as a host sees it: the pictures on it (whether each was
// delivered during this connection), a picture's bytes or thumbnail,
// deletion, and the card's room. A picture is known by its object handle,
// which holds for the connection; what a listing learnt of a handle is kept,
// so that the next listing reads the ObjectInfo of new pictures only.
//
// Created and deleted with the connection by the controller. Any thread:
// each exchange with the camera is one transaction of its own, between
// which the transfer threads' downloads go on.
class BRX_Logic_Card
{
public:
    struct File {
        BRX_Logic_CardListing::Entry entry;
        bool delivered = false;
    };
    // picturesLeft when the camera does not tell.
    static const quint32 kPicturesLeftUntold = 0xFFFFFFFF;
    struct Room {
        quint64 capacityBytes = 0;
        quint64 freeBytes = 0;
        quint32 picturesLeft = kPicturesLeftUntold;
    };
    enum class Deletion { Deleted, NotOffered, UnknownFile, Refused };

    BRX_Logic_Card(BRX_Logic_Camera& camera, BRX_Commu_CameraAccess_Base& access);

    // The pictures on the card in the camera's order. False, with none, when
    // the camera does not list its card (no answer or a refusal): that says
    // nothing of what it holds, so what the last listing learnt is kept.
    bool files(QVector<File>* files);
    // The picture of handle as last listed; false when no listing met it.
    bool find(quint32 handle, BRX_Logic_CardListing::Entry* entry);
    // The picture's bytes, null when it is unknown or cannot be read whole
    // (each read tried again as a tethered download's is).
    std::unique_ptr<QByteArray> download(quint32 handle);
    // The picture's small thumbnail (JPEG); null when unknown or none.
    std::unique_ptr<QByteArray> thumbnail(quint32 handle);
    Deletion remove(quint32 handle);
    // The card's room, summed over the camera's storages; false when the
    // camera tells none.
    bool room(Room* room);
    // The room read now, when it differs from the one this told last during
    // the connection (the first reading always does); false otherwise or
    // when the camera tells none.
    bool roomChanged(Room* room);
    // The room a StorageInfo dataset tells; false when it is too short.
    static bool decodeRoom(const QByteArray& storageInfo, Room* room);

private:
    BRX_Logic_Camera& m_camera;
    BRX_Commu_CameraAccess_Base& m_access;
    std::mutex m_lock; // guards what follows
    BRX_Logic_CardListing m_listing;
    QHash<quint32, BRX_Logic_CardListing::Entry> m_known;
    // Downloads to the host's buffers, one at a time: the reader keeps its buffer.
    std::mutex m_downloadLock;
    BRX_Logic_DownloadRetry m_downloads;
    std::mutex m_roomLock; // guards what follows
    bool m_roomTold = false;
    Room m_toldRoom;
};

#endif
