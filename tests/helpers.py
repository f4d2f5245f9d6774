"""Builders for model objects and readers for generated packages, shared by the tests."""

import io
import time
import zipfile
from contextlib import contextmanager
from types import SimpleNamespace

import docx
from lxml import etree

from tolvek.doc.generator.core.enums import AlignmentTypes, ElementTypes, StyleNames
from tolvek.doc.generator.generate.generators.quillmark import Quillmark
from tolvek.doc.generator.generate.models import (
    Config, Document, Element, File, Font, ParagraphFormat, Run, Style, StyleName, Template,
)

W = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
NS = {"w": W, "r": R}


class FaithfulQuillmark(Quillmark):
    """Quillmark with every step python-docx's high-level API: overriding
    set_styles and add_paragraph (even with the same behaviour) keeps generate
    off its direct path."""

    def set_styles(self, doc, template):
        return super().set_styles(doc, template)

    def add_paragraph(self, doc, element, template):
        return super().add_paragraph(doc, element, template)


@contextmanager
def frozen_clock(when=(2026, 12, 9, 8, 30, 0)):
    """zipfile's clock stopped, so that two packages differ only where their
    contents do (writestr stamps each member with the time it is written)."""
    stamp = time.mktime(when + (0, 0, -1))
    clock = SimpleNamespace(time=lambda: stamp, localtime=time.localtime)
    saved, zipfile.time = zipfile.time, clock
    try:
        yield
    finally:
        zipfile.time = saved


def w(tag):
    return "{%s}%s" % (W, tag)


def style(name, font_name="仿宋_GB2312", color="000000", size=16, bold=None, italic=None, underline=None, **p_format):
    """A template style; `name` may be a StyleNames member or any string."""
    if isinstance(name, str):
        name = StyleName(name)
    p_format.setdefault("alignment", AlignmentTypes.LEFT)
    return Style(name, Font(font_name, color, size, bold, italic, underline), ParagraphFormat(**p_format))


def official_template():
    """Title, numbered headings and body text, as a notice would use them."""
    return Template(styles=[
        style(StyleNames.TITLE, "方正小标宋简体", size=22, bold=True, alignment=AlignmentTypes.CENTER),
        style(StyleNames.HEADING_1, "黑体", size=16, bold=True, first_line_indent=32),
        style(StyleNames.HEADING_2, "楷体_GB2312", size=16, first_line_indent=32),
        style(StyleNames.TEXT, first_line_indent=32, line_spacing=28, alignment=AlignmentTypes.JUSTIFY),
    ])


def title(text, style_name="Title"):
    return Element(ElementTypes.TITLE, style_name, text)


def header(text, level, style_name="Heading 1"):
    return Element(ElementTypes.HEADER, style_name, text, level=level)


def paragraph(text=None, style_name="正文", runs=None):
    return Element(ElementTypes.PARAGRAPH, style_name, text, runs)


def generate(elements=(), template=None, markdown=True, generator_class=Quillmark):
    template = official_template() if template is None else template
    return generator_class(Config(markdown=markdown)).generate(Document(list(elements)), template)


def read(result):
    """The python-docx document of a generated File."""
    return docx.Document(io.BytesIO(result.data))


def part_xml(result, name):
    """The root element of one XML part of the package, e.g. 'word/numbering.xml'."""
    with zipfile.ZipFile(io.BytesIO(result.data)) as package:
        return etree.fromstring(package.read(name))


def body_paragraphs(result):
    return part_xml(result, "word/document.xml").findall("w:body/w:p", NS)


__all__ = [
    "AlignmentTypes", "Config", "Document", "Element", "ElementTypes", "FaithfulQuillmark", "File", "Font", "NS",
    "ParagraphFormat",
    "Quillmark", "R", "Run", "Style", "StyleName", "StyleNames", "Template", "W",
    "body_paragraphs", "frozen_clock", "generate", "header", "official_template", "paragraph", "part_xml", "read",
    "style", "title", "w",
]
