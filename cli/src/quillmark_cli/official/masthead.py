"""The masthead (版头), above the title on the first page.

- Copy number (份号, 仿宋), secrecy and urgency (密级, 紧急程度, 黑体) at the top
  left of the text block, one a line, in 3号 (16 pt).
- The issuing authority's mark (发文机关标志), centred in red 方正小标宋, its top
  MARK_TOP_MM (35 mm) below the top of the text block, in 小初 (36 pt) or
  smaller where the mark would not fit one line.
- The document number (发文字号) LINES_BELOW_MARK (two) lines below the mark:
  centred, or, with a signer (签发人, its name in 楷体), at the left with the
  signer at the right, each one character in.
- A red line across the text block, RED_LINE_EIGHTHS (1 pt) thick,
  NUMBER_LINE_GAP_MM (4 mm) below the number; the title follows
  LINES_BELOW_NUMBER (two) lines below it.
"""

from docx.enum.text import WD_ALIGN_PARAGRAPH, WD_TAB_ALIGNMENT
from docx.oxml import parse_xml
from docx.oxml.ns import nsdecls
from docx.shared import Twips

from quillmark_cli.official.geometry import BODY_FONT, BODY_SIZE, TWIPS_PER_MM, Geometry, width_in_characters
from quillmark_cli.official.wordml import add_text, body_paragraph, border, insert_in_order

MASTHEAD_KEYS = ("authority", "number", "signer", "copy_number", "secrecy", "urgency")

HEADING_FONT = "黑体"
SIGNER_FONT = "楷体_GB2312"
MARK_FONT = "方正小标宋简体"
MARK_SIZE = 36  # 小初, made smaller when the mark would not fit one line
RED = "FF0000"
MARK_TOP_MM = 35
LINES_BELOW_MARK = 2
LINES_BELOW_NUMBER = 2
NUMBER_LINE_GAP_MM = 4
RED_LINE_EIGHTHS = 8  # 1 pt


def add_masthead(doc, page, official):
    if not any(official.get(key) for key in MASTHEAD_KEYS):
        return
    geometry = Geometry(doc, page)
    line = geometry.line
    made = []
    for key, font in (("copy_number", BODY_FONT), ("secrecy", HEADING_FONT), ("urgency", HEADING_FONT)):
        if official.get(key):
            paragraph = body_paragraph(doc, line, WD_ALIGN_PARAGRAPH.LEFT)
            add_text(paragraph, official[key], font, BODY_SIZE)
            made.append(paragraph)
    authority = official.get("authority")
    if authority:
        size = min(MARK_SIZE, int(geometry.width / 20 / max(width_in_characters(authority), 1)))
        mark_line = int(size * 20 * 1.25)
        paragraph = body_paragraph(doc, mark_line, WD_ALIGN_PARAGRAPH.CENTER)
        paragraph.paragraph_format.space_before = Twips(max(int(MARK_TOP_MM * TWIPS_PER_MM) - len(made) * line, 0))
        add_text(paragraph, authority, MARK_FONT, size, RED)
        made.append(paragraph)
        made += [body_paragraph(doc, line) for _ in range(LINES_BELOW_MARK)]
    number, signer = official.get("number"), official.get("signer")
    if number or signer:
        made.append(_number_line(doc, geometry, number, signer))
        made += [body_paragraph(doc, line) for _ in range(LINES_BELOW_NUMBER)]
    body = doc.element.body
    for index, paragraph in enumerate(made):
        body.insert(index, paragraph._p)


def _number_line(doc, geometry, number, signer):
    """The document number, centred, or at the left with the signer at the
    right, each one character in; the red line 4 mm below it."""
    inset = Twips(int(round(geometry.char * 20)))
    if signer:
        paragraph = body_paragraph(doc, geometry.line, WD_ALIGN_PARAGRAPH.LEFT)
        paragraph.paragraph_format.left_indent = inset
        paragraph.paragraph_format.right_indent = inset
        paragraph.paragraph_format.tab_stops.add_tab_stop(Twips(geometry.width - inset.twips), WD_TAB_ALIGNMENT.RIGHT)
        add_text(paragraph, number or "", BODY_FONT, BODY_SIZE)
        add_text(paragraph, "\t签发人：", BODY_FONT, BODY_SIZE)
        add_text(paragraph, signer, SIGNER_FONT, BODY_SIZE)
    else:
        paragraph = body_paragraph(doc, geometry.line, WD_ALIGN_PARAGRAPH.CENTER)
        add_text(paragraph, number, BODY_FONT, BODY_SIZE)
    p_pr = paragraph._p.get_or_add_pPr()
    borders = parse_xml("<w:pBdr %s/>" % nsdecls("w"))
    # The border's distance from the text, in whole points.
    borders.append(border("w:bottom", RED_LINE_EIGHTHS, RED, int(round(NUMBER_LINE_GAP_MM * 72 / 25.4))))
    insert_in_order(p_pr, borders)
    return paragraph
