"""The input's JSON Schema (schema.json beside this module) and the one plain
line a violation gets: the first problem in the order of the file, be it a
number Python cannot hold, a schema violation, a day the calendar does not
have or a character a Word document cannot hold.

A value is checked first by a compiled validator (jsonschema-rs), which
only says whether it is valid; the reference validator (jsonschema), which
the messages come from, is imported and run only for a value the compiled
one does not find valid, so every message is the reference validator's.
Patterns are read as JSON Schema reads them (ECMA 262): "$" is the end of
the text, never a place before a final newline, as it is in Python.
"""

import functools
import json
import re
from pathlib import Path

from quillmark_cli.errors import InputError
from quillmark_cli.input.characters import unwritable_strings
from quillmark_cli.input.dates import NoSuchDate, read_date
from quillmark_cli.input.json_parsing import refused_numbers
from quillmark_cli.running.signals import deferred

SCHEMA_PATH = Path(__file__).with_name("schema.json")


def load_schema():
    return json.loads(SCHEMA_PATH.read_text(encoding="utf-8"))


@functools.lru_cache(maxsize=None)
def _schema(definition=None):
    """The schema of a whole input file, or of one of its definitions (for
    example a template file) when `definition` is given."""
    schema = load_schema()
    if definition is not None:
        schema = {"$schema": schema["$schema"], "$defs": schema["$defs"], "$ref": "#/$defs/" + definition}
    return schema


def ecma_pattern(pattern):
    """`pattern` for Python's re, with each "$" outside a character class
    and not escaped made the end of the text."""
    translated, in_class, escaped = [], False, False
    for char in pattern:
        if escaped:
            escaped = False
        elif char == "\\":
            escaped = True
        elif in_class:
            in_class = char != "]"
        elif char == "[":
            in_class = True
        elif char == "$":
            char = r"\Z"
        translated.append(char)
    return "".join(translated)


@functools.lru_cache(maxsize=None)
def _compiled_pattern(pattern):
    return re.compile(ecma_pattern(pattern))


@functools.lru_cache(maxsize=None)
def _validator(definition=None):
    """The reference validator for a whole input file, or for one of its
    definitions."""
    # Imported only where something is invalid: it takes a while. Signals
    # wait meanwhile: on Python 3.8 its import runs `uname -p` (uuid asks
    # platform), and a process interrupted while starting that one would
    # leave it behind.
    with deferred():
        import jsonschema
        from jsonschema.exceptions import ValidationError

    def pattern(validator, pattern, instance, schema):
        if validator.is_type(instance, "string") and not _compiled_pattern(pattern).search(instance):
            yield ValidationError("%r does not match %r" % (instance, pattern))

    validator_class = jsonschema.validators.extend(jsonschema.Draft202012Validator, {"pattern": pattern})
    return validator_class(_schema(definition))


@functools.lru_cache(maxsize=None)
def _compiled_validator(definition=None):
    import jsonschema_rs

    return jsonschema_rs.Draft202012Validator(_schema(definition))


def surely_valid(data, definition=None):
    """Whether the compiled validator finds `data` valid. False says
    nothing: the value holds what it cannot read (a refused number, a lone
    surrogate, say), or it is stricter than the reference somewhere; the
    reference decides."""
    try:
        # Signals wait for it: an exception raised in its callbacks into
        # Python (where a signal's handler runs) makes it panic.
        with deferred():
            return _compiled_validator(definition).is_valid(data)
    except MemoryError:
        raise
    except Exception:  # whatever it could not read, the reference reads
        return False


def load_schema_validators():
    """The compiled validators for input files and template files, made
    now."""
    with deferred():
        for definition in (None, "template", "official"):
            _compiled_validator(definition)


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

# Where a date of an official document is, by the definition validated.
_DATE_PLACES = {None: ("official", "printed_on"), "official": ("printed_on",)}


def _date_problems(data, definition):
    """(path, message) for a date in one of the forms that the calendar
    does not have (other text is the schema's to refuse)."""
    path = _DATE_PLACES.get(definition)
    if path is None:
        return
    value = data
    for key in path:
        value = value.get(key) if isinstance(value, dict) else None
    if isinstance(value, str):
        try:
            read_date(value)
        except NoSuchDate as error:
            yield path, str(error)


def _schema_problem(data, definition):
    """(path, message) of the first schema violation in the order of the
    file, or None."""
    if surely_valid(data, definition):
        return None
    errors = list(_validator(definition).iter_errors(data))
    if not errors:
        return None
    first = min(_document_order(e.absolute_path, data) for e in errors)
    best = [e for e in errors if _document_order(e.absolute_path, data) == first]
    from jsonschema.exceptions import best_match

    error = best_match(best)
    return tuple(error.absolute_path), _describe(error)


def validate(data, definition=None):
    """Refuses `data` with its first problem in the order of the file: a
    number Python cannot hold, a schema violation (a day the calendar does
    not have among them), or a character a Word document cannot hold."""
    problems = [(path, _REFUSAL, message) for path, message in refused_numbers(data)]
    schema_problem = _schema_problem(data, definition)
    if schema_problem is not None:
        problems.append((schema_problem[0], _SCHEMA, schema_problem[1]))
    problems.extend((path, _SCHEMA, message) for path, message in _date_problems(data, definition))
    problems.extend((path, _CHARACTER, message) for path, message in unwritable_strings(data))
    if not problems:
        return
    path, _, message = min(problems, key=lambda problem: (_document_order(problem[0], data), problem[1]))
    raise InputError(_place(path), message)
