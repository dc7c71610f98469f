#!/usr/bin/env python3
"""tether serve driven through its HTTP API as a browser drives it, on the
library's virtual cameras.

    test_serve.py TETHER CASE
"""
import hashlib
import http.client
import json
import os
import queue
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "host"))
from test_tether import FILE_LOG, TETHER, WAIT, camera_files  # noqa: E402


class Serve:
    """One tether serve process on a free port, its camera connected, its
    events followed; stopped with Ctrl-C, which must end it cleanly. With
    files, the camera's reports of the files it stores are collected."""

    def __init__(self, work, *options, product="0x2031", files=False):
        self.out = os.path.join(work, "pictures-" + product)
        self.process = subprocess.Popen([TETHER, *(FILE_LOG if files else ()), "--virtual", product, "serve",
                                         "--port", "0", "--out", self.out, *options], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE if files else None, text=True)
        self.log = []
        if files:
            threading.Thread(target=lambda: self.log.extend(self.process.stderr), daemon=True).start()
        try:
            line = self.process.stdout.readline()
            match = re.search(r"at http://\S+?:(\d+)/(?:\?token=(\w+))? ", line)
            assert match, line
            self.port, self.token = int(match.group(1)), match.group(2)
            threading.Thread(target=self.process.stdout.read, daemon=True).start()
            self.events = Events(self)
            if not self.json("GET", "/api/camera")["connected"]:
                self.events.expect("connection", lambda camera: camera["connected"])
        except BaseException:
            self.process.kill()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *failure):
        self.process.send_signal(signal.SIGINT)
        assert self.process.wait(timeout=WAIT) == 0

    def camera_file(self, name):
        """The size and SHA-256 the camera reported for its file name."""
        deadline = time.monotonic() + WAIT
        while name not in camera_files("".join(self.log)):
            assert time.monotonic() < deadline, name + " was not reported"
            time.sleep(0.05)
        return camera_files("".join(self.log))[name]

    def say(self, command):
        """A line for the virtual camera's console: shutter, unplug, plug."""
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def open(self, method, path, body=None, headers=None):
        """Headers given replace the token's."""
        if headers is None:
            headers = {"Authorization": "Bearer " + self.token} if self.token else {}
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=WAIT)
        connection.request(method, path, body, headers)
        return connection.getresponse()

    def request(self, method, path, body=None, headers=None):
        response = self.open(method, path, body, headers)
        return response.status, response, response.read()

    def json(self, method, path, body=None, code=200):
        status, _, data = self.request(method, path, body)
        assert status == code, (method, path, status, data)
        return json.loads(data)

    def set(self, name, value, code=200):
        return self.json("PUT", "/api/properties/" + name, json.dumps({"value": value}), code)


class Events:
    """The event stream, read in a thread: (id, event, data) in arrival order."""

    def __init__(self, serve, last_id=None):
        response = serve.open("GET", "/api/events", headers={"Last-Event-ID": str(last_id)} if last_id else None)
        assert response.status == 200 and response.getheader("Content-Type") == "text/event-stream"
        self.arrived, self.seen = queue.Queue(), []
        threading.Thread(target=self.read, args=(response,), daemon=True).start()

    def read(self, response):
        fields = {}
        for line in iter(response.readline, b""):
            line = line.decode().rstrip("\n")
            if line:
                key, _, value = line.partition(": ")
                fields[key] = value
            elif "event" in fields:
                self.arrived.put((int(fields["id"]), fields["event"], json.loads(fields["data"])))
                fields = {}

    def expect(self, kind, test=lambda data: True):
        while True:
            event = self.arrived.get(timeout=WAIT)
            self.seen.append(event)
            if event[1] == kind and test(event[2]):
                return event


def read_part(response):
    """One frame of the MJPEG stream: boundary, headers, the JPEG, CRLF."""
    assert response.readline() == b"--brxframe\r\n"
    headers = dict(line.decode().rstrip().lower().split(": ", 1) for line in iter(response.readline, b"\r\n"))
    assert headers["content-type"] == "image/jpeg", headers
    frame = response.read(int(headers["content-length"]))
    assert response.read(2) == b"\r\n"
    assert frame.startswith(b"\xff\xd8") and frame.endswith(b"\xff\xd9"), frame[:4]
    return frame


