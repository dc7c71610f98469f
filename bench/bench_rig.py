#!/usr/bin/env python3
"""A rig of 16 tether nodes on virtual cameras on this machine, through a
Mosquitto broker on a free port: how close together the cameras are
released, and how fast the pictures are collected.

    bench_rig.py TETHER [--nodes N] [--shots N]

Release spread: `tether rig shoot -n 50`, and for each shot the spread
(last minus first) of the release operations' arrival at the 16 virtual
cameras, each taken by the camera itself (its log line, stamped by
--log-time as it is written); beside it the spread of the press times the
nodes report. Collection: `tether rig collect` of every picture into an
empty folder, beside a plain HTTP download of the same files, one after the
other, from the same nodes.
"""
import argparse
import os
import re
import sys
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "rig"))
import test_rig  # noqa: E402  the rig's broker and nodes, as the tests start them

RELEASE = re.compile(r"^(\d+) \S+ - operation 0x9004 transaction", re.M)


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def figure(values_ms):
    return "p50 %.3f ms, p99 %.3f ms, max %.3f ms (n=%d)" % (
        percentile(values_ms, 0.5), percentile(values_ms, 0.99), max(values_ms), len(values_ms))


def retained_states(port, rig):
    """label -> the node's http address and token, read from the broker as
    any MQTT client reads them."""
    client = test_rig.MqttClient(port, "bench-reader")
    client.subscribe(f"brx/v1/{rig}/node/+/state")
    states = {state["label"]: state["http"] for _, state in client.messages(2) if state.get("online")}
    client.close()
    return states


def shot_times(out, since_us):
    """The time of each shot, in microseconds since 1970: a node's press
    time less how late it pressed."""
    day_us = since_us - since_us % 86400000000
    times = []
    for shot in out.split("shot ")[1:]:
        hours, minutes, seconds, late_ms = re.search(r"pressed at (\d+):(\d+):([0-9.]+) UTC \(([0-9.]+) ms",
                                                     shot).groups()
        pressed = day_us + int((int(hours) * 3600 + int(minutes) * 60) * 1e6) + int(round(float(seconds) * 1e6))
        times.append(pressed - int(round(float(late_ms) * 1000)))
    return times


def release_spreads(rig, labels, shots):
    """For each shot, the spread of the first release operation each camera
    saw from the shot's time on."""
    arrivals = {}
    for label in labels:
        with open(rig.nodes[label].log_path, errors="replace") as log:
            arrivals[label] = sorted(int(t) for t in RELEASE.findall(log.read()))
    spreads = []
    for at in shots:
        firsts = [next(t for t in arrivals[label] if t >= at) for label in labels]
        spreads.append((max(firsts) - min(firsts)) / 1000.0)
    return spreads


def press_spreads(out):
    return [float(spread) for spread in re.findall(r"^spread ([0-9.]+) ms", out, re.M)]


def plain_download(rig, labels, folder):
    states = retained_states(rig.broker.port, test_rig.RIG)
    started = time.monotonic()
    total = 0
    for label in labels:
        for name in rig.nodes[label].saved():
            request = urllib.request.Request(states[label]["address"] + "files/" + name,
                                             headers={"Authorization": "Bearer " + states[label]["token"]})
            with urllib.request.urlopen(request) as answer, open(os.path.join(folder, label + name), "wb") as out:
                total += out.write(answer.read())
    return total, time.monotonic() - started


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tether")
    parser.add_argument("--nodes", type=int, default=16)
    parser.add_argument("--shots", type=int, default=50)
    arguments = parser.parse_args()
    test_rig.Node.EXTRA = ["--log-time"]
    labels = ["cam%02d" % index for index in range(1, arguments.nodes + 1)]
    rig = test_rig.Rig(labels)
    try:
        test_rig.prepare(rig)
        since_us = int(time.time() * 1e6)
        out = rig.tether("shoot", "-n", str(arguments.shots), "--interval", "0.5", "--lead", "300",
                         timeout=arguments.shots * 10)
        rig.wait_saved({label: arguments.shots for label in labels})
        print("rig of %d nodes, %d shots" % (len(labels), arguments.shots))
        spreads = release_spreads(rig, labels, shot_times(out, since_us))
        print("release arrival spread at the cameras: " + figure(spreads))
        print("reference, press spread the nodes report: " + figure(press_spreads(out)))
        collected = os.path.join(rig.folder, "collected")
        started = time.monotonic()
        rig.collect(collected)
        seconds = time.monotonic() - started
        size = sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(collected) for f in files)
        plain = os.path.join(rig.folder, "plain")
        os.makedirs(plain)
        total, plain_seconds = plain_download(rig, labels, plain)
        print("tether rig collect: %.1f MB in %.2f s, %.1f MB/s (the whole command: broker, announcements, "
              "SHA-256)" % (size / 1e6, seconds, size / 1e6 / seconds))
        print("reference, plain HTTP GETs of the same files: %.1f MB in %.2f s, %.1f MB/s"
              % (total / 1e6, plain_seconds, total / 1e6 / plain_seconds))
    finally:
        rig.close()


if __name__ == "__main__":
    main()
