#!/usr/bin/env python3
"""Several cameras on one machine, over real libusb: four emulated cameras
served at once by usb-virtual-camera, one tether process per camera.

    usb-virtual-camera --camera 0x2031:A ... --log LOG --control FIFO -- test_several_cameras.py TETHER LOG FIFO

The cameras' log names each file they store with its size, SHA-256 and
serial number: every saved file is compared with it.
"""
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

TETHER, LOG, CONTROL = (os.path.abspath(path) for path in sys.argv[1:4])
WAIT = 240  # seconds; four cameras at once on a loaded machine
# The watchers of unplug_one log the library's PTP lines to their files, shown when a wait fails.
DEBUG = os.environ.get("SC_DEBUG", "--debug 0x1 --log-time").split()
CAMERAS = {"A": ("0x2031", "usb:1-1"), "B": ("0x2011", "usb:1-2"), "C": ("0x2041", "usb:1-3"), "D": ("0x2061", "usb:1-4")}
ADDED = re.compile(r"(BRX_\d{4}\.(?:DNG|JPG)) added as 0x[0-9A-F]{8}, (\d+) bytes, SHA-256 ([0-9a-f]{64}), camera (\S+)")


def camera_files():
    """(serial, name) -> (size, SHA-256), as the cameras reported them."""
    with open(LOG) as log:
        return {(serial, name): (int(size), digest) for name, size, digest, serial in ADDED.findall(log.read())}


def tether(*arguments, stderr=subprocess.PIPE):
    return subprocess.Popen([TETHER, *arguments], stdout=subprocess.PIPE, stderr=stderr, text=True)


def finish(process, code=0):
    out, err = process.communicate(timeout=WAIT)
    assert process.returncode == code, (process.args, process.returncode, out, err)
    return out, err


def listed(*selector, code=0):
    done = subprocess.run([TETHER, *selector, "list", "--json"], capture_output=True, text=True, timeout=WAIT)
    assert done.returncode == code, done
    return {camera["serialNumber"]: camera for camera in json.loads(done.stdout)["cameras"]}


def control(line):
    with open(CONTROL, "w") as fifo:
        fifo.write(line + "\n")


def check_own_pictures(serial, folder, pictures):
    """folder holds the files of pictures pictures of camera serial, each byte for byte as that camera stored it."""
    files = camera_files()
    names = sorted(os.listdir(folder))
    assert len(names) >= 2 * pictures, (serial, names)
    for name in names:
        with open(os.path.join(folder, name), "rb") as saved:
            data = saved.read()
        assert (len(data), hashlib.sha256(data).hexdigest()) == files[(serial, name)], (serial, name)


def case_four_at_once(work):
    """Three processes pinned by serial number, one by port, each capture -n 3 at the same time; tether list run
    meanwhile shows all four and marks those in use, and the transfers lose nothing."""
    selectors = {"A": "A", "B": "serial:B", "C": "serial:C", "D": "usb:1-4"}
    runs = {serial: tether("--camera", selector, "--timeout", "120", "capture", "-n", "3", "--out",
                           os.path.join(work, serial)) for serial, selector in selectors.items()}
    seen_in_use = set()
    while any(run.poll() is None for run in runs.values()):
        cameras = listed()
        assert sorted(cameras) == sorted(CAMERAS), cameras
        for serial, camera in cameras.items():
            assert (camera["productIdHex"], camera["port"]) == CAMERAS[serial], camera
            if camera["inUse"]:
                seen_in_use.add(serial)
    for serial, run in runs.items():
        out, _ = finish(run)
        assert "3 pictures" in out, (serial, out)
        check_own_pictures(serial, os.path.join(work, serial), 3)
    assert seen_in_use, "list never saw a camera in use"
    assert not any(camera["inUse"] for camera in listed().values())
    print("list saw in use: %s" % sorted(seen_in_use))


def read_events(process, events):
    for line in process.stdout:
        if line.startswith("{") and line.rstrip().endswith("}"):
            events.append(json.loads(line))


def wait_for(condition, what, seen=None):
    deadline = time.monotonic() + WAIT
    while not condition():
        assert time.monotonic() < deadline, (what, seen)
        time.sleep(0.1)


