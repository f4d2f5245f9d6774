"""Characters that a Word document cannot hold: XML 1.0 has no place for the
C0 controls other than tab, line feed and carriage return, for U+FFFE and
U+FFFF, or for a surrogate that is not half of a pair."""

import re

_UNWRITABLE = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ud800-\udfff\ufffe\uffff]")


def code_point(char):
    return "U+%04X" % ord(char)


def first_unwritable(text):
    """The index of the first character of `text` a document cannot hold, or
    None."""
    found = _UNWRITABLE.search(text)
    return found.start() if found else None


def unwritable_message(text, index, position=True):
    """What is wrong with the character at `index`, and (with `position`)
    where it is in the string."""
    message = "%s cannot be written into a Word document" % code_point(text[index])
    return message + (" (character %d)" % (index + 1) if position else "")


def strings(value, path=(), seen=None):
    """(path, string) for every string in a JSON value, in document order.
    A list or mapping met again (YAML's aliases share them) is not walked
    again: its strings are those already given, and a few aliases of
    aliases would otherwise stand for billions of them."""
    if isinstance(value, str):
        yield path, value
        return
    if not isinstance(value, (dict, list)):
        return
    seen = set() if seen is None else seen
    if id(value) in seen:
        return
    seen.add(id(value))
    items = value.items() if isinstance(value, dict) else enumerate(value)
    for key, item in items:
        yield from strings(item, path + (key,), seen)


def unwritable_strings(value):
    """(path, message) for every string in a JSON value holding a character a
    document cannot hold."""
    for path, text in strings(value):
        index = first_unwritable(text)
        if index is not None:
            yield path, unwritable_message(text, index)
