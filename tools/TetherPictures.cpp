#include "TetherPictures.h"
#include "BRX_SDK.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QMap>
#include <QProcess>
#include <QSaveFile>

#include <cstring>

namespace {

// The PTP answer of a camera whose card is full.
const qint32 kResponseStoreFull = 0x200C;

QString sizeText(qint64 bytes)
{
    if (bytes < 1000000)
        return QStringLiteral("%1 kB").arg(double(bytes) / 1000.0, 0, 'f', 0);
    return QStringLiteral("%1 MB").arg(double(bytes) / 1000000.0, 0, 'f', 1);
}

QString counted(int count, const char* word)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(word)).arg(count == 1 ? "" : "s");
}

// A name from the camera, as a line may show it: short, control characters escaped.
QString shownName(const QByteArray& name)
{
    return QString::fromLatin1(name.left(120).toPercentEncoding("/.\\ "));
}

QString rateText(qint64 bytes, qint64 ms)
{
    return QStringLiteral("%1 MB/s").arg(double(bytes) / 1000.0 / double(qMax<qint64>(ms, 1)), 0, 'f', 1);
}

} // namespace

TetherPictures::TetherPictures(const Settings& settings, TetherOutput& output)
    : m_settings(settings)
    , m_output(output)
{
    m_activity.start();
}

TetherPictures::~TetherPictures()
{
    if (m_process)
        m_process->waitForFinished();
}

bool TetherPictures::prepare()
{
    QString reason;
    if (!m_names.setPattern(m_settings.pattern, &reason)) {
        m_output.error(reason);
        return false;
    }
    if (!QDir().mkpath(m_settings.folder)) {
        m_output.error(QStringLiteral("cannot create the folder %1").arg(m_settings.folder));
        return false;
    }
    return true;
}

// Quick view names the first file of each picture; the other file of a pair
// follows without a name of its own.
void TetherPictures::frame(int type, const void* data, unsigned int size)
{
    switch (type) {
    case BRX_SDK_FrameType::FrameQuickViewFileName:
        beginQuickView(QString::fromLatin1(static_cast<const char*>(data), int(size)));
        break;
    case BRX_SDK_FrameType::FrameFromCard:
        beginCardFile(QString::fromUtf8(static_cast<const char*>(data), int(size)));
        break;
    case BRX_SDK_FrameType::FrameQuickViewOrientation:
    case BRX_SDK_FrameType::FrameQuickViewThumbnail:
        keepQuickView(type, data, size);
        break;
    case BRX_SDK_FrameType::FrameDownloadStartDng:
    case BRX_SDK_FrameType::FrameDownloadStartJpg:
        beginDownload();
        break;
    case BRX_SDK_FrameType::FramePictureDng:
        save("DNG", data, size);
        break;
    case BRX_SDK_FrameType::FramePictureJpg:
        save("JPG", data, size);
        break;
    case BRX_SDK_FrameType::FrameReleaseEnd:
        endRelease(data, size);
        break;
    case BRX_SDK_FrameType::FramePictureLost:
        pictureLost(QByteArray(static_cast<const char*>(data), int(size)));
        break;
    case BRX_SDK_FrameType::FrameReleaseRefused:
        refuseRelease(data, size);
        break;
    case BRX_SDK_FrameType::FrameCardRoom:
        tellRoom(data, size);
        break;
    case BRX_SDK_FrameType::FrameDownloadEmpty: {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_downloading = false;
        ++m_failures;
        touch();
        m_output.error(QStringLiteral("a download from the camera brought no data"));
        break;
    }
    default:
        break;
    }
}

// A file begun before the camera went away that its card no longer held
// when it came back: it will not arrive.
void TetherPictures::pictureLost(const QByteArray& fileName)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    ++m_failures;
    touch();
    m_output.error(QStringLiteral("the picture %1 is lost: the camera came back without it on its card")
                       .arg(shownName(fileName)));
}

// The camera the picture comes from: with several cameras on the bus its
// files are told apart by it.
QString TetherPictures::cameraSerialNumber()
{
    BRX_SDK_CameraIdentity identity{};
    return BRX_SDK_getCameraIdentity(&identity) ? QString::fromUtf8(identity.serialNumber) : QString();
}

void TetherPictures::beginQuickView(const QString& cameraName)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    // A file from the card has begun its picture already, under this name.
    if (m_cardFileBegun) {
        m_cardFileBegun = false;
        return;
    }
    startPicture(cameraName);
}

