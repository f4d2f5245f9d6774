"""The addressees (主送机关): under the title with one empty line between
(the title's style gives it), flush left and wrapping flush left, in 3号
仿宋, the names joined by "，" and closed by a full-width colon.

When so many addressees would push the body off the first page, they move
into the record block instead, written "主送：……。" above the copies (see
record_block). Whether the first page still shows a line of the body is
estimated from the grid: the masthead's lines, the title's and the
addressees', on the page's lines.
"""

import math

from quillmark_cli.official.figures import BODY_FONT, SIZE_3
from quillmark_cli.official.paragraphs import layout_paragraph, width_in_characters
from quillmark_cli.official.wordml import elements, qn, run, run_properties

COLON = "："


def addressee_text(addressees):
    """The addressees as one line of text: a list joined by "，", and the
    colon after the last name; None for none."""
    if isinstance(addressees, str):
        text = addressees.strip()
    else:
        text = "，".join(name.strip() for name in addressees or () if name.strip())
    if not text:
        return None
    return text if text.endswith((COLON, ":")) else text + COLON


def record_text(addressees):
    """The addressees as the record block writes them, "A，B。"."""
    text = addressee_text(addressees).rstrip(COLON + ":")
    return text if text.endswith("。") else text + "。"


def place_addressees(body, geometry, text, roles):
    """The addressees' paragraph under the title (or first in the body when
    there is none)."""
    paragraph = elements(layout_paragraph(geometry.line, run(text, run_properties(BODY_FONT, SIZE_3)),
                                          alignment="both"))[0]
    title = roles.get("title")
    last_title = None
    if title is not None:
        for candidate in body.iterchildren(qn("w:p")):
            style = candidate.find("%s/%s" % (qn("w:pPr"), qn("w:pStyle")))
            if style is not None and style.get(qn("w:val")) == title.identifier:
                last_title = candidate
            elif last_title is not None:
                break
    if last_title is not None:
        last_title.addnext(paragraph)
    else:
        body.insert(0, paragraph)


def lines_of(text, characters_a_line):
    return max(1, math.ceil(width_in_characters(text) / characters_a_line))
