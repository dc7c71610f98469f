// A host built against the installed package only: no Qt of its own.
#include <BRX_SDK.h>

#include <cstdio>

int main()
{
    BRX_SDK_init(nullptr, nullptr);
    int mode = 0;
    const bool got = BRX_SDK_getProperty(BRX_SDK_Property::ExposureMode, &mode, sizeof mode);
    BRX_SDK_exit();
    std::printf("getProperty %s\n", got ? "succeeded" : "failed");
    return got ? 1 : 0;
}
