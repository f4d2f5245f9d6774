"""How much one input may hold, so that converting it takes memory in
proportion to its size and never runs the machine out of it.

Each part of a document (a paragraph or heading, a run of text, a link)
costs a few kilobytes while it is converted: as Markdown is parsed, as the
generator writes it and as the layout reads the package back. A document
may hold at most MAX_PARTS of them. Text is measured before it is parsed,
where counting costs next to nothing: a JSON text may hold at most
MAX_JSON_VALUES values, and a Markdown text at most MAX_MARKDOWN_MARKS
lines and characters that can begin markup (the parser makes a few objects
for each of them).
"""

from quillmark_cli.errors import InputError
from quillmark_cli.input.links import iter_links

MAX_PARTS = 100000
MAX_JSON_VALUES = 1000000
MAX_MARKDOWN_MARKS = 250000
# The characters with which the parser's links, images, emphasis, code,
# tables, escapes, entities and HTML begin.
MARKUP_CHARACTERS = "[<*_`|\\&"


def _shown(number):
    return "{:,}".format(number)


def check_json_size(text):
    """Refuses JSON text of more than MAX_JSON_VALUES values (counted from
    above: each value but the first of an array or object follows a
    comma)."""
    if len(text) <= MAX_JSON_VALUES:
        return  # fewer characters than that
    if text.count(",") + text.count("[") + text.count("{") + 1 > MAX_JSON_VALUES:
        raise InputError(None, "more than %s values: the limit for a JSON file" % _shown(MAX_JSON_VALUES))


def check_markdown_size(text):
    """Refuses Markdown text of more lines and markup characters, together,
    than MAX_MARKDOWN_MARKS."""
    if len(text) <= MAX_MARKDOWN_MARKS:
        return  # fewer characters than that
    marks = text.count("\n")
    for character in MARKUP_CHARACTERS:
        marks += text.count(character)
    if marks > MAX_MARKDOWN_MARKS:
        raise InputError(None, "more than %s lines and markup characters (%s) together: the limit for a Markdown "
                               "input" % (_shown(MAX_MARKDOWN_MARKS), " ".join(MARKUP_CHARACTERS)))


def check_document_size(document, where="document"):
    """Refuses a document (the `document` object of a description; `where`
    names it in the message) of more than MAX_PARTS paragraphs, runs and
    links together. Text that the generator would read as a link counts as
    one, whether or not it is to become a hyperlink."""
    elements = document.get("elements") if isinstance(document, dict) else None
    if not isinstance(elements, list):
        return  # the schema refuses it
    parts = len(elements)
    for element in elements:
        if parts > MAX_PARTS:
            break
        if not isinstance(element, dict):
            continue
        runs, text = element.get("runs"), element.get("text")
        if isinstance(runs, list):
            parts += len(runs)
        if isinstance(text, str) and "](" in text:
            parts += sum(1 for _ in iter_links(text))
    if parts > MAX_PARTS:
        raise InputError(where, "more than %s paragraphs, runs and links together: the limit for one "
                                     "document" % _shown(MAX_PARTS))
