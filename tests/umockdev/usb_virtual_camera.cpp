// Serves a virtual camera as an emulated USB still-image device to a child
// command, so that any libusb program can be pointed at it:
//
//   usb-virtual-camera [--product 0x2011] [--vendor 0x1209] -- COMMAND ARGS...
//
// Run it under umockdev's preload library itself (umockdev-wrapper, or with a
// sanitizer build LD_PRELOAD=<sanitizer runtime>:libumockdev-preload.so.0),
// so that the emulated sysfs is kept consistent. The child inherits the
// preload and sees the camera at bus 1, port 1; the exit code is the child's.

#include "BRX_Commu_VirtualCameraProfile.h"
#include "ChildProcess.h"
#include "EmulatedUsbDevice.h"
#include "VirtualCameraFunction.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: usb-virtual-camera [--product 0xPPPP] [--vendor 0xVVVV] -- COMMAND [ARGS...]\n");
    return 2;
}

bool parseId(const char* text, quint16* id)
{
    bool ok = false;
    const uint value = QByteArray(text).toUInt(&ok, 0);
    *id = quint16(value);
    return ok && value > 0 && value <= 0xFFFF;
}

int runChild(char** argv)
{
    const QByteArray preload = qgetenv("LD_PRELOAD");
    if (!preload.contains("libumockdev-preload"))
        qputenv("LD_PRELOAD", "libumockdev-preload.so.0" + (preload.isEmpty() ? QByteArray() : ":" + preload));
    return runChildProcess(argv, "usb-virtual-camera");
}

} // namespace

int main(int argc, char** argv)
{
    EmulatedUsbDevice::Descriptor descriptor;
    int i = 1;
    for (; i + 1 < argc && std::strcmp(argv[i], "--") != 0; i += 2) {
        quint16* target = std::strcmp(argv[i], "--product") == 0 ? &descriptor.productId
            : std::strcmp(argv[i], "--vendor") == 0            ? &descriptor.vendorId
                                                               : nullptr;
        if (!target || !parseId(argv[i + 1], target))
            return usage();
    }
    if (i + 1 >= argc || std::strcmp(argv[i], "--") != 0)
        return usage();
    if (!BRX_Commu_VirtualCameraProfile::isSupported(descriptor.productId)) {
        std::fprintf(stderr, "usb-virtual-camera: no virtual camera for product 0x%04X\n", descriptor.productId);
        return 2;
    }
    EmulatedUsbDevice::createTestbed();
    VirtualCameraFunction function(descriptor.productId, descriptor.bulkPacketSize);
    EmulatedUsbDevice device(descriptor, &function);
    device.plug();
    std::fprintf(stderr, "usb-virtual-camera: product 0x%04X at %s\n", descriptor.productId,
                 qPrintable(device.devicePath()));
    return runChild(argv + i + 1);
}
