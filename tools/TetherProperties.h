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
    // Every property the camera offers and a host can read, with its value
    // and choices, as text lines.
    void printProperties() const;

private:
    QJsonObject json() const;
    QJsonObject jsonOf(int property) const;
    // The properties a listing shows: offered, readable or notified, and not
    // the list of another.
    QList<int> listed() const;
    int refuse(const QString& message) const;
    QByteArray readPayload(int property, const BRX_SDK_PropertyDescription& description, const QString& text,
                           int* result) const;
    int confirm(int property, const QByteArray& requested, int notificationsBefore) const;

    TetherSession& m_session;
};

#endif
