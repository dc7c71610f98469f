#!/usr/bin/env python3
"""tether run as a user runs it, on the library's virtual cameras.

    test_tether.py TETHER CASE

With log group 0x8 the virtual camera reports each file it stores with its
size and SHA-256, and every saved file is compared with that report. Its
files carry the time they were taken, so each is compared with the report of
the run that made it.
"""
import hashlib
import json
import os
import queue
import re
import signal
import subprocess
import sys
import tempfile
import threading

TETHER = os.path.abspath(sys.argv[1])
WAIT = 120  # seconds; generous, the machine may be loaded
FILE_LOG = ("--debug", "0x8")
ADDED = re.compile(r"(BRX_\d{4}\.(?:DNG|JPG)) added as 0x[0-9A-F]{8}, (\d+) bytes, SHA-256 ([0-9a-f]{64})")


def camera_files(log):
    """The files the camera reported in log: name -> (size, SHA-256)."""
    files = {}
    for name, size, digest in ADDED.findall(log):
        assert files.setdefault(name, (int(size), digest)) == (int(size), digest), name + " reported twice"
    return files


def check_pictures(folder, minimum, files, suffix=None):
    """Every BRX_ file in folder (with that suffix before its extension, if
    given) is the camera's own, as files reports it; returns their names."""
    names = sorted(n for n in os.listdir(folder) if n.startswith("BRX_"))
    assert len(names) >= minimum, names
    for name in names:
        match = re.fullmatch(r"(BRX_\d{4})(-\d+)?(\.DNG|\.JPG)", name)
        assert match, name
        if suffix is not None and (match.group(2) or "") != suffix:
            continue
        with open(os.path.join(folder, name), "rb") as saved:
            data = saved.read()
        assert (len(data), hashlib.sha256(data).hexdigest()) == files[match.group(1) + match.group(3)], \
            name + " differs from the camera's file"
    return names


def run(*arguments, code=0, cwd=None):
    done = subprocess.run([TETHER, *arguments], capture_output=True, text=True, timeout=WAIT, cwd=cwd)
    assert done.returncode == code, (arguments, done.returncode, done.stdout, done.stderr)
    return done.stdout, done.stderr


def props(product):
    out, _ = run("--virtual", product, "props", "--json")
    return {p["name"]: p for p in json.loads(out)["properties"]}


def check_mjpeg(path, reported):
    """Frames one after the other, each FFD8 ... FFD9; their count as reported."""
    with open(path, "rb") as stream:
        data = stream.read()
    starts = [0] + [m.start() + 2 for m in re.finditer(b"\xff\xd9(?=\xff\xd8)", data)]
    frames = [data[a:b] for a, b in zip(starts, starts[1:] + [len(data)])]
    assert len(frames) == reported and reported > 0, (len(frames), reported)
    assert all(f.startswith(b"\xff\xd8") and f.endswith(b"\xff\xd9") for f in frames)


def live_view_report(text):
    match = re.search(r"live view: (\d+) frames \(([\d.]+) fps\).*written to", text)
    assert match, text
    print("live view rate: %s fps over %s frames (the virtual camera sends 25)" % (match.group(2), match.group(1)))
    return int(match.group(1)), float(match.group(2))


# --- Cases ----------------------------------------------------------------------

def case_demo(work):
    for product in ("0x2031", "0x2041"):
        folder = os.path.join(work, product)
        out, log = run(*FILE_LOG, "demo", "--virtual", product, "--out", folder)
        assert "What happened" in out, out
        names = check_pictures(folder, 4, camera_files(log))
        assert "BRX_0001.DNG" in names and "BRX_0001.JPG" in names, names
        check_mjpeg(os.path.join(folder, "liveview.mjpeg"), live_view_report(out)[0])


