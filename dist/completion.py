#!/usr/bin/env python3
"""tether's bash completion, from tether's own command table (subcommands,
options, the value each option takes, property names) and, after
"set NAME", the values the library names for that property on each of its
virtual cameras (the products --virtual lists), as tether props gives them.

    completion.py TETHER TEMPLATE OUTPUT
"""

import concurrent.futures
import re
import sys

from tether_table import command_table, run_tether


def option_words(options):
    return [("-" if len(name) == 1 else "--") + name for option in options for name in option["names"]]


def positional_kinds(synopsis):
    """NAME, VALUE ... as the synopsis names its positional words: after the
    subcommand, leaving out options ([-n N], --rig NAME) and their values."""
    words = re.sub(r"\[-[^\]]*\]", " ", synopsis).split()[1:]
    kinds, after_option = [], False
    for word in words:
        if word.startswith("-"):
            after_option = True
        elif after_option:
            after_option = False
        elif re.match(r"[A-Z]", word.strip("[]")):
            kinds.append(re.sub(r"[^A-Z].*", "", word.strip("[]")))
    return kinds


def products(table):
    """The virtual cameras, as the option that takes a PID lists them."""
    found = []
    for option in table["globalOptions"]:
        if option["valueName"].startswith("PID"):
            found += [pid for pid in re.findall(r"0x[0-9A-Fa-f]{4}", option["description"]) if pid not in found]
    return found


def property_values(tether, pids):
    """For each property name, the texts of the choices any virtual camera offers."""
    def props(pid):
        return run_tether(tether, "--virtual", pid, "props", "--json")["properties"]

    values = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=len(pids) or 1) as pool:
        for listing in pool.map(props, pids):
            for entry in listing:
                known = values.setdefault(entry["name"], [])
                known += [choice["text"] for choice in entry.get("choices", []) if choice["text"] not in known]
    return values


def quoted(word):
    return "'" + word.replace("'", "'\\''") + "'"


def lines_function(name, words):
    """A function that prints the words, one a line."""
    body = "    printf '%%s\\n' %s\n" % " ".join(quoted(word) for word in words) if words else "    :\n"
    return "%s()\n{\n%s}\n" % (name, body)


def case_function(name, cases, argument='"$1"'):
    """A function that prints, one a line, the words of the case its argument matches."""
    text = "%s()\n{\n    case %s in\n" % (name, argument)
    for pattern, words in cases:
        if words:
            text += "        %s) printf '%%s\\n' %s ;;\n" % (pattern, " ".join(quoted(word) for word in words))
    return text + "    esac\n}\n"


def data(table, values, pids):
    subcommands = table["subcommands"]
    options = table["globalOptions"] + [option for s in subcommands for option in s["options"]]
    value_names = {}
    for option in options:
        for word in option_words([option]):
            if option["valueName"]:
                value_names.setdefault(word, option["valueName"])
    properties = table["properties"]
    settable = [p["name"] for p in properties if p["settable"]]
    takes_value = [p["name"] for p in properties if p["takesValue"]]
    # Property names as tether reads them: in any case.
    lowered = [(quoted(name.lower()), values.get(name, [])) for name in sorted(values)]
    return "\n".join([
        lines_function("_tether_subcommands", [s["name"] for s in subcommands]),
        lines_function("_tether_global_options", option_words(table["globalOptions"])),
        case_function("_tether_options", [(quoted(s["name"]), option_words(s["options"])) for s in subcommands]),
        case_function("_tether_value_name", [(quoted(word), [name]) for word, name in value_names.items()]),
        case_function("_tether_positionals", [(quoted(s["name"]), positional_kinds(s["synopsis"])) for s in subcommands]),
        lines_function("_tether_properties", [p["name"] for p in properties]),
        lines_function("_tether_settable", settable),
        case_function("_tether_takes_value", [("|".join(quoted(n.lower()) for n in takes_value), ["yes"])],
                      '"${1,,}"'),
        case_function("_tether_values", lowered, '"${1,,}"'),
        lines_function("_tether_products", pids),
    ])


def main():
    tether, template, output = sys.argv[1:4]
    table = command_table(tether)
    pids = products(table)
    with open(template, encoding="utf-8") as source:
        text = source.read().replace("@DATA@\n", data(table, property_values(tether, pids), pids))
    with open(output, "w", encoding="utf-8") as target:
        target.write(text)


if __name__ == "__main__":
    main()
