// Serves a virtual camera over PTP/IP on 127.0.0.1 to a child command, so
// that any PTP/IP initiator can be pointed at it:
//
//   ptpip-virtual-camera [--product 0x2031] [--port 15740] [--take N] [--debug FLAGS] -- COMMAND ARGS...
//
// Port 0 takes a free port. Every "{port}" in the command is replaced by the
// port served; the child also finds it in PTPIP_PORT. --take stores N
// pictures on the card first, unannounced, as a camera that was used before.
// --debug turns the library's log groups on (0x8: each file the camera
// stores, with its size and SHA-256).
// The exit code is the child's.

#include "BRX_Commu_VirtualCamera.h"
#include "BRX_Commu_VirtualCameraProfile.h"
#include "BRX_Commu_VirtualCameraPtpIpServer.h"
#include "VirtualCameraFixture.h"
#include "BRX_Debug.h"
#include "ChildProcess.h"

#include <QByteArray>
#include <QList>
#include <QVector>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

struct Options {
    uint product = 0x2031;
    uint port = 15740;
    uint take = 0;
    uint debugFlags = 0;
};

int usage()
{
    std::fprintf(stderr, "usage: ptpip-virtual-camera [--product 0xPPPP] [--port N] [--take N] [--debug FLAGS] -- COMMAND [ARGS...]\n");
    return 2;
}

bool parseNumber(const char* text, uint maximum, uint* value)
{
    bool ok = false;
    *value = QByteArray(text).toUInt(&ok, 0);
    return ok && *value <= maximum;
}

// The index of the command after "--", or 0 for a usage error.
int parseOptions(int argc, char** argv, Options* options)
{
    int i = 1;
    for (; i + 1 < argc && std::strcmp(argv[i], "--") != 0; i += 2) {
        const bool ok = std::strcmp(argv[i], "--product") == 0 ? parseNumber(argv[i + 1], 0xFFFF, &options->product)
            : std::strcmp(argv[i], "--port") == 0              ? parseNumber(argv[i + 1], 0xFFFF, &options->port)
            : std::strcmp(argv[i], "--take") == 0              ? parseNumber(argv[i + 1], 9999, &options->take)
            : std::strcmp(argv[i], "--debug") == 0             ? parseNumber(argv[i + 1], 0xFFFFFFFF, &options->debugFlags)
                                                               : false;
        if (!ok)
            return 0;
    }
    return i + 1 < argc && std::strcmp(argv[i], "--") == 0 ? i + 1 : 0;
}

int runChild(char** argv, quint16 port)
{
    const QByteArray portText = QByteArray::number(port);
    qputenv("PTPIP_PORT", portText);
    QList<QByteArray> words;
    for (char** word = argv; *word; ++word)
        words << QByteArray(*word).replace("{port}", portText);
    QVector<char*> childArgv;
    for (QByteArray& word : words)
        childArgv << word.data();
    childArgv << nullptr;
    return runChildProcess(childArgv.data(), "ptpip-virtual-camera");
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const int command = parseOptions(argc, argv, &options);
    if (command == 0)
        return usage();
    setDebugFlags(options.debugFlags, true);
    const std::shared_ptr<BRX_Commu_VirtualCamera> camera = BRX_Commu_VirtualCamera::create(int(options.product));
    if (!camera) {
        std::fprintf(stderr, "ptpip-virtual-camera: no virtual camera for product 0x%04X\n", options.product);
        return 2;
    }
    // Pictures of the tests' size, taken while nobody listens, are on the
    // card, not announced.
    camera->setPictureWidth(VirtualCameraFixture::kPictureWidth);
    camera->setPlugged(false);
    for (uint picture = 0; picture < options.take; ++picture)
        camera->takePicture();
    // The camera writes them after the release: a client lists the card
    // only once they are on it.
    while (camera->picturesInProgress() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    camera->setPlugged(true);
    BRX_Commu_VirtualCameraPtpIpServer server(camera, quint16(options.port));
    if (!server.isListening()) {
        std::fprintf(stderr, "ptpip-virtual-camera: cannot listen on port %u: %s\n", options.port,
                     qPrintable(server.error()));
        return 1;
    }
    std::fprintf(stderr, "ptpip-virtual-camera: product 0x%04X at %s\n", options.product,
                 qPrintable(server.hostAndPort()));
    return runChild(argv + command, server.port());
}
