#ifndef BRX_LOGIC_DOWNLOADRETRY_H
#define BRX_LOGIC_DOWNLOADRETRY_H

#include <QByteArray>
#include <QString>

#include <functional>

class BRX_Commu_CameraAccess_Base;

// Fetches an announced picture or its thumbnail whole. A read that fails or
// delivers fewer bytes than the object information promised is tried again,
// kAttempts reads in all; a picture resumes with GetPartialObject from the
// bytes already received where the camera offers that operation. A size no
// camera can plausibly send is refused before anything is allocated.
//
// Owned by the camera model; transfer threads use it one at a time (each
// holds the camera's transfer mutex for its download).
class BRX_Logic_DownloadRetry
{
public:
    static constexpr int kAttempts = 3;
    // canResume: the camera offers GetPartialObject.
    BRX_Logic_DownloadRetry(BRX_Commu_CameraAccess_Base& access, bool canResume);

    // All size bytes of the object, or empty: size 0, refused, or not had
    // whole after every attempt (logged once, naming the picture).
    QByteArray fetchObject(quint32 handle, quint32 size, const QString& name);
    // All size bytes of the thumbnail of kind, or empty.
    QByteArray fetchThumbnail(quint32 handle, int kind, quint32 size);

private:
    // Reads into the buffer from offset to its end; sets how many bytes came.
    typedef std::function<bool(quint32 offset, quint32* received)> Read;

    // True when data was had whole; *had: the bytes received in the end.
    static bool readWhole(QByteArray& data, bool resume, const Read& read, quint32* had);

    BRX_Commu_CameraAccess_Base& m_access;
    const bool m_canResume;
};

#endif
