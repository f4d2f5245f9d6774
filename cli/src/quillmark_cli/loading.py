"""Reading input files: JSON, checked against the shipped schema, turned into
the host's model objects."""

import functools
import json
import math
from pathlib import Path
from typing import NamedTuple, Optional

from tolvek.doc.generator.core.enums import AlignmentTypes, ElementTypes, StyleNames
from tolvek.doc.generator.generate.models import (
    Config, Document, Element, Font, ParagraphFormat, Run, Style, StyleName, Template,
)

from quillmark_cli.characters import unwritable_strings
from quillmark_cli.errors import InputError
from quillmark_cli.page_setup import Page, page_from_data
from quillmark_cli.reading import decode_text, read_file
from quillmark_cli.signals import deferred

SCHEMA_PATH = Path(__file__).with_name("schema.json")
EXAMPLE_PATH = Path(__file__).with_name("example.json")

# Python refuses to convert integers longer than this (3.11 and later); the
# limit is applied on every version, so that an input means the same
# everywhere.
MAX_INTEGER_DIGITS = 4300
# Deeper than any real input, and well inside the interpreter's recursion
# limit, which the JSON decoder would otherwise hit.
MAX_DEPTH = 200

# The element types the generator writes; others are skipped.
WRITTEN_TYPES = ("title", "header", "paragraph")


def load_schema():
    return json.loads(SCHEMA_PATH.read_text(encoding="utf-8"))


@functools.lru_cache(maxsize=None)
def _validator(definition=None):
    """A validator for a whole input file, or for one of its definitions
    (for example a template file) when `definition` is given."""
    # Imported only where something is validated: it takes a while. Signals
    # wait meanwhile: on Python 3.8 its import runs `uname -p` (uuid asks
    # platform), and a process interrupted while starting that one would
    # leave it behind.
    with deferred():
        import jsonschema

    schema = load_schema()
    if definition is not None:
        schema = {"$schema": schema["$schema"], "$defs": schema["$defs"], "$ref": "#/$defs/" + definition}
    return jsonschema.Draft202012Validator(schema)


def load_schema_validators():
    """The validators for input files and template files, made now."""
    _validator()
    _validator("template")


class _Refused:
    """A value the JSON text holds that is not a number we accept; reported
    with its place once the whole file has been read."""

    def __init__(self, message):
        self.message = message


def _parse_int(text):
    digits = len(text.lstrip("-"))
    if digits > MAX_INTEGER_DIGITS:
        return _Refused("a number of %d digits (at most %d are accepted)" % (digits, MAX_INTEGER_DIGITS))
    return int(text)


def _parse_float(text):
    value = float(text)
    return value if math.isfinite(value) else _Refused("a number out of range (%s)" % _shorten(text))


def _parse_constant(name):
    return _Refused("%s is not a JSON number" % name)


def _shorten(text, limit=20):
    return text if len(text) <= limit else text[:limit] + "…"


def _too_deep(text):
    """(line, column) where `text` first nests deeper than MAX_DEPTH, outside
    strings; None when it does not."""
    depth, line, column, in_string, escaped = 0, 1, 0, False, False
    for char in text:
        column += 1
        if char == "\n":
            line, column = line + 1, 0
        if in_string:
            if escaped:
                escaped = False
            elif char == "\\":
                escaped = True
            elif char == '"':
                in_string = False
        elif char == '"':
            in_string = True
        elif char in "[{":
            depth += 1
            if depth > MAX_DEPTH:
                return line, column
        elif char in "]}":
            depth -= 1
    return None


def _refused_numbers(value, path=()):
    """(path, message) for each _Refused value, in document order."""
    if isinstance(value, _Refused):
        yield path, "expected a JSON number, got " + value.message
        return
    items = value.items() if isinstance(value, dict) else enumerate(value) if isinstance(value, list) else ()
    for key, item in items:
        yield from _refused_numbers(item, path + (key,))


def parse_json(data):
    """The JSON value of `data` (bytes, UTF-8 with or without a byte-order
    mark, or UTF-16/UTF-32 with one), refusing what JSON does not allow.
    Numbers Python cannot hold stay in the value as refusals, reported by
    validate() in the order of the file together with everything else."""
    text = decode_text(data)
    position = _too_deep(text)
    if position is not None:
        raise InputError("line %d column %d" % position, "nested more than %d levels deep" % MAX_DEPTH)
    try:
        return json.loads(text, parse_int=_parse_int, parse_float=_parse_float, parse_constant=_parse_constant)
    except json.JSONDecodeError as error:
        raise InputError("line %d column %d" % (error.lineno, error.colno), error.msg) from None
    except RecursionError:  # pragma: no cover - the depth check comes first
        raise InputError(None, "nested too deeply") from None


def read_json(path):
    return parse_json(read_file(path))


def _place(path):
    place = ""
    for key in path:
        place += "[%d]" % key if isinstance(key, int) else ("." if place else "") + str(key)
    return place or "(top level)"


