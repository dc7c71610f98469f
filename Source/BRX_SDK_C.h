#ifndef BRX_SDK_C_H
#define BRX_SDK_C_H

/*
 * Camera-tethering library: the C interface (C99 and C++).
 *
 * One camera on USB, on the network (PTP/IP) or the library's built-in
 * virtual camera is worked through the functions below and three callbacks.
 * Link with -lbrxsdk (pkg-config brxsdk, or CMake's find_package(BRXSDK) and
 * BRXSDK::brxsdk).
 * Every function here has C linkage and its own name; BRX_SDK.h offers the
 * same functions to C++ under their original names (BRX_SDK_init ...) and
 * includes this header. The host needs no Qt: see brxsdk_process_events.
 *
 * ===== Lifecycle =============================================================
 *
 *  1. Optionally before brxsdk_init: brxsdk_use_virtual_camera(0x2031) works
 *     a virtual camera instead of the USB bus, brxsdk_use_network_camera
 *     ("192.168.1.10") a camera on the network; brxsdk_set_debug_flags.
 *  2. brxsdk_init(initCallback, context) starts the library from the thread
 *     that is to receive the init and changes callbacks, called the host
 *     thread below. It returns at once; the library looks for a camera then
 *     and every second after.
 *  3. The host thread delivers the library's events: it runs a Qt event loop
 *     (QCoreApplication::exec), or it calls brxsdk_process_events in its own
 *     loop. Otherwise no init or changes callback is ever called. A host
 *     without a QCoreApplication is told so in the log at init, and the
 *     library makes one for it (see brxsdk_init).
 *  4. A camera is connected: initCallback(context, true, productId). Then,
 *     in the init callback or later:
 *     - register the changes and frame callbacks: the library clears both at
 *       every disconnection, so each connection starts without them;
 *     - switch quick view (31) and live view (37 with 33 or 34) on again if
 *       wanted: each connection starts with them off.
 *     Right after the init callback the camera's whole state arrives at the
 *     changes callback (see Notifications).
 *  5. The camera goes away (unplugged, switched off, brxsdk_request_close,
 *     or given up for sending events faster than the library can take them,
 *     a few thousand ahead, after which it is connected again at once):
 *     the frame callback and the changes callback are cleared, then
 *     initCallback(context, false, productId) is called. Property calls fail
 *     ("no camera" in the log) until the next connection, which starts again
 *     at 4.
 *  6. brxsdk_exit() stops the library; brxsdk_init may start it again.
 *
 * ===== Threads ===============================================================
 *
 * The init and changes callbacks run in the host thread, inside its Qt event
 * loop or inside brxsdk_process_events, one at a time, in the order the
 * library sent them. The frame callback runs in the library's own threads: a
 * download thread per picture file (records 0 to 6, 8 and 11; one download at
 * a time, each file's records in order from one thread) and the library's
 * controller thread (live view, records 9 and 10; record 11 when a quiet time
 * ends a release; record 12 after a reconnect). A frame callback holds up the download or live view that
 * called it: copy what you need, hand it to your own thread and return. It
 * must never wait for the host thread (brxsdk_exit waits for downloads).
 *
 * May be called from:
 * - the host thread only: brxsdk_init, brxsdk_exit, brxsdk_process_events,
 *   brxsdk_set_changes_callback, brxsdk_is_initial_state_delivered;
 * - any thread: all other functions;
 * - inside the init or changes callback: all but brxsdk_init, brxsdk_exit
 *   and brxsdk_process_events (refused with a log line);
 * - inside the frame callback: only the functions that read:
 *   brxsdk_get_property, brxsdk_describe_property, brxsdk_format_value,
 *   brxsdk_parse_value, brxsdk_get_choices, brxsdk_get_camera_identity and
 *   brxsdk_get_live_view_area.
 * Before brxsdk_init and after brxsdk_exit the camera's functions do nothing,
 * and those with a result return false (or -1); the descriptions and texts,
 * the debug flags and the virtual camera's controls work at any time.
 *
 * ===== Properties ============================================================
 *
 * The camera is 44 numbered properties (enum BRX_SDK_PropertyNumber). A
 * payload is held in the host's memory as it is: int is int32_t (4 bytes),
 * bool one byte (0 false, anything else true; the library writes 1), double
 * 8 bytes, an int pair two int32_t (smallest, largest), a double pair two
 * doubles (x, y), a list n values with no count (n = size / element size).
 * get and set take exactly the payload's size, commands none.
 *
 * Units: each number below says its unit; brxsdk_describe_property gives it
 * too (BRX_SDK_Unit), with the property the selectable values come from.
 * brxsdk_format_value and brxsdk_parse_value turn values into photographers'
 * texts ("f/5.6", "1/125 s", "+0.7 EV", "ISO 400", "5200 K") and back;
 * brxsdk_get_choices gives the values the connected camera offers.
 *
 * What a set's result means. True: the camera took the value, or the
 * nearest one it offers (a rounded compensation or shutter time), and now
 * holds it; get and the confirming notification report it. False: nothing
 * was changed, because the request was refused (an impossible number, a value
 * outside the camera's list, a setting the camera does not offer, a wrong
 * size) or the camera refused the write or did not answer; the confirming
 * notification then carries the value the camera kept. An f-number is not
 * checked against the lens's range (the list of property 2): the camera is
 * sent the nearest step of its scale and holds what it makes of it, so check
 * it against the list first. Null data with size 0 changes nothing and is
 * true; null data with a size is refused. The commands and live-view
 * requests (24, 25, 31, 33 to 37) are true once accepted and dispatched; 33
 * to 37 are carried out in the library's controller thread after the call
 * returns, in the order they were set, so a get right after may still read
 * the state before. The queued set only posts: true once posted, its outcome
 * shows only in the notifications and the log.
 *
 * ===== Notifications =========================================================
 *
 * The changes callback gets (context, property, data, size): one property's
 * new value or value list; data is valid only during the call. Right after
 * each init callback with true, the camera's whole state arrives: every
 * notified property the camera offers, each value list (2, 4, 6, 9, 17) and
 * range (40, 42) before the value it lists; a number the camera does not
 * offer is not sent, and some come more than once (4 and 5 follow 10; 32
 * twice, as preset and as colour temperature). A value the camera did not
 * answer when it was asked is not sent either, nor a guess in its place: it
 * comes, once, when a later read of it succeeds (the camera reports it
 * changed). A value once told stays as told when a later read fails.
 * brxsdk_is_initial_state_delivered() is true once all of it has been handed
 * to the changes callback. After that: one notification for each change on
 * the camera (its dials, a lens change) and each confirmed set. 30, 31, 33,
 * 34 and 37 are never notified: read them with brxsdk_get_property. An empty
 * list (size 0) is never sent.
 *
 * ===== Live view =============================================================
 *
 * Set 37 (WantLiveView) true, then 33 (LiveViewPhoto) or 34 (LiveViewVideo)
 * true: frames then arrive at the frame callback (record 10, then 9, per
 * frame). Off in the other order: 33 or 34 false, then 37 false. 33 and 34
 * read the mode the camera last reported, and are never both true. 35 moves
 * the focus cross, 36 toggles the zoom; brxsdk_get_live_view_area tells the
 * area the frames show.
 */

