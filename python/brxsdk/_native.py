"""The library's C interface (BRX_SDK_C.h) through ctypes."""

import ctypes
import os

from . import _installed

INIT_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_bool, ctypes.c_int)
CHANGES_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p, ctypes.c_uint)
FRAME_CALLBACK = CHANGES_CALLBACK
LOG_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p)

PROPERTY_COUNT = 44

# enum BRX_SDK_PayloadKind
PAYLOAD_NONE, PAYLOAD_INT, PAYLOAD_BOOL, PAYLOAD_DOUBLE = 0, 1, 2, 3
PAYLOAD_INT_PAIR, PAYLOAD_DOUBLE_PAIR, PAYLOAD_INT_LIST, PAYLOAD_DOUBLE_LIST = 4, 5, 6, 7

# enum BRX_SDK_AccessKind
ACCESS_NONE, ACCESS_READ_WRITE, ACCESS_READ_ONLY, ACCESS_WRITE_ONLY = 0, 1, 2, 3
ACCESS_COMMAND, ACCESS_NOTIFICATION_ONLY = 4, 5

# enum BRX_SDK_Unit (those the package converts)
UNIT_CHOICE, UNIT_MILLI_EV, UNIT_WHITE_BALANCE = 1, 5, 7

# enum BRX_SDK_FrameRecordType
FRAME_ORIENTATION, FRAME_THUMBNAIL, FRAME_START_DNG, FRAME_START_JPG = 0, 1, 2, 3
FRAME_DNG, FRAME_JPG, FRAME_EMPTY, FRAME_FILE_NAME = 4, 5, 6, 8
FRAME_LIVE_VIEW, FRAME_LIVE_VIEW_ZOOM, FRAME_RELEASE_END, FRAME_PICTURE_LOST, FRAME_FROM_CARD = 9, 10, 11, 12, 13
FRAME_RELEASE_REFUSED, FRAME_CARD_ROOM = 14, 15
RESPONSE_STORE_FULL = 0x200C

# Property numbers the package switches or reads itself.
MIRROR_UP_MODE, WANT_QUICK_VIEW, LIVE_VIEW_PHOTO, WANT_LIVE_VIEW = 19, 31, 33, 37


class PropertyDescription(ctypes.Structure):
    _fields_ = [
        ("name", ctypes.c_char_p),
        ("payload", ctypes.c_int),
        ("size", ctypes.c_uint),
        ("access", ctypes.c_int),
        ("unit", ctypes.c_int),
        ("unitName", ctypes.c_char_p),
        ("listProperty", ctypes.c_int),
        ("notified", ctypes.c_bool),
        ("supported", ctypes.c_bool),
    ]


class CameraIdentity(ctypes.Structure):
    _fields_ = [
        ("productId", ctypes.c_int),
        ("manufacturer", ctypes.c_char * 64),
        ("model", ctypes.c_char * 64),
        ("deviceVersion", ctypes.c_char * 64),
        ("serialNumber", ctypes.c_char * 64),
    ]


class CardFile(ctypes.Structure):
    _fields_ = [
        ("id", ctypes.c_uint32),
        ("name", ctypes.c_char * 64),
        ("folder", ctypes.c_char * 64),
        ("size", ctypes.c_uint64),
        ("captured", ctypes.c_char * 20),
        ("format", ctypes.c_uint16),
        ("delivered", ctypes.c_bool),
    ]


class CardRoom(ctypes.Structure):
    _fields_ = [
        ("capacityBytes", ctypes.c_uint64),
        ("freeBytes", ctypes.c_uint64),
        ("picturesLeft", ctypes.c_int64),
    ]


class CameraListing(ctypes.Structure):
    _fields_ = [
        ("productId", ctypes.c_int),
        ("model", ctypes.c_char * 64),
        ("serialNumber", ctypes.c_char * 64),
        ("port", ctypes.c_char * 64),
        ("inUse", ctypes.c_bool),
    ]


