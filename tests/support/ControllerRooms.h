#ifndef CONTROLLERROOMS_H
#define CONTROLLERROOMS_H

#include "BRX_Logic_APEXConverterShutterTime.h"
#include "BRX_Logic_Camera.h"
#include "BRX_Logic_CaptureControl.h"
#include "BRX_Logic_ControllerConverters.h"
#include "BRX_Logic_ControllerMirror.h"
#include "BRX_Logic_ControllerNotifier.h"
#include "BRX_Logic_ControllerSignals.h"
#include "BRX_Logic_PropertyTable.h"
#include "BRX_Logic_SetterRules.h"
#include "VirtualCameraFixture.h"

#include <QByteArray>
#include <QList>

#include <cstring>
#include <functional>

// The rooms of one controller connection on a virtual camera, built as the
// controller builds them, with the controller's own part played by
// recorders: the follow-ups the rules make due and the calls they leave to
// the controller thread are kept (runCameraCalls runs these), and every
// notification is recorded with its payload.
class ControllerRooms
{
public:
    struct Notification {
        int property;
        QByteArray payload;
    };

    explicit ControllerRooms(int productId);

    bool isOpen() const { return fixture.isOpen(); }
    // The numbers notified so far, in order.
    QList<int> numbers() const;
    QList<QByteArray> payloads(int property) const;
    // The last payload of property as T; T{} when none arrived.
    template <typename T>
    T last(int property) const
    {
        const QList<QByteArray> all = payloads(property);
        T value{};
        if (!all.isEmpty() && all.last().size() == int(sizeof value))
            std::memcpy(&value, all.last().constData(), sizeof value);
        return value;
    }
    // Runs and forgets the camera calls the rules left to the controller thread.
    int runCameraCalls();

    VirtualCameraFixture fixture;
    BRX_Logic_Camera camera;
    BRX_Logic_ControllerConverters converters;
    BRX_Logic_CaptureControl capture;
    BRX_Logic_ControllerSignals qtSide;
    QList<int> followUps;
    QList<std::function<void(BRX_Logic_Camera&)>> cameraCalls;
    BRX_Logic_SetterRules rules;
    BRX_Logic_PropertyTable table;
    BRX_Logic_ControllerMirror mirror;
    BRX_Logic_ControllerNotifier notifier;
    QList<Notification> notifications;
};

#endif
