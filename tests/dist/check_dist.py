#!/usr/bin/env python3
"""What a system install brings, checked as a user meets it: the man pages
(rendered by man without a warning, saying what tether --help says and
naming every exported function of the C header) and tether's bash
completion (run by bash). The expected texts and words come from tether
itself and the header, not from copies.

    check_dist.py man TETHER TETHER_1 BRXSDK_3 HEADER
    check_dist.py completion TETHER COMPLETION
"""

import json
import os
import re
import subprocess
import sys
import tempfile

WAIT = 120


def run(*arguments, **options):
    environment = dict(os.environ, LC_ALL="C.UTF-8")
    environment.update(options.pop("env", {}))
    done = subprocess.run(arguments, capture_output=True, text=True, timeout=WAIT, env=environment, **options)
    assert done.returncode == 0, (arguments, done.returncode, done.stdout, done.stderr)
    return done


def words(text):
    return " ".join(text.split())


def render(page):
    """The page as man shows it in plain ASCII; no warning of man or groff."""
    done = run("man", "--warnings", "-l", page, env={"LC_ALL": "C", "MANWIDTH": "80", "MAN_KEEP_FORMATTING": ""})
    assert not done.stderr, (page, done.stderr)
    run("man", "--warnings", "-l", page)  # and in UTF-8
    return re.sub(r".\x08", "", done.stdout)


def check_tether_page(tether, page):
    table = json.loads(run(tether, "--command-table").stdout)
    shown = render(page)
    text = words(shown)
    general = words(run(tether, "--help").stdout)
    for entry in [table["description"], table["exitStatus"]] + [o["description"] for o in table["globalOptions"]]:
        assert words(entry) in general, entry
        assert words(entry) in text, entry
    headings = shown.splitlines()
    for subcommand in table["subcommands"]:
        assert "   " + subcommand["name"] in headings, "no section for " + subcommand["name"]
        own = words(run(tether, subcommand["name"], "--help").stdout)
        for entry in [subcommand["summary"]] + [o["description"] for o in subcommand["options"]]:
            assert words(entry) in own, (subcommand["name"], entry)
            assert words(entry) in text, (subcommand["name"], entry)


def check_library_page(header, page):
    with open(header, encoding="utf-8") as source:
        code = source.read()
    text = words(render(page))
    functions = re.findall(r"BRX_SDK_EXPORT\s+[^;(]*?\b(brxsdk_\w+)\s*\(", code)
    assert len(functions) > 10, functions
    for function in functions:
        assert function + "(" in text, function
    for section in re.findall(r"^ \* =+ ([A-Za-z ]+?) =+$", code, re.MULTILINE):
        assert section.upper() in text, section


def case_man(tether, tether_page, library_page, header):
    check_tether_page(tether, tether_page)
    check_library_page(header, library_page)


def complete(completion, *line, cwd=None):
    """What the completion offers for the words of line, the last being the
    one under the cursor, in a bash that sourced the script."""
    script = ('source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); '
              'COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}; complete -p tether > /dev/null; '
              '$(complete -p tether | sed -n "s/.*-F \\([^ ]*\\) .*/\\1/p") tether; '
              'printf "%s\\n" "${COMPREPLY[@]}"')
    done = run("bash", "--norc", "--noprofile", "-c", script, "bash", completion, "tether", *line, cwd=cwd)
    return [word for word in done.stdout.split("\n") if word]


def case_completion(tether, completion):
    table = json.loads(run(tether, "--command-table").stdout)
    names = [s["name"] for s in table["subcommands"]]
    assert complete(completion, "") == names
    offered = complete(completion, "se")
    assert offered == [n for n in names if n.startswith("se")] and {"set", "serve"} <= set(offered), offered

    pids = complete(completion, "--virtual", "")
    assert "0x2031" in pids and all(pid in run(tether, "--help").stdout for pid in pids), pids
    settable = [p["name"] for p in table["properties"] if p["settable"]]
    assert complete(completion, "--virtual", "0x2031", "set", "Ap") == [n for n in settable if n.startswith("Ap")]
    assert set(complete(completion, "get", "Shu")) == {"ShutterTime", "ShutterTimeList"}

    props = json.loads(run(tether, "--virtual", "0x2031", "props", "--json").stdout)["properties"]
    formats = [c["text"] for p in props if p["name"] == "FileFormat" for c in p["choices"]]
    assert formats and set(formats) <= set(complete(completion, "set", "FileFormat", "")), formats
    assert set(complete(completion, "set", "fileformat", "DNG")) >= {f for f in formats if f.startswith("DNG")}
    assert set(complete(completion, "set", "FocusDistanceInc", "Ap")) >= {"Aperture"}

    capture = [o for s in table["subcommands"] if s["name"] == "capture" for o in s["options"]]
    assert "--out" in complete(completion, "capture", "--o") and capture
    with tempfile.TemporaryDirectory() as work:
        os.mkdir(os.path.join(work, "pictures"))
        assert complete(completion, "capture", "--out", "pic", cwd=work) == ["pictures"]


if __name__ == "__main__":
    globals()["case_" + sys.argv[1]](*sys.argv[2:])
    print("ok")
