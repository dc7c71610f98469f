"""One tethered camera, through the library's C interface."""

import atexit
import collections
import ctypes
import math
import os
import queue
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
_WRITABLE = (n.ACCESS_READ_WRITE, n.ACCESS_WRITE_ONLY)
_EXTENSIONS = {n.FRAME_DNG: ".DNG", n.FRAME_JPG: ".JPG"}
_SLICE_S = 0.05


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
        self.supported = description.supported


class Camera:
    """A camera connected through the library; a context manager.

    with brxsdk.Camera(virtual=0x2011) as cam:   # or Camera() for USB
        cam.set("Aperture", 5.6)
        print(cam.capture("pictures"))

    Values are in photographers' units: f-numbers, seconds (-1.0 is bulb),
    EV (not milli-EV), ISO (0 is automatic), metres, kelvin, True/False, and
    the camera's names of its choices ("Spot", "DNG + JPG", "Daylight"). set
    also takes the texts photographers write ("f/8", "1/125 s", "+0.7 EV").

    The library works one camera at a time. Use a Camera from the thread that
    opened it; callbacks given to on_change run in that thread, inside the
    methods that wait (wait, capture, pictures, liveview).
    """

    _open = None

    def __init__(self, virtual=None, timeout=10.0):
        if Camera._open is not None:
            raise Error("a camera is open already: the library works one at a time")
        self._lib = n.library()
        if virtual is not None and not self._lib.brxsdk_use_virtual_camera(virtual):
            raise Error("no virtual camera of product 0x%04X" % virtual)
        self._virtual = virtual is not None
        self.product_id = 0
        self._connected = False
        self._live_view = False
        self._changes = collections.deque()
        self._last = {}
        self._listeners = []
        self._records = queue.SimpleQueue()
        self._frames = collections.deque(maxlen=4)
        self._name = None
        self._unnamed = 0
        self._properties = []
        # Kept as long as the library may call them.
        self._callbacks = (n.INIT_CALLBACK(self._on_connection), n.CHANGES_CALLBACK(self._on_change),
                           n.FRAME_CALLBACK(self._on_frame))
        self._lib.brxsdk_init(self._callbacks[0], None)
        self._lib.brxsdk_set_want_release_end(True)
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
        if self._virtual:
            self._lib.brxsdk_use_virtual_camera(0)
        Camera._open = None

    # --- Values ------------------------------------------------------------

    @property
    def connected(self):
        return self._connected

    @property
    def identity(self):
        """Manufacturer, model, version and serial number, as the camera says."""
        out = n.CameraIdentity()
        if not self._lib.brxsdk_get_camera_identity(ctypes.byref(out)):
            raise Error("no camera connected")
        return {"manufacturer": out.manufacturer.decode(), "model": out.model.decode(),
                "version": out.deviceVersion.decode(), "serial": out.serialNumber.decode()}

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
        reason when the value is refused. The camera holds the value (or the
        nearest one it offers) when set returns."""
        prop = self._property(name)
        if not prop.supported:
            raise Error("the camera does not offer %s" % prop.name)
        if prop.access == n.ACCESS_COMMAND:
            if not self._lib.brxsdk_command(prop.number):
                raise Error("the camera did not take the command %s" % prop.name)
            return
        if prop.access not in _WRITABLE:
            raise Error("%s cannot be set" % prop.name)
        payload = self._payload(prop, value)
        if not self._lib.brxsdk_set_property(prop.number, payload, len(payload)):
            raise Error(self._refusal(prop, payload))

    def choices(self, name):
        """The values the camera offers for a property, in its order."""
        prop = self._property(name)
        written = ctypes.c_uint(0)
        buffer = ctypes.create_string_buffer(4096)
        if not self._lib.brxsdk_get_choices(prop.number, buffer, len(buffer), ctypes.byref(written)):
            return []
        element = _ELEMENT_KIND.get(prop.payload, prop.payload)
        return [self._value(prop, raw, element) for raw in _split(buffer.raw[:written.value], element)]

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
        """Releases the shutter once and saves the release's files in out_dir
        under the camera's names; returns their paths when the last arrived."""
        os.makedirs(out_dir, exist_ok=True)
        saved = []
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
        without a file (None: never)."""
        os.makedirs(out_dir, exist_ok=True)
        deadline = None if timeout is None else time.monotonic() + timeout
        while deadline is None or time.monotonic() < deadline:
            for record, path in self._save_records(out_dir):
                if record != n.FRAME_RELEASE_END:
                    yield path
                    deadline = None if timeout is None else time.monotonic() + timeout
            self._pump(_SLICE_S)

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
        elif record in (n.FRAME_FILE_NAME, n.FRAME_DNG, n.FRAME_JPG, n.FRAME_EMPTY, n.FRAME_RELEASE_END):
            self._records.put((record, payload))

    # --- Inside ------------------------------------------------------------

    def _pump(self, seconds):
        if self._lib.brxsdk_process_events(max(0, int(seconds * 1000))) < 0:
            raise Error("the library's events can only be processed in the thread that opened the camera")
        while self._changes:
            number, payload = self._changes.popleft()
            for listener in list(self._listeners):
                listener(self._properties[number].name, self._value(self._properties[number], payload))

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
        """Never over an existing file: the new one gets -1, -2 ... instead."""
        for attempt in range(10000):
            path = os.path.join(out_dir, name + ("-%d" % attempt if attempt else "") + extension)
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

    def _property(self, name):
        for prop in self._properties:
            if prop.name.lower() == str(name).lower() or prop.number == name:
                return prop
        raise Error("no property %r" % (name,))

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
            if not self._lib.brxsdk_parse_value(prop.number, value.encode(), data, len(data), ctypes.byref(written)):
                raise Error("%s: %r is not a value of %s (%s)" % (prop.name, value, prop.name, prop.unit_name))
            return data.raw[:written.value]
        values = list(value) if isinstance(value, (tuple, list)) else [value]
        if prop.unit == n.UNIT_MILLI_EV:
            values = [round(v * 1000) for v in values]
        try:
            return struct.pack("<%d%s" % (len(values), _ELEMENT[prop.payload]), *values)
        except (struct.error, KeyError) as error:
            raise Error("%s: %r is not a value of %s (%s)" % (prop.name, value, prop.name, prop.unit_name)) from error

    def _refusal(self, prop, payload):
        wanted = self._value(prop, payload)
        offered = self.choices(prop.name)
        text = self._text(prop, payload)
        if offered and not any(_same(wanted, choice) for choice in offered):
            return "%s is not among the camera's values of %s; valid values: %s" % (
                text, prop.name, ", ".join(self.text(prop.name, choice) for choice in offered))
        current = self.get(prop.name) if prop.access in _READABLE else None
        kept = "" if current is None else "; it holds %s" % self.text(prop.name, current)
        return "the camera did not take %s = %s%s" % (prop.name, text, kept)


@atexit.register
def _close_open_camera():
    """A camera left open is let go before the interpreter goes, so that no
    library thread calls into a finished interpreter."""
    if Camera._open is not None:
        Camera._open.close()


def _split(data, kind):
    size = struct.calcsize(_ELEMENT[kind])
    return [data[i:i + size] for i in range(0, len(data), size)]


def _same(a, b):
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return math.isclose(a, b, rel_tol=1e-9)
    return a == b


def _safe_name(name):
    """A camera's file name as a plain name within the folder, never a path."""
    name = os.path.basename(name.replace("\\", "/").replace("\0", ""))
    return "" if name in (".", "..") else name
