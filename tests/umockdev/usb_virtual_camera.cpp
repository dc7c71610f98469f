// Serves virtual cameras as emulated USB still-image devices to a child
// command, so that any libusb program can be pointed at them:
//
//   usb-virtual-camera [--product 0x2011] [--vendor 0x1209] -- COMMAND ARGS...
//   usb-virtual-camera --camera 0x2031:A --camera 0x2011:B [--vendor ...] [--log FILE] [--picture-width N]
//                      [--card N] [--control FIFO] -- COMMAND ARGS...
//
// Each --camera is one camera, PID:SERIAL, with a card of its own, at bus
// 1, ports 1, 2, ... in the order given; without one, a single camera of
// --product (0x2011 unless given) with its product's own serial number.
// With --log the cameras' log (each file stored, with its size, SHA-256 and
// serial number) goes to FILE. --picture-width makes small pictures (that
// many pixels wide), for quick tests. --card puts N pictures on each card
// before the cameras are plugged in. With --control, the command works the
// cameras by lines written to the FIFO made there: "unplug SERIAL" pulls a
// camera out, "plug SERIAL PORT" plugs it into port PORT of bus 1 (another
// socket, or its own again).
//
// Run it under umockdev's preload library itself (umockdev-wrapper, or with a
// sanitizer build LD_PRELOAD=<sanitizer runtime>:libumockdev-preload.so.0),
// so that the emulated sysfs is kept consistent. The child inherits the
// preload and sees the cameras; the exit code is the child's.

#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Debug.h"
#include "ChildProcess.h"
#include "EmulatedUsbDevice.h"
#include "VirtualCameraFunction.h"

#include "BRX_Debug_Logfile.h"

#include <QByteArray>
#include <QList>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Camera {
    quint16 productId = 0;
    QString serialNumber; // empty: the product's own
};

struct Options {
    std::vector<Camera> cameras;
    quint16 productId = 0x2011;
    quint16 vendorId = EmulatedUsbDevice::Descriptor().vendorId;
    QByteArray log;     // empty: no log
    QByteArray control; // empty: no control
    int pictureWidth = 0; // 0: the sensor's
    int card = 0;         // pictures on each card at the start
};

int usage()
{
    std::fprintf(stderr, "usage: usb-virtual-camera [--product 0xPPPP | --camera 0xPPPP:SERIAL...] [--vendor 0xVVVV] "
                         "[--log FILE] [--picture-width N] [--card N] [--control FIFO] -- COMMAND [ARGS...]\n");
    return 2;
}

bool parseId(const QByteArray& text, quint16* id)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 0);
    *id = quint16(value);
    return ok && value > 0 && value <= 0xFFFF;
}

bool parseCamera(const QByteArray& text, Camera* camera)
{
    const int colon = text.indexOf(':');
    camera->serialNumber = QString::fromLatin1(text.mid(colon + 1));
    return colon > 0 && parseId(text.left(colon), &camera->productId)
        && BRX_Commu_VirtualCameraProfile::isSerialNumber(camera->serialNumber);
}

// The index of the child command's first word, or 0 on a usage error.
int parseOptions(int argc, char** argv, Options* options)
{
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const QByteArray option = argv[i];
        if (i + 1 >= argc)
            return 0;
        const QByteArray value = argv[++i];
        Camera camera;
        const bool ok = option == "--log"           ? !(options->log = value).isEmpty()
                      : option == "--control"       ? !(options->control = value).isEmpty()
                      : option == "--picture-width" ? (options->pictureWidth = value.toInt()) > 0
                      : option == "--card"          ? (options->card = value.toInt()) > 0
                      : option == "--product" ? parseId(value, &options->productId)
                      : option == "--vendor"  ? parseId(value, &options->vendorId)
                      : option == "--camera"  ? parseCamera(value, &camera)
                                              : false;
        if (!ok)
            return 0;
        if (option == "--camera")
            options->cameras.push_back(camera);
    }
    if (options->cameras.empty())
        options->cameras.push_back({options->productId, QString()});
    return i + 1 < argc ? i + 1 : 0;
}

bool allSupported(const std::vector<Camera>& cameras)
{
    for (const Camera& camera : cameras) {
        if (!BRX_Commu_VirtualCameraProfile::isSupported(camera.productId)) {
            std::fprintf(stderr, "usb-virtual-camera: no virtual camera for product 0x%04X\n", camera.productId);
            return false;
        }
    }
    return true;
}

int runChild(char** argv)
{
    const QByteArray preload = qgetenv("LD_PRELOAD");
    if (!preload.contains("libumockdev-preload"))
        qputenv("LD_PRELOAD", "libumockdev-preload.so.0" + (preload.isEmpty() ? QByteArray() : ":" + preload));
    return runChildProcess(argv, "usb-virtual-camera");
}

