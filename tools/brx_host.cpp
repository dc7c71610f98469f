// Command-line host: loads the library, prints what arrives at its
// callbacks while processing Qt events, then exits through BRX_SDK_exit.
#include "BRX_SDK.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

void onChanges(void*, int property, const void*, unsigned int size)
{
    std::printf("property %d changed (%u bytes)\n", property, size);
}

void onFrame(void*, int type, const void*, unsigned int size)
{
    std::printf("frame type %d (%u bytes)\n", type, size);
}

void onInit(void*, bool connected, int productId)
{
    std::printf("camera %s, product 0x%X\n", connected ? "connected" : "disconnected", productId);
    if (connected) {
        BRX_SDK_setChangesCallback(&onChanges, nullptr);
        BRX_SDK_setFrameCallback(&onFrame, nullptr);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QString(argv[1]).toInt() : 3;
    BRX_SDK_init(&onInit, nullptr);
    int exposureMode = 0;
    if (!BRX_SDK_getProperty(BRX_SDK_Property::ExposureMode, &exposureMode, sizeof exposureMode))
        std::printf("no camera yet\n");
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    BRX_SDK_exit();
    std::printf("done\n");
    return 0;
}
