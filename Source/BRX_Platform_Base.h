#ifndef BRX_PLATFORM_BASE_H
#define BRX_PLATFORM_BASE_H

#include <QString>
#include <QtGlobal>

// The operating-system services the camera logic needs besides the camera
// transport. One object per process, reached through the static accessors,
// created on first use and never deleted.
class BRX_Platform_Base
{
public:
    virtual ~BRX_Platform_Base() = default;

    virtual QString applicationDataFolder() const = 0;
    virtual QString picturesFolder() const = 0;
    // Called before a download pass; false refuses the pass. The handle is
    // the caller's and is given back to endTransfer.
    virtual bool beginTransfer(void** handle) = 0;
    virtual void endTransfer(void* handle) = 0;
    // A large buffer about to be written through: backed by large pages
    // where the system offers them, so that its first writes fault a few
    // times instead of once every 4 KB. A hint: nothing changes for the
    // caller, and a system without such pages ignores it.
    virtual void adviseLargePages(void* data, qint64 size) = 0;

    static QString getApplicationDataFolder();
    static QString getPicturesFolder();
    static bool transferBegin(void** handle);
    static void transferEnd(void* handle);
    static void preferLargePages(void* data, qint64 size);

    // The default download folder: the pictures folder as it was when the
    // library was loaded.
    static const QString& defaultFolder();

private:
    static BRX_Platform_Base* instance();
};

#endif
