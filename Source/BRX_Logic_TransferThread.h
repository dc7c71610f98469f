#ifndef BRX_LOGIC_TRANSFERTHREAD_H
#define BRX_LOGIC_TRANSFERTHREAD_H

#include "BRX_Logic_ObjectReader.h"

#include <QByteArray>
#include <QString>
#include <QThread>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_Camera;

// Downloads the one picture the camera announced when the thread was made:
// reads its object information, names it from the folder settings, hands the
// quick view (file name, orientation, thumbnail) and the picture's bytes to
// the host's frame callback, and advances the picture index. Threads of one
// camera run one after the other under the camera's transfer mutex, which
// each holds for its whole download.
//
// The camera creates, starts and finally deletes the thread; it must outlive
// it (the camera's destructor waits for its threads).
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
    };
    // Every object operation of a download addresses the camera's pending
    // object through this handle, not through an image-database handle.
    static const quint32 kPendingObjectHandle = 0x12345678;

    // useObjectProps: the camera offers the object-property operations, so
    // the orientation can be asked for instead of parsed from the picture.
    BRX_Logic_TransferThread(BRX_Logic_Camera* camera, bool useObjectProps);
    ~BRX_Logic_TransferThread() override;

    // The calling thread's id as the log lines show it.
    static unsigned long currentThreadNumber();

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
    QByteArray readObject(const ObjectInfo& info);
    void endOfBurst(const Download& download);

    BRX_Logic_Camera* const m_camera;
    BRX_Commu_CameraAccess_Base* m_access = nullptr;
    const bool m_useObjectProps;
};

#endif
