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

/* Extension, virtual-camera control: the shutter pressed on the virtual
 * camera's own body, as a photographer shooting tethered does it. The
 * picture's files go to the camera's card and, while it is plugged in, are
 * announced to the library, which downloads them like any other picture.
 * False when no virtual camera is in use. Any thread. */
BRX_SDK_EXPORT bool BRX_SDK_pressVirtualCameraShutter();

/* ===== Extension: the properties described by the library ==================
 *
 * Everything a host needs to show, read and write the 44 properties without a
 * table of its own: each number's name, payload, access, unit and where its
 * selectable values come from (BRX_SDK_describeProperty), and the texts
 * photographers write for the values ("f/5.6", "1/125 s", "30 s", "B",
 * "+0.7 EV", "ISO 400", "Auto ISO", "5200 K", "1.50 m", "infinity", "85%",
 * "Daylight"), both ways (BRX_SDK_formatValue, BRX_SDK_parseValue).
 *
 * These calls take and give plain C types only. Unless said otherwise they
 * may be called from any thread, also before BRX_SDK_init; names and texts of
 * a camera's own choices (white-balance presets, drive modes, file formats)
 * need the connected camera, without one such a value reads as its number.
 */

/* Property numbers run from 0 to BRX_SDK_PROPERTY_COUNT - 1. */
#define BRX_SDK_PROPERTY_COUNT 44

/* Payload kinds, little-endian as the host's memory holds them. */
enum BRX_SDK_PayloadKind {
    BRX_SDK_PayloadNone = 0,       /* no payload, size 0 */
    BRX_SDK_PayloadInt = 1,        /* signed 32-bit integer, 4 bytes */
    BRX_SDK_PayloadBool = 2,       /* 1 byte: 0 is false, anything else true (the library writes 1) */
    BRX_SDK_PayloadDouble = 3,     /* IEEE-754 64-bit, 8 bytes */
    BRX_SDK_PayloadIntPair = 4,    /* two ints, smallest then largest value: 8 bytes */
    BRX_SDK_PayloadDoublePair = 5, /* two doubles, x then y: 16 bytes */
    BRX_SDK_PayloadIntList = 6,    /* n ints, 4n bytes, no count field */
    BRX_SDK_PayloadDoubleList = 7  /* n doubles, 8n bytes, no count field */
};

/* What a host may do with a property. */
enum BRX_SDK_AccessKind {
    BRX_SDK_AccessNone = 0,            /* a reserved number: no operation accepts it */
    BRX_SDK_AccessReadWrite = 1,       /* BRX_SDK_getProperty and BRX_SDK_setProperty */
    BRX_SDK_AccessReadOnly = 2,        /* BRX_SDK_getProperty only */
    BRX_SDK_AccessWriteOnly = 3,       /* BRX_SDK_setProperty only */
    BRX_SDK_AccessCommand = 4,         /* BRX_SDK_setProperty(property) performs it; no payload */
    BRX_SDK_AccessNotificationOnly = 5 /* values arrive only at the changes callback */
};

