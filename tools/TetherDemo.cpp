#include "TetherDemo.h"
#include "BRX_SDK.h"
#include "TetherLiveView.h"
#include "TetherPictures.h"
#include "TetherProperties.h"
#include "TetherShooting.h"

#include <QDir>
#include <QFile>

namespace {

const int kLiveViewMs = 2000;

} // namespace

QList<QCommandLineOption> TetherDemo::options()
{
    return {{"out", "The folder for everything the demo makes (default: tether-demo).", "DIR", "tether-demo"}};
}

TetherDemo::TetherDemo(TetherSession& session, TetherPictures& pictures, const TetherProperties& properties)
    : m_session(session)
    , m_pictures(pictures)
    , m_properties(properties)
{
}

void TetherDemo::step(const QString& title)
{
    m_session.output().result(QString());
    m_session.output().result(QStringLiteral("%1. %2").arg(++m_step).arg(title));
}

bool TetherDemo::connect()
{
    step(QStringLiteral("Connecting to the virtual camera %1").arg(TetherSession::productText(m_session.options().virtualProduct)));
    if (!m_session.waitForCamera(m_session.options().timeoutMs))
        return false;
    BRX_SDK_CameraIdentity identity{};
    BRX_SDK_getCameraIdentity(&identity);
    m_session.output().result(QStringLiteral("connected: %1, serial %2%3")
                                  .arg(QString::fromUtf8(identity.model), QString::fromUtf8(identity.serialNumber),
                                       TetherSession::portText(TetherProperties::cameraPort())));
    step(QStringLiteral("Its settings, as the camera reports them"));
    m_properties.printProperties(m_properties.listed());
    return true;
}

// A setting the camera does not offer is left out; a value it does not
// offer is not asked for.
bool TetherDemo::change(const Change& change)
{
    const int property = TetherProperties::find(QLatin1String(change.property));
    if (!TetherProperties::describe(property).supported)
        return true;
    const QStringList offered = m_properties.choiceTexts(property);
    for (const QString& candidate : change.candidates) {
        if (offered.isEmpty() || offered.contains(candidate))
            return m_properties.apply({{property, candidate}}) == kExitOk;
    }
    return true;
}

bool TetherDemo::changeSettings()
{
    step(QStringLiteral("Changing a few settings; each is confirmed by the camera"));
    const Change changes[] = {
        {"Aperture", {"f/8", "f/5.6"}},
        {"ShutterTime", {"1/125 s", "1/250 s"}},
        {"ExposCompens", {"+0.7 EV", "+0.5 EV"}},
        {"Sensitivity", {"ISO 800", "ISO 640"}},
        {"WhiteBalance", {"5200 K", "5000 K"}},
    };
    for (const Change& setting : changes) {
        if (!change(setting))
            return false;
    }
    return true;
}

bool TetherDemo::shoot(const char* title, const Change& setting)
{
    step(QLatin1String(title));
    return change(setting) && TetherShooting::release(m_session, m_pictures, 1, 0);
}

bool TetherDemo::streamLiveView(const QString& path)
{
    if (!TetherProperties::describe(BRX_SDK_Property::WantLiveView).supported)
        return true;
    step(QStringLiteral("Two seconds of live view"));
    return TetherLiveView::stream(m_session, path, kLiveViewMs) == kExitOk;
}

int TetherDemo::run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    if (!words.isEmpty()) {
        session.output().error(QStringLiteral("demo takes no arguments"));
        return kExitUsage;
    }
    const QString folder = arguments.value("out");
    TetherPictures::Settings settings;
    settings.folder = folder;
    TetherPictures pictures(settings, session.output());
    if (!TetherShooting::beginShooting(session, pictures))
        return kExitUsage;
    const TetherProperties properties(session);
    TetherDemo demo(session, pictures, properties);
    const QString liveView = QDir(folder).filePath(QStringLiteral("liveview.mjpeg"));
    const bool done = demo.connect() && demo.changeSettings()
                   && demo.shoot("A DNG + JPG pair", {"FileFormat", {"DNG + JPG", "DNG + JPG (fine)"}})
                   && demo.shoot("A burst: continuous drive, one press", {"DriveMode", {"Continuous", "Continuous S"}})
                   && demo.change({"DriveMode", {"Single"}}) && demo.streamLiveView(liveView);
    TetherShooting::finishInFlight(session, pictures);
    demo.step(QStringLiteral("What happened"));
    session.output().result(pictures.summary());
    for (const QString& path : pictures.savedPaths())
        session.output().result(QStringLiteral("  ") + path);
    if (QFile::exists(liveView))
        session.output().result(QStringLiteral("  %1 (live view, MJPEG: ffplay %1)").arg(liveView));
    session.shutdown();
    session.removeFrameSink(&pictures);
    return done ? kExitOk : kExitCamera;
}
