#!/usr/bin/env python3
"""A rig of tether nodes on the library's virtual cameras, met through a
Mosquitto broker this test starts on a free loopback port.

    test_rig.py TETHER CASE

Each node runs with log group 0x8, so its virtual camera reports each file it
stores with its size and SHA-256; every collected file is compared with that
report and with the node's own copy. Exit 77 (skipped) without mosquitto.
"""
import hashlib
import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

TETHER = os.path.abspath(sys.argv[1])
MOSQUITTO = shutil.which("mosquitto") or "/usr/sbin/mosquitto"
WAIT = 120  # seconds; generous, the machine may be loaded
RIG = "test"
# The one user a secured broker lets in.
USER, PASSWORD = "rigger", "s3cret words"
# Shots come this far ahead: on a loaded machine with sanitizers a command
# has been seen to reach a node seconds late, which the node rightly refuses.
LEAD_MS = "4000"
ADDED = re.compile(r"(BRX_\d{4}\.(?:DNG|JPG)) added as 0x[0-9A-F]{8}, (\d+) bytes, SHA-256 ([0-9a-f]{64})")
PRESSED = re.compile(r"^(\S+): pressed at ", re.M)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until(condition, what, seconds=WAIT):
    deadline = time.monotonic() + seconds
    while not condition():
        assert time.monotonic() < deadline, "timed out waiting for " + what
        time.sleep(0.2)


class MqttClient:
    """Enough MQTT 3.1.1 to speak to the rig as any other client would:
    subscribe, publish at QoS 1, read what arrives."""

    def __init__(self, port, name):
        self.link = socket.create_connection(("127.0.0.1", port), timeout=WAIT)
        self.buffer = b""
        self.next_id = 1
        self.send(0x10, self.string("MQTT") + bytes([4, 2]) + struct.pack(">H", 60) + self.string(name))
        assert self.read_packet()[0] == 0x20

    @staticmethod
    def string(text):
        return struct.pack(">H", len(text.encode())) + text.encode()

    def send(self, kind, body):
        length, encoded = len(body), b""
        while True:
            digit, length = length % 128, length // 128
            encoded += bytes([digit | (128 if length else 0)])
            if not length:
                break
        self.link.sendall(bytes([kind]) + encoded + body)

    def packet_id(self):
        self.next_id += 1
        return struct.pack(">H", self.next_id)

    def subscribe(self, topic):
        self.send(0x82, self.packet_id() + self.string(topic) + b"\x01")

    def publish(self, topic, payload):
        self.send(0x32, self.string(topic) + self.packet_id() + json.dumps(payload).encode())

    def read_packet(self):
        while True:
            if len(self.buffer) >= 2:
                length, shift, index = 0, 0, 1
                while index < len(self.buffer):
                    length |= (self.buffer[index] & 127) << shift
                    shift += 7
                    index += 1
                    if not self.buffer[index - 1] & 128:
                        break
                if not self.buffer[index - 1] & 128 and len(self.buffer) >= index + length:
                    kind, body = self.buffer[0], self.buffer[index:index + length]
                    self.buffer = self.buffer[index + length:]
                    return kind, body
            chunk = self.link.recv(65536)
            assert chunk, "the broker closed the connection"
            self.buffer += chunk

    def messages(self, seconds):
        """(topic, payload object) of every message arriving within seconds."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.link.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                kind, body = self.read_packet()
            except socket.timeout:
                return
            if kind & 0xF0 != 0x30:
                continue
            topic_length = struct.unpack(">H", body[:2])[0]
            start = 2 + topic_length
            if kind & 0x06:
                self.send(0x40, body[start:start + 2])
                start += 2
            yield body[2:2 + topic_length].decode(), json.loads(body[start:])

    def close(self):
        self.send(0xE0, b"")
        self.link.close()


class Broker:
    """Mosquitto on a free port, keeping its sessions and queued messages
    across a restart."""

    def __init__(self, folder, secure=False):
        self.port = free_port()
        self.folder = folder
        self.config = os.path.join(folder, "mosquitto.conf")
        # What a client passes to be let in.
        self.client_options = []
        with open(self.config, "w") as config:
            config.write(f"listener {self.port} 127.0.0.1\npersistence true\npersistence_location {folder}/\n")
            config.write(self.secure_lines() if secure else "allow_anonymous true\n")
        self.process = None
        self.start()

    def secure_lines(self):
        """A user with a password, over TLS with a certificate for 127.0.0.1
        that the clients trust."""
        certificate, key = (os.path.join(self.folder, name) for name in ("broker.crt", "broker.key"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out",
                        certificate], check=True, capture_output=True, timeout=WAIT)
        passwords, password = (os.path.join(self.folder, name) for name in ("passwords", "password"))
        subprocess.run(["mosquitto_passwd", "-b", "-c", passwords, USER, PASSWORD], check=True, timeout=WAIT)
        with open(password, "w") as file:
            file.write(PASSWORD + "\n")
        self.client_options = ["--mqtt-user", USER, "--mqtt-password-file", password, "--mqtt-cafile", certificate]
        # Started as root, the broker would read them as its own user, which
        # the test's private folder keeps out.
        return (f"user root\nallow_anonymous false\npassword_file {passwords}\n"
                f"certfile {certificate}\nkeyfile {key}\n")

    def start(self):
        self.log = open(os.path.join(self.folder, "mosquitto.log"), "a")
        self.process = subprocess.Popen([MOSQUITTO, "-c", self.config], stdout=self.log, stderr=subprocess.STDOUT)
        wait_until(self.listening, "the broker")

    def listening(self):
        try:
            socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
            return True
        except OSError:
            return False

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=WAIT)
        self.log.close()

    def address(self):
        return f"127.0.0.1:{self.port}"


class Node:
    """tether node on a virtual camera, in a folder of its own."""

    # Global options the benchmark adds.
    EXTRA = []

    def __init__(self, rig, label, product="0x2031"):
        self.rig, self.label, self.product = rig, label, product
        self.out = os.path.join(rig.folder, "nodes", label)
        self.state = os.path.join(rig.folder, "state", label)
        os.makedirs(self.state, exist_ok=True)
        self.log_path = os.path.join(rig.folder, label + ".log")
        self.process = None
        self.start()

    def start(self):
        env = dict(os.environ, XDG_STATE_HOME=self.state)
        self.log = open(self.log_path, "a")
        self.process = subprocess.Popen(
            [TETHER, *self.EXTRA, "--virtual", f"{self.product}:RIG{self.label.upper()}", "--debug", "0x8", "--timeout", "60", "node", "--broker",
             self.rig.broker.address(), "--rig", RIG, *self.rig.broker.client_options, "--label", self.label,
             "--out", self.out],
            stdin=subprocess.PIPE, stdout=self.log, stderr=subprocess.STDOUT, text=True, env=env)

    def console(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def stop(self, sig=signal.SIGINT):
        if self.process and self.process.poll() is None:
            self.process.send_signal(sig)
            self.process.wait(timeout=WAIT)
        self.log.close()

    def camera_files(self):
        """The files the camera reported: name -> {(size, SHA-256)}; a node
        started again reports its card's names anew."""
        files = {}
        with open(self.log_path, errors="replace") as log:
            for name, size, digest in ADDED.findall(log.read()):
                files.setdefault(name, set()).add((int(size), digest))
        return files

    def saved(self):
        return sorted(n for n in os.listdir(self.out) if n.startswith("BRX_")) if os.path.isdir(self.out) else []


