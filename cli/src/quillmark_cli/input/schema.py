"""The input's JSON Schema (schema.json beside this module) and the one plain
line a violation gets: the first problem in the order of the file, be it a
number Python cannot hold, a schema violation or a character a Word
document cannot hold."""

import functools
import json
from pathlib import Path

from quillmark_cli.errors import InputError
from quillmark_cli.input.characters import unwritable_strings
from quillmark_cli.input.json_parsing import refused_numbers
from quillmark_cli.running.signals import deferred

SCHEMA_PATH = Path(__file__).with_name("schema.json")


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
    problems = [(path, _REFUSAL, message) for path, message in refused_numbers(data)]
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
