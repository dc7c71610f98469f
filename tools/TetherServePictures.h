#ifndef TETHERSERVEPICTURES_H
#define TETHERSERVEPICTURES_H

#include <QByteArray>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>

// The pictures of this run as the browsers see them: each with its saved
// files (their addresses under /files/) and the camera's quick-view
// thumbnail. Thumbnails stay in memory up to a bound, the oldest go first.
// Host thread.
class TetherServePictures
{
public:
    explicit TetherServePictures(const QString& folder);

    // "/files/sub/BRX_0001.JPG" for a path relative to the folder, each part
    // percent-encoded.
    static QString fileAddress(const QString& relativePath);

    // Each gives the picture as it is now.
    QJsonObject addFile(int picture, const QString& path, qint64 bytes);
    QJsonObject addQuickView(int picture, int orientation, const QByteArray& thumbnail);

    QJsonArray list() const;
    // Empty when the picture has none (or no longer).
    QByteArray thumbnail(int picture) const;

private:
    struct Picture {
        QJsonArray files;
        QByteArray thumbnail;
        int orientation = 0;
    };

    QJsonObject jsonOf(int picture) const;
    void boundThumbnails();

    const QDir m_folder;
    QMap<int, Picture> m_pictures;
    qint64 m_thumbnailBytes = 0;
};

#endif