class Rig:
    def __init__(self, labels, products=None, secure=False):
        self.folder = tempfile.mkdtemp(prefix="tether-rig-")
        self.broker = Broker(self.folder, secure)
        self.nodes = {}
        try:
            for label in labels:
                self.nodes[label] = Node(self, label, (products or {}).get(label, "0x2031"))
            self.wait_connected(labels)
        except BaseException:
            self.close()
            raise

    def close(self):
        for node in self.nodes.values():
            node.stop()
        self.broker.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def tether(self, *arguments, code=0, timeout=WAIT):
        done = subprocess.run([TETHER, "--timeout", "30", "rig", "--broker", self.broker.address(), "--rig", RIG,
                               *self.broker.client_options, *arguments], capture_output=True, text=True,
                              timeout=timeout)
        assert code is None or done.returncode == code, (arguments, done.returncode, done.stdout, done.stderr)
        return done.stdout

    def status(self):
        """label -> the state column of rig status; none before the first
        node is on the broker."""
        out = self.tether("status", code=None)
        rows = [line.split() for line in out.splitlines()[1:]]
        return {row[0]: " ".join(row[1:]) for row in rows}

    def wait_connected(self, labels, state="connected"):
        wait_until(lambda: all(f" {state} " in f" {self.status().get(label, '')} " for label in labels),
                   f"{labels} {state}")

    def collect(self, folder, code=0):
        return self.tether("collect", "--out", folder, code=code)

    def shoot(self, count, interval="0.5"):
        out = self.tether("shoot", "-n", str(count), "--interval", interval, "--lead", LEAD_MS)
        assert out.count("spread ") == count, out
        return out

    def wait_saved(self, pictures):
        """Until every node holds pictures[label] files and has written them."""
        wait_until(lambda: all(len(self.nodes[label].saved()) >= count for label, count in pictures.items()),
                   "the pictures on the nodes")

    def check_collected(self, folder, expected):
        """folder/SHOT/LABEL-NAME for every file of every node, byte-exact
        against the node's copy and the camera's report; expected: label ->
        number of files. Returns the shots."""
        found = {}
        shots = set()
        for shot in os.listdir(folder):
            for name in os.listdir(os.path.join(folder, shot)):
                assert not name.endswith(".part"), name
                label, _, saved = name.partition("-")
                path = os.path.join(folder, shot, name)
                with open(path, "rb") as collected:
                    data = collected.read()
                with open(os.path.join(self.nodes[label].out, saved), "rb") as original:
                    assert data == original.read(), path
                camera = self.nodes[label].camera_files()
                assert (len(data), hashlib.sha256(data).hexdigest()) in camera[re.sub(r"-\d+", "", saved)], path
                found[label] = found.get(label, 0) + 1
                shots.add(shot)
        assert found == expected, (found, expected)
        return shots


