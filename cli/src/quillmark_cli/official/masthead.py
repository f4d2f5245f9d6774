"""The masthead (版头): the copy number, secrecy and urgency at the top left
of the first page, one under another; the issuing authority's mark centred
in red 方正小标宋, its top 35 mm below the top of the text block, at most
小初 (36 pt) and smaller when it would not fit one line, down to 2号 (22 pt;
a longer mark is refused); the document number
two lines below it, centred, or one character in from the left with the
signer (签发人, in 楷体) one character in from the right; a red line across
the text block 4 mm below the number; the title two lines below the line.
"""

from quillmark_cli.official.figures import (
    BODY_FONT, HEADING_FONT, MARK_FONT, RED, SIGNER_FONT, SIZE_2, SIZE_3, SIZE_XIAOCHU, TWIPS_PER_MM, whole_points,
)
from quillmark_cli.official.parts import DoesNotFit
from quillmark_cli.official.paragraphs import em_box_top, layout_paragraph, width_in_characters
from quillmark_cli.official.wordml import border, elements, run, run_properties, w

KEYS = ("authority", "number", "signer", "copy_number", "secrecy", "urgency")
MARK_TOP_MM = 35
NUMBER_LINE_GAP_MM = 4
RED_LINE_EIGHTHS = 8  # 1 pt
MARK_LINE_HEIGHT = 1.25  # the mark's line, in its font size
# The mark shrinks to fit one line, but not below 2号: smaller, it would no
# longer read as the authority's mark.
SMALLEST_MARK = SIZE_2
# A joint mark: "文件" to the right of the names, a character apart.
JOINT_WORD = "文件"
JOINT_GAP = 1
LINES_AFTER = 2  # empty lines below the mark and below the number


def add_masthead(body, geometry, official, mark_top=None, red_line=True):
    """Puts the masthead at the top of the body. With `mark_top`, the tops
    of the mark's characters stand that many mm below the text block's top
    (without it, the mark's line starts 35 mm down, a document's); the red
    line goes under the number unless `red_line` is false (an order's
    masthead has its order number where a document's number stands, with
    no line)."""
    made, _ = _masthead(geometry, official, mark_top, red_line)
    for index, paragraph in enumerate(elements(*made)):
        body.insert(index, paragraph)


def masthead_height(geometry, official, mark_top=None, red_line=True):
    """The masthead's height in twips, the empty lines under it included."""
    return _masthead(geometry, official, mark_top, red_line)[1]


def _masthead(geometry, official, mark_top, red_line):
    """(the masthead's paragraphs' markup, its height in twips)."""
    if not any(official.get(key) for key in KEYS):
        return [], 0
    line = geometry.line
    made, height = [], 0
    for key, font in (("copy_number", BODY_FONT), ("secrecy", HEADING_FONT), ("urgency", HEADING_FONT)):
        if official.get(key):
            made.append(layout_paragraph(line, run(official[key], run_properties(font, SIZE_3)), alignment="left"))
            height += line
    authority = official.get("authority")
    if authority:
        before = max(int(MARK_TOP_MM * TWIPS_PER_MM) - len(made) * line, 0)
        if isinstance(authority, str):
            size = mark_size(geometry, authority)
            mark_line = int(size * 20 * MARK_LINE_HEIGHT)
            if mark_top is not None:
                before = max(int(round(mark_top * TWIPS_PER_MM)) - em_box_top(mark_line, size) - len(made) * line,
                             0)
            made.append(layout_paragraph(mark_line, run(authority, run_properties(MARK_FONT, size, RED)),
                                         alignment="center", before=before))
            height += before + mark_line
        else:
            mark, mark_height = _joint_mark(geometry, authority, before)
            made += mark
            height += mark_height
        made += [layout_paragraph(line)] * LINES_AFTER
        height += LINES_AFTER * line
    number, signer = official.get("number"), official.get("signer")
    if number or signer:
        made.append(_number_line(geometry, number, signer, red_line))
        made += [layout_paragraph(line)] * LINES_AFTER
        height += (1 + LINES_AFTER) * line
    return made, height