#include <stdbool.h>
#include <stdint.h>

#if defined(BRX_SDK_BUILDING)
#define BRX_SDK_EXPORT __attribute__((visibility("default")))
#else
#define BRX_SDK_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* connected: a camera was connected (true, with its USB product ID) or
 * disconnected (false, the product ID it had). Host thread. */
typedef void (*BRX_SDK_InitCallback)(void* context, bool connected, int productId);
/* One property notification; data is valid only during the call. Host thread. */
typedef void (*BRX_SDK_ChangesCallback)(void* context, int property, const void* data, unsigned int size);
/* One frame record (enum BRX_SDK_FrameRecordType); data is valid only during
 * the call. Library threads. */
typedef void (*BRX_SDK_FrameCallback)(void* context, int type, const void* data, unsigned int size);
/* One line of the library's log; see brxsdk_set_log_callback. */
typedef void (*BRX_SDK_LogCallback)(void* context, const char* line);

/* Property numbers: payload, access, unit. */
enum BRX_SDK_PropertyNumber {
    BRX_SDK_PropertyExposureMode = 0,          /* int, read-write: the camera's exposure mode: 0 "M", 1 "S",
                                                  2 "P", 3 "A", 4 "bulb", 5 "auto" (0x2021 and 0x2051: 0,
                                                  2 and 4) */
    BRX_SDK_PropertyExposMetering = 1,         /* int, read-write: the camera's metering mode (a choice) */
    BRX_SDK_PropertyApertureList = 2,          /* double list, notified only: the selectable f-numbers */
    BRX_SDK_PropertyAperture = 3,              /* double, read-write: f-number, 5.6 is f/5.6 */
    BRX_SDK_PropertyShutterTimeList = 4,       /* double list, notified only: seconds, fastest first */
    BRX_SDK_PropertyShutterTime = 5,           /* double, read-write: seconds, 0.008 is 1/125 s; -1.0 is
                                                  bulb (B); setting a time leaves bulb mode */
    BRX_SDK_PropertyExposCompensList = 6,      /* int list, notified only: milli-EV */
    BRX_SDK_PropertyExposCompens = 7,          /* int, read-write: milli-EV, -667 is -0.7 EV */
    BRX_SDK_PropertyExposCompensStep = 8,      /* int, read-write: milli-EV, 333, 500 or 1000 */
    BRX_SDK_PropertySensitivityList = 9,       /* int list, notified only: ISO numbers, 0 is automatic */
    BRX_SDK_PropertySensitivity = 10,          /* int, read-write: ISO number, 0 is automatic */
    BRX_SDK_PropertySensitivityAuto = 11,      /* bool, read-write: automatic sensitivity; setting true is
                                                  setting 10 to 0; setting false ends it at the ISO number
                                                  10 held before it began through this connection, else at
                                                  the camera's lowest */
    BRX_SDK_PropertyReserved12 = 12,           /* accepted by no operation */
    BRX_SDK_PropertyDriveMode = 13,            /* int, read-write: enum BRX_SDK_DriveMode */
    BRX_SDK_PropertyBracketEnabled = 14,       /* bool, read-write */
    BRX_SDK_PropertyReserved15 = 15,           /* accepted by no operation */
    BRX_SDK_PropertyBracketImgNum = 16,        /* int, read-write: pictures per bracketing, 3 or 5 */
    BRX_SDK_PropertyBracketDeltaEVList = 17,   /* int list, notified only: milli-EV */
    BRX_SDK_PropertyBracketDeltaEV = 18,       /* int, read-write: milli-EV between bracketed pictures */
    BRX_SDK_PropertyMirrorUpMode = 19,         /* bool, read-write */
    BRX_SDK_PropertyFocusConfirmation = 20,    /* int, notified only: how far from focus, signed; 0 is
                                                  "in focus", 2 "off by +2" */
    BRX_SDK_PropertyFocusConfirmBadSig = 21,   /* bool, notified only */
    BRX_SDK_PropertyNoFocusConfirmation = 22,  /* no payload; never delivered */
    BRX_SDK_PropertyFocusDistance = 23,        /* double, read-write: metres; 1000000.0 is infinity,
                                                  0.0 no valid distance */
    BRX_SDK_PropertyFocusDistanceDec = 24,     /* command: one focus step nearer */
    BRX_SDK_PropertyFocusDistanceInc = 25,     /* command: one focus step farther */
    BRX_SDK_PropertyFocusMaxDistance = 26,     /* double, read-only: metres, as 23 */
    BRX_SDK_PropertyFocusMinDistance = 27,     /* double, read-only: metres, as 23 */
    BRX_SDK_PropertyAutoFocusLimitDist = 28,   /* double, read-only: metres, as 23 */
    BRX_SDK_PropertyFocusMode = 29,            /* int, read-write: 0 "auto single" (also read from "auto"),
                                                  1 "auto continuous", 2 "manual" */
    BRX_SDK_PropertyFileFormat = 30,           /* int, read-write, not notified: enum BRX_SDK_FileFormat */
    BRX_SDK_PropertyWantQuickView = 31,        /* bool, read-write, not notified: quick-view records (0, 1,
                                                  8) before each picture; off at each connection */
    BRX_SDK_PropertyWhiteBalance = 32,         /* int, read-write: a white-balance preset's code, or, above
                                                  the colour-temperature preset's code, kelvin (5200) */
    BRX_SDK_PropertyLiveViewPhoto = 33,        /* bool, read-write, not notified: photo live view */
    BRX_SDK_PropertyLiveViewVideo = 34,        /* bool, read-write, not notified: video live view */
    BRX_SDK_PropertyLiveViewCrossPosGlobal = 35, /* double pair, write-only: the focus cross, fractions of the
                                                    sensor, 0.0 left or top to 1.0 right or bottom */
    BRX_SDK_PropertyToggleLiveViewZoom = 36,   /* command: live-view zoom in or back out */
    BRX_SDK_PropertyWantLiveView = 37,         /* bool, read-write, not notified: live-view frames wanted;
                                                  off at each connection */
    BRX_SDK_PropertyPowerSwitch = 38,          /* int, read-only: the power switch's position: 0 "off",
                                                  1 "on", 2 "single", 3 "continuous" */
    BRX_SDK_PropertyLensConnectionType = 39,   /* int, read-only: 0 "native mount", 1 "adapted" */
    BRX_SDK_PropertyIntervalFramesRange = 40,  /* int pair, read-only: pictures (smallest, largest) */
    BRX_SDK_PropertyIntervalFrames = 41,       /* int, read-write: pictures an interval shooting takes */
    BRX_SDK_PropertyIntervalTimeRange = 42,    /* int pair, read-only: seconds (smallest, largest) */
    BRX_SDK_PropertyIntervalTime = 43          /* int, read-write: seconds between interval pictures */
};

