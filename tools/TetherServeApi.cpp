#include "TetherServeApi.h"
#include "TetherCard.h"
#include "TetherPictures.h"
#include "TetherServeLiveView.h"
#include "TetherShooting.h"

#include <QJsonDocument>

#include <algorithm>

namespace {

const int kTickMs = 20;
const std::size_t kMaxFollowers = 16;
const std::size_t kEventsQueued = 256;

// The server keeps these itself: a browser switching them off would take
// live view or the pictures' names from every other browser.
const int kKeptProperties[] = {BRX_SDK_Property::WantLiveView, BRX_SDK_Property::LiveViewPhoto,
                               BRX_SDK_Property::WantQuickView};

} // namespace

TetherServeApi::TetherServeApi(TetherSession& session, TetherPictures& pictures, TetherServeLiveView& liveView,
                               const QString& folder)
    : m_session(session)
    , m_liveView(liveView)
    , m_properties(session)
    , m_pictures(folder)
    , m_card(folder)
    , m_events({kMaxFollowers, kEventsQueued, kEventsQueued, true})
{
    connect(&session, &TetherSession::propertyChanged, this, &TetherServeApi::catchPropertyChange);
    connect(&pictures, &TetherPictures::fileSaved, this, [this](int picture, const QString& path, qint64 bytes) {
        publish("picture", m_pictures.addFile(picture, path, bytes));
    });
    connect(&pictures, &TetherPictures::quickView, this,
            [this](int picture, int orientation, const QByteArray& thumbnail) {
                publish("picture", m_pictures.addQuickView(picture, orientation, thumbnail));
            });
    connect(&pictures, &TetherPictures::cardRoomChanged, this,
            [this](qulonglong capacityBytes, qulonglong freeBytes, qlonglong picturesLeft) {
                publish("card", TetherCard::roomJson({capacityBytes, freeBytes, picturesLeft}));
            });
    connect(&pictures, &TetherPictures::releaseRefused, this,
            [this](const QString& reason) { publish("refused", {{"reason", reason}}); });
    connect(&m_ticker, &QTimer::timeout, this, &TetherServeApi::tick);
    m_ticker.start(kTickMs);
}

// --- Requests -----------------------------------------------------------------------

QJsonObject TetherServeApi::identity() const
{
    BRX_SDK_CameraIdentity identity{};
    const bool known = m_ready && BRX_SDK_getCameraIdentity(&identity);
    QJsonObject camera = TetherProperties::identityJson(identity);
    camera.insert("connected", m_ready);
    if (!known)
        camera.insert("productIdHex", QString());
    return camera;
}

TetherServeReply TetherServeApi::camera() const
{
    QJsonObject camera = identity();
    camera.insert("liveView", QJsonObject{
                                  {"supported", m_ready && TetherProperties::describe(BRX_SDK_Property::WantLiveView).supported},
                                  {"watchers", int(m_liveView.feed().clients())},
                                  {"frames", double(m_liveView.frames())},
                                  {"area", m_area.isEmpty() ? QJsonValue() : QJsonValue(m_area)},
                              });
    return TetherServeReply::json(camera);
}

TetherServeReply TetherServeApi::properties() const
{
    if (!m_ready)
        return TetherServeReply::error(503, QStringLiteral("no camera is connected"));
    return TetherServeReply::json(m_properties.json(m_properties.listed()));
}

TetherServeReply TetherServeApi::property(const QString& name) const
{
    const int number = TetherProperties::find(name);
    if (number < 0)
        return TetherServeReply::error(404, QStringLiteral("there is no property '%1'").arg(name));
    if (!m_ready)
        return TetherServeReply::error(503, QStringLiteral("no camera is connected"));
    return TetherServeReply::json(m_properties.jsonOf(number));
}