def connections(events):
    return [event["connected"] for event in events if event.get("type") == "camera"]


def case_list_selected(work):
    """tether list --camera lists only the cameras the selector names, and fails when it names none."""
    assert sorted(listed("--camera", "C")) == ["C"]
    assert sorted(listed("--camera", "usb:1-4")) == ["D"]
    assert sorted(listed("--camera", "product:0x2011")) == ["B"]
    assert listed("--camera", "serial:Z", code=1) == {}


def ports(events):
    return [event["port"] for event in events if event.get("type") == "camera" and event["connected"]]


def case_unplug_one(work):
    """Unplugging one camera affects only its process, which takes it back when it returns, also in another
    socket when pinned by serial number; a process whose camera is absent waits without touching the others.
    The processes' standard error goes to files: a pipe nobody reads would hold up a process that logs."""
    watchers, events, logs = {}, {}, {}
    os.makedirs(work)
    for serial in ("A", "B"):
        events[serial] = []
        logs[serial] = open(os.path.join(work, serial + ".err"), "w+")
        watchers[serial] = tether(*DEBUG, "--camera", serial, "watch", "--json", "--out", os.path.join(work, serial),
                                  stderr=logs[serial])
        threading.Thread(target=read_events, args=(watchers[serial], events[serial]), daemon=True).start()
    try:
        unplug_one_of(watchers, events)
    except AssertionError:
        for serial, watcher in watchers.items():
            watcher.kill()
            logs[serial].seek(0)
            sys.stderr.write("--- the log of %s's process, its end:\n%s\n" % (serial, logs[serial].read()[-8000:]))
        raise


def unplug_one_of(watchers, events):
    absent = tether("--camera", "serial:Z", "--timeout", "3", "get", "Aperture")
    for serial in ("A", "B"):
        wait_for(lambda: connections(events[serial]) == [True], "camera %s connected" % serial, events[serial])
    control("unplug A")
    wait_for(lambda: connections(events["A"]) == [True, False], "A's process saw it go", events["A"])
    control("plug A 7")
    wait_for(lambda: connections(events["A"]) == [True, False, True], "A's process took it back in port 7",
             events["A"])
    assert connections(events["B"]) == [True], events["B"]
    assert ports(events["A"]) == ["usb:1-1", "usb:1-7"], events["A"]
    assert ports(events["B"]) == ["usb:1-2"], events["B"]
    assert listed()["A"]["port"] == "usb:1-7"
    _, err = finish(absent, code=1)
    assert "no camera found" in err, err
    for serial in ("A", "B"):
        watchers[serial].send_signal(signal.SIGINT)
        finish(watchers[serial])
    assert connections(events["B"]) == [True], events["B"]


def case_same_camera_twice(work):
    """Two processes asking for the same camera: the second says it is in use, and takes it when the first exits."""
    first = tether("--camera", "usb:1-2", "watch", "--json", "--out", os.path.join(work, "first"))
    events = []
    threading.Thread(target=read_events, args=(first, events), daemon=True).start()
    wait_for(lambda: connections(events) == [True], "the first process connected")
    second = tether("--camera", "B", "--timeout", "120", "get", "Aperture")
    said = []
    reader = threading.Thread(target=lambda: said.extend(second.stderr), daemon=True)
    reader.start()
    # In tether's own words, without the library's log.
    in_use = "tether: the camera at usb:1-2 is in use by another program; waiting until it lets it go\n"
    wait_for(lambda: in_use in said, "the second said it is in use", said)
    assert second.poll() is None
    first.send_signal(signal.SIGINT)
    finish(first)
    out = second.stdout.read()
    second.wait(timeout=WAIT)
    reader.join(timeout=WAIT)
    assert second.returncode == 0 and out.startswith("Aperture = "), (second.returncode, out, said)
    assert said.count(in_use) == 1, said


if __name__ == "__main__":
    with tempfile.TemporaryDirectory() as work:
        for case in sys.argv[4:]:
            globals()["case_" + case](os.path.join(work, case))
            print("%s ok" % case)
