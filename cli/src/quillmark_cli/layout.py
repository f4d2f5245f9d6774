"""Laying out the package as an official document: the page (paper, margins,
character grid, page numbers) a template's `page` object gives, and the
masthead, signature and record block an input's `official` mapping asks for.

The generator builds the document as it always does; a subclass applies the
layout in `save`, just before the package is written, so nothing is parsed
twice. Without `page` and `official` the plain generator runs and the
package is byte for byte what it would be without this module.
"""

from docx.enum.text import WD_ALIGN_PARAGRAPH
from docx.oxml import OxmlElement
from docx.oxml.ns import qn
from docx.shared import Pt, Twips
from tolvek.doc.generator.generate.generators.quillmark import Quillmark

from quillmark_cli.official_parts import add_masthead, add_record_block, place_signature
from quillmark_cli.page_setup import twips
from quillmark_cli.wordml import field_runs, insert_in_order, set_fonts

# Page numbers: 4号 (14 pt) 宋体, "— N —", one character in from the text
# block's edge, the top of the line 7 mm below the text block.
PAGE_NUMBER_FONT = "宋体"
PAGE_NUMBER_SIZE = 14
PAGE_NUMBER_GAP_MM = 7
HEADER_DISTANCE_MM = 15


class OfficialQuillmark(Quillmark):
    """The generator, laying the document out in `save`, just before the
    package is written."""

    layout = (None, {}, False)  # (page, official, for_libreoffice)

    def save(self, doc):
        lay_out(doc, *self.layout)
        return super().save(doc)


def generator(config, page, official, for_libreoffice=False):
    """The generator for an input: the host's own, or one that lays the
    package out when the input has a page layout or an `official` mapping.
    With `for_libreoffice`, the package is made for LibreOffice to render
    (see set_grid)."""
    if page is None and not official:
        return Quillmark(config)
    laid_out = OfficialQuillmark(config)
    laid_out.layout = (page, official or {}, for_libreoffice)
    return laid_out


def lay_out(doc, page, official, for_libreoffice=False):
    if page is not None:
        set_page(doc, page, for_libreoffice)
    place_signature(doc, page)
    add_masthead(doc, page, official)
    add_record_block(doc, page, official, for_libreoffice)


def set_page(doc, page, for_libreoffice=False):
    section = doc.sections[0]
    section.page_width, section.page_height = Twips(twips(page.width)), Twips(twips(page.height))
    section.top_margin, section.bottom_margin = Twips(twips(page.top)), Twips(twips(page.bottom))
    section.left_margin, section.right_margin = Twips(twips(page.left)), Twips(twips(page.right))
    section.header_distance = Twips(twips(min(HEADER_DISTANCE_MM, page.top / 2)))
    # The footer's bottom edge sits one page-number line below the line's top.
    footer_top = max(page.bottom - PAGE_NUMBER_GAP_MM, 0)
    section.footer_distance = Twips(max(twips(footer_top) - PAGE_NUMBER_SIZE * 20, 0))
    set_default_font_size(doc, page.font_size)
    set_grid(section, page, for_libreoffice and _condense_for_libreoffice(doc, page))
    if page.page_numbers is not None:
        add_page_numbers(doc, section, page)
    complete_zoom(doc)


def complete_zoom(doc):
    """python-docx's template gives w:zoom a kind but not the percentage the
    schema requires of it; a laid-out package's settings get it (100 %)."""
    zoom = doc.settings.element.find(qn("w:zoom"))
    if zoom is not None and zoom.get(qn("w:percent")) is None:
        zoom.set(qn("w:percent"), "100")


def set_default_font_size(doc, size):
    """The docDefaults font size: what the character grid is measured
    against."""
    styles = doc.styles.element
    defaults = styles.find(qn("w:docDefaults"))
    if defaults is None:
        defaults = OxmlElement("w:docDefaults")
        styles.insert(0, defaults)
    r_pr_default = defaults.find(qn("w:rPrDefault"))
    if r_pr_default is None:
        r_pr_default = OxmlElement("w:rPrDefault")
        defaults.insert(0, r_pr_default)
    r_pr = r_pr_default.find(qn("w:rPr"))
    if r_pr is None:
        r_pr = OxmlElement("w:rPr")
        r_pr_default.append(r_pr)
    half_points = str(int(round(size * 2)))
    for tag in ("w:sz", "w:szCs"):
        element = r_pr.find(qn(tag))
        if element is None:
            element = OxmlElement(tag)
            insert_in_order(r_pr, element)
        element.set(qn("w:val"), half_points)


def _condense_for_libreoffice(doc, page):
    """Word fits a grid's characters into a pitch narrower than the font
    (28 characters of 16 pt on a 156 mm line, each 15.79 pt); LibreOffice
    instead gives each such character more than one cell, and a line holds
    19. For LibreOffice the characters are condensed by as much as the grid
    would narrow them, so that a line holds as many; the grid then only sets
    the lines. True where that was done."""
    if page.characters is None or page.char_space >= 0:
        return False
    # Twentieths of a point, rounded away from zero so the characters fit.
    condensed = -((-page.char_space * 20 + 4095) // 4096)
    r_pr = doc.styles.element.find(qn("w:docDefaults")).find(qn("w:rPrDefault")).find(qn("w:rPr"))
    spacing = OxmlElement("w:spacing")
    spacing.set(qn("w:val"), str(condensed))
    insert_in_order(r_pr, spacing)
    return True


def set_grid(section, page, lines_only=False):
    sect_pr = section._sectPr
    grid = sect_pr.find(qn("w:docGrid"))
    if grid is None:
        grid = OxmlElement("w:docGrid")
        sect_pr.append(grid)  # the last of w:sectPr's children that python-docx's template has
    for attribute in ("w:type", "w:linePitch", "w:charSpace"):
        grid.attrib.pop(qn(attribute), None)
    if page.lines is None:
        return
    characters = page.characters is not None and not lines_only
    grid.set(qn("w:type"), "linesAndChars" if characters else "lines")
    grid.set(qn("w:linePitch"), str(page.line_pitch_twips))
    if characters:
        grid.set(qn("w:charSpace"), str(page.char_space))


def add_page_numbers(doc, section, page):
    """"— N —" in every footer: at the right of odd pages and the left of even
    ones ("standard"), or centred on all ("center")."""
    inset = Pt(PAGE_NUMBER_SIZE)
    if page.page_numbers == "center":
        _page_number(section.footer, WD_ALIGN_PARAGRAPH.CENTER)
        return
    doc.settings.odd_and_even_pages_header_footer = True
    odd = _page_number(section.footer, WD_ALIGN_PARAGRAPH.RIGHT)
    odd.paragraph_format.right_indent = inset
    even = _page_number(section.even_page_footer, WD_ALIGN_PARAGRAPH.LEFT)
    even.paragraph_format.left_indent = inset


def _page_number(footer, alignment):
    footer.is_linked_to_previous = False
    paragraph = footer.paragraphs[0] if footer.paragraphs else footer.add_paragraph()
    paragraph.alignment = alignment
    paragraph_format = paragraph.paragraph_format
    paragraph_format.space_before = paragraph_format.space_after = Pt(0)
    paragraph_format.line_spacing = Pt(PAGE_NUMBER_SIZE)
    paragraph_format.first_line_indent = Pt(0)
    runs = [paragraph.add_run("— ")._r] + field_runs(paragraph, "PAGE", "1") + [paragraph.add_run(" —")._r]
    for r in runs:
        set_fonts(r, PAGE_NUMBER_FONT, PAGE_NUMBER_SIZE)
    return paragraph
