"""The record block (版记) at the foot of the last page: "抄送：" and the
names that receive copies (4号 仿宋, one character in, wrapped lines aligned
after "抄送：", a full stop after the last name), then the printing
authority one character in from the left and the printing date ("2026年12月
8日印发") one character in from the right; a thick line (0.35 mm) above and
below the block and a thin one (0.25 mm) between, as wide as the text block,
the last line on the text block's lower edge (a letter's block has no
lines, and no printing authority or date). A block taller than a page
holds beside a line of the body (21 lines on the standard page) is
refused: floated at the foot of the page, the rest would be lost.

The block is a table floating at the foot of the text block, placed from the
page's left edge: LibreOffice floats a table as wide as the text block only
when it is placed from the page (it leaves others where the text ends).
"""

import datetime
import functools
import math
import re

from quillmark_cli.official.figures import BODY_FONT, BLACK, SIZE_4, points_to_twips
from quillmark_cli.official.parts import DoesNotFit
from quillmark_cli.official.wordml import elements, qn, run_properties, w

KEYS = ("copies_to", "printed_by", "printed_on")
THICK_EIGHTHS = 8  # 0.35 mm
THIN_EIGHTHS = 6  # 0.25 mm
RECORD_SIZE = SIZE_4
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


def add_record_block(body, geometry, official, addressees=None, lines=True):
    """The record block at the foot of the last page; `addressees`, the
    addressees' text when they moved here from under the title ("A，B。"),
    stand above the copies with no line between them. Without `lines`, the
    block has none (a letter's)."""
    copies = [name for name in official.get("copies_to") or [] if name]
    printed_by, printed_on = official.get("printed_by"), official.get("printed_on")
    if not (copies or printed_by or printed_on or addressees):
        return
    character = points_to_twips(RECORD_SIZE)
    _check_it_fits(geometry, official, addressees, copies, character)
    rows = []
    if addressees:
        rows.append(_row(geometry, "主送：" + addressees, left=4 * character, hanging=3 * character, right=character,
                         joined_below=bool(copies)))
    if copies:
        text = "，".join(copies)
        if text[-1] not in "。．.":
            text += "。"
        rows.append(_row(geometry, "抄送：" + text, left=4 * character, hanging=3 * character, right=character,
                         joined_above=bool(addressees)))
    if printed_by or printed_on:
        date = full_date(printed_on) + "印发" if printed_on else ""
        text = (printed_by or "") + ("\t" + date if date else "")
        rows.append(_row(geometry, text, left=character, right=character, tab=geometry.width - character))

    table = w("tbl", _table_properties(geometry.left, geometry.width, lines), *rows)
    # A floating table is anchored to the paragraph after it: an empty one,
    # one twip high.
    anchor = w("p", w("pPr", w("spacing", before=0, after=0, line=20, lineRule="exact"),
                      w("rPr", w("sz", val=2), w("szCs", val=2))))
    end = body.find(qn("w:sectPr"))
    for made in elements(table, anchor):
        if end is not None:
            end.addprevious(made)
        else:
            body.append(made)


def is_record_block(element):
    """Whether `element` is a record block's table: a table floated to the
    foot of the text block."""
    if element.tag != qn("w:tbl"):
        return False
    placed = element.find(qn("w:tblPr") + "/" + qn("w:tblpPr"))
    return placed is not None and placed.get(qn("w:tblpYSpec")) == "bottom"


def _check_it_fits(geometry, official, addressees, copies, character):
    """Refuses a record block taller than a page can hold beside a line of
    the body: floated at the foot of the last page, the rest of it would be
    lost."""
    wrapped = geometry.width - 5 * character  # lines after the first start after "抄送："
    lines = 0
    for label, names in (("主送：", addressees), ("抄送：", "，".join(copies) + "。" if copies else None)):
        if names:
            lines += max(1, math.ceil((geometry.text_width(label + names, RECORD_SIZE) - 3 * character) / wrapped))
    if official.get("printed_by") or official.get("printed_on"):
        lines += 1
    most = geometry.height // geometry.line - 1
    if lines > most:
        where = "copies_to" if copies else "addressees"
        raise DoesNotFit(where, "the record block would take %d lines, and a page holds %d beside a line of the "
                                "body: give fewer names" % (lines, most))


@functools.lru_cache(maxsize=16)
def _table_properties(left, width, lines=True):
    def line(side, eighths):
        if not lines:
            return w(side, val="nil")
        return w(side, val="single", sz=eighths, space=0, color=BLACK)

    return w(
        "tblPr",
        w("tblpPr", leftFromText=0, rightFromText=0, topFromText=0, bottomFromText=0, vertAnchor="margin",
          horzAnchor="page", tblpX=left, tblpYSpec="bottom"),
        w("tblOverlap", val="never"),
        w("tblW", w=width, type="dxa"),
        w("jc", val="center"),
        w("tblBorders", line("top", THICK_EIGHTHS), w("left", val="nil"), line("bottom", THICK_EIGHTHS),
          w("right", val="nil"), line("insideH", THIN_EIGHTHS), w("insideV", val="nil")),
        w("tblLayout", type="fixed"),
        w("tblCellMar", w("left", w=0, type="dxa"), w("right", w=0, type="dxa")),
    ) + w("tblGrid", w("gridCol", w=width))


def _row(geometry, text, left, right, hanging=None, tab=None, joined_above=False, joined_below=False):
    """One row of the record block: a paragraph of 4号 仿宋 on the body's
    line pitch; a row joined to the one above or below has no line
    between them."""
    runs = []
    for index, piece in enumerate(text.split("\t")):
        if index:
            runs.append(w("r", run_properties(BODY_FONT, RECORD_SIZE), w("tab")))
        if piece:
            runs.append(w("r", run_properties(BODY_FONT, RECORD_SIZE), w("t", text=piece, xml_space="preserve")))
    p_pr = w("pPr", w("tabs", w("tab", val="right", pos=tab)) if tab is not None else None,
             w("autoSpaceDE", val=0), w("autoSpaceDN", val=0), w("snapToGrid", val=0),
             w("spacing", before=0, after=0, line=geometry.line, lineRule="exact"),
             w("ind", left=left, right=right, hanging=hanging), w("jc", val="left"))
    borders = None
    if joined_above or joined_below:
        borders = w("tcBorders", w("top", val="nil") if joined_above else None,
                    w("bottom", val="nil") if joined_below else None)
    return w("tr", w("tc", w("tcPr", w("tcW", w=geometry.width, type="dxa"), borders, w("vAlign", val="center")),
                     w("p", p_pr, *runs)))
