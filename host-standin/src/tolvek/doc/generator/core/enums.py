"""Enumerations of the document model (stand-in for the host's module)."""

from enum import Enum


class ElementTypes(Enum):
    TITLE = "title"
    HEADER = "header"
    PARAGRAPH = "paragraph"
    # Elements the DOCX generator does not write, such as images, are skipped.
    IMAGE = "image"
    TABLE = "table"


class AlignmentTypes(Enum):
    LEFT = "left"
    CENTER = "center"
    RIGHT = "right"
    JUSTIFY = "justify"


class StyleNames(Enum):
    """Style names a template may define.

    "Title" and "Heading 1" to "Heading 3" already exist in python-docx's
    default template; the others are new to it.
    """

    TITLE = "Title"
    HEADING_1 = "Heading 1"
    HEADING_2 = "Heading 2"
    HEADING_3 = "Heading 3"
    TEXT = "正文"
    QUOTE_TEXT = "Quote Text"
