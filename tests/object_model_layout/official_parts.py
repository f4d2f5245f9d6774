"""The parts of an official document besides its text, placed as the national
standard for official documents (GB/T 9704-2012) places them:

- the masthead (版头): copy number, secrecy and urgency at the top left, the
  issuing authority's mark centred in red with its top 35 mm below the top
  of the text block, the document number two lines below it (with the signer
  at the right, when there is one) and a red line across the text block 4 mm
  below the number; the title follows two lines below the line;
- the signature and date of a document without a seal (落款): the paragraphs
  that close the document in the style "落款", right-aligned, the signature
  two characters in from the right and the date on the line below it,
  starting two characters further right (or two characters in, with the
  signature moved left, when the date is the longer);
- the record block (版记) at the foot of the last page: "抄送" (copies to)
  above the printing authority and date, between a thick line at the top and
  bottom and thin lines between, the last line on the text block's lower
  edge.
"""

import datetime
import re
import unicodedata
from xml.sax.saxutils import escape, quoteattr

from docx.enum.text import WD_ALIGN_PARAGRAPH, WD_TAB_ALIGNMENT
from docx.oxml import parse_xml
from docx.oxml.ns import nsdecls, qn
from docx.shared import Pt, Twips

from object_model_layout.page_setup import TWIPS_PER_MM, twips
from object_model_layout.wordml import border, insert_in_order, set_fonts

SIGNATURE_STYLE = "落款"

BODY_FONT = "仿宋_GB2312"
HEADING_FONT = "黑体"
SIGNER_FONT = "楷体_GB2312"
MARK_FONT = "方正小标宋简体"
BODY_SIZE = 16  # 3号
RECORD_SIZE = 14  # 4号
MARK_SIZE = 36  # 小初, made smaller when the mark would not fit one line
RED = "FF0000"
MARK_TOP_MM = 35
NUMBER_LINE_GAP_MM = 4
RED_LINE_EIGHTHS = 8  # 1 pt
THICK_EIGHTHS = 8  # 0.35 mm
THIN_EIGHTHS = 6  # 0.25 mm
# Without a page layout, the body's lines are 28 pt apart.
PLAIN_LINE_TWIPS = 560

MASTHEAD_KEYS = ("authority", "number", "signer", "copy_number", "secrecy", "urgency")
RECORD_KEYS = ("copies_to", "printed_by", "printed_on")
_ISO_DATE = re.compile(r"(\d{4})-(\d{1,2})-(\d{1,2})$")


class _Geometry:
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


def full_date(text):
    """A date as the standard writes it: an ISO date (2026-12-08) becomes
    2026年12月8日; anything else stays as written."""
    found = _ISO_DATE.match(text.strip())
    if not found:
        return text
    year, month, day = (int(part) for part in found.groups())
    try:
        datetime.date(year, month, day)
    except ValueError:
        return text
    return "%d年%d月%d日" % (year, month, day)


def _paragraph(doc, line_twips, alignment=None):
    """A new paragraph of the body with no spacing of its own, exact lines
    and no snapping to the character grid; placed by the caller."""
    paragraph = doc.add_paragraph()
    paragraph.alignment = alignment
    paragraph_format = paragraph.paragraph_format
    paragraph_format.space_before = paragraph_format.space_after = Pt(0)
    paragraph_format.line_spacing = Twips(line_twips)
    paragraph_format.first_line_indent = Pt(0)
    _no_grid(paragraph._p.get_or_add_pPr())
    return paragraph


def _no_grid(p_pr):
    """Characters at their own widths: not on the character grid, and no
    extra space between Chinese text and numerals, so that the widths the
    layout counts are the widths printed."""
    for tag in ("w:autoSpaceDE", "w:autoSpaceDN", "w:snapToGrid"):
        if p_pr.find(qn(tag)) is None:
            insert_in_order(p_pr, parse_xml('<%s %s w:val="0"/>' % (tag, nsdecls("w"))))


def _text(paragraph, text, font, size, color=None, bold=False):
    set_fonts(paragraph.add_run(text)._r, font, size, color, bold)


# --- masthead -------------------------------------------------------------

