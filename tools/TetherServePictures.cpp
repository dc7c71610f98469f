#include "TetherServePictures.h"

#include <QFileInfo>
#include <QUrl>

namespace {

const qint64 kThumbnailBytes = 64 * 1024 * 1024;

} // namespace

QString TetherServePictures::fileAddress(const QString& relativePath)
{
    QStringList parts;
    for (const QString& part : relativePath.split('/'))
        parts << QString::fromLatin1(QUrl::toPercentEncoding(part));
    return QStringLiteral("/files/") + parts.join('/');
}

// Both sides absolute: between two relative paths Qt takes the folder's own
// name into the result ("pictures/BRX_0001.DNG" for a file of "pictures").
TetherServePictures::TetherServePictures(const QString& folder)
    : m_folder(QFileInfo(folder).absoluteFilePath())
{
}

QJsonObject TetherServePictures::addFile(int picture, const QString& path, qint64 bytes)
{
    const QString relative = m_folder.relativeFilePath(QFileInfo(path).absoluteFilePath());
    m_pictures[picture].files << QJsonObject{
        {"name", QFileInfo(path).fileName()}, {"url", fileAddress(relative)}, {"size", double(bytes)}};
    return jsonOf(picture);
}

QJsonObject TetherServePictures::addQuickView(int picture, int orientation, const QByteArray& thumbnail)
{
    Picture& entry = m_pictures[picture];
    m_thumbnailBytes += thumbnail.size() - entry.thumbnail.size();
    entry.thumbnail = thumbnail;
    entry.orientation = orientation;
    boundThumbnails();
    return jsonOf(picture);
}

void TetherServePictures::boundThumbnails()
{
    for (auto entry = m_pictures.begin(); entry != m_pictures.end() && m_thumbnailBytes > kThumbnailBytes; ++entry) {
        m_thumbnailBytes -= entry->thumbnail.size();
        entry->thumbnail.clear();
    }
}

QJsonArray TetherServePictures::list() const
{
    QJsonArray pictures;
    for (auto entry = m_pictures.cbegin(); entry != m_pictures.cend(); ++entry)
        pictures << jsonOf(entry.key());
    return pictures;
}

QByteArray TetherServePictures::thumbnail(int picture) const
{
    return m_pictures.value(picture).thumbnail;
}

// A picture is named after its first file.
QJsonObject TetherServePictures::jsonOf(int picture) const
{
    const Picture entry = m_pictures.value(picture);
    const QString first = entry.files.isEmpty() ? QString() : entry.files.first().toObject().value("name").toString();
    return QJsonObject{
        {"id", picture},
        {"name", QFileInfo(first).completeBaseName()},
        {"files", entry.files},
        {"thumbnail", entry.thumbnail.isEmpty() ? QJsonValue() : QStringLiteral("/api/pictures/%1/thumbnail").arg(picture)},
        {"orientation", entry.orientation},
    };
}