/* Property numbers run from 0 to BRX_SDK_PROPERTY_COUNT - 1. */
#define BRX_SDK_PROPERTY_COUNT 44

/* Values of FileFormat (30). Formats 1 and 2 give two files per picture, a
 * DNG and a JPG (on 0x2041 the JPG first). */
enum BRX_SDK_FileFormat {
    BRX_SDK_FileFormatDng = 0,
    BRX_SDK_FileFormatDngJpg = 1,      /* DNG + JPG; "DNG + JPG (fine)" on 0x2009, 0x2011, 0x2021 */
    BRX_SDK_FileFormatDngJpgBasic = 2, /* DNG + JPG (basic): 0x2009, 0x2011, 0x2021 only */
    BRX_SDK_FileFormatJpg = 3,         /* JPG; "JPG (fine)" on 0x2009, 0x2011, 0x2021 */
    BRX_SDK_FileFormatJpgBasic = 4     /* JPG (basic): 0x2009, 0x2011, 0x2021 only */
};

/* Values of DriveMode (13). In the continuous modes a press starts a series
 * and letting go stops it (brxsdk_capture does both: a short series). */
enum BRX_SDK_DriveMode {
    BRX_SDK_DriveModeSingle = 0,
    BRX_SDK_DriveModeContinuous = 1,   /* all products but 0x2041 */
    BRX_SDK_DriveModeSelfTimer2s = 2,
    BRX_SDK_DriveModeSelfTimer12s = 3,
    BRX_SDK_DriveModeBracketing = 4,   /* BracketImgNum pictures, BracketDeltaEV apart */
    BRX_SDK_DriveModeInterval = 5,     /* IntervalFrames pictures, IntervalTime apart; the library
                                          emulates it on cameras without their own */
    BRX_SDK_DriveModeContinuousS = 6,  /* 0x2041 only: slow */
    BRX_SDK_DriveModeContinuousM = 7,  /* 0x2041 only: medium */
    BRX_SDK_DriveModeContinuousF = 8   /* 0x2041 only: fast */
};

/* Frame records: the type argument of the frame callback.
 *
 * A downloaded picture file gives, in this order, from one download thread:
 *   8, 0, 1  quick view, only while WantQuickView (31) is on, only for the
 *            first file of a DNG + JPG pair, and only when the camera gives a
 *            thumbnail;
 *   2 or 3   the download starts;
 *   4 or 5   the whole file, or 6 when it could not be downloaded;
 *   11       the release's end, when switched on (brxsdk_set_want_release_end)
 *            and this was the release's last file.
 * The second file of a pair comes without quick view: the camera names both
 * files of a picture alike ("BRX_0001" from record 8), each with its own
 * ending, .DNG for 4 and .JPG for 5.
 * Live view gives 10 (when the camera reports the zoom), then 9, per frame.
 *
 * Pictures across a disconnection: a file whose download the camera's going
 * away (unplugged, network lost) cut short gets no 6; the host has seen its
 * 2 or 3 and nothing more. When the same camera (the same serial number)
 * connects again within this brxsdk_init and the host has set its frame
 * callback, the library finds the file on the card by its name and size,
 * and its capture time where the camera gives one, and delivers it again,
 * once and whole, with its records as above (8, 0, 1 when quick view is on,
 * then 2 or 3, then 4 or 5). A file the card no longer holds (card swapped,
 * file deleted, or a file of the same name and size taken at another time)
 * gives one record 12 with its name. The library remembers at most 300 such
 * files, the oldest giving way.
 * Files the host's releases made that the camera had not yet announced when
 * it went away (written after the link had gone, or their announcement lost
 * with it) come the same way, with the same records and no 12: when a
 * release of the host was still owed files at the disconnection, the files
 * on the card newer than the newest one the library had seen there, and not
 * delivered already, are delivered once the camera is back, oldest first,
 * after the files above. Without such a release nothing more is fetched:
 * pictures taken on the camera's own button while no host was connected
 * stay on the card (brxsdk_list_card and brxsdk_deliver_card_file
 * reach them). */