// One camera on the emulated bus; its function (the camera with its card)
// outlives its device, which is made anew for another socket.
struct ServedCamera {
    std::unique_ptr<VirtualCameraFunction> function;
    EmulatedUsbDevice::Descriptor descriptor;
    std::unique_ptr<EmulatedUsbDevice> device;

    void plugInto(int port)
    {
        if (device && descriptor.port == port) {
            device->plug();
            return;
        }
        device.reset();
        descriptor.port = port;
        device.reset(new EmulatedUsbDevice(descriptor, function.get()));
        device->plug();
    }
};

std::unique_ptr<ServedCamera> serve(const Camera& camera, const Options& options, int port)
{
    EmulatedUsbDevice::Descriptor descriptor;
    descriptor.vendorId = options.vendorId;
    descriptor.productId = camera.productId;
    descriptor.port = port;
    descriptor.manufacturer = BRX_Commu_VirtualCameraProfile::manufacturer();
    descriptor.product = BRX_Commu_VirtualCameraProfile::model(camera.productId);
    descriptor.serialNumber = camera.serialNumber.isEmpty()
                                  ? BRX_Commu_VirtualCameraProfile::serialNumber(camera.productId)
                                  : camera.serialNumber;
    std::unique_ptr<ServedCamera> served(new ServedCamera);
    served->function.reset(new VirtualCameraFunction(camera.productId, descriptor.bulkPacketSize, camera.serialNumber));
    if (options.pictureWidth > 0)
        served->function->device().store().setPictureWidth(options.pictureWidth);
    if (options.card > 0)
        served->function->device().fillCard(options.card);
    served->descriptor = descriptor;
    served->plugInto(port);
    std::fprintf(stderr, "usb-virtual-camera: product 0x%04X, serial number %s, at %s\n", camera.productId,
                 qPrintable(descriptor.serialNumber), qPrintable(served->device->devicePath()));
    return served;
}

FILE* g_log = nullptr;

void writeLog(void*, const char* line)
{
    std::fprintf(g_log, "%s\n", line);
    std::fflush(g_log);
}

// "unplug SERIAL" or "plug SERIAL PORT"; anything else is said and skipped.
void obey(const QByteArray& line, const std::vector<std::unique_ptr<ServedCamera>>& cameras)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    for (const std::unique_ptr<ServedCamera>& camera : cameras) {
        if (words.size() < 2 || camera->descriptor.serialNumber != QString::fromLatin1(words.at(1)))
            continue;
        const int port = words.size() == 3 ? words.at(2).toInt() : 0;
        if (words.at(0) == "unplug")
            camera->device->unplug();
        else if (words.at(0) == "plug" && port > 0)
            camera->plugInto(port);
        else
            break;
        std::fprintf(stderr, "usb-virtual-camera: %s\n", line.constData());
        return;
    }
    std::fprintf(stderr, "usb-virtual-camera: cannot '%s'\n", line.constData());
}

// The FIFO is opened for reading and writing, so that it never reads an end
// while no writer has it open.
void serveControl(const QByteArray& path, const std::vector<std::unique_ptr<ServedCamera>>& cameras)
{
    FILE* fifo = std::fopen(path.constData(), "r+");
    if (!fifo)
        return;
    char line[256];
    while (std::fgets(line, sizeof line, fifo))
        obey(QByteArray(line).trimmed(), cameras);
    std::fclose(fifo);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const int child = parseOptions(argc, argv, &options);
    if (child == 0)
        return usage();
    if (!allSupported(options.cameras))
        return 2;
    if (!options.log.isEmpty() && (g_log = std::fopen(options.log.constData(), "w")) != nullptr) {
        BRX_Debug_Logfile::setHook(&writeLog, nullptr);
        setDebugFlags(kDebugSimulation, true);
    }
    if (!options.control.isEmpty())
        ::unlink(options.control.constData());
    if (!options.control.isEmpty() && ::mkfifo(options.control.constData(), 0600) != 0) {
        std::perror("usb-virtual-camera: --control");
        return 2;
    }
    EmulatedUsbDevice::createTestbed();
    std::vector<std::unique_ptr<ServedCamera>> cameras;
    for (const Camera& camera : options.cameras)
        cameras.push_back(serve(camera, options, int(cameras.size()) + 1));
    if (!options.control.isEmpty())
        std::thread(serveControl, options.control, std::cref(cameras)).detach();
    const int code = runChild(argv + child);
    // The control thread may still use the cameras: they stay until the process ends.
    std::_Exit(code);
}
