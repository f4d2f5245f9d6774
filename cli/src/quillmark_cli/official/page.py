"""A template's `page` object: paper, margins, character grid, page numbers
and the font size the grid is measured against. Every setting left out
takes the value the national standard for official documents (GB/T
9704-2012) gives: A4, margins of 37 mm (top), 35 mm (bottom), 28 mm (left)
and 26 mm (right), 22 lines of 28 characters, page numbers "— 1 —" at the
outer side, and a 16 pt body."""

from dataclasses import dataclass
from typing import Optional

from quillmark_cli.errors import InputError
from quillmark_cli.official.geometry import TWIPS_PER_MM, twips

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
    def character_pitch(self):
        """The width of one character of the body as printed, in points: the
        font size and the spacing that gives the grid's characters a line."""
        if self.lines is None or self.characters is None:
            return self.font_size
        return self.font_size + self.character_spacing_twips / 20

    @property
    def character_spacing_twips(self):
        """The spacing between characters that gives the grid's characters
        a line, in twentieths of a point: the pitch less the font size,
        rounded down so that `characters` characters always fit."""
        return (self.text_width_twips - int(round(self.font_size * 20)) * self.characters) // self.characters


def page_from_data(data, where):
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
                data.get("page_numbers", "standard"), float(data.get("font_size", 16)))
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
