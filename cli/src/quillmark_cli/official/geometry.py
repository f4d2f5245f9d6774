"""The text block an element is placed in: its left and top edges (from
the page's), width and height, the page's height, the body's line pitch,
one body character's width and the spacing between characters, from the
page layout or, without one, from the section the package already has."""

import unicodedata

from quillmark_cli.official.figures import PLAIN_CHARACTER, PLAIN_LINE, twips
from quillmark_cli.official.wordml import qn

# The space between Chinese text and numerals or Latin letters, in ems: the
# mean of Word's (a quarter) and LibreOffice's (a fifth); see text_width.
SCRIPT_SPACE = 0.225


class Geometry:
    def __init__(self, page, section):
        if page is not None:
            self.left, self.top = twips(page.left), twips(page.top)
            self.page_height = twips(page.height)
            self.width = page.text_width_twips
            self.height = page.text_height_twips
            self.line = page.line_pitch_twips or PLAIN_LINE
            self.character = page.character_pitch  # points
            self.spacing = page.character_spacing_twips if page.has_character_grid else 0
        else:
            size, margins = section.find(qn("w:pgSz")), section.find(qn("w:pgMar"))
            self.left, self.top = int(margins.get(qn("w:left"))), int(margins.get(qn("w:top")))
            self.page_height = int(size.get(qn("w:h")))
            self.width = int(size.get(qn("w:w"))) - self.left - int(margins.get(qn("w:right")))
            self.height = int(size.get(qn("w:h"))) - int(margins.get(qn("w:top"))) - \
                int(margins.get(qn("w:bottom")))
            self.line, self.character, self.spacing = PLAIN_LINE, PLAIN_CHARACTER, 0

    def characters(self, count):
        """`count` body characters' width in twips."""
        return int(round(count * self.character * 20))

    def text_width(self, text, size):
        """How wide `text` is printed in `size` points, in twips: a wide (CJK)
        character a full em, others (Arabic numerals, Latin letters) half of
        one, as in the standard's faces, each with the spacing between
        characters; and where Chinese text meets numerals or Latin letters,
        the space readers put between them: Word a quarter of an em,
        LibreOffice a fifth. The layout counts the mean, so that a width
        stands within 1 mm of where either reader prints it."""
        wide = [unicodedata.east_asian_width(c) in "WF" for c in text]
        width = sum((20 if is_wide else 10) * size + self.spacing for is_wide in wide)
        boundaries = sum(1 for i in range(1, len(text)) if wide[i] != wide[i - 1] and
                         (text[i] if not wide[i] else text[i - 1]).isalnum())
        return int(round(width + boundaries * SCRIPT_SPACE * size * 20))

    def characters_a_line(self, size):
        """How many wide characters of `size` points a line holds."""
        return self.width / (size * 20 + self.spacing)
