"""The signature and date of a document without a seal (落款): the
paragraphs that close the document in the style "落款", right-aligned, one
empty line below the text; the signature two characters in from the right
and the date on the line below it, starting two characters further right
(or two characters in, with the signature moved left, when the date is the
longer). Arabic numerals and Latin letters count half a character, with the
space readers put between them and Chinese text (see geometry). Readers
are left to put that space there (LibreOffice always does), so that Word
and LibreOffice print a date alike."""

from quillmark_cli.official.paragraphs import stripped_text
from quillmark_cli.official.wordml import child, element, qn, w

STYLE = "落款"
SIGNATURE_INSET = 2.0  # characters in from the right
DATE_OFFSET = 2.0  # characters right of the signature's start


def place_signature(body, geometry, facts):
    """`facts`: the StyleFacts of the signature's style, or None when the
    package has none."""
    if facts is None:
        return
    style_id = facts.identifier
    block = []
    for paragraph in reversed(body):
        if paragraph.tag == qn("w:sectPr"):
            continue
        if paragraph.tag != qn("w:p") or _style(paragraph) != style_id:
            break
        block.insert(0, paragraph)
    block = [paragraph for paragraph in block if stripped_text(paragraph)]
    if not block:
        return
    signatures, date = (block[:-1], block[-1]) if len(block) > 1 else (block, None)
    # Widths in twips, as printed in the signature's size.
    character = facts.size * 20 + geometry.spacing
    signature_width = max(geometry.text_width(stripped_text(p), facts.size) for p in signatures)
    signature_inset, date_inset = SIGNATURE_INSET * character, None
    if date is not None:
        date_width = geometry.text_width(stripped_text(date), facts.size)
        date_inset = signature_inset + signature_width - DATE_OFFSET * character - date_width
        if date_inset < DATE_OFFSET * character:
            date_inset = DATE_OFFSET * character
            signature_inset = date_inset + date_width + DATE_OFFSET * character - signature_width
    placed = [(p, signature_inset) for p in signatures] + ([(date, date_inset)] if date is not None else [])
    for paragraph, inset in placed:
        p_pr = _properties(paragraph)
        child(p_pr, "jc").set(qn("w:val"), "right")
        indent = child(p_pr, "ind")
        indent.set(qn("w:right"), str(int(round(inset))))
        indent.set(qn("w:firstLine"), "0")
    # One empty line between the text and the signature.
    previous = block[0].getprevious()
    if previous is not None and previous.tag == qn("w:p") and stripped_text(previous):
        block[0].addprevious(element(w("p", w("pPr", w("pStyle", val=style_id)))))


def _style(paragraph):
    style = paragraph.find("%s/%s" % (qn("w:pPr"), qn("w:pStyle")))
    return None if style is None else style.get(qn("w:val"))


def _properties(paragraph):
    p_pr = paragraph.find(qn("w:pPr"))
    if p_pr is None:
        p_pr = paragraph.makeelement(qn("w:pPr"), {})
        paragraph.insert(0, p_pr)
    return p_pr