def add_masthead(doc, page, official):
    if not any(official.get(key) for key in MASTHEAD_KEYS):
        return
    geometry = _Geometry(doc, page)
    line = geometry.line
    made = []
    for key, font in (("copy_number", BODY_FONT), ("secrecy", HEADING_FONT), ("urgency", HEADING_FONT)):
        if official.get(key):
            paragraph = _paragraph(doc, line, WD_ALIGN_PARAGRAPH.LEFT)
            _text(paragraph, official[key], font, BODY_SIZE)
            made.append(paragraph)
    authority = official.get("authority")
    if authority:
        size = min(MARK_SIZE, int(geometry.width / 20 / max(width_in_characters(authority), 1)))
        mark_line = int(size * 20 * 1.25)
        paragraph = _paragraph(doc, mark_line, WD_ALIGN_PARAGRAPH.CENTER)
        paragraph.paragraph_format.space_before = Twips(max(int(MARK_TOP_MM * TWIPS_PER_MM) - len(made) * line, 0))
        _text(paragraph, authority, MARK_FONT, size, RED)
        made.append(paragraph)
        made += [_paragraph(doc, line) for _ in range(2)]
    number, signer = official.get("number"), official.get("signer")
    if number or signer:
        made.append(_number_line(doc, geometry, number, signer))
        made += [_paragraph(doc, line) for _ in range(2)]
    body = doc.element.body
    for index, paragraph in enumerate(made):
        body.insert(index, paragraph._p)


def _number_line(doc, geometry, number, signer):
    """The document number, centred, or at the left with the signer at the
    right, each one character in; the red line 4 mm below it."""
    inset = Twips(int(round(geometry.char * 20)))
    if signer:
        paragraph = _paragraph(doc, geometry.line, WD_ALIGN_PARAGRAPH.LEFT)
        paragraph.paragraph_format.left_indent = inset
        paragraph.paragraph_format.right_indent = inset
        paragraph.paragraph_format.tab_stops.add_tab_stop(Twips(geometry.width - inset.twips), WD_TAB_ALIGNMENT.RIGHT)
        _text(paragraph, number or "", BODY_FONT, BODY_SIZE)
        _text(paragraph, "\t签发人：", BODY_FONT, BODY_SIZE)
        _text(paragraph, signer, SIGNER_FONT, BODY_SIZE)
    else:
        paragraph = _paragraph(doc, geometry.line, WD_ALIGN_PARAGRAPH.CENTER)
        _text(paragraph, number, BODY_FONT, BODY_SIZE)
    p_pr = paragraph._p.get_or_add_pPr()
    borders = parse_xml("<w:pBdr %s/>" % nsdecls("w"))
    # The border's distance from the text, in whole points.
    borders.append(border("w:bottom", RED_LINE_EIGHTHS, RED, int(round(NUMBER_LINE_GAP_MM * 72 / 25.4))))
    insert_in_order(p_pr, borders)
    return paragraph


# --- signature ------------------------------------------------------------

def _paragraph_text(p):
    return "".join(t.text or "" for t in p.iter(qn("w:t")))


def place_signature(doc, page):
    """Right indents for the closing "落款" paragraphs: the last is the date,
    those before it the signature."""
    try:
        style_id = doc.styles[SIGNATURE_STYLE].style_id
    except KeyError:
        return
    block = []
    for child in reversed(list(doc.element.body)):
        if child.tag == qn("w:sectPr"):
            continue
        if child.tag != qn("w:p") or child.style != style_id:
            break
        block.insert(0, child)
    block = [p for p in block if _paragraph_text(p).strip()]
    if not block:
        return
    char = _Geometry(doc, page).char
    signatures, date = (block[:-1], block[-1]) if len(block) > 1 else (block, None)
    signature_width = max(width_in_characters(_paragraph_text(p).strip()) for p in signatures)
    signature_inset, date_inset = 2.0, None
    if date is not None:
        date_inset = signature_width - width_in_characters(_paragraph_text(date).strip())
        if date_inset < 2:
            signature_inset += 2 - date_inset
            date_inset = 2.0
    for p, inset in [(p, signature_inset) for p in signatures] + ([(date, date_inset)] if date is not None else []):
        p_pr = p.get_or_add_pPr()
        _no_grid(p_pr)
        p_pr.jc_val = WD_ALIGN_PARAGRAPH.RIGHT
        ind = p_pr.get_or_add_ind()
        ind.right = Twips(int(round(inset * char * 20)))
        ind.firstLine = Twips(0)
    # One empty line between the text and the signature.
    previous = block[0].getprevious()
    if previous is not None and previous.tag == qn("w:p") and _paragraph_text(previous).strip():
        spacer = parse_xml("<w:p %s><w:pPr><w:pStyle w:val=%s/></w:pPr></w:p>" % (nsdecls("w"), quoteattr(style_id)))
        block[0].addprevious(spacer)


# --- record block ---------------------------------------------------------

