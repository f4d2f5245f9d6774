"""The signature and date (落款): the paragraphs that close the document in
the style "落款", the last of them the date, placed in one of the three ways
the standard knows.

- Without a seal: one empty line below the text, right-aligned, the
  signature two characters in from the right and the date on the line
  below it, starting two characters further right (or two characters in,
  with the signature moved left, when the date is the longer). Signatures of
  several authorities stack, the lead authority first.
- Sealed with the issuing authority's seal: two empty lines below the text,
  the date four characters in from the right and the signature centred over
  it; the seal (42 mm) centred on both, so that they sit a little below its
  centre, its top within one line of the text.
- Signed with the signer's signature stamp: two empty lines below the text,
  the stamp four characters in from the right with the signer's title two
  characters to its left, centred on the stamp's height; the date one empty
  line below the stamp, four characters in from the right.

Widths are counted as printed (see geometry): a Chinese character a full
em, an Arabic numeral or a Latin letter half of one, with the space readers
put between them and Chinese text. Without a picture of the seal or stamp,
the room it takes is kept.
"""

import math

from quillmark_cli.official.drawing import add_picture, floating_picture, scaled
from quillmark_cli.official.figures import TWIPS_PER_MM
from quillmark_cli.official.paragraphs import stripped_text
from quillmark_cli.official.wordml import child, element, qn, run, w

STYLE = "落款"
SIGNATURE_INSET = 2.0  # characters in from the right, without a seal
DATE_OFFSET = 2.0  # characters right of the signature's start, without a seal
SEALED_DATE_INSET = 4.0  # characters in from the right, with a seal or stamp
STAMP_GAP = 2.0  # characters between the signer's title and the stamp
SEAL_WIDTH_MM = 42
STAMP_WIDTH_MM = 20
# Where the seal's centre stands, in lines below the top of the signature's
# line: the signature and date sit a little below it.
SEAL_CENTRE_LINES = 0.7
STAMP_HEIGHT_LINES = 1.5  # a stamp of no picture keeps this much room
EMPTY_LINES = {None: 1, "none": 1, "stamp": 2, "signature": 2}


class Block:
    """The signature's paragraphs: the signatures and the date (None when
    there is one paragraph only), measured in the style's size."""

    def __init__(self, paragraphs, geometry, facts):
        self.paragraphs, self.geometry, self.facts = paragraphs, geometry, facts
        self.signatures, self.date = (paragraphs[:-1], paragraphs[-1]) if len(paragraphs) > 1 else \
            (paragraphs, None)
        self.character = facts.size * 20 + geometry.spacing  # one character, in twips

    def width(self, paragraph):
        return self.geometry.text_width(stripped_text(paragraph), self.facts.size)

    def line(self):
        return self.facts.line or self.geometry.line


def signature_block(body, geometry, facts):
    """The Block closing `body`, or None: `facts` are the StyleFacts of the
    signature's style (None when the package has none)."""
    if facts is None:
        return None
    block = []
    for paragraph in reversed(body):
        if paragraph.tag == qn("w:sectPr"):
            continue
        if paragraph.tag != qn("w:p") or _style(paragraph) != facts.identifier:
            break
        block.insert(0, paragraph)
    block = [paragraph for paragraph in block if stripped_text(paragraph)]
    return Block(block, geometry, facts) if block else None


def place_signature(parts, block, seal=None, signer_title=None, image=None):
    """Places the block as `seal` asks ("none" or None, "stamp",
    "signature"); `image` is the PNG of the seal or stamp. Returns the last
    paragraph placed (the date's)."""
    if seal == "stamp":
        last = _sealed(parts, block, image)
    elif seal == "signature":
        last = _stamped(parts, block, signer_title or "", image)
    else:
        last = _unsealed(block)
    _empty_lines_before(block, EMPTY_LINES[seal])
    return last


def _unsealed(block):
    signature_width = max(block.width(p) for p in block.signatures)
    character = block.character
    signature_inset, date_inset = SIGNATURE_INSET * character, None
    if block.date is not None:
        date_width = block.width(block.date)
        date_inset = signature_inset + signature_width - DATE_OFFSET * character - date_width
        if date_inset < DATE_OFFSET * character:
            date_inset = DATE_OFFSET * character
            signature_inset = date_inset + date_width + DATE_OFFSET * character - signature_width
    for paragraph in block.signatures:
        _right(paragraph, signature_inset)
    if block.date is not None:
        _right(block.date, date_inset)
    return block.paragraphs[-1]


