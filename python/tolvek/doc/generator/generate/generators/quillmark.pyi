import re as re
from io import BytesIO as BytesIO
from typing import Dict, Union

from docx import Document as PyDocxDocument
from docx.document import Document as DocumentObject
from docx.enum.style import WD_STYLE_TYPE as WD_STYLE_TYPE
from docx.enum.text import WD_ALIGN_PARAGRAPH as WD_ALIGN_PARAGRAPH
from docx.oxml import OxmlElement as OxmlElement
from docx.oxml.ns import qn as qn
from docx.shared import Pt as Pt, RGBColor as RGBColor
from docx.styles.style import CharacterStyle, ParagraphStyle
from docx.text.paragraph import Paragraph as DocxParagraph
from tolvek.doc.generator.core.enums import AlignmentTypes, ElementTypes, StyleNames
from tolvek.doc.generator.generate.models import Document, Element, File, Style, Template

from .lodestem import Lodestem

align_map: Dict[AlignmentTypes, WD_ALIGN_PARAGRAPH]

class Quillmark(Lodestem):
    def generate(self, document: Document, template: Template) -> File: ...
    def add_paragraph(self, doc: DocumentObject, element: Element, template: Template) -> None: ...
    def _add_runs(self, paragraph: DocxParagraph, runs: list) -> None:
        """添加富文本 runs 到段落"""
    def _add_text_content(self, paragraph: DocxParagraph, text: str, style_name: str, bold: bool) -> None:
        """添加文本内容到段落（支持 Markdown 超链接转换）"""
    def _init_numbering(self, doc: DocumentObject) -> None:
        """初始化多级列表编号样式"""
    def set_styles(self, doc: DocumentObject, template: Template) -> None: ...
    def _set_font_style(self, doc_style: Union[ParagraphStyle, CharacterStyle], style: Style) -> None: ...
    def _set_paragraph_format(self, doc_style: ParagraphStyle, style: Style) -> None: ...
    def save(self, doc: DocumentObject) -> bytes: ...
    def _add_hyperlink(
        self, paragraph: DocxParagraph, url: str, text: str, style_name: str, bold: bool = False
    ) -> None:
        """添加超链接到段落"""
