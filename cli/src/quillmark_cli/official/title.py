"""The title, broken by meaning: a title too long for one line is set on
lines of balanced length, the upper lines the longer (a trapezoid), never
leaving one or two characters alone on a line, never breaking a run of
Latin letters or numerals, and never starting a line with closing
punctuation or ending one with opening punctuation. Where several breaks
balance the lines about as well, the one at a boundary of meaning wins:
before the "的" that joins the subject to the kind of document ("……的通知"),
after "关于", at "和", "与", "及" and after a pause mark. An author's own line
breaks are kept as they are, and such a title is not broken again."""

import bisect
import math
import unicodedata

from quillmark_cli.official.paragraphs import width_in_characters
from quillmark_cli.official.wordml import qn, text_of

SHORTEST_LINE = 3  # characters
# Breaks that follow the meaning: (text before the break, text after it).
AFTER = ("关于", "、", "，", "；", "：")
BEFORE = ("的", "和", "与", "及", "暨", "并")
OPENING = "（《〈“‘【〔「『(["
CLOSING = "）》〉”’】〕」』)]、，。；：！？,.;:!?"
# How much balance a boundary of meaning is worth, in characters.
MEANING_BONUS = 1.5


def break_titles(body, roles, capacity):
    """Breaks the title's paragraphs (the first run of paragraphs in the
    title's style) that are wider than a line; `capacity(size)` is how many
    characters of `size` points a line holds."""
    facts = roles.get("title")
    if facts is None:
        return
    started = False
    for paragraph in body.iterchildren(qn("w:p")):
        style = paragraph.find("%s/%s" % (qn("w:pPr"), qn("w:pStyle")))
        if style is None or style.get(qn("w:val")) != facts.identifier:
            if started:
                return
            continue
        started = True
        if paragraph.find(".//" + qn("w:br")) is not None:
            continue
        text = text_of(paragraph)
        breaks = line_breaks(text, capacity(facts.size))
        for offset in reversed(breaks):
            _insert_break(paragraph, offset)


def line_breaks(text, capacity):
    """The offsets in `text` at which to break it into lines of at most
    `capacity` characters, balanced and by meaning; [] when it fits."""
    width = width_in_characters(text)
    if width <= capacity or capacity <= 0:
        return []
    lines = math.ceil(width / capacity)
    candidates = [i for i in range(1, len(text)) if _may_break(text, i)]
    best = _best(text, candidates, lines, capacity)
    return best or []


def _may_break(text, index):
    before, after = text[index - 1], text[index]
    if _latin(before) and _latin(after):
        return False
    return after not in CLOSING and before not in OPENING


def _latin(char):
    return unicodedata.east_asian_width(char) not in "WF" and not char.isspace()


def _best(text, candidates, lines, capacity):
    """The breaks (lines − 1 of the candidates) of least cost, by dynamic
    programming over the candidates: each line at most `capacity` wide and
    at least SHORTEST_LINE characters; cost the spread between the longest
    and the shortest line, a lower line longer than the one above it
    counted double, less a bonus for each boundary of meaning."""
    positions = [0] + candidates + [len(text)]
    prefix = [0.0]  # the width of text[:i], which halves and wholes keep exact
    for character in text:
        prefix.append(prefix[-1] + width_in_characters(character))
    widths = [prefix[p] for p in positions]
    target = widths[-1] / lines
    best = {}  # (index in positions, lines used) -> (cost, breaks, width of the last line)

    def line_cost(width, previous_width):
        cost = abs(width - target)
        if previous_width is not None and width > previous_width:
            cost += width - previous_width
        return cost

    last = len(positions) - 1
    bonus = [MEANING_BONUS if 0 < end < last and _by_meaning(text, positions[end]) else 0.0
             for end in range(len(positions))]
    best[(0, 0)] = (0.0, [], None)
    for count in range(1, lines + 1):
        for end in range(1, len(positions)):
            if count == lines and end != last:
                continue
            found = None
            # Starts further back would make the line wider than it may be.
            for start in range(bisect.bisect_left(widths, widths[end] - capacity, 0, end), end):
                previous = best.get((start, count - 1))
                if previous is None:
                    continue
                width = widths[end] - widths[start]
                if width > capacity or positions[end] - positions[start] < SHORTEST_LINE:
                    continue
                cost = previous[0] + line_cost(width, previous[2]) - bonus[end]
                if found is None or cost < found[0]:
                    found = (cost, previous[1] + ([positions[end]] if end != len(positions) - 1 else []), width)
            if found is not None:
                best[(end, count)] = found
    result = best.get((len(positions) - 1, lines))
    return None if result is None else result[1]


def _by_meaning(text, index):
    return text[:index].endswith(AFTER) or text[index:].startswith(BEFORE)


def _insert_break(paragraph, offset):
    """A line break at character `offset` of the paragraph's text."""
    for t in paragraph.iter(qn("w:t")):
        content = t.text or ""
        if offset > len(content):
            offset -= len(content)
            continue
        if offset == len(content):
            # At the end of this text: the break follows it.
            t.addnext(t.makeelement(qn("w:br"), {}))
            return
        rest = t.makeelement(qn("w:t"), {})
        rest.text = content[offset:]
        t.text = content[:offset]
        for node in (t, rest):
            if node.text != node.text.strip():
                node.set("{http://www.w3.org/XML/1998/namespace}space", "preserve")
        t.addnext(rest)
        t.addnext(t.makeelement(qn("w:br"), {}))
        return
