#include "BRX_Platform_Base.h"
#include "BRX_Platform_Linux.h"

namespace {
BRX_Platform_Base* g_platform = nullptr;
// Set while the library is loaded, before any thread of ours exists, so the
// lazy creation of the platform object needs no lock.
const QString g_defaultFolder = BRX_Platform_Base::getPicturesFolder();
} // namespace

BRX_Platform_Base* BRX_Platform_Base::instance()
{
    if (!g_platform)
        g_platform = new BRX_Platform_Linux;
    return g_platform;
}

QString BRX_Platform_Base::getApplicationDataFolder()
{
    return instance()->applicationDataFolder();
}

QString BRX_Platform_Base::getPicturesFolder()
{
    return instance()->picturesFolder();
}

bool BRX_Platform_Base::transferBegin(void** handle)
{
    return instance()->beginTransfer(handle);
}

void BRX_Platform_Base::transferEnd(void* handle)
{
    instance()->endTransfer(handle);
}

void BRX_Platform_Base::preferLargePages(void* data, qint64 size)
{
    instance()->adviseLargePages(data, size);
}

const QString& BRX_Platform_Base::defaultFolder()
{
    return g_defaultFolder;
}
