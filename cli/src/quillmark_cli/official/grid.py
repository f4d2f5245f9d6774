"""The page's grid: LINES a page and CHARACTERS a line filling the text block
(22 lines of 28 characters on the standard's A4 page, 156 mm by 225 mm).

Lines are placed on the pitch that fits the lines into the text block (579
twips for 22 lines). Characters are not placed by a character grid, which
LibreOffice lays out unlike Word and WPS, but by the spacing between them:
16 pt less 0.25 pt, so that 28 take 441 pt of the 442.2 pt line.
"""

from docx.oxml import OxmlElement
from docx.oxml.ns import qn

from quillmark_cli.official.wordml import default_run_properties, insert_in_order


def set_character_spacing(doc, page):
    """The grid's characters a line, from the spacing between characters.

    The grid itself only places lines (see set_grid): Word and WPS would
    squeeze characters into a character grid whose pitch is narrower than
    the font (28 characters of 16 pt on the standard's 156 mm line, 15.79 pt
    each), but LibreOffice gives each such character two cells, 19 to a
    line. Every reader honours character spacing, so the characters are
    condensed (or expanded) by the difference between the pitch and the
    font, rounded so that `characters` of them always fit: 16 pt less
    0.25 pt, 441 pt for 28 on the standard's 442.2 pt line."""
    if page.lines is None or page.characters is None:
        return
    r_pr = default_run_properties(doc)
    spacing = OxmlElement("w:spacing")
    spacing.set(qn("w:val"), str(page.character_spacing_twips))
    insert_in_order(r_pr, spacing)


def set_grid(section, page):
    """A grid of lines: each line of text on the pitch that puts `lines`
    lines into the text block. The characters a line come from the
    character spacing (see set_character_spacing)."""
    sect_pr = section._sectPr
    grid = sect_pr.find(qn("w:docGrid"))
    if grid is None:
        grid = OxmlElement("w:docGrid")
        sect_pr.append(grid)  # the last of w:sectPr's children that python-docx's template has
    for attribute in ("w:type", "w:linePitch", "w:charSpace"):
        grid.attrib.pop(qn(attribute), None)
    if page.lines is None:
        return
    grid.set(qn("w:type"), "lines")
    grid.set(qn("w:linePitch"), str(page.line_pitch_twips))