def case_set_get(work):
    kinds = {"Aperture": "f/", "ShutterTime": " s", "ExposCompens": " EV", "Sensitivity": "ISO ",
             "WhiteBalance": " K", "MirrorUpMode": ""}
    for product in ("0x2009", "0x2031", "0x2061"):
        before = props(product)
        for name, mark in kinds.items():
            if name not in before:
                continue
            current = before[name]["text"]
            out, _ = run("--virtual", product, "get", name)
            assert out.startswith("%s = %s" % (name, current)), out
            offered = [c["text"] for c in before[name]["choices"] if mark in c["text"] and c["text"] != current]
            wanted = offered[len(offered) // 2]
            out, _ = run("--virtual", product, "set", name, wanted)
            assert out.startswith("%s = %s" % (name, wanted)), (product, out)
    out, _ = run("set", "ExposCompens", "-500", "--virtual", "0x2031")
    assert out.startswith("ExposCompens = -0.5 EV (-500)"), out


def case_refused(work):
    choices = [c["text"] for c in props("0x2031")["Aperture"]["choices"]]
    _, err = run("--virtual", "0x2031", "set", "Aperture", "f/1.1", code=2)
    assert "f/1.1" in err and ", ".join(choices) in err, err
    _, err = run("--virtual", "0x2031", "set", "Aperture", "wide open", code=2)
    assert ", ".join(choices) in err, err
    _, err = run("--virtual", "0x2031", "set", "FocusMaxDistance", "3 m", code=2)
    assert "read-only" in err, err
    run("--virtual", "0x2031", "set", "Brightness", "3", code=2)
    run("--virtual", "0x2009", "liveview", "--seconds", "1", code=1)
    run("--virtual", "0x1234", "list", code=2)
    _, err = run("--timeout", "1", "props", code=1)
    assert "no camera" in err, err


def case_capture_pairs(work):
    for product in ("0x2031", "0x2061"):
        assert "+" in props(product)["FileFormat"]["text"]
        folder = os.path.join(work, product)
        out, log = run(*FILE_LOG, "capture", "-n", "3", "--out", folder, "--virtual", product, "--timeout", "60")
        files = camera_files(log)
        names = check_pictures(folder, 6, files)
        assert names == ["BRX_%04d.%s" % (n, e) for n in (1, 2, 3) for e in ("DNG", "JPG")], names
        assert "3 pictures, 6 files" in out, out
    # A second run into the same folder overwrites nothing.
    _, log = run(*FILE_LOG, "--virtual", "0x2031", "capture", "--out", folder, "--exec", "true")
    assert len(check_pictures(folder, 8, files, suffix="")) == 8
    check_pictures(folder, 8, camera_files(log), suffix="-1")
    assert os.path.exists(os.path.join(folder, "BRX_0001-1.DNG"))


def case_watch(work):
    folder = os.path.join(work, "watched")
    tether = subprocess.Popen([TETHER, *FILE_LOG, "--virtual", "0x2031", "watch", "--out", folder, "--exec", "true"],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    lines, printed, log = queue.Queue(), [], []

    def read_output():
        for line in tether.stdout:
            printed.append(line)
            lines.put(line)

    threading.Thread(target=read_output, daemon=True).start()
    reader = threading.Thread(target=lambda: log.extend(tether.stderr), daemon=True)
    reader.start()

    def expect(pattern):
        while True:
            line = lines.get(timeout=WAIT)
            if re.search(pattern, line):
                return line

    def say(command):
        tether.stdin.write(command + "\n")
        tether.stdin.flush()

    try:
        expect("watching camera 0x2031")
        say("change 0x5010 1000")
        expect(r"camera: ExposCompens = \+1 EV$")
        say("shutter")
        expect(r"exec true .*BRX_0001\.JPG: exit status 0")
        # Unplugged and back: quick view is asked for again, so names still come.
        say("unplug")
        say("plug")
        expect("came back")
        say("shutter")
        expect(r"exec true .*BRX_0002\.JPG: exit status 0")
    finally:
        tether.send_signal(signal.SIGINT)
        code = tether.wait(timeout=WAIT)
        reader.join(WAIT)
    # What the program said, without the camera's line for every operation.
    assert code == 0, (code, "".join(printed), "".join(line for line in log if "::handle()" not in line)[-4000:])
    assert check_pictures(folder, 4, camera_files("".join(log))) == \
        ["BRX_0001.DNG", "BRX_0001.JPG", "BRX_0002.DNG", "BRX_0002.JPG"]


def case_liveview(work):
    path = os.path.join(work, "view.mjpeg")
    out, _ = run("--virtual", "0x2041", "liveview", "--seconds", "3", "--out", path)
    check_mjpeg(path, live_view_report(out)[0])
    assert re.search(r"zoom 1x, showing 0%, 0% to 100%, 100%, focus cross at 50%, 50%", out), out
    piped = subprocess.run([TETHER, "--virtual", "0x2061", "liveview", "--seconds", "2", "--out", "-"],
                           capture_output=True, timeout=WAIT)
    assert piped.returncode == 0
    with open(path, "wb") as stream:
        stream.write(piped.stdout)
    check_mjpeg(path, live_view_report(piped.stderr.decode())[0])


def case_props_json(work):
    for product in ("0x2009", "0x2011", "0x2021", "0x2031", "0x2041", "0x2051", "0x2061"):
        out, _ = run("--virtual", product, "props", "--json")
        document = json.loads(out)
        assert document["camera"]["productId"] == product.upper().replace("0X", "0x")
        for entry in document["properties"]:
            assert entry["text"] and entry["unit"] and isinstance(entry["number"], int), entry
            assert all(choice["text"] for choice in entry.get("choices", [])), entry


def case_usage(work):
    run(code=2)
    run("focus", code=2)
    run("--virtual", "0x2031", "capture", "-n", "0", code=2)
    run("--virtual", "0x2031", "capture", "--shutter", code=2)
    run("--virtual", "0x2031", "--timeout", "soon", "props", code=2)
    out, _ = run("--help")
    assert all(name in out for name in ("list", "props", "get", "set", "capture", "watch", "liveview", "demo"))
    out, _ = run("capture", "--help")
    assert "--filename" in out and "--virtual" in out, out
    out, _ = run("list", "--virtual", "0x2061")
    assert out.startswith("0x2061  Virtual Camera 0x2061  serial VC00002061"), out


if __name__ == "__main__":
    with tempfile.TemporaryDirectory() as work:
        globals()["case_" + sys.argv[2]](work)
    print("ok")
