"""tether's command table and the cameras' values, read from tether itself."""

import json
import os
import subprocess


def run_tether(tether, *arguments):
    # UTF-8 whatever the build's locale; the library's log stays off.
    environment = dict(os.environ, LC_ALL="C.UTF-8")
    done = subprocess.run([tether, *arguments], capture_output=True, check=True, env=environment, timeout=120)
    return json.loads(done.stdout.decode("utf-8"))


def command_table(tether):
    return run_tether(tether, "--command-table")
