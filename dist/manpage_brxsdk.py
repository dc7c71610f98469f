#!/usr/bin/env python3
"""brxsdk(3) from the C header: its opening comment (the contract: lifecycle,
threads, properties, notifications), every exported function with its
comment, grouped as the header groups them, and the types.

    manpage_brxsdk.py HEADER VERSION OUTPUT
"""

import re
import sys

from roff import escape, prose, title, verbatim

BANNER = re.compile(r"^=+\s*(.*?)\s*=*$")


def blocks(lines):
    """The header as (comment lines, code lines) pairs: a comment that starts a
    line, with the code right after it; a blank line ends a pair."""
    pairs, comment, code, open_comment = [], [], [], False

    def flush():
        if comment or code:
            pairs.append((list(comment), list(code)))
        comment.clear()
        code.clear()

    for line in lines:
        if open_comment:
            comment.append(line)
            open_comment = "*/" not in line
        elif line.startswith("/*"):
            flush()
            comment.append(line)
            open_comment = "*/" not in line
        elif not line.strip():
            flush()
        else:
            code.append(line)
    flush()
    return pairs


def comment_text(comment):
    """The words of a comment, its layout (indentation, blank lines) kept."""
    text = []
    for index, line in enumerate(comment):
        line = re.sub(r"\s*\*/\s*$", "", line.rstrip())
        line = re.sub(r"^/\*+ ?", "", line) if index == 0 else re.sub(r"^ \*( |$)", "", line)
        text.append(line)
    while text and not text[0].strip():
        text.pop(0)
    while text and not text[-1].strip():
        text.pop()
    return text


def sections(text):
    """The opening comment as (title, lines): its first part, then one per
    "===== Title =====" line."""
    result = [("", [])]
    for line in text:
        banner = BANNER.match(line.strip())
        if banner and line.strip().startswith("==="):
            result.append((banner.group(1), []))
        else:
            result[-1][1].append(line)
    return result


def prototypes(code):
    statements = " ".join(line.strip() for line in code).split(";")
    return [re.sub(r"\s+", " ", s.replace("BRX_SDK_EXPORT", "")).strip() + ";" for s in statements if s.strip()]


class Page:
    def __init__(self, header_lines):
        pairs = blocks(header_lines)
        opening = next(index for index, (comment, _) in enumerate(pairs) if comment)
        self.contract = sections(comment_text(pairs[opening][0]))
        self.groups = []  # (title, intro lines, [(prototypes, comment lines)])
        self.types = []  # (comment lines, code lines)
        for comment, code in pairs[opening + 1:]:
            self.add(comment_text(comment), code)

    def add(self, text, code):
        banner = BANNER.match(text[0].strip()) if text else None
        if banner and text[0].strip().startswith("==="):
            self.groups.append((banner.group(1), text[1:], []))
        elif any(line.startswith("BRX_SDK_EXPORT") for line in code):
            if not self.groups:
                self.groups.append(("Functions", [], []))
            self.groups[-1][2].append((prototypes(code), text))
        elif text and code and re.match(r"(typedef|enum|struct|#define)\b", code[0]):
            self.types.append((text, code))

    def name_line(self):
        first = self.contract[0][1][0].strip().rstrip(".")
        return "brxsdk \\- " + escape(first[0].lower() + first[1:])

    def render(self, version):
        out = title("brxsdk", 3, version, "Library Functions Manual")
        out += [".SH NAME", self.name_line(), ".SH SYNOPSIS", ".nf", "\\fB#include <BRX_SDK_C.h>\\fR", "",
                escape("cc host.c $(pkg-config --cflags --libs brxsdk)"), ".fi"]
        intro = self.contract[0][1][1:]
        out += [".SH DESCRIPTION"] + prose(intro)
        for heading, lines in self.contract[1:]:
            out += [".SH " + escape(heading.upper())] + prose(lines)
        out += [".SH FUNCTIONS"]
        for heading, intro, functions in self.groups:
            out += [".SS " + escape(heading)] + prose(intro)
            for signatures, text in functions:
                out += [".PP"] + "\n.br\n".join("\\fB%s\\fR" % escape(s) for s in signatures).split("\n")
                out += [".RS 4"] + prose(text) + [".RE"]
        out += [".SH TYPES"]
        for text, code in self.types:
            out += prose(text) + verbatim(code)
        out += [".SH SEE ALSO", ".BR tether (1)"]
        return "\n".join(out) + "\n"


def main():
    header, version, output = sys.argv[1:4]
    with open(header, encoding="utf-8") as source:
        page = Page(source.read().splitlines())
    with open(output, "w", encoding="utf-8") as target:
        target.write(page.render(version))


if __name__ == "__main__":
    main()
