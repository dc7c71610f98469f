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
// Pictures are read straight from the link into one buffer that is kept and
// reused from picture to picture (grown when a larger one comes): the host's
// data is valid only during its callback, so no picture needs a buffer of its
// own, and a buffer whose pages are already mapped is filled at the speed of
// memory. It stays the size of the largest picture while the camera is open.
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
    // whole after every attempt (logged once, naming the picture). The bytes
    // are the reused buffer's, not copied: valid until the next fetchObject.
    QByteArray fetchObject(quint32 handle, quint32 size, const QString& name);
    // All size bytes of the thumbnail of kind, or empty.
    QByteArray fetchThumbnail(quint32 handle, int kind, quint32 size);
    // Whether the camera offers GetPartialObject: a part of an object can
    // then be read without the whole object crossing the link.
    bool readsPartially() const { return m_canResume; }

private:
    // Reads into the buffer from offset to its end; sets how many bytes came.
    typedef std::function<bool(quint32 offset, quint32* received)> Read;

    // True when all size bytes were had; *had: the bytes received in the end.
    static bool readWhole(quint32 size, bool resume, const Read& read, quint32* had);
    // m_object of at least size bytes; false (logged) when refused.
    bool reserveObject(quint32 size);

    BRX_Commu_CameraAccess_Base& m_access;
    const bool m_canResume;
    QByteArray m_object;
};

#endif