// The card's file name comes with its extension; the pattern adds one.
void TetherPictures::beginCardFile(const QString& fileName)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    const int dot = fileName.lastIndexOf('.');
    startPicture(dot > 0 ? fileName.left(dot) : fileName);
    m_cardFileBegun = true;
}

// Under m_mutex.
// A name the camera gives that is no plain file name is said once, shown
// with its control characters escaped.
void TetherPictures::startPicture(const QString& cameraName)
{
    ++m_pictures;
    ++m_counter;
    m_cameraName = cameraName;
    m_serialNumber = cameraSerialNumber();
    if (!cameraName.isEmpty() && TetherFileNames::plainName(cameraName).isEmpty())
        m_output.error(QStringLiteral("the camera named picture %1 %2, which is no plain file name; it is saved as %3")
                           .arg(m_pictures)
                           .arg(shownName(cameraName.toUtf8()))
                           .arg(TetherFileNames::safeName(m_counter)));
    m_pictureTime = QDateTime::currentDateTime();
    m_pictureExtensions.clear();
    m_orientation = 0;
    touch();
}

// The orientation comes first, then the thumbnail, both after the picture's name.
void TetherPictures::keepQuickView(int type, const void* data, unsigned int size)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (type == BRX_SDK_FrameType::FrameQuickViewOrientation) {
        if (size == sizeof(qint32))
            std::memcpy(&m_orientation, data, sizeof m_orientation);
        return;
    }
    if (m_pictures > 0)
        emit quickView(m_pictures, m_orientation, QByteArray(static_cast<const char*>(data), int(size)));
}

void TetherPictures::endRelease(const void* data, unsigned int size)
{
    qint32 files = 0;
    if (size == sizeof files)
        std::memcpy(&files, data, sizeof files);
    std::lock_guard<std::mutex> locker(m_mutex);
    m_picturesAtReleaseEnd = m_pictures;
    m_emptyReleaseEnds += files == 0 ? 1 : 0;
    touch();
}

void TetherPictures::refuseRelease(const void* data, unsigned int size)
{
    qint32 code = 0;
    if (size == sizeof code)
        std::memcpy(&code, data, sizeof code);
    const QString reason =
        code == kResponseStoreFull
            ? QStringLiteral("the camera's card is full: it took no picture")
            : QStringLiteral("the camera refused the release (response 0x%1)").arg(code, 4, 16, QChar('0'));
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        ++m_refusedReleases;
        touch();
        m_output.error(reason);
    }
    emit releaseRefused(reason);
}

void TetherPictures::tellRoom(const void* data, unsigned int size)
{
    BRX_SDK_CardRoom room{};
    if (size != sizeof room)
        return;
    std::memcpy(&room, data, sizeof room);
    emit cardRoomChanged(room.capacityBytes, room.freeBytes, room.picturesLeft);
}

int TetherPictures::refusedReleases() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_refusedReleases;
}

void TetherPictures::beginDownload()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_cardFileBegun = false;
    m_downloading = true;
    m_downloadClock.start();
    touch();
}

void TetherPictures::save(const char* extension, const void* data, unsigned int size)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    const qint64 ms = m_downloading ? m_downloadClock.elapsed() : 0;
    m_downloading = false;
    // A file whose kind the picture has already had starts a picture without a name.
    if (m_pictures == 0 || m_pictureExtensions.contains(extension))
        startPicture(QString());
    m_pictureExtensions.insert(extension);
    const QString path = pathFor(extension);
    touch();
    if (path.isEmpty()) {
        ++m_failures;
        m_output.error(QStringLiteral("refused to save a file of picture %1 outside %2").arg(m_pictures).arg(m_settings.folder));
        return;
    }
    QSaveFile file(path);
    const bool saved = QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
                       && file.write(static_cast<const char*>(data), qint64(size)) == qint64(size) && file.commit();
    if (!saved) {
        ++m_failures;
        m_output.error(QStringLiteral("could not save %1: %2").arg(path, file.errorString()));
        return;
    }
    ++m_files;
    m_bytes += size;
    m_downloadMs += ms;
    m_saved << Saved{m_pictures, path, qint64(size)};
    emit fileSaved(m_pictures, path, qint64(size));
    m_output.progress(QStringLiteral("saved %1 (%2 in %3 s, %4)")
                          .arg(path, sizeText(size))
                          .arg(double(ms) / 1000.0, 0, 'f', 2)
                          .arg(rateText(size, ms)));
    // Queued at once, so that the run is busy until the command has run.
    if (!m_settings.command.isEmpty()) {
        m_commandQueue << path;
        QMetaObject::invokeMethod(this, &TetherPictures::runNextCommand, Qt::QueuedConnection);
    }
}