def prepare(rig):
    """JPG alone: one small file per picture."""
    out = rig.tether("set", "FileFormat", "JPG")
    assert out.count(": FileFormat = JPG") == len(rig.nodes), out


def case_rig():
    """Eight nodes: one aperture for all (each confirms), ten scheduled
    shots, and every picture collected byte-exact, nothing twice."""
    labels = [f"cam{index}" for index in range(1, 9)]
    rig = Rig(labels)
    try:
        prepare(rig)
        out = rig.tether("set", "Aperture", "f/8")
        assert sorted(re.findall(r"^(\S+): Aperture = f/8$", out, re.M)) == labels, out
        assert "as the rig" in rig.tether("status")
        out = rig.shoot(10)
        assert sorted(set(PRESSED.findall(out))) == labels and len(PRESSED.findall(out)) == 80, out
        rig.wait_saved({label: 10 for label in labels})
        collected = os.path.join(rig.folder, "collected")
        out = rig.collect(collected)
        assert out.startswith("80 files fetched") or "80 files fetched" in out, out
        assert len(rig.check_collected(collected, {label: 10 for label in labels})) == 10
        out = rig.collect(collected)
        assert "0 files fetched" in out and "80 already here" in out, out
    finally:
        rig.close()


def case_secured():
    """A broker that lets in one user with a password, over TLS: nodes and
    rig that give both work as on loopback; one without the password, or
    without TLS, is not let in."""
    labels = ["a", "b"]
    rig = Rig(labels, secure=True)
    try:
        prepare(rig)
        out = rig.shoot(1)
        assert sorted(PRESSED.findall(out)) == labels, out
        rig.wait_saved({label: 1 for label in labels})
        collected = os.path.join(rig.folder, "collected")
        assert "2 files fetched" in rig.collect(collected)
        rig.check_collected(collected, {label: 1 for label in labels})
        options = rig.broker.client_options
        for without in (options[:2] + options[4:], options[:4]):
            done = subprocess.run([TETHER, "--timeout", "10", "rig", "--broker", rig.broker.address(), "--rig", RIG,
                                   *without, "status"], capture_output=True, text=True, timeout=WAIT)
            assert done.returncode != 0 and "a " not in done.stdout, (without, done.returncode, done.stdout)
    finally:
        rig.close()


def case_value_lacking():
    """A value one camera lacks: that node refuses, the rest take it, and
    the table shows the difference."""
    products = {"a": "0x2031", "b": "0x2031", "c": "0x2011"}
    rig = Rig(list(products), products)
    try:
        lacking = props_difference(products["a"], products["c"])
        name, text = lacking
        out = rig.tether("set", name, text, code=1)
        assert re.search(rf"^a: {re.escape(name)} = ", out, re.M) and re.search(rf"^b: {re.escape(name)} = ", out, re.M), out
        assert re.search(r"^c: refused: ", out, re.M), out
        table = rig.tether("status")
        row = next(line for line in table.splitlines() if line.startswith("c "))
        assert name + " = " in row and "(rig: " in row, table
    finally:
        rig.close()


