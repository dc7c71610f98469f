#include "TetherProperties.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <cstring>

namespace {

const int kListWaitMs = 3000;

// In the order of BRX_SDK_AccessKind.
const char* const kAccessNames[] = {"reserved", "read-write", "read-only", "write-only", "command",
                                    "notification only"};

unsigned int elementSize(int payload)
{
    switch (payload) {
    case BRX_SDK_PayloadBool:
        return 1;
    case BRX_SDK_PayloadInt:
    case BRX_SDK_PayloadIntPair:
    case BRX_SDK_PayloadIntList:
        return 4;
    case BRX_SDK_PayloadNone:
        return 0;
    default:
        return 8;
    }
}

QVector<double> elements(int payload, const QByteArray& bytes)
{
    QVector<double> values;
    const unsigned int size = elementSize(payload);
    for (int offset = 0; size > 0 && offset + int(size) <= bytes.size(); offset += int(size)) {
        const char* at = bytes.constData() + offset;
        if (size == 1) {
            values << (*at != 0 ? 1.0 : 0.0);
        } else if (size == 4) {
            qint32 number;
            std::memcpy(&number, at, sizeof number);
            values << number;
        } else {
            double number;
            std::memcpy(&number, at, sizeof number);
            values << number;
        }
    }
    return values;
}

bool isReadable(const BRX_SDK_PropertyDescription& description)
{
    return description.access == BRX_SDK_AccessReadWrite || description.access == BRX_SDK_AccessReadOnly;
}

bool isScalar(int payload)
{
    return payload == BRX_SDK_PayloadInt || payload == BRX_SDK_PayloadBool || payload == BRX_SDK_PayloadDouble;
}

QJsonValue jsonOfPayload(int payload, const QByteArray& bytes)
{
    QJsonArray array;
    for (double value : elements(payload, bytes))
        array << (payload == BRX_SDK_PayloadBool ? QJsonValue(value != 0.0) : QJsonValue(value));
    return isScalar(payload) && array.size() == 1 ? array.first() : QJsonValue(array);
}

} // namespace

TetherProperties::TetherProperties(TetherSession& session)
    : m_session(session)
{
}

// --- Descriptions and texts --------------------------------------------------------

bool TetherProperties::isWritable(const BRX_SDK_PropertyDescription& description)
{
    return description.access == BRX_SDK_AccessReadWrite || description.access == BRX_SDK_AccessWriteOnly
        || description.access == BRX_SDK_AccessCommand;
}

int TetherProperties::find(const QString& nameOrNumber)
{
    bool isNumber = false;
    const int number = nameOrNumber.toInt(&isNumber);
    BRX_SDK_PropertyDescription description;
    if (isNumber)
        return BRX_SDK_describeProperty(number, &description) ? number : -1;
    for (int property = 0; BRX_SDK_describeProperty(property, &description); ++property) {
        if (nameOrNumber.compare(QLatin1String(description.name), Qt::CaseInsensitive) == 0)
            return property;
    }
    return -1;
}

BRX_SDK_PropertyDescription TetherProperties::describe(int property)
{
    BRX_SDK_PropertyDescription description{};
    BRX_SDK_describeProperty(property, &description);
    return description;
}

QString TetherProperties::text(int property, const QByteArray& payload)
{
    QByteArray text(8192, '\0');
    if (!BRX_SDK_formatValue(property, payload.constData(), unsigned(payload.size()), text.data(), unsigned(text.size())))
        return QString();
    return QString::fromUtf8(text.constData());
}

QString TetherProperties::rawText(int property, const QByteArray& payload)
{
    const int kind = describe(property).payload;
    QStringList items;
    for (double value : elements(kind, payload))
        items << (kind == BRX_SDK_PayloadBool ? QString(value != 0.0 ? "true" : "false") : QString::number(value, 'g', 12));
    return items.join(", ");
}

QByteArray TetherProperties::value(int property) const
{
    const BRX_SDK_PropertyDescription description = describe(property);
    if (isReadable(description)) {
        QByteArray payload(int(description.size), '\0');
        if (BRX_SDK_getProperty(property, payload.data(), description.size))
            return payload;
    }
    return m_session.lastNotification(property);
}

