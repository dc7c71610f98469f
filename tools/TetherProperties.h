#ifndef TETHERPROPERTIES_H
#define TETHERPROPERTIES_H

#include "BRX_SDK.h"
#include "TetherSession.h"

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// The subcommands about the camera and its properties: list, props, get and
// set, and the property work the other subcommands share. Every name, unit,
// text and choice comes from the library's own descriptions. A value is
// shown as "NAME = TEXT (RAW)" everywhere, or in JSON with --json.
class TetherProperties
{
public:
    static QCommandLineOption jsonOption();
    static int list(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int props(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int get(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);
    static int set(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words);

    explicit TetherProperties(TetherSession& session);

    // The number of a property name (any case) or number; -1 for neither.
    static int find(const QString& nameOrNumber);
    // "there is no property 'Apertur'; did you mean Aperture?"
    static QString unknownProperty(const QString& word);
    static BRX_SDK_PropertyDescription describe(int property);
    // A host may set it: read-write, write-only and commands.
    static bool isWritable(const BRX_SDK_PropertyDescription& description);
    // "f/5.6"; empty when the library cannot read the payload.
    static QString text(int property, const QByteArray& payload);
    // "5.6", "667", "true", "5, 9999".
    static QString rawText(int property, const QByteArray& payload);
    // "Aperture = f/5.6 (5.6)"; a text with parentheses of its own is quoted:
    // FileFormat = "DNG + JPG (fine)" (1).
    static QString valueLine(int property, const QByteArray& payload);
    // The camera's identity: productId as a number beside productIdHex ("0x2031").
    // With the connected camera's socket ("port": usb:BUS-PORT, empty off USB).
    static QJsonObject identityJson(const BRX_SDK_CameraIdentity& identity);
    // The connected camera's socket, empty on the network, for the virtual
    // camera or without a camera.
    static QString cameraPort();

    // The current value: read from the camera where it can be read, else the
    // latest notification; empty when there is neither.
    QByteArray value(int property) const;
    // The camera's choices, one payload each.
    QList<QByteArray> choices(int property) const;
    QStringList choiceTexts(int property) const;

    // One setting asked for: a property and the text of its value (empty
    // for a command).
    struct Setting {
        int property;
        QString text;
    };
    // NAME VALUE [NAME VALUE ...]: a value runs up to the next property
    // name; false, with the reason, for a word that names no property or a
    // property without its value.
    static bool readSettings(const QStringList& words, QList<Setting>* settings, QString* reason);
    // NAME=VALUE.
    static bool readAssignment(const QString& word, Setting* setting, QString* reason);
    // Why a setting cannot be asked for at all (the property cannot be set
    // or the camera lacks it, the value cannot be read or is not among the
    // camera's values); empty when it can, and payload then holds the value
    // (empty for a command).
    QString refusal(int property, const QString& text, QByteArray* payload) const;
    // Sets each in order and waits for the camera's answer to each, which it
    // prints (or adds to answers); stops at the first that fails. An exit
    // code, with a message on failure: 2 for a refusal, 1 when the camera
    // did not take a value or did not answer.
    int apply(const QList<Setting>& settings, QJsonArray* answers = nullptr) const;

    // Hands payload to the library; false when it or the camera refused it.
    static bool send(int property, const QByteArray& payload);
    // Whether the camera answers a set of property at all (it can be read or
    // is notified); commands and write-only properties are done when sent.
    static bool needsAnswer(int property);
    // A set sent when notificationsBefore notifications of property had
    // arrived, the last of them notifiedBefore, waiting for the camera's
    // answer.
    struct PendingAnswer {
        int property;
        QByteArray requested;
        int notificationsBefore;
        QByteArray notifiedBefore;
        int notificationsSeen = 0;
        QElapsedTimer sinceNotification;
    };
    // The camera has answered: it holds the value asked for, or its
    // notifications of the property have come to rest (a camera may report
    // the old value before the one it settles on).
    bool isAnswered(PendingAnswer& pending) const;
    // The value the camera reports.
    QByteArray answer(const PendingAnswer& pending) const;
    // Why the camera's answer reported to a set of requested is a failure:
    // "the camera did not take NAME = TEXT; it holds TEXT". Empty when it
    // holds requested, a value shown alike, or the choice nearest to it.
    QString notTaken(int property, const QByteArray& requested, const QByteArray& reported) const;

    // The camera and the properties (props --json, get --json), and one
    // property: number, name, unit, access, value, text, choices, range.
    QJsonObject json(const QList<int>& properties) const;
    QJsonObject jsonOf(int property) const;
    // Every property the camera offers and a host can read, the value lists
    // of others aside.
    QList<int> listed() const;
    // Each property with its value and choices, as text lines.
    void printProperties(const QList<int>& properties) const;

private:
    int refuse(const QString& message) const;
    int setValue(const Setting& setting, QJsonObject* answer) const;
    int confirm(PendingAnswer& pending, QJsonObject* answer) const;
    int reportKept(int property, const QByteArray& requested, QJsonObject* answer) const;
    QString valueRefusal(int property, const BRX_SDK_PropertyDescription& description, const QString& text,
                         const QByteArray& payload) const;
    QByteArray nearestChoice(int property, const QByteArray& requested) const;
    // The range a property's values keep to (IntervalTime's), empty when
    // its choices are the values it takes.
    QByteArray range(int property) const;
    void print(int property, const QByteArray& payload, const QString& note, QJsonObject* answer) const;

    TetherSession& m_session;
};

#endif
