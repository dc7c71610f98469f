"""Text into the roff of man pages, for the generated pages."""

import re

_ITEM = re.compile(r"^(\s*)(\d+\.|-)\s+(.*)$")


def escape(text):
    """Plain text as roff prints it: backslashes and dashes kept as typed."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def title(name, section, version, manual):
    # No hyphenation and a ragged right edge: option names and values stay whole.
    return ['.TH %s %s "" "BRX SDK %s" "%s"' % (name.upper(), section, version, manual), ".nh", ".ad l"]


def verbatim(lines):
    """Lines shown as they are, indented: code and listings."""
    return [".RS 4", ".nf"] + [escape(line) if line else "" for line in lines] + [".fi", ".RE"]


class _Prose:
    """Paragraphs, and numbered and bulleted lists nested by indentation, from
    comment text: a blank line ends a paragraph, "1." or "-" starts an item, a
    line indented less than an item's text leaves that item, any other line
    goes on with what came before."""

    def __init__(self):
        self.out = []
        self.words = []
        self.levels = []  # [item indent, text indent] of the open lists, outermost first

    def flush(self):
        if self.words:
            self.out.append(escape(" ".join(self.words)))
            self.words = []

    def leave_lists(self, still_inside):
        while self.levels and not still_inside(self.levels[-1]):
            self.levels.pop()
            if self.levels:
                self.out.append(".RE")

    def item(self, match):
        self.flush()
        indent = len(match.group(1))
        self.leave_lists(lambda level: level[0] <= indent)
        if not self.levels or self.levels[-1][0] < indent:
            if self.levels:
                self.out.append(".RS")
            self.levels.append([indent, 0])
        self.levels[-1][1] = match.start(3)
        self.out.append('.IP "%s" 4' % ("\\(bu" if match.group(2) == "-" else match.group(2)))
        self.words.append(match.group(3))

    def line(self, text):
        indent = len(text) - len(text.lstrip())
        if self.levels and indent < self.levels[-1][1]:
            self.flush()
            self.leave_lists(lambda level: indent >= level[1])
        if not self.words:
            self.out.append('.IP "" 4' if self.levels else ".PP")
        self.words.append(text.strip())

    def feed(self, lines):
        for text in lines:
            match = _ITEM.match(text)
            if not text.strip():
                self.flush()
            elif match:
                self.item(match)
            else:
                self.line(text)
        self.flush()
        self.leave_lists(lambda level: False)
        return self.out


def prose(lines):
    return _Prose().feed(lines)
