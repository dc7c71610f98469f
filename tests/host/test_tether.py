#!/usr/bin/env python3
"""tether run as a user runs it, on the library's virtual cameras.

    test_tether.py TETHER CASE

With log group 0x8 the virtual camera reports each file it stores with its
size and SHA-256, and every saved file is compared with that report. Its
files carry the time they were taken, so each is compared with the report of
the run that made it.
"""
import atexit
import hashlib
import json
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

TETHER = os.path.abspath(sys.argv[1])
WAIT = 120  # seconds; generous, the machine may be loaded

# The virtual cameras keep their settings under the user's state folder: a
# folder of this run's own, never the real home.
STATE = tempfile.mkdtemp(prefix="tether-state-")
os.environ["XDG_STATE_HOME"] = STATE
atexit.register(shutil.rmtree, STATE, ignore_errors=True)
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


def shown(text):
    """A text as a value line shows it: quoted when it has parentheses of its own."""
    return '"%s"' % text if "(" in text or ")" in text else text


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
            assert out.startswith("%s = %s" % (name, shown(current))), out
            offered = [c["text"] for c in before[name]["choices"] if mark in c["text"] and c["text"] != current]
            wanted = offered[len(offered) // 2]
            out, _ = run("--virtual", product, "set", name, wanted)
            assert out.startswith("%s = %s" % (name, wanted)), (product, out)
    out, _ = run("set", "ExposCompens", "-500", "--virtual", "0x2031")
    assert out.startswith("ExposCompens = -0.5 EV (-500)"), out


def listed(choices, name):
    """A refusal's list of values: up to a dozen, else the first and last six."""
    if len(choices) <= 12:
        return ", ".join(choices)
    return "%s, ..., %s (%d values; all of them: tether props %s)" % (
        ", ".join(choices[:6]), ", ".join(choices[-6:]), len(choices), name)


def case_refused(work):
    choices = [c["text"] for c in props("0x2031")["Aperture"]["choices"]]
    _, err = run("--virtual", "0x2031", "set", "Aperture", "f/1.1", code=2)
    assert err.strip() == "tether: f/1.1 is not among the camera's values of Aperture; valid values: " + \
        listed(choices, "Aperture"), err
    _, err = run("--virtual", "0x2031", "set", "Aperture", "wide open", code=2)
    assert err.strip() == "tether: cannot read 'wide open' as Aperture (f-number); valid values: " + \
        listed(choices, "Aperture"), err
    out, _ = run("--virtual", "0x2031", "props", "Aperture")
    assert ", ".join(choices) in out, out
    _, err = run("--virtual", "0x2031", "set", "FocusMaxDistance", "3 m", code=2)
    assert "read-only" in err, err
    _, err = run("--virtual", "0x2031", "set", "Brightness", "3", code=2)
    assert err.strip() == "tether: there is no property 'Brightness' (tether props lists them)", err
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
        expect(r"^ExposCompens = \+1 EV \(1000\)$")
        say("change ExposCompens -0.5 EV")
        expect(r"^ExposCompens = -0.5 EV \(-500\)$")
        say("shutter")
        expect(r"exec true .*BRX_0001\.JPG: exit status 0")
        # The picture took room on the card, said before or after its file.
        room = re.compile(r"^card: [0-9.]+ [kMG]?B free of [0-9.]+ [kMG]?B, [0-9]+ pictures left$")
        deadline = time.monotonic() + WAIT
        while not any(room.match(line) for line in printed):
            assert time.monotonic() < deadline, printed
            time.sleep(0.05)
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
        assert document["camera"]["productId"] == int(product, 16), document["camera"]
        assert document["camera"]["productIdHex"] == product, document["camera"]
        for entry in document["properties"]:
            assert entry["text"] and entry["unit"] and isinstance(entry["number"], int), entry
            assert all(choice["text"] for choice in entry.get("choices", [])), entry


def case_usage(work):
    run(code=2)
    run("focus", code=2)
    run("--virtual", "0x2031", "capture", "-n", "0", code=2)
    run("--virtual", "0x2031", "capture", "--shutter", code=2)
    _, err = run("--virtual", "0x2031", "--timeout", "soon", "props", code=2)
    assert err.startswith("tether: --timeout takes seconds") and "'soon'" in err, err
    _, err = run("--virtual", "foo", "props", code=2)
    assert err.startswith("tether: --virtual takes a product ID such as 0x2031, not 'foo'"), err
    _, err = run("--debug", "lots", "--virtual", "0x2031", "props", code=2)
    assert err.startswith("tether: --debug takes"), err
    out, _ = run("watch", "--help")
    assert all(command in out for command in ("shutter", "change NAME VALUE", "unplug", "plug")), out
    out, _ = run("--help")
    assert all(name in out for name in ("list", "props", "get", "set", "capture", "watch", "liveview", "demo"))
    out, _ = run("capture", "--help")
    assert "--filename" in out and "--virtual" in out, out
    out, _ = run("list", "--virtual", "0x2061")
    assert out.startswith("0x2061  Virtual Camera 0x2061  serial VC00002061"), out


def case_set_answered(work):
    """A set is true when the camera holds the value, or the nearest it offers (and says so); a value it does
    not take ends with status 1 and the value it holds."""
    out, _ = run("--virtual", "0x2031", "set", "Sensitivity", "Auto ISO")
    assert out.strip() == "Sensitivity = Auto ISO (0)", out
    out, _ = run("--virtual", "0x2031", "get", "Sensitivity", "SensitivityAuto")
    assert out.splitlines() == ["Sensitivity = Auto ISO (0)", "SensitivityAuto = on (true)"], out
    out, _ = run("--virtual", "0x2031", "set", "FocusDistance", "1.5 m")
    assert out.strip() == "FocusDistance = 1.50 m (1.5)", out
    out, err = run("--virtual", "0x2031", "set", "FocusDistance", "0.2 m", code=1)
    assert out.strip() == "FocusDistance = 0.45 m (0.45)", out
    assert err.strip() == "tether: the camera did not take FocusDistance = 0.20 m; it holds 0.45 m", err
    # Automatic sensitivity switched off in a later run ends at the camera's lowest ISO.
    out, _ = run("--virtual", "0x2031", "set", "SensitivityAuto", "off")
    assert out.strip() == "SensitivityAuto = off (false)", out
    out, _ = run("--virtual", "0x2031", "get", "Sensitivity")
    assert out.strip() == "Sensitivity = ISO 100 (100)", out
    # The range the properties give is the values they take: the camera's own
    # intervals round to their steps, the emulated ones take any.
    document = props("0x2031")["IntervalTime"]
    assert document["range"]["value"] == [1, 999] and {"value": 5, "text": "5 s"} in document["choices"], document
    out, _ = run("--virtual", "0x2031", "set", "IntervalTime", "7 s")
    assert out.strip() == "IntervalTime = 5 s (5), the nearest to 7 s", out
    out, _ = run("--virtual", "0x2009", "set", "IntervalTime", "7 s")
    assert out.strip() == "IntervalTime = 7 s (7)", out
    _, err = run("--virtual", "0x2031", "set", "IntervalTime", "1000 s", code=2)
    assert "outside the camera's range of IntervalTime: 1 s to 999 s" in err, err


def case_exec_failure(work):
    """A command that fails is said, and makes the run's exit status 1 once every file is saved."""
    folder = os.path.join(work, "failed")
    out, err = run("--virtual", "0x2031", "capture", "-n", "2", "--out", folder, "--exec", "false", code=1)
    assert sorted(os.listdir(folder)) == ["BRX_0001.DNG", "BRX_0001.JPG", "BRX_0002.DNG", "BRX_0002.JPG"]
    assert err.count("exit status 1") == 4 and "4 commands failed" in out, (out, err)


def case_several_settings(work):
    """Several settings in one run, and a virtual camera that keeps them between runs."""
    out, _ = run("--virtual", "0x2031", "set", "Aperture", "f/8", "ShutterTime", "1/125 s", "ExposCompens", "-0.5",
                 "EV", "FocusDistanceInc")
    assert out.splitlines() == ["Aperture = f/8 (8)", "ShutterTime = 1/125 s (0.008)",
                                "ExposCompens = -0.5 EV (-500)", "FocusDistanceInc done"], out
    out, _ = run("--virtual", "0x2031", "get", "Aperture", "ShutterTime")
    assert out.splitlines() == ["Aperture = f/8 (8)", "ShutterTime = 1/125 s (0.008)"], out
    out, _ = run("--virtual", "0x2031", "--virtual-reset", "get", "Aperture")
    assert out.strip() == "Aperture = f/4.8 (4.8)", out
    _, err = run("--virtual", "0x2031", "set", "Aperture", "f/8", "Shutter", "1/125", code=2)
    assert "there is no property 'Shutter'" in err, err
    folder = os.path.join(work, "set")
    out, _ = run("--virtual", "0x2031", "capture", "--set", "FileFormat=DNG", "--set", "Aperture=f/5.6",
                 "--out", folder)
    assert out.startswith("FileFormat = DNG (0)\nAperture = f/5.6 (5.6)\n"), out
    assert os.listdir(folder) == ["BRX_0001.DNG"]
    run("--virtual", "0x2031", "capture", "--set", "Aperture", "--out", folder, code=2)


def case_named_values(work):
    """Every value has a name, and a name reads back as the value."""
    out, _ = run("--virtual", "0x2031", "set", "ExposureMode", "M", "FocusMode", "auto")
    assert out.splitlines() == ["ExposureMode = M (0)", "FocusMode = auto single (0)"], out
    out, _ = run("--virtual", "0x2031", "get", "PowerSwitch", "LensConnectionType")
    assert out.splitlines() == ["PowerSwitch = single (2)", "LensConnectionType = native mount (0)"], out
    document = props("0x2031")
    assert [c["text"] for c in document["ExposureMode"]["choices"]] == ["M", "S", "P", "A", "bulb", "auto"]
    for name, entry in document.items():
        assert entry["text"] != str(entry["value"]), (name, entry)
    out, _ = run("--virtual", "0x2011", "get", "FileFormat")
    assert out.strip() == 'FileFormat = "DNG + JPG (fine)" (1)', out


def case_said_what_was_wrong(work):
    """A slip of a name or value is answered with the closest name."""
    _, err = run("--virtual", "0x2031", "set", "Apertur", "f/8", code=2)
    assert err.strip() == "tether: there is no property 'Apertur'; did you mean Aperture?", err
    _, err = run("--virtual", "0x2031", "get", "shuttertime", "Sensitivty", code=2)
    assert err.strip() == "tether: there is no property 'Sensitivty'; did you mean Sensitivity?", err
    _, err = run("--virtual", "0x2031", "set", "WhiteBalance", "Daylite", code=2)
    assert err.strip() == "tether: cannot read 'Daylite' as WhiteBalance (white-balance preset or kelvin); " \
        "did you mean Daylight?", err


def case_file_names(work):
    """Placeholders, strftime's letters and folders in --filename, inside --out whatever it says."""
    folder = os.path.join(work, "named")
    _, err = run("--virtual", "0x2031", "capture", "--out", folder, "--filename", "{date}/{nme}", code=2)
    assert "there is no {nme}" in err and "{name}, {date}, {time}, {counter}, {ext}" in err and "%Y" in err, err
    _, err = run("--virtual", "0x2031", "capture", "--out", folder, "--filename", "../{name}", code=2)
    assert "'..'" in err, err
    run("--virtual", "0x2031", "capture", "--out", folder, "--filename", "%Y/{counter}_{name}")
    year = time.strftime("%Y")
    assert sorted(os.listdir(os.path.join(folder, year))) == ["0001_BRX_0001.DNG", "0001_BRX_0001.JPG"]


def case_json(work):
    """--json on list, props, get, set, capture and watch: product IDs as numbers beside their hex text."""
    out, _ = run("--virtual", "0x2031", "list", "--json")
    camera = json.loads(out)["cameras"][0]
    assert camera["productId"] == 0x2031 and camera["productIdHex"] == "0x2031", camera
    assert json.loads(run("--virtual", "0x2031", "props", "--json")[0])["camera"]["productId"] == 0x2031
    document = json.loads(run("--virtual", "0x2031", "get", "Aperture", "--json")[0])
    assert [(p["name"], p["value"], p["text"]) for p in document["properties"]] == [("Aperture", 4.8, "f/4.8")]
    out, err = run("--virtual", "0x2031", "set", "Aperture", "f/8", "SensitivityAuto", "off", "--json", code=0)
    answers = json.loads(out)["properties"]
    assert [(a["name"], a["text"], a["confirmed"]) for a in answers] == \
        [("Aperture", "f/8", True), ("SensitivityAuto", "off", True)], (out, err)
    folder = os.path.join(work, "json")
    out, err = run("--virtual", "0x2031", "capture", "--out", folder, "--json")
    summary = json.loads(out)
    assert [os.path.basename(f["path"]) for f in summary["pictures"][0]["files"]] == ["BRX_0001.DNG", "BRX_0001.JPG"]
    assert summary["files"] == 2 and summary["failed"] == 0 and "release 1 of 1" in err, (out, err)


def case_watch_json(work):
    """watch --json: one JSON object per line, the summary too; the camera, each change and each file saved."""
    folder = os.path.join(work, "watched")
    tether = subprocess.Popen([TETHER, "--virtual", "0x2031", "--virtual-reset", "watch", "--json", "--out", folder],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    objects = queue.Queue()
    printed = []

    def read_output():
        for line in tether.stdout:
            printed.append(line)
            objects.put(json.loads(line))

    reader = threading.Thread(target=read_output, daemon=True)
    reader.start()

    def expect(test):
        while True:
            found = objects.get(timeout=WAIT)
            if test(found):
                return found

    def say(command):
        tether.stdin.write(command + "\n")
        tether.stdin.flush()

    try:
        camera = expect(lambda o: o["type"] == "camera")
        assert camera["productId"] == 0x2031 and camera["productIdHex"] == "0x2031" and camera["connected"], camera
        say("change ExposCompens +1 EV")
        change = expect(lambda o: o["type"] == "property" and o["name"] == "ExposCompens")
        assert (change["text"], change["raw"]) == ("+1 EV", "1000"), change
        say("shutter")
        files = [expect(lambda o: o["type"] == "file") for _ in range(2)]
        assert sorted(os.path.basename(f["path"]) for f in files) == ["BRX_0001.DNG", "BRX_0001.JPG"], files
        assert all(f["size"] == os.path.getsize(f["path"]) and f["picture"] == 1 for f in files), files
    finally:
        tether.send_signal(signal.SIGINT)
        code = tether.wait(timeout=WAIT)
        reader.join(WAIT)
    assert code == 0, (code, "".join(printed), tether.stderr.read()[-4000:])
    summary = json.loads(printed[-1])
    assert summary["files"] == 2 and summary["failed"] == 0, summary


def case_watch_waits(work):
    """watch says it waits for a camera, and --timeout ends the wait."""
    started = time.monotonic()
    out, err = run("--network", "127.0.0.1:9", "--timeout", "2", "watch", "--out", work, code=1)
    assert "waiting for a camera (at most 2 s), Ctrl-C ends" in out, out
    assert "no camera came within 2 s" in err and time.monotonic() - started < WAIT, err


def case_mirror_up(work):
    """With mirror-up a picture takes two releases: capture makes both and ends with the release."""
    folder = os.path.join(work, "mirror")
    started = time.monotonic()
    out, err = run("--virtual", "0x2031", "capture", "--set", "MirrorUpMode=on", "--out", folder)
    assert "release 1 of 1: mirror up, then the exposure" in out and "1 picture, 2 files" in out, (out, err)
    assert sorted(os.listdir(folder)) == ["BRX_0001.DNG", "BRX_0001.JPG"]
    print("capture with mirror-up took %.1f s" % (time.monotonic() - started))


def case_log(work):
    """The library's log shows with --debug only."""
    _, err = run("--virtual", "0x2031", "get", "Aperture")
    assert err == "", err
    _, err = run("--virtual", "0x2031", "--debug", "0", "get", "Aperture")
    assert "====== init BRX SDK ======" in err and "BRX_Logic_ControllerWorker::process() - started" in err, err


def case_camera_selector(work):
    """--camera names the one camera to tether, for every subcommand; one that cannot name a camera is refused at
    once. --virtual PID:SERIAL gives the virtual camera its serial number, and {serial} and {label} name files."""
    forms = "--camera takes serial:SERIAL (or a bare SERIAL), usb:BUS-PORT[.PORT...] or product:0xPPPP, not "
    for words in (["list"], ["props"], ["get", "Aperture"], ["set", "Aperture", "f/8"], ["capture"], ["watch"],
                  ["liveview"], ["serve"], ["demo"]):
        for selector in ("usb:1-0", "product:0", "port:1-2", "A B", ""):
            started = time.monotonic()
            _, err = run("--camera", selector, *words, code=2)
            assert forms + "'%s'" % selector in err, (words, err)
            assert time.monotonic() - started < 5, words
    out, _ = run("--virtual", "0x2031:CAM7", "--camera", "serial:CAM7", "list")
    assert "serial CAM7" in out, out
    out, _ = run("--camera", "CAM7", "--virtual", "0x2031:CAM7", "get", "Aperture")
    out, _ = run("--virtual", "0x2031:CAM7", "list", "--json")
    assert json.loads(out)["cameras"] == [{"productId": 0x2031, "productIdHex": "0x2031", "model": "Virtual Camera 0x2031",
                                           "serialNumber": "CAM7", "port": "virtual:0x2031", "inUse": False}], out
    run("--virtual", "0x2031:CAM7", "--camera", "CAM8", "--timeout", "1", "get", "Aperture", code=1)
    run("--virtual", "0x2031:CAM7", "--camera", "product:0x2011", "--timeout", "1", "get", "Aperture", code=1)
    _, err = run("--virtual", "0x2031:a/b", "list", code=2)
    assert "with serial number 'a/b'" in err, err
    _, err = run("--virtual", "0x2031:", "list", code=2)
    assert "--virtual takes a product ID such as 0x2031, not '0x2031:'" in err, err
    _, err = run("--label", "../x", "--virtual", "0x2031", "list", code=2)
    assert "--label takes 1 to 32 letters" in err, err
    folder = os.path.join(work, "rig")
    out, log = run(*FILE_LOG, "--virtual", "0x2011:B-2", "--label", "left", "capture", "--out", folder,
                   "--filename", "{label}-{serial}-{name}")
    files = camera_files(log)
    names = sorted(os.listdir(folder))
    assert names == ["left-B-2-BRX_0001.DNG", "left-B-2-BRX_0001.JPG"], names
    for name in names:
        with open(os.path.join(folder, name), "rb") as saved:
            data = saved.read()
        assert (len(data), hashlib.sha256(data).hexdigest()) == files[name[len("left-B-2-"):]], name


def case_card(work):
    """The card of 50 pictures: listed, fetched byte for byte twice without
    overwriting, only the missing one with --new, and deletion asks for --yes."""
    card = ("--virtual", "0x2031", "--card", "50")
    out, _ = run(*card, "files", "--json")
    listing = json.loads(out)
    names = [f["name"] for f in listing["files"]]
    assert len(names) == 66 and names[0] == "BRX_0001.JPG" and names[-1] == "BRX_0050.JPG", names
    assert listing["files"][0]["captured"] == "2026-05-01 08:01:37", listing["files"][0]
    assert listing["room"]["freeBytes"] == listing["room"]["capacityBytes"] - sum(f["size"] for f in listing["files"])
    out, _ = run(*card, "files")
    assert "pictures left" in out, out
    folder = os.path.join(work, "card")
    out, log = run(*FILE_LOG, *card, "download", "--all", "--out", folder)
    files = camera_files(log)
    assert len(check_pictures(folder, 66, files)) == 66 and "66 files" in out, out
    out, _ = run(*card, "files", "--new", "--out", folder)
    assert out.startswith("0 files"), out
    run(*card, "download", "--all", "--out", folder)
    assert len(check_pictures(folder, 132, files, suffix="-1")) == 132
    os.remove(os.path.join(folder, "BRX_0007.JPG"))
    out, _ = run(*card, "download", "--new", "--out", folder)
    assert "1 file" in out and os.path.exists(os.path.join(folder, "BRX_0007.JPG")), out
    check_pictures(folder, 132, files, suffix="")
    _, err = run(*card, "delete", "BRX_0002.JPG", code=2)
    assert "--yes" in err, err
    out, err = run(*card, "delete", "BRX_0002.JPG", "--yes")
    assert "deleted BRX_0002.JPG" in out + err, (out, err)
    _, err = run(*card, "delete", "BRX_9999.JPG", "--yes", code=1)
    assert "no file 'BRX_9999.JPG'" in err, err


if __name__ == "__main__":
    with tempfile.TemporaryDirectory() as work:
        globals()["case_" + sys.argv[2]](work)
    print("ok")
