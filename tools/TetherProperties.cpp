#include "TetherProperties.h"
#include "TetherCard.h"
#include "TetherMessages.h"

#include <QJsonDocument>
#include <QSet>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const int kListWaitMs = 3000;
// A camera that rounds a value may first report the old one; the last
// report that stays this long is its answer.
const int kAnswerRestMs = 300;
// A camera that took a value and still reports the one it held before has
// not acted on it yet (a lens on its way, a busy camera): it gets longer.
const int kUnchangedRestMs = 2000;

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

QStringList propertyNames()
{
    QStringList names;
    BRX_SDK_PropertyDescription description;
    for (int property = 0; BRX_SDK_describeProperty(property, &description); ++property)
        names << QLatin1String(description.name);
    return names;
}

// The property a word names by its name alone, -1 for none: numbers are values.
int findByName(const QString& word)
{
    const QStringList names = propertyNames();
    for (int property = 0; property < names.size(); ++property) {
        if (word.compare(names.at(property), Qt::CaseInsensitive) == 0)
            return property;
    }
    return -1;
}

// A later word of a value that begins with a capital and is close to a
// property name is a slip of a name ("Aperture f/8 Shutter 1/125 s"); the
// capitals of values ("Auto ISO", "DNG + JPG") are far from all of them.
bool looksLikeName(const QString& word)
{
    return !word.isEmpty() && word.at(0).isUpper() && !TetherMessages::closest(word, propertyNames()).isEmpty();
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
    return findByName(nameOrNumber);
}