enum BRX_SDK_FrameRecordType {
    BRX_SDK_FrameQuickViewOrientation = 0, /* int32_t: the picture's Exif orientation code, 1 to 8 (1
                                              upright, 3 upside down, 6 to be turned 90 degrees
                                              clockwise for viewing, 8 anticlockwise); 0 unknown */
    BRX_SDK_FrameQuickViewThumbnail = 1,   /* the camera's thumbnail of the picture, a JPEG image */
    BRX_SDK_FrameDownloadStartDng = 2,     /* no payload (null, 0): a DNG (or unrecognised) file starts */
    BRX_SDK_FrameDownloadStartJpg = 3,     /* no payload (null, 0): a JPG file starts */
    BRX_SDK_FramePictureDng = 4,           /* the DNG (or unrecognised) file's bytes, whole */
    BRX_SDK_FramePictureJpg = 5,           /* the JPG file's bytes, whole */
    BRX_SDK_FrameDownloadEmpty = 6,        /* no payload (null, 0): the file could not be downloaded */
    BRX_SDK_FrameQuickViewFileName = 8,    /* the camera's file name without its .DNG or .JPG ending
                                              ("BRX_0001"): Latin-1 bytes, size of them, no NUL. A plain
                                              file name, safe to join to a folder: at most 64
                                              printable characters (no control characters), none of
                                              / \ : * ? " < > |, no "..", no leading dot. A camera
                                              name that is not is replaced by the picture's name and
                                              number, as the folder settings give them
                                              ("Picture00042") */
    BRX_SDK_FrameLiveView = 9,             /* one live-view frame, a JPEG image */
    BRX_SDK_FrameLiveViewZoom = 10,        /* int32_t: the zoom level of the frame that follows, 1 whole */
    BRX_SDK_FrameReleaseEnd = 11,          /* int32_t: the number of files (records 4 and 5) the release
                                              delivered, 0 for none; see brxsdk_set_want_release_end */
    BRX_SDK_FramePictureLost = 12,         /* a file the camera began to deliver before it went away and
                                              that its card no longer holds when it is back (not with
                                              its name, size and capture time): the camera's
                                              file name with its ending ("BRX_0001.DNG"), Latin-1 bytes,
                                              size of them, no NUL; once per file. A plain file name as
                                              in record 8 ("LostPicture00001.DNG" in place of one that
                                              is not) */
    BRX_SDK_FrameFromCard = 13,            /* the card file's name (BRX_SDK_CardFile), UTF-8 without NUL
                                              ("BRX_0001.JPG"):
                                              the records that follow, up to the picture (4 or 5) or 6,
                                              bring a picture already on the card (brxsdk_deliver_card_file),
                                              not a new one */
    BRX_SDK_FrameReleaseRefused = 14,      /* int32_t: the camera refused a release (a press, a series or
                                              time exposure's start or end) with this PTP response code:
                                              0x200C (Store Full) when its card is full; no picture follows
                                              from that release. From the thread that sent the release */
    BRX_SDK_FrameCardRoom = 15             /* BRX_SDK_CardRoom: the card's room changed (a picture stored,
                                              a file deleted), as brxsdk_get_card_room reads it; see
                                              brxsdk_set_want_card_room. From the controller thread */
};

/* Payload kinds. */
enum BRX_SDK_PayloadKind {
    BRX_SDK_PayloadNone = 0,       /* no payload, size 0 */
    BRX_SDK_PayloadInt = 1,        /* int32_t, 4 bytes */
    BRX_SDK_PayloadBool = 2,       /* 1 byte: 0 is false, anything else true (the library writes 1) */
    BRX_SDK_PayloadDouble = 3,     /* IEEE-754 64-bit, 8 bytes */
    BRX_SDK_PayloadIntPair = 4,    /* two int32_t, smallest then largest value: 8 bytes */
    BRX_SDK_PayloadDoublePair = 5, /* two doubles, x then y: 16 bytes */
    BRX_SDK_PayloadIntList = 6,    /* n int32_t, 4n bytes, no count field */
    BRX_SDK_PayloadDoubleList = 7  /* n doubles, 8n bytes, no count field */
};

/* What a host may do with a property. */
enum BRX_SDK_AccessKind {
    BRX_SDK_AccessNone = 0,            /* a reserved number: no operation accepts it */
    BRX_SDK_AccessReadWrite = 1,       /* get and set */
    BRX_SDK_AccessReadOnly = 2,        /* get only */
    BRX_SDK_AccessWriteOnly = 3,       /* set only */
    BRX_SDK_AccessCommand = 4,         /* brxsdk_command performs it; no payload */
    BRX_SDK_AccessNotificationOnly = 5 /* values arrive only at the changes callback */
};

