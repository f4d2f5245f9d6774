"""The record block (版记), at the foot of the last page: 抄送 (copies to)
above the printing authority and the date it was printed, in 4号 (14 pt)
仿宋 on the body's line pitch, as wide as the text block, its last line on
the text block's lower edge.

- Lines: a thick one (THICK_EIGHTHS, 0.35 mm) at the top and the bottom,
  thin ones (THIN_EIGHTHS, 0.25 mm) between the rows.
- 抄送: one character in from each side, the names after "抄送：" wrapping
  under their own start (a hanging indent of three characters), ending with
  "。".
- The printing authority one character in from the left, the date it was
  printed ("2026年12月8日印发", an ISO date written out) one character in from
  the right.
"""

import datetime
import re
from xml.sax.saxutils import escape, quoteattr

from docx.oxml import parse_xml
from docx.oxml.ns import nsdecls, qn

from quillmark_cli.official.geometry import BODY_FONT, Geometry

RECORD_KEYS = ("copies_to", "printed_by", "printed_on")
RECORD_SIZE = 14  # 4号
THICK_EIGHTHS = 8  # 0.35 mm
THIN_EIGHTHS = 6  # 0.25 mm
# In characters of the record block's size.
SIDE_INSET_CHARACTERS = 1
COPIES_HANGING_CHARACTERS = 3
_ISO_DATE = re.compile(r"(\d{4})-(\d{1,2})-(\d{1,2})$")


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


def add_record_block(doc, page, official):
    copies = [name for name in official.get("copies_to") or [] if name]
    printed_by, printed_on = official.get("printed_by"), official.get("printed_on")
    if not (copies or printed_by or printed_on):
        return
    geometry = Geometry(doc, page)
    char = RECORD_SIZE * 20
    side = SIDE_INSET_CHARACTERS * char
    hanging = COPIES_HANGING_CHARACTERS * char
    rows = []
    if copies:
        text = "，".join(copies)
        if text[-1] not in "。．.":
            text += "。"
        rows.append(_record_row(geometry, "抄送：" + text, left=side + hanging, hanging=hanging, right=side))
    if printed_by or printed_on:
        date = full_date(printed_on) + "印发" if printed_on else ""
        text = (printed_by or "") + ("\t" + date if date else "")
        rows.append(_record_row(geometry, text, left=side, right=side, tab=geometry.width - side))
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
