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
    QByteArray data;
    if (size == 0 || !BRX_Logic_ObjectReader::allocate(data, size, "object"))
        return QByteArray();
    const auto read = [&](quint32 offset, quint32* received) {
        char* into = data.data() + offset;
        return offset ? m_access.getPartialObject(into, size - offset, offset, handle, received)
                      : m_access.getObject(into, size, handle, received);
    };
    quint32 had = 0;
    if (readWhole(data, m_canResume, read, &had))
        return data;
    debugPrint(kDebugAlways, "%s - picture %s lost: %u of %u bytes after %d attempts", BRX_METHOD,
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
    return readWhole(data, false, read, &had) ? data : QByteArray();
}

// Only an answer the camera confirmed and that filled the buffer counts; a
// failed read that brought bytes is resumed after them.
bool BRX_Logic_DownloadRetry::readWhole(QByteArray& data, bool resume, const Read& read, quint32* had)
{
    const quint32 size = quint32(data.size());
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
