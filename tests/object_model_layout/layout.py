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

from object_model_layout.official_parts import add_masthead, add_record_block, place_signature
from object_model_layout.page_setup import twips
from object_model_layout.wordml import field_runs, insert_in_order, set_fonts

# Page numbers: 4号 (14 pt) 宋体, "— N —", one character in from the text
# block's edge, the top of the line 7 mm below the text block.
PAGE_NUMBER_FONT = "宋体"
CHINESE = "zh-CN"
PAGE_NUMBER_SIZE = 14
PAGE_NUMBER_GAP_MM = 7
HEADER_DISTANCE_MM = 15


class OfficialQuillmark(Quillmark):
    """The generator, laying the document out in `save`, just before the
    package is written."""

    layout = (None, {})  # (page, official)

    def save(self, doc):
        lay_out(doc, *self.layout)
        return super().save(doc)


def generator(config, page, official):
    """The generator for an input: the host's own, or one that lays the
    package out when the input has a page layout or an `official` mapping."""
    if page is None and not official:
        return Quillmark(config)
    laid_out = OfficialQuillmark(config)
    laid_out.layout = (page, official or {})
    return laid_out


def lay_out(doc, page, official):
    if page is not None:
        set_page(doc, page)
    complete_zoom(doc)  # also without a page: the settings must validate
    place_signature(doc, page)
    add_masthead(doc, page, official)
    add_record_block(doc, page, official)


def set_page(doc, page):
    section = doc.sections[0]
    section.page_width, section.page_height = Twips(twips(page.width)), Twips(twips(page.height))
    section.top_margin, section.bottom_margin = Twips(twips(page.top)), Twips(twips(page.bottom))
    section.left_margin, section.right_margin = Twips(twips(page.left)), Twips(twips(page.right))
    section.header_distance = Twips(twips(min(HEADER_DISTANCE_MM, page.top / 2)))
    # The footer's bottom edge sits one page-number line below the line's top.
    footer_top = max(page.bottom - PAGE_NUMBER_GAP_MM, 0)
    section.footer_distance = Twips(max(twips(footer_top) - PAGE_NUMBER_SIZE * 20, 0))
    set_default_font_size(doc, page.font_size)
    set_chinese_language(doc)
    set_character_spacing(doc, page)
    set_grid(section, page)
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


def set_chinese_language(doc):
    """East Asian text is Chinese: readers then take the Chinese forms of a
    CJK font (直, 骨 and 令 differ from their Japanese forms), and Word
    resolves the theme's East Asian fonts for Chinese."""
    r_pr = _default_run_properties(doc)
    language = r_pr.find(qn("w:lang"))
    if language is None:
        language = OxmlElement("w:lang")
        insert_in_order(r_pr, language)
    language.set(qn("w:eastAsia"), CHINESE)
    theme_language = doc.settings.element.find(qn("w:themeFontLang"))
    if theme_language is not None:
        theme_language.set(qn("w:eastAsia"), CHINESE)


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
    r_pr = _default_run_properties(doc)
    spacing = OxmlElement("w:spacing")
    spacing.set(qn("w:val"), str(page.character_spacing_twips))
    insert_in_order(r_pr, spacing)


def _default_run_properties(doc):
    return doc.styles.element.find(qn("w:docDefaults")).find(qn("w:rPrDefault")).find(qn("w:rPr"))


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
