#ifndef BRX_PLATFORM_LINUX_H
#define BRX_PLATFORM_LINUX_H

#include "BRX_Platform_Base.h"

class BRX_Platform_Linux : public BRX_Platform_Base
{
public:
    QString applicationDataFolder() const override;
    QString picturesFolder() const override;
    // Linux needs no sleep prevention around a download: always granted.
    bool beginTransfer(void** handle) override;
    void endTransfer(void* handle) override;
    // Transparent huge pages for the whole 2 MB pages inside the buffer.
    void adviseLargePages(void* data, qint64 size) override;
};

#endif
