"""The paragraphs the layout adds around the text: no spacing of their own,
exact lines, and characters at their own widths (not on the character grid,
and no extra space between Chinese text and numerals), so that the widths
the layout counts are the widths printed."""

import functools
import unicodedata

from quillmark_cli.official.wordml import text_of, w

_OWN_WIDTHS = ("autoSpaceDE", "autoSpaceDN", "snapToGrid")
# Where the characters of an exactly spaced line stand: LibreOffice puts its
# baseline four fifths of the way down the line, and a Chinese face's em box
# reaches 0.88 em above the baseline.
BASELINE = 0.8
EM_ASCENT = 0.88


def width_in_characters(text):
    """How many body characters wide `text` is: wide (CJK) characters one,
    others (Arabic numerals, Latin letters) half."""
    return sum(1.0 if unicodedata.east_asian_width(c) in "WF" else 0.5 for c in text)


def layout_paragraph(line, *runs, alignment=None, before=0, left=None, right=None, borders=None, tabs=None):
    """The markup of a new paragraph of exact lines `line` twips apart, with
    `runs` (markup) and, optionally, indents, borders and tab stops
    (markup)."""
    return w("p", _paragraph_properties(line, alignment, before, left, right, borders, tabs), *runs)


@functools.lru_cache(maxsize=256)
def _paragraph_properties(line, alignment, before, left, right, borders, tabs):
    return w("pPr", borders, tabs, *(w(tag, val=0) for tag in _OWN_WIDTHS),
             w("spacing", before=before, after=0, line=line, lineRule="exact"),
             w("ind", left=left, right=right, firstLine=0), w("jc", val=alignment) if alignment else None)


def em_box_top(line, size):
    """How far below the top of an exactly spaced line `line` twips high
    the tops of its characters of `size` points stand (their em box's), in
    twips."""
    return int(round(BASELINE * line - EM_ASCENT * size * 20))


def stripped_text(paragraph):
    return text_of(paragraph).strip()