_TYPE_NAMES = {"integer": "an integer", "number": "a number", "string": "a string", "boolean": "true or false",
               "object": "an object", "array": "a list", "null": "null"}


def _number(value):
    return "%g" % value if isinstance(value, float) else str(value)


def _describe(error):
    """One plain sentence for a schema violation."""
    if "x-expected" in error.schema:
        return "expected " + error.schema["x-expected"]
    if error.validator == "type":
        types = error.validator_value if isinstance(error.validator_value, list) else [error.validator_value]
        return "expected " + " or ".join(_TYPE_NAMES.get(t, t) for t in types)
    if error.validator == "enum":
        return "expected one of " + ", ".join(json.dumps(v) for v in error.validator_value)
    if error.validator == "required":
        return "missing " + error.message.split(" is a required")[0]
    if error.validator == "additionalProperties":
        unexpected = sorted(set(error.instance) - set(error.schema.get("properties", {})))
        return "unexpected " + ", ".join(repr(k) for k in unexpected)
    comparisons = {"minimum": ">=", "exclusiveMinimum": ">", "maximum": "<=", "exclusiveMaximum": "<"}
    if error.validator in comparisons:
        return "expected a number %s %s" % (comparisons[error.validator], _number(error.validator_value))
    if error.validator == "multipleOf":
        return "expected a multiple of %s" % _number(error.validator_value)
    if error.validator == "minLength":
        return "expected a non-empty string"
    return error.message


def _document_order(path, root):
    """A sort key putting places in the order they have in the file: each
    step of `path` becomes the position of its key or item in the container
    (JSON objects keep their order when read)."""
    key, node = [], root
    for step in path:
        if isinstance(node, dict):
            key.append(list(node).index(step) if step in node else len(node))
            node = node.get(step)
        elif isinstance(node, list) and isinstance(step, int) and step < len(node):
            key.append(step)
            node = node[step]
        else:
            key.append(0)
            node = None
    return key


# At one place, a number Python cannot hold is reported rather than the schema
# error it also causes there, and a schema error rather than a character.
_REFUSAL, _SCHEMA, _CHARACTER = range(3)


def validate(data, definition=None):
    """Refuses `data` with its first problem in the order of the file: a
    number Python cannot hold, a schema violation, or a character a Word
    document cannot hold."""
    problems = [(path, _REFUSAL, message) for path, message in _refused_numbers(data)]
    errors = list(_validator(definition).iter_errors(data))
    if errors:
        first = min(_document_order(e.absolute_path, data) for e in errors)
        best = [e for e in errors if _document_order(e.absolute_path, data) == first]
        import jsonschema

        error = jsonschema.exceptions.best_match(best)
        problems.append((tuple(error.absolute_path), _SCHEMA, _describe(error)))
    problems.extend((path, _CHARACTER, message) for path, message in unwritable_strings(data))
    if not problems:
        return
    path, _, message = min(problems, key=lambda problem: (_document_order(problem[0], data), problem[1]))
    raise InputError(_place(path), message)


def check_styles(data, template_names):
    """Explains in advance the one style failure the generator would report
    only as a bare KeyError: an element written in the fallback body style
    (its own style is not a template style) when the template has no such
    style either."""
    fallback = StyleNames.TEXT.value
    if fallback in template_names:
        return
    for index, item in enumerate(data["elements"]):
        if item["type"] not in WRITTEN_TYPES:
            continue
        name = item.get("style_name")
        if name in template_names:
            continue
        place = "document.elements[%d].style_name" % index
        if name is None:
            raise InputError(place, "not given, and the fallback style %r is not in the template" % fallback)
        raise InputError(place, "%r is not a template style and the fallback style %r is not in the template "
                                "either" % (name, fallback))


@functools.lru_cache(maxsize=None)
def _other_kinds_of_style():
    """{internal name: kind} of the styles of python-docx's default template
    that are not paragraph styles."""
    import docx
    from docx.enum.style import WD_STYLE_TYPE

    kinds = {WD_STYLE_TYPE.CHARACTER: "a character", WD_STYLE_TYPE.TABLE: "a table",
             WD_STYLE_TYPE.LIST: "a numbering"}
    return {style.element.name_val: kinds[style.type] for style in docx.Document().styles
            if style.type in kinds}


def check_style_kinds(styles, where):
    """Refuses a template style named like a style of another kind in Word's
    default template (the generator would find that style and fail to give
    it paragraph settings). Names are compared as python-docx compares
    them."""
    from docx.styles import BabelFish

    others = _other_kinds_of_style()
    for index, item in enumerate(styles):
        kind = others.get(BabelFish.ui2internal(item["name"]))
        if kind is not None:
            raise InputError("%s[%d].name" % (where, index),
                             "%r names %s style of Word's default template; a template style must be a paragraph "
                             "style: choose another name" % (item["name"], kind))


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
