"""JSON text parsed as Python can hold it: nesting deeper than the decoder
can follow is refused with its place, and numbers Python cannot hold
(integers of too many digits, NaN, Infinity, values out of range) stay in
the value as refusals, reported with everything else in the order of the
file."""

import json
import math

from quillmark_cli.errors import InputError
from quillmark_cli.input.limits import check_json_size
from quillmark_cli.input.reading import decode_text, read_file

# Python refuses to convert integers longer than this (3.11 and later); the
# limit is applied on every version, so that an input means the same
# everywhere.
MAX_INTEGER_DIGITS = 4300
# Deeper than any real input, and well inside the interpreter's recursion
# limit, which the JSON decoder would otherwise hit.
MAX_DEPTH = 200


class Refused:
    """A value the JSON text holds that is not a number we accept; reported
    with its place once the whole file has been read."""

    def __init__(self, message):
        self.message = message


def _parse_int(text):
    digits = len(text.lstrip("-"))
    if digits > MAX_INTEGER_DIGITS:
        return Refused("a number of %d digits (at most %d are accepted)" % (digits, MAX_INTEGER_DIGITS))
    return int(text)


def _parse_float(text):
    value = float(text)
    return value if math.isfinite(value) else Refused("a number out of range (%s)" % _shorten(text))


def _parse_constant(name):
    return Refused("%s is not a JSON number" % name)


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


def refused_numbers(value, path=()):
    """(path, message) for each Refused value, in document order."""
    if isinstance(value, Refused):
        yield path, "expected a JSON number, got " + value.message
        return
    items = value.items() if isinstance(value, dict) else enumerate(value) if isinstance(value, list) else ()
    for key, item in items:
        yield from refused_numbers(item, path + (key,))


def parse_json(data):
    """The JSON value of `data` (bytes, UTF-8 with or without a byte-order
    mark, or UTF-16/UTF-32 with one), refusing what JSON does not allow.
    Numbers Python cannot hold stay in the value as refusals, reported by
    validate() in the order of the file together with everything else."""
    text = decode_text(data)
    check_json_size(text)
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
