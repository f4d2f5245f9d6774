"""The generator's Markdown links, found as its pattern finds them.

The generator turns what the regular expression \\[([^\\]]+)\\]\\(([^)]+)\\)
matches into hyperlinks. Matched by a backtracking engine, that pattern
takes time growing with the square of the text on a run of "[" without a
"]"; this finds the very same matches in one pass.

For a match starting at a "[", the link text can only end at the first "]"
after it, and the target at the first ")" after the "(" that must follow
that "]": a shorter stretch would leave a character of the excluded kind
where the closing one must be. So each "[" has at most one candidate, found
from the next "]" and the next ")", which only move forward.
"""


def iter_links(text):
    """(start, end, link text, target) of each link, as re.finditer gives
    them."""
    pos, length = 0, len(text)
    close_bracket = close_paren = -1
    while True:
        start = text.find("[", pos)
        if start < 0:
            return
        if close_bracket <= start:
            close_bracket = text.find("]", start + 1)
            if close_bracket < 0:
                return  # no "]" anywhere after: no match from here on
        if close_bracket == start + 1 or close_bracket + 1 >= length or text[close_bracket + 1] != "(":
            pos = start + 1
            continue
        if close_paren < close_bracket + 2:
            close_paren = text.find(")", close_bracket + 2)
            if close_paren < 0:
                return  # no ")" after this "(", nor after any later one
        if close_paren == close_bracket + 2:
            pos = start + 1
            continue
        yield start, close_paren + 1, text[start + 1:close_bracket], text[close_bracket + 2:close_paren]
        pos = close_paren + 1


def has_link(text):
    return next(iter_links(text), None) is not None