QList<QByteArray> TetherProperties::choices(int property) const
{
    unsigned int written = 0;
    BRX_SDK_getChoices(property, nullptr, 0, &written);
    QByteArray bytes(int(written), '\0');
    const int size = int(elementSize(describe(property).payload));
    QList<QByteArray> result;
    if (written == 0 || size == 0 || !BRX_SDK_getChoices(property, bytes.data(), written, &written))
        return result;
    for (int offset = 0; offset + size <= int(written); offset += size)
        result << bytes.mid(offset, size);
    return result;
}

QStringList TetherProperties::choiceTexts(int property) const
{
    QStringList texts;
    for (const QByteArray& choice : choices(property))
        texts << text(property, choice);
    return texts;
}

bool TetherProperties::printValue(int property) const
{
    const QByteArray payload = value(property);
    if (payload.isEmpty())
        return false;
    m_session.output().result(valueLine(property, payload));
    return true;
}

QString TetherProperties::valueLine(int property, const QByteArray& payload)
{
    const QString name = QLatin1String(describe(property).name);
    const QString shown = text(property, payload);
    const QString raw = rawText(property, payload);
    return shown == raw ? QStringLiteral("%1 = %2").arg(name, shown) : QStringLiteral("%1 = %2 (%3)").arg(name, shown, raw);
}

// --- Setting --------------------------------------------------------------------

int TetherProperties::refuse(const QString& message) const
{
    m_session.output().error(message);
    return kExitUsage;
}

int TetherProperties::setValue(int property, const QString& text) const
{
    QByteArray payload;
    const QString reason = refusal(property, text, &payload);
    if (!reason.isEmpty())
        return refuse(reason);
    const int before = m_session.notificationCount(property);
    if (!send(property, payload))
        return refuse(QStringLiteral("the camera refused %1 %2").arg(describe(property).name, text));
    return confirm(property, payload, before);
}

bool TetherProperties::send(int property, const QByteArray& payload)
{
    return BRX_SDK_setProperty(property, payload.isEmpty() ? nullptr : payload.constData(), unsigned(payload.size()));
}

QString TetherProperties::refusal(int property, const QString& text, QByteArray* payload) const
{
    const BRX_SDK_PropertyDescription description = describe(property);
    if (!isWritable(description))
        return QStringLiteral("%1 cannot be set: it is %2").arg(description.name, kAccessNames[description.access]);
    if (!description.supported)
        return QStringLiteral("this camera does not offer %1").arg(description.name);
    if (description.access == BRX_SDK_AccessCommand) {
        payload->clear();
        return text.isEmpty() ? QString() : QStringLiteral("%1 is a command and takes no value").arg(description.name);
    }
    const QStringList valid = choiceTexts(property);
    const QString validText = valid.isEmpty() ? QString() : QStringLiteral("; valid values: ") + valid.join(", ");
    *payload = QByteArray(int(description.size), '\0');
    unsigned int written = 0;
    if (!BRX_SDK_parseValue(property, text.toUtf8().constData(), payload->data(), description.size, &written)
        || written != description.size)
        return QStringLiteral("cannot read '%1' as %2 (%3)%4").arg(text, description.name, description.unitName, validText);
    const QList<QByteArray> options = choices(property);
    if (!options.isEmpty() && !options.contains(*payload))
        return QStringLiteral("%1 is not among the camera's values of %2%3")
            .arg(this->text(property, *payload), description.name, validText);
    return QString();
}

bool TetherProperties::needsAnswer(int property)
{
    const BRX_SDK_PropertyDescription description = describe(property);
    return isReadable(description) || description.notified;
}

// The camera's answer is the property's next notification or, for one that
// is not notified, reading back what was set.
bool TetherProperties::isAnswered(int property, const QByteArray& requested, int notificationsBefore) const
{
    const BRX_SDK_PropertyDescription description = describe(property);
    return (description.notified && m_session.notificationCount(property) > notificationsBefore)
        || (isReadable(description) && value(property) == requested);
}

