"""One tethered camera, through the library's C interface."""

import atexit
import collections
import ctypes
import logging
import os
import queue
import re
import struct
import time

from . import _native as n


class Error(Exception):
    """A request that the library or the camera refused, with the reason."""


_ELEMENT = {
    n.PAYLOAD_INT: "i", n.PAYLOAD_BOOL: "?", n.PAYLOAD_DOUBLE: "d",
    n.PAYLOAD_INT_PAIR: "i", n.PAYLOAD_DOUBLE_PAIR: "d",
    n.PAYLOAD_INT_LIST: "i", n.PAYLOAD_DOUBLE_LIST: "d",
}
# The kind of one element of pairs and lists.
_ELEMENT_KIND = {
    n.PAYLOAD_INT_PAIR: n.PAYLOAD_INT, n.PAYLOAD_DOUBLE_PAIR: n.PAYLOAD_DOUBLE,
    n.PAYLOAD_INT_LIST: n.PAYLOAD_INT, n.PAYLOAD_DOUBLE_LIST: n.PAYLOAD_DOUBLE,
}
_READABLE = (n.ACCESS_READ_WRITE, n.ACCESS_READ_ONLY)
_WRITABLE = (n.ACCESS_READ_WRITE, n.ACCESS_WRITE_ONLY, n.ACCESS_COMMAND)
# In the order of BRX_SDK_AccessKind.
_ACCESS_NAMES = ("reserved", "read-write", "read-only", "write-only", "command", "notification only")
_EXTENSIONS = {n.FRAME_DNG: ".DNG", n.FRAME_JPG: ".JPG"}
_SLICE_S = 0.05
# With mirror-up on a picture takes two releases this far apart: the first
# raises the mirror, the second exposes.
_MIRROR_UP_PAUSE_S = 0.3
# How long a set waits for the camera to hold the value asked for.
_ANSWER_S = 1.0
# A camera's file name is cut to this many characters.
_MAX_NAME_LENGTH = 100
_LOG = logging.getLogger("brxsdk")


class _Property:
    """One numbered property as the library describes it."""

    def __init__(self, number, description):
        self.number = number
        self.name = description.name.decode()
        self.payload = description.payload
        self.size = description.size
        self.access = description.access
        self.unit = description.unit
        self.unit_name = description.unitName.decode()
        self.list_property = description.listProperty
        self.supported = description.supported


def list_cameras():
    """Every camera on USB (or the virtual camera in use), read from their
    descriptors without disturbing one another process tethers: a list of
    dicts with product_id, model, serial, port ("usb:1-2", what select takes
    as "usb:1-2") and in_use (a program holds it)."""
    lib = n.library()
    count = ctypes.c_uint(0)
    cameras = (n.CameraListing * 0)()
    while lib.brxsdk_list_cameras(cameras, len(cameras), ctypes.byref(count)) and count.value > len(cameras):
        cameras = (n.CameraListing * count.value)()
    return [{"product_id": c.productId, "model": c.model.decode(), "serial": c.serialNumber.decode(),
             "port": c.port.decode(), "in_use": c.inUse} for c in cameras[:count.value]]


