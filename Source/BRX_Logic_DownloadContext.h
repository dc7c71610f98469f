#ifndef BRX_LOGIC_DOWNLOADCONTEXT_H
#define BRX_LOGIC_DOWNLOADCONTEXT_H

#include <QString>

#include <functional>
#include <mutex>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_DownloadRetry;
class BRX_Logic_FolderSettings;
class BRX_Logic_PendingPictures;
class BRX_Logic_Release;
class BRX_Logic_TransferState;

// Everything one download needs, built by whoever asks for the download and
// handed to its transfer thread. The pointers are not owned; what they point
// to must outlive the thread. The functions are called on the thread.
struct BRX_Logic_DownloadContext
{
    typedef std::function<void(int type, const void* data, unsigned int size)> FrameSink;

    // The camera: its product, the object operations.
    BRX_Commu_CameraAccess_Base* access = nullptr;
    // The handle that addresses the head of the camera's transfer queue.
    static constexpr quint32 kPendingObject = 0x12345678;
    // The object to fetch: the camera's announced picture, or a file found
    // on the card again after a reconnect.
    quint32 handle = kPendingObject;
    // What was begun and not delivered whole is remembered there, under the
    // camera's serial number, for when the camera is back; null: nothing is.
    BRX_Logic_PendingPictures* pending = nullptr;
    QString serial;
    // The camera offers the object-property operations, so the orientation
    // can be asked for instead of parsed from the picture.
    bool useObjectProps = false;
    // Fetches thumbnails and pictures whole.
    BRX_Logic_DownloadRetry* downloads = nullptr;
    BRX_Logic_TransferState* transfer = nullptr;
    // Counts the queued downloads, repeats a series' stop.
    BRX_Logic_Release* release = nullptr;
    // Names the picture; guarded by foldersLock, which others hold around
    // the folder settings too.
    BRX_Logic_FolderSettings* folders = nullptr;
    std::recursive_mutex* foldersLock = nullptr;
    // The record's file format, -1 without a record.
    std::function<int()> fileFormat;
    // Sends what the download changed in the record.
    std::function<void()> sendSettings;
    // The host's frame callback.
    FrameSink deliver;
};

#endif
