"""The YAML front matter of a Markdown input: the template, whether links
become hyperlinks, which template style each kind of block uses, and the
`official` mapping (the document's format, masthead, signature, record
block and the rest), each checked with its place."""

import datetime
import re
from pathlib import Path

from tolvek.doc.generator.core.enums import StyleNames

from quillmark_cli.errors import InputError
from quillmark_cli.input.characters import first_unwritable, strings, unwritable_message
from quillmark_cli.input.dates import FORMS, NoSuchDate, read_date
from quillmark_cli.input.json_parsing import parse_json
from quillmark_cli.input.loading import official_template_data
from quillmark_cli.input.markdown.parser import front_matter_only
from quillmark_cli.input.markdown.yaml_reading import ImpossibleDate, YAMLError, load_yaml
from quillmark_cli.input.reading import read_file
from quillmark_cli.input.schema import validate
from quillmark_cli.input.style_checks import check_style_kinds

# Which template style each kind of block uses, overridable by `styles:` in
# the front matter.
DEFAULT_STYLES = {
    "title": StyleNames.TITLE.value,
    "heading1": StyleNames.HEADING_1.value,
    "heading2": StyleNames.HEADING_2.value,
    "heading3": StyleNames.HEADING_3.value,
    "heading4": "Heading 4",
    "paragraph": StyleNames.TEXT.value,
    "quote": StyleNames.QUOTE_TEXT.value,
    "list": StyleNames.TEXT.value,
    "code": StyleNames.TEXT.value,
    "table": StyleNames.TEXT.value,
}
FRONT_MATTER_KEYS = ("template", "markdown", "styles", "official")
# A template with a title style of its own for official documents has its
# titles written in it.
OFFICIAL_TITLE_STYLE = "公文标题"
OFFICIAL_KEYS = ("format", "authority", "number", "order_number", "signer", "copy_number", "secrecy", "urgency",
                 "addressees", "attachments", "seal", "seal_image", "signer_title", "note", "attendees", "absent",
                 "observers", "copies_to", "printed_by", "printed_on")
# Keys whose value may be a list (of names), and keys whose value must be.
LIST_KEYS = ("addressees", "authority")
ALWAYS_LISTS = ("copies_to", "attachments", "attendees", "absent", "observers")

# Broken YAML whose first line is a key is front matter gone wrong, not
# Markdown that happens to sit between two --- lines.
_KEY_LINE = re.compile(r"[A-Za-z_][\w-]*[ \t]*:(?:[ \t]|$)")


def read_front_matter(token):
    """The front matter's mapping ({} when empty), or None when the block
    between the --- lines is not front matter (a thematic break and a setext
    heading, say): YAML that is not a mapping, or broken YAML that does not
    begin like front matter."""
    try:
        data = load_yaml(token.content)
    except YAMLError as error:
        first = next((line for line in token.content.splitlines() if line.strip() and not line.startswith("#")), "")
        if not _KEY_LINE.match(first):
            return None
        mark = getattr(error, "problem_mark", None)
        line = " (line %d)" % (mark.line + 2) if mark is not None else ""
        raise InputError("front matter", "not valid YAML%s: %s" % (line, getattr(error, "problem", None) or error)) \
            from None
    if data is None:
        return {}
    return data if isinstance(data, dict) else None


def _may_name_a_template(text):
    """False where nothing in `text` can be a front matter key "template":
    the word stands only on comment lines, and no escape could spell it
    (a YAML key is written on one line, plain or quoted)."""
    if "\\" in text:
        return True
    return any("template" in line for line in text.splitlines() if not line.lstrip().startswith("#"))


def front_matter_template(text):
    """The template a Markdown text's front matter names (a str, relative to
    the file), or None. Only the beginning of the text is parsed: as much as
    holds the front matter."""
    if not text.startswith("-") or not _may_name_a_template(text):
        return None
    size = 4096
    while True:
        cut = len(text) if size >= len(text) else text.rfind("\n", 0, size) + 1 or size
        tokens = front_matter_only().parse(text[:cut])
        if tokens and tokens[0].type == "front_matter":
            break
        if cut >= len(text):
            return None
        size *= 4
    try:
        data = read_front_matter(tokens[0])
    except InputError:
        return None
    template = (data or {}).get("template")
    return template if isinstance(template, str) and template else None


def yaml_terms(value):
    """A value of the front matter that is not text, as its YAML reads."""
    if value is None or value == "":
        return "nothing"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, ImpossibleDate):
        return "%s, written as a date, but %s" % (value, value.problem)
    if isinstance(value, datetime.datetime):
        return "the date and time %s" % value.isoformat(" ")
    if isinstance(value, datetime.date):
        return "the date %s" % value.isoformat()
    if isinstance(value, (list, dict)):
        return "a list" if isinstance(value, list) else "a mapping"
    return repr(value)


def read_printed_on(value, where):
    """The printing date as the JSON input holds it: a YAML date becomes an
    ISO date; text must be a date in one of the forms, and a day the
    calendar has."""
    if isinstance(value, datetime.date):
        return value.isoformat()[:10]
    if isinstance(value, ImpossibleDate) and not value.with_time:
        raise InputError(where, "no such date: %s" % value.problem)
    if not isinstance(value, str) or not value:
        raise InputError(where, "expected a date (%s), got %s" % (FORMS, yaml_terms(value)))
    try:
        if read_date(value) is None:
            raise InputError(where, "expected a date (%s), got %r" % (FORMS, value))
    except NoSuchDate as error:
        raise InputError(where, str(error)) from None
    return value


