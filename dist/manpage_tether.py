#!/usr/bin/env python3
"""tether(1) from tether's own command table (tether --command-table): the
texts --help prints, with a section for each subcommand.

    manpage_tether.py TETHER VERSION OUTPUT
"""

import sys

from roff import escape, title
from tether_table import command_table


def option_entries(options):
    lines = []
    for option in options:
        names = ", ".join(("-" if len(name) == 1 else "--") + name for name in option["names"])
        value = " \\fI%s\\fR" % escape(option["valueName"]) if option["valueName"] else ""
        lines += [".TP", "\\fB%s\\fR%s" % (escape(names), value), escape(option["description"])]
    return lines


def name_line(table):
    # The description's first clause: "Tethered shooting on the BRX SDK".
    summary = table["description"].split(":")[0].split(".")[0]
    return "tether \\- " + escape(summary[0].lower() + summary[1:])


def synopsis(table):
    # One hanging paragraph per form, without space between them.
    lines = [".PD 0", ".HP 4", "\\fBtether\\fR " + escape(table["usage"].split(" ", 1)[1])]
    for subcommand in table["subcommands"]:
        words = subcommand["synopsis"].split(" ", 1)
        rest = " " + escape(words[1]) if len(words) > 1 else ""
        lines += [".HP 4", "\\fBtether\\fR [global options] \\fB%s\\fR%s" % (escape(words[0]), rest)]
    return lines + [".PD"]


def subcommand_section(subcommand):
    lines = [".SS " + escape(subcommand["name"]), "\\fBtether\\fR [global options] " + escape(subcommand["synopsis"]),
             ".PP", escape(subcommand["summary"])]
    if subcommand["options"]:
        lines += [".PP", "Options:"] + option_entries(subcommand["options"])
    return lines


def render(table, version):
    out = title("tether", 1, version, "User Commands")
    out += [".SH NAME", name_line(table), ".SH SYNOPSIS"] + synopsis(table)
    out += [".SH DESCRIPTION", escape(table["description"]), ".SH SUBCOMMANDS"]
    for subcommand in table["subcommands"]:
        out += subcommand_section(subcommand)
    out += [".SH GLOBAL OPTIONS", "Before or after the subcommand."] + option_entries(table["globalOptions"])
    out += [".SH EXIT STATUS", escape(table["exitStatus"])]
    out += [".SH SEE ALSO", ".BR brxsdk (3)"]
    return "\n".join(out) + "\n"


def main():
    tether, version, output = sys.argv[1:4]
    with open(output, "w", encoding="utf-8") as target:
        target.write(render(command_table(tether), version))


if __name__ == "__main__":
    main()
