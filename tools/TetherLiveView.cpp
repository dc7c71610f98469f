#include "TetherLiveView.h"
#include "BRX_SDK.h"

#include <QFile>

#include <cmath>
#include <cstring>

namespace {

const int kReportMs = 1000;

// The library's own text of a fraction pair: "50%, 50%".
QString fractions(double x, double y)
{
    const double pair[2] = {x, y};
    char text[64];
    if (!BRX_SDK_formatValue(BRX_SDK_Property::LiveViewCrossPosGlobal, pair, sizeof pair, text, sizeof text))
        return QString();
    return QString::fromUtf8(text);
}

} // namespace

TetherLiveView::~TetherLiveView()
{
    close();
}

QList<QCommandLineOption> TetherLiveView::options()
{
    return {
        {"seconds", "Stream for S seconds (default: until Ctrl-C).", "S"},
        {"out", "The MJPEG file to write, - for standard output (default: liveview.mjpeg).", "FILE",
         "liveview.mjpeg"},
    };
}

bool TetherLiveView::open(const QString& path)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_ownFile = path != QLatin1String("-");
    m_file = m_ownFile ? std::fopen(QFile::encodeName(path).constData(), "wb") : stdout;
    m_clock.start();
    return m_file != nullptr;
}

void TetherLiveView::close()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (m_file && m_ownFile)
        std::fclose(m_file);
    else if (m_file)
        std::fflush(m_file);
    m_file = nullptr;
}

void TetherLiveView::frame(int type, const void* data, unsigned int size)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (type == BRX_SDK_FrameType::FrameLiveViewZoom && size == sizeof(qint32)) {
        std::memcpy(&m_zoomLevel, data, sizeof m_zoomLevel);
        return;
    }
    if (type != BRX_SDK_FrameType::FrameLiveView || !m_file)
        return;
    if (std::fwrite(data, 1, size, m_file) != size)
        m_writeFailed = true;
    m_lastMs = m_clock.elapsed();
    if (m_frames++ == 0)
        m_firstMs = m_lastMs;
}

int TetherLiveView::frames() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_frames;
}

double TetherLiveView::framesPerSecond() const
{
    const qint64 span = m_lastMs - m_firstMs;
    return m_frames > 1 && span > 0 ? (m_frames - 1) * 1000.0 / double(span) : 0.0;
}

QString TetherLiveView::report() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    QString text = QStringLiteral("%1 frames (%2 fps), zoom %3x").arg(m_frames).arg(framesPerSecond(), 0, 'f', 1).arg(m_zoomLevel);
    BRX_SDK_LiveViewArea area;
    if (BRX_SDK_getLiveViewArea(&area))
        text += QStringLiteral(", showing %1 to %2, focus cross at %3")
                    .arg(fractions(area.x, area.y), fractions(area.x + area.width, area.y + area.height),
                         fractions(area.focusX, area.focusY));
    if (m_writeFailed)
        text += QStringLiteral(", writing failed");
    return text;
}

int TetherLiveView::stream(TetherSession& session, const QString& path, int ms)
{
    BRX_SDK_PropertyDescription description;
    if (!BRX_SDK_describeProperty(BRX_SDK_Property::WantLiveView, &description) || !description.supported) {
        session.output().error(QStringLiteral("camera %1 has no live view").arg(TetherSession::productText(session.productId())));
        return kExitCamera;
    }
    TetherLiveView writer;
    if (!writer.open(path)) {
        session.output().error(QStringLiteral("cannot write %1").arg(path));
        return kExitUsage;
    }
    session.addFrameSink(&writer);
    session.setWantLiveView(true);
    QElapsedTimer clock;
    clock.start();
    while (!session.isInterrupted() && (ms < 0 || clock.elapsed() < ms)) {
        session.waitFor([] { return false; }, ms < 0 ? kReportMs : int(qMin<qint64>(kReportMs, ms - clock.elapsed())));
        session.output().progress(QStringLiteral("live view: ") + writer.report());
    }
    session.setWantLiveView(false);
    session.removeFrameSink(&writer);
    writer.close();
    session.output().result(QStringLiteral("live view: %1 in %2 s, written to %3")
                                .arg(writer.report())
                                .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 1)
                                .arg(path == QLatin1String("-") ? QStringLiteral("standard output") : path));
    return writer.frames() > 0 ? kExitOk : kExitCamera;
}

int TetherLiveView::run(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    bool secondsOk = true;
    const double seconds = arguments.isSet("seconds") ? arguments.value("seconds").toDouble(&secondsOk) : -1.0;
    if (!secondsOk || (arguments.isSet("seconds") && seconds <= 0.0) || !words.isEmpty()) {
        session.output().error(QStringLiteral("liveview takes --seconds S (more than 0) and --out FILE"));
        return kExitUsage;
    }
    const QString path = arguments.value("out");
    session.output().setStdoutTaken(path == QLatin1String("-"));
    session.setLongRunning(true);
    if (!session.start())
        return kExitUsage;
    if (!session.waitForCamera(session.options().timeoutMs))
        return kExitCamera;
    session.startVirtualCameraConsole();
    return stream(session, path, seconds < 0.0 ? -1 : int(std::lround(seconds * 1000.0)));
}
