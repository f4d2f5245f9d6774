"""An input's JSON value, checked, turned into the host's model objects: the
config, the document, the template (with its page layout) and the official
mapping, ready for the generator."""

from typing import NamedTuple, Optional

from tolvek.doc.generator.core.enums import AlignmentTypes, ElementTypes, StyleNames
from tolvek.doc.generator.generate.models import (
    Config, Document, Element, Font, ParagraphFormat, Run, Style, StyleName, Template,
)

from quillmark_cli.errors import InputError
from quillmark_cli.input.json_parsing import read_json
from quillmark_cli.input.schema import validate
from quillmark_cli.input.style_checks import check_style_kinds, check_styles
from quillmark_cli.official.page import Page, page_from_data


def _member(enum, value):
    for member in enum:
        if member.value == value:
            return member
    return None


def build_template(data):
    styles = []
    for item in data["styles"]:
        name = _member(StyleNames, item["name"]) or StyleName(item["name"])
        p_format = dict(item.get("p_format") or {})
        alignment = _member(AlignmentTypes, p_format.pop("alignment", "left"))
        styles.append(Style(name, Font(**item["font"]), ParagraphFormat(alignment=alignment, **p_format)))
    return Template(styles=styles)


def _integer(value):
    """An integer field's value as an int: JSON Schema counts 1.0 as an
    integer, the generator does not."""
    return int(value) if isinstance(value, float) else value


def build_document(data):
    elements = []
    for item in data["elements"]:
        runs = item.get("runs")
        elements.append(Element(
            type=_member(ElementTypes, item["type"]) or item["type"],
            style_name=item.get("style_name"),
            text=item.get("text"),
            runs=None if runs is None else [Run(**run) for run in runs],
            level=_integer(item.get("level")),
        ))
    return Document(elements=elements)


class CommandTemplate(NamedTuple):
    """A template file: the model the generator takes and the page layout
    (None without a `page` object)."""
    model: Template
    page: Optional[Page]


class Loaded(NamedTuple):
    """An input, ready for the generator."""
    config: Config
    document: Document
    template: Template
    page: Optional[Page]  # the template's page layout
    official: Optional[dict]  # the masthead and record block


def read_template(data, where):
    """A CommandTemplate from a template's validated JSON value; `where` is
    its place in messages."""
    check_style_kinds(data["styles"], where + ".styles" if where else "styles")
    page = data.get("page")
    if page is not None:
        page = page_from_data(page, where + ".page" if where else "page")
    return CommandTemplate(build_template(data), page)


def load_template(path):
    data = read_json(path)
    validate(data, "template")
    return read_template(data, "")


def template_names(template):
    return {style.name.value for style in template.styles}


def load_description(data, template=None, markdown=None):
    """The Loaded input from an input's JSON value. `template` (a
    CommandTemplate) and `markdown`, when given, take the place of the
    input's own."""
    validate(data)
    if template is None:
        if "template" not in data:
            raise InputError("template", "missing (give one in the file or with --template)")
        template = read_template(data["template"], "template")
    check_styles(data["document"], template_names(template.model))
    config = Config(**data.get("config", {}))
    if markdown is not None:
        config.markdown = markdown
    return Loaded(config, build_document(data["document"]), template.model, template.page, data.get("official"))


def load_input(path, template=None, markdown=None):
    """The Loaded input from one input file."""
    return load_description(read_json(path), template, markdown)