// Never over a file that exists or that this run has written; empty for a
// path outside the folder.
QString TetherPictures::pathFor(const QString& extension)
{
    const TetherFileNames::File file{m_cameraName, m_counter, m_pictureTime, extension, m_serialNumber,
                                     m_settings.label};
    for (int collision = 0;; ++collision) {
        const QString path = m_names.pathOf(m_settings.folder, file, collision);
        if (path.isEmpty() || (!m_taken.contains(path) && !QFile::exists(path))) {
            m_taken.insert(path);
            return path;
        }
    }
}

void TetherPictures::runNextCommand()
{
    QString path;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        if (m_process || m_commandQueue.isEmpty())
            return;
        path = m_commandQueue.takeFirst();
    }
    QStringList arguments = QProcess::splitCommand(m_settings.command);
    const QString program = arguments.takeFirst();
    arguments << path;
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this, path](int code, QProcess::ExitStatus status) {
                const bool crashed = status != QProcess::NormalExit;
                finishCommand(path, crashed ? QStringLiteral("crashed") : QStringLiteral("exit status %1").arg(code),
                              crashed || code != 0);
            });
    connect(m_process, &QProcess::errorOccurred, this, [this, path](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finishCommand(path, QStringLiteral("could not be started"), true);
    });
    m_process->start(program, arguments);
}

void TetherPictures::finishCommand(const QString& path, const QString& outcome, bool failed)
{
    if (failed)
        m_output.error(QStringLiteral("exec %1 %2: %3").arg(m_settings.command, path, outcome));
    else
        m_output.progress(QStringLiteral("exec %1 %2: %3").arg(m_settings.command, path, outcome));
    m_process->deleteLater();
    m_process = nullptr;
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_commandFailures += failed ? 1 : 0;
        touch();
    }
    runNextCommand();
}

// Under m_mutex.
void TetherPictures::touch()
{
    m_activity.restart();
}

int TetherPictures::pictures() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_pictures;
}

int TetherPictures::failures() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_failures;
}

int TetherPictures::commandFailures() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_commandFailures;
}

bool TetherPictures::isBusy() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_downloading || m_process || !m_commandQueue.isEmpty();
}

bool TetherPictures::isDownloading() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_downloading;
}

qint64 TetherPictures::quietMs() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_activity.elapsed();
}

int TetherPictures::picturesAtReleaseEnd() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_picturesAtReleaseEnd;
}

int TetherPictures::emptyReleaseEnds() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_emptyReleaseEnds;
}

QStringList TetherPictures::savedPaths() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    QStringList paths;
    for (const Saved& saved : m_saved)
        paths << saved.path;
    return paths;
}

QJsonObject TetherPictures::summaryJson() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    QMap<int, QJsonArray> files;
    for (const Saved& saved : m_saved)
        files[saved.picture] << QJsonObject{{"path", saved.path}, {"size", double(saved.bytes)}};
    QJsonArray pictures;
    for (auto picture = files.cbegin(); picture != files.cend(); ++picture)
        pictures << QJsonObject{{"picture", picture.key()}, {"files", picture.value()}};
    return QJsonObject{{"pictures", pictures},         {"files", m_files},
                       {"bytes", double(m_bytes)},     {"failed", m_failures},
                       {"commandsFailed", m_commandFailures}};
}

QString TetherPictures::summary() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    QString text = QStringLiteral("%1, %2, %3 saved in %4")
                       .arg(counted(m_pictures, "picture"), counted(m_files, "file"), sizeText(m_bytes),
                            QDir::toNativeSeparators(m_settings.folder));
    if (m_files > 0)
        text += QStringLiteral(" (%1 s downloading, %2)")
                    .arg(double(m_downloadMs) / 1000.0, 0, 'f', 2)
                    .arg(rateText(m_bytes, m_downloadMs));
    if (m_failures > 0)
        text += QStringLiteral("; %1 failed").arg(m_failures);
    if (m_commandFailures > 0)
        text += QStringLiteral("; %1 failed").arg(counted(m_commandFailures, "command"));
    return text;
}
