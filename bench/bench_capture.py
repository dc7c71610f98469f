#!/usr/bin/env python3
"""How long `tether capture` of one DNG+JPG pair takes on the virtual camera
0x2031, as a photographer's script sees it: the whole process, from start to
exit, each run into a fresh folder. Beside it, in the same run, `tether list`
on the same camera: the cost of starting the process and the camera, which
every capture pays too. Medians of the runs, with the range.

    bench_capture.py TETHER [--runs N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time


def wall_time(command, cwd):
    started = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=cwd, timeout=120)
    return time.monotonic() - started


def measure(command, runs, work, fresh_out):
    """Seconds per run; with fresh_out, each run saves into a folder of its own."""
    seconds = []
    for run in range(runs):
        out = os.path.join(work, "run-%d" % run)
        seconds.append(wall_time(command + (["--out", out] if fresh_out else []), work))
        shutil.rmtree(out, ignore_errors=True)
    return seconds


def summary(seconds):
    return "%.3f s (%.3f-%.3f, %d)" % (statistics.median(seconds), min(seconds), max(seconds), len(seconds))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tether")
    parser.add_argument("--runs", type=int, default=10)
    arguments = parser.parse_args()
    tether = os.path.abspath(arguments.tether)
    with tempfile.TemporaryDirectory() as work:
        # The virtual camera keeps its settings here: every run starts from the same camera.
        os.environ["XDG_STATE_HOME"] = work
        camera = [tether, "--virtual", "0x2031"]
        subprocess.run(camera + ["--virtual-reset", "set", "FileFormat", "DNG + JPG"], check=True,
                       stdout=subprocess.DEVNULL, cwd=work)
        listing = measure(camera + ["list"], arguments.runs, work, fresh_out=False)
        capture = measure(camera + ["capture"], arguments.runs, work, fresh_out=True)
    print("tether capture of one DNG+JPG pair, 0x2031: %s; tether list: %s; capture beyond the start: %.3f s"
          % (summary(capture), summary(listing), statistics.median(capture) - statistics.median(listing)))


if __name__ == "__main__":
    main()