/* The unit of a property's values (of each element for pairs and lists). */
enum BRX_SDK_Unit {
    BRX_SDK_UnitNone = 0,         /* no value: commands and reserved numbers */
    BRX_SDK_UnitChoice = 1,       /* the camera's code of one of its choices or states;
                                     brxsdk_format_value names it where the library knows
                                     the name ("Spot", "Continuous", "DNG + JPG", "M"), and
                                     writes the number of a code it has no name for */
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

/* One property, as brxsdk_describe_property gives it. The strings are static. */
typedef struct BRX_SDK_PropertyDescription {
    const char* name;     /* "Aperture": BRX_SDK_PropertyAperture without its prefix */
    int payload;          /* an enum BRX_SDK_PayloadKind */
    unsigned int size;    /* the exact size get and set take; 0 for none and for lists,
                             whose size is a multiple of their element's */
    int access;           /* an enum BRX_SDK_AccessKind */
    int unit;             /* an enum BRX_SDK_Unit */
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

/* The connected camera's identity, from its DeviceInfo dataset. */
typedef struct BRX_SDK_CameraIdentity {
    int productId;          /* the USB product ID, as the init callback gives it */
    char manufacturer[64];  /* NUL-terminated UTF-8, cut to fit; empty when the camera */
    char model[64];         /*   does not say */
    char deviceVersion[64];
    char serialNumber[64];
} BRX_SDK_CameraIdentity;

/* Where the live view looks: the area of the sensor that the frames show and
 * the focus cross, both as fractions of the whole sensor (0.0 left or top,
 * 1.0 right or bottom), the units of property 35 (LiveViewCrossPosGlobal). */
typedef struct BRX_SDK_LiveViewArea {
    int zoomLevel;       /* 1: the whole picture; n: magnified n times */
    double x, y;         /* the shown area's top left corner */
    double width, height;
    double focusX, focusY;
} BRX_SDK_LiveViewArea;

/* ===== Starting and stopping =============================================== */

/* Starts the library (see Lifecycle); initCallback may be null. Host thread:
 * the one that calls it, best the program's main thread. A second call
 * without brxsdk_exit is ignored. Qt delivers no event, in any of the
 * library's threads, without an application object: when the process has no
 * QCoreApplication, the library makes one here (the process's locale stays
 * as the host set it) and brxsdk_exit deletes it. A Qt host creates its own
 * before brxsdk_init; one made while the library's exists is left alone at
 * brxsdk_exit, which then leaves the library's undeleted. */
BRX_SDK_EXPORT void brxsdk_init(BRX_SDK_InitCallback initCallback, void* context);

/* Stops the library: the connection is dropped without an init callback,
 * downloads in flight are waited for (their records may still reach the frame
 * callback meanwhile, from library threads) and, once it returns, no callback
 * is called any more (it waits at most 5 s for the library's threads). Host
 * thread, not inside a callback. */
BRX_SDK_EXPORT void brxsdk_exit(void);

/* For a host that runs no Qt event loop: delivers the library's events in the
 * host thread, calling the init and changes callbacks from inside. Returns as
 * soon as it has called at least one of them, or once timeoutMs milliseconds
 * have passed (0: only what is waiting already). The result is how many it
 * called; -1 (with a log line) before brxsdk_init, from another thread or
 * from inside a callback. A Qt host whose thread runs an event loop needs no
 * calls. */
BRX_SDK_EXPORT int brxsdk_process_events(int timeoutMs);

/* Registers the changes callback (null: none). Host thread; cleared at every
 * disconnection. */
BRX_SDK_EXPORT void brxsdk_set_changes_callback(BRX_SDK_ChangesCallback callback, void* context);

/* Registers the frame callback (null: none) with the connected camera; without
 * a camera it is not kept. Cleared at every disconnection. Any thread, best
 * from the init callback, before any download or live view. */
BRX_SDK_EXPORT void brxsdk_set_frame_callback(BRX_SDK_FrameCallback callback, void* context);

/* ===== Properties ========================================================== */

/* Reads property into data; size must be the payload's size. False, with a
 * log line, without a camera, for a number that cannot be read or a wrong
 * size, and for a value the camera has not told yet (it did not answer when
 * asked; see Notifications): data is then left as it was. Any thread. */
BRX_SDK_EXPORT bool brxsdk_get_property(int property, void* data, unsigned int size);

/* Writes property from data, in the calling thread, and returns once the
 * camera has answered (33 to 37: once posted); see "What a set's result
 * means" above. Any thread. */
BRX_SDK_EXPORT bool brxsdk_set_property(int property, const void* data, unsigned int size);

/* Performs a command property (24, 25, 36): brxsdk_set_property(property,
 * NULL, 0). Any thread. */
BRX_SDK_EXPORT bool brxsdk_command(int property);

/* Posts the set to the library's controller thread and returns at once:
 * true once posted (also for a number the controller then refuses in its
 * log); sets and captures posted from one thread are done in posting order.
 * data is copied. Any thread. */
BRX_SDK_EXPORT bool brxsdk_set_property_queued(int property, const void* data, unsigned int size);

/* Posts a command property: brxsdk_set_property_queued(property, NULL, 0). */
BRX_SDK_EXPORT bool brxsdk_command_queued(int property);

/* ===== Releasing the shutter =============================================== */

/* Each posts to the controller thread and returns at once; any thread.
 * brxsdk_capture is a press and a letting go. What a press does follows the
 * drive mode (13), exposure mode (0; in bulb a press opens and the next one
 * closes a time exposure) and mirror-up mode (19). The pictures arrive at the
 * frame callback. */
BRX_SDK_EXPORT void brxsdk_capture(void);
BRX_SDK_EXPORT void brxsdk_capture_pressed(void);
BRX_SDK_EXPORT void brxsdk_capture_released(void);

/* Asks the library to give the camera back (its own auto power-off and
 * storage restored) and close the connection; the init callback then reports
 * the disconnection. The library connects that camera again only once it has
 * been unplugged (or switched off) and comes back. Any thread. */
BRX_SDK_EXPORT void brxsdk_request_close(void);

/* Extension: switches the end-of-release record on (true) or off (false, the
 * default, so that hosts that do not ask see no new record). When on, each
 * release (a press of the shutter, or a picture taken on the camera's own body)
 * ends with one record BRX_SDK_FrameReleaseEnd at the frame callback, carrying
 * the number of files it delivered:
 * - after its last file's own record, in the same thread, once every file the
 *   camera had waiting has arrived; a continuous series only once stopped;
 * - or, for a release that gave no (further) file, once the camera has been
 *   quiet for 10 s (plus twice the exposure time after a long exposure).
 * Releases that overlap (a press before the last one's files have arrived)
 * share one record. A disconnection ends a release without one. A camera
 * that announces the pictures of one release one by one, more slowly than they
 * download, ends a release with each of them. The switch holds for every
 * connection until brxsdk_exit. False before brxsdk_init. Any thread. */
BRX_SDK_EXPORT bool brxsdk_set_want_release_end(bool want);

/* ===== Descriptions and texts ==============================================
 *
 * These take and give plain C types only, from any thread, also before
 * brxsdk_init. Names and texts of a camera's own choices (white-balance
 * presets, drive modes, file formats) need the connected camera; without one
 * such a value reads as its number. */

/* Fills out with the description of property. False (out unchanged) for a
 * number outside 0 .. BRX_SDK_PROPERTY_COUNT - 1 or a null out. */
BRX_SDK_EXPORT bool brxsdk_describe_property(int property, BRX_SDK_PropertyDescription* out);

/* Writes the text of a payload of property into text, NUL-terminated UTF-8:
 * "f/5.6", "1/125 s", "+0.7 EV", "Auto ISO", "Daylight", "5200 K",
 * "infinity", "on", "50%, 50%". Pairs and lists give their elements separated
 * by ", " ("f/2.8, f/4, f/5.6"), ranges (int pairs) as "5 frames to 9999
 * frames"; a property without payload gives an empty text. size must be the
 * payload's size (a multiple of the element's size for lists). False, with
 * an empty text where textSize allows, for an unknown property, a size that
 * does not fit, null pointers, or a text longer than textSize - 1 bytes. */
BRX_SDK_EXPORT bool brxsdk_format_value(int property, const void* data, unsigned int size, char* text,
                                        unsigned int textSize);

/* Reads text into a payload of property; *written receives its size in
 * bytes. Accepted, in this order: a choice of the connected camera as
 * brxsdk_format_value writes it, where case, blanks, a leading "+" and the
 * unit do not matter ("f/5.6", "5.6", "+0.7 EV", "0.7", "Auto ISO", "auto",
 * "daylight", "DNG + JPG"); a value in the property's unit ("1/125 s",
 * "30 s", "2 min", "B", "+0.5 EV", "ISO 400", "5200 K", "1.5 m", "infinity",
 * "85%", "on", "off"); a bare number, which is the payload's own value (for
 * property 7, milli-EV: "-667"). Pairs and lists take their elements
 * separated by commas ("50%, 25%"). False for an unknown property, a text it
 * cannot read, a value an int cannot hold, null pointers, or a size smaller
 * than the payload. The value is not checked against the camera's choices:
 * brxsdk_get_choices gives them. */
BRX_SDK_EXPORT bool brxsdk_parse_value(int property, const char* text, void* data, unsigned int size,
                                       unsigned int* written);

/* The values the connected camera offers for property, as n elements of the
 * property's payload type one after the other (int 4 bytes, double 8 bytes,
 * bool 1 byte), in the camera's order. For a value list, and for a property
 * whose listProperty carries an int or double list, that list as last
 * notified: call it once brxsdk_is_initial_state_delivered is true. Otherwise
 * the library's own table of the setting (exposure and focus modes, metering,
 * drive mode, bracketing pictures, file format, white-balance presets followed
 * by the colour temperatures in kelvin, interval frames and times), or off
 * and on. Interval frames and times (41, 43) take any whole number within
 * their range (40, 42) as well: a camera with intervals of its own takes the
 * nearest of these choices, the library's emulation the number itself.
 * *written receives the size the choices take. False with *written 0 when the
 * property has no fixed choices (its values are free within the camera's
 * range: focus distance, the focus cross) or no camera is connected; false
 * with *written set when size is too small. */
BRX_SDK_EXPORT bool brxsdk_get_choices(int property, void* data, unsigned int size, unsigned int* written);

/* True once the whole initial state of the connected camera (its burst of
 * notifications after the init callback on every connection) has been
 * handed to the changes callback; false without a camera. Host thread. */
BRX_SDK_EXPORT bool brxsdk_is_initial_state_delivered(void);

/* Fills out for the connected camera. False without a camera or a null out. */
BRX_SDK_EXPORT bool brxsdk_get_camera_identity(BRX_SDK_CameraIdentity* out);

/* Fills out with the area of the latest live-view frame. False without a
 * camera, before the first frame that carried its area since live view
 * started, or for a null out. */
BRX_SDK_EXPORT bool brxsdk_get_live_view_area(BRX_SDK_LiveViewArea* out);

/* ===== Diagnostics and the virtual camera ================================== */

/* Switches debug-log message groups on (enable true) or off; the log goes to
 * the log callback, or without one to Qt's debug output (standard error).
 * brxsdk_init switches all groups off: call it after brxsdk_init. Messages of
 * flag 0 (errors, main events) are always shown. Any thread. */
BRX_SDK_EXPORT void brxsdk_set_debug_flags(unsigned int flags, bool enable);

/* Hands every line of the library's log to callback(context, line) instead of
 * Qt's debug output; NULL goes back to Qt's debug output (standard error),
 * the default. line is one whole line of NUL-terminated UTF-8 without its
 * line end ("BRX_Logic_Controller::setProperty() - no camera"), valid only
 * during the call. The callback runs in the thread that writes the line: the
 * host thread or any of the library's, one line at a time, in the order they
 * were written; it holds up that thread and every other that logs meanwhile,
 * so hand the line on and return. It must not wait for another thread that
 * may log; a line the library writes from inside the callback's own thread is
 * dropped. Once this function returns, the previous callback is not called
 * again. Any thread, at any time, before brxsdk_init too; it holds until
 * changed, across brxsdk_exit. */
BRX_SDK_EXPORT void brxsdk_set_log_callback(BRX_SDK_LogCallback callback, void* context);

/* Call before brxsdk_init to work a built-in virtual camera of productId
 * (0x2009, 0x2011, 0x2021, 0x2031, 0x2041, 0x2051 or 0x2061) instead of USB
 * hardware; it starts plugged in. 0 goes back to USB hardware. False for an
 * unsupported product or when the library is already initialised. */
BRX_SDK_EXPORT bool brxsdk_use_virtual_camera(int productId);

/* Call after brxsdk_use_virtual_camera and before brxsdk_init: the virtual
 * camera keeps its settings between runs, as a camera does, in a small file
 * of its own under folder (NUL-terminated UTF-8, made when missing), one per
 * product and serial number ("virtual-camera-0x2031-VC00002031.state"). It
 * starts with the settings the file holds, or, with startAfresh or without
 * the file, with those of its power-on; each change (by the host or on its
 * body) is written there. A line of the file the camera would not take is
 * left out. NULL keeps nothing (the default). False, with a log line, before
 * brxsdk_use_virtual_camera or once the library is initialised. */
BRX_SDK_EXPORT bool brxsdk_keep_virtual_camera_state(const char* folder, bool startAfresh);

/* Plugs the virtual camera in (true) or pulls it out (false). False when no
 * virtual camera is in use. Any thread. */
BRX_SDK_EXPORT bool brxsdk_set_virtual_camera_connected(bool connected);

/* The shutter pressed on the virtual camera's own body, as a photographer
 * shooting tethered does it: the picture's files go to the camera's card and,
 * while it is plugged in, are downloaded like any other picture. False when
 * no virtual camera is in use. Any thread. */
BRX_SDK_EXPORT bool brxsdk_press_virtual_camera_shutter(void);

/* A setting changed on the virtual camera's own body, as a photographer
 * turning a dial does it: the device property propertyCode (its PTP code, on
 * the products that describe their settings as device properties: 0x2031,
 * 0x2041, 0x2061) takes value and the camera reports the change. False when
 * no virtual camera is in use or it has no such property. Any thread. */
BRX_SDK_EXPORT bool brxsdk_change_virtual_camera_property(uint32_t propertyCode, int64_t value);

/* ===== A camera on the network ============================================= */

/* Call before brxsdk_init to tether a camera over the network (PTP over
 * TCP/IP, by Wi-Fi or Ethernet) instead of one on USB or the virtual camera.
 * hostAndPort, NUL-terminated UTF-8, is "host" or "host:port", an IPv6
 * address in brackets ("[fe80::1]:15740"); without a port the standard's
 * 15740 is used. The library connects to the address at once and, while
 * nobody answers there, again every second; it recognises the camera by the
 * model its DeviceInfo names. A camera that closes the connection, breaks the
 * protocol or falls silent is disconnected as if unplugged (init callback
 * with false) and connected again once it answers; so is one that keeps any
 * answer going past its bound (each packet within the 5 s progress limit,
 * each data phase within that limit plus its size at 64 kB/s, no more than
 * 16 probes or empty data packets in one answer), so that no camera or
 * network holds a call for long. NULL or "" goes back to
 * USB. False for a text that is no address, or when the library is already
 * initialised (the choice is then unchanged). The text is copied. */
BRX_SDK_EXPORT bool brxsdk_use_network_camera(const char* hostAndPort);

/* ===== Several cameras on one machine ====================================== */

/* A process tethers one camera; several processes tether several, each
 * naming its own. Call before brxsdk_init: from then on the library opens
 * only a camera that selector (NUL-terminated UTF-8, copied) names, and
 * leaves every other alone (it opens no session with it, claims nothing and
 * logs nothing about it), so that another process can tether it:
 *   "serial:SERIAL" or a bare "SERIAL"  the camera with that USB serial number
 *                                      (printable ASCII, no blanks), in
 *                                      whichever socket it is;
 *   "usb:BUS-PORT[.PORT...]"           the camera in that socket ("usb:1-2.3":
 *                                      bus 1, port 3 of the hub in port 2),
 *                                      whichever camera it is; the port path
 *                                      stays the same across replugs into
 *                                      the same socket;
 *   "product:0xPPPP"                   the first camera of that product ID.
 * While the camera is absent the library waits for it; one that another
 * program holds is reported once and taken when that program lets it go.
 * brxsdk_list_cameras tells each camera's serial number and port. NULL or ""
 * goes back to any camera (the default). It holds for the virtual camera too
 * (its serial number is the one it was given, its port "virtual:0xPPPP").
 * False, the choice unchanged, for a selector that does not parse (with a log
 * line naming the accepted forms) or when the library is already
 * initialised. Any thread. */
BRX_SDK_EXPORT bool brxsdk_select_camera(const char* selector);

/* One camera on USB as brxsdk_list_cameras finds it. */
typedef struct BRX_SDK_CameraListing {
    int productId;          /* the USB product ID */
    char model[64];         /* NUL-terminated UTF-8 from the device's product string, */
    char serialNumber[64];  /*   and its serial number; empty when it has none or   */
                            /*   cannot be opened (no permission)                  */
    char port[64];          /* its socket, "usb:BUS-PORT[.PORT...]", as
                             * brxsdk_select_camera takes it; "virtual:0xPPPP"
                             * for the virtual camera */
    bool inUse;             /* a program holds it: another process tethering it,
                             * or this one */
} BRX_SDK_CameraListing;

/* Lists every supported camera on USB, whatever the selector: the virtual
 * camera when one is in use (brxsdk_use_virtual_camera), else those on the
 * bus. It reads their device and string descriptors only: it claims no
 * camera and opens no session, so that listing never disturbs a camera
 * another process tethers. Fills cameras[0] to cameras[capacity - 1] in the
 * order the system enumerates them and sets *count to the number of cameras
 * found, which may be more than capacity (call again with room for all).
 * cameras may be NULL with capacity 0, to count them. False for a NULL
 * count, or NULL cameras with capacity above 0. Blocks briefly. Any thread, before brxsdk_init too. */
BRX_SDK_EXPORT bool brxsdk_list_cameras(BRX_SDK_CameraListing* cameras, unsigned int capacity, unsigned int* count);

/* As brxsdk_use_virtual_camera, and the virtual camera carries serialNumber
 * (NUL-terminated ASCII, 1 to 32 letters, digits, '.', '-' or '_', not
 * starting with '.'; copied) in its DeviceInfo, its pictures' metadata and
 * its listing, so that several virtual cameras of one product are told
 * apart and each keeps its own settings (brxsdk_keep_virtual_camera_state).
 * NULL or "": the product's own serial number. False for an unsupported
 * product, a serial number of another form, or once the library is
 * initialised. */
BRX_SDK_EXPORT bool brxsdk_use_virtual_camera_with_serial(int productId, const char* serialNumber);

/* Whether the camera selector (brxsdk_select_camera) names camera, one that
 * brxsdk_list_cameras gave: true for every camera without a selector. False
 * for a NULL camera. Any thread, before brxsdk_init too. */
BRX_SDK_EXPORT bool brxsdk_is_camera_selected(const BRX_SDK_CameraListing* camera);

/* Copies the connected camera's socket, "usb:BUS-PORT[.PORT...]" as
 * brxsdk_list_cameras and brxsdk_select_camera have it, into port
 * (NUL-terminated, cut to size); "" for a camera on the network and for the
 * virtual camera in this process. False without a connected camera, for a
 * NULL port or a size of 0. Any thread but from inside a callback. */
BRX_SDK_EXPORT bool brxsdk_get_camera_port(char* port, unsigned int size);

/* Whether the library is waiting for a camera that another program holds:
 * the camera discovery found for this process (the selected one, when a
 * selector is set) could not be claimed because another program claimed it
 * first. The library takes it once that program lets it go. When true, its
 * socket goes to port (NUL-terminated, cut to size; port may be NULL with
 * size 0). False once it is taken, gone, or when no camera is held elsewhere.
 * Any thread. */
BRX_SDK_EXPORT bool brxsdk_get_camera_held_elsewhere(char* port, unsigned int size);

/* ===== The camera's card ===================================================
 *
 * The pictures stored on the connected camera's card, whether taken while
 * tethered or not: listed, fetched, thumbnails, deleted, and the card's room.
 * Each call talks to the camera in transactions of its own, between which the
 * pictures of a tethered shoot go on downloading; none of them is lost to a
 * card operation. Any thread but from inside a callback; each returns when
 * done. All are false without a connected camera. */

/* One file on the card. */
typedef struct BRX_SDK_CardFile {
    uint32_t id;           /* names the file in the calls below while the camera stays connected */
    char name[64];         /* the camera's file name, NUL-terminated UTF-8 ("BRX_0001.JPG"); a plain
                              file name as in record 8 (BRX_SDK_FrameQuickViewFileName): one that is
                              not is replaced by one of the file's id ("Picture65537.JPG") */
    char folder[64];       /* the camera's folder that holds it ("100BRX"), a plain name likewise;
                              empty at the card's root */
    uint64_t size;         /* bytes */
    char captured[20];     /* capture date and time on the camera's clock, "2026-05-01 08:01:37";
                              empty where the camera gives none */
    uint16_t format;       /* PTP object format as the camera gives it: 0x3801 JPEG, 0x3802 TIFF (the
                              DNGs of these cameras), 0x3000 undefined */
    bool delivered;        /* the frame callback had the whole file during this connection
                              (a tethered download or brxsdk_deliver_card_file) */
} BRX_SDK_CardFile;

/* The card's room. */
typedef struct BRX_SDK_CardRoom {
    uint64_t capacityBytes;
    uint64_t freeBytes;
    int64_t picturesLeft;  /* the camera's own count of pictures that still fit; -1 where it gives none */
} BRX_SDK_CardRoom;

/* Lists the card now: *count receives the number of files on it, and the
 * first min(capacity, *count) of them go to files, in the camera's order
 * (oldest first on the cameras known). The camera is asked for the details of
 * files not listed before during this connection, one file at a time, so a
 * second listing is quick. False (with *count set) when capacity is too
 * small, or for a null count, or without a camera; false with *count 0 when
 * the camera did not list its card (it refused or did not answer: that says
 * nothing of what the card holds), and the ids of the last listing stay
 * valid. */
BRX_SDK_EXPORT bool brxsdk_list_card(BRX_SDK_CardFile* files, unsigned int capacity, unsigned int* count);

/* Copies the whole file id into buffer; *written receives its size. False
 * (with *written the size needed) when size is too small; false with
 * *written 0 for an id the last listing did not give, or when the camera
 * could not give the whole file. */
BRX_SDK_EXPORT bool brxsdk_download_card_file(uint32_t id, void* buffer, uint64_t size, uint64_t* written);

/* Hands file id to the frame callback as a tethered picture arrives: the
 * record BRX_SDK_FrameFromCard first, then the same records in the same order
 * (quick view when wanted, the start, the picture, or the record of no data),
 * on a thread of the library after the pictures already downloading, never
 * mixed with theirs. Returns at once: true when the id is on the card as last
 * listed. */
BRX_SDK_EXPORT bool brxsdk_deliver_card_file(uint32_t id);

/* Copies the small thumbnail (a JPEG) of file id into buffer; *written
 * receives its size. False as brxsdk_download_card_file, and when the camera
 * has no thumbnail of the file. */
BRX_SDK_EXPORT bool brxsdk_read_card_thumbnail(uint32_t id, void* buffer, unsigned int size,
                                               unsigned int* written);

/* Deletes file id from the card. False, with the reason as NUL-terminated
 * UTF-8 in reason (cut to reasonSize; reason may be NULL): "no camera", "the
 * camera does not offer deletion", "no such file on the card" (not in the
 * last listing) or "the camera refused". */
BRX_SDK_EXPORT bool brxsdk_delete_card_file(uint32_t id, char* reason, unsigned int reasonSize);

/* Reads the card's room now, summed over the camera's cards. False without a
 * camera, for a null out, or when the camera tells none. */
BRX_SDK_EXPORT bool brxsdk_get_card_room(BRX_SDK_CardRoom* out);

/* Switches the record BRX_SDK_FrameCardRoom on (true) or off (false, the
 * default, so that hosts that do not ask see no new record and the camera no
 * extra transactions). When on, the card's room is read again after each
 * picture that reaches the frame callback and after each deletion, and a
 * record goes to the frame callback when it differs from the room the last
 * record told in this connection (the first reading of a connection always
 * does). The switch holds for every connection until brxsdk_exit. False
 * before brxsdk_init. Any thread. */
BRX_SDK_EXPORT bool brxsdk_set_want_card_room(bool want);

/* The virtual camera's card holds count more pictures taken before the host
 * came (small ones, a JPEG each and every third with a DNG beside it, a
 * minute and a half apart from 1 May 2026, 08:00 on), none of them waiting
 * for transfer. False when no virtual camera is in use or count is not
 * positive. Any thread. */
BRX_SDK_EXPORT bool brxsdk_fill_virtual_camera_card(int count);

#ifdef __cplusplus
}
#endif

#endif
