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
import select
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

    def __init__(self, work, *options, product="0x2031", files=False, out=None):
        """out: --out, relative to work; None names one per product, "" leaves it to tether."""
        out = "pictures-" + product if out is None else out
        self.out = os.path.join(work, out or "pictures")
        self.process = subprocess.Popen([TETHER, *(FILE_LOG if files else ()), "--virtual", product, "serve",
                                         "--port", "0", *(("--out", out) if out else ()), *options], cwd=work,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE if files else None, text=True)
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

    def connect(self, source="127.0.0.1"):
        """A raw connection from a loopback address of the caller's choice
        (the server counts connections per address)."""
        client = socket.socket()
        client.bind((source, 0))
        client.settimeout(WAIT)
        client.connect(("127.0.0.1", self.port))
        return client

    def exchange(self, request, source="127.0.0.1"):
        """Sends request as it stands and reads the answer to the end:
        (status, headers with lower-case names, body)."""
        with self.connect(source) as client:
            client.sendall(request)
            return parse_answer(read_to_end(client))

    def stream_from(self, source, path):
        """A stream (events, live view) opened from source; returns the
        connection once the server has answered 200."""
        client = self.connect(source)
        token = "?token=" + self.token if self.token else ""
        client.sendall(("GET %s%s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % (path, token)).encode())
        assert receive(client, 12) == b"HTTP/1.1 200", path
        return client


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


def receive(client, size):
    data = b""
    while len(data) < size:
        block = client.recv(size - len(data))
        if not block:
            break
        data += block
    return data


def read_to_end(client):
    """What the server sends until it closes; a server that refuses a request
    before reading all of it may reset the connection after its answer."""
    answer = b""
    try:
        for block in iter(lambda: client.recv(65536), b""):
            answer += block
    except ConnectionResetError:
        pass
    return answer


def parse_answer(answer):
    head, _, body = answer.partition(b"\r\n\r\n")
    lines = head.decode().split("\r\n")
    headers = dict((name.lower(), value) for name, _, value in (line.partition(": ") for line in lines[1:]))
    return int(lines[0].split()[1]), headers, body


def held(client):
    """True while the server keeps the connection open and has said nothing on it."""
    return not select.select([client], [], [], 0)[0]


def other_choice(serve, name):
    now = serve.json("GET", "/api/properties/" + name)
    texts = [choice["text"] for choice in now["choices"] if choice["text"] != now["text"]]
    return now["text"], texts[len(texts) // 2]


# --- Cases ----------------------------------------------------------------------

def case_api(work):
    with Serve(work, files=True) as serve:
        events = serve.events
        camera = serve.json("GET", "/api/camera")
        assert camera["productId"] == 0x2031 and camera["productIdHex"] == "0x2031", camera
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
        # Links inside the folder to hidden names: the name that counts is the one they lead to.
        os.mkdir(os.path.join(serve.out, ".private"))
        for hidden in (".hidden", ".private/key"):
            with open(os.path.join(serve.out, hidden), "w") as stream:
                stream.write("not for browsers")
        os.symlink(".hidden", os.path.join(serve.out, "shown"))
        os.symlink(".private", os.path.join(serve.out, "open"))
        assert serve.request("GET", "/files/note.txt")[2] == b"kept here"
        for path in ("/files/../secret.txt", "/files/%2e%2e/secret.txt", "/files/..%2fsecret.txt", "/files/escape",
                     "/files/.hidden", "/files//" + secret, "/files/shown", "/files/open/key"):
            status, _, data = serve.request("GET", path)
            assert status == 403 and b"not for" not in data, (path, status, data)
        assert serve.request("GET", "/files/missing.JPG")[0] == 404
        # Pages of other names and origins are kept out.
        assert serve.request("GET", "/api/camera", headers={"Host": "camera.example:80"})[0] == 403
        origin = {"Origin": "http://camera.example"}
        assert serve.request("POST", "/api/release", "", origin)[0] == 403
        assert serve.request("POST", "/api/release", "", {"Origin": "http://127.0.0.1:%d" % serve.port})[0] == 200
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


def case_crowd(work):
    with Serve(work, "--listen", "0.0.0.0") as serve:
        token = serve.token.encode()
        # 150 clients that never finish their request (every other one with
        # the token), each from an address of its own, hold no thread: the
        # token holder is answered while they all still hold their connections...
        slow = [serve.connect("127.0.1.%d" % n) for n in range(1, 151)]
        for n, client in enumerate(slow):
            query = b"?token=" + token if n % 2 else b""
            client.sendall(b"GET /api/camera%s HTTP/1.1\r\nHost: 127.0.0.1\r\n" % query)
        assert serve.json("GET", "/api/camera")["connected"]
        assert all(held(client) for client in slow)
        # ...until their time is up.
        for client in slow:
            status, headers, _ = parse_answer(read_to_end(client))
            assert status == 408 and headers["cross-origin-resource-policy"] == "same-origin", (status, headers)
            client.close()
        # 32 connections an address, streams included: the next one is answered 503 at once, other addresses
        # are not held up. The events take 15 (the 16th follower is this test's own) and the live view 16.
        crowd = [serve.stream_from("127.0.2.1", "/api/events") for _ in range(15)]
        crowd += [serve.stream_from("127.0.2.1", "/api/liveview") for _ in range(16)] + [serve.connect("127.0.2.1")]
        with serve.connect("127.0.2.1") as extra:
            status, headers, body = parse_answer(read_to_end(extra))
            assert status == 503 and "too many" in json.loads(body)["error"], (status, body)
            assert headers["cross-origin-resource-policy"] == "same-origin", headers
        assert serve.json("GET", "/api/camera")["connected"]
        # 256 in all: other addresses, each answered and kept alive, until one is refused.
        request = b"GET /api/camera HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer %s\r\n\r\n" % token
        for n in range(256):
            crowd.append(serve.connect("127.0.%d.%d" % (3 + n // 250, 1 + n % 250)))
            crowd[-1].sendall(request)
            status_line = receive(crowd[-1], 12)
            if status_line != b"HTTP/1.1 200":
                break
        # This test's own event stream is one of them.
        assert status_line == b"HTTP/1.1 503" and len(crowd) <= 256, (status_line, len(crowd))
        for client in crowd:
            client.close()


def case_ranges(work):
    with Serve(work) as serve:
        big, small = os.urandom(2500000), os.urandom(80000)
        for name, data in (("big.bin", big), ("small.bin", small)):
            with open(os.path.join(serve.out, name), "wb") as stream:
                stream.write(data)
        # One range or none, clipped to the file, its body whole; 416 when nothing of the file is asked for.
        cases = (("big.bin", "bytes=2000000-3000000", 206, big[2000000:], "bytes 2000000-2499999/2500000"),
                 ("small.bin", "bytes=0-99999999999", 206, small, "bytes 0-79999/80000"),
                 ("small.bin", "bytes=100-199", 206, small[100:200], "bytes 100-199/80000"),
                 ("small.bin", "bytes=-100", 206, small[-100:], "bytes 79900-79999/80000"),
                 ("small.bin", "bytes=-90000", 206, small, "bytes 0-79999/80000"),
                 ("small.bin", "bytes=79999-", 206, small[79999:], "bytes 79999-79999/80000"),
                 ("small.bin", "bytes=2097152-", 416, None, "bytes */80000"),
                 ("small.bin", "bytes=80000-80001", 416, None, "bytes */80000"),
                 ("small.bin", "bytes=-0", 416, None, "bytes */80000"),
                 ("small.bin", "bytes=" + ",".join(["0-79999"] * 780), 200, small, None),
                 ("small.bin", "bytes=0-9,20-29", 200, small, None))
        for name, ranges, code, body, content_range in cases:
            status, response, data = serve.request("GET", "/files/" + name, headers={"Range": ranges})
            assert (status, response.getheader("Content-Range")) == (code, content_range), (ranges, status)
            assert int(response.getheader("Content-Length")) == len(data) and body in (None, data), (ranges, len(data))


def case_origin(work):
    with Serve(work) as serve:
        with open(os.path.join(serve.out, "note.txt"), "w") as stream:
            stream.write("kept here")
        # Pages of another origin are refused whatever they ask, reading included.
        foreign = {"Origin": "http://camera.example"}
        for method, path in (("GET", "/api/liveview"), ("GET", "/api/events"), ("GET", "/api/camera"),
                             ("GET", "/files/note.txt"), ("GET", "/"), ("HEAD", "/api/camera"),
                             ("PUT", "/api/properties/ExposCompens")):
            response = serve.open(method, path, headers=foreign)
            assert response.status == 403, (method, path, response.status)
            response.close()
        assert serve.json("GET", "/api/camera")["liveView"]["watchers"] == 0
        assert serve.request("GET", "/api/camera", headers={"Origin": "null"})[0] == 403
        own = {"Origin": "http://127.0.0.1:%d" % serve.port}
        assert serve.request("GET", "/files/note.txt", headers=own)[2] == b"kept here"
        # No other page may embed an answer: every one says same-origin.
        answers = [serve.open("GET", path) for path in ("/", "/app.js", "/api/camera", "/files/note.txt",
                                                          "/files/missing", "/files/.hidden", "/nowhere")]
        answers += [serve.open("GET", "/api/camera", headers=foreign), serve.open("GET", "/api/events"),
                    serve.open("GET", "/api/liveview"), serve.open("PUT", "/api/properties/Aperture", "f/8")]
        for response in answers:
            assert response.getheader("Cross-Origin-Resource-Policy") == "same-origin", response.headers
            response.close()


def case_heads(work):
    with Serve(work) as serve:
        events = serve.events
        # A request that declares no body has none: it is answered at once.
        status, _, body = serve.exchange(b"POST /api/release HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")
        assert status == 200 and json.loads(body) == {"released": True, "releases": 1}, (status, body)
        events.expect("picture")
        status, _, body = serve.exchange(b"PUT /api/properties/ToggleLiveViewZoom HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                         b"Connection: close\r\n\r\n")
        assert status == 200 and json.loads(body)["confirmed"], (status, body)
        # 32 kB for the request line and headers, whatever they carry; the body has 64 kB of its own.
        def put(headers, body):
            filler = "".join("X-Filler-%d: %s\r\n" % (n, "a" * 1000) for n in range(headers))
            head = "PUT /api/properties/ExposCompens HTTP/1.1\r\nHost: 127.0.0.1\r\n%sContent-Length: %d\r\n"
            return serve.exchange((head % (filler, len(body)) + "Connection: close\r\n\r\n" + body).encode())
        assert put(30, json.dumps({"value": "+1 EV", "filler": "b" * 60000}))[0] == 200
        status, headers, body = put(40, "{}")
        assert status == 431 and "too large" in json.loads(body)["error"], (status, body)
        assert headers["cross-origin-resource-policy"] == "same-origin", headers
        assert put(1, json.dumps({"value": "+1 EV", "filler": "b" * 70000}))[0] == 413


def case_addresses(work):
    # Every address the API and the events give answers, with the default
    # folder and a nested relative one.
    for out in ("", os.path.join("shots", "day 1")):
        with Serve(work, out=out) as serve:
            serve.json("POST", "/api/release", "")
            landed = serve.events.expect("picture", lambda picture: len(picture["files"]) == 2)[2]
            for picture in [landed] + serve.json("GET", "/api/pictures")["pictures"]:
                for file in picture["files"]:
                    status, _, data = serve.request("GET", file["url"])
                    assert status == 200 and len(data) == file["size"], (out, file, status)
                    assert os.path.getsize(os.path.join(serve.out, file["name"])) == file["size"]
                status, _, thumbnail = serve.request("GET", picture["thumbnail"])
                assert status == 200 and thumbnail[:2] == b"\xff\xd8", (out, picture, status)


def case_port(work):
    # A port in use is refused at the start, in one line that names it.
    with Serve(work) as serve:
        second = subprocess.run([TETHER, "--virtual", "0x2011", "serve", "--port", str(serve.port), "--out",
                                 os.path.join(work, "second")], capture_output=True, text=True, timeout=WAIT)
        lines = second.stderr.splitlines()
        assert second.returncode == 2 and len(lines) == 1 and str(serve.port) in lines[0], (second.returncode, lines)
        assert second.stdout == "", second.stdout
        assert serve.json("GET", "/api/camera")["productIdHex"] == "0x2031"


def case_answered(work):
    # A set is confirmed when the camera holds the value or the nearest step it
    # offers; a value it does not take is 409 with the value it holds.
    with Serve(work) as serve:
        answer = serve.set("Sensitivity", "Auto ISO")
        assert answer["confirmed"] and answer["text"] == "Auto ISO", answer
        answer = serve.set("IntervalTime", "7 s")
        assert answer["confirmed"] and answer["text"] == "5 s" and answer["asked"] == "7 s", answer
        answer = serve.set("FocusDistance", "0.2 m", code=409)
        assert not answer["confirmed"] and answer["text"] == "0.45 m", answer
        assert answer["error"] == "the camera did not take FocusDistance = 0.20 m; it holds 0.45 m", answer
        assert serve.json("GET", "/api/properties/FocusDistance")["text"] == "0.45 m"
        answer = serve.set("SensitivityAuto", False)
        assert answer["confirmed"] and answer["text"] == "off", answer


def case_mirror_up(work):
    # With mirror-up on, the shutter releases twice (mirror, then exposure) and
    # says so; the two make one picture.
    with Serve(work) as serve:
        events = serve.events
        assert serve.set("MirrorUpMode", True)["text"] == "on"
        assert serve.json("POST", "/api/release", "") == {"released": True, "releases": 2}
        events.expect("picture", lambda picture: picture["name"] == "BRX_0001" and len(picture["files"]) == 2)
        assert serve.set("MirrorUpMode", False)["text"] == "off"
        assert serve.json("POST", "/api/release", "") == {"released": True, "releases": 1}
        landed = events.expect("picture", lambda picture: len(picture["files"]) == 2 and picture["name"] != "BRX_0001")
        assert landed[2]["name"] == "BRX_0002", landed


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
        events.expect("connection", lambda camera: camera["connected"] and camera["productId"] == 0x2031)
        serve.json("POST", "/api/release", "")
        # Quick view is asked for again: the files keep the camera's names.
        events.expect("picture", lambda picture: picture["name"] == "BRX_0001" and len(picture["files"]) == 2)


def case_card(work):
    """The card a page at a time; a file byte for byte by its link; the new
    ones imported into --out as pictures of the run."""
    with Serve(work, "--card", "30", files=True) as serve:
        first = serve.json("GET", "/api/card?limit=10")
        assert first["total"] == 40 and len(first["files"]) == 10 and first["offset"] == 0, first
        rest = serve.json("GET", "/api/card?offset=10&limit=100")
        names = [f["name"] for f in first["files"] + rest["files"]]
        assert len(names) == 40 and names[0] == "BRX_0001.JPG" and names[-1] == "BRX_0030.JPG", names
        assert first["room"]["freeBytes"] < first["room"]["capacityBytes"], first["room"]
        file = first["files"][2]
        served = serve.request("GET", file["url"])[2]
        assert (len(served), hashlib.sha256(served).hexdigest()) == serve.camera_file(file["name"]), file
        status, response, thumbnail = serve.request("GET", file["thumbnail"])
        assert status == 200 and response.getheader("Content-Type") == "image/jpeg" and thumbnail[:2] == b"\xff\xd8"
        assert serve.request("GET", "/api/card/77777/file")[0] == 404
        os.makedirs(serve.out, exist_ok=True)
        with open(os.path.join(serve.out, file["name"]), "wb") as saved:
            saved.write(served)
        importing = serve.json("POST", "/api/card/import", "")["importing"]
        assert len(importing) == 39 and file["name"] not in importing, importing
        serve.events.expect("picture", lambda picture: picture["name"] == "BRX_0030")
        # A picture taken takes its room from the card, and the page is told.
        serve.json("POST", "/api/release", "")
        serve.events.expect("card", lambda room: room["freeBytes"] < first["room"]["freeBytes"])


if __name__ == "__main__":
    with tempfile.TemporaryDirectory() as work:
        globals()["case_" + sys.argv[2]](work)
    print("ok")
