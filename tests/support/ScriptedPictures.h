#ifndef SCRIPTEDPICTURES_H
#define SCRIPTEDPICTURES_H

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

#include <memory>
#include <mutex>

class BRX_Commu_VirtualCamera;

// Stored objects served by a virtual camera through scripted operations:
// storage IDs, object handles (in the order added), ObjectInfo, GetObject,
// GetPartialObject, GetThumb and DeleteObject. The camera is locked while
// it serves them, so the test raises ObjectAdded and ObjectRemoved itself.
class ScriptedPictures
{
public:
    struct Object {
        quint16 format = 0x3801;
        QByteArray data;
        QString fileName;
        // Thumbnails of kinds 0 (small), 1 (big) and 2 (large preview).
        QByteArray thumbnails[3];
        // When set, ObjectInfo reports these sizes instead of the real ones.
        qint64 claimedSize = -1;
        qint64 claimedThumbSize = -1;
    };

    explicit ScriptedPictures(BRX_Commu_VirtualCamera& camera);

    void add(quint32 handle, const Object& object);
    // Removes the object on the camera side without any event.
    void remove(quint32 handle);
    QByteArray data(quint32 handle) const;

    // A JPEG start with an Exif "II" header carrying Orientation and
    // PixelXDimension, padded to size bytes.
    static QByteArray exifPicture(int orientationCode, int width, int size);
    // A TIFF/DNG start with an "MM" header, likewise.
    static QByteArray dngPicture(int orientationCode, int width, int size);

private:
    struct State {
        mutable std::mutex mutex;
        QVector<quint32> order;
        QMap<quint32, Object> objects;
    };
    void install(BRX_Commu_VirtualCamera& camera);

    std::shared_ptr<State> m_state;
};

#endif
