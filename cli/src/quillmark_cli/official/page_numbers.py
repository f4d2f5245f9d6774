"""Page numbers: "— N —" in 4号 (14 pt) 宋体 in the footer, the top of its line
PAGE_NUMBER_GAP_MM (7 mm) below the text block. "standard" puts it one
character in from the right edge of the text block on odd pages and from
the left edge on even ones; "center" centres it on every page."""

from docx.enum.text import WD_ALIGN_PARAGRAPH
from docx.shared import Pt

from quillmark_cli.official.wordml import field_runs, set_fonts

PAGE_NUMBER_FONT = "宋体"
PAGE_NUMBER_SIZE = 14
PAGE_NUMBER_GAP_MM = 7


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
