"""A block's pieces written as an element's `text` or `runs`, as the
generator will read them: links as [text](url) in `text`, which it turns
into hyperlinks; emphasis as runs, which it never scans for links; and
text it would misread as a link kept literal in runs."""

import itertools

from quillmark_cli.input.links import has_link, iter_links


def fill(element, pieces, warn):
    """Gives `element` the text or runs of `pieces`; `warn(message)` says
    what the model cannot hold."""
    has_links = any(p.url is not None for p in pieces)
    emphasised = any(any(p.emphasis) for p in pieces)
    if has_links:
        if emphasised:
            warn("emphasis dropped: a paragraph with links cannot also carry bold or italic")
        text, spans = linked_text(pieces)
        found = [(start, end) for start, end, _, _ in iter_links(text)]
        if found == spans and all(spans):
            element["text"] = text
        else:
            warn("links written as text (text then address in parentheses): the paragraph "
                 "holds text the generator would otherwise read as a link")
            element["runs"] = [{"text": plain_text(pieces)}]
    elif emphasised:
        element["runs"] = runs(pieces)
    else:
        text = "".join(p.text for p in pieces)
        if has_link(text):
            element["runs"] = [{"text": text}]  # stays literal: runs are never scanned for links
        else:
            element["text"] = text


def segments(pieces):
    """(text, url) for each stretch of plain text (url None) and each
    link, its pieces joined."""
    i = 0
    while i < len(pieces):
        url, parts = pieces[i].url, []
        while i < len(pieces) and pieces[i].url == url:
            parts.append(pieces[i].text)
            i += 1
        yield "".join(parts), url


def linked_text(pieces):
    """The text with each link as [text](url), and the spans the links
    take; a span is None where a link cannot be written that way."""
    parts, spans, length = [], [], 0
    for label, url in segments(pieces):
        if url is not None:
            markup = "[%s](%s)" % (label, url)
            ok = label and url and "]" not in label and ")" not in url and "\n" not in label
            spans.append((length, length + len(markup)) if ok else None)
            label = markup
        parts.append(label)
        length += len(label)
    return "".join(parts), spans


def plain_text(pieces):
    """The text with each link as "text (url)"."""
    return "".join(label if url is None else "%s (%s)" % (label, url) for label, url in segments(pieces))


def runs(pieces):
    """Runs of the pieces, neighbours with the same emphasis joined."""
    found = []
    for emphasis, group in itertools.groupby(pieces, key=lambda piece: piece.emphasis):
        settings = dict(zip(("bold", "italic", "underline"), emphasis))
        found.append(dict({"text": "".join(piece.text for piece in group)},
                          **{key: True for key, value in settings.items() if value}))
    return found
