#ifndef TETHERSERVEAPI_H
#define TETHERSERVEAPI_H

#include "TetherProperties.h"
#include "TetherServeBridge.h"
#include "TetherServeCard.h"
#include "TetherServeFeed.h"
#include "TetherServePictures.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <string>
#include <vector>

class TetherPictures;
class TetherServeLiveView;

// What the HTTP API answers, made in the host thread on the library's
// exported functions: the camera, its properties (set and confirmed by the
// camera), the release, the pictures of this run; and the events the
// browsers follow: property changes, pictures as they land, the camera
// coming and going, the live view's area.
class TetherServeApi : public QObject
{
    Q_OBJECT
public:
    TetherServeApi(TetherSession& session, TetherPictures& pictures, TetherServeLiveView& liveView,
                   const QString& folder);

    // The event stream as Server-Sent Events, one piece per event.
    TetherServeFeed& events() { return m_events; }

    TetherServeReply camera() const;
    TetherServeReply properties() const;
    TetherServeReply property(const QString& name) const;
    // body: {"value": "f/8"} (a text as photographers write it, or the raw
    // number); nothing for a command. Answers once the camera has confirmed.
    void setProperty(const QString& name, const std::string& body, const TetherServeBridge::Answer& answer);
    TetherServeReply release();
    // 200 when the camera offers live view.
    TetherServeReply liveView() const;
    TetherServeReply pictures() const;
    TetherServeReply thumbnail(int picture) const;
    // The camera's card (TetherServeCard).
    const TetherServeCard& card() const { return m_card; }

private:
    struct PendingSet {
        TetherProperties::PendingAnswer pending;
        QElapsedTimer clock;
        TetherServeBridge::Answer answer;
    };

    QString refusal(const QString& name, int number, const QString* text, QByteArray* payload, int* status) const;
    void tick();
    void followConnection();
    void followLiveViewArea();
    void settleSets();
    // True when the set is over (answered, timed out or the camera gone).
    bool settle(PendingSet& set);
    void catchPropertyChange(int property, const QByteArray& payload);
    void publish(const char* type, const QJsonObject& data);
    QJsonObject identity() const;
    static QJsonObject areaJson(const BRX_SDK_LiveViewArea& area);
    static QString valueText(const std::string& body, bool* ok);

    TetherSession& m_session;
    TetherServeLiveView& m_liveView;
    const TetherProperties m_properties;
    TetherServePictures m_pictures;
    TetherServeCard m_card;
    TetherServeFeed m_events;
    std::uint64_t m_eventId = 0;
    QTimer m_ticker;
    bool m_ready = false;
    QJsonObject m_area;
    std::vector<PendingSet> m_sets;
};

#endif