class Camera:
    """A camera connected through the library; a context manager.

    with brxsdk.Camera(virtual=0x2011) as cam:   # or Camera() for USB,
                                                 # Camera(network="192.168.1.10")
        cam.set("Aperture", 5.6)
        print(cam.capture("pictures"))

    Values are in photographers' units: f-numbers, seconds (-1.0 is bulb),
    EV (not milli-EV), ISO (0 is automatic), metres, kelvin, True/False, and
    the camera's names of its choices ("Spot", "DNG + JPG", "Daylight"). set
    also takes the texts photographers write ("f/8", "1/125 s", "+0.7 EV").

    With several cameras on the bus, select names the one to tether and
    leaves the others alone: "serial:SERIAL" (or a bare serial number),
    "usb:BUS-PORT[.PORT...]" (a socket) or "product:0xPPPP"; list_cameras()
    tells them. virtual_serial gives the virtual camera a serial number of
    its own.

    The library works one camera at a time. Use a Camera from the thread that
    opened it; callbacks given to on_change run in that thread, inside the
    methods that wait (wait, capture, pictures, liveview).
    """

    _open = None

    def __init__(self, virtual=None, network=None, timeout=10.0, select=None, virtual_serial=None, card=0):
        if Camera._open is not None:
            raise Error("a camera is open already: the library works one at a time")
        self._lib = n.library()
        if virtual is not None and not self._lib.brxsdk_use_virtual_camera_with_serial(
                virtual, virtual_serial.encode() if virtual_serial else None):
            raise Error("no virtual camera of product 0x%04X%s" % (
                virtual, " with serial number %r" % virtual_serial if virtual_serial else ""))
        if virtual is not None and card:
            self._lib.brxsdk_fill_virtual_camera_card(card)
        if select is not None and not self._lib.brxsdk_select_camera(select.encode()):
            self._forget_choices(virtual is not None, False)
            raise Error("%r names no camera: a camera is named by serial:SERIAL (or a bare SERIAL), "
                        "usb:BUS-PORT[.PORT...] or product:0xPPPP" % select)
        if network is not None and not self._lib.brxsdk_use_network_camera(network.encode()):
            self._forget_choices(virtual is not None, select is not None)
            raise Error("%r is no network address" % network)
        self._virtual = virtual is not None
        self._network = network is not None
        self._select = select is not None
        self.product_id = 0
        self._connected = False
        self._live_view = False
        self._changes = collections.deque()
        self._last = {}
        self._listeners = []
        self._rooms = collections.deque()
        self._room_listeners = []
        self._records = queue.SimpleQueue()
        self._frames = collections.deque(maxlen=4)
        self._name = None
        self._unnamed = 0
        self._properties = []
        # Kept as long as the library may call them.
        self._callbacks = (n.INIT_CALLBACK(self._on_connection), n.CHANGES_CALLBACK(self._on_change),
                           n.FRAME_CALLBACK(self._on_frame), n.LOG_CALLBACK(_on_log))
        self._lib.brxsdk_set_log_callback(self._callbacks[3], None)
        self._lib.brxsdk_init(self._callbacks[0], None)
        self._lib.brxsdk_set_want_release_end(True)
        self._lib.brxsdk_set_want_card_room(True)
        Camera._open = self
        try:
            self._wait_for(lambda: self._connected and self._lib.brxsdk_is_initial_state_delivered(), timeout,
                           "no camera connected within %g s" % timeout)
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Lets the camera go and stops the library."""
        if Camera._open is not self:
            return
        self._lib.brxsdk_exit()
        self._lib.brxsdk_set_log_callback(n.LOG_CALLBACK(), None)
        self._forget_choices(self._virtual, self._select)
        if self._network:
            self._lib.brxsdk_use_network_camera(None)
        Camera._open = None

    def _forget_choices(self, virtual, select):
        """The next Camera starts from the library's defaults."""
        if virtual:
            self._lib.brxsdk_use_virtual_camera(0)
        if select:
            self._lib.brxsdk_select_camera(None)

    # --- Values ------------------------------------------------------------

    @property
    def connected(self):
        return self._connected

    @property
    def identity(self):
        """Manufacturer, model, version and serial number, as the camera says,
        and its port ("usb:1-2", what select takes; "" on the network and for
        the virtual camera)."""
        out = n.CameraIdentity()
        port = ctypes.create_string_buffer(64)
        if not self._lib.brxsdk_get_camera_identity(ctypes.byref(out)) \
                or not self._lib.brxsdk_get_camera_port(port, len(port)):
            raise Error("no camera connected")
        return {"manufacturer": out.manufacturer.decode(), "model": out.model.decode(),
                "version": out.deviceVersion.decode(), "serial": out.serialNumber.decode(),
                "port": port.value.decode()}

    @property
    def properties(self):
        """Every property the camera offers, by name: readable ones as read
        now, notified ones (the value lists) as last notified."""
        values = {}
        for prop in self._properties:
            if prop.supported and prop.access in _READABLE:
                values[prop.name] = self.get(prop.name)
            elif prop.supported and prop.number in self._last:
                values[prop.name] = self._value(prop, self._last[prop.number])
        return values

    def get(self, name):
        prop = self._property(name)
        if prop.access not in _READABLE:
            raise Error("%s cannot be read" % prop.name)
        buffer = ctypes.create_string_buffer(prop.size)
        if not self._lib.brxsdk_get_property(prop.number, buffer, prop.size):
            raise Error("%s could not be read from the camera" % prop.name)
        return self._value(prop, buffer.raw)

    def set(self, name, value=None):
        """Sets a property (a command takes no value); raises Error with the
        reason, worded as tether words it, when the value is refused or the
        camera does not take it. The camera holds the value (or the nearest
        one it offers) when set returns."""
        prop = self._property(name)
        if prop.access not in _WRITABLE:
            raise Error("%s cannot be set: it is %s" % (prop.name, _ACCESS_NAMES[prop.access]))
        if not prop.supported:
            raise Error("this camera does not offer %s" % prop.name)
        if prop.access == n.ACCESS_COMMAND:
            if value is not None:
                raise Error("%s is a command and takes no value" % prop.name)
            if not self._lib.brxsdk_command(prop.number):
                raise Error("the camera did not take %s" % prop.name)
            return
        payload = self._payload(prop, value)
        self._check_value(prop, payload)
        if not self._lib.brxsdk_set_property(prop.number, payload, len(payload)):
            held = self.get(prop.name) if prop.access in _READABLE else None
            kept = "" if held is None else "; it holds %s" % self.text(prop.name, held)
            raise Error("the camera did not take %s = %s%s" % (prop.name, self._text(prop, payload), kept))
        if prop.access in _READABLE:
            self._confirm(prop, payload)

    def choices(self, name):
        """The values the camera offers for a property, in its order."""
        prop = self._property(name)
        element = _ELEMENT_KIND.get(prop.payload, prop.payload)
        return [self._value(prop, raw, element) for raw in self._choice_payloads(prop)]

    def text(self, name, value):
        """The photographers' text of a value: text("ShutterTime", 0.008) is "1/125 s"."""
        prop = self._property(name)
        return self._text(prop, self._payload(prop, value))

    def on_change(self, callback):
        """callback(name, value) for every change the camera reports, from
        the methods that wait, in the camera's thread."""
        self._listeners.append(callback)

    # --- Shooting ----------------------------------------------------------

    def capture(self, out_dir, timeout=30.0):
        """Takes one picture (releasing twice with mirror-up on: the first
        raises the mirror) and saves the release's files in out_dir under
        the camera's names; returns their paths when the last arrived."""
        os.makedirs(out_dir, exist_ok=True)
        saved = []
        mirror_up = self._is_mirror_up_on()
        self._lib.brxsdk_capture()
        if mirror_up:
            self.wait(_MIRROR_UP_PAUSE_S)
            self._lib.brxsdk_capture()
        deadline = time.monotonic() + timeout
        while True:
            for record, path in self._save_records(out_dir):
                if record == n.FRAME_RELEASE_END:
                    if not saved:
                        raise Error("the camera took no picture")
                    return saved
                saved.append(path)
            self._pump_until(deadline, "no picture arrived within %g s" % timeout)

    def pictures(self, out_dir, timeout=None):
        """Tethered shooting: yields the path of each file saved in out_dir
        as pictures taken on the camera arrive; ends after timeout seconds
        without a file (None: never). Raises Error for a file that could not
        be downloaded, or that the camera's card no longer held when the
        camera came back after going away."""
        os.makedirs(out_dir, exist_ok=True)
        deadline = None if timeout is None else time.monotonic() + timeout
        while deadline is None or time.monotonic() < deadline:
            for record, path in self._save_records(out_dir):
                if record != n.FRAME_RELEASE_END:
                    yield path
                    deadline = None if timeout is None else time.monotonic() + timeout
            self._pump(_SLICE_S)

    # --- The card ------------------------------------------------------------

    def files(self):
        """The files on the camera's card, newest last, each a dict: id, name,
        folder, size (bytes), captured ("2026-05-01 08:01:37", "" when the
        camera gives none), format (PTP object format), delivered (the host
        had it during this connection). Error without a camera, or when the
        camera did not list its card (it refused or did not answer)."""
        count = ctypes.c_uint(0)
        files = (n.CardFile * _CARD_LISTING)()
        while not self._lib.brxsdk_list_card(files, len(files), ctypes.byref(count)):
            if count.value <= len(files):
                raise Error("no camera connected, or the camera did not list its card")
            files = (n.CardFile * count.value)()
        return [_card_file(file) for file in files[:count.value]]

    @property
    def card_room(self):
        """capacity and free bytes of the card, and the camera's count of
        pictures left (None when it gives none); None when the camera tells
        nothing."""
        room = n.CardRoom()
        if not self._lib.brxsdk_get_card_room(ctypes.byref(room)):
            return None
        return _room(room)

    def on_card_room(self, callback):
        """callback(room), room as card_room gives it, each time the card's
        room changes (a picture stored, a file deleted), from the methods
        that wait, in the camera's thread."""
        self._room_listeners.append(callback)

    def download(self, file, out_dir):
        """Saves a file of the card (a dict of files() or its name) in
        out_dir under its camera's name, never over an existing file;
        returns the path."""
        file = self._card_file(file)
        buffer = ctypes.create_string_buffer(file["size"])
        written = ctypes.c_uint64(0)
        if not self._lib.brxsdk_download_card_file(file["id"], buffer, file["size"], ctypes.byref(written)):
            raise Error("%s could not be read from the card" % file["name"])
        os.makedirs(out_dir, exist_ok=True)
        name, extension = os.path.splitext(_safe_name(file["name"]) or self._file_name())
        return self._write(out_dir, name, extension, buffer.raw[:written.value])

    def thumbnail(self, file):
        """The small thumbnail (JPEG bytes) of a file of the card."""
        file = self._card_file(file)
        buffer = ctypes.create_string_buffer(_THUMBNAIL_ROOM)
        written = ctypes.c_uint(0)
        if not self._lib.brxsdk_read_card_thumbnail(file["id"], buffer, len(buffer), ctypes.byref(written)):
            raise Error("the camera gives no thumbnail of %s" % file["name"])
        return buffer.raw[:written.value]

    def delete(self, file):
        """Deletes a file from the card; Error says why the camera did not."""
        file = self._card_file(file)
        reason = ctypes.create_string_buffer(128)
        if not self._lib.brxsdk_delete_card_file(file["id"], reason, len(reason)):
            raise Error("%s not deleted: %s" % (file["name"], reason.value.decode()))

    def _card_file(self, file):
        if isinstance(file, dict):
            return file
        for listed in self.files():
            if listed["name"] == file:
                return listed
        raise Error("there is no file %r on the card" % file)

    def liveview(self):
        """Yields live-view frames (JPEG bytes) until the loop is left."""
        if not self._property("WantLiveView").supported:
            raise Error("the camera has no live view")
        self._live_view = True
        self._switch_live_view(True)
        try:
            while True:
                while self._frames:
                    yield self._frames.popleft()
                self._pump(_SLICE_S)
        finally:
            self._live_view = False
            self._switch_live_view(False)

    def wait(self, seconds, until=None):
        """Lets the library deliver events (and on_change callbacks) for the
        given seconds, or until until() is true; returns whether it is."""
        deadline = time.monotonic() + seconds
        while not (until and until()) and time.monotonic() < deadline:
            self._pump(min(_SLICE_S, max(0.0, deadline - time.monotonic())))
        return bool(until and until())

    # --- The virtual camera ------------------------------------------------

    def press_virtual_shutter(self):
        """The shutter pressed on the virtual camera's own body."""
        if not self._lib.brxsdk_press_virtual_camera_shutter():
            raise Error("no virtual camera in use")

    def set_virtual_connected(self, connected):
        """Plugs the virtual camera in or pulls it out."""
        if not self._lib.brxsdk_set_virtual_camera_connected(connected):
            raise Error("no virtual camera in use")

    def wait_connected(self, connected=True, timeout=10.0):
        self._wait_for(lambda: self._connected == connected
                       and (not connected or self._lib.brxsdk_is_initial_state_delivered()),
                       timeout, "the camera did not %s within %g s" % ("connect" if connected else "go", timeout))

    # --- Library callbacks: short, no calls back into Python code of the user

    def _on_connection(self, _context, connected, product_id):
        self._connected = connected
        if not connected:
            return
        self.product_id = product_id
        self._properties = [self._describe(number) for number in range(n.PROPERTY_COUNT)]
        # The library forgets callbacks, quick view and live view with every connection.
        self._lib.brxsdk_set_changes_callback(self._callbacks[1], None)
        self._lib.brxsdk_set_frame_callback(self._callbacks[2], None)
        self._set_bool(n.WANT_QUICK_VIEW, True)
        if self._live_view:
            self._switch_live_view(True)

    def _on_change(self, _context, number, data, size):
        payload = ctypes.string_at(data, size)
        self._last[number] = payload
        self._changes.append((number, payload))

    # Library threads: the record is handed over, nothing else.
    def _on_frame(self, _context, record, data, size):
        payload = ctypes.string_at(data, size) if size else b""
        if record == n.FRAME_LIVE_VIEW:
            self._frames.append(payload)
        elif record in (n.FRAME_FILE_NAME, n.FRAME_DNG, n.FRAME_JPG, n.FRAME_EMPTY, n.FRAME_RELEASE_END,
                        n.FRAME_PICTURE_LOST, n.FRAME_RELEASE_REFUSED):
            self._records.put((record, payload))
        elif record == n.FRAME_CARD_ROOM and size == ctypes.sizeof(n.CardRoom):
            self._rooms.append(_room(n.CardRoom.from_buffer_copy(payload)))

    # --- Inside ------------------------------------------------------------

    def _pump(self, seconds):
        if self._lib.brxsdk_process_events(max(0, int(seconds * 1000))) < 0:
            raise Error("the library's events can only be processed in the thread that opened the camera")
        while self._changes:
            number, payload = self._changes.popleft()
            for listener in list(self._listeners):
                listener(self._properties[number].name, self._value(self._properties[number], payload))
        while self._rooms:
            room = self._rooms.popleft()
            for listener in list(self._room_listeners):
                listener(room)

    def _pump_until(self, deadline, failure):
        if not self._connected:
            raise Error("the camera went away")
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise Error(failure)
        self._pump(min(_SLICE_S, remaining))

    def _wait_for(self, condition, timeout, failure):
        deadline = time.monotonic() + timeout
        while not condition():
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise Error(failure)
            self._pump(min(_SLICE_S, remaining))

    def _save_records(self, out_dir):
        """(record, path) for each file saved and (11, None) for each end of
        a release, from the records that have arrived."""
        while True:
            try:
                record, payload = self._records.get_nowait()
            except queue.Empty:
                return
            if record == n.FRAME_FILE_NAME:
                self._name = payload.decode("latin-1")
            elif record == n.FRAME_EMPTY:
                raise Error("a file of the picture could not be downloaded")
            elif record == n.FRAME_PICTURE_LOST:
                raise Error("the picture %s is lost: the camera came back without it on its card"
                            % payload.decode("latin-1"))
            elif record == n.FRAME_RELEASE_REFUSED:
                code = int.from_bytes(payload, "little", signed=True)
                raise Error("the camera's card is full" if code == n.RESPONSE_STORE_FULL
                            else "the camera refused the release (response 0x%04X)" % code)
            elif record == n.FRAME_RELEASE_END:
                yield record, None
            else:
                yield record, self._write(out_dir, self._file_name(), _EXTENSIONS[record], payload)

    def _file_name(self):
        name = _safe_name(self._name or "")
        if not name:
            self._unnamed += 1
            name = "picture_%04d" % self._unnamed
        return name

    @staticmethod
    def _write(out_dir, name, extension, payload):
        """Never over an existing file: the new one gets -1, -2 ... instead;
        never outside out_dir."""
        for attempt in range(10000):
            path = os.path.join(out_dir, name + ("-%d" % attempt if attempt else "") + extension)
            if not _inside(out_dir, path):
                raise Error("refused to save %r outside %s" % (name + extension, out_dir))
            try:
                with open(path, "xb") as file:
                    file.write(payload)
                return path
            except FileExistsError:
                continue
        raise Error("no free file name for %s%s in %s" % (name, extension, out_dir))

    def _switch_live_view(self, on):
        # The wish first, then the mode; off in the other order.
        for number in (n.WANT_LIVE_VIEW, n.LIVE_VIEW_PHOTO)[::1 if on else -1]:
            self._set_bool(number, on)

    def _set_bool(self, number, on):
        value = ctypes.c_bool(on)
        self._lib.brxsdk_set_property(number, ctypes.byref(value), 1)

    def _describe(self, number):
        out = n.PropertyDescription()
        self._lib.brxsdk_describe_property(number, ctypes.byref(out))
        return _Property(number, out)

    def _is_mirror_up_on(self):
        prop = self._properties[n.MIRROR_UP_MODE]
        return prop.supported and self.get(prop.name) is True

    def _property(self, name):
        for prop in self._properties:
            if prop.name.lower() == str(name).lower() or prop.number == name:
                return prop
        guess = _did_you_mean(str(name), [prop.name for prop in self._properties])
        raise Error("there is no property '%s'%s" % (name, guess or " (tether props lists them)"))

    def _text(self, prop, payload):
        text = ctypes.create_string_buffer(4096)
        self._lib.brxsdk_format_value(prop.number, payload, len(payload), text, len(text))
        return text.value.decode()

    def _value(self, prop, payload, kind=None):
        kind = prop.payload if kind is None else kind
        values = [v / 1000.0 if prop.unit == n.UNIT_MILLI_EV else v
                  for v in struct.unpack("<%d%s" % (len(payload) // struct.calcsize(_ELEMENT[kind]),
                                                    _ELEMENT[kind]), payload)]
        if kind in (n.PAYLOAD_INT_PAIR, n.PAYLOAD_DOUBLE_PAIR):
            return tuple(values)
        if kind in _ELEMENT_KIND:
            return values
        if prop.unit in (n.UNIT_CHOICE, n.UNIT_WHITE_BALANCE):
            return self._choice_value(prop, payload, values[0])
        return values[0] if values else None

    def _choice_value(self, prop, payload, number):
        """The camera's name of a choice; its number where it has none, and
        kelvin for a colour temperature."""
        text = self._text(prop, payload)
        return number if not text or text.lstrip("-").isdigit() or text.endswith(" K") else text

    def _payload(self, prop, value):
        if isinstance(value, str):
            data = ctypes.create_string_buffer(4096)
            written = ctypes.c_uint(0)
            if self._lib.brxsdk_parse_value(prop.number, value.encode(), data, len(data), ctypes.byref(written)):
                return data.raw[:written.value]
        else:
            values = list(value) if isinstance(value, (tuple, list)) else [value]
            if prop.unit == n.UNIT_MILLI_EV:
                values = [round(v * 1000) for v in values]
            try:
                return struct.pack("<%d%s" % (len(values), _ELEMENT[prop.payload]), *values)
            except (struct.error, KeyError, TypeError):
                pass
        valid = [self._text(prop, raw) for raw in self._choice_payloads(prop)]
        guess = _did_you_mean(str(value), valid)
        hint = guess or ("; valid values: " + _value_list(prop.name, valid) if valid else "")
        raise Error("cannot read '%s' as %s (%s)%s" % (value, prop.name, prop.unit_name, hint))

    def _check_value(self, prop, payload):
        """A value the property's range takes is the camera's to round;
        otherwise it must be one of the camera's choices."""
        text = self._text(prop, payload)
        bounds = self._range(prop)
        if bounds is not None:
            low, high = struct.unpack("<2i", bounds)
            if not low <= self._value(prop, payload, _ELEMENT_KIND.get(prop.payload, prop.payload)) <= high:
                raise Error("%s is outside the camera's range of %s: %s" % (
                    text, prop.name, self._text(self._properties[prop.list_property], bounds)))
            return
        offered = self._choice_payloads(prop)
        if offered and payload not in offered:
            raise Error("%s is not among the camera's values of %s; valid values: %s" % (
                text, prop.name, _value_list(prop.name, [self._text(prop, raw) for raw in offered])))

    def _confirm(self, prop, payload):
        """The camera holds the value asked for, one shown alike, or the
        choice nearest to it; otherwise Error with the value it holds. A
        camera may report the old value a moment before the new one."""
        self.wait(_ANSWER_S, until=lambda: self._read(prop) == payload)
        held = self._read(prop)
        if held is None or held == payload:
            return
        asked, shown = self._text(prop, payload), self._text(prop, held)
        if asked != shown and held != self._nearest_choice(prop, payload):
            raise Error("the camera did not take %s = %s; it holds %s" % (prop.name, asked, shown))

    def _read(self, prop):
        buffer = ctypes.create_string_buffer(prop.size)
        return buffer.raw if self._lib.brxsdk_get_property(prop.number, buffer, prop.size) else None

    def _nearest_choice(self, prop, payload):
        """The choice nearest to a value that is not itself one (the camera
        rounds a value of a range to its steps); None otherwise."""
        offered = self._choice_payloads(prop)
        if not offered or payload in offered or prop.payload not in _ELEMENT_KIND.values():
            return None
        wanted = struct.unpack("<" + _ELEMENT[prop.payload], payload)[0]
        return min(offered, key=lambda raw: abs(struct.unpack("<" + _ELEMENT[prop.payload], raw)[0] - wanted))

    def _range(self, prop):
        """The smallest and largest value the property takes, as their
        payload, when they are a range; None otherwise."""
        if prop.list_property < 0 or self._properties[prop.list_property].payload != n.PAYLOAD_INT_PAIR:
            return None
        data = ctypes.create_string_buffer(8)
        if not self._lib.brxsdk_get_property(prop.list_property, data, 8):
            return None
        return data.raw

    def _choice_payloads(self, prop):
        written = ctypes.c_uint(0)
        buffer = ctypes.create_string_buffer(4096)
        if not self._lib.brxsdk_get_choices(prop.number, buffer, len(buffer), ctypes.byref(written)):
            return []
        return _split(buffer.raw[:written.value], _ELEMENT_KIND.get(prop.payload, prop.payload))


