#ifndef BRX_PLATFORM_BASE_H
#define BRX_PLATFORM_BASE_H

#include <QString>

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

    static QString getApplicationDataFolder();
    static QString getPicturesFolder();
    static bool transferBegin(void** handle);
    static void transferEnd(void* handle);

    // The default download folder: the pictures folder as it was when the
    // library was loaded.
    static const QString& defaultFolder();

private:
    static BRX_Platform_Base* instance();
};

#endif