def other_choice(serve, name):
    now = serve.json("GET", "/api/properties/" + name)
    texts = [choice["text"] for choice in now["choices"] if choice["text"] != now["text"]]
    return now["text"], texts[len(texts) // 2]


# --- Cases ----------------------------------------------------------------------

def case_api(work):
    with Serve(work, files=True) as serve:
        events = serve.events
        assert serve.json("GET", "/api/camera")["productId"] == "0x2031"
        # Set and confirmed: notified, not notified (read back), a raw number.
        _, aperture = other_choice(serve, "Aperture")
        answer = serve.set("Aperture", aperture)
        assert answer["confirmed"] and answer["text"] == aperture, answer
        was, file_format = other_choice(serve, "FileFormat")
        assert serve.set("FileFormat", file_format)["text"] == file_format
        assert serve.json("GET", "/api/properties/FileFormat")["text"] == file_format
        assert serve.set("FileFormat", was)["text"] == was == "DNG + JPG"
        assert serve.set("ExposCompens", -500)["text"] == "-0.5 EV"
        refusals = (("Aperture", '{"value": "f/1.1"}', 400, "not among the camera's values of Aperture; valid values: f/2"),
                    ("FocusMaxDistance", '{"value": "3 m"}', 400, "read-only"),
                    ("Brightness", '{"value": 3}', 404, "no property"),
                    ("WantQuickView", '{"value": false}', 409, "kept by tether serve"),
                    ("Aperture", "f/8", 400, "must be"),
                    ("Aperture", '{"value": "%s"}' % ("9" * 70000), 413, "too large"))
        for name, body, code, reason in refusals:
            status, _, data = serve.request("PUT", "/api/properties/" + name, body)
            assert status == code and reason in json.loads(data)["error"], (name, status, data)
        # A release lands in the list and in the files, byte for byte.
        serve.json("POST", "/api/release", "")
        events.expect("picture", lambda picture: len(picture["files"]) == 2)
        [picture] = serve.json("GET", "/api/pictures")["pictures"]
        for file in picture["files"]:
            served = serve.request("GET", file["url"])[2]
            assert (len(served), hashlib.sha256(served).hexdigest()) == serve.camera_file(file["name"]), file
            status, _, part = serve.request("GET", file["url"], headers={"Range": "bytes=100-199"})
            assert status == 206 and part == served[100:200], file
        status, response, thumbnail = serve.request("GET", picture["thumbnail"])
        assert status == 200 and response.getheader("Content-Type") == "image/jpeg" and thumbnail[:2] == b"\xff\xd8"
        # Every change is an event, numbered in order (a set may be confirmed
        # by reading it back before its notification comes); a browser that
        # comes back with the last event it saw gets the rest.
        ids = [event[0] for event in events.seen]
        assert ids == sorted(set(ids)), ids
        kinds = [(event[1], event[2].get("name")) for event in events.seen]
        for kind in (("property", "Aperture"), ("property", "FileFormat"), ("property", "ExposCompens"),
                     ("picture", "BRX_0001")):
            assert kind in kinds, (kind, kinds)
        resumed = Events(serve, last_id=ids[0])
        assert [resumed.arrived.get(timeout=WAIT)[0] for _ in ids[1:]] == ids[1:]


def case_liveview(work):
    with Serve(work, product="0x2041") as serve:
        # A browser that reads nothing holds up neither the camera nor another browser.
        stalled = socket.socket()
        stalled.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1024)
        stalled.connect(("127.0.0.1", serve.port))
        stalled.sendall(b"GET /api/liveview HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        watchers = [serve.open("GET", "/api/liveview") for _ in range(2)]
        for watcher in watchers:
            assert watcher.getheader("Content-Type") == "multipart/x-mixed-replace; boundary=brxframe"
        before = serve.json("GET", "/api/camera")["liveView"]["frames"]
        frames = [read_part(watchers[index % 2]) for index in range(400)]
        assert len(set(frames)) > 100
        assert serve.json("GET", "/api/camera")["liveView"]["frames"] - before >= 200
        # The zoom and the focus cross, as the library reports the area.
        events = serve.events
        serve.json("PUT", "/api/properties/LiveViewCrossPosGlobal", '{"value": "0.25, 0.75"}')
        serve.json("PUT", "/api/properties/ToggleLiveViewZoom", "")
        area = events.expect("liveview", lambda area: area["zoomLevel"] > 1)[2]
        assert (area["focusX"], area["focusY"], area["width"]) == (0.25, 0.75, 0.25), area
        stalled.close()
    with Serve(work, product="0x2009") as serve:
        status, _, data = serve.request("GET", "/api/liveview")
        assert status == 404 and "no live view" in json.loads(data)["error"], data


def case_access(work):
    secret = os.path.join(work, "secret.txt")
    with open(secret, "w") as stream:
        stream.write("not for browsers")
    with Serve(work) as serve:
        with open(os.path.join(serve.out, "note.txt"), "w") as stream:
            stream.write("kept here")
        os.symlink(secret, os.path.join(serve.out, "escape"))
        assert serve.request("GET", "/files/note.txt")[2] == b"kept here"
        for path in ("/files/../secret.txt", "/files/%2e%2e/secret.txt", "/files/..%2fsecret.txt", "/files/escape",
                     "/files/.hidden", "/files//" + secret):
            status, _, data = serve.request("GET", path)
            assert status == 403 and b"not for" not in data, (path, status, data)
        assert serve.request("GET", "/files/missing.JPG")[0] == 404
        # Pages of other names and origins are kept out.
        assert serve.request("GET", "/api/camera", headers={"Host": "camera.example:80"})[0] == 403
        origin = {"Origin": "http://camera.example"}
        assert serve.request("POST", "/api/release", "", origin)[0] == 403
        assert serve.request("POST", "/api/release", "", {"Origin": "http://127.0.0.1:%d" % serve.port})[0] == 200
        # Headers are bounded in all, not only line by line.
        flood = "".join("X-Filler-%d: %s\r\n" % (n, "a" * 8000) for n in range(20))
        with socket.create_connection(("127.0.0.1", serve.port)) as raw:
            try:
                raw.sendall(("GET /api/camera HTTP/1.1\r\nHost: 127.0.0.1\r\n%s\r\n" % flood).encode())
                answer = raw.recv(100)
            except (BrokenPipeError, ConnectionResetError):
                answer = b""
            assert not answer.startswith(b"HTTP/1.1 200"), "a flood of headers was taken"
        assert serve.request("GET", "/api/camera")[0] == 200
    with Serve(work, "--listen", "0.0.0.0") as serve:
        assert serve.token and len(serve.token) == 32
        for path, headers in (("/api/camera", {}), ("/api/camera?token=" + "0" * 32, {}), ("/files/note.txt", {}),
                              ("/api/events", {}), ("/api/camera", {"Authorization": "Bearer nope"})):
            status, _, data = serve.request("GET", path, headers=headers)
            assert status == 401 and "token" in json.loads(data)["error"], (path, status)
        # The page's own files load without it; the page adds it to what it asks.
        assert serve.request("GET", "/?token=" + serve.token, headers={})[2].startswith(b"<!DOCTYPE html>")
        assert serve.request("GET", "/app.js", headers={})[0] == 200
        assert serve.request("GET", "/api/camera?token=" + serve.token, headers={})[0] == 200
        assert serve.request("GET", "/api/camera", headers={"Authorization": "Bearer " + serve.token})[0] == 200


def case_reconnect(work):
    with Serve(work) as serve:
        events = serve.events
        watcher = serve.open("GET", "/api/liveview")
        read_part(watcher)
        serve.say("unplug")
        events.expect("connection", lambda camera: not camera["connected"])
        watcher.read()  # the stream ends with the camera
        assert serve.request("POST", "/api/release", "")[0] == 503
        serve.say("plug")
        events.expect("connection", lambda camera: camera["connected"] and camera["productId"] == "0x2031")
        serve.json("POST", "/api/release", "")
        # Quick view is asked for again: the files keep the camera's names.
        events.expect("picture", lambda picture: picture["name"] == "BRX_0001" and len(picture["files"]) == 2)


if __name__ == "__main__":
    with tempfile.TemporaryDirectory() as work:
        globals()["case_" + sys.argv[2]](work)
    print("ok")
