#!/usr/bin/env python3
"""The virtual camera served over PTP/IP, seen by programs nobody here wrote
to this library's code: a PTP/IP initiator written from the standard alone,
and Wireshark's PTP/IP dissector.

    test_ptpip.py PTPIP_VIRTUAL_CAMERA TETHER CASE

client:  the initiator below lists the card, reads every file whole, in part
         and as a thumbnail, captures with InitiateCapture and waits for the
         standard's events, and compares every byte with the camera's files.
tshark:  tshark captures loopback while tether works the camera over PTP/IP
         (connection, a setting, a capture with its downloads, live view) and
         the client runs; the dissector must report no malformed packet and
         no unknown packet type. Exits 77 (skipped) when tshark cannot capture.
"""
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import uuid

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "host"))
from test_tether import virtual_file, DNG, JPG  # noqa: E402  the camera's files, computed independently

SERVER, TETHER = (os.path.abspath(p) for p in sys.argv[1:3]) if len(sys.argv) > 2 else (None, None)
WAIT = 120


class Connection:
    """One TCP connection carrying PTP/IP packets: length, type, payload."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)

    def send(self, kind, payload=b""):
        self.sock.sendall(struct.pack("<II", 8 + len(payload), kind) + payload)

    def receive(self):
        length, kind = struct.unpack("<II", self.exactly(8))
        assert 8 <= length <= 64 << 20, length
        return kind, self.exactly(length - 8)

    def exactly(self, count):
        data = bytearray()
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            assert chunk, "the camera closed the connection"
            data += chunk
        return bytes(data)


class Initiator:
    def __init__(self, port):
        self.command = Connection(port)
        name = "generic client".encode("utf-16-le") + b"\0\0"
        self.command.send(1, uuid.uuid4().bytes + name + struct.pack("<I", 0x00010000))
        kind, ack = self.command.receive()
        assert kind == 2, kind
        number = struct.unpack_from("<I", ack)[0]
        self.events = Connection(port)
        self.events.send(3, struct.pack("<I", number))
        assert self.events.receive()[0] == 4
        self.transaction = 0

    def call(self, code, *params):
        """One operation; returns (response code, data phase or None)."""
        tid = self.transaction
        self.transaction += 1
        self.command.send(6, struct.pack("<IHI", 1, code, tid) + b"".join(struct.pack("<I", p) for p in params))
        data = None
        while True:
            kind, body = self.command.receive()
            if kind == 9:
                assert struct.unpack_from("<I", body)[0] == tid
                total = struct.unpack_from("<Q", body, 4)[0]
                data = b""
            elif kind in (10, 12):
                assert struct.unpack_from("<I", body)[0] == tid
                data += body[4:]
                if kind == 12:
                    assert len(data) == total, (len(data), total)
            elif kind == 7:
                response, answered = struct.unpack_from("<HI", body)
                assert answered == tid, (answered, tid)
                return response, data
            else:
                raise AssertionError("unexpected packet type %d" % kind)

    def ok(self, code, *params):
        response, data = self.call(code, *params)
        assert response == 0x2001, hex(response)
        return data

    def event(self):
        kind, body = self.events.receive()
        assert kind == 8, kind
        code, tid = struct.unpack_from("<HI", body)
        return code, tid, struct.unpack_from("<%dI" % ((len(body) - 6) // 4), body, 6)


def ptp_string(data, offset):
    count = data[offset]
    text = data[offset + 1:offset + 1 + 2 * count].decode("utf-16-le").rstrip("\0")
    return text, offset + 1 + 2 * count


def expected_bytes(filename):
    match = re.fullmatch(r"BRX_(\d{4})\.(DNG|JPG)", filename)
    assert match, filename
    return virtual_file(int(match.group(1)), DNG if match.group(2) == "DNG" else JPG)


def check_file(client, handle):
    info = client.ok(0x1008, handle)
    form, size = struct.unpack_from("<HxxI", info, 4)
    filename = ptp_string(info, 52)[0]
    if form == 0x3001:  # the folder
        return None
    data = client.ok(0x1009, handle)
    assert len(data) == size and data == expected_bytes(filename), filename
    assert client.ok(0x101B, handle, 1000, 5000) == data[1000:6000], filename
    response, thumbnail = client.call(0x100A, handle)
    assert response in (0x2001, 0x2010), hex(response)
    assert response == 0x2010 or thumbnail[:2] == b"\xff\xd8", filename
    return filename


def run_client(port):
    client = Initiator(port)
    info = client.ok(0x1001)  # outside the session
    assert "Virtual Camera" in ptp_string(info, info.index(b"V\0i\0r\0t\0u\0a\0l\0 \0C\0a\0m\0e\0r\0a") - 1)[0]
    client.transaction = 0
    client.ok(0x1002, 1)
    storages = client.ok(0x1004)
    count, storage = struct.unpack_from("<II", storages)
    assert count == 1
    client.ok(0x1005, storage)
    handles = client.ok(0x1007, storage, 0, 0)
    listed = [check_file(client, h) for h in struct.unpack_from("<%dI" % handles[0], handles, 4)]
    assert len([name for name in listed if name]) >= 2, listed

    capture_tid = client.transaction
    client.ok(0x100E, 0, 0)
    added = []
    while True:
        code, tid, params = client.event()
        if code == 0x4002:
            assert tid == capture_tid, (tid, capture_tid)
            added.append(params[0])
        if code == 0x400D:
            assert tid == capture_tid, (tid, capture_tid)
            break
    assert added, "InitiateCapture announced no object"
    new_files = [check_file(client, h) for h in added]
    client.ok(0x1003)
    print("client: %d files read, %s captured" % (len(listed), ", ".join(new_files)))


def serve(product, command, **kwargs):
    return subprocess.run([SERVER, "--product", product, "--port", "0", "--take", "2", "--", *command],
                          capture_output=True, text=True, timeout=WAIT, **kwargs)


def case_client():
    done = serve("0x2031", [sys.executable, os.path.abspath(__file__), "_client"])
    assert done.returncode == 0, (done.stdout, done.stderr)
    print(done.stdout.strip())


def session_script(work):
    tether = "%s --network 127.0.0.1:{port}" % TETHER
    return " && ".join([
        "%s set ExposCompens +0.7 EV" % tether,
        "%s capture -n 1 --out %s" % (tether, work),
        "%s liveview --seconds 1 --out %s/live.mjpeg" % (tether, work),
        "%s %s _client" % (sys.executable, os.path.abspath(__file__)),
    ])


def case_tshark(work):
    pcap = os.path.join(work, "session.pcap")
    try:
        capture = subprocess.Popen(["tshark", "-i", "lo", "-f", "tcp", "-w", pcap, "-q"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    except OSError:
        print("tshark is not installed")
        sys.exit(77)
    said = ""
    for line in capture.stderr:  # up to "Capturing on 'Loopback: lo'"
        said += line
        if "Capturing on" in line:
            break
    else:
        capture.wait()
        print("tshark cannot capture: " + said)
        sys.exit(77)
    done = serve("0x2061", ["sh", "-c", session_script(work)])
    capture.send_signal(signal.SIGINT)
    capture.wait(timeout=WAIT)
    assert done.returncode == 0, (done.stdout, done.stderr)
    port = re.search(r"at 127\.0\.0\.1:(\d+)", done.stderr).group(1)
    decode = ["tshark", "-r", pcap, "-d", "tcp.port==%s,ptpip" % port, "-o", "tcp.desegment_tcp_streams:TRUE"]
    types = subprocess.run(decode + ["-Y", "ptpip", "-T", "fields", "-e", "ptpip.pktType"],
                           capture_output=True, text=True, timeout=WAIT).stdout.split()
    seen = {int(t, 0) for line in types for t in line.split(",")}
    assert {1, 2, 3, 4, 6, 7, 8, 9, 10, 12} <= seen, sorted(seen)
    assert seen <= set(range(1, 15)), sorted(seen)
    bad = subprocess.run(decode + ["-Y", "tcp.port==%s && (_ws.malformed || ptpip.pktType > 14)" % port],
                         capture_output=True, text=True, timeout=WAIT).stdout
    assert not bad.strip(), bad
    print("tshark: %d PTP/IP packets of types %s, none malformed" % (len(types), sorted(seen)))


if __name__ == "__main__":
    if sys.argv[1] == "_client":
        run_client(int(os.environ["PTPIP_PORT"]))
    elif sys.argv[3] == "client":
        case_client()
    else:
        with tempfile.TemporaryDirectory() as folder:
            case_tshark(folder)
    print("ok")