def mark_size(geometry, authority, characters=None):
    """The mark's size in points: 小初, or as large as fits one line of
    `characters` (the mark's width in characters)."""
    if characters is None:
        characters = width_in_characters(authority)
    size = min(SIZE_XIAOCHU, int(geometry.width / 20 / max(characters, 1)))
    if size < SMALLEST_MARK:
        raise DoesNotFit("authority", "a mark of %g characters does not fit one line in %d pt (2号), the smallest "
                         "the mark is set in: a line holds %d" % (
                             characters, SMALLEST_MARK, geometry.width // (SMALLEST_MARK * 20)))
    return size


def _joint_mark(geometry, names, before):
    """The mark of a document several authorities issue: their names one
    under another, the lead authority first, spread to one width, and
    "文件" to their right, centred on them vertically. Returns (its
    paragraphs' and table's markup, its height in twips)."""
    widest = max(width_in_characters(name) for name in names)
    size = mark_size(geometry, None, widest + JOINT_GAP + width_in_characters(JOINT_WORD))
    mark_line = int(size * 20 * MARK_LINE_HEIGHT)
    names_width = int(round(widest * (size * 20 + geometry.spacing))) + 20
    gap = int(round(JOINT_GAP * size * 20))
    word_width = int(round(width_in_characters(JOINT_WORD) * (size * 20 + geometry.spacing))) + 20
    properties = run_properties(MARK_FONT, size, RED)
    none = "".join(w(side, val="nil") for side in ("top", "left", "bottom", "right", "insideH", "insideV"))

    def cell(width, text, alignment, merge=None, before=0):
        paragraph = w("p", w("pPr", w("spacing", before=before, after=0, line=mark_line, lineRule="exact"),
                             w("ind", left=0, right=0, firstLine=0), w("jc", val=alignment)),
                      run(text, properties) if text else None)
        return w("tc", w("tcPr", w("tcW", w=width, type="dxa"), w("vMerge", val=merge) if merge else None),
                 paragraph)

    rows = []
    for index, name in enumerate(names):
        rows.append(w("tr", w("trPr", w("trHeight", val=mark_line, hRule="exact")),
                      cell(names_width, name, "distribute"), cell(gap, None, "left"),
                      cell(word_width, JOINT_WORD if index == 0 else None, "left",
                           ("restart" if index == 0 else "continue") if len(names) > 1 else None,
                           # "文件" centred on the names: as far down as half of the lines after the first.
                           (len(names) - 1) * mark_line // 2 if index == 0 else 0)))
    table = w("tbl", w("tblPr", w("tblW", w=names_width + gap + word_width, type="dxa"), w("jc", val="center"),
                       "<w:tblBorders>%s</w:tblBorders>" % none, w("tblLayout", type="fixed"),
                       w("tblCellMar", w("left", w=0, type="dxa"), w("right", w=0, type="dxa"))),
              w("tblGrid", w("gridCol", w=names_width), w("gridCol", w=gap), w("gridCol", w=word_width)), *rows)
    made = [layout_paragraph(before)] if before >= 20 else []
    return made + [table], max(before, 20 if made else 0) + len(names) * mark_line


def _number_line(geometry, number, signer, red_line=True):
    """The document number, centred, or at the left with the signer at the
    right, each one character in; the red line 4 mm below it."""
    text = run_properties(BODY_FONT, SIZE_3)
    red_line = w("pBdr", border("bottom", RED_LINE_EIGHTHS, RED, whole_points(NUMBER_LINE_GAP_MM))) \
        if red_line else None
    if not signer:
        return layout_paragraph(geometry.line, run(number, text), alignment="center", borders=red_line)
    inset = geometry.characters(1)
    return layout_paragraph(geometry.line, run(number or "", text), run("\t签发人：", text),
                            run(signer, run_properties(SIGNER_FONT, SIZE_3)), alignment="left", left=inset,
                            right=inset, borders=red_line,
                            tabs=w("tabs", w("tab", val="right", pos=geometry.width - inset)))
