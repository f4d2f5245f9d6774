"""The record block on an even page. Offices print on both sides and bind
the record block on the back of the last sheet: where it would fall on an
odd page, it is moved into a section of its own that begins on the next
page, after a blank page where the text itself ends on an even page.
Neither the blank page nor the record block's carries a page number: the
section's footers are empty.

Which page the block falls on is known only once the document is laid out
into pages: the caller renders the package, counts its pages (the block is
always on the last), and calls `on_even_page` where the count is odd;
rendered again, a count still odd means the text ended on an even page and
the block had a page of its own, and `on_even_page(package, blank=True)`
puts the blank page before it. (A section that begins on an even page
would say this at once, but LibreOffice lowers a table floated to the foot
of such a section's first page.)"""

import copy

from quillmark_cli.official.page_numbers import add_empty_footers
from quillmark_cli.official.parts import NotAPackage, Parts
from quillmark_cli.official.record_block import is_record_block
from quillmark_cli.official.wordml import elements, qn, w

_SPACING = w("spacing", before=0, after=0, line=20, lineRule="exact")
_MARK = w("rPr", w("sz", val=2), w("szCs", val=2))
_SMALL = w("pPr", _SPACING, _MARK)
_SMALL_ON_A_NEW_PAGE = w("pPr", w("pageBreakBefore"), _SPACING, _MARK)


def has_record_block(package):
    """Whether the laid-out `package` ends with a record block."""
    return _record_block(_body(Parts(package))) is not None


def on_even_page(package, blank=False):
    """`package` with its record block in a section of its own, without
    page numbers, that begins on the next page; with `blank`, a blank page
    stands before the block. The package unchanged where it has no record
    block."""
    parts = Parts(package)
    body = _body(parts)
    block = _record_block(body)
    if block is None:
        return package
    last = body.find(qn("w:sectPr"))
    # The text's section ends with a paragraph one twip high, so that
    # ending it takes no line of the last page; one as small opens the
    # record block's section, for LibreOffice floats a table that opens a
    # section on the section before it. After a blank page, a third
    # begins a page (LibreOffice ignores a page break run in a paragraph
    # this small).
    made = elements(w("p", _SMALL), w("p", _SMALL), w("p", _SMALL_ON_A_NEW_PAGE) if blank else "")
    made[0].find(qn("w:pPr")).append(copy.deepcopy(last))
    for paragraph in made:
        block.addprevious(paragraph)
    for reference in last.findall(qn("w:footerReference")):
        last.remove(reference)
    kinds = ["default", "even"] + (["first"] if last.find(qn("w:titlePg")) is not None else [])
    add_empty_footers(parts, last, kinds)
    parts.changed(parts.main)
    return parts.write()


def _body(parts):
    body = parts.xml(parts.main).find(qn("w:body"))
    if body is None or body.find(qn("w:sectPr")) is None:
        raise NotAPackage("the main document has no body or no section properties")
    return body


def _record_block(body):
    """The record block's table: the body's last table before its section
    properties, followed only by the paragraph it is anchored to."""
    anchor = body.find(qn("w:sectPr")).getprevious()
    table = anchor.getprevious() if anchor is not None else None
    return table if table is not None and is_record_block(table) else None
