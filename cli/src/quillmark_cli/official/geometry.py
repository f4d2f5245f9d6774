"""Lengths as the layout counts them, converted in one place: millimetres to
twips (twentieths of a point, as Word stores page lengths), the text
block's left edge and width, the body's line pitch, and text widths in
body characters.

The body is 3号 (16 pt) 仿宋; without a page layout its lines are 28 pt
apart. A CJK character is one body character wide, an Arabic numeral or a
Latin letter half of one.
"""

import unicodedata

TWIPS_PER_MM = 1440 / 25.4

BODY_FONT = "仿宋_GB2312"
BODY_SIZE = 16  # 3号
# Without a page layout, the body's lines are 28 pt apart.
PLAIN_LINE_TWIPS = 560


def twips(mm):
    """Twentieths of a point, as Word stores page lengths."""
    return int(round(mm * TWIPS_PER_MM))


class Geometry:
    """The text block's width, the body's line pitch and one character's
    width, from the page layout or, without one, from the section."""

    def __init__(self, doc, page):
        if page is not None:
            self.left = twips(page.left)
            self.width = page.text_width_twips
            self.line = page.line_pitch_twips or PLAIN_LINE_TWIPS
            self.char = page.character_pitch
        else:
            section = doc.sections[0]
            self.left = int(round(section.left_margin / 635))
            self.width = int(round((section.page_width - section.left_margin - section.right_margin) / 635))
            self.line, self.char = PLAIN_LINE_TWIPS, BODY_SIZE


def width_in_characters(text):
    """How many body characters wide `text` is: wide (CJK) characters one,
    others (Arabic numerals, Latin letters) half."""
    return sum(1.0 if unicodedata.east_asian_width(c) in "WF" else 0.5 for c in text)
