#ifndef TETHERPICTURES_H
#define TETHERPICTURES_H

#include "TetherFileNames.h"
#include "TetherSession.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <mutex>

class QProcess;

// Saves every picture file the library downloads: under the name a pattern
// makes of the camera's file name (from quick view), date, time, a running
// counter and the extension (TetherFileNames), inside the folder and never
// over an existing file; one progress line per file, and a command run after
// each file with its path as argument. Frames arrive in the library's
// download threads; the commands run one after the other in the host thread.
class TetherPictures : public QObject, public TetherFrameSink
{
    Q_OBJECT
public:
    struct Settings {
        QString folder;
        // See TetherFileNames.
        QString pattern = QStringLiteral("{name}.{ext}");
        // Empty: no command.
        QString command;
        // The pattern's {label}.
        QString label;
    };

    TetherPictures(const Settings& settings, TetherOutput& output);
    ~TetherPictures() override;

    // Creates the folder; false (with a message) when that fails, or for a
    // pattern TetherFileNames refuses.
    bool prepare();
    void frame(int type, const void* data, unsigned int size) override;

    // Pictures begun (a quick-view name, or a file that starts a picture of its own).
    int pictures() const;
    int failures() const;
    // Commands that failed: an exit status other than 0, a crash, not started.
    int commandFailures() const;
    // Pictures begun when the library last reported a release's end
    // (BRX_SDK_FrameReleaseEnd), and the ends that brought no file.
    int picturesAtReleaseEnd() const;
    int emptyReleaseEnds() const;
    // Releases the camera refused (BRX_SDK_FrameReleaseRefused), each said as it came.
    int refusedReleases() const;
    // A download or a command is running.
    bool isBusy() const;
    bool isDownloading() const;
    // Since the last frame record or the end of the last command.
    qint64 quietMs() const;
    QStringList savedPaths() const;
    // "3 pictures, 6 files, 1.1 MB in DIR ..."
    QString summary() const;
    // The same for scripts: pictures (each with its files' paths and
    // sizes), files, bytes, failed, commandsFailed.
    QJsonObject summaryJson() const;

signals:
    // Emitted in the download thread; picture counts the pictures of this run from 1.
    void fileSaved(int picture, const QString& path, qint64 bytes);
    // The camera's quick view of a picture: its orientation in degrees and thumbnail.
    void quickView(int picture, int orientation, const QByteArray& thumbnail);
    // The card's room changed (BRX_SDK_FrameCardRoom: its fields); from the library's controller thread.
    void cardRoomChanged(qulonglong capacityBytes, qulonglong freeBytes, qlonglong picturesLeft);
    // The camera refused a release: why, as the program says it; from the library's controller thread.
    void releaseRefused(const QString& reason);

private:
    void beginQuickView(const QString& cameraName);
    void beginCardFile(const QString& fileName);
    void pictureLost(const QByteArray& fileName);
    void startPicture(const QString& cameraName);
    void beginDownload();
    void keepQuickView(int type, const void* data, unsigned int size);
    void endRelease(const void* data, unsigned int size);
    void refuseRelease(const void* data, unsigned int size);
    void tellRoom(const void* data, unsigned int size);
    void save(const char* extension, const void* data, unsigned int size);
    QString pathFor(const QString& extension);
    static QString cameraSerialNumber();
    void runNextCommand();
    void finishCommand(const QString& path, const QString& outcome, bool failed);
    void touch();

    const Settings m_settings;
    TetherFileNames m_names;
    TetherOutput& m_output;
    mutable std::mutex m_mutex;
    // The picture the next files belong to.
    QString m_cameraName;
    QString m_serialNumber;
    // A file from the card began the picture; its quick view is no new one.
    bool m_cardFileBegun = false;
    int m_counter = 0;
    QDateTime m_pictureTime;
    int m_orientation = 0;
    QSet<QString> m_pictureExtensions;
    int m_pictures = 0;
    int m_files = 0;
    int m_failures = 0;
    int m_commandFailures = 0;
    qint64 m_bytes = 0;
    qint64 m_downloadMs = 0;
    bool m_downloading = false;
    QElapsedTimer m_downloadClock;
    QElapsedTimer m_activity;
    struct Saved {
        int picture;
        QString path;
        qint64 bytes;
    };
    QList<Saved> m_saved;
    int m_picturesAtReleaseEnd = 0;
    int m_emptyReleaseEnds = 0;
    int m_refusedReleases = 0;
    QSet<QString> m_taken;
    QStringList m_commandQueue;
    // Host thread.
    QProcess* m_process = nullptr;
};

#endif
