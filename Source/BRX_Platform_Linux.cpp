#include "BRX_Platform_Linux.h"

#include <QStandardPaths>

#include <sys/mman.h>

namespace {
const quintptr kHugePage = quintptr(2) << 20;

QString firstLocation(QStandardPaths::StandardLocation location)
{
    const QStringList locations = QStandardPaths::standardLocations(location);
    return locations.isEmpty() ? QString() : locations.first();
}
} // namespace

QString BRX_Platform_Linux::applicationDataFolder() const
{
    return firstLocation(QStandardPaths::AppDataLocation);
}

QString BRX_Platform_Linux::picturesFolder() const
{
    return firstLocation(QStandardPaths::PicturesLocation);
}

bool BRX_Platform_Linux::beginTransfer(void**)
{
    return true;
}

void BRX_Platform_Linux::endTransfer(void*)
{
}

void BRX_Platform_Linux::adviseLargePages(void* data, qint64 size)
{
    const quintptr begin = (quintptr(data) + kHugePage - 1) & ~(kHugePage - 1);
    const quintptr end = (quintptr(data) + quintptr(qMax<qint64>(0, size))) & ~(kHugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}
