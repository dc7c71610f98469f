#ifndef TETHERPROPERTIES_H
#define TETHERPROPERTIES_H

#include "BRX_SDK.h"
#include "TetherSession.h"

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// The subcommands about the camera and its properties: list, props, get and
// set, and the property work the demo shares. Every name, unit, text and
// choice comes from the library's own descriptions.
class TetherProperties
{
public:
    static QList<QCommandLineOption> propsOptions();
    static int list(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int props(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int get(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int set(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);

    explicit TetherProperties(TetherSession& session);

    // The number of a property name (any case) or number; -1 for neither.
    static int find(const QString& nameOrNumber);
    static BRX_SDK_PropertyDescription describe(int property);
    // A host may set it: read-write, write-only and commands.
    static bool isWritable(const BRX_SDK_PropertyDescription& description);
    // "f/5.6"; empty when the library cannot read the payload.
    static QString text(int property, const QByteArray& payload);
    // "5.6", "667", "true", "5, 9999".
    static QString rawText(int property, const QByteArray& payload);
    // "Aperture = f/5.6 (5.6)".
    static QString valueLine(int property, const QByteArray& payload);

    // The current value: read from the camera where it can be read, else the
    // latest notification; empty when there is neither.
    QByteArray value(int property) const;
    // The camera's choices, one payload each.
    QList<QByteArray> choices(int property) const;
    QStringList choiceTexts(int property) const;
    // The value line of the current value; false when there is none.
    bool printValue(int property) const;
    // Sets property to the value text reads as and waits for the camera's
    // answer, which it prints; an exit code, with a message on failure.
    int setValue(int property, const QString& text) const;
    // Why property cannot be set to the value text reads as ("Aperture cannot
    // be set: ...", "f/1.1 is not among the camera's values of ..."); empty
    // when it can, and payload then holds the value (empty for a command).
    QString refusal(int property, const QString& text, QByteArray* payload) const;
    // Hands payload to the library; false when it refuses it.
    static bool send(int property, const QByteArray& payload);
    // Whether the camera answers a set of property at all (it can be read or
    // is notified); commands and write-only properties are done when sent.
    static bool needsAnswer(int property);
    // The camera has answered a set of property to requested that was sent
    // when notificationsBefore notifications of it had arrived; answer() is
    // the value it reports.
    bool isAnswered(int property, const QByteArray& requested, int notificationsBefore) const;
    QByteArray answer(int property, int notificationsBefore) const;
    // The camera and every listed property as one JSON document (props --json),
    // and one property: number, name, unit, access, value, text, choices, range.
    QJsonObject json() const;
    QJsonObject jsonOf(int property) const;
    // Every property the camera offers and a host can read, with its value
    // and choices, as text lines.
    void printProperties() const;

private:
    // The properties a listing shows: offered, readable or notified, and not
    // the list of another.
    QList<int> listed() const;
    int refuse(const QString& message) const;
    int confirm(int property, const QByteArray& requested, int notificationsBefore) const;

    TetherSession& m_session;
};

#endif
