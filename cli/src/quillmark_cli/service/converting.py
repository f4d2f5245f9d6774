"""A request's document converted as the command converts an input file
(conversion.convert, with no template of the command line's): the same
package, or the same messages, as problems with their places.

Nothing in a request makes the server read a file: the Markdown converter
never opens images, and a front matter that names a template file is
refused before conversion (a template comes in a JSON input, or is the
bundled official one)."""

from dataclasses import dataclass, field
from typing import List

from quillmark_cli.conversion import BAD_INPUT, OK, Source, convert
from quillmark_cli.errors import InputError
from quillmark_cli.service.problems import problem, warning

# How messages name a request's input; warnings lose it on the way out.
NAME = "input"
TEMPLATE_REFUSED = ("a server reads no template files: send a JSON input with its template in it, or leave "
                    "template out for the bundled official template")
EVEN_NOT_HERE = ("template.page.record_block: even: not applied here; the record block stays on the last page "
                 "(the quillmark command counts the pages and moves it)")


@dataclass
class Converted:
    data: bytes
    file_name: str
    warnings: List[dict] = field(default_factory=list)


class Rejected(Exception):
    """Bad input (422): its problems, and the warnings met before them."""

    def __init__(self, problems, warnings=()):
        super().__init__(problems[0]["message"])
        self.problems = list(problems)
        self.warnings = list(warnings)


class ConversionFailed(Exception):
    """The generator or the layout failed on an input it accepted (500)."""


def _text(body):
    from quillmark_cli.input.reading import decode_text

    try:
        return decode_text(body)
    except InputError:
        return None  # conversion reports it


def _may_name_a_template(text):
    """Whether YAML front matter in `text` could have a template key: one
    needs the word "template" on a line that is not a comment (a line whose
    first character is # holds no key, in block or in flow style), or a
    backslash escape in a double-quoted key that spells the word out."""
    if "\\" in text:
        return True
    return any("template" in line and not line.lstrip().startswith("#") for line in text.splitlines())


def _named_template(text):
    """The template path the front matter names, read as the converter
    reads it; text that cannot name one is not parsed twice."""
    if text is None or not _may_name_a_template(text):
        return None
    from quillmark_cli.input.markdown.front_matter import front_matter_template

    return front_matter_template(text)


def convert_body(body, markdown_format):
    """The Converted document of a request body (Markdown or JSON bytes);
    raises Rejected or ConversionFailed."""
    text = _text(body) if markdown_format else None
    if _named_template(text) is not None:
        where = "front matter: template"
        raise Rejected([problem(where, "%s: %s" % (where, TEMPLATE_REFUSED), text)])
    outcome = convert(Source(None, body, markdown_format, NAME, reads_files=False), None, None)
    warnings = [warning(line, NAME) for line in outcome.warnings]
    if outcome.even_record_block:  # pages are counted by the command only
        warnings.append(warning(EVEN_NOT_HERE, NAME))
    if outcome.status == OK:
        return Converted(outcome.data, outcome.file_name, warnings)
    if outcome.status == BAD_INPUT:
        raise Rejected([problem(outcome.where, outcome.message, text)], warnings)
    raise ConversionFailed(outcome.message)
