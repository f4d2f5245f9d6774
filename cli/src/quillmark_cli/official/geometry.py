"""The text block an element is placed in: its left edge and width, the
body's line pitch and one body character's width, from the page layout or,
without one, from the section the package already has."""

from quillmark_cli.official.figures import PLAIN_CHARACTER, PLAIN_LINE, twips
from quillmark_cli.official.wordml import qn


class Geometry:
    def __init__(self, page, section):
        if page is not None:
            self.left = twips(page.left)
            self.width = page.text_width_twips
            self.line = page.line_pitch_twips or PLAIN_LINE
            self.character = page.character_pitch  # points
        else:
            size, margins = section.find(qn("w:pgSz")), section.find(qn("w:pgMar"))
            self.left = int(margins.get(qn("w:left")))
            self.width = int(size.get(qn("w:w"))) - self.left - int(margins.get(qn("w:right")))
            self.line, self.character = PLAIN_LINE, PLAIN_CHARACTER

    def characters(self, count):
        """`count` body characters' width in twips."""
        return int(round(count * self.character * 20))
