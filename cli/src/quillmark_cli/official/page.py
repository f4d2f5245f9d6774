"""The page an official document is laid out on: paper, margins, the grid
of lines and characters, and the font size the grid is measured against.

Every setting a template's `page` object leaves out takes the standard's
value: A4 paper, margins of 37 mm at the top, 35 mm at the bottom, 28 mm at
the left and 26 mm at the right (a text block of 156 mm by 225 mm), 22 lines
of 28 characters, page numbers at the outer side, and a 3号 (16 pt) body.

The grid places lines only: each line on the pitch that puts `lines` lines
into the text block. The characters a line come from the spacing between
characters instead, which Word, WPS and LibreOffice all honour: a character
grid narrower than the font, which Word squeezes characters into, is one
that LibreOffice spreads 19 characters across. The characters are condensed
(or expanded) by the difference between the pitch and the font, rounded so
that `characters` of them always fit: 16 pt less 0.25 pt, 441 pt for 28 on
the standard's 442.2 pt line.
"""

from dataclasses import dataclass
from typing import Optional

from quillmark_cli.errors import InputError

from quillmark_cli.official.figures import SIZE_3, TWIPS_PER_MM, points_to_twips, twips

PAPERS = {"A4": (210.0, 297.0)}
STANDARD_MARGINS = {"top": 37.0, "bottom": 35.0, "left": 28.0, "right": 26.0}
STANDARD_GRID = {"lines": 22, "characters": 28}
PAGE_NUMBER_STYLES = ("standard", "center")


@dataclass(frozen=True)
class Page:
    width: float  # mm
    height: float
    top: float
    bottom: float
    left: float
    right: float
    lines: Optional[int]  # lines a page, characters a line: the grid, or None
    characters: Optional[int]
    page_numbers: Optional[str]  # "standard", "center" or None
    font_size: float  # points
    record_block: str = "any"  # "any": on the last page, odd or even; "even": on an even page

    @property
    def text_width_twips(self):
        """The text block's width as Word computes it, from the rounded
        lengths it stores."""
        return twips(self.width) - twips(self.left) - twips(self.right)

    @property
    def text_height_twips(self):
        return twips(self.height) - twips(self.top) - twips(self.bottom)

    @property
    def line_pitch_twips(self):
        """The grid's line pitch: the largest whole number of twips that
        still fits `lines` lines into the text block; None without a grid."""
        return None if self.lines is None else self.text_height_twips // self.lines

    @property
    def has_character_grid(self):
        return self.lines is not None and self.characters is not None

    @property
    def character_spacing_twips(self):
        """The spacing between characters that gives the grid's characters
        a line, in twips: the pitch less the font size, rounded down so that
        `characters` characters always fit."""
        return (self.text_width_twips - points_to_twips(self.font_size) * self.characters) // self.characters

    @property
    def character_pitch(self):
        """The width of one character of the body as printed, in points."""
        if not self.has_character_grid:
            return self.font_size
        return self.font_size + self.character_spacing_twips / 20


STANDARD_PAGE = Page(210.0, 297.0, 37.0, 35.0, 28.0, 26.0, 22, 28, "standard", float(SIZE_3))


def page_from_data(data, where="page"):
    """The Page a validated `page` object describes; `where` names it in
    messages. Refuses margins that leave no text block."""
    paper = data.get("paper", "A4")
    width, height = PAPERS[paper] if isinstance(paper, str) else (float(paper["width"]), float(paper["height"]))
    margins = dict(STANDARD_MARGINS, **{k: float(v) for k, v in (data.get("margins") or {}).items()})
    grid = data.get("grid", STANDARD_GRID)
    if grid is not None:
        grid = dict(STANDARD_GRID, **grid)
    page = Page(width, height, margins["top"], margins["bottom"], margins["left"], margins["right"],
                None if grid is None else int(grid["lines"]), None if grid is None else int(grid["characters"]),
                data.get("page_numbers", "standard"), float(data.get("font_size", SIZE_3)),
                data.get("record_block", "any"))
    if page.text_width_twips <= 0:
        raise InputError(where + ".margins", "left and right margins of %g mm and %g mm leave no text on a page "
                         "%g mm wide" % (page.left, page.right, page.width))
    if page.text_height_twips <= 0:
        raise InputError(where + ".margins", "top and bottom margins of %g mm and %g mm leave no text on a page "
                         "%g mm high" % (page.top, page.bottom, page.height))
    if page.lines is not None and page.text_height_twips // page.lines < 20:
        raise InputError(where + ".grid.lines", "%d lines do not fit a text block %.1f mm high" % (
            page.lines, page.text_height_twips / TWIPS_PER_MM))
    if page.characters is not None and page.character_spacing_twips < -page.font_size * 10:
        raise InputError(where + ".grid.characters", "%d characters of %g pt do not fit a line %.1f mm wide" % (
            page.characters, page.font_size, page.text_width_twips / TWIPS_PER_MM))
    return page
