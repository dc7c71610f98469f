#include "ControllerRooms.h"

#include "BRX_Commu_CameraAccess_Usb_PTP.h"
#include "BRX_Logic_APEXConverterAperture.h"

namespace {

// The process-wide APEX settings the controller gives each new camera before
// its converters are made.
int prepareConverters(BRX_Logic_Camera& camera)
{
    const int productId = camera.productId();
    BRX_Logic_APEXConverterAperture::setProductId(productId);
    BRX_Logic_APEXConverterAperture::setStepSize(camera.hasExposCompensStep() ? camera.exposCompensStep() : 0);
    return productId;
}

} // namespace

ControllerRooms::ControllerRooms(int productId)
    : fixture(productId)
    , camera(fixture.access())
    , converters(camera, prepareConverters(camera))
    , rules(camera, converters, capture, qtSide, productId,
            {[this](std::function<void(BRX_Logic_Camera&)> call) { cameraCalls.append(call); },
             [this](int property) { followUps.append(property); }})
    , table(camera, converters, rules, capture, productId)
    , mirror(qtSide, camera, converters, rules)
    , notifier(camera, converters, table, mirror, capture, qtSide, productId)
{
    capture.setCamera(&camera);
    QObject::connect(&notifier, &BRX_Logic_ControllerNotifier::signalProperty,
                     [this](int property, void* data, quint32 size) {
                         notifications.append({property, QByteArray(static_cast<const char*>(data), int(size))});
                     });
}

QList<int> ControllerRooms::numbers() const
{
    QList<int> result;
    for (const Notification& notification : notifications)
        result.append(notification.property);
    return result;
}

QList<QByteArray> ControllerRooms::payloads(int property) const
{
    QList<QByteArray> result;
    for (const Notification& notification : notifications) {
        if (notification.property == property)
            result.append(notification.payload);
    }
    return result;
}

int ControllerRooms::runCameraCalls()
{
    const QList<std::function<void(BRX_Logic_Camera&)>> calls = cameraCalls;
    cameraCalls.clear();
    for (const std::function<void(BRX_Logic_Camera&)>& call : calls)
        call(camera);
    return calls.size();
}