@atexit.register
def _close_open_camera():
    """A camera left open is let go before the interpreter goes, so that no
    library thread calls into a finished interpreter."""
    if Camera._open is not None:
        Camera._open.close()


def _on_log(_context, line):
    """A line of the library's log, from any of its threads."""
    _LOG.debug("%s", line.decode("utf-8", "replace"))


_CARD_LISTING = 256
_THUMBNAIL_ROOM = 4 << 20


def _room(room):
    return {"capacity": room.capacityBytes, "free": room.freeBytes,
            "pictures_left": None if room.picturesLeft < 0 else room.picturesLeft}


def _card_file(file):
    return {"id": file.id, "name": file.name.decode(errors="replace"),
            "folder": file.folder.decode(errors="replace"), "size": file.size,
            "captured": file.captured.decode(), "format": file.format, "delivered": file.delivered}


def _split(data, kind):
    size = struct.calcsize(_ELEMENT[kind])
    return [data[i:i + size] for i in range(0, len(data), size)]


def _safe_name(name):
    """A camera's file name as a plain name within the folder, never a path:
    its last part, without control characters, at most 100 characters."""
    name = name.replace("\\", "/").rsplit("/", 1)[-1]
    name = re.sub(r"[\x00-\x1f\x7f]", "", name).strip()[:_MAX_NAME_LENGTH]
    return "" if name in (".", "..") else name


