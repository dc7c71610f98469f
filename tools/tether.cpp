// tether: a command-line tethering host on the library's exported functions
// only, for a camera on the USB bus, on the network, or the library's virtual
// camera.
#include "BRX_SDK.h"
#include "TetherCommandTable.h"
#include "TetherDemo.h"
#include "TetherLiveView.h"
#include "TetherProperties.h"
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
    // The virtual camera used without --virtual; 0: the USB bus.
    int virtualProduct;
};

QList<QCommandLineOption> noOptions()
{
    return {};
}

const Subcommand kSubcommands[] = {
    {"list", "list", "Waits briefly for a camera and prints its product ID, model and serial number.", noOptions,
     TetherProperties::list, 0},
    {"props", "props [--json]",
     "Prints every property the camera offers with its value in photographers' units and its choices.",
     TetherProperties::propsOptions, TetherProperties::props, 0},
    {"get", "get NAME|NUMBER...", "Prints the value of properties, as text and as the raw number.", noOptions,
     TetherProperties::get, 0},
    {"set", "set NAME|NUMBER [VALUE]",
     "Sets a property (f/5.6, 1/125 s, +0.7 EV, ISO 400, 5200 K, Daylight, on, or the raw number; no value for "
     "a command), waits for the camera's confirmation and prints the value it reports.",
     noOptions, TetherProperties::set, 0},
    {"capture", "capture [-n N] [--interval S] [--out DIR] [--filename PATTERN] [--exec CMD]",
     "Releases the shutter N times and saves every file that arrives under the camera's file name.",
     TetherShooting::captureOptions, TetherShooting::capture, 0},
    {"watch", "watch [--out DIR] [--filename PATTERN] [--exec CMD]",
     "Tethered shooting: saves every picture taken on the camera and prints the settings changed on it, "
     "until Ctrl-C. With --virtual, lines on standard input work the virtual camera: shutter, unplug, plug.",
     TetherShooting::watchOptions, TetherShooting::watch, 0},
    {"liveview", "liveview [--seconds S] [--out FILE.mjpeg|-]",
     "Writes the live-view frames as an MJPEG stream and reports the frame rate, zoom area and focus cross.",
     TetherLiveView::options, TetherLiveView::run, 0},
    {"serve", "serve [--port N] [--listen ADDR] [--out DIR] [--filename PATTERN] [--exec CMD]",
     "A page and an HTTP API for the browsers on the set: live view, the settings, the shutter and the pictures "
     "as they land (saved as watch saves them), until Ctrl-C. It serves 127.0.0.1 unless --listen says "
     "otherwise; beyond loopback every request needs the token in the printed address.",
     TetherServe::options, TetherServe::run, 0},
    {"demo", "demo [--out DIR]",
     "A guided run on the virtual camera (0x2031 unless --virtual says otherwise): connects, shows and changes "
     "settings, shoots a pair and a burst, streams live view, and says where the files are.",
     TetherDemo::options, TetherDemo::run, TetherDemo::kDefaultProduct},
};

QList<QCommandLineOption> globalOptions()
{
    return {
        {"virtual", "Use the library's virtual camera of product PID (0x2009, 0x2011, 0x2021, 0x2031, 0x2041, "
                    "0x2051, 0x2061) instead of the USB bus.",
         "PID"},
        {"network", "Tether the camera at HOST[:PORT] on the network (PTP/IP, port 15740 unless given) instead of "
                    "the USB bus.",
         "HOST[:PORT]"},
        {"debug", "Switch the library's log groups FLAGS on (e.g. 0x401); its log goes to standard error.", "FLAGS"},
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

bool readGlobalOptions(const QCommandLineParser& parser, TetherGlobalOptions* options, TetherOutput& output)
{
    bool ok = true;
    if (parser.isSet("virtual")) {
        QString product = parser.value("virtual");
        product.remove(QRegularExpression(QStringLiteral("^0[xX]")));
        options->virtualProduct = product.toInt(&ok, 16);
        ok = ok && options->virtualProduct > 0;
    }
    // A camera on the network replaces a subcommand's own virtual camera, not one asked for.
    if (ok && parser.isSet("network")) {
        options->network = parser.value("network");
        ok = !parser.isSet("virtual");
        options->virtualProduct = 0;
    }
    if (ok && parser.isSet("debug")) {
        options->debug = true;
        options->debugFlags = parser.value("debug").toUInt(&ok, 0);
    }
    bool timeoutOk = false;
    const double timeout = parser.value("timeout").toDouble(&timeoutOk) * 1000.0;
    ok = ok && timeoutOk && timeout > 0.0 && timeout < 1e9;
    options->timeoutMs = ok ? int(std::lround(timeout)) : 0;
    options->timeoutGiven = parser.isSet("timeout");
    options->quiet = parser.isSet("quiet");
    if (!ok)
        output.error(QStringLiteral("--virtual takes a product ID (0x2031), --network HOST[:PORT] (not with "
                                    "--virtual), --debug flags (0x401), --timeout seconds (more than 0)"));
    return ok;
}

// The library's log only with --debug.
void dropMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
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
    if (!readGlobalOptions(parser, &options, output))
        return kExitUsage;
    output.setQuiet(options.quiet);
    if (!options.debug)
        qInstallMessageHandler(dropMessage);
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
