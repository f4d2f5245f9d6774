"""What the command shows people: file names and messages with control
characters escaped, so that a crafted name cannot move the cursor, clear the
screen or break a message over several lines."""

import unicodedata

# Bidirectional overrides and isolates reorder what follows them on screen.
_BIDI_CONTROLS = set("\u202a\u202b\u202c\u202d\u202e\u2066\u2067\u2068\u2069")


def _escape(char):
    code = ord(char)
    if code < 0x100:
        return "\\x%02x" % code
    return "\\u%04x" % code


def shown(text):
    """`text` with every control character written as an escape (\\x1b,
    \\n, \\u202e)."""
    text = str(text)
    if text.isprintable():
        return text
    return "".join(_escape(c) if unicodedata.category(c) == "Cc" or c in _BIDI_CONTROLS else c for c in text)