QByteArray TetherProperties::answer(int property, int notificationsBefore) const
{
    return m_session.notificationCount(property) > notificationsBefore ? m_session.lastNotification(property)
                                                                       : value(property);
}

int TetherProperties::confirm(int property, const QByteArray& requested, int notificationsBefore) const
{
    const BRX_SDK_PropertyDescription description = describe(property);
    if (!needsAnswer(property)) {
        m_session.output().result(requested.isEmpty() ? QStringLiteral("%1 done").arg(description.name)
                                                      : QStringLiteral("%1 set to %2").arg(description.name,
                                                                                           text(property, requested)));
        return kExitOk;
    }
    if (!m_session.waitFor([&] { return isAnswered(property, requested, notificationsBefore); },
                           m_session.options().timeoutMs)) {
        m_session.output().error(QStringLiteral("the camera did not confirm %1").arg(description.name));
        printValue(property);
        return kExitCamera;
    }
    const QByteArray reported = answer(property, notificationsBefore);
    const QString asked =
        reported == requested ? QString() : QStringLiteral(", not %1 as asked").arg(text(property, requested));
    m_session.output().result(valueLine(property, reported) + asked);
    return kExitOk;
}

// --- Listing -----------------------------------------------------------------------

QList<int> TetherProperties::listed() const
{
    QSet<int> lists;
    for (int property = 0; property < BRX_SDK_PROPERTY_COUNT; ++property)
        lists.insert(describe(property).listProperty);
    QList<int> result;
    for (int property = 0; property < BRX_SDK_PROPERTY_COUNT; ++property) {
        const BRX_SDK_PropertyDescription description = describe(property);
        if (description.supported && !lists.contains(property) && description.payload != BRX_SDK_PayloadNone
            && (isReadable(description) || description.notified) && !value(property).isEmpty())
            result << property;
    }
    return result;
}

void TetherProperties::printProperties() const
{
    for (int property : listed()) {
        const BRX_SDK_PropertyDescription description = describe(property);
        QString line = QStringLiteral("%1 %2").arg(QLatin1String(description.name), -22).arg(text(property, value(property)));
        const QStringList valid = choiceTexts(property);
        if (!valid.isEmpty())
            line += QStringLiteral("  (choices: %1)").arg(valid.join(", "));
        else if (describe(description.listProperty).payload == BRX_SDK_PayloadIntPair)
            line += QStringLiteral("  (from %1)").arg(text(description.listProperty, value(description.listProperty)));
        m_session.output().result(line);
    }
}

QJsonObject TetherProperties::jsonOf(int property) const
{
    const BRX_SDK_PropertyDescription description = describe(property);
    const QByteArray payload = value(property);
    QJsonObject object{
        {"number", property},
        {"name", QLatin1String(description.name)},
        {"unit", QLatin1String(description.unitName)},
        {"access", QLatin1String(kAccessNames[description.access])},
        {"notified", description.notified},
        {"value", jsonOfPayload(description.payload, payload)},
        {"text", text(property, payload)},
    };
    QJsonArray choiceArray;
    for (const QByteArray& choice : choices(property))
        choiceArray << QJsonObject{{"value", jsonOfPayload(description.payload, choice)}, {"text", text(property, choice)}};
    if (!choiceArray.isEmpty())
        object.insert("choices", choiceArray);
    const BRX_SDK_PropertyDescription list = describe(description.listProperty);
    if (description.listProperty >= 0 && list.payload == BRX_SDK_PayloadIntPair) {
        const QByteArray range = value(description.listProperty);
        object.insert("range", QJsonObject{{"value", jsonOfPayload(list.payload, range)},
                                           {"text", text(description.listProperty, range)}});
    }
    return object;
}

