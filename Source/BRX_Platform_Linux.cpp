#include "BRX_Platform_Linux.h"

#include <QStandardPaths>

namespace {
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
