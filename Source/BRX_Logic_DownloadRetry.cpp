#include "BRX_Logic_DownloadRetry.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"
#include "BRX_Logic_ObjectReader.h"

BRX_Logic_DownloadRetry::BRX_Logic_DownloadRetry(BRX_Commu_CameraAccess_Base& access, bool canResume)
    : m_access(access)
    , m_canResume(canResume)
{
}

QByteArray BRX_Logic_DownloadRetry::fetchObject(quint32 handle, quint32 size, const QString& name)
{
    if (size == 0 || !reserveObject(size))
        return QByteArray();
    char* const data = m_object.data();
    const auto read = [&](quint32 offset, quint32* received) {
        return offset ? m_access.getPartialObject(data + offset, size - offset, offset, handle, received)
                      : m_access.getObject(data, size, handle, received);
    };
    quint32 had = 0;
    if (readWhole(size, m_canResume, read, &had))
        return QByteArray::fromRawData(data, int(size));
    debugPrint(kDebugAlways, "%s - picture %s not had whole: %u of %u bytes after %d attempts", BRX_METHOD,
               qUtf8Printable(name), had, size, kAttempts);
    return QByteArray();
}

QByteArray BRX_Logic_DownloadRetry::fetchThumbnail(quint32 handle, int kind, quint32 size)
{
    QByteArray data;
    if (size == 0 || !BRX_Logic_ObjectReader::allocate(data, size, "thumbnail",
                                                       BRX_Logic_ObjectReader::kMaxThumbnailSize))
        return QByteArray();
    const auto read = [&](quint32, quint32* received) {
        return m_access.getThumbnail(data.data(), size, kind, handle, received);
    };
    quint32 had = 0;
    return readWhole(size, false, read, &had) ? data : QByteArray();
}

// The old buffer goes before a larger one is had, so that growing never
// holds both.
bool BRX_Logic_DownloadRetry::reserveObject(quint32 size)
{
    if (quint32(m_object.size()) >= size)
        return true;
    m_object = QByteArray();
    return BRX_Logic_ObjectReader::allocate(m_object, size, "object");
}

// Only an answer the camera confirmed and that filled the buffer counts; a
// failed read that brought bytes is resumed after them.
bool BRX_Logic_DownloadRetry::readWhole(quint32 size, bool resume, const Read& read, quint32* had)
{
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        const quint32 offset = resume && *had < size ? *had : 0;
        quint32 received = 0;
        const bool ok = read(offset, &received);
        *had = offset + received;
        if (ok && *had == size)
            return true;
        debugPrint(kDebugTransfer, "%s - %u of %u bytes in attempt %d", BRX_METHOD, *had, size, attempt);
    }
    return false;
}
