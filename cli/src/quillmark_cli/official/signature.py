"""The signature and date (落款) of a document without a seal, at the end of
the text: the paragraphs that close the document in the style "落款" (the
last of them the date, those before it the signature), right-aligned.

The signature stands SIGNATURE_INSET_CHARACTERS (two characters) in from
the right edge of the text block; the date, on the line below, starts
DATE_SHIFT_CHARACTERS (two characters) to the right of the signature's
start, or, when the date is the longer, ends two characters in, with the
signature moved left to keep the shift. Arabic numerals count as half a
character. One empty line separates the text from the signature.
"""

from xml.sax.saxutils import quoteattr

from docx.enum.text import WD_ALIGN_PARAGRAPH
from docx.oxml import parse_xml
from docx.oxml.ns import nsdecls, qn
from docx.shared import Twips

from quillmark_cli.official.geometry import Geometry, width_in_characters
from quillmark_cli.official.wordml import no_grid

SIGNATURE_STYLE = "落款"
SIGNATURE_INSET_CHARACTERS = 2.0
DATE_SHIFT_CHARACTERS = 2


def _paragraph_text(p):
    return "".join(t.text or "" for t in p.iter(qn("w:t")))


def place_signature(doc, page):
    """Right indents for the closing "落款" paragraphs: the last is the date,
    those before it the signature."""
    try:
        style_id = doc.styles[SIGNATURE_STYLE].style_id
    except KeyError:
        return
    block = []
    for child in reversed(list(doc.element.body)):
        if child.tag == qn("w:sectPr"):
            continue
        if child.tag != qn("w:p") or child.style != style_id:
            break
        block.insert(0, child)
    block = [p for p in block if _paragraph_text(p).strip()]
    if not block:
        return
    char = Geometry(doc, page).char
    signatures, date = (block[:-1], block[-1]) if len(block) > 1 else (block, None)
    signature_width = max(width_in_characters(_paragraph_text(p).strip()) for p in signatures)
    signature_inset, date_inset = SIGNATURE_INSET_CHARACTERS, None
    if date is not None:
        date_inset = signature_width - width_in_characters(_paragraph_text(date).strip())
        if date_inset < DATE_SHIFT_CHARACTERS:
            signature_inset += DATE_SHIFT_CHARACTERS - date_inset
            date_inset = float(DATE_SHIFT_CHARACTERS)
    for p, inset in [(p, signature_inset) for p in signatures] + ([(date, date_inset)] if date is not None else []):
        p_pr = p.get_or_add_pPr()
        no_grid(p_pr)
        p_pr.jc_val = WD_ALIGN_PARAGRAPH.RIGHT
        ind = p_pr.get_or_add_ind()
        ind.right = Twips(int(round(inset * char * 20)))
        ind.firstLine = Twips(0)
    # One empty line between the text and the signature.
    previous = block[0].getprevious()
    if previous is not None and previous.tag == qn("w:p") and _paragraph_text(previous).strip():
        spacer = parse_xml("<w:p %s><w:pPr><w:pStyle w:val=%s/></w:pPr></w:p>" % (nsdecls("w"), quoteattr(style_id)))
        block[0].addprevious(spacer)
