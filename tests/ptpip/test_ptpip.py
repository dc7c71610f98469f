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
         Wireshark 4.0's PTP/IP dissector reads one packet from the start of
         each TCP segment, while the kernel cuts the stream where it likes
         once a receiver falls behind: the capture's byte streams are cut at
         the packets' length fields into one segment a packet for it.
"""
import hashlib
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
from test_tether import camera_files  # noqa: E402  the files the camera reports storing

SERVER, TETHER = (os.path.abspath(p) for p in sys.argv[1:3]) if len(sys.argv) > 2 else (None, None)
WAIT = 120
# A loaded machine can drop packets before the capture sees them.
CAPTURE_ATTEMPTS = 3


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


def check_file(client, handle):
    info = client.ok(0x1008, handle)
    form, size = struct.unpack_from("<HxxI", info, 4)
    filename = ptp_string(info, 52)[0]
    if form == 0x3001:  # the folder
        return None
    data = client.ok(0x1009, handle)
    assert len(data) == size, filename
    assert client.ok(0x101B, handle, 1000, 5000) == data[1000:6000], filename
    response, thumbnail = client.call(0x100A, handle)
    assert response in (0x2001, 0x2010), hex(response)
    assert response == 0x2010 or thumbnail[:2] == b"\xff\xd8", filename
    # The server's log says what the camera stored: compared once it ended.
    print("read %s %d %s" % (filename, len(data), hashlib.sha256(data).hexdigest()))
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
    return subprocess.run([SERVER, "--product", product, "--port", "0", "--take", "2", "--debug", "0x8", "--",
                           *command], capture_output=True, text=True, timeout=WAIT, **kwargs)


def case_client():
    done = serve("0x2031", [sys.executable, os.path.abspath(__file__), "_client"])
    assert done.returncode == 0, (done.stdout, done.stderr)
    stored = camera_files(done.stderr)
    read = re.findall(r"^read (\S+) (\d+) ([0-9a-f]{64})$", done.stdout, re.M)
    assert len(read) >= 4, done.stdout
    for name, size, digest in read:
        assert stored[name] == (int(size), digest), name + " differs from the camera's file"
    print(done.stdout.strip())


def session_script(work):
    tether = "%s --network 127.0.0.1:{port}" % TETHER
    return " && ".join([
        "%s set ExposCompens +0.7 EV" % tether,
        "%s capture -n 1 --out %s" % (tether, work),
        "%s liveview --seconds 1 --out %s/live.mjpeg" % (tether, work),
        "%s %s _client" % (sys.executable, os.path.abspath(__file__)),
    ])


def tcp_segments(pcap):
    """(connection end points, sequence number, payload) of each TCP segment
    with data in a libpcap file of Ethernet frames."""
    with open(pcap, "rb") as f:
        data = f.read()
    magic, linktype = struct.unpack_from("<I", data)[0], struct.unpack_from("<I", data, 20)[0]
    assert magic == 0xA1B2C3D4 and linktype == 1, (hex(magic), linktype)
    offset = 24
    while offset + 16 <= len(data):
        length = struct.unpack_from("<I", data, offset + 8)[0]
        frame = data[offset + 16:offset + 16 + length]
        offset += 16 + length
        ip = frame[14:]
        if frame[12:14] != b"\x08\x00" or ip[9] != 6:
            continue
        tcp = ip[(ip[0] & 15) * 4:struct.unpack_from(">H", ip, 2)[0]]
        sport, dport, seq = struct.unpack_from(">HHI", tcp)
        payload = tcp[(tcp[12] >> 4) * 4:]
        if payload:
            yield (sport, dport), seq, payload


class CaptureGap(Exception):
    """The capture missed bytes of a stream: the kernel dropped packets on
    their way to the capture (a loaded machine), not a fault of the session."""


def ptpip_packets(pcap, port):
    """The PTP/IP packets to and from port, each with the place in the
    capture where it began, cut from each direction's byte stream."""
    streams = {}
    for order, (ends, seq, payload) in enumerate(tcp_segments(pcap)):
        if port in ends:
            streams.setdefault(ends, []).append((seq, order, payload))
    packets = []
    for ends, segments in streams.items():
        first = segments[0][0]
        stream, starts = b"", []
        for seq, order, payload in sorted(segments, key=lambda s: (s[0] - first) % (1 << 32)):
            skip = len(stream) - (seq - first) % (1 << 32)
            if skip < 0:
                raise CaptureGap("the capture lost %d bytes of %s" % (-skip, ends))
            if skip < len(payload):
                starts.append((len(stream), order))
                stream += payload[skip:]
        offset = 0
        while offset < len(stream):
            length = struct.unpack_from("<I", stream, offset)[0]
            assert 8 <= length <= len(stream) - offset and length < 65000, (ends, offset, length)
            order = max(o for start, o in starts if start <= offset)
            packets.append((order, ends, stream[offset:offset + length]))
            offset += length
    return sorted(packets, key=lambda p: p[0])


