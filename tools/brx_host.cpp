// Command-line host: drives the library through its exported functions only,
// as a tethering application would, and prints what arrives at the callbacks.
//
//   brx_host [--product 0xPPPP | --hardware] [--seconds N] [--debug FLAGS]
//            [--set ID=VALUE]... [--capture] [--save DIR] [--pictures N]
//
// With --product (default 0x2011) the built-in virtual camera of that product
// is used; --hardware uses a camera on the USB bus.
#include "BRX_SDK.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

enum class Kind { Int, Bool, Double, IntPair, DoublePair, IntList, DoubleList, None };

Kind kindOf(int property)
{
    switch (property) {
    case 2:
    case 4:
        return Kind::DoubleList;
    case 6:
    case 9:
    case 17:
        return Kind::IntList;
    case 3:
    case 5:
    case 23:
    case 26:
    case 27:
    case 28:
        return Kind::Double;
    case 11:
    case 14:
    case 19:
    case 21:
    case 31:
    case 33:
    case 34:
    case 37:
        return Kind::Bool;
    case 35:
        return Kind::DoublePair;
    case 40:
    case 42:
        return Kind::IntPair;
    case 22:
    case 24:
    case 25:
    case 36:
        return Kind::None;
    default:
        return Kind::Int;
    }
}

template <typename T>
QString listText(const void* data, unsigned int size, const char* format)
{
    QStringList items;
    for (unsigned int offset = 0; offset + sizeof(T) <= size; offset += sizeof(T)) {
        T value;
        std::memcpy(&value, static_cast<const char*>(data) + offset, sizeof value);
        items << QString::asprintf(format, value);
    }
    return items.join(' ');
}

QString valueText(int property, const void* data, unsigned int size)
{
    switch (kindOf(property)) {
    case Kind::Bool:
        return size == 1 ? (*static_cast<const unsigned char*>(data) ? "true" : "false") : "?";
    case Kind::Double:
    case Kind::DoubleList:
    case Kind::DoublePair:
        return listText<double>(data, size, "%g");
    case Kind::None:
        return QString();
    default:
        return listText<int>(data, size, "%d");
    }
}

void onChanges(void*, int property, const void* data, unsigned int size)
{
    std::printf("property %2d = %s\n", property, qPrintable(valueText(property, data, size)));
    std::fflush(stdout);
}

// Where downloaded pictures go (empty: they are only reported), and the
// camera's name of the latest picture, which arrives with quick view once
// for both files of a pair.
struct PictureSink {
    QString folder;
    QString cameraName;
    int count = 0;
    // Quit once this many pictures have arrived; 0: run for the time given.
    int quitAfter = 0;
};
PictureSink pictureSink;

enum FrameType { kQuickViewName = 8, kDngPicture = 4, kJpgPicture = 5 };

// The camera's name when there is one; a file is never overwritten.
QString picturePath(const char* extension)
{
    ++pictureSink.count;
    const QDir folder(pictureSink.folder);
    const QString numbered = QString::asprintf("picture-%04d", pictureSink.count);
    const QString named = folder.filePath(pictureSink.cameraName + extension);
    if (pictureSink.cameraName.isEmpty() || QFile::exists(named))
        return folder.filePath(numbered + extension);
    return named;
}