def _sealed(parts, block, image):
    """The date four characters in, the signatures centred over it, the
    seal centred on them."""
    date = block.date if block.date is not None else block.signatures[-1]
    date_inset, date_width = SEALED_DATE_INSET * block.character, block.width(date)
    centre = date_inset + date_width / 2  # from the right edge
    for paragraph in block.signatures:
        if paragraph is not date:
            _right(paragraph, max(centre - block.width(paragraph) / 2, 0))
    _right(date, date_inset)
    if image is not None:
        width, height = scaled(image, width=int(round(SEAL_WIDTH_MM * TWIPS_PER_MM)))
        left = int(round(block.geometry.width - centre - width / 2))
        top = int(round(SEAL_CENTRE_LINES * block.line() - height / 2))
        _float(parts, block.signatures[0], image, "seal", width, height, left, top)
    return block.paragraphs[-1]


def _stamped(parts, block, title, image):
    """The signer's title and the stamp on one line, the date one empty line
    below the stamp, both four characters in. The title's line takes the
    place of the signatures' lines; without them, it is added above the
    date."""
    line, character = block.line(), block.character
    if image is not None:
        width, height = scaled(image, width=int(round(STAMP_WIDTH_MM * TWIPS_PER_MM)))
    else:
        width, height = int(round(STAMP_WIDTH_MM * TWIPS_PER_MM)), int(round(STAMP_HEIGHT_LINES * line))
    date = block.paragraphs[-1]
    signatures = block.paragraphs[:-1]
    if signatures:
        first = signatures[0]
        for paragraph in signatures[1:]:
            paragraph.getparent().remove(paragraph)
        for r in first.findall(qn("w:r")) + first.findall(qn("w:hyperlink")):
            first.remove(r)
    else:
        first = _empty(block)
        date.addprevious(first)
        block.paragraphs.insert(0, first)
    first.append(element(run(title)))
    _right(first, SEALED_DATE_INSET * character + width + STAMP_GAP * character)
    if image is not None:
        left = int(round(block.geometry.width - SEALED_DATE_INSET * character - width))
        _float(parts, first, image, "stamp", width, height, left, int(round((line - height) / 2)))
    # One empty line between the stamp's foot and the date.
    below = max((height - line) / 2, 0)
    for _ in range(math.ceil(below / line) + 1):
        first.addnext(_empty(block))
    _right(date, SEALED_DATE_INSET * character)
    return date


def _empty_lines_before(block, count):
    """`count` empty paragraphs in the signature's style between the text
    and the block (keeping those the text already has)."""
    first = block.paragraphs[0]
    if first.getparent() is None:
        first = block.signatures[0]
    have, previous = 0, first.getprevious()
    while previous is not None and previous.tag == qn("w:p") and not stripped_text(previous) and have < count:
        have, previous = have + 1, previous.getprevious()
    if previous is None or previous.tag != qn("w:p"):
        return
    for _ in range(count - have):
        first.addprevious(_empty(block))


def _empty(block):
    return element(w("p", w("pPr", w("pStyle", val=block.facts.identifier))))


def _float(parts, paragraph, image, name, width, height, left, top):
    identifier = add_picture(parts, image, name)
    number = parts.next_drawing_id()
    paragraph.append(floating_picture(identifier, number, name, width, height, left, top))


def _right(paragraph, inset):
    p_pr = _properties(paragraph)
    child(p_pr, "jc").set(qn("w:val"), "right")
    indent = child(p_pr, "ind")
    indent.set(qn("w:right"), str(int(round(inset))))
    indent.set(qn("w:firstLine"), "0")


def _style(paragraph):
    style = paragraph.find("%s/%s" % (qn("w:pPr"), qn("w:pStyle")))
    return None if style is None else style.get(qn("w:val"))


def _properties(paragraph):
    p_pr = paragraph.find(qn("w:pPr"))
    if p_pr is None:
        p_pr = paragraph.makeelement(qn("w:pPr"), {})
        paragraph.insert(0, p_pr)
    return p_pr