/* The unit of a property's values (of each element for pairs and lists). */
enum BRX_SDK_Unit {
    BRX_SDK_UnitNone = 0,         /* no value: commands and reserved numbers */
    BRX_SDK_UnitChoice = 1,       /* the camera's code of one of its choices or states;
                                     BRX_SDK_formatValue names it where the library knows
                                     the name ("Spot", "Continuous", "DNG + JPG", "bulb") */
    BRX_SDK_UnitOnOff = 2,        /* a bool: "on" or "off" */
    BRX_SDK_UnitFNumber = 3,      /* an f-number: 5.6 is "f/5.6" */
    BRX_SDK_UnitSeconds = 4,      /* seconds: 0.008 is "1/125 s", 30.0 "30 s"; a shutter time
                                     of -1.0 is bulb, "B" */
    BRX_SDK_UnitMilliEV = 5,      /* thousandths of an exposure value: 667 is "+0.7 EV",
                                     333 a third of a stop */
    BRX_SDK_UnitIso = 6,          /* an ISO number: 400 is "ISO 400"; 0 is automatic, "Auto ISO" */
    BRX_SDK_UnitWhiteBalance = 7, /* a white-balance preset's code ("Daylight"), or, above the
                                     colour-temperature preset's code, a colour temperature in
                                     kelvin: 5200 is "5200 K" */
    BRX_SDK_UnitMetres = 8,       /* metres: 1.5 is "1.50 m"; 1000000.0 is "infinity" and 0.0
                                     "unknown" (no valid distance) */
    BRX_SDK_UnitPictures = 9,     /* a number of pictures or frames: "5 frames" */
    BRX_SDK_UnitFraction = 10     /* a fraction of the picture's width or height, 0.0 (left,
                                     top) to 1.0 (right, bottom): 0.85 is "85%" */
};

/* One property, as BRX_SDK_describeProperty gives it. The strings are static. */
typedef struct BRX_SDK_PropertyDescription {
    const char* name;     /* the name of BRX_SDK_Property::Id, e.g. "Aperture" */
    int payload;          /* a BRX_SDK_PayloadKind */
    unsigned int size;    /* the exact size get and set take; 0 for none and for lists,
                             whose size is a multiple of their element's */
    int access;           /* a BRX_SDK_AccessKind */
    int unit;             /* a BRX_SDK_Unit */
    const char* unitName; /* the unit in words: "f-number", "seconds", "milli-EV", "ISO",
                             "white-balance preset or kelvin", "metres", "pictures",
                             "fraction", "on/off", "choice", "none" */
    int listProperty;     /* the property whose notifications carry the selectable values
                             (an int or double list) or their smallest and largest value
                             (an int pair); -1 when there is none */
    bool notified;        /* changes of the value reach the changes callback */
    bool supported;       /* the connected camera offers it (live view, aperture, focus
                             distance, white balance ... depend on the camera); false
                             without a camera and for the reserved numbers */
} BRX_SDK_PropertyDescription;

/* Fills out with the description of property. False (out unchanged) for a
 * number outside 0 .. BRX_SDK_PROPERTY_COUNT - 1 or a null out. */
BRX_SDK_EXPORT bool BRX_SDK_describeProperty(int property, BRX_SDK_PropertyDescription* out);

/* Writes the text of a payload of property into text, NUL-terminated UTF-8:
 * "f/5.6", "1/125 s", "+0.7 EV", "Auto ISO", "Daylight", "5200 K",
 * "infinity", "on", "50%, 50%". Pairs and lists give their elements separated
 * by ", " ("f/2.8, f/4, f/5.6"), ranges (int pairs) as "5 frames to 9999
 * frames"; a property without payload gives an empty text. size must be the
 * payload's size (a multiple of the element's size for lists). False, with
 * an empty text where textSize allows, for an unknown property, a size that
 * does not fit, null pointers, or a text longer than textSize - 1 bytes. */
BRX_SDK_EXPORT bool BRX_SDK_formatValue(int property, const void* data, unsigned int size, char* text,
                                        unsigned int textSize);

/* Reads text into a payload of property; *written receives its size in
 * bytes. Accepted, in this order: a choice of the connected camera as
 * BRX_SDK_formatValue writes it, where case, blanks, a leading "+" and the
 * unit do not matter ("f/5.6", "5.6", "+0.7 EV", "0.7", "Auto ISO", "auto",
 * "daylight", "DNG + JPG"); a value in the property's unit ("1/125 s",
 * "30 s", "2 min", "B", "+0.5 EV", "ISO 400", "5200 K", "1.5 m", "infinity",
 * "85%", "on", "off"); a bare number, which is the payload's own value (for
 * property 7, milli-EV: "-667"). Pairs and lists take their elements
 * separated by commas ("50%, 25%"). False for an unknown property, a text it
 * cannot read, a value an int cannot hold, null pointers, or a size smaller
 * than the payload. The value is not checked against the camera's choices:
 * BRX_SDK_getChoices gives them. */