void savePicture(int type, const void* data, unsigned int size)
{
    const QString path = picturePath(type == kDngPicture ? ".DNG" : ".JPG");
    QFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(static_cast<const char*>(data), size) == qint64(size);
    std::printf("picture %s %s\n", saved ? "saved to" : "could not be saved to", qPrintable(path));
    if (pictureSink.count == pictureSink.quitAfter)
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

// Runs in the sender's thread: the controller's for live view, a download
// thread's for pictures; the main thread never touches pictureSink meanwhile.
void onFrame(void*, int type, const void* data, unsigned int size)
{
    std::printf("frame type %d, %u bytes\n", type, size);
    if (type == kQuickViewName)
        pictureSink.cameraName = QString::fromLatin1(static_cast<const char*>(data), int(size));
    if ((type == kDngPicture || type == kJpgPicture) && !pictureSink.folder.isEmpty())
        savePicture(type, data, size);
    std::fflush(stdout);
}

void onInit(void* context, bool connected, int productId)
{
    std::printf("camera %s, product 0x%04X\n", connected ? "connected" : "disconnected", productId);
    std::fflush(stdout);
    if (!connected)
        return;
    BRX_SDK_setChangesCallback(&onChanges, nullptr);
    BRX_SDK_setFrameCallback(&onFrame, nullptr);
    *static_cast<bool*>(context) = true;
}

// "ID=VALUE": the value's type follows the property.
bool setProperty(const QString& assignment)
{
    const int equals = assignment.indexOf('=');
    const int property = assignment.left(equals).toInt();
    const QString value = assignment.mid(equals + 1);
    bool ok = equals > 0;
    bool result = false;
    switch (kindOf(property)) {
    case Kind::Double: {
        const double number = value.toDouble(&ok);
        result = ok && BRX_SDK_setProperty(property, &number, sizeof number);
        break;
    }
    case Kind::Bool: {
        const bool flag = value == "true" || value == "1";
        result = ok && BRX_SDK_setProperty(property, &flag, sizeof flag);
        break;
    }
    case Kind::None:
        result = BRX_SDK_setProperty(property);
        break;
    default: {
        const int number = value.toInt(&ok);
        result = ok && BRX_SDK_setProperty(property, &number, sizeof number);
        break;
    }
    }
    std::printf("set %s: %s\n", qPrintable(assignment), result ? "accepted" : "rejected");
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Drives one camera through the BRX SDK and prints its callbacks.");
    parser.addHelpOption();
    parser.addOption({"product", "Virtual camera product ID (default 0x2011).", "id", "0x2011"});
    parser.addOption({"hardware", "Use a camera on the USB bus instead of the virtual camera."});
    parser.addOption({"seconds", "How long to run (default 3).", "n", "3"});
    parser.addOption({"debug", "Debug flag groups to switch on, e.g. 0x401.", "flags", "0"});
    parser.addOption({"set", "Set a property once connected, e.g. 7=-500.", "id=value"});
    parser.addOption({"capture", "Release the shutter once connected."});
    parser.addOption({"save", "Save downloaded pictures into this folder.", "dir"});
    parser.addOption({"pictures", "With --save: quit once this many pictures are saved.", "n", "0"});
    parser.process(app);

    if (!parser.isSet("hardware") && !BRX_SDK_useVirtualCamera(parser.value("product").toInt(nullptr, 0))) {
        std::fprintf(stderr, "unsupported product %s\n", qPrintable(parser.value("product")));
        return 2;
    }
    pictureSink.folder = parser.value("save");
    pictureSink.quitAfter = parser.value("pictures").toInt();
    if (!pictureSink.folder.isEmpty() && !QDir().mkpath(pictureSink.folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(pictureSink.folder));
        return 2;
    }
    bool connected = false;
    BRX_SDK_init(&onInit, &connected);
    // init resets the flag groups, so switch them on afterwards.
    BRX_SDK_setDebugFlags(parser.value("debug").toUInt(nullptr, 0), true);

    QTimer actions;
    QObject::connect(&actions, &QTimer::timeout, [&] {
        if (!connected)
            return;
        actions.stop();
        for (const QString& assignment : parser.values("set"))
            setProperty(assignment);
        if (parser.isSet("capture"))
            BRX_SDK_capture();
    });
    actions.start(100);
    QTimer::singleShot(parser.value("seconds").toInt() * 1000, &app, &QCoreApplication::quit);
    app.exec();
    BRX_SDK_exit();
    std::printf("%s\n", connected ? "done" : "no camera connected");
    return connected ? 0 : 1;
}
