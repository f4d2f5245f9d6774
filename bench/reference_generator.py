"""The generator written in plain Python on the same python-docx, step for step.

Kept only for comparison: the benchmark measures the native modules against
it, and the differential tests require both to produce the same packages (or
raise the same exceptions). It is never shipped.
"""

import re
from io import BytesIO
from typing import Union

from docx import Document as PyDocxDocument
from docx.document import Document as DocumentObject
from docx.enum.style import WD_STYLE_TYPE
from docx.enum.text import WD_ALIGN_PARAGRAPH
from docx.oxml import OxmlElement
from docx.oxml.ns import qn
from docx.oxml.styles import styleId_from_name
from docx.shared import Pt, RGBColor
from docx.styles import BabelFish
from docx.styles.style import CharacterStyle, ParagraphStyle
from docx.text.paragraph import Paragraph as DocxParagraph

from tolvek.doc.generator.core.enums import AlignmentTypes, ElementTypes, StyleNames
from tolvek.doc.generator.generate.generators.lodestem import Lodestem
from tolvek.doc.generator.generate.models import Document, Element, File, Style, Template

HYPERLINK = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink"

align_map = {
    AlignmentTypes.LEFT: WD_ALIGN_PARAGRAPH.LEFT,
    AlignmentTypes.CENTER: WD_ALIGN_PARAGRAPH.CENTER,
    AlignmentTypes.RIGHT: WD_ALIGN_PARAGRAPH.RIGHT,
    AlignmentTypes.JUSTIFY: WD_ALIGN_PARAGRAPH.JUSTIFY,
}


def _present(obj, name):
    try:
        getattr(obj, name)
    except Exception:
        return False
    return True


def _refuse_clashing_identifier(doc, template_name, kind, new_name):
    identifier = styleId_from_name(BabelFish.ui2internal(new_name))
    if not identifier:
        raise ValueError("template style %r cannot be registered: its %s style %r would get an empty identifier"
                         % (template_name, kind, new_name))
    holder = doc.styles._element.get_by_id(identifier)
    if holder is not None:
        raise ValueError("template style %r cannot be registered: its %s style %r would get the identifier %r, "
                         "which style %r already holds" % (template_name, kind, new_name, identifier,
                                                           holder.name_val))


def _exact(value, expected, name):
    if type(value) is not expected:
        raise TypeError("Argument '%.200s' has incorrect type (expected %.200s, got %.200s)"
                        % (name, expected.__name__, type(value).__name__))


