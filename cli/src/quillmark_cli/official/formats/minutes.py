"""The minutes format (纪要格式).

The mark, the name of the minutes ending in "纪要", centred in red 小标宋,
its top edge 35 mm below the text block's top edge, as a document's mark
(the document number, where given, and the red line under it as a
document's). After the text, or after the list of attachments, one empty
line, then two characters in "出席" (who attended) in 3号黑体 with a
full-width colon, and the names in 3号仿宋, joined by "、", a wrapped line
going on under the first name's first character; "请假" (who were excused)
and "列席" (who sat in) the same way, each on a new line.
"""

from quillmark_cli.official.figures import BODY_FONT, HEADING_FONT, SIZE_3
from quillmark_cli.official.masthead import add_masthead, masthead_height
from quillmark_cli.official.paragraphs import layout_paragraph
from quillmark_cli.official.wordml import elements, qn, run, run_properties, w

MARK_TOP_MM = 35  # the tops of the mark's characters, below the text block's top edge
MARK_WORD = "纪要"
LISTS = (("attendees", "出席"), ("absent", "请假"), ("observers", "列席"))
COLON = "："
SEPARATOR = "、"
INDENT_CHARACTERS = 2


def minutes_mark(name):
    """The mark: the name with "纪要" after it where it does not end in it
    already."""
    text = name.strip()
    return text if text.endswith(MARK_WORD) else text + MARK_WORD


def add_minutes_head(body, geometry, official):
    add_masthead(body, geometry, _as_masthead(official), MARK_TOP_MM)


def minutes_head_height(geometry, official):
    return masthead_height(geometry, _as_masthead(official), MARK_TOP_MM)


def _as_masthead(official):
    authority = official.get("authority")
    return dict(official, authority=minutes_mark(authority)) if isinstance(authority, str) else official


def list_attendance(body, geometry, official, before=None):
    """The lists of who attended, was excused and sat in, before `before`
    (the empty line above the signature) or at the end of the text."""
    lists = [(label, [name.strip() for name in official.get(key) or () if name.strip()]) for key, label in LISTS]
    lists = [(label, names) for label, names in lists if names]
    if not lists:
        return
    start = INDENT_CHARACTERS * geometry.characters(1)
    made = [layout_paragraph(geometry.line)]  # one empty line under the text
    for label, names in lists:
        label += COLON
        hanging = geometry.text_width(label, SIZE_3)
        made.append(w("p", w("pPr", w("spacing", before=0, after=0, line=geometry.line, lineRule="exact"),
                             w("ind", left=start + hanging, hanging=hanging), w("jc", val="both")),
                      run(label, run_properties(HEADING_FONT, SIZE_3)),
                      run(SEPARATOR.join(names), run_properties(BODY_FONT, SIZE_3))))
    for paragraph in elements(*made):
        if before is not None:
            before.addprevious(paragraph)
        else:
            end = body.find(qn("w:sectPr"))
            if end is not None:
                end.addprevious(paragraph)
            else:
                body.append(paragraph)
