#ifndef BRX_LOGIC_TRANSFERTHREAD_H
#define BRX_LOGIC_TRANSFERTHREAD_H

#include "BRX_Logic_DownloadContext.h"
#include "BRX_Logic_ObjectReader.h"

#include <QByteArray>
#include <QString>
#include <QThread>

// Downloads the one picture the camera announced when the thread was made
// (or one found on the card again after a reconnect, by its handle):
// reads its object information, names it from the folder settings, hands the
// quick view (file name, orientation, thumbnail) and the picture's bytes to
// the host's frame callback, and advances the picture index. Threads of one
// camera run one after the other under the download lock of the transfer
// state, which each holds for its whole download.
//
// Everything it works on comes with its download context; what it learns
// for the camera model's thread it signals (queued, as it runs on its own).
// Whoever builds the thread starts it and finally deletes it; the context's
// objects must outlive it.
class BRX_Logic_TransferThread : public QThread
{
    Q_OBJECT
public:
    // The records a download hands to the frame callback.
    enum FrameType : int {
        kFrameOrientation = 0,
        kFrameThumbnail = 1,
        kFrameDngStarts = 2,
        kFrameJpgStarts = 3,
        kFrameDng = 4,
        kFrameJpg = 5,
        kFrameNoData = 6,
        kFrameFileName = 8,
        kFramePictureLost = 12,
    };
    // Every object operation of a download addresses the camera's pending
    // object through this handle, not through an image-database handle.
    static const quint32 kPendingObjectHandle = BRX_Logic_DownloadContext::kPendingObject;

    explicit BRX_Logic_TransferThread(const BRX_Logic_DownloadContext& context);
    ~BRX_Logic_TransferThread() override;

    // The calling thread's id as the log lines show it.
    static unsigned long runningThreadNumber();

signals:
    // The object information said how many pictures are still to load, this
    // one included.
    void signalRemainingToLoad(int remaining);
    // The picture index moved on.
    void signalFileNameAndNumber();
    // A download ended that is not the first file of a DNG + JPG pair.
    void signalDngTransferDone();

protected:
    void run() override;

private:
    enum FileKind { kDng, kJpg, kUnrecognised };

    // What the object information says; valid false when it could not be read.
    struct ObjectInfo : BRX_Logic_ObjectReader::Info {
        bool valid = false;
        int thumbType = 0;
    };
    struct Download {
        ObjectInfo info;
        FileKind kind = kUnrecognised;
        bool pairMode = false;
        QString targetPath;
        // The camera's file name as the host gets it.
        QString cameraName;
    };

    void enterQueue();
    void leaveQueue();
    void prepareCamera();
    ObjectInfo readObjectInfo();
    bool readObjectInfo(int thumbType, ObjectInfo& info);
    void takeRemainingToLoad(const ObjectInfo& info);
    bool isPairMode() const;
    static FileKind kindOf(const QString& cameraFileName);
    void nameTarget(Download& download);
    QString plainCameraName(const Download& download, int index) const;
    QString targetFolder(const Download& download) const;
    bool advancePictureIndex(const Download& download);
    QString existingFolder(FileKind kind, const QString& folder) const;
    void sendQuickView(const Download& download);
    void sendQuickViewRecords(const Download& download);
    QByteArray readThumbnail(const ObjectInfo& info);
    int readOrientation(FileKind kind);
    bool supportsOrientationProperty(FileKind kind);
    int readOrientationProperty();
    int parseOrientation();
    bool readExifHead(QByteArray& head);
    void download(const Download& download);
    // The camera has gone: a download it cut short, or one that cannot
    // begin, stays remembered for its return, without records for the host.
    bool awaitsCameraReturn() const;
    void remember(const ObjectInfo& info);
    void forget(const ObjectInfo& info);
    QByteArray readObject(const ObjectInfo& info);
    void endOfBurst(const Download& download);

    const BRX_Logic_DownloadContext m_context;
    BRX_Commu_CameraAccess_Base* const m_access;
    // The object every operation of the download addresses.
    const quint32 m_handle;
};

#endif