def add_record_block(doc, page, official):
    copies = [name for name in official.get("copies_to") or [] if name]
    printed_by, printed_on = official.get("printed_by"), official.get("printed_on")
    if not (copies or printed_by or printed_on):
        return
    geometry = _Geometry(doc, page)
    char = RECORD_SIZE * 20
    rows = []
    if copies:
        text = "，".join(copies)
        if text[-1] not in "。．.":
            text += "。"
        rows.append(_record_row(geometry, "抄送：" + text, left=4 * char, hanging=3 * char, right=char))
    if printed_by or printed_on:
        date = full_date(printed_on) + "印发" if printed_on else ""
        text = (printed_by or "") + ("\t" + date if date else "")
        rows.append(_record_row(geometry, text, left=char, right=char, tab=geometry.width - char))
    # Floating at the foot of the text block, as wide as it. The table is
    # placed from the page's left edge, not centred in the margins:
    # LibreOffice floats a table as wide as the text block only when it is
    # placed from the page (it leaves others where the text ends).
    table = parse_xml(
        '<w:tbl %s><w:tblPr>'
        '<w:tblpPr w:leftFromText="0" w:rightFromText="0" w:topFromText="0" w:bottomFromText="0" '
        'w:vertAnchor="margin" w:horzAnchor="page" w:tblpX="%d" w:tblpYSpec="bottom"/>'
        '<w:tblOverlap w:val="never"/>'
        '<w:tblW w:w="%d" w:type="dxa"/><w:jc w:val="center"/>'
        '<w:tblBorders>'
        '<w:top w:val="single" w:sz="%d" w:space="0" w:color="000000"/><w:left w:val="nil"/>'
        '<w:bottom w:val="single" w:sz="%d" w:space="0" w:color="000000"/><w:right w:val="nil"/>'
        '<w:insideH w:val="single" w:sz="%d" w:space="0" w:color="000000"/><w:insideV w:val="nil"/>'
        '</w:tblBorders><w:tblLayout w:type="fixed"/>'
        '<w:tblCellMar><w:left w:w="0" w:type="dxa"/><w:right w:w="0" w:type="dxa"/></w:tblCellMar>'
        '</w:tblPr><w:tblGrid><w:gridCol w:w="%d"/></w:tblGrid>%s</w:tbl>' % (
            nsdecls("w"), geometry.left, geometry.width, THICK_EIGHTHS, THICK_EIGHTHS, THIN_EIGHTHS, geometry.width,
            "".join(rows)))
    # A floating table is anchored to the paragraph after it: an empty one,
    # one twip high.
    anchor = parse_xml('<w:p %s><w:pPr><w:spacing w:before="0" w:after="0" w:line="20" w:lineRule="exact"/>'
                       '<w:rPr><w:sz w:val="2"/><w:szCs w:val="2"/></w:rPr></w:pPr></w:p>' % nsdecls("w"))
    body = doc.element.body
    end = body.find(qn("w:sectPr"))
    for element in (table, anchor):
        if end is not None:
            end.addprevious(element)
        else:
            body.append(element)


def _record_row(geometry, text, left, right, hanging=0, tab=None):
    """One row of the record block: a paragraph of 4号 仿宋 on the body's
    line pitch."""
    size = str(RECORD_SIZE * 2)
    runs = []
    for index, piece in enumerate(text.split("\t")):
        if index:
            runs.append("<w:r>%s<w:tab/></w:r>" % _record_run_properties(size))
        if piece:
            runs.append('<w:r>%s<w:t xml:space="preserve">%s</w:t></w:r>' % (_record_run_properties(size),
                                                                             escape(piece)))
    tabs = '<w:tabs><w:tab w:val="right" w:pos="%d"/></w:tabs>' % tab if tab is not None else ""
    indent = '<w:ind w:left="%d" w:right="%d"%s/>' % (left, right, ' w:hanging="%d"' % hanging if hanging else "")
    return ('<w:tr><w:tc><w:tcPr><w:tcW w:w="%d" w:type="dxa"/><w:vAlign w:val="center"/></w:tcPr>'
            '<w:p><w:pPr>%s<w:autoSpaceDE w:val="0"/><w:autoSpaceDN w:val="0"/><w:snapToGrid w:val="0"/><w:spacing w:before="0" w:after="0" w:line="%d" '
            'w:lineRule="exact"/>%s<w:jc w:val="left"/></w:pPr>%s</w:p></w:tc></w:tr>') % (
        geometry.width, tabs, geometry.line, indent, "".join(runs))


def _record_run_properties(size):
    return ('<w:rPr><w:rFonts w:ascii=%s w:hAnsi=%s w:eastAsia=%s w:cs=%s w:hint="eastAsia"/>'
            '<w:sz w:val="%s"/><w:szCs w:val="%s"/></w:rPr>') % ((quoteattr(BODY_FONT),) * 4 + (size, size))
