#!/usr/bin/env python3
"""The camera's card over real libusb: an emulated camera whose card holds
fifty pictures before it is plugged in, listed, fetched and freed by tether
and by the Python package.

    usb-virtual-camera --camera 0x2031:C1 --card 50 --log LOG -- test_card_usb.py TETHER LOG

The camera's log names each file on its card with its size and SHA-256:
every listing and every fetched file is compared with it.
"""
import hashlib
import json
import os
import re
import subprocess
import sys
import tempfile

import brxsdk

TETHER, LOG = (os.path.abspath(path) for path in sys.argv[1:3])
SELECT = "serial:C1"
WAIT = 240  # seconds; a loaded machine running a sanitizer build
ADDED = re.compile(r"(BRX_\d{4}\.(?:DNG|JPG)) added as 0x[0-9A-F]{8}, (\d+) bytes, SHA-256 ([0-9a-f]{64}), camera C1")


def card_files():
    """name -> (size, SHA-256), as the camera stored them."""
    with open(LOG) as log:
        return {name: (int(size), digest) for name, size, digest in ADDED.findall(log.read())}


def run(*arguments, code=0):
    done = subprocess.run([TETHER, "--camera", SELECT, *arguments], capture_output=True, text=True, timeout=WAIT)
    assert done.returncode == code, (arguments, done.returncode, done.stdout, done.stderr)
    return done.stdout, done.stderr


def digest(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def check_copies(folder, files, copies):
    """folder holds each card file copies times (the later ones named -1,
    -2 ...), each byte for byte as the camera stored it."""
    saved = sorted(os.listdir(folder))
    assert len(saved) == copies * len(files), (len(saved), len(files))
    for name in saved:
        stem, extension = os.path.splitext(name)
        original = re.sub(r"-\d+$", "", stem) + extension
        path = os.path.join(folder, name)
        assert (os.path.getsize(path), digest(path)) == files[original], name


def tether_lists_fetches_and_deletes(work, files):
    listing = json.loads(run("files", "--json")[0])
    assert {f["name"]: f["size"] for f in listing["files"]} == {name: size for name, (size, _) in files.items()}
    assert all(f["captured"] for f in listing["files"]), listing["files"][0]
    folder = os.path.join(work, "card")
    out, _ = run("download", "--all", "--out", folder)
    assert "%d files" % len(files) in out, out
    check_copies(folder, files, 1)
    run("download", "--all", "--out", folder)
    check_copies(folder, files, 2)
    out, _ = run("files", "--new", "--out", folder)
    assert out.startswith("0 files"), out
    run("delete", "BRX_0002.JPG", "--yes")
    names = [f["name"] for f in json.loads(run("files", "--json")[0])["files"]]
    assert "BRX_0002.JPG" not in names and len(names) == len(files) - 1, names
    del files["BRX_0002.JPG"]


def python_shows_and_fetches(work, files):
    with brxsdk.Camera(select=SELECT, timeout=WAIT) as cam:
        listed = cam.files()
        assert [f["name"] for f in listed] == list(files), [f["name"] for f in listed]
        decoded = subprocess.run(["djpeg", "-pnm"], input=cam.thumbnail(listed[0]), capture_output=True, timeout=WAIT)
        assert decoded.returncode == 0 and decoded.stdout.startswith(b"P6"), decoded.stderr
        path = cam.download(listed[-1], os.path.join(work, "python"))
    assert (os.path.getsize(path), digest(path)) == files[listed[-1]["name"]]


if __name__ == "__main__":
    files = card_files()
    assert len(files) > 50, files
    with tempfile.TemporaryDirectory() as work:
        tether_lists_fetches_and_deletes(work, files)
        python_shows_and_fetches(work, files)
    print("ok")
