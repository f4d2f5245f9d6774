"""Builders for model objects and readers for generated packages, shared by the tests."""

import io
import time
import zipfile
from contextlib import contextmanager
from types import SimpleNamespace

import docx
from docx.enum.style import WD_STYLE_TYPE
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


def default_styles_template():
    """A template naming every paragraph style of python-docx's default
    template (the headings, Title and Subtitle among them name their fonts by
    theme), each with a font of its own."""
    names = [s.name for s in docx.Document().styles if s.type == WD_STYLE_TYPE.PARAGRAPH]
    return Template(styles=[style(name, "字体%d" % i, bold=bool(i % 2) or None) for i, name in enumerate(names)])


# A font's name for Latin, other Latin and East Asian text, and the theme
# reference a reader takes in its place when both are in one w:rFonts.
THEME_REFERENCES = {"ascii": "asciiTheme", "hAnsi": "hAnsiTheme", "eastAsia": "eastAsiaTheme"}


def font_faults(data, template=None):
    """Where a reader would not show the fonts a package names: every
    w:rFonts of its XML parts that names a font beside the theme reference
    that overrides it, and, for each style of `template`, its paragraph and
    "Tv" character style where they do not name the template's font for all
    three. Empty when there is none."""
    faults = []
    with zipfile.ZipFile(io.BytesIO(data)) as package:
        for part in package.namelist():
            if not part.endswith(".xml"):
                continue
            for fonts in etree.fromstring(package.read(part)).iter(w("rFonts")):
                owner = next((a.get(w("styleId")) for a in fonts.iterancestors(w("style"))), None)
                faults += ["%s %s: w:%s beside w:%s" % (part, owner, name, theme)
                           for name, theme in THEME_REFERENCES.items()
                           if fonts.get(w(name)) is not None and fonts.get(w(theme)) is not None]
    if template is not None:
        styles, checked = docx.Document(io.BytesIO(data)).styles, set()
        # Two names of one style ("Heading 1", "heading 1"): the last one set it.
        for item in reversed(template.styles):
            for name in (item.name.value, "Tv" + item.name.value):
                element = styles[name].element
                if element.styleId in checked:
                    continue
                checked.add(element.styleId)
                r_pr = element.rPr
                fonts = r_pr.rFonts if r_pr is not None else None
                named = {attribute: None if fonts is None else fonts.get(w(attribute))
                         for attribute in THEME_REFERENCES}
                if named != dict.fromkeys(THEME_REFERENCES, item.font.name):
                    faults.append("%s names %r" % (name, named))
    return faults


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
    "body_paragraphs", "default_styles_template", "font_faults", "frozen_clock", "generate", "header",
    "official_template", "paragraph", "part_xml", "read", "style", "title", "w",
]
