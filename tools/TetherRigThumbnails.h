#ifndef TETHERRIGTHUMBNAILS_H
#define TETHERRIGTHUMBNAILS_H

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QString>

// The thumbnail of each node's last picture, fetched from the node's own
// HTTP API (its picture list, then the picture's quick-view thumbnail, with
// the token its state carries) and kept until the node has a newer picture.
// Host thread; a fetch blocks it for at most a few seconds.
class TetherRigThumbnails
{
public:
    // The JPEG of the last picture of the node in state; empty when it has
    // none (or the node could not be reached; it is asked again once it has
    // another picture).
    QByteArray of(const QString& label, const QJsonObject& state);

private:
    struct Thumbnail {
        QString picture;
        QByteArray jpeg;
    };

    static QByteArray fetch(const QJsonObject& http, const QString& picture);
    // The address of the thumbnail of the picture holding the file named
    // picture, in the node's list; empty when there is none.
    static QString thumbnailPath(const QByteArray& list, const QString& picture);

    QHash<QString, Thumbnail> m_thumbnails; // by label
};

#endif
