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

from quillmark_cli.official.container import Member
from quillmark_cli.official.geometry import Geometry
from quillmark_cli.official.masthead import add_masthead
from quillmark_cli.official.page_numbers import add_page_numbers
from quillmark_cli.official.page_setup import set_default_run_properties, set_section, set_settings
from quillmark_cli.official.parts import SETTINGS, STYLES, Memo, NotAPackage, Parts
from quillmark_cli.official.properties import TITLE_STYLES, set_properties
from quillmark_cli.official.record_block import add_record_block
from quillmark_cli.official.signature import STYLE as SIGNATURE_STYLE, place_signature
from quillmark_cli.official.wordml import qn, serialize

__all__ = ["lay_out", "NotAPackage"]

_styles_memo, _parts_memo = Memo(), Memo()



def lay_out(package, page=None, official=None):
    """The bytes of `package` (a word-processing package, as bytes) laid out
    on `page` (a Page, or None to keep the package's own) with the parts of
    an official document that `official` (a mapping: authority, number,
    signer, copy_number, secrecy, urgency, copies_to, printed_by,
    printed_on) asks for. With neither, the package is returned as it is.

    Raises NotAPackage (a ValueError) when `package` is not a package the
    layout can read."""
    official = official or {}
    if page is None and not official:
        return package
    parts = Parts(package)
    document = parts.xml(parts.main)
    body = document.find(qn("w:body"))
    if body is None:
        raise NotAPackage("the main document has no body")
    section = body.find(qn("w:sectPr"))
    if section is None:
        raise NotAPackage("the main document has no section properties")
    styles_name, settings_name = parts.related(STYLES), parts.related(SETTINGS)
    signature_style, title_styles = _lay_out_styles(parts, styles_name, page)
    _lay_out_part(parts, settings_name, page, set_settings)
    if page is not None:
        set_section(section, page)
        if page.page_numbers is not None:
            add_page_numbers(parts, section, page.page_numbers)
    geometry = Geometry(page, section)
    place_signature(body, geometry, signature_style)
    add_masthead(body, geometry, official)
    add_record_block(body, geometry, official)
    set_properties(parts, body, official, title_styles)
    parts.changed(parts.main)
    return parts.write()


def _lay_out_styles(parts, name, page):
    """Lays out the styles part for `page`, from the memo where it can;
    returns the identifier of the signature's style (None without it) and
    those of the title styles."""
    if name is None:
        return None, ()
    member = parts.package[name]
    key = (member.compressed()[0], page)
    found = _styles_memo.get(key)
    if found is None:
        styles = parts.parse(name)
        if page is not None:
            set_default_run_properties(styles, page)
        signature_style = _style_id(styles, SIGNATURE_STYLE)
        title_styles = tuple(filter(None, (_style_id(styles, title) for title in TITLE_STYLES)))
        laid_out = None
        if page is not None:
            laid_out = Member(name, 0, data=serialize(styles)).compressed()
        found = (laid_out, signature_style, title_styles)
        _styles_memo.put(key, found)
    laid_out, signature_style, title_styles = found
    if laid_out is not None:
        parts.set_member(name, laid_out)
    return signature_style, title_styles


def _style_id(styles, name):
    """The identifier of the first style named `name`, as python-docx finds
    a style by name."""
    for style in styles.iterchildren(qn("w:style")):
        style_name = style.find(qn("w:name"))
        if style_name is not None and style_name.get(qn("w:val")) == name:
            return style.get(qn("w:styleId"))
    return None


def _lay_out_part(parts, name, page, lay_out_part):
    """A part laid out for `page` by `lay_out_part(root, page)`, from the
    memo where it can."""
    if name is None:
        return
    member = parts.package[name]
    key = (member.compressed()[0], page, lay_out_part)
    laid_out = _parts_memo.get(key)
    if laid_out is None:
        root = parts.parse(name)
        lay_out_part(root, page)
        laid_out = Member(name, 0, data=serialize(root)).compressed()
        _parts_memo.put(key, laid_out)
    parts.set_member(name, laid_out)
