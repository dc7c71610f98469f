#!/usr/bin/env python3
"""tether serve under load, on the virtual camera 0x2041:

- live view to several browsers at once: each client reads the MJPEG stream
  for a while and counts the frames it got against the library's frame
  numbers (X-Frame-Number), so every frame the library delivered and the
  client missed counts;
- a 100 MB file from the pictures folder, over HTTP and straight from the
  disk (both from the page cache), and the server's peak memory before and
  after it;
- a token holder's requests while slow clients without the token trickle
  request heads a byte at a time (each starts again once the server drops
  it), from an address each and all from one address, beside the same
  requests without them (tether serve --listen 0.0.0.0, token in the header).

    bench_serve.py TETHER [--clients N] [--seconds S] [--megabytes M] [--slow N]
"""
import argparse
import http.client
import json
import os
import re
import signal
import socket
import statistics
import subprocess
import tempfile
import threading
import time

CHUNK = 1 << 20


def peak_memory_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"VmHWM:\s+(\d+)", status.read()).group(1))


def get(port, path):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    connection.request("GET", path)
    return connection.getresponse()


def watch(port, seconds, result):
    """Reads parts until the time is up: [frames got, first number, last number]."""
    response = get(port, "/api/liveview")
    end = time.monotonic() + seconds
    got, first, last = 0, None, None
    while time.monotonic() < end:
        response.readline()
        headers = dict(line.decode().rstrip().lower().split(": ", 1) for line in iter(response.readline, b"\r\n"))
        response.read(int(headers["content-length"]) + 2)
        number = int(headers["x-frame-number"])
        first = number if first is None else first
        last, got = number, got + 1
    result.extend([got, first, last])


def bench_live_view(port, clients, seconds):
    results = [[] for _ in range(clients)]
    threads = [threading.Thread(target=watch, args=(port, seconds, result)) for result in results]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for index, (got, first, last) in enumerate(results, 1):
        delivered = last - first + 1
        print("live view client %d of %d: %d of %d frames (%.1f%%, %.1f fps)"
              % (index, clients, got, delivered, 100.0 * got / delivered, got / seconds))


def timed_read(stream):
    started, size = time.monotonic(), 0
    while True:
        block = stream.read(CHUNK)
        if not block:
            return size, time.monotonic() - started
        size += len(block)


def bench_file(port, pid, folder, megabytes):
    path = os.path.join(folder, "bench.bin")
    with open(path, "wb") as stream:
        for _ in range(megabytes):
            stream.write(os.urandom(CHUNK))
    with open(path, "rb") as stream:
        timed_read(stream)  # into the page cache
    with open(path, "rb") as stream:
        size, disk = timed_read(stream)
    before = peak_memory_kb(pid)
    response = get(port, "/files/bench.bin")
    served, http_time = timed_read(response)
    assert response.status == 200 and served == size, (response.status, served, size)
    print("%d MB file: %.0f MB/s over HTTP, %.0f MB/s from the disk; server peak memory %d kB before, %d kB after"
          % (megabytes, size / http_time / 1e6, size / disk / 1e6, before, peak_memory_kb(pid)))


def slow_client(port, source, stop):
    head = b"GET /api/camera HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n"
    while not stop.is_set():
        try:
            with socket.socket() as client:
                client.bind((source, 0))
                client.connect(("127.0.0.1", port))
                for byte in head:
                    client.send(bytes([byte]))
                    if stop.wait(0.5):
                        return
        except OSError:
            stop.wait(0.5)  # dropped or refused: again, as an attacker would


def token_holder(port, token, count, spacing):
    """count requests, spacing seconds apart, each on a connection of its
    own: the times from connecting to the whole answer, in ms."""
    times = []
    for _ in range(count):
        started = time.monotonic()
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
        connection.request("GET", "/api/camera", headers={"Authorization": "Bearer " + token})
        response = connection.getresponse()
        response.read()
        assert response.status == 200, response.status
        times.append((time.monotonic() - started) * 1000)
        connection.close()
        time.sleep(spacing)
    return times


def spread(times):
    return "%.1f ms (%.1f-%.1f, %d)" % (statistics.median(times), min(times), max(times), len(times))


def bench_slow_clients(tether, work, slow):
    serve = subprocess.Popen([tether, "--virtual", "0x2041", "--quiet", "serve", "--port", "0", "--listen", "0.0.0.0",
                              "--out", os.path.join(work, "slow")], stdout=subprocess.PIPE, text=True)
    try:
        port, token = re.search(r":(\d+)/\?token=(\w+)", serve.stdout.readline()).groups()
        port = int(port)
        # 20 requests over 12 s: the slow clients are dropped at least once meanwhile.
        reference = token_holder(port, token, 20, 0.6)
        figures = []
        for name, sources in (("an address each", ["127.0.1.%d" % (n + 1) for n in range(slow)]),
                              ("one address", ["127.0.2.1"] * slow)):
            stop = threading.Event()
            clients = [threading.Thread(target=slow_client, args=(port, source, stop)) for source in sources]
            for client in clients:
                client.start()
            time.sleep(2)
            figures.append("%s %s" % (name, spread(token_holder(port, token, 20, 0.6))))
            stop.set()
            for client in clients:
                client.join()
        print("token holder's GET /api/camera under %d slow clients: from %s; without them %s"
              % (slow, "; from ".join(figures), spread(reference)))
    finally:
        serve.send_signal(signal.SIGINT)
        serve.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tether")
    parser.add_argument("--clients", type=int, default=4)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--megabytes", type=int, default=100)
    parser.add_argument("--slow", type=int, default=150)
    arguments = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        bench_slow_clients(arguments.tether, work, arguments.slow)
        folder = os.path.join(work, "pictures")
        serve = subprocess.Popen([arguments.tether, "--virtual", "0x2041", "--quiet", "serve", "--port", "0",
                                  "--out", folder], stdout=subprocess.PIPE, text=True)
        try:
            port = int(re.search(r"127\.0\.0\.1:(\d+)/", serve.stdout.readline()).group(1))
            while not json.loads(get(port, "/api/camera").read())["connected"]:
                time.sleep(0.1)
            bench_live_view(port, arguments.clients, arguments.seconds)
            bench_file(port, serve.pid, folder, arguments.megabytes)
        finally:
            serve.send_signal(signal.SIGINT)
            serve.wait()


if __name__ == "__main__":
    main()