QString TetherProperties::unknownProperty(const QString& word)
{
    const QString guess = TetherMessages::didYouMean(word, propertyNames());
    return QStringLiteral("there is no property '%1'%2").arg(word, guess.isEmpty() ? " (tether props lists them)" : guess);
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

// A script splits the line at " = " and at its last " (".
QString TetherProperties::valueLine(int property, const QByteArray& payload)
{
    QString shown = text(property, payload);
    if (shown.contains('(') || shown.contains(')') || shown.contains('"'))
        shown = '"' + QString(shown).replace('\\', "\\\\").replace('"', "\\\"") + '"';
    return QStringLiteral("%1 = %2 (%3)").arg(QLatin1String(describe(property).name), shown, rawText(property, payload));
}

QJsonObject TetherProperties::identityJson(const BRX_SDK_CameraIdentity& identity)
{
    return QJsonObject{{"productId", identity.productId},
                       {"productIdHex", TetherSession::productText(identity.productId)},
                       {"manufacturer", QString::fromUtf8(identity.manufacturer)},
                       {"model", QString::fromUtf8(identity.model)},
                       {"serialNumber", QString::fromUtf8(identity.serialNumber)},
                       {"deviceVersion", QString::fromUtf8(identity.deviceVersion)},
                       {"port", cameraPort()}};
}

QString TetherProperties::cameraPort()
{
    char port[64] = {};
    return BRX_SDK_getCameraPort(port, sizeof port) ? QString::fromUtf8(port) : QString();
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

QByteArray TetherProperties::range(int property) const
{
    const int list = describe(property).listProperty;
    return list >= 0 && describe(list).payload == BRX_SDK_PayloadIntPair ? value(list) : QByteArray();
}

// --- Reading what is asked ------------------------------------------------------------

bool TetherProperties::readSettings(const QStringList& words, QList<Setting>* settings, QString* reason)
{
    for (int at = 0; at < words.size();) {
        const int property = find(words.at(at));
        if (property < 0) {
            *reason = unknownProperty(words.at(at));
            return false;
        }
        int end = at + 1;
        while (end < words.size() && !(end > at + 1 && looksLikeName(words.at(end))) && findByName(words.at(end)) < 0)
            ++end;
        // "-0.5 EV" and "5200 K" need no quotes.
        const QString text = words.mid(at + 1, end - at - 1).join(' ');
        if (text.isEmpty() && describe(property).access != BRX_SDK_AccessCommand) {
            *reason = QStringLiteral("%1 needs a value (tether props %1 lists them)").arg(describe(property).name);
            return false;
        }
        settings->append({property, text});
        at = end;
    }
    if (settings->isEmpty())
        *reason = QStringLiteral("which property? (tether props lists them)");
    return !settings->isEmpty();
}

bool TetherProperties::readAssignment(const QString& word, Setting* setting, QString* reason)
{
    const int equals = word.indexOf('=');
    const QString name = word.left(equals).trimmed();
    const int property = find(name);
    if (equals < 0)
        *reason = QStringLiteral("--set takes NAME=VALUE, not %1").arg(word);
    else if (property < 0)
        *reason = unknownProperty(name);
    else
        *setting = {property, word.mid(equals + 1).trimmed()};
    return equals >= 0 && property >= 0;
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
    *payload = QByteArray(int(description.size), '\0');
    unsigned int written = 0;
    if (!BRX_SDK_parseValue(property, text.toUtf8().constData(), payload->data(), description.size, &written)
        || written != description.size) {
        const QStringList valid = choiceTexts(property);
        const QString guess = TetherMessages::didYouMean(text, valid);
        return QStringLiteral("cannot read '%1' as %2 (%3)%4")
            .arg(text, description.name, description.unitName,
                 !guess.isEmpty() || valid.isEmpty()
                     ? guess
                     : QStringLiteral("; valid values: ") + TetherMessages::valueList(description.name, valid));
    }
    return valueRefusal(property, description, text, *payload);
}

// A value the range takes is the camera's to round; otherwise it must be one
// of the camera's choices.
QString TetherProperties::valueRefusal(int property, const BRX_SDK_PropertyDescription& description,
                                       const QString&, const QByteArray& payload) const
{
    const QByteArray bounds = range(property);
    if (!bounds.isEmpty()) {
        const QVector<double> limits = elements(BRX_SDK_PayloadIntPair, bounds);
        const double wanted = elements(description.payload, payload).value(0);
        if (limits.size() == 2 && (wanted < limits.at(0) || wanted > limits.at(1)))
            return QStringLiteral("%1 is outside the camera's range of %2: %3")
                .arg(this->text(property, payload), description.name, this->text(description.listProperty, bounds));
        return QString();
    }
    const QList<QByteArray> options = choices(property);
    if (options.isEmpty() || options.contains(payload))
        return QString();
    return QStringLiteral("%1 is not among the camera's values of %2; valid values: %3")
        .arg(this->text(property, payload), description.name,
             TetherMessages::valueList(description.name, choiceTexts(property)));
}

// --- Setting --------------------------------------------------------------------

int TetherProperties::refuse(const QString& message) const
{
    m_session.output().error(message);
    return kExitUsage;
}

int TetherProperties::apply(const QList<Setting>& settings, QJsonArray* answers) const
{
    for (const Setting& setting : settings) {
        QJsonObject answer;
        const int result = setValue(setting, answers ? &answer : nullptr);
        if (answers && !answer.isEmpty())
            answers->append(answer);
        if (result != kExitOk)
            return result;
    }
    return kExitOk;
}

int TetherProperties::setValue(const Setting& setting, QJsonObject* answer) const
{
    QByteArray payload;
    const QString reason = refusal(setting.property, setting.text, &payload);
    if (!reason.isEmpty())
        return refuse(reason);
    PendingAnswer pending{setting.property, payload, m_session.notificationCount(setting.property),
                          m_session.lastNotification(setting.property), 0, QElapsedTimer()};
    if (!send(setting.property, payload))
        return reportKept(setting.property, payload, answer);
    return confirm(pending, answer);
}

bool TetherProperties::send(int property, const QByteArray& payload)
{
    return BRX_SDK_setProperty(property, payload.isEmpty() ? nullptr : payload.constData(), unsigned(payload.size()));
}

bool TetherProperties::needsAnswer(int property)
{
    const BRX_SDK_PropertyDescription description = describe(property);
    return isReadable(description) || description.notified;
}

// The camera's answer is the value it holds, read back or notified; a
// rounded value is known as the answer once no other notification of it
// has followed for a while.
bool TetherProperties::isAnswered(PendingAnswer& pending) const
{
    if (isReadable(describe(pending.property)) && value(pending.property) == pending.requested)
        return true;
    const int count = m_session.notificationCount(pending.property);
    if (count <= pending.notificationsBefore)
        return false;
    if (m_session.lastNotification(pending.property) == pending.requested)
        return true;
    if (count != pending.notificationsSeen) {
        pending.notificationsSeen = count;
        pending.sinceNotification.start();
        return false;
    }
    const bool unchanged = m_session.lastNotification(pending.property) == pending.notifiedBefore;
    return pending.sinceNotification.hasExpired(unchanged ? kUnchangedRestMs : kAnswerRestMs);
}

QByteArray TetherProperties::answer(const PendingAnswer& pending) const
{
    return m_session.notificationCount(pending.property) > pending.notificationsBefore
               ? m_session.lastNotification(pending.property)
               : value(pending.property);
}

QString TetherProperties::notTaken(int property, const QByteArray& requested, const QByteArray& reported) const
{
    const QString asked = text(property, requested);
    const QString held = text(property, reported);
    if (reported == requested || asked == held || reported == nearestChoice(property, requested))
        return QString();
    return QStringLiteral("the camera did not take %1 = %2; it holds %3").arg(describe(property).name, asked, held);
}

// The choice nearest to requested when it is not itself a choice (a value
// within a range, which the camera rounds to its steps); empty otherwise.
QByteArray TetherProperties::nearestChoice(int property, const QByteArray& requested) const
{
    const QList<QByteArray> options = choices(property);
    const int payload = describe(property).payload;
    if (options.contains(requested) || !isScalar(payload))
        return QByteArray();
    const double wanted = elements(payload, requested).value(0);
    QByteArray nearest;
    double distance = 0.0;
    for (const QByteArray& choice : options) {
        const double away = std::fabs(elements(payload, choice).value(0) - wanted);
        if (nearest.isEmpty() || away < distance) {
            nearest = choice;
            distance = away;
        }
    }
    return nearest;
}

// The value line (or, for JSON, the property with what was asked and
// whether the camera took it).
void TetherProperties::print(int property, const QByteArray& payload, const QString& note, QJsonObject* answer) const
{
    if (!answer) {
        m_session.output().result(valueLine(property, payload) + note);
        return;
    }
    *answer = jsonOf(property);
    if (!payload.isEmpty()) {
        answer->insert("value", jsonOfPayload(describe(property).payload, payload));
        answer->insert("text", text(property, payload));
    }
}

// The camera refused the value, or the library refused it for the camera:
// what it holds is the answer.
int TetherProperties::reportKept(int property, const QByteArray& requested, QJsonObject* answer) const
{
    const char* name = describe(property).name;
    const QByteArray held = needsAnswer(property) ? value(property) : QByteArray();
    const QString asked = requested.isEmpty() ? QString() : QStringLiteral(" = ") + text(property, requested);
    const QString error = held.isEmpty()
                              ? QStringLiteral("the camera did not take %1%2").arg(name, asked)
                              : QStringLiteral("the camera did not take %1%2; it holds %3")
                                    .arg(name, asked, text(property, held));
    m_session.output().error(error);
    if (!held.isEmpty() || answer)
        print(property, held, QString(), answer);
    if (answer) {
        answer->insert("asked", text(property, requested));
        answer->insert("confirmed", false);
        answer->insert("error", error);
    }
    return kExitCamera;
}

int TetherProperties::confirm(PendingAnswer& pending, QJsonObject* answer) const
{
    const int property = pending.property;
    const QByteArray& requested = pending.requested;
    const char* name = describe(property).name;
    if (!needsAnswer(property)) {
        if (answer)
            *answer = QJsonObject{{"name", QLatin1String(name)}, {"number", property}, {"confirmed", true}};
        else
            m_session.output().result(requested.isEmpty() ? QStringLiteral("%1 done").arg(name)
                                                          : QStringLiteral("%1 set to %2").arg(name, text(property, requested)));
        return kExitOk;
    }
    const bool answered = m_session.waitFor([&] { return isAnswered(pending); }, m_session.options().timeoutMs);
    const QByteArray reported = answered ? this->answer(pending) : value(property);
    const QString failure = !answered ? QStringLiteral("the camera did not confirm %1").arg(name)
                                      : notTaken(property, requested, reported);
    const QString rounded =
        reported == requested ? QString() : QStringLiteral(", the nearest to %1").arg(text(property, requested));
    print(property, reported, failure.isEmpty() ? rounded : QString(), answer);
    if (answer) {
        answer->insert("asked", text(property, requested));
        answer->insert("confirmed", failure.isEmpty());
    }
    if (failure.isEmpty())
        return kExitOk;
    m_session.output().error(failure);
    if (answer)
        answer->insert("error", failure);
    return kExitCamera;
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

void TetherProperties::printProperties(const QList<int>& properties) const
{
    for (int property : properties) {
        const BRX_SDK_PropertyDescription description = describe(property);
        QString line = QStringLiteral("%1 %2").arg(QLatin1String(description.name), -22).arg(text(property, value(property)));
        const QStringList valid = choiceTexts(property);
        const QByteArray bounds = range(property);
        if (!bounds.isEmpty())
            line += QStringLiteral("  (%1%2)")
                        .arg(text(description.listProperty, bounds),
                             valid.isEmpty() ? QString() : QStringLiteral("; steps: ") + valid.join(", "));
        else if (!valid.isEmpty())
            line += QStringLiteral("  (choices: %1)").arg(valid.join(", "));
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
    const QByteArray bounds = range(property);
    if (!bounds.isEmpty())
        object.insert("range", QJsonObject{{"value", jsonOfPayload(BRX_SDK_PayloadIntPair, bounds)},
                                           {"text", text(description.listProperty, bounds)}});
    return object;
}

QJsonObject TetherProperties::json(const QList<int>& properties) const
{
    BRX_SDK_CameraIdentity identity{};
    BRX_SDK_getCameraIdentity(&identity);
    QJsonArray array;
    for (int property : properties)
        array << jsonOf(property);
    return QJsonObject{{"camera", identityJson(identity)}, {"properties", array}};
}

// --- Subcommands ------------------------------------------------------------------

QCommandLineOption TetherProperties::jsonOption()
{
    return {"json", "One JSON document for scripts instead of the lines (product IDs as numbers, with "
                    "productIdHex beside them)."};
}

// Every camera on USB (or the virtual camera), one line each, from their
// descriptors only: a camera another process tethers goes on undisturbed.
static int listUsbCameras(TetherSession& session, bool json)
{
    unsigned int count = 0;
    QVector<BRX_SDK_CameraListing> cameras;
    while (BRX_SDK_listCameras(cameras.data(), unsigned(cameras.size()), &count) && count > unsigned(cameras.size()))
        cameras.resize(int(count));
    cameras.resize(int(std::min(count, unsigned(cameras.size()))));
    QJsonArray array;
    for (const BRX_SDK_CameraListing& camera : qAsConst(cameras)) {
        if (!BRX_SDK_isCameraSelected(&camera))
            continue;
        const QString serial = QString::fromUtf8(camera.serialNumber);
        array.append(QJsonObject{{"productId", camera.productId},
                                 {"productIdHex", TetherSession::productText(camera.productId)},
                                 {"model", QString::fromUtf8(camera.model)},
                                 {"serialNumber", serial},
                                 {"port", QString::fromUtf8(camera.port)},
                                 {"inUse", camera.inUse}});
        if (!json)
            session.output().result(QStringLiteral("%1  %2  serial %3  at %4%5")
                                        .arg(TetherSession::productText(camera.productId),
                                             QString::fromUtf8(camera.model), serial.isEmpty() ? "-" : serial,
                                             QString::fromUtf8(camera.port),
                                             camera.inUse ? QStringLiteral("  (in use)") : QString()));
    }
    if (json)
        session.output().json(QJsonObject{{"cameras", array}});
    const QString selector = session.options().camera;
    if (array.isEmpty())
        session.output().error(selector.isEmpty() || cameras.isEmpty()
                                   ? QStringLiteral("no camera found")
                                   : QStringLiteral("no camera found that --camera %1 names").arg(selector));
    return array.isEmpty() ? kExitCamera : kExitOk;
}

int TetherProperties::list(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    if (!words.isEmpty())
        return TetherProperties(session).refuse(QStringLiteral("list takes no arguments"));
    if (!session.chooseCamera())
        return kExitUsage;
    if (session.options().network.isEmpty())
        return listUsbCameras(session, arguments.isSet("json"));
    if (!session.start())
        return kExitUsage;
    const int waitMs = session.options().timeoutGiven ? session.options().timeoutMs : kListWaitMs;
    BRX_SDK_CameraIdentity identity{};
    const bool found = session.waitFor([&] { return session.isConnected(); }, waitMs) && BRX_SDK_getCameraIdentity(&identity);
    if (arguments.isSet("json"))
        session.output().json(QJsonObject{{"cameras", found ? QJsonArray{identityJson(identity)} : QJsonArray()},
                                          {"card", found ? TetherCard::roomJson() : QJsonObject()}});
    if (!found) {
        session.output().error(QStringLiteral("no camera found"));
        return kExitCamera;
    }
    if (!arguments.isSet("json"))
        session.output().result(QStringLiteral("%1  %2  serial %3%4  (%5, version %6)")
                                    .arg(TetherSession::productText(identity.productId),
                                         QString::fromUtf8(identity.model), QString::fromUtf8(identity.serialNumber),
                                         TetherSession::portText(cameraPort()),
                                         QString::fromUtf8(identity.manufacturer),
                                         QString::fromUtf8(identity.deviceVersion)));
    const QString room = TetherCard::roomText();
    if (!arguments.isSet("json") && !room.isEmpty())
        session.output().result(QStringLiteral("card: %1").arg(room));
    return kExitOk;
}

// The properties words name, before the camera is asked; all it offers without words.
static bool readNames(const QStringList& words, QList<int>* properties, QString* reason)
{
    for (const QString& word : words) {
        const int property = TetherProperties::find(word);
        if (property < 0) {
            *reason = TetherProperties::unknownProperty(word);
            return false;
        }
        properties->append(property);
    }
    return true;
}

int TetherProperties::props(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    QList<int> asked;
    QString reason;
    if (!readNames(words, &asked, &reason))
        return TetherProperties(session).refuse(reason);
    if (!session.start())
        return kExitUsage;
    if (!session.waitForCamera(session.options().timeoutMs))
        return kExitCamera;
    const TetherProperties properties(session);
    const QList<int> shown = asked.isEmpty() ? properties.listed() : asked;
    if (arguments.isSet("json"))
        session.output().json(properties.json(shown));
    else
        properties.printProperties(shown);
    return kExitOk;
}

int TetherProperties::get(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    const TetherProperties properties(session);
    QList<int> asked;
    QString reason;
    if (words.isEmpty())
        return properties.refuse(QStringLiteral("get needs a property name or number (tether props lists them)"));
    if (!readNames(words, &asked, &reason))
        return properties.refuse(reason);
    for (int property : asked) {
        const BRX_SDK_PropertyDescription description = describe(property);
        if (!isReadable(description) && !description.notified)
            return properties.refuse(
                QStringLiteral("%1 cannot be read: it is %2").arg(description.name, kAccessNames[description.access]));
    }
    if (!session.start())
        return kExitUsage;
    if (!session.waitForCamera(session.options().timeoutMs))
        return kExitCamera;
    for (int property : asked) {
        if (properties.value(property).isEmpty()) {
            session.output().error(QStringLiteral("the camera gave no value of %1").arg(describe(property).name));
            return kExitCamera;
        }
    }
    if (arguments.isSet("json")) {
        session.output().json(properties.json(asked));
        return kExitOk;
    }
    for (int property : asked)
        session.output().result(valueLine(property, properties.value(property)));
    return kExitOk;
}

int TetherProperties::set(TetherSession& session, const QCommandLineParser& arguments, const QStringList& words)
{
    const TetherProperties properties(session);
    QList<Setting> settings;
    QString reason;
    if (!readSettings(words, &settings, &reason))
        return properties.refuse(reason);
    if (!session.start())
        return kExitUsage;
    if (!session.waitForCamera(session.options().timeoutMs))
        return kExitCamera;
    if (!arguments.isSet("json"))
        return properties.apply(settings);
    QJsonArray answers;
    const int result = properties.apply(settings, &answers);
    BRX_SDK_CameraIdentity identity{};
    BRX_SDK_getCameraIdentity(&identity);
    session.output().json(QJsonObject{{"camera", identityJson(identity)}, {"properties", answers}});
    return result;
}