def write_segments(packets, pcap):
    """A libpcap file with each packet in a TCP segment of its own."""
    seqs = {}
    with open(pcap, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 262144, 1))
        for order, (sport, dport), packet in packets:
            seq = seqs.get((sport, dport), 1)
            seqs[(sport, dport)] = seq + len(packet)
            tcp = struct.pack(">HHIIBBHHH", sport, dport, seq, 0, 5 << 4, 0x18, 65535, 0, 0)
            ip = struct.pack(">BBHHHBBH4s4s", 0x45, 0, 40 + len(packet), 0, 0, 64, 6, 0,
                             bytes([127, 0, 0, 1]), bytes([127, 0, 0, 1]))
            frame = bytes(12) + b"\x08\x00" + ip + tcp + packet
            f.write(struct.pack("<IIII", order, 0, len(frame), len(frame)) + frame)


def wait_until_captured(pcap):
    """Stopping the capture drops what it has not read yet, and on a loaded
    machine it lags behind the session. Loopback reaches it in order: once
    a marker sent after the session is in the file, so is the session."""
    marker = uuid.uuid4().hex.encode()
    with socket.create_server(("127.0.0.1", 0)) as listener:
        with socket.create_connection(listener.getsockname()) as sender:
            receiver, _ = listener.accept()
            with receiver:
                sender.sendall(marker)
                receiver.recv(len(marker))
    deadline = time.monotonic() + WAIT
    while time.monotonic() < deadline:
        with open(pcap, "rb") as f:
            if marker in f.read():
                return
        time.sleep(0.1)
    raise AssertionError("the capture did not catch up with the session in %d s" % WAIT)


def capture_session(work):
    """The PTP/IP packets of a tether session captured on loopback, and the
    served camera's port."""
    pcap = os.path.join(work, "session.pcap")
    try:
        capture = subprocess.Popen(["tshark", "-i", "lo", "-f", "tcp", "-B", "64", "-F", "pcap", "-w", pcap, "-q"],
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
    wait_until_captured(pcap)
    capture.send_signal(signal.SIGINT)
    capture.wait(timeout=WAIT)
    assert done.returncode == 0 and "1 picture, 2 files" in done.stdout, (done.stdout, done.stderr)
    port = int(re.search(r"at 127\.0\.0\.1:(\d+)", done.stderr).group(1))
    return ptpip_packets(pcap, port), port


def case_tshark(work):
    for attempt in range(CAPTURE_ATTEMPTS):
        try:
            attempt_folder = os.path.join(work, "attempt%d" % attempt)
            os.makedirs(attempt_folder)
            packets, port = capture_session(attempt_folder)
            break
        except CaptureGap as gap:
            if attempt + 1 == CAPTURE_ATTEMPTS:
                raise
            print("%s; capturing the session again" % gap)
    segmented = os.path.join(work, "packets.pcap")
    write_segments(packets, segmented)
    decode = ["tshark", "-r", segmented, "-d", "tcp.port==%d,ptpip" % port]
    types = subprocess.run(decode + ["-Y", "ptpip", "-T", "fields", "-e", "ptpip.pktType"],
                           capture_output=True, text=True, timeout=WAIT).stdout.split()
    assert len(types) == len(packets), (len(types), len(packets))
    seen = {int(t, 0) for line in types for t in line.split(",")}
    assert {1, 2, 3, 4, 6, 7, 8, 9, 10, 12} <= seen, sorted(seen)
    assert seen <= set(range(1, 15)), sorted(seen)
    bad = subprocess.run(decode + ["-Y", "_ws.malformed || ptpip.pktType > 14"],
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