def props_difference(product, other):
    """A settable property with a value product offers and other does not."""
    def props(which):
        done = subprocess.run([TETHER, "--virtual", which, "--virtual-reset", "props", "--json"],
                              capture_output=True, text=True, timeout=WAIT, env=dict(os.environ, XDG_STATE_HOME=tempfile.mkdtemp()))
        return {p["name"]: p for p in json.loads(done.stdout)["properties"]}
    mine, theirs = props(product), props(other)
    for name in ("Aperture", "ShutterTime", "ISO", "ExposCompens", "WhiteBalance"):
        if name not in mine or mine[name].get("access") != "read-write":
            continue
        offered = {c["text"] for c in theirs.get(name, {}).get("choices", [])}
        for choice in mine[name].get("choices", []):
            if choice["text"] not in offered and choice["text"] != mine[name]["text"]:
                return name, choice["text"]
    raise AssertionError("the two products offer the same values")


def case_commands_by_hand():
    """Commands from another MQTT client: a repeated ID is carried out once
    and answered again; a shot whose time has passed is refused with the
    reason; an unknown action is refused."""
    rig = Rig(["a"])
    client = MqttClient(rig.broker.port, "by-hand")
    try:
        prepare(rig)
        client.subscribe(f"brx/v1/{RIG}/node/a/reply")
        shot = {"v": 1, "id": "twice-1", "action": "shoot", "shot": "by-hand",
                "at": int(time.time() * 1e6) + 1500000}
        client.publish(f"brx/v1/{RIG}/command", shot)
        client.publish(f"brx/v1/{RIG}/node/a/command", shot)
        client.publish(f"brx/v1/{RIG}/command", {"v": 1, "id": "late-1", "action": "shoot",
                                                 "at": int(time.time() * 1e6) - 5000000})
        client.publish(f"brx/v1/{RIG}/command", {"v": 1, "id": "what-1", "action": "dance"})
        replies = []
        wait_until(lambda: replies.extend(p for _, p in client.messages(1)) or len(replies) >= 3, "the answers")
        by_id = {reply["id"]: reply for reply in replies}
        assert not by_id["late-1"]["ok"] and "clock" in by_id["late-1"]["error"], by_id
        assert not by_id["what-1"]["ok"] and "dance" in by_id["what-1"]["error"], by_id
        assert by_id["twice-1"]["ok"] and by_id["twice-1"]["shot"] == "by-hand", by_id
        client.publish(f"brx/v1/{RIG}/command", shot)
        wait_until(lambda: replies.extend(p for _, p in client.messages(1)) or len(replies) >= 4, "the repeat")
        assert [r for r in replies if r["id"] == "twice-1"] == [by_id["twice-1"]] * 2, replies
        rig.wait_saved({"a": 1})
        collected = os.path.join(rig.folder, "collected")
        rig.collect(collected)
        assert rig.check_collected(collected, {"a": 1}) == {"by-hand"}
    finally:
        client.close()
        rig.close()


