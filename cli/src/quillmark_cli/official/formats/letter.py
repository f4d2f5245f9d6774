"""The letter format (信函格式): the letterhead of the first page.

- The authority's mark (its name, without "文件") centred on the text block
  in red 小标宋, its top edge 30 mm below the page's top edge, at most 小初
  and smaller where the name would not fit one line (as a document's mark).
- 4 mm under the mark, a red double line, the thick line above the thin;
  20 mm above the page's bottom edge, a red double line, the thin line
  above the thick. Both 170 mm long, centred on the text block.
- Under the first double line, flush with the text block's left edge, the
  copy number, secrecy and urgency one under another, the first one's top
  7/8 of a 3号 character's height below the line; the document number flush
  with the right edge on the first one's line (on a line of its own at that
  distance when there is none of them).
- The title (the text) two lines under the last of these.

The mark and the double lines stand above the text block or below it, so
they are drawings placed from the page's edges (a text box and filled
rectangles, in front of the text, taking no room). The elements under the
first line are lines of the text, below a spacer that takes the text block
from its top down to them. The first page has no page number, and the
record block has no printing authority, date or lines (see page_numbers and
record_block).
"""

from quillmark_cli.official.drawing import floating_shape
from quillmark_cli.official.figures import BODY_FONT, HEADING_FONT, MARK_FONT, RED, SIZE_3, twips
from quillmark_cli.official.masthead import MARK_LINE_HEIGHT, mark_size
from quillmark_cli.official.paragraphs import em_box_top, layout_paragraph
from quillmark_cli.official.wordml import elements, run, run_properties, w

MARK_TOP_MM = 30  # the mark's top edge, below the page's top edge
LINE_UNDER_MARK_MM = 4  # the first double line's top edge, under the mark's foot
LINE_ABOVE_EDGE_MM = 20  # the second double line's bottom edge, above the page's bottom edge
LINE_LENGTH_MM = 170
THICK_MM = 0.8  # the double lines' rules (2.25 pt and 0.85 pt) and the space between them
THIN_MM = 0.3
RULE_GAP_MM = 0.4
ELEMENT_GAP = 7 / 8  # of a 3号 character's height: the elements' top under the first double line
ELEMENT_SIZE = SIZE_3
LINES_BEFORE_TITLE = 2
ELEMENTS = (("copy_number", BODY_FONT), ("secrecy", HEADING_FONT), ("urgency", HEADING_FONT))


class Letterhead:
    """Where the letterhead's parts stand on the first page, in twips from
    the page's top edge (and the mark's size in points)."""

    def __init__(self, geometry, official):
        self.geometry = geometry
        self.mark = (official.get("authority") or "").strip()  # without one, the lines stand as for 小初
        self.size = mark_size(geometry, self.mark)
        self.mark_line = int(self.size * 20 * MARK_LINE_HEIGHT)
        self.mark_top = twips(MARK_TOP_MM)
        self.first_line = self.mark_top + self.size * 20 + twips(LINE_UNDER_MARK_MM)
        self.double_line = twips(THICK_MM) + twips(RULE_GAP_MM) + twips(THIN_MM)
        self.second_line = geometry.page_height - twips(LINE_ABOVE_EDGE_MM) - self.double_line
        self.rows = [(official[key], font) for key, font in ELEMENTS if official.get(key)]
        self.number = official.get("number")
        under_line = self.first_line + self.double_line
        if self.rows or self.number:
            top = under_line + int(round(ELEMENT_GAP * ELEMENT_SIZE * 20)) - em_box_top(geometry.line, ELEMENT_SIZE)
        else:
            top = under_line
        self.spacer = max(top - geometry.top, 0)

    @property
    def lines(self):
        """The letterhead's lines of text: the elements' (and the number's)."""
        return max(len(self.rows), 1 if self.number else 0)

    def height(self):
        """How far down the text block the title starts, in twips."""
        return self.spacer + (self.lines + LINES_BEFORE_TITLE) * self.geometry.line


def letterhead_height(geometry, official):
    return Letterhead(geometry, official).height()


def add_letterhead(parts, body, geometry, official):
    """Puts the letterhead at the top of the first page: the spacer and the
    elements' lines at the top of the body, the mark and the double lines
    anchored in the first of them."""
    head = Letterhead(geometry, official)
    line = geometry.line
    made = [layout_paragraph(head.spacer)] if head.spacer >= 20 else []
    text = run_properties(BODY_FONT, ELEMENT_SIZE)
    number = [run("\t", text), run(head.number, text)] if head.number else []
    tabs = w("tabs", w("tab", val="right", pos=geometry.width)) if head.number else None
    for index, (value, font) in enumerate(head.rows):
        beside = number if index == 0 else []  # the number on the first one's line
        made.append(layout_paragraph(line, run(value, run_properties(font, ELEMENT_SIZE)), *beside,
                                     alignment="left", left=0, right=0, tabs=tabs if beside else None))
    if not head.rows and head.number:
        made.append(layout_paragraph(line, run(head.number, text), alignment="right", left=0, right=0))
    made += [layout_paragraph(line)] * LINES_BEFORE_TITLE
    made = elements(*made)
    for index, paragraph in enumerate(made):
        body.insert(index, paragraph)
    anchor = made[0]
    for drawing in _drawings(parts, head):
        anchor.append(drawing)


def _drawings(parts, head):
    """The mark in its text box and the rules of the two double lines."""
    geometry = head.geometry
    first = parts.next_drawing_id()
    left = geometry.left + (geometry.width - twips(LINE_LENGTH_MM)) // 2
    length = twips(LINE_LENGTH_MM)
    thick, thin, gap = twips(THICK_MM), twips(THIN_MM), twips(RULE_GAP_MM)
    mark = layout_paragraph(head.mark_line, run(head.mark, run_properties(MARK_FONT, head.size, RED)),
                            alignment="center", left=0, right=0)
    shapes = [
        ("mark", geometry.width, head.mark_line, geometry.left,
         head.mark_top - em_box_top(head.mark_line, head.size), None, [mark]) if head.mark else None,
        # Thick above thin under the mark; thin above thick near the foot.
        ("double line", length, thick, left, head.first_line, RED, None),
        ("double line", length, thin, left, head.first_line + thick + gap, RED, None),
        ("double line", length, thin, left, head.second_line, RED, None),
        ("double line", length, thick, left, head.second_line + thin + gap, RED, None),
    ]
    shapes = [shape for shape in shapes if shape is not None]
    return [floating_shape(first + index, name, width, height, x, y, fill, paragraphs)
            for index, (name, width, height, x, y, fill, paragraphs) in enumerate(shapes)]