QJsonObject TetherProperties::json() const
{
    BRX_SDK_CameraIdentity identity{};
    BRX_SDK_getCameraIdentity(&identity);
    QJsonArray properties;
    for (int property : listed())
        properties << jsonOf(property);
    return QJsonObject{
        {"camera", QJsonObject{{"productId", TetherSession::productText(identity.productId)},
                               {"manufacturer", QString::fromUtf8(identity.manufacturer)},
                               {"model", QString::fromUtf8(identity.model)},
                               {"serialNumber", QString::fromUtf8(identity.serialNumber)}}},
        {"properties", properties},
    };
}

// --- Subcommands ------------------------------------------------------------------

QList<QCommandLineOption> TetherProperties::propsOptions()
{
    return {{"json", "One JSON document with names, numbers, units, values and choices, for scripts."}};
}

int TetherProperties::list(TetherSession& session, const QCommandLineParser&, const QStringList& words)
{
    if (!words.isEmpty())
        return TetherProperties(session).refuse(QStringLiteral("list takes no arguments"));
    if (!session.start())
        return kExitUsage;
    const int waitMs = session.options().timeoutGiven ? session.options().timeoutMs : kListWaitMs;
    BRX_SDK_CameraIdentity identity{};
    if (!session.waitFor([&] { return session.isConnected(); }, waitMs) || !BRX_SDK_getCameraIdentity(&identity)) {
        session.output().error(QStringLiteral("no camera found"));
        return kExitCamera;
    }
    session.output().result(QStringLiteral("%1  %2  serial %3  (%4, version %5)")
                                .arg(TetherSession::productText(identity.productId),
                                     QString::fromUtf8(identity.model), QString::fromUtf8(identity.serialNumber),
                                     QString::fromUtf8(identity.manufacturer),
                                     QString::fromUtf8(identity.deviceVersion)));
    return kExitOk;
}

int TetherProperties::props(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    if (!words.isEmpty())
        return TetherProperties(session).refuse(QStringLiteral("props takes no arguments"));
    if (!session.start())
        return kExitUsage;
    if (!session.waitForCamera(session.options().timeoutMs))
        return kExitCamera;
    const TetherProperties properties(session);
    if (arguments.isSet("json"))
        session.output().result(QString::fromUtf8(QJsonDocument(properties.json()).toJson(QJsonDocument::Indented)));
    else
        properties.printProperties();
    return kExitOk;
}

int TetherProperties::get(TetherSession& session, const QCommandLineParser&, const QStringList& words)
{
    const TetherProperties properties(session);
    const QStringList& names = words;
    if (names.isEmpty())
        return properties.refuse(QStringLiteral("get needs a property name or number (tether props lists them)"));
    for (const QString& name : names) {
        if (find(name) < 0)
            return properties.refuse(QStringLiteral("there is no property '%1' (tether props lists them)").arg(name));
    }
    if (!session.start())
        return kExitUsage;
    if (!session.waitForCamera(session.options().timeoutMs))
        return kExitCamera;
    for (const QString& name : names) {
        const int property = find(name);
        const BRX_SDK_PropertyDescription description = describe(property);
        if (!isReadable(description) && !description.notified)
            return properties.refuse(
                QStringLiteral("%1 cannot be read: it is %2").arg(description.name, kAccessNames[description.access]));
        if (!properties.printValue(property)) {
            session.output().error(QStringLiteral("the camera gave no value of %1").arg(description.name));
            return kExitCamera;
        }
    }
    return kExitOk;
}

int TetherProperties::set(TetherSession& session, const QCommandLineParser&, const QStringList& words)
{
    const TetherProperties properties(session);
    if (words.isEmpty())
        return properties.refuse(QStringLiteral("set needs a property name or number and a value"));
    const int property = find(words.first());
    if (property < 0)
        return properties.refuse(QStringLiteral("there is no property '%1' (tether props lists them)").arg(words.first()));
    if (words.size() == 1 && describe(property).access != BRX_SDK_AccessCommand)
        return properties.refuse(QStringLiteral("set %1 needs a value").arg(words.first()));
    if (!session.start())
        return kExitUsage;
    if (!session.waitForCamera(session.options().timeoutMs))
        return kExitCamera;
    // "-0.5 EV" and "5200 K" need no quotes.
    return properties.setValue(property, words.mid(1).join(' '));
}
