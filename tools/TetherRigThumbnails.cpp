#include "TetherRigThumbnails.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <httplib.h>

namespace {

const int kConnectSeconds = 2;
const int kReadSeconds = 5;
// A picture list or thumbnail larger than this is not what a node sends.
const std::size_t kMaxBytes = 8 * 1024 * 1024;

// The body of a GET, empty unless it answers 200 within kMaxBytes.
QByteArray get(httplib::Client& client, const std::string& path, const httplib::Headers& headers)
{
    std::string body;
    const auto result = client.Get(path, headers, [&body](const char* data, size_t length) {
        body.append(data, length);
        return body.size() <= kMaxBytes;
    });
    if (!result || result->status != 200)
        return QByteArray();
    return QByteArray::fromStdString(body);
}

} // namespace

QByteArray TetherRigThumbnails::of(const QString& label, const QJsonObject& state)
{
    const QString picture = state.value("lastPicture").toObject().value("name").toString();
    if (picture.isEmpty() || !state.value("online").toBool())
        return QByteArray();
    Thumbnail& thumbnail = m_thumbnails[label];
    if (thumbnail.picture != picture)
        thumbnail = Thumbnail{picture, fetch(state.value("http").toObject(), picture)};
    return thumbnail.jpeg;
}

QByteArray TetherRigThumbnails::fetch(const QJsonObject& http, const QString& picture)
{
    QString address = http.value("address").toString();
    while (address.endsWith('/'))
        address.chop(1);
    if (!address.startsWith(QLatin1String("http://")))
        return QByteArray();
    httplib::Client client(address.toStdString());
    client.set_connection_timeout(kConnectSeconds);
    client.set_read_timeout(kReadSeconds);
    httplib::Headers headers;
    const std::string token = http.value("token").toString().toStdString();
    if (!token.empty())
        headers.emplace("Authorization", "Bearer " + token);
    const QString path = thumbnailPath(get(client, "/api/pictures", headers), picture);
    return path.isEmpty() ? QByteArray() : get(client, path.toStdString(), headers);
}

QString TetherRigThumbnails::thumbnailPath(const QByteArray& list, const QString& picture)
{
    const QJsonArray pictures = QJsonDocument::fromJson(list).object().value("pictures").toArray();
    for (const QJsonValue entry : pictures) {
        for (const QJsonValue file : entry.toObject().value("files").toArray()) {
            const QString thumbnail = entry.toObject().value("thumbnail").toString();
            if (file.toObject().value("name").toString() == picture && thumbnail.startsWith(QLatin1String("/api/")))
                return thumbnail;
        }
    }
    return QString();
}
