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
from quillmark_cli.official.paragraphs import layout_paragraph, width_in_characters
from quillmark_cli.official.wordml import border, elements, run, run_properties, w

KEYS = ("authority", "number", "signer", "copy_number", "secrecy", "urgency")
MARK_TOP_MM = 35
NUMBER_LINE_GAP_MM = 4
RED_LINE_EIGHTHS = 8  # 1 pt
MARK_LINE_HEIGHT = 1.25  # the mark's line, in its font size
# The mark shrinks to fit one line, but not below 2号: smaller, it would no
# longer read as the authority's mark.
SMALLEST_MARK = SIZE_2
LINES_AFTER = 2  # empty lines below the mark and below the number


def add_masthead(body, geometry, official):
    """Puts the masthead at the top of the body."""
    made, _ = _masthead(geometry, official)
    for index, paragraph in enumerate(elements(*made)):
        body.insert(index, paragraph)


def masthead_height(geometry, official):
    """The masthead's height in twips, the empty lines under it included."""
    return _masthead(geometry, official)[1]


def _masthead(geometry, official):
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
        size = mark_size(geometry, authority)
        before = max(int(MARK_TOP_MM * TWIPS_PER_MM) - len(made) * line, 0)
        mark_line = int(size * 20 * MARK_LINE_HEIGHT)
        made.append(layout_paragraph(mark_line, run(authority, run_properties(MARK_FONT, size, RED)),
                                     alignment="center", before=before))
        made += [layout_paragraph(line)] * LINES_AFTER
        height += before + mark_line + LINES_AFTER * line
    number, signer = official.get("number"), official.get("signer")
    if number or signer:
        made.append(_number_line(geometry, number, signer))
        made += [layout_paragraph(line)] * LINES_AFTER
        height += (1 + LINES_AFTER) * line
    return made, height


def mark_size(geometry, authority):
    """The mark's size in points: 小初, or as large as fits one line."""
    size = min(SIZE_XIAOCHU, int(geometry.width / 20 / max(width_in_characters(authority), 1)))
    if size < SMALLEST_MARK:
        raise DoesNotFit("authority", "a mark of %g characters does not fit one line in %d pt (2号), the smallest "
                         "the mark is set in: a line holds %d" % (
                             width_in_characters(authority), SMALLEST_MARK, geometry.width // (SMALLEST_MARK * 20)))
    return size


def _number_line(geometry, number, signer):
    """The document number, centred, or at the left with the signer at the
    right, each one character in; the red line 4 mm below it."""
    text = run_properties(BODY_FONT, SIZE_3)
    red_line = w("pBdr", border("bottom", RED_LINE_EIGHTHS, RED, whole_points(NUMBER_LINE_GAP_MM)))
    if not signer:
        return layout_paragraph(geometry.line, run(number, text), alignment="center", borders=red_line)
    inset = geometry.characters(1)
    return layout_paragraph(geometry.line, run(number or "", text), run("\t签发人：", text),
                            run(signer, run_properties(SIGNER_FONT, SIZE_3)), alignment="left", left=inset,
                            right=inset, borders=red_line,
                            tabs=w("tabs", w("tab", val="right", pos=geometry.width - inset)))