void TetherServeApi::setProperty(const QString& name, const std::string& body, const TetherServeBridge::Answer& answer)
{
    const int number = TetherProperties::find(name);
    bool readable = false;
    const QString text = valueText(body, &readable);
    QByteArray payload;
    int status = 400;
    QString reason = refusal(name, number, readable ? &text : nullptr, &payload, &status);
    if (!reason.isEmpty()) {
        answer(TetherServeReply::error(status, reason));
        return;
    }
    const TetherProperties::PendingAnswer pending{number, payload, m_session.notificationCount(number),
                                                  m_session.lastNotification(number), 0, QElapsedTimer()};
    // The camera did not take it: the property as the camera holds it.
    if (!TetherProperties::send(number, payload)) {
        QJsonObject reply = m_properties.jsonOf(number);
        reply.insert("confirmed", false);
        reply.insert("asked", TetherProperties::text(number, payload));
        reply.insert("error", QStringLiteral("the camera did not take %1 = %2; it holds %3")
                                  .arg(TetherProperties::describe(number).name, TetherProperties::text(number, payload),
                                       reply.value("text").toString()));
        answer(TetherServeReply::json(reply, 409));
        return;
    }
    PendingSet set{pending, QElapsedTimer(), answer};
    set.clock.start();
    if (!settle(set))
        m_sets.push_back(set);
}

// Why property number (asked for by name) cannot be set to text (null: the
// body could not be read), with the status to answer; empty when it can, and
// payload then holds the value.
QString TetherServeApi::refusal(const QString& name, int number, const QString* text, QByteArray* payload,
                                int* status) const
{
    const auto kept = std::find(std::begin(kKeptProperties), std::end(kKeptProperties), number);
    if (number < 0) {
        *status = 404;
        return QStringLiteral("there is no property '%1'").arg(name);
    }
    if (!text)
        return QStringLiteral("the body must be {\"value\": ...}, or empty for a command");
    if (kept != std::end(kKeptProperties)) {
        *status = 409;
        return QStringLiteral("%1 is kept by tether serve itself").arg(TetherProperties::describe(number).name);
    }
    if (!m_ready) {
        *status = 503;
        return QStringLiteral("no camera is connected");
    }
    return m_properties.refusal(number, *text, payload);
}

// The value as text: a JSON string as it stands, a number or a bool as
// parseValue reads it; a command has no body or no value.
QString TetherServeApi::valueText(const std::string& body, bool* ok)
{
    *ok = true;
    if (body.find_first_not_of(" \t\r\n") == std::string::npos)
        return QString();
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(body));
    const QJsonValue value = document.object().value("value");
    *ok = document.isObject();
    if (value.isBool())
        return value.toBool() ? QStringLiteral("on") : QStringLiteral("off");
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 15);
    *ok = *ok && (value.isString() || value.isUndefined());
    return value.toString();
}

TetherServeReply TetherServeApi::release()
{
    if (!m_ready)
        return TetherServeReply::error(503, QStringLiteral("no camera is connected"));
    // With mirror-up on, the first release raises the mirror, the second exposes.
    const bool mirrorUp = TetherShooting::isMirrorUpOn();
    BRX_SDK_capture();
    if (mirrorUp)
        QTimer::singleShot(TetherShooting::kMirrorUpPauseMs, this, [] { BRX_SDK_capture(); });
    return TetherServeReply::json(QJsonObject{{"released", true}, {"releases", mirrorUp ? 2 : 1}});
}

TetherServeReply TetherServeApi::liveView() const
{
    if (!m_ready)
        return TetherServeReply::error(503, QStringLiteral("no camera is connected"));
    if (!TetherProperties::describe(BRX_SDK_Property::WantLiveView).supported)
        return TetherServeReply::error(404, QStringLiteral("camera %1 has no live view").arg(TetherSession::productText(m_session.productId())));
    return TetherServeReply::json(QJsonObject{{"supported", true}});
}

TetherServeReply TetherServeApi::pictures() const
{
    return TetherServeReply::json(QJsonObject{{"pictures", m_pictures.list()}});
}

TetherServeReply TetherServeApi::thumbnail(int picture) const
{
    const QByteArray bytes = m_pictures.thumbnail(picture);
    if (bytes.isEmpty())
        return TetherServeReply::error(404, QStringLiteral("picture %1 has no thumbnail").arg(picture));
    return {200, bytes.toStdString(), "image/jpeg"};
}

