"""Reading input files: JSON, checked against the shipped schema, turned into
the host's model objects."""

import functools
import json
from pathlib import Path

import jsonschema

from tolvek.doc.generator.core.enums import AlignmentTypes, ElementTypes, StyleNames
from tolvek.doc.generator.generate.models import (
    Config, Document, Element, Font, ParagraphFormat, Run, Style, StyleName, Template,
)

SCHEMA_PATH = Path(__file__).with_name("schema.json")
EXAMPLE_PATH = Path(__file__).with_name("example.json")


class InputError(Exception):
    """Input that cannot be converted: `where` names the place in the file."""

    def __init__(self, where, message):
        super().__init__("%s: %s" % (where, message) if where else message)


def load_schema():
    return json.loads(SCHEMA_PATH.read_text(encoding="utf-8"))


@functools.lru_cache(maxsize=None)
def _validator(definition=None):
    """A validator for a whole input file, or for one of its definitions
    (for example a template file) when `definition` is given."""
    schema = load_schema()
    if definition is not None:
        schema = {"$schema": schema["$schema"], "$defs": schema["$defs"], "$ref": "#/$defs/" + definition}
    return jsonschema.Draft202012Validator(schema)


def read_json(path):
    try:
        text = Path(path).read_text(encoding="utf-8")
    except OSError as error:
        raise InputError(None, "cannot read: %s" % (error.strerror or error)) from None
    except UnicodeDecodeError:
        raise InputError(None, "not UTF-8 text") from None
    try:
        return json.loads(text)
    except json.JSONDecodeError as error:
        raise InputError("line %d column %d" % (error.lineno, error.colno), error.msg) from None


def _place(path):
    place = ""
    for key in path:
        place += "[%d]" % key if isinstance(key, int) else ("." if place else "") + str(key)
    return place or "(top level)"


_TYPE_NAMES = {"integer": "an integer", "number": "a number", "string": "a string", "boolean": "true or false",
               "object": "an object", "array": "a list", "null": "null"}


def _describe(error):
    """One plain sentence for the most relevant schema violation."""
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
    if error.validator in ("minimum", "exclusiveMinimum"):
        return "expected a number %s %s" % (">=" if error.validator == "minimum" else ">", error.validator_value)
    if error.validator == "minLength":
        return "expected a non-empty string"
    return error.message


def validate(data, definition=None):
    error = jsonschema.exceptions.best_match(_validator(definition).iter_errors(data))
    if error is not None:
        raise InputError(_place(error.absolute_path), _describe(error))


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


def build_document(data):
    elements = []
    for item in data["elements"]:
        runs = item.get("runs")
        elements.append(Element(
            type=_member(ElementTypes, item["type"]) or item["type"],
            style_name=item.get("style_name"),
            text=item.get("text"),
            runs=None if runs is None else [Run(**run) for run in runs],
            level=item.get("level"),
        ))
    return Document(elements=elements)


def load_template(path):
    data = read_json(path)
    validate(data, "template")
    return build_template(data)


def load_input(path, template=None, markdown=None):
    """(Config, Document, Template) from one input file. `template` and
    `markdown`, when given, take the place of the file's own."""
    data = read_json(path)
    validate(data)
    if template is None:
        if "template" not in data:
            raise InputError("template", "missing (give one in the file or with --template)")
        template = build_template(data["template"])
    config = Config(**data.get("config", {}))
    if markdown is not None:
        config.markdown = markdown
    return config, build_document(data["document"]), template
