// A C++ host built against the installed package only, with no Qt of its
// own: it drives the library's events itself and waits for a camera.
#include <BRX_SDK.h>

#include <cstdio>

namespace {

bool g_connected = false;

void onConnection(void*, bool connected, int)
{
    g_connected = connected;
}

} // namespace

int main()
{
    BRX_SDK_useVirtualCamera(0x2031);
    BRX_SDK_init(onConnection, nullptr);
    for (int slice = 0; slice < 400 && !(g_connected && BRX_SDK_isInitialStateDelivered()); ++slice)
        BRX_SDK_processEvents(50);
    int mode = -1;
    const bool got = BRX_SDK_getProperty(BRX_SDK_Property::ExposureMode, &mode, sizeof mode);
    BRX_SDK_exit();
    std::printf("ExposureMode %s: %d\n", got ? "read" : "not read", mode);
    return got ? 0 : 1;
}