// --- Confirmations and events ------------------------------------------------------------

void TetherServeApi::tick()
{
    followConnection();
    followLiveViewArea();
    settleSets();
}

void TetherServeApi::settleSets()
{
    m_sets.erase(std::remove_if(m_sets.begin(), m_sets.end(), [this](PendingSet& set) { return settle(set); }),
                 m_sets.end());
}

// A value the camera did not take is answered with what it holds.
bool TetherServeApi::settle(PendingSet& set)
{
    TetherProperties::PendingAnswer& pending = set.pending;
    const char* name = TetherProperties::describe(pending.property).name;
    if (!m_ready) {
        set.answer(TetherServeReply::error(503, QStringLiteral("the camera went away")));
        return true;
    }
    const bool needsAnswer = TetherProperties::needsAnswer(pending.property);
    const bool answered = !needsAnswer || m_properties.isAnswered(pending);
    if (!answered && !set.clock.hasExpired(m_session.options().timeoutMs))
        return false;
    QJsonObject reply = m_properties.jsonOf(pending.property);
    if (!answered) {
        reply.insert("error", QStringLiteral("the camera did not confirm %1").arg(name));
        set.answer(TetherServeReply::json(reply, 504));
        return true;
    }
    const QByteArray reported = needsAnswer ? m_properties.answer(pending) : pending.requested;
    const QString failure = m_properties.notTaken(pending.property, pending.requested, reported);
    reply.insert("confirmed", failure.isEmpty());
    if (reported != pending.requested)
        reply.insert("asked", TetherProperties::text(pending.property, pending.requested));
    if (!failure.isEmpty())
        reply.insert("error", failure);
    // Other browsers learn of a value the library does not notify.
    if (needsAnswer && !TetherProperties::describe(pending.property).notified)
        publish("property", m_properties.jsonOf(pending.property));
    set.answer(TetherServeReply::json(reply, failure.isEmpty() ? 200 : 409));
    return true;
}

// A camera counts once its initial state is in; then the pages read everything anew.
void TetherServeApi::followConnection()
{
    const bool ready = m_session.isConnected() && BRX_SDK_isInitialStateDelivered();
    if (ready == m_ready)
        return;
    m_ready = ready;
    m_area = QJsonObject();
    if (!ready)
        m_liveView.feed().endAll(false);
    publish("connection", identity());
}

void TetherServeApi::followLiveViewArea()
{
    BRX_SDK_LiveViewArea area;
    if (!m_ready || m_liveView.feed().clients() == 0 || !BRX_SDK_getLiveViewArea(&area))
        return;
    const QJsonObject json = areaJson(area);
    if (json == m_area)
        return;
    m_area = json;
    publish("liveview", json);
}

QJsonObject TetherServeApi::areaJson(const BRX_SDK_LiveViewArea& area)
{
    return QJsonObject{{"zoomLevel", area.zoomLevel}, {"x", area.x},
                       {"y", area.y},                 {"width", area.width},
                       {"height", area.height},       {"focusX", area.focusX},
                       {"focusY", area.focusY}};
}

// A new value list changes the choices of the properties that take them.
void TetherServeApi::catchPropertyChange(int property, const QByteArray&)
{
    if (!m_ready)
        return;
    settleSets();
    const BRX_SDK_PropertyDescription description = TetherProperties::describe(property);
    if (description.payload != BRX_SDK_PayloadIntList && description.payload != BRX_SDK_PayloadDoubleList) {
        publish("property", m_properties.jsonOf(property));
        return;
    }
    for (int owner = 0; owner < BRX_SDK_PROPERTY_COUNT; ++owner) {
        if (TetherProperties::describe(owner).listProperty == property)
            publish("property", m_properties.jsonOf(owner));
    }
}

void TetherServeApi::publish(const char* type, const QJsonObject& data)
{
    m_events.publish(
        TetherServeFeed::event(++m_eventId, type, QJsonDocument(data).toJson(QJsonDocument::Compact).toStdString()));
}