class PyQuillmark(Lodestem):
    def generate(self, document: "Document", template: "Template") -> "File":
        doc = PyDocxDocument()
        self._init_numbering(doc)
        self.set_styles(doc, template)
        for element in document.elements:
            kind = element.type
            if kind == ElementTypes.TITLE or kind == ElementTypes.HEADER or kind == ElementTypes.PARAGRAPH:
                self.add_paragraph(doc, element, template)
        return File(name="output.docx", data=self.save(doc))

    def add_paragraph(self, doc: "DocumentObject", element: "Element", template: "Template") -> "None":
        if element.style_name in (_.name.value for _ in template.styles) and element.style_name in doc.styles:
            style_name = element.style_name
        else:
            style_name = StyleNames.TEXT.value
        paragraph = doc.add_paragraph(style=style_name)
        if element.type == ElementTypes.HEADER and _present(element, "level"):
            level = element.level
            if level is not None and level != 2:
                paragraph._p.get_or_add_pPr().get_or_add_numPr().get_or_add_numId().val = 1
                ilvl = level - 1
                paragraph._p.get_or_add_pPr().get_or_add_numPr().get_or_add_ilvl().val = ilvl
        bold = False
        for style in template.styles:
            if style.name.value == style_name:
                bold = style.font.bold
                break
        if _present(element, "runs") and element.runs:
            self._add_runs(paragraph, element.runs)
            return
        text = getattr(element, "text", "")
        if text:
            self._add_text_content(paragraph, text, style_name, bold)

    def _add_runs(self, paragraph: "DocxParagraph", runs: "list") -> "None":
        _exact(runs, list, "runs")
        for run in runs:
            r = paragraph.add_run(run.text)
            r.bold = run.bold
            r.italic = run.italic
            r.underline = run.underline

    def _add_text_content(self, paragraph: "DocxParagraph", text: "str", style_name: "str", bold: "bool") -> "None":
        _exact(text, str, "text")
        _exact(style_name, str, "style_name")
        md_link_pattern = re.compile(r"\[([^\]]+)\]\(([^)]+)\)")
        if self.config.markdown is True and md_link_pattern.search(text):
            pos = 0
            for m in md_link_pattern.finditer(text):
                pre_text = text[pos:m.start()]
                if pre_text:
                    r = paragraph.add_run(pre_text, style="Tv" + style_name)
                    r.bold = bold
                self._add_hyperlink(paragraph, m.group(2), m.group(1), style_name, bold)
                pos = m.end()
            tail = text[pos:]
            if tail:
                r = paragraph.add_run(tail, style="Tv" + style_name)
                r.bold = bold
        else:
            run = paragraph.add_run(text, style="Tv" + style_name)
            run.bold = bold

    def _init_numbering(self, doc: "DocumentObject") -> "None":
        if _present(doc.part, "numbering_part"):
            numbering = doc.part.numbering_part.element
            for child in numbering.xpath(".//w:abstractNum|.//w:num"):
                numbering.remove(child)
        abstract_num = OxmlElement("w:abstractNum")
        abstract_num.set(qn("w:abstractNumId"), "1")
        for ilvl, text, p_style in (("0", "%1\u3001", "Heading1"), ("1", "\uff08%1\uff09", "Heading2")):
            lvl = OxmlElement("w:lvl")
            lvl.set(qn("w:ilvl"), ilvl)
            for tag, value in (("w:start", "1"), ("w:numFmt", "chineseCountingThousand"), ("w:pStyle", p_style),
                               ("w:lvlText", text)):
                child = OxmlElement(tag)
                child.set(qn("w:val"), value)
                lvl.append(child)
            abstract_num.append(lvl)
        numbering = doc.part.numbering_part.element
        numbering.append(abstract_num)
        num = OxmlElement("w:num")
        num.set(qn("w:numId"), "1")
        abstract_num_id = OxmlElement("w:abstractNumId")
        abstract_num_id.set(qn("w:val"), "1")
        num.append(abstract_num_id)
        numbering.append(num)

    def set_styles(self, doc: "DocumentObject", template: "Template") -> "None":
        for style in template.styles:
            style_name = style.name.value
            if isinstance(style_name, str) and '"' in style_name:
                raise ValueError("template style %r cannot be registered: style names containing '\"' are not "
                                 "supported" % style_name)
            run_style_name = f"Tv{style_name}"
            present = style_name in doc.styles
            if not present and type(style_name) is str:
                _refuse_clashing_identifier(doc, style_name, "paragraph", style_name)
            if run_style_name not in doc.styles:
                _refuse_clashing_identifier(doc, style_name, "character", run_style_name)
            if not present:
                doc.styles.add_style(style_name, WD_STYLE_TYPE.PARAGRAPH)
            doc_style = doc.styles[style_name]
            self._set_paragraph_format(doc_style, style)
            self._set_font_style(doc_style, style)
            run_style = doc.styles.add_style(run_style_name, WD_STYLE_TYPE.CHARACTER)
            self._set_font_style(run_style, style)

    def _set_font_style(self, doc_style: "Union[ParagraphStyle, CharacterStyle]", style: "Style") -> "None":
        doc_style.font.name = style.font.name
        r_fonts = doc_style._element.rPr.rFonts
        r_fonts.set(qn("w:eastAsia"), style.font.name)
        for theme in ("w:asciiTheme", "w:hAnsiTheme", "w:eastAsiaTheme"):
            r_fonts.attrib.pop(qn(theme), None)
        doc_style.font.color.rgb = RGBColor.from_string(style.font.color)
        doc_style.font.size = Pt(style.font.size)
        doc_style.font.bold = style.font.bold
        if style.font.bold:
            doc_style._element.get_or_add_rPr().get_or_add_b().set(qn("w:val"), "true")
        doc_style.font.italic = style.font.italic
        doc_style.font.underline = style.font.underline

    def _set_paragraph_format(self, doc_style: "ParagraphStyle", style: "Style") -> "None":
        doc_style.paragraph_format.alignment = align_map[style.p_format.alignment]
        doc_style.paragraph_format.left_indent = Pt(style.p_format.left_indent or 0)
        doc_style.paragraph_format.right_indent = Pt(style.p_format.right_indent or 0)
        doc_style.paragraph_format.first_line_indent = Pt(style.p_format.first_line_indent or 0)
        doc_style.paragraph_format.keep_with_next = style.p_format.keep_with_next
        doc_style.paragraph_format.page_break_before = style.p_format.page_break_before
        doc_style.paragraph_format.line_spacing = Pt(style.p_format.line_spacing or 0)
        doc_style.paragraph_format.space_after = Pt(style.p_format.space_after or 0)
        doc_style.paragraph_format.space_before = Pt(style.p_format.space_before or 0)

    def save(self, doc: "DocumentObject") -> "bytes":
        output = BytesIO()
        doc.save(output)
        value = output.getvalue()
        if value is not None and type(value) is not bytes:
            raise TypeError("Expected %s, got %.200s" % ("bytes", type(value).__name__))
        return value

    def _add_hyperlink(self, paragraph: "DocxParagraph", url: "str", text: "str", style_name: "str",
                       bold: "bool" = False) -> "None":
        _exact(url, str, "url")
        _exact(text, str, "text")
        _exact(style_name, str, "style_name")
        text = text.replace("\U0001f517", "(查看原文)")
        part = paragraph.part
        r_id = part.relate_to(url, HYPERLINK, is_external=True)
        hyperlink = OxmlElement("w:hyperlink")
        hyperlink.set(qn("r:id"), r_id)
        new_run = OxmlElement("w:r")
        r_pr = OxmlElement("w:rPr")
        r_style = OxmlElement("w:rStyle")
        r_style.set(qn("w:val"), ("Tv" + style_name).replace(" ", ""))
        r_pr.append(r_style)
        if bold:
            b = OxmlElement("w:b")
            b.set(qn("w:val"), "true")
            r_pr.append(b)
        for tag, value in (("w:color", "0000FF"), ("w:u", "single")):
            child = OxmlElement(tag)
            child.set(qn("w:val"), value)
            r_pr.append(child)
        new_run.append(r_pr)
        t = OxmlElement("w:t")
        t.text = text
        if len(text.strip()) < len(text):
            t.set(qn("xml:space"), "preserve")
        new_run.append(t)
        hyperlink.append(new_run)
        paragraph._p.append(hyperlink)
