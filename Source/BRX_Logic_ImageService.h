#ifndef BRX_LOGIC_IMAGESERVICE_H
#define BRX_LOGIC_IMAGESERVICE_H

#include <QByteArray>
#include <QString>

#include <memory>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_Camera;
class BRX_Logic_ImageEntry;

// The pictures stored on one connected camera, beyond the downloads of new
// ones: the camera model's image database, thumbnails (learning each
// picture's orientation and size class on the way), pictures for sharing and
// deletion. Each operation that talks to the camera counts as a transfer of
// the camera model and holds its communication lock meanwhile, so that no
// keep-alive or 3D-axis exchange comes in between.
//
// Created and deleted with the connection by the controller. Controller
// thread; the results are the caller's to keep.
class BRX_Logic_ImageService
{
public:
    BRX_Logic_ImageService(BRX_Logic_Camera& camera, BRX_Commu_CameraAccess_Base& access, int productId);

    // The database as it stands between signalImageDBChangeEnd and the next
    // signalImageDBChangeBegin of the camera model; null for an index outside.
    int pictureCount() const;
    const BRX_Logic_ImageEntry* pictureEntry(int index) const;
    // The big or small thumbnail of a handle in the database, with the
    // camera's file name; null when the handle is not there or the camera
    // gives none.
    std::unique_ptr<QByteArray> loadThumbnail(uint handle, bool isBig, QString* fileName);
    // The picture at index: its big thumbnail, the camera's large preview of
    // a DNG (full resolution of a DNG), or the whole object (full resolution
    // of anything else, or a DNG with forceDNG). Null when there is no
    // picture at index or it is too small or too large to share; isWholeDng
    // is set only for a whole DNG.
    std::unique_ptr<QByteArray> loadForSharing(int index, bool fullRes, bool forceDNG, bool* isWholeDng);
    // Forgets the entry; the camera keeps the object. False for a handle
    // not in the database.
    bool forgetPicture(uint handle);

private:
    BRX_Logic_Camera& m_camera;
    BRX_Commu_CameraAccess_Base& m_access;
    const int m_productId;
};

#endif