def _inside(folder, path):
    """path names a file of folder itself."""
    return os.path.dirname(os.path.abspath(path)) == os.path.abspath(folder)


# --- Refusals, worded as tether words them -------------------------------------

_LISTED_VALUES = 12


def _distance(a, b):
    """How many edits turn one text into the other, case aside."""
    a, b = a.lower(), b.lower()
    row = list(range(len(b) + 1))
    for i in range(1, len(a) + 1):
        diagonal, row[0] = row[0], i
        for j in range(1, len(b) + 1):
            above = row[j]
            row[j] = min(above + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1]))
            diagonal = above
    return row[len(b)]


def _did_you_mean(word, candidates):
    """"; did you mean X?" for a candidate close enough to be a slip: at
    most half the word's letters (one for short words), or the first letters
    of the candidate's."""
    allowed = max(1, len(word) // 2)
    best, best_distance = None, allowed + 1
    for candidate in candidates:
        begins = len(word) >= 3 and candidate.lower().startswith(word.lower())
        edits = min(allowed, _distance(word, candidate)) if begins else _distance(word, candidate)
        if edits < best_distance:
            best, best_distance = candidate, edits
    return "; did you mean %s?" % best if best is not None else ""


def _value_list(name, values):
    """All values up to a dozen, else the first and last six and where to see them all."""
    if len(values) <= _LISTED_VALUES:
        return ", ".join(values)
    half = _LISTED_VALUES // 2
    return "%s, ..., %s (%d values; all of them: tether props %s)" % (
        ", ".join(values[:half]), ", ".join(values[-half:]), len(values), name)
