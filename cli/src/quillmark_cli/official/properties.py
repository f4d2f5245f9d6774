"""The file properties of an official document: what a file browser, a
document system or an archive reads before opening it, and what a PDF
rendered from it carries as its title, author and subject.

- The core properties give the document's title (its first paragraph in a
  title style, its lines joined), the author (the issuing authority: the
  masthead's mark without the word 文件 that follows the authority's name,
  empty without one), the subject (the document number) and, as the time
  it was created and last modified, the time of conversion, or
  SOURCE_DATE_EPOCH where it is set (reproducible builds). Nothing of the
  default template's own properties is kept.
- The extended properties name this program as the application, and
  claim no statistics (pages, words) that the package does not keep.
- The default template's preview picture, which is not a picture of this
  document, goes, with its relationship and content type.
"""

import functools
import os
import re
import time

from lxml import etree

from quillmark_cli.official.container import Member
from quillmark_cli.official.parts import PACKAGE_RELATIONSHIPS
from quillmark_cli.official.wordml import qn, serialize

MARK_WORD = "文件"  # follows the authority's name in the masthead's mark
APPLICATION = "quillmark"

_PACKAGE = "http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
CORE = _PACKAGE + "core-properties"
THUMBNAIL = _PACKAGE + "thumbnail"
EXTENDED = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties"

_CP = "http://schemas.openxmlformats.org/package/2006/metadata/core-properties"
_DC = "http://purl.org/dc/elements/1.1/"
_DCTERMS = "http://purl.org/dc/terms/"
_XSI = "http://www.w3.org/2001/XMLSchema-instance"
_CORE_NAMESPACES = {"cp": _CP, "dc": _DC, "dcterms": _DCTERMS, "dcmitype": "http://purl.org/dc/dcmitype/",
                    "xsi": _XSI}
_EXTENDED_NS = "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"
_WORD_END = re.compile(r"[0-9A-Za-z]$")
_WORD_START = re.compile(r"^[0-9A-Za-z]")


def set_properties(parts, body, official, title_styles):
    """Sets the package's properties; `title_styles`, the identifiers of the
    package's title styles."""
    relationships = parts.relationships(PACKAGE_RELATIONSHIPS, "")
    core = relationships.target(CORE)
    if core is not None and core in parts.package:
        stamp = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(conversion_time()))
        parts.package.replace(core, _core(title(body, title_styles), author(official),
                                          _text(official.get("number")), stamp))
    extended = relationships.target(EXTENDED)
    if extended is not None and extended in parts.package:
        parts.set_member(extended, _extended())
    thumbnail = relationships.target(THUMBNAIL)
    if thumbnail is not None:
        parts.remove_part(thumbnail)


def conversion_time():
    """Seconds since the epoch: SOURCE_DATE_EPOCH where it is set, else
    now."""
    given = os.environ.get("SOURCE_DATE_EPOCH")
    if given is None or not given.strip():
        return time.time()
    try:
        return int(given)
    except ValueError:
        raise ValueError("SOURCE_DATE_EPOCH is not a whole number of seconds: %r" % given) from None


def title(body, title_styles):
    """The text of the body's first paragraph in a title style, its lines
    joined (with a space only between two words of Latin letters or
    numerals), or ""."""
    if not title_styles:
        return ""
    for paragraph in body.iterchildren(qn("w:p")):
        style = paragraph.find(qn("w:pPr") + "/" + qn("w:pStyle"))
        if style is None or style.get(qn("w:val")) not in title_styles:
            continue
        lines = [""]
        for node in paragraph.iter(qn("w:t"), qn("w:br"), qn("w:cr"), qn("w:tab")):
            if node.tag == qn("w:t"):
                lines[-1] += node.text or ""
            elif node.tag == qn("w:tab"):
                lines[-1] += " "
            else:
                lines.append("")
        text = ""
        for line in (line.strip() for line in lines):
            if line:
                space = " " if text and _WORD_END.search(text) and _WORD_START.search(line) else ""
                text += space + line
        if text:
            return text
    return ""


def author(official):
    """The issuing authority, from the masthead's mark (or marks)."""
    marks = official.get("authority")
    if marks is None:
        return ""
    if isinstance(marks, str):
        marks = [marks]
    names = []
    for mark in marks:
        name = _text(mark).strip()
        if name.endswith(MARK_WORD) and len(name) > len(MARK_WORD):
            name = name[:-len(MARK_WORD)].rstrip()
        if name:
            names.append(name)
    return "、".join(names)


def _text(value):
    return "" if value is None else " ".join(str(value).split())


def _core(title_text, author_text, subject, stamp):
    root = etree.Element("{%s}coreProperties" % _CP, nsmap=_CORE_NAMESPACES)
    for namespace, name, value in ((_DC, "title", title_text), (_DC, "subject", subject),
                                   (_DC, "creator", author_text), (_CP, "revision", "1")):
        if value:
            etree.SubElement(root, "{%s}%s" % (namespace, name)).text = value
    for name in ("created", "modified"):
        date = etree.SubElement(root, "{%s}%s" % (_DCTERMS, name), {"{%s}type" % _XSI: "dcterms:W3CDTF"})
        date.text = stamp
    return serialize(root)


@functools.lru_cache(maxsize=None)
def _extended():
    """The extended properties' member, compressed: the same for every
    document."""
    root = etree.Element("{%s}Properties" % _EXTENDED_NS, nsmap={None: _EXTENDED_NS})
    etree.SubElement(root, "{%s}Application" % _EXTENDED_NS).text = APPLICATION
    etree.SubElement(root, "{%s}DocSecurity" % _EXTENDED_NS).text = "0"
    return Member(EXTENDED, 0, data=serialize(root)).compressed()
