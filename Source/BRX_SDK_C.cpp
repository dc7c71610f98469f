// The C interface: each function is its C++ export under a name of its own.
#include "BRX_SDK.h"

void brxsdk_init(BRX_SDK_InitCallback initCallback, void* context)
{
    BRX_SDK_init(initCallback, context);
}

void brxsdk_exit(void)
{
    BRX_SDK_exit();
}

int brxsdk_process_events(int timeoutMs)
{
    return BRX_SDK_processEvents(timeoutMs);
}

void brxsdk_set_changes_callback(BRX_SDK_ChangesCallback callback, void* context)
{
    BRX_SDK_setChangesCallback(callback, context);
}

void brxsdk_set_frame_callback(BRX_SDK_FrameCallback callback, void* context)
{
    BRX_SDK_setFrameCallback(callback, context);
}

bool brxsdk_get_property(int property, void* data, unsigned int size)
{
    return BRX_SDK_getProperty(property, data, size);
}

bool brxsdk_set_property(int property, const void* data, unsigned int size)
{
    return BRX_SDK_setProperty(property, data, size);
}

bool brxsdk_command(int property)
{
    return BRX_SDK_setProperty(property);
}

bool brxsdk_set_property_queued(int property, const void* data, unsigned int size)
{
    return BRX_SDK_setPropertyQueued(property, data, size);
}

bool brxsdk_command_queued(int property)
{
    return BRX_SDK_setPropertyQueued(property);
}

void brxsdk_capture(void)
{
    BRX_SDK_capture();
}

void brxsdk_capture_pressed(void)
{
    BRX_SDK_capturePressed();
}

void brxsdk_capture_released(void)
{
    BRX_SDK_captureReleased();
}

void brxsdk_request_close(void)
{
    BRX_SDK_requestClose();
}

bool brxsdk_set_want_release_end(bool want)
{
    return BRX_SDK_setWantReleaseEnd(want);
}

bool brxsdk_describe_property(int property, BRX_SDK_PropertyDescription* out)
{
    return BRX_SDK_describeProperty(property, out);
}

bool brxsdk_format_value(int property, const void* data, unsigned int size, char* text, unsigned int textSize)
{
    return BRX_SDK_formatValue(property, data, size, text, textSize);
}

bool brxsdk_parse_value(int property, const char* text, void* data, unsigned int size, unsigned int* written)
{
    return BRX_SDK_parseValue(property, text, data, size, written);
}

bool brxsdk_get_choices(int property, void* data, unsigned int size, unsigned int* written)
{
    return BRX_SDK_getChoices(property, data, size, written);
}

bool brxsdk_is_initial_state_delivered(void)
{
    return BRX_SDK_isInitialStateDelivered();
}

bool brxsdk_get_camera_identity(BRX_SDK_CameraIdentity* out)
{
    return BRX_SDK_getCameraIdentity(out);
}

bool brxsdk_get_live_view_area(BRX_SDK_LiveViewArea* out)
{
    return BRX_SDK_getLiveViewArea(out);
}

void brxsdk_set_debug_flags(unsigned int flags, bool enable)
{
    BRX_SDK_setDebugFlags(flags, enable);
}

void brxsdk_set_log_callback(BRX_SDK_LogCallback callback, void* context)
{
    BRX_SDK_setLogCallback(callback, context);
}

bool brxsdk_use_virtual_camera(int productId)
{
    return BRX_SDK_useVirtualCamera(productId);
}

bool brxsdk_keep_virtual_camera_state(const char* folder, bool startAfresh)
{
    return BRX_SDK_keepVirtualCameraState(folder, startAfresh);
}

bool brxsdk_set_virtual_camera_connected(bool connected)
{
    return BRX_SDK_setVirtualCameraConnected(connected);
}

bool brxsdk_press_virtual_camera_shutter(void)
{
    return BRX_SDK_pressVirtualCameraShutter();
}

bool brxsdk_change_virtual_camera_property(uint32_t propertyCode, int64_t value)
{
    return BRX_SDK_changeVirtualCameraProperty(propertyCode, value);
}

bool brxsdk_use_network_camera(const char* hostAndPort)
{
    return BRX_SDK_useNetworkCamera(hostAndPort);
}

bool brxsdk_select_camera(const char* selector)
{
    return BRX_SDK_selectCamera(selector);
}

bool brxsdk_use_virtual_camera_with_serial(int productId, const char* serialNumber)
{
    return BRX_SDK_useVirtualCameraWithSerial(productId, serialNumber);
}

bool brxsdk_list_card(BRX_SDK_CardFile* files, unsigned int capacity, unsigned int* count)
{
    return BRX_SDK_listCard(files, capacity, count);
}

bool brxsdk_download_card_file(uint32_t id, void* buffer, uint64_t size, uint64_t* written)
{
    unsigned long long got = 0;
    const bool ok = BRX_SDK_downloadCardFile(id, buffer, size, &got);
    if (written)
        *written = got;
    return ok;
}

bool brxsdk_deliver_card_file(uint32_t id)
{
    return BRX_SDK_deliverCardFile(id);
}

bool brxsdk_read_card_thumbnail(uint32_t id, void* buffer, unsigned int size, unsigned int* written)
{
    return BRX_SDK_readCardThumbnail(id, buffer, size, written);
}

bool brxsdk_delete_card_file(uint32_t id, char* reason, unsigned int reasonSize)
{
    return BRX_SDK_deleteCardFile(id, reason, reasonSize);
}

bool brxsdk_get_card_room(BRX_SDK_CardRoom* out)
{
    return BRX_SDK_getCardRoom(out);
}

bool brxsdk_fill_virtual_camera_card(int count)
{
    return BRX_SDK_fillVirtualCameraCard(count);
}

bool brxsdk_list_cameras(BRX_SDK_CameraListing* cameras, unsigned int capacity, unsigned int* count)
{
    return BRX_SDK_listCameras(cameras, capacity, count);
}

bool brxsdk_is_camera_selected(const BRX_SDK_CameraListing* camera)
{
    return BRX_SDK_isCameraSelected(camera);
}

bool brxsdk_get_camera_port(char* port, unsigned int size)
{
    return BRX_SDK_getCameraPort(port, size);
}

bool brxsdk_get_camera_held_elsewhere(char* port, unsigned int size)
{
    return BRX_SDK_getCameraHeldElsewhere(port, size);
}

bool brxsdk_set_want_card_room(bool want)
{
    return BRX_SDK_setWantCardRoom(want);
}
