"""The document model (stand-in for the host's module).

Optional fields default to None, as the host's model does.
"""

from dataclasses import dataclass, field
from typing import Any, Iterable, List, Optional, Union

from tolvek.doc.generator.core.enums import AlignmentTypes, ElementTypes, StyleNames


@dataclass
class Config:
    markdown: bool = False


@dataclass
class Run:
    """A run of rich text: text with its own emphasis."""

    text: Optional[str] = None
    bold: Optional[bool] = None
    italic: Optional[bool] = None
    underline: Optional[bool] = None


@dataclass
class Element:
    type: ElementTypes
    style_name: Optional[str] = None
    text: Optional[str] = None
    runs: Optional[List[Run]] = None
    level: Optional[int] = None


@dataclass
class Document:
    elements: Iterable[Element] = field(default_factory=list)


@dataclass(frozen=True)
class StyleName:
    """A style name outside StyleNames; like its members, it has a `value`."""

    value: str


@dataclass
class Font:
    name: str
    color: str  # six hexadecimal digits, RRGGBB, no "#"
    size: float  # points
    bold: Optional[bool] = None
    italic: Optional[bool] = None
    underline: Optional[bool] = None


@dataclass
class ParagraphFormat:
    alignment: AlignmentTypes = AlignmentTypes.LEFT
    left_indent: Optional[float] = None  # points, as are the lengths below
    right_indent: Optional[float] = None
    first_line_indent: Optional[float] = None
    line_spacing: Optional[float] = None  # the exact height of a line
    space_before: Optional[float] = None
    space_after: Optional[float] = None
    keep_with_next: Optional[bool] = None
    page_break_before: Optional[bool] = None


@dataclass
class Style:
    name: Union[StyleNames, StyleName]
    font: Font
    p_format: ParagraphFormat = field(default_factory=ParagraphFormat)


@dataclass
class Template:
    styles: List[Style] = field(default_factory=list)


@dataclass
class File:
    name: str
    data: Any  # the package's bytes


__all__ = [
    "Config", "Document", "Element", "File", "Font", "ParagraphFormat", "Run", "Style", "StyleName", "Template",
]
