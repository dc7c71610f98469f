/* A host in C99 on the C interface alone, without Qt: it drives the library's
 * events with brxsdk_process_events and works the virtual camera named on the
 * command line as a tethering host would: it registers its callbacks at each
 * connection, sets values in photographers' texts, shoots a DNG + JPG pair and
 * waits for the end of the release. Exits 0 when everything held, else 1 with
 * the reason. */
#define _POSIX_C_SOURCE 200809L

#include <BRX_SDK_C.h>

#include <locale.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kWaitMs = 20000, kSliceMs = 50 };

/* Written by library threads (frame records) and the host thread. */
static struct {
    pthread_mutex_t lock;
    int connected;
    int productId;
    int notifications;
    int files;
    int releaseEnd;
    int orientation;
    char name[64];
} host = {PTHREAD_MUTEX_INITIALIZER, 0, 0, 0, 0, -1, -1, ""};

static int fail(const char* what)
{
    fprintf(stderr, "c host: %s\n", what);
    brxsdk_exit();
    return 1;
}

static void onFrame(void* context, int type, const void* data, unsigned int size)
{
    (void)context;
    int32_t value = 0;
    if (size == sizeof value)
        memcpy(&value, data, sizeof value);
    pthread_mutex_lock(&host.lock);
    if (type == BRX_SDK_FrameQuickViewFileName && size < sizeof host.name) {
        memcpy(host.name, data, size);
        host.name[size] = '\0';
    } else if (type == BRX_SDK_FrameQuickViewOrientation) {
        host.orientation = value;
    } else if (type == BRX_SDK_FramePictureDng || type == BRX_SDK_FramePictureJpg) {
        ++host.files;
    } else if (type == BRX_SDK_FrameReleaseEnd) {
        host.releaseEnd = value;
    }
    pthread_mutex_unlock(&host.lock);
}

static void onChange(void* context, int property, const void* data, unsigned int size)
{
    (void)context, (void)property, (void)data, (void)size;
    ++host.notifications;
}

/* The library forgets the callbacks and quick view with every connection. */
static void onConnection(void* context, bool connected, int productId)
{
    (void)context;
    const bool on = true;
    pthread_mutex_lock(&host.lock);
    host.connected = connected;
    host.productId = productId;
    pthread_mutex_unlock(&host.lock);
    if (!connected)
        return;
    brxsdk_set_changes_callback(onChange, NULL);
    brxsdk_set_frame_callback(onFrame, NULL);
    brxsdk_set_property(BRX_SDK_PropertyWantQuickView, &on, sizeof on);
}

static int locked(const int* field)
{
    pthread_mutex_lock(&host.lock);
    const int value = *field;
    pthread_mutex_unlock(&host.lock);
    return value;
}

static bool isReady(void)
{
    return locked(&host.connected) && brxsdk_is_initial_state_delivered();
}

static bool hasReleaseEnded(void)
{
    return locked(&host.releaseEnd) >= 0;
}

static bool waitFor(bool (*condition)(void))
{
    for (int waited = 0; waited < kWaitMs; waited += kSliceMs) {
        if (condition())
            return true;
        if (brxsdk_process_events(kSliceMs) < 0)
            return false;
    }
    return condition();
}

static bool setText(int property, const char* text)
{
    unsigned char payload[16];
    unsigned int size = 0;
    return brxsdk_parse_value(property, text, payload, sizeof payload, &size)
        && brxsdk_set_property(property, payload, size);
}

int main(int argc, char** argv)
{
    const int productId = argc > 1 ? (int)strtol(argv[1], NULL, 0) : 0x2011;
    if (!brxsdk_use_virtual_camera(productId))
        return fail("no virtual camera of that product");
    brxsdk_init(onConnection, NULL);
    if (!waitFor(isReady))
        return fail("the camera did not connect");
    if (strcmp(setlocale(LC_ALL, NULL), "C") != 0)
        return fail("the library changed the host's locale");

    double aperture = 0.0;
    char text[32];
    if (!setText(BRX_SDK_PropertyAperture, "f/8")
        || !brxsdk_get_property(BRX_SDK_PropertyAperture, &aperture, sizeof aperture)
        || !brxsdk_format_value(BRX_SDK_PropertyAperture, &aperture, sizeof aperture, text, sizeof text))
        return fail("Aperture f/8 was not taken");
    printf("connected to 0x%04X, %d notifications; Aperture = %s\n", locked(&host.productId),
           host.notifications, text);

    const int32_t pair = BRX_SDK_FileFormatDngJpg;
    if (!brxsdk_set_property(BRX_SDK_PropertyFileFormat, &pair, sizeof pair) || !brxsdk_set_want_release_end(true))
        return fail("DNG + JPG or the end-of-release record was refused");
    brxsdk_capture();
    if (!waitFor(hasReleaseEnded))
        return fail("the release did not end");
    pthread_mutex_lock(&host.lock);
    printf("release ended: %d files, %d saved, camera name %s, orientation %d\n", host.releaseEnd, host.files,
           host.name, host.orientation);
    const bool pictureOk = host.releaseEnd == 2 && host.files == 2 && strcmp(host.name, "BRX_0001") == 0
                        && host.orientation == 1;
    pthread_mutex_unlock(&host.lock);
    if (!pictureOk)
        return fail("the pair arrived other than announced");
    brxsdk_exit();
    if (brxsdk_process_events(0) != -1)
        return fail("events were processed after exit");
    return 0;
}
