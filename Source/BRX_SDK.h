#ifndef BRX_SDK_H
#define BRX_SDK_H

/*
 * Camera-tethering library: the public interface.
 *
 * The host starts the library with BRX_SDK_init from a thread that runs a Qt
 * event loop (or processes Qt events); the init and changes callbacks are
 * called in that thread. Frame callbacks run in the library's own threads.
 * Every function may be called before BRX_SDK_init or after BRX_SDK_exit: it
 * then does nothing and the bool ones return false.
 *
 * This header has no dependency on Qt.
 */

#if defined(BRX_SDK_BUILDING)
#define BRX_SDK_EXPORT __attribute__((visibility("default")))
#else
#define BRX_SDK_EXPORT
#endif

/* connected: a camera was connected (true) or disconnected (false). */
typedef void (*BRX_SDK_InitCallback)(void* context, bool connected, int productId);
/* One property notification; data is valid only during the call. */
typedef void (*BRX_SDK_ChangesCallback)(void* context, int property, const void* data, unsigned int size);
/* One frame record (see BRX_SDK_FrameType::Id); data is valid only during the call. */
typedef void (*BRX_SDK_FrameCallback)(void* context, int type, const void* data, unsigned int size);

/* Property numbers. Payloads: int 4 bytes, bool 1 byte, double 8 bytes,
 * int pair 8 bytes (min, max), double pair 16 bytes (x, y), lists as n values. */
namespace BRX_SDK_Property {
enum Id {
    ExposureMode = 0,           /* int, read-write */
    ExposMetering = 1,          /* int, read-write */
    ApertureList = 2,           /* double list, notification only */
    Aperture = 3,               /* double, read-write */
    ShutterTimeList = 4,        /* double list, notification only */
    ShutterTime = 5,            /* double, read-write; -1.0 is bulb */
    ExposCompensList = 6,       /* int list, notification only */
    ExposCompens = 7,           /* int milli-EV, read-write */
    ExposCompensStep = 8,       /* int milli-EV, read-write */
    SensitivityList = 9,        /* int list, notification only */
    Sensitivity = 10,           /* int ISO, 0 = automatic, read-write */
    SensitivityAuto = 11,       /* bool, read-write */
    Reserved12 = 12,            /* accepted by no operation */
    DriveMode = 13,             /* int, read-write; 4 = bracketing, 5 = interval */
    BracketEnabled = 14,        /* bool, read-write */
    Reserved15 = 15,            /* accepted by no operation */
    BracketImgNum = 16,         /* int, read-write */
    BracketDeltaEVList = 17,    /* int list, notification only */
    BracketDeltaEV = 18,        /* int milli-EV, read-write */
    MirrorUpMode = 19,          /* bool, read-write */
    FocusConfirmation = 20,     /* int, notification only */
    FocusConfirmBadSig = 21,    /* bool, notification only */
    NoFocusConfirmation = 22,   /* no payload, never delivered */
    FocusDistance = 23,         /* double metres, read-write */
    FocusDistanceDec = 24,      /* command (size 0) */
    FocusDistanceInc = 25,      /* command (size 0) */
    FocusMaxDistance = 26,      /* double metres, read-only */
    FocusMinDistance = 27,      /* double metres, read-only */
    AutoFocusLimitDist = 28,    /* double metres, read-only */
    FocusMode = 29,             /* int, read-write */
    FileFormat = 30,            /* int, read-write, not notified */
    WantQuickView = 31,         /* bool, read-write, not notified */
    WhiteBalance = 32,          /* int index or kelvin, read-write */
    LiveViewPhoto = 33,         /* bool, read-write, not notified */
    LiveViewVideo = 34,         /* bool, read-write, not notified */
    LiveViewCrossPosGlobal = 35, /* double pair, write-only */
    ToggleLiveViewZoom = 36,    /* command (size 0) */
    WantLiveView = 37,          /* bool, read-write, not notified */
    PowerSwitch = 38,           /* int, read-only */
    LensConnectionType = 39,    /* int, read-only */
    IntervalFramesRange = 40,   /* int pair, read-only */
    IntervalFrames = 41,        /* int, read-write */
    IntervalTimeRange = 42,     /* int pair, read-only */
    IntervalTime = 43           /* int, read-write */
};
}

/* Frame record types passed to the frame callback. */
namespace BRX_SDK_FrameType {
enum Id {
    FrameQuickViewOrientation = 0, /* int degrees, 4 bytes */
    FrameQuickViewThumbnail = 1,   /* thumbnail bytes */
    FrameDownloadStartDng = 2,     /* no payload: download of a DNG (or unrecognised) picture starts */
    FrameDownloadStartJpg = 3,     /* no payload: download of a JPG picture starts */
    FramePictureDng = 4,           /* picture bytes, DNG or unrecognised */
    FramePictureJpg = 5,           /* picture bytes, JPG */
    FrameDownloadEmpty = 6,        /* no payload: the download produced no data */
    FrameQuickViewFileName = 8,    /* camera file name without ending, Latin-1 */
    FrameLiveView = 9,             /* one live-view frame */
    FrameLiveViewZoom = 10         /* int zoom level, sent before its frame */
};
}

BRX_SDK_EXPORT void BRX_SDK_init(void (*initCallback)(void*, bool, int), void* context);
BRX_SDK_EXPORT void BRX_SDK_exit();
BRX_SDK_EXPORT void BRX_SDK_capture();
BRX_SDK_EXPORT void BRX_SDK_capturePressed();
BRX_SDK_EXPORT void BRX_SDK_captureReleased();
BRX_SDK_EXPORT void BRX_SDK_requestClose();
BRX_SDK_EXPORT void BRX_SDK_setChangesCallback(void (*cb)(void*, int, const void*, unsigned int), void* context);
BRX_SDK_EXPORT void BRX_SDK_setFrameCallback(void (*cb)(void*, int, const void*, unsigned int), void* context);
BRX_SDK_EXPORT bool BRX_SDK_getProperty(int property, void* data, unsigned int size);
BRX_SDK_EXPORT bool BRX_SDK_setProperty(int property, const void* data, unsigned int size);
BRX_SDK_EXPORT bool BRX_SDK_setProperty(int property);
BRX_SDK_EXPORT bool BRX_SDK_setPropertyQueued(int property, const void* data, unsigned int size);
BRX_SDK_EXPORT bool BRX_SDK_setPropertyQueued(int property);

/* Extension: switch debug-log message groups on (enable true) or off. */
BRX_SDK_EXPORT void BRX_SDK_setDebugFlags(unsigned int flags, bool enable);

/* Extension: call before BRX_SDK_init to make the library use a built-in
 * virtual camera of productId (0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051
 * or 0x2061) instead of USB hardware; it starts plugged in. 0 goes back to
 * USB hardware. False for an unsupported product or when the library is
 * already initialised. */
BRX_SDK_EXPORT bool BRX_SDK_useVirtualCamera(int productId);

/* Extension: plugs the virtual camera in (true) or pulls it out (false).
 * False when no virtual camera is in use. */
BRX_SDK_EXPORT bool BRX_SDK_setVirtualCameraConnected(bool connected);

#endif