def read_official(data):
    """The `official` mapping as the JSON input holds it: text, lists of
    text, attachments as names or {name, file} mappings, and dates written
    as YAML dates kept as ISO dates; then checked as the schema's
    `official` (the values of `seal`, say), with its place in the front
    matter."""
    where = "front matter: official"
    if not isinstance(data, dict):
        raise InputError(where, "expected a mapping of %s" % ", ".join(OFFICIAL_KEYS))
    unknown = sorted(str(k) for k in data if k not in OFFICIAL_KEYS)
    if unknown:
        raise InputError(where, "unexpected %s (expected %s)" % (", ".join(map(repr, unknown)),
                                                               ", ".join(OFFICIAL_KEYS)))
    official = {}
    for key, value in data.items():
        place = where + ": " + key
        if key == "printed_on":
            official[key] = read_printed_on(value, place)
        elif key in ALWAYS_LISTS and not isinstance(value, list):
            raise InputError(place, "expected a list of %s" % ("attachments" if key == "attachments" else "names"))
        elif isinstance(value, list) and (key in ALWAYS_LISTS or key in LIST_KEYS):
            official[key] = [_attachment(item, place) if key == "attachments" else _text(item, key, place)
                             for item in value]
        else:
            official[key] = _text(value, key, place)
    try:
        validate(official, "official")
    except InputError as error:
        place = re.sub(r"\.|\[(\d+)\]", lambda m: ": " + (m.group(1) or ""), error.where).rstrip(": ")
        raise InputError(where + ": " + place, error.detail) from None
    return official


def _text(item, key, place):
    if not isinstance(item, str) or not item:
        raise InputError(place, "expected text, got %s (put it in quotes)" % yaml_terms(item))
    return item


def _attachment(item, place):
    """An attachment: its name, or {name, file} with the file holding its
    text."""
    if isinstance(item, dict):
        unknown = sorted(str(k) for k in item if k not in ("name", "file"))
        if unknown or "name" not in item:
            raise InputError(place, "expected an attachment's name, or a mapping of name and file")
        return {key: _text(value, key, place + ": " + key) for key, value in item.items()}
    return _text(item, "name", place)


class Settings:
    """What one input's front matter sets. `given_styles` are the style
    names of the command line's template, if any: its own template is then
    not read."""

    def __init__(self, base, given_styles):
        self.base = base
        self.given_styles = given_styles
        self.template_given = given_styles is not None
        self.markdown = True
        self.styles = dict(DEFAULT_STYLES)
        self.template = None
        self.official = None
        self._official_template = None

    def read(self, data):
        where = "front matter"
        unknown = sorted(str(k) for k in data if k not in FRONT_MATTER_KEYS)
        if unknown:
            raise InputError(where, "unexpected %s (expected %s)" % (", ".join(map(repr, unknown)),
                                                                   ", ".join(FRONT_MATTER_KEYS)))
        for path, text in strings(data):
            index = first_unwritable(text)
            if index is not None:
                raise InputError(where + ": " + ": ".join(map(str, path)), unwritable_message(text, index))
        if "markdown" in data:
            if not isinstance(data["markdown"], bool):
                raise InputError(where + ": markdown", "expected true or false")
            self.markdown = data["markdown"]
        if "styles" in data:
            self.set_styles(data["styles"])
        if "template" in data and not self.template_given:
            self.load_template(data["template"])
        if "official" in data:
            self.official = read_official(data["official"])
        if "title" not in data.get("styles", {}):
            self.styles["title"] = self.title_style()

    def title_style(self):
        """The official title style where the template in effect has one,
        else "Title"."""
        if self.given_styles is not None:
            names = self.given_styles
        else:
            names = {style["name"] for style in (self.template or self.official_template())["styles"]}
        return OFFICIAL_TITLE_STYLE if OFFICIAL_TITLE_STYLE in names else DEFAULT_STYLES["title"]

    def official_template(self):
        """The bundled official template, read once per input."""
        if self._official_template is None:
            self._official_template = official_template_data()
        return self._official_template

    def set_styles(self, styles):
        where = "front matter: styles"
        if not isinstance(styles, dict):
            raise InputError(where, "expected a mapping of block kinds to template style names")
        for kind, style in styles.items():
            if kind not in DEFAULT_STYLES:
                raise InputError(where, "unknown block kind %r (expected one of %s)" % (
                    kind, ", ".join(DEFAULT_STYLES)))
            if not isinstance(style, str) or not style:
                raise InputError(where + ": " + kind, "expected a style name")
            self.styles[kind] = style

    def load_template(self, template):
        where = "front matter: template"
        if not isinstance(template, str) or not template:
            raise InputError(where, "expected the path of a template file")
        path = Path(template)
        if not path.is_absolute():
            path = self.base / path
        try:
            self.template = parse_json(read_file(path))
            validate(self.template, "template")
            check_style_kinds(self.template["styles"], "styles")
        except InputError as error:
            raise type(error)(where, "%s: %s" % (template, error)) from None