BRX_SDK_EXPORT bool BRX_SDK_parseValue(int property, const char* text, void* data, unsigned int size,
                                       unsigned int* written);

/* The values the connected camera offers for property, as n elements of the
 * property's payload type one after the other (int 4 bytes, double 8 bytes,
 * bool 1 byte), in the camera's order. For a value list, and for a property
 * whose listProperty carries an int or double list, that list as last
 * notified: call it once BRX_SDK_isInitialStateDelivered is true. Otherwise
 * the library's own table of the setting (metering, drive mode, bracketing
 * pictures, file format, white-balance presets followed by the colour
 * temperatures in kelvin, interval frames and times), or off and on.
 * *written receives the size the choices take. False with *written 0 when the
 * property has no fixed choices (its values are free within the camera's
 * range: exposure mode, focus distance, the focus cross) or no camera is
 * connected; false with *written set when size is too small. */
BRX_SDK_EXPORT bool BRX_SDK_getChoices(int property, void* data, unsigned int size, unsigned int* written);

/* True once the whole initial state of the connected camera (its burst of
 * notifications after the init callback on every connection) has been
 * handed to the changes callback; false without a camera. Call it from the
 * thread that called BRX_SDK_init. */
BRX_SDK_EXPORT bool BRX_SDK_isInitialStateDelivered();

/* The connected camera's identity, from its DeviceInfo dataset. */
typedef struct BRX_SDK_CameraIdentity {
    int productId;          /* the USB product ID, as the init callback gives it */
    char manufacturer[64];  /* NUL-terminated UTF-8, cut to fit; empty when the camera */
    char model[64];         /*   does not say */
    char deviceVersion[64];
    char serialNumber[64];
} BRX_SDK_CameraIdentity;

/* Fills out for the connected camera. False without a camera or a null out. */
BRX_SDK_EXPORT bool BRX_SDK_getCameraIdentity(BRX_SDK_CameraIdentity* out);

/* Where the live view looks: the area of the sensor that the frames show and
 * the focus cross, both as fractions of the whole sensor (0.0 left or top,
 * 1.0 right or bottom), the units of property 35 (LiveViewCrossPosGlobal). */
typedef struct BRX_SDK_LiveViewArea {
    int zoomLevel;       /* 1: the whole picture; n: magnified n times */
    double x, y;         /* the shown area's top left corner */
    double width, height;
    double focusX, focusY;
} BRX_SDK_LiveViewArea;

/* Fills out with the area of the latest live-view frame. False without a
 * camera, before the first frame that carried its area since live view
 * started, or for a null out. */
BRX_SDK_EXPORT bool BRX_SDK_getLiveViewArea(BRX_SDK_LiveViewArea* out);

/* Extension: call before BRX_SDK_init to tether a camera over the network
 * (PTP over TCP/IP, by Wi-Fi or Ethernet) instead of one on USB or the
 * virtual camera. hostAndPort, NUL-terminated UTF-8, is "host" or
 * "host:port", an IPv6 address in brackets ("[fe80::1]:15740"); without a
 * port the standard's 15740 is used. The library connects to the address at
 * once and, while nobody answers there, again every second; it recognises the
 * camera by the model its DeviceInfo names. A camera that closes the
 * connection, breaks the protocol or falls silent is disconnected as if
 * unplugged (init callback with false) and connected again once it answers.
 * NULL or "" goes back to USB. False for a text that is no address, or when
 * the library is already initialised (the choice is then unchanged). Host's
 * thread; the text is copied. */
BRX_SDK_EXPORT bool BRX_SDK_useNetworkCamera(const char* hostAndPort);

#endif
