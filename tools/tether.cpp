// tether: a command-line tethering host on the library's exported functions
// only, for a camera on the USB bus, on the network, or the library's virtual
// camera.
#include "BRX_SDK.h"
#include "TetherCard.h"
#include "TetherCommandTable.h"
#include "TetherDemo.h"
#include "TetherLiveView.h"
#include "TetherNode.h"
#include "TetherProperties.h"
#include "TetherRig.h"
#include "TetherServe.h"
#include "TetherSession.h"
#include "TetherShooting.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>

namespace {

struct Subcommand {
    const char* name;
    const char* synopsis;
    const char* summary;
    QList<QCommandLineOption> (*options)();
    int (*run)(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    // The virtual camera used without --virtual, with its power-on settings
    // whatever it kept; 0: the USB bus.
    int virtualProduct;
};

QList<QCommandLineOption> jsonOnly()
{
    return {TetherProperties::jsonOption()};
}

const Subcommand kSubcommands[] = {
    {"list", "list [--json]",
     "Prints every camera on the USB bus (or the virtual camera), one line each: product ID, model, serial number, "
     "its socket (as --camera usb: takes it) and whether a program holds it; it never disturbs a camera in use. "
     "With --network, waits briefly for the camera there.",
     jsonOnly, TetherProperties::list, 0},
    {"props", "props [NAME...] [--json]",
     "Prints every property the camera offers (or those named) with its value in photographers' units and all "
     "its choices.",
     jsonOnly, TetherProperties::props, 0},
    {"get", "get NAME|NUMBER... [--json]", "Prints the value of properties: NAME = TEXT (RAW).", jsonOnly,
     TetherProperties::get, 0},
    {"set", "set NAME VALUE [NAME VALUE...] [--json]",
     "Sets properties in order (f/5.6, 1/125 s, +0.7 EV, ISO 400, 5200 K, Daylight, on, or the raw number; no "
     "value for a command), each confirmed by the camera before the next, and prints the value it reports; a "
     "value the camera does not take ends with exit status 1 and the value it holds.",
     jsonOnly, TetherProperties::set, 0},
    {"capture",
     "capture [-n N] [--interval S] [--set NAME=VALUE...] [--out DIR] [--filename PATTERN] [--exec CMD] [--json]",
     "Applies the settings, then releases the shutter N times (twice per picture with MirrorUpMode on) and saves "
     "every file that arrives under the camera's file name; it ends when the camera says the release is done.",
     TetherShooting::captureOptions, TetherShooting::capture, 0},
    {"watch", "watch [--out DIR] [--filename PATTERN] [--exec CMD] [--json]",
     "Tethered shooting: saves every picture taken on the camera and prints the settings changed on it, "
     "until Ctrl-C (with --timeout, until no camera has been there for S seconds). With --virtual, lines on "
     "standard input work the virtual camera: shutter, change NAME VALUE (a setting, as set takes it: change "
     "ExposCompens +1 EV), change CODE VALUE (a device property by its PTP code), unplug, plug.",
     TetherShooting::watchOptions, TetherShooting::watch, 0},
    {"liveview", "liveview [--seconds S] [--out FILE.mjpeg|-]",
     "Writes the live-view frames as an MJPEG stream and reports the frame rate, zoom area and focus cross.",
     TetherLiveView::options, TetherLiveView::run, 0},
    {"serve", "serve [--port N] [--listen ADDR] [--out DIR] [--filename PATTERN] [--exec CMD]",
     "A page and an HTTP API for the browsers on the set: live view, the settings, the shutter and the pictures "
     "as they land (saved as watch saves them), until Ctrl-C. It serves 127.0.0.1 unless --listen says "
     "otherwise; beyond loopback every request needs the token in the printed address.",
     TetherServe::options, TetherServe::run, 0},
    {"node", "node --rig NAME --label LABEL [--broker HOST[:PORT]] [--out DIR] [--listen ADDR] [--port N]",
     "One camera of a rig: tethers and serves it as serve does (every picture kept in --out first) and meets "
     "the rig through the MQTT broker: keeps its state there, announces every file saved, and carries out the "
     "rig's commands (set, shoot at a time, live view), answering each. docs/rig.md gives the topics.",
     TetherNode::options, TetherNode::run, 0},
    {"rig", "rig --rig NAME [--broker HOST[:PORT]] status|set NAME VALUE|shoot [-n N] [--interval S] [--lead MS]|"
            "collect --out DIR [--follow]|serve [--listen ADDR] [--port N] [--out DIR]",
     "The nodes of a rig as one: status prints every camera (a setting that differs from the rest marked), set "
     "sets a property on all and prints each camera's answer, shoot has every camera press at one wall-clock "
     "time (now plus the lead) and prints the press times and their spread, collect fetches every picture the "
     "nodes announced into DIR/SHOT/LABEL-NAME, checked against its SHA-256, nothing twice; serve is one page "
     "for all: every camera with its last thumbnail, state and settings, a shutter and settings for all, and, "
     "with --out, the collection's progress.",
     TetherRig::options, TetherRig::run, 0},
    {"files", "files [--json] [--new [--out DIR]]",
     "Lists the files on the camera's card, newest last, with their dates and sizes and the card's room; "
     "--new only those not yet in --out.",
     TetherCard::filesOptions, TetherCard::files, 0},
    {"download", "download [--all | --new | NAME...] [--out DIR] [--filename PATTERN] [--exec CMD] [--json]",
     "Fetches files from the camera's card into --out as capture saves pictures: a progress line each, never "
     "over an existing file, byte for byte; --new takes those not yet in --out.",
     TetherCard::downloadOptions, TetherCard::download, 0},
    {"delete", "delete NAME... --yes", "Deletes the named files from the camera's card.",
     TetherCard::deleteOptions, TetherCard::remove, 0},
    {"demo", "demo [--out DIR]",
     "A guided run on the virtual camera (0x2031 unless --virtual says otherwise): connects, shows and changes "
     "settings, shoots a pair and a burst, streams live view, and says where the files are.",
     TetherDemo::options, TetherDemo::run, TetherDemo::kDefaultProduct},
};

QList<QCommandLineOption> globalOptions()
{
    return {
        {"virtual", "Use the library's virtual camera of product PID (0x2009, 0x2011, 0x2021, 0x2031, 0x2041, "
                    "0x2051, 0x2061) instead of the USB bus, with serial number SERIAL when given (letters, digits, "
                    "'.', '-', '_').",
         "PID[:SERIAL]"},
        {"camera", "Tether only this camera and leave the others on the bus alone: serial:SERIAL (or a bare "
                   "SERIAL), usb:BUS-PORT[.PORT...] (a socket, as tether list shows it) or product:0xPPPP. It waits "
                   "for the camera while it is absent or another program holds it.",
         "SELECTOR"},
        {"label", "A name for this camera's pictures, the {label} of --filename (letters, digits, '.', '-', '_').",
         "TEXT"},
        {"network", "Tether the camera at HOST[:PORT] on the network (PTP/IP, port 15740 unless given) instead of "
                    "the USB bus.",
         "HOST[:PORT]"},
        {"card", "With --virtual: the virtual camera's card holds N pictures taken before (a JPG each, every "
                 "third with a DNG).",
         "N"},
        {"virtual-reset", "Start the virtual camera with its power-on settings; otherwise it keeps its settings "
                          "between runs (under $XDG_STATE_HOME/tether or ~/.local/state/tether)."},
        {"debug", "Show the library's log on standard error, with its groups FLAGS on (e.g. 0x401; 0: errors "
                  "and main events only).",
         "FLAGS"},
        {"log-time", "Begin each line of the library's log (--debug) with the wall-clock time it was written, in "
                     "microseconds since 1970."},
        {"timeout", "Seconds to wait for the camera and its answers (default 10).", "S", "10"},
        {"quiet", "Leave out the progress lines."},
        {{"h", "help"}, "This help; after a subcommand, the subcommand's."},
    };
}

const Subcommand* findSubcommand(const QString& name)
{
    for (const Subcommand& subcommand : kSubcommands) {
        if (name == QLatin1String(subcommand.name))
            return &subcommand;
    }
    return nullptr;
}

bool takesValue(const QList<QCommandLineOption>& options, const QString& word)
{
    if (!word.startsWith('-') || word.contains('='))
        return false;
    const QString name = word.mid(word.startsWith(QLatin1String("--")) ? 2 : 1);
    for (const QCommandLineOption& option : options) {
        if (option.names().contains(name))
            return !option.valueName().isEmpty();
    }
    return false;
}

// The first word that is neither an option nor a global option's value.
int subcommandIndex(const QStringList& words)
{
    const QList<QCommandLineOption> global = globalOptions();
    for (int index = 1; index < words.size(); ++index) {
        if (!words.at(index).startsWith('-'))
            return index;
        if (takesValue(global, words.at(index)))
            ++index;
    }
    return -1;
}

QString optionLines(const QList<QCommandLineOption>& options)
{
    QString text;
    for (const QCommandLineOption& option : options) {
        QStringList names;
        for (const QString& name : option.names())
            names << (name.size() == 1 ? "-" : "--") + name;
        const QString left = names.join(", ") + (option.valueName().isEmpty() ? QString() : ' ' + option.valueName());
        text += QStringLiteral("  %1 %2\n").arg(left, -24).arg(option.description());
    }
    return text;
}

TetherCommandTable::Texts helpTexts()
{
    return {QStringLiteral("tether [global options] SUBCOMMAND [options]"),
            QStringLiteral("Tethered shooting on the BRX SDK: a camera on the USB bus, with --network one on the "
                           "network, or with --virtual the library's virtual camera."),
            QStringLiteral("0 success, 1 no camera or a camera error, 2 a usage error.")};
}

QString generalHelp()
{
    const TetherCommandTable::Texts texts = helpTexts();
    QString text = QStringLiteral("Usage: %1\n\n%2\n\nSubcommands:\n").arg(texts.usage, texts.description);
    for (const Subcommand& subcommand : kSubcommands)
        text += QStringLiteral("  %1 %2\n").arg(QLatin1String(subcommand.name), -10).arg(subcommand.summary);
    return text + QStringLiteral("\nGlobal options, before or after the subcommand:\n") + optionLines(globalOptions())
         + QStringLiteral("\nExit codes: %1\ntether SUBCOMMAND --help tells more.\n").arg(texts.exitStatus);
}

void printCommandTable()
{
    QList<TetherCommandTable::Subcommand> subcommands;
    for (const Subcommand& subcommand : kSubcommands)
        subcommands.append({subcommand.name, subcommand.synopsis, subcommand.summary, subcommand.options()});
    const QByteArray table = TetherCommandTable::json(helpTexts(), globalOptions(), subcommands);
    std::fwrite(table.constData(), 1, size_t(table.size()), stdout);
}

QString subcommandHelp(const Subcommand& subcommand)
{
    return QStringLiteral("Usage: tether %1 [global options]\n\n%2\n\nOptions:\n%3\nGlobal options:\n%4")
        .arg(subcommand.synopsis, subcommand.summary, optionLines(subcommand.options()), optionLines(globalOptions()));
}

// "-0.7" is a value, not an option; QCommandLineParser would take it for
// one, so it goes through marked.
const QChar kNegativeMark(0x1F);

bool isNegativeNumber(const QString& word)
{
    static const QRegularExpression number(QStringLiteral("^-\\.?[0-9]"));
    return number.match(word).hasMatch();
}

// The library gives its reason for refusing a selector in its log, which
// stays quiet without --debug: the reason is tether's to give.
void discardLine(void*, const char*)
{
}

bool selectCamera(const QString& selector)
{
    BRX_SDK_setLogCallback(&discardLine, nullptr);
    const bool ok = BRX_SDK_selectCamera(selector.toUtf8().constData());
    BRX_SDK_setLogCallback(nullptr, nullptr);
    return ok;
}

// PID or PID:SERIAL; the serial number is checked when the camera is made.
QString virtualOptionError(const QString& value, TetherGlobalOptions* options)
{
    const int colon = value.indexOf(QLatin1Char(':'));
    QString product = value.left(colon);
    options->virtualSerial = colon < 0 ? QString() : value.mid(colon + 1);
    product.remove(QRegularExpression(QStringLiteral("^0[xX]")));
    bool ok = false;
    options->virtualProduct = product.toInt(&ok, 16);
    if (!ok || options->virtualProduct <= 0 || (colon >= 0 && options->virtualSerial.isEmpty()))
        return QStringLiteral("--virtual takes a product ID such as 0x2031, not '%1' (with a serial number: "
                              "0x2031:CAM1)").arg(value);
    return QString();
}

QString cameraOptionError(const QCommandLineParser& parser, TetherGlobalOptions* options)
{
    static const QRegularExpression plainLabel(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,31}$"));
    if (parser.isSet("label") && !plainLabel.match(parser.value("label")).hasMatch())
        return QStringLiteral("--label takes 1 to 32 letters, digits, '.', '-' or '_', not '%1'")
            .arg(parser.value("label"));
    options->label = parser.value("label");
    if (parser.isSet("camera") && (parser.value("camera").isEmpty() || !selectCamera(parser.value("camera"))))
        return QStringLiteral("--camera takes serial:SERIAL (or a bare SERIAL), usb:BUS-PORT[.PORT...] or "
                              "product:0xPPPP, not '%1'").arg(parser.value("camera"));
    options->camera = parser.value("camera");
    return QString();
}

// The reason a global option is wrong, empty when all are right.
QString globalOptionError(const QCommandLineParser& parser, TetherGlobalOptions* options)
{
    bool ok = true;
    if (parser.isSet("virtual")) {
        const QString error = virtualOptionError(parser.value("virtual"), options);
        if (!error.isEmpty())
            return error;
    }
    const QString cameraError = cameraOptionError(parser, options);
    if (!cameraError.isEmpty())
        return cameraError;
    // A camera on the network replaces a subcommand's own virtual camera, not one asked for.
    if (parser.isSet("network")) {
        if (parser.isSet("virtual"))
            return QStringLiteral("--network HOST[:PORT] and --virtual PID do not go together");
        options->network = parser.value("network");
        options->virtualProduct = 0;
    }
    if (parser.isSet("card")) {
        options->virtualCard = parser.value("card").toInt(&ok);
        if (!ok || options->virtualCard < 0 || options->virtualProduct == 0)
            return QStringLiteral("--card takes a number of pictures, with --virtual PID, not '%1'").arg(parser.value("card"));
    }
    if (parser.isSet("debug")) {
        options->debug = true;
        options->debugFlags = parser.value("debug").toUInt(&ok, 0);
        if (!ok)
            return QStringLiteral("--debug takes log groups as a number such as 0x401, not '%1'").arg(parser.value("debug"));
    }
    const double timeout = parser.value("timeout").toDouble(&ok) * 1000.0;
    if (!ok || !(timeout > 0.0 && timeout < 1e9))
        return QStringLiteral("--timeout takes seconds, more than 0, such as 10 or 2.5, not '%1'").arg(parser.value("timeout"));
    options->timeoutMs = int(std::lround(timeout));
    options->timeoutGiven = parser.isSet("timeout");
    options->quiet = parser.isSet("quiet");
    options->logTime = parser.isSet("log-time");
    options->virtualReset = options->virtualReset || parser.isSet("virtual-reset");
    return QString();
}

int run(const QStringList& words, TetherOutput& output)
{
    if (words.contains(QLatin1String(TetherCommandTable::kOption))) {
        printCommandTable();
        return kExitOk;
    }
    const int index = subcommandIndex(words);
    const Subcommand* subcommand = index < 0 ? nullptr : findSubcommand(words.at(index));
    const bool help = words.contains("--help") || words.contains("-h");
    if (!subcommand) {
        if (help) {
            output.result(generalHelp());
            return kExitOk;
        }
        output.error(index < 0 ? QStringLiteral("which subcommand? (tether --help lists them)")
                               : QStringLiteral("there is no subcommand '%1' (tether --help lists them)").arg(words.at(index)));
        return kExitUsage;
    }
    QCommandLineParser parser;
    parser.addOptions(globalOptions() + subcommand->options());
    QStringList rest = words;
    rest.removeAt(index);
    for (int word = 1; word < rest.size(); ++word) {
        if (isNegativeNumber(rest.at(word)) && !takesValue(globalOptions() + subcommand->options(), rest.at(word - 1)))
            rest[word].prepend(kNegativeMark);
    }
    if (!parser.parse(rest)) {
        output.error(parser.errorText() + QStringLiteral(" (tether %1 --help)").arg(subcommand->name));
        return kExitUsage;
    }
    if (parser.isSet("help")) {
        output.result(subcommandHelp(*subcommand));
        return kExitOk;
    }
    TetherGlobalOptions options;
    options.virtualProduct = subcommand->virtualProduct;
    options.virtualReset = subcommand->virtualProduct != 0;
    const QString error = globalOptionError(parser, &options);
    if (!error.isEmpty()) {
        output.error(error);
        return kExitUsage;
    }
    output.setQuiet(options.quiet);
    // Standard output carries the JSON alone.
    output.setStdoutTaken(parser.optionNames().contains(QStringLiteral("json")));
    QStringList positionals = parser.positionalArguments();
    for (QString& word : positionals)
        word.remove(kNegativeMark);
    TetherSession session(options, output);
    return subcommand->run(session, parser, positionals);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TetherSession::installInterruptHandler();
    TetherOutput output;
    return run(app.arguments(), output);
}
