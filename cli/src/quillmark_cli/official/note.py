"""The note (附注): in full-width parentheses, two characters in, on the
line under the date (or under the text, when there is no signature)."""

from quillmark_cli.official.figures import BODY_FONT, SIZE_3
from quillmark_cli.official.wordml import element, qn, run, run_properties, w

INDENT_CHARACTERS = 2


def note_text(note):
    note = note.strip()
    if note.startswith(("（", "(")) and note.endswith(("）", ")")):
        note = note[1:-1]
    return "（%s）" % note


def place_note(body, geometry, note, after=None):
    """The note's paragraph after `after` (the date's paragraph), or at the
    end of the text."""
    paragraph = element(w("p", w("pPr", w("spacing", before=0, after=0, line=geometry.line, lineRule="exact"),
                                 w("ind", firstLine=geometry.characters(INDENT_CHARACTERS)), w("jc", val="both")),
                          run(note_text(note), run_properties(BODY_FONT, SIZE_3))))
    if after is not None:
        after.addnext(paragraph)
        return
    end = body.find(qn("w:sectPr"))
    if end is not None:
        end.addprevious(paragraph)
    else:
        body.append(paragraph)