def case_node_killed():
    """A node killed mid-run is offline at once (its last will); back, its
    pictures the collector missed are collected."""
    labels = ["a", "b", "c"]
    rig = Rig(labels)
    try:
        prepare(rig)
        collected = os.path.join(rig.folder, "collected")
        follower = subprocess.Popen([TETHER, "rig", "--broker", rig.broker.address(), "--rig", RIG, "collect",
                                     "--out", collected, "--follow"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    text=True)
        rig.shoot(2)
        rig.wait_saved({label: 2 for label in labels})
        rig.nodes["b"].stop(signal.SIGKILL)
        rig.wait_connected(["b"], "offline")
        rig.shoot(1)
        rig.nodes["b"].start()
        rig.wait_connected(["b"])
        rig.shoot(1)
        rig.wait_saved({"a": 4, "c": 4, "b": 3})
        wait_until(lambda: count_files(collected) == 11, "the collector")
        follower.send_signal(signal.SIGINT)
        follower.wait(timeout=WAIT)
        rig.check_collected(collected, {"a": 4, "b": 3, "c": 4})
    finally:
        rig.close()


def count_files(folder):
    return sum(len([n for n in files if not n.endswith(".part")]) for _, _, files in os.walk(folder))


def case_broker_restarted():
    """The broker restarted mid-run: nodes and rig reconnect by themselves,
    no command is carried out twice, no announcement is lost."""
    labels = ["a", "b"]
    rig = Rig(labels)
    try:
        prepare(rig)
        rig.shoot(1)
        rig.broker.stop()
        rig.broker.start()
        rig.wait_connected(labels)
        rig.shoot(2)
        rig.wait_saved({label: 3 for label in labels})
        collected = os.path.join(rig.folder, "collected")
        rig.collect(collected)
        rig.check_collected(collected, {label: 3 for label in labels})
        assert all(len(node.saved()) == 3 for node in rig.nodes.values())
    finally:
        rig.close()


def case_collector_restarted():
    """A collector stopped mid-run takes up where it was: nothing fetched
    twice, nothing missing."""
    labels = ["a", "b"]
    rig = Rig(labels)
    try:
        prepare(rig)
        rig.shoot(2)
        rig.wait_saved({label: 2 for label in labels})
        collected = os.path.join(rig.folder, "collected")
        out = rig.collect(collected)
        assert "4 files fetched" in out, out
        # A fetch broken off midway: half of one file left behind.
        shot = sorted(os.listdir(collected))[0]
        name = sorted(os.listdir(os.path.join(collected, shot)))[0]
        path = os.path.join(collected, shot, name)
        with open(path, "rb") as whole:
            data = whole.read()
        os.remove(path)
        with open(path + ".part", "wb") as part:
            part.write(data[:len(data) // 2])
        rig.shoot(1)
        rig.wait_saved({label: 3 for label in labels})
        out = rig.collect(collected)
        assert "3 files fetched" in out and "3 already here" in out, out
        rig.check_collected(collected, {label: 3 for label in labels})
    finally:
        rig.close()


def case_camera_unplugged():
    """A camera unplugged on one node: the others go on, the table shows
    which, and it comes back."""
    labels = ["a", "b", "c"]
    rig = Rig(labels)
    try:
        prepare(rig)
        rig.nodes["b"].console("unplug")
        rig.wait_connected(["b"], "no camera")
        out = rig.shoot(1)
        assert "b: no camera, left out" in out and len(PRESSED.findall(out)) == 2, out
        rig.nodes["b"].console("plug")
        rig.wait_connected(["b"])
        rig.shoot(1)
        rig.wait_saved({"a": 2, "b": 1, "c": 2})
        collected = os.path.join(rig.folder, "collected")
        rig.collect(collected)
        rig.check_collected(collected, {"a": 2, "b": 1, "c": 2})
    finally:
        rig.close()


class RigServe:
    """tether rig serve on a free port, collecting into folder; its API as
    the page uses it."""

    def __init__(self, rig, folder):
        self.log_path = os.path.join(rig.folder, "serve.log")
        self.log = open(self.log_path, "w")
        self.process = subprocess.Popen(
            [TETHER, "--timeout", "30", "rig", "--broker", rig.broker.address(), "--rig", RIG, "serve",
             "--port", "0", "--out", folder], stdout=self.log, stderr=subprocess.STDOUT)
        self.address = None
        wait_until(self.printed, "rig serve's address")

    def printed(self):
        assert self.process.poll() is None, open(self.log_path).read()
        found = re.search(r" at (http://\S+/) ", open(self.log_path).read())
        self.address = found and found.group(1)
        return bool(self.address)

    def call(self, path, body=None):
        """(status, content type, body) of a GET, or a POST of body as JSON."""
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.address.rstrip("/") + path, data=data,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=WAIT) as answer:
                return answer.status, answer.headers.get("Content-Type"), answer.read()
        except urllib.error.HTTPError as error:
            return error.code, error.headers.get("Content-Type"), error.read()

    def json(self, path, body=None, status=200):
        code, _, data = self.call(path, body)
        assert code == status, (path, code, data)
        return json.loads(data)

    def nodes(self):
        return {node["label"]: node for node in self.json("/api/rig")["nodes"]}

    def stop(self):
        """Ctrl-C; its output, once it has ended well (no sanitizer's report)."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            self.process.wait(timeout=WAIT)
        self.log.close()
        out = open(self.log_path).read()
        assert self.process.returncode == 0, out
        return out


def events_seen(serve, kinds, seconds=WAIT):
    """Starts reading rig serve's event stream; the returned list fills with
    the kinds of event seen, and the event is set once all of kinds were."""
    seen, done = [], threading.Event()

    def read():
        with urllib.request.urlopen(serve.address + "api/events", timeout=seconds) as stream:
            for line in stream:
                if line.startswith(b"event: "):
                    seen.append(line[7:].strip().decode())
                    if set(kinds) <= set(seen):
                        done.set()
                        return

    threading.Thread(target=read, daemon=True).start()
    return seen, done


def case_serve():
    """rig serve's API, as its page uses it: every node with its camera,
    state and settings, a value one camera lacks marked as differing, a
    setting and a shot for all (press times and spread), the last picture's
    thumbnail from each node, the collection shot by shot, byte-exact, and
    the events that carry it all to the page; never a node's token."""
    products = {"a": "0x2031", "b": "0x2031", "c": "0x2011"}
    rig = Rig(list(products), products)
    collected = os.path.join(rig.folder, "collected")
    serve = RigServe(rig, collected)
    try:
        # DNG alone, which both products offer: one file per picture.
        seen, done = events_seen(serve, ["rig", "set", "shot", "collection"])
        _, _, page = serve.call("/")
        assert b"Shutter for all" in page, page
        nodes = serve.nodes()
        assert sorted(nodes) == ["a", "b", "c"] and all(n["state"] == "connected" for n in nodes.values()), nodes
        assert nodes["c"]["camera"]["productId"] == "0x2011", nodes["c"]
        _, _, raw = serve.call("/api/rig")
        assert b'"token"' not in raw and b'"http"' not in raw, raw

        answer = serve.json("/api/set", {"name": "FileFormat", "value": "DNG"})
        assert answer["ok"] and sorted(n["label"] for n in answer["nodes"] if n["ok"]) == ["a", "b", "c"], answer
        name, text = props_difference(products["a"], products["c"])
        answer = serve.json("/api/set", {"name": name, "value": text})
        by_label = {n["label"]: n for n in answer["nodes"]}
        assert not answer["ok"] and by_label["a"]["ok"] and by_label["b"]["ok"], answer
        assert not by_label["c"]["ok"] and by_label["c"]["error"], answer
        # The other product differs in more than this; the majority in nothing.
        wait_until(lambda: name in serve.nodes()["c"]["differing"] and serve.nodes()["a"]["differing"] == []
                   and serve.nodes()["b"]["differing"] == [], "the differing setting")
        assert serve.json("/api/rig")["settings"][name] == text

        shot = serve.json("/api/shoot", {"lead": int(LEAD_MS)})
        assert shot["ok"] and len(shot["nodes"]) == 3 and shot["spreadMs"] >= 0, shot
        assert all(n["pressed"] >= shot["at"] for n in shot["nodes"]), shot
        rig.wait_saved({label: 1 for label in products})
        wait_until(lambda: [(s["shot"], s["collected"], s["announced"])
                            for s in serve.json("/api/collection")["shots"]] == [(shot["shot"], 3, 3)],
                   "the collection")
        rig.check_collected(collected, {label: 1 for label in products})

        wait_until(lambda: all(n["lastPicture"] for n in serve.nodes().values()), "the last pictures")
        for label, node in serve.nodes().items():
            assert node["lastPicture"]["shot"] == shot["shot"], node
            status, kind, jpeg = serve.call(node["thumbnail"])
            assert status == 200 and kind == "image/jpeg" and jpeg[:2] == b"\xff\xd8", (label, status, kind)
        assert serve.call("/api/nodes/nobody/thumbnail")[0] == 404
        assert serve.json("/api/set", {"name": "Aperture"}, status=400)
        assert serve.json("/api/shoot", {"lead": 0}, status=400)
        assert done.wait(WAIT), seen
        assert "3 files fetched" in serve.stop()
    finally:
        try:
            serve.stop()
        finally:
            rig.close()


def case_browser():
    """rig serve's page in a real browser (tests/rig/browser/test_rig_page.js,
    run by serve's run.sh): the same as case_serve, through the page; every
    picture collected byte-exact."""
    run_sh, work = sys.argv[3:5]
    products = {"a": "0x2031", "b": "0x2031", "c": "0x2011"}
    name, text = props_difference(products["a"], products["c"])
    rig = Rig(list(products), products)
    collected = os.path.join(rig.folder, "collected")
    serve = RigServe(rig, collected)
    try:
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "browser", "test_rig_page.js")
        done = subprocess.run([run_sh, TETHER, work, script, serve.address, name, text,
                               os.path.join(work, "rig-page.png")], timeout=WAIT * 4)
        if done.returncode == 77:
            sys.exit(77)
        assert done.returncode == 0, done.returncode
        rig.check_collected(collected, {label: 1 for label in products})
    finally:
        try:
            serve.stop()
        finally:
            rig.close()


if __name__ == "__main__":
    if not os.access(MOSQUITTO, os.X_OK):
        print("mosquitto is not installed")
        sys.exit(77)
    globals()["case_" + sys.argv[2]]()
