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
    if 0xDC80 <= code <= 0xDCFF:  # a byte of a file name that is not UTF-8
        return "\\x%02x" % (code - 0xDC00)
    return "\\u%04x" % code


# Control characters, line and paragraph separators (U+2028, U+2029), and
# surrogates (the bytes of a file name that is not UTF-8).
_ESCAPED_CATEGORIES = {"Cc", "Zl", "Zp", "Cs"}


def shown(text):
    """`text` with every control character or line separator written as an
    escape (\\x1b, \\n, \\u2028, \\u202e)."""
    text = str(text)
    if text.isprintable():
        return text
    return "".join(_escape(c) if unicodedata.category(c) in _ESCAPED_CATEGORIES or c in _BIDI_CONTROLS else c
                   for c in text)
