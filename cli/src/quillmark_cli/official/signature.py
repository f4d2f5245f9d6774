"""The signature and date of a document without a seal (落款): the
paragraphs that close the document in the style "落款", right-aligned, one
empty line below the text; the signature two characters in from the right
and the date on the line below it, starting two characters further right
(or two characters in, with the signature moved left, when the date is the
longer). Arabic numerals and Latin letters count half a character."""

from quillmark_cli.official.paragraphs import no_grid, stripped_text, width_in_characters
from quillmark_cli.official.wordml import child, element, qn, w

STYLE = "落款"
SIGNATURE_INSET = 2.0  # characters in from the right
DATE_OFFSET = 2.0  # characters right of the signature's start


def place_signature(body, geometry, style_id):
    """`style_id`: the identifier of the style "落款" in the package, or
    None when it has none."""
    if style_id is None:
        return
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
    signature_width = max(width_in_characters(stripped_text(p)) for p in signatures)
    signature_inset, date_inset = SIGNATURE_INSET, None
    if date is not None:
        date_inset = signature_width - width_in_characters(stripped_text(date))
        if date_inset < DATE_OFFSET:
            signature_inset += DATE_OFFSET - date_inset
            date_inset = DATE_OFFSET
    placed = [(p, signature_inset) for p in signatures] + ([(date, date_inset)] if date is not None else [])
    for paragraph, inset in placed:
        p_pr = _properties(paragraph)
        no_grid(p_pr)
        child(p_pr, "jc").set(qn("w:val"), "right")
        indent = child(p_pr, "ind")
        indent.set(qn("w:right"), str(geometry.characters(inset)))
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
