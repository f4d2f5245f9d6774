"""An input's JSON value, checked, turned into the host's model objects: the
config, the document, the template (with its page layout) and the official
mapping, ready for the generator."""

import functools
import json
from typing import NamedTuple, Optional

from tolvek.doc.generator.core.enums import AlignmentTypes, ElementTypes, StyleNames
from tolvek.doc.generator.generate.models import (
    Config, Document, Element, Font, ParagraphFormat, Run, Style, StyleName, Template,
)

from quillmark_cli.errors import InputError
from quillmark_cli.input.dates import read_date, written_date
from quillmark_cli.input.json_parsing import read_json
from quillmark_cli.input.limits import check_document_size
from quillmark_cli.input.schema import validate
from quillmark_cli.input.style_checks import check_style_kinds, check_styles
from quillmark_cli.official.page import Page, page_from_data
from quillmark_cli.official.template import OFFICIAL_TEMPLATE_PATH


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


@functools.lru_cache(maxsize=None)
def _official_template_text():
    return OFFICIAL_TEMPLATE_PATH.read_text(encoding="utf-8")


def official_template_data():
    """The bundled official template's JSON value, a fresh one each time."""
    return json.loads(_official_template_text())


def _exact(data):
    """A JSON value as text that tells apart what == does not (1, 1.0 and
    true)."""
    return json.dumps(data, ensure_ascii=False, separators=(",", ":"))


@functools.lru_cache(maxsize=None)
def _official_template():
    """(the bundled official template as exact text, as a CommandTemplate),
    made once per process: it is the command's own, and the tests check it
    as they check any template."""
    data = official_template_data()
    return _exact(data), CommandTemplate(build_template(data), page_from_data(data["page"], "page"))


def read_template(data, where):
    """A CommandTemplate from a template's validated JSON value; `where` is
    its place in messages. The bundled official template, given again, is
    the one made already."""
    official_text, official = _official_template()
    if _exact(data) == official_text:
        return official
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


def official_mapping(data):
    """The validated `official` mapping as the layout takes it: the printing
    date written as the standard writes dates (2026年12月8日)."""
    if data is None or "printed_on" not in data:
        return data
    return dict(data, printed_on=written_date(read_date(data["printed_on"])))


def load_description(data, template=None, markdown=None, converted=False):
    """The Loaded input from an input's JSON value. `template` (a
    CommandTemplate) and `markdown`, when given, take the place of the
    input's own. A description `converted` from Markdown is not validated
    again: the converter writes its elements as the schema has them, and
    checks what a person wrote (the front matter's settings, its official
    mapping, the template file it names) as it reads them."""
    if isinstance(data, dict):
        check_document_size(data.get("document"), None if converted else "document")
    if not converted:
        validate(data)
    if template is None:
        if "template" not in data:
            raise InputError("template", "missing (give one in the file or with --template)")
        template = read_template(data["template"], "template")
    check_styles(data["document"], template_names(template.model))
    config = Config(**data.get("config", {}))
    if markdown is not None:
        config.markdown = markdown
    return Loaded(config, build_document(data["document"]), template.model, template.page,
                  official_mapping(data.get("official")))


def load_input(path, template=None, markdown=None):
    """The Loaded input from one input file."""
    return load_description(read_json(path), template, markdown)