_b, _i, _u, _v, _p = ctypes.c_bool, ctypes.c_int, ctypes.c_uint, ctypes.c_void_p, ctypes.c_char_p
_PROTOTYPES = {
    "brxsdk_init": (None, [INIT_CALLBACK, _v]),
    "brxsdk_exit": (None, []),
    "brxsdk_process_events": (_i, [_i]),
    "brxsdk_set_changes_callback": (None, [CHANGES_CALLBACK, _v]),
    "brxsdk_set_frame_callback": (None, [FRAME_CALLBACK, _v]),
    "brxsdk_get_property": (_b, [_i, _v, _u]),
    "brxsdk_set_property": (_b, [_i, _v, _u]),
    "brxsdk_command": (_b, [_i]),
    "brxsdk_capture": (None, []),
    "brxsdk_set_want_release_end": (_b, [_b]),
    "brxsdk_set_want_card_room": (_b, [_b]),
    "brxsdk_describe_property": (_b, [_i, ctypes.POINTER(PropertyDescription)]),
    "brxsdk_format_value": (_b, [_i, _v, _u, _p, _u]),
    "brxsdk_parse_value": (_b, [_i, _p, _v, _u, ctypes.POINTER(_u)]),
    "brxsdk_get_choices": (_b, [_i, _v, _u, ctypes.POINTER(_u)]),
    "brxsdk_is_initial_state_delivered": (_b, []),
    "brxsdk_get_camera_identity": (_b, [ctypes.POINTER(CameraIdentity)]),
    "brxsdk_use_virtual_camera": (_b, [_i]),
    "brxsdk_use_virtual_camera_with_serial": (_b, [_i, _p]),
    "brxsdk_select_camera": (_b, [_p]),
    "brxsdk_list_cameras": (_b, [ctypes.POINTER(CameraListing), _u, ctypes.POINTER(_u)]),
    "brxsdk_is_camera_selected": (_b, [ctypes.POINTER(CameraListing)]),
    "brxsdk_get_camera_port": (_b, [_p, _u]),
    "brxsdk_get_camera_held_elsewhere": (_b, [_p, _u]),
    "brxsdk_set_virtual_camera_connected": (_b, [_b]),
    "brxsdk_press_virtual_camera_shutter": (_b, []),
    "brxsdk_use_network_camera": (_b, [_p]),
    "brxsdk_set_log_callback": (None, [LOG_CALLBACK, _v]),
    # The camera's card.
    "brxsdk_list_card": (_b, [ctypes.POINTER(CardFile), _u, ctypes.POINTER(_u)]),
    "brxsdk_download_card_file": (_b, [ctypes.c_uint32, _v, ctypes.c_uint64, ctypes.POINTER(ctypes.c_uint64)]),
    "brxsdk_read_card_thumbnail": (_b, [ctypes.c_uint32, _v, _u, ctypes.POINTER(_u)]),
    "brxsdk_delete_card_file": (_b, [ctypes.c_uint32, _p, _u]),
    "brxsdk_get_card_room": (_b, [ctypes.POINTER(CardRoom)]),
    "brxsdk_fill_virtual_camera_card": (_b, [_i]),
}

_library = None


def library_path():
    """$BRXSDK_LIBRARY, else the library installed with this package, else
    libbrxsdk.so.1 as the dynamic loader finds it (LD_LIBRARY_PATH, the
    system's directories)."""
    if os.environ.get("BRXSDK_LIBRARY"):
        return os.environ["BRXSDK_LIBRARY"]
    if _installed.LIBRARY:
        beside = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), _installed.LIBRARY))
        if os.path.exists(beside):
            return beside
    return "libbrxsdk.so.1"


def library():
    """The loaded library, from library_path()."""
    global _library
    if _library is None:
        lib = ctypes.CDLL(library_path())
        for name, (restype, argtypes) in _PROTOTYPES.items():
            function = getattr(lib, name)
            function.restype = restype
            function.argtypes = argtypes
        _library = lib
    return _library
