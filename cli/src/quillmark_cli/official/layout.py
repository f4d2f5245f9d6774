"""Laying a package out as an official document: a function from the bytes
of a package (as the generator wrote it) to the bytes of the laid-out
package.

It reads and changes only the parts it must — the main document, the
styles' defaults, the settings, the file properties — adds the footers with
their relationships and content types, drops the default template's preview
picture, and copies every other member as it was compressed. What
a template's styles and settings become is kept per process (a batch shares
one template), so that a document costs what its own text costs.
"""

from quillmark_cli.official.addressees import addressee_text, lines_of, place_addressees, record_text
from quillmark_cli.official.attachments import add_attachment_pages, attachment_names, list_attachments
from quillmark_cli.official.container import Member
from quillmark_cli.official.figures import SIZE_3
from quillmark_cli.official.formats import add_head, format_of, head_height, list_attendance, seal_of
from quillmark_cli.official.geometry import Geometry
from quillmark_cli.official.headings import number_headings
from quillmark_cli.official.note import place_note
from quillmark_cli.official.page_numbers import add_page_numbers
from quillmark_cli.official.page_setup import set_default_run_properties, set_section, set_settings
from quillmark_cli.official.parts import NUMBERING, SETTINGS, STYLES, DoesNotFit, Memo, NotAPackage, Parts
from quillmark_cli.official.properties import set_properties
from quillmark_cli.official.record_block import add_record_block
from quillmark_cli.official.roles import resolve
from quillmark_cli.official.signature import place_signature, signature_block
from quillmark_cli.official.style_table import StyleTable
from quillmark_cli.official.title import break_titles
from quillmark_cli.official.wordml import qn, serialize, text_of

__all__ = ["lay_out", "NotAPackage", "DoesNotFit"]

_styles_memo, _parts_memo = Memo(), Memo()



def lay_out(package, page=None, official=None, styles=None, seal_image=None, attachments=()):
    """The bytes of `package` (a word-processing package, as bytes) laid out
    on `page` (a Page, or None to keep the package's own) with the parts of
    an official document that `official` (a mapping: format, authority,
    number, order_number, signer, copy_number, secrecy, urgency, addressees,
    attachments, seal, signer_title, note, attendees, absent, observers,
    copies_to, printed_by, printed_on) asks for, in its format ("document",
    the default, "letter", "order" or "minutes"; see formats). `styles`
    names the styles of the title, the headings and the signature
    ({"title": ..., "heading1": ..., "signature": ...}; see roles). `seal_image` is the PNG of the seal or
    signature stamp `official["seal"]` asks for, and `attachments` the
    packages the generator wrote for the attachments' texts, one for each
    of `official["attachments"]` (None for one without a text). With
    neither page nor official, the package is returned as it is.

    Raises NotAPackage (a ValueError) when `package` is not a package the
    layout can read, and DoesNotFit (a ValueError naming the key of
    `official`) when an element cannot be placed on the page: a mark too
    long for one line in 2号, a record block taller than a page."""
    official = official or {}
    if page is None and not official:
        return package
    kind = format_of(official)
    parts = Parts(package)
    document = parts.xml(parts.main)
    body = document.find(qn("w:body"))
    if body is None:
        raise NotAPackage("the main document has no body")
    section = body.find(qn("w:sectPr"))
    if section is None:
        raise NotAPackage("the main document has no section properties")
    table = _lay_out_styles(parts, parts.related(STYLES), page)
    roles = resolve(table, styles) if table is not None else {}
    settings = parts.related(SETTINGS)
    if settings is not None:
        parts.change_as_remembered(settings, _parts_memo, set_settings, page)
    if page is not None:
        set_section(section, page)
        if page.page_numbers is not None:
            add_page_numbers(parts, section, page.page_numbers, first_page=kind != "letter")
    geometry = Geometry(page, section)
    font_size = page.font_size if page is not None else SIZE_3
    numbering = parts.related(NUMBERING)
    number_headings(parts, numbering, body, roles, font_size)
    break_titles(body, roles, geometry.characters_a_line)
    block = signature_block(body, geometry, roles.get("signature"))
    names = attachment_names(official.get("attachments"))
    above_signature = _above(block.paragraphs[0]) if block is not None else None
    list_attachments(body, geometry, names, above_signature)
    if kind == "minutes":
        list_attendance(body, geometry, official, above_signature)
    date = None
    if block is not None:
        date = place_signature(parts, block, seal_of(official), official.get("signer_title"), seal_image)
    if official.get("note"):
        place_note(body, geometry, official["note"], date)
    add_attachment_pages(parts, body, geometry, names, list(attachments or ()) + [None] * len(names), numbering,
                         lambda text, instance: number_headings(parts, numbering, text, roles, font_size, instance))
    addressees, moved = addressee_text(official.get("addressees")), None
    if addressees is not None and not _fits_the_first_page(body, geometry, official, roles, addressees):
        addressees, moved = None, record_text(official["addressees"])
    if addressees is not None:
        place_addressees(body, geometry, addressees, roles)
    add_head(parts, body, geometry, official)
    add_record_block(body, geometry, official, moved, lines=kind != "letter")
    set_properties(parts, body, official, (roles["title"].identifier,) if "title" in roles else ())
    parts.changed(parts.main)
    return parts.write()


def _above(paragraph):
    """The paragraph before which to put what comes between the text and
    `paragraph`: above the empty lines the text already has there."""
    while True:
        previous = paragraph.getprevious()
        if previous is None or previous.tag != qn("w:p") or text_of(previous).strip():
            return paragraph
        paragraph = previous


def _fits_the_first_page(body, geometry, official, roles, addressees):
    """Whether the first page still shows a line of the body with the
    addressees under the title, estimated from the grid: the masthead's
    height, the title's lines with its spacing, and the addressees'
    lines."""
    height = head_height(geometry, official)
    title = roles.get("title")
    if title is not None:
        for paragraph in _leading(body, title.identifier):
            lines = 1 + len(paragraph.findall(".//" + qn("w:br")))
            height += lines * (title.line or int(title.size * 20 * 1.25)) + title.before + title.after
    height += lines_of(addressees, geometry.characters_a_line(SIZE_3)) * geometry.line
    return height + geometry.line <= geometry.height


def _leading(body, identifier):
    """The paragraphs in the style `identifier` that come first in the body
    (the title's, which may take several)."""
    found = []
    for paragraph in body.iterchildren(qn("w:p")):
        style = paragraph.find("%s/%s" % (qn("w:pPr"), qn("w:pStyle")))
        if style is not None and style.get(qn("w:val")) == identifier:
            found.append(paragraph)
        elif found:
            break
    return found


def _lay_out_styles(parts, name, page):
    """Lays out the styles part for `page`, from the memo where it can;
    returns what the layout needs to know of its styles (a StyleTable), or
    None for a package without styles."""
    if name is None:
        return None, ()
    member = parts.package[name]
    key = (member.compressed()[0], page)
    found = _styles_memo.get(key)
    if found is None:
        styles = parts.parse(name)
        if page is not None:
            set_default_run_properties(styles, page)
        laid_out = None
        if page is not None:
            laid_out = Member(name, 0, data=serialize(styles)).compressed()
        found = (laid_out, StyleTable(styles))
        _styles_memo.put(key, found)
    laid_out, table = found
    if laid_out is not None:
        parts.set_member(name, laid_out)
    return table
