#include "BRX_Commu_LibusbHotplugWatcher.h"
#include "BRX_Commu_LibusbContext.h"
#include "BRX_Debug.h"

#include <libusb.h>

struct BRX_Commu_LibusbHotplugWatcherCallback {
    // No blocking work here: libusb holds its hot-plug lock while calling.
    static int LIBUSB_CALL call(libusb_context*, libusb_device*, libusb_hotplug_event, void* watcher)
    {
        static_cast<BRX_Commu_LibusbHotplugWatcher*>(watcher)->notify();
        return 0; // stay registered
    }
};

BRX_Commu_LibusbHotplugWatcher::BRX_Commu_LibusbHotplugWatcher(std::shared_ptr<BRX_Commu_LibusbContext> context,
                                                               QObject* parent)
    : QObject(parent)
    , m_context(std::move(context))
{
    if (!m_context->isValid() || !libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        debugPrint(kDebugPtp, "%s - no hot-plug support, scanning periodically only", BRX_METHOD);
        return;
    }
    const int events = LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;
    const int result = libusb_hotplug_register_callback(
        m_context->get(), libusb_hotplug_event(events), libusb_hotplug_flag(0), LIBUSB_HOTPLUG_MATCH_ANY,
        LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, &BRX_Commu_LibusbHotplugWatcherCallback::call, this,
        &m_callbackHandle);
    if (result != LIBUSB_SUCCESS) {
        debugPrint(kDebugAlways, "%s - hot-plug registration failed: %s", BRX_METHOD, libusb_error_name(result));
        return;
    }
    m_registered = true;
    m_thread = std::thread(&BRX_Commu_LibusbHotplugWatcher::run, this);
}

BRX_Commu_LibusbHotplugWatcher::~BRX_Commu_LibusbHotplugWatcher()
{
    if (!m_registered)
        return;
    m_stopping = true;
    m_stopFlag = 1;
    // Once deregistration returns, no callback runs any more.
    libusb_hotplug_deregister_callback(m_context->get(), m_callbackHandle);
    libusb_interrupt_event_handler(m_context->get());
    m_thread.join();
}

void BRX_Commu_LibusbHotplugWatcher::run()
{
    while (!m_stopping)
        libusb_handle_events_completed(m_context->get(), &m_stopFlag);
}

void BRX_Commu_LibusbHotplugWatcher::notify()
{
    if (!m_stopping)
        emit signalDevicesChanged();
}
