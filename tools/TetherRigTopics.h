#ifndef TETHERRIGTOPICS_H
#define TETHERRIGTOPICS_H

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The rig's topics and the envelope of its payloads, as docs/rig.md gives
// them: every topic lies under "brx/v1/RIG/", every payload is a JSON object
// carrying "v": 1. A later version takes a new prefix, so that nodes and
// controllers of two versions never read each other's messages.
class TetherRigTopics
{
public:
    static const int kVersion = 1;

    explicit TetherRigTopics(const QString& rig);

    QString rig() const { return m_rig; }

    // Commands for every node, and for one.
    QString rigCommands() const;
    QString nodeCommands(const QString& label) const;
    // A node's retained state, its replies and its file announcements;
    // label "+" makes the filter for every node.
    QString state(const QString& label) const;
    QString replies(const QString& label) const;
    QString files(const QString& label) const;
    // The label in a node topic; empty for another topic.
    QString labelOf(const QString& topic) const;

    // Rig names, labels, shot and command IDs: 1 to 64 of A-Z a-z 0-9 . _ -,
    // not starting with a dot, so that they are safe in topics and file names.
    static bool isName(const QString& name);
    // The payload with "v" set; and the object of a payload of this
    // version, empty for anything else.
    static QByteArray payload(QJsonObject object);
    static QJsonObject read(const QByteArray& payload);
    // A file's SHA-256 in hex, as announcements carry it; empty when it
    // cannot be read.
    static QString sha256Of(const QString& path);
    // Microseconds since 1970 by this machine's clock.
    static qint64 nowUs();

private:
    QString node(const QString& label, const char* leaf) const;

    const QString m_rig;
    const QString m_prefix;
};

#endif
