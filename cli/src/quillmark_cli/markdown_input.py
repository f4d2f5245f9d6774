"""Markdown input: a CommonMark file (with optional YAML front matter) turned
into the command's JSON description, the same model a host would build.

What the model cannot hold is said, one warning a thing, never dropped
silently; the warnings come back with the description.
"""

import datetime
import itertools
import json
import re
from pathlib import Path

import yaml
from markdown_it import MarkdownIt
from mdit_py_plugins.footnote import footnote_plugin
from mdit_py_plugins.front_matter import front_matter_plugin

from tolvek.doc.generator.core.enums import StyleNames

from quillmark_cli.characters import first_unwritable, strings, unwritable_message
from quillmark_cli.errors import InputError
from quillmark_cli.links import has_link, iter_links
from quillmark_cli.loading import check_style_kinds, parse_json, validate
from quillmark_cli.reading import decode_text, read_file

OFFICIAL_TEMPLATE_PATH = Path(__file__).with_name("official-template.json")

# Which template style each kind of block uses, overridable by `styles:` in
# the front matter.
DEFAULT_STYLES = {
    "title": StyleNames.TITLE.value,
    "heading1": StyleNames.HEADING_1.value,
    "heading2": StyleNames.HEADING_2.value,
    "heading3": StyleNames.HEADING_3.value,
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
OFFICIAL_KEYS = ("authority", "number", "signer", "copy_number", "secrecy", "urgency", "copies_to", "printed_by",
                 "printed_on")

# A soft line break, until join_lines knows what it becomes.
_SOFT_BREAK = "\0soft"

BULLET = "\u2022"
# Nested list items are indented by two ideographic spaces a level.
INDENT = "\u3000\u3000"


def _is_cjk(char):
    code = ord(char)
    return (0x2E80 <= code <= 0x9FFF or 0xAC00 <= code <= 0xD7AF or 0xF900 <= code <= 0xFAFF
            or 0xFE30 <= code <= 0xFE4F or 0xFF00 <= code <= 0xFFEF or 0x20000 <= code <= 0x3FFFF)


# Broken YAML whose first line is a key is front matter gone wrong, not
# Markdown that happens to sit between two --- lines.
_KEY_LINE = re.compile(r"[A-Za-z_][\w-]*[ \t]*:(?:[ \t]|$)")


def _guard_nesting(md):
    """markdown-it drops, without a word, the content of block quotes and
    lists nested deeper than its limit; such a file is refused instead,
    naming the first line that would be lost."""
    tokenize = md.block.tokenize

    def guarded(state, start_line, end_line, *rest):
        if state.level >= md.options["maxNesting"]:
            line = state.skipEmptyLines(start_line)
            if line < end_line and state.sCount[line] >= state.blkIndent:
                raise InputError("line %d" % (line + 1), "block quotes and lists nested too deeply to be read "
                                 "(at most %d block quotes or %d lists, one inside another)" % (
                                     md.options["maxNesting"] - 1, md.options["maxNesting"] // 2 - 1))
        return tokenize(state, start_line, end_line, *rest)

    md.block.tokenize = guarded
    return md


def _parser(front_matter=True):
    md = MarkdownIt("commonmark").enable("table").use(footnote_plugin)
    if front_matter:
        md.use(front_matter_plugin)
    return _guard_nesting(md)


def _front_matter_only():
    return MarkdownIt("zero").use(front_matter_plugin)


def _read_front_matter(token):
    """The front matter's mapping ({} when empty), or None when the block
    between the --- lines is not front matter (a thematic break and a setext
    heading, say): YAML that is not a mapping, or broken YAML that does not
    begin like front matter."""
    try:
        data = yaml.safe_load(token.content)
    except yaml.YAMLError as error:
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


def front_matter_template(text):
    """The template a Markdown text's front matter names (a str, relative to
    the file), or None. Only the beginning of the text is parsed: as much as
    holds the front matter."""
    if not text.startswith("-"):
        return None
    size = 4096
    while True:
        cut = len(text) if size >= len(text) else text.rfind("\n", 0, size) + 1 or size
        tokens = _front_matter_only().parse(text[:cut])
        if tokens and tokens[0].type == "front_matter":
            break
        if cut >= len(text):
            return None
        size *= 4
    try:
        data = _read_front_matter(tokens[0])
    except InputError:
        return None
    template = (data or {}).get("template")
    return template if isinstance(template, str) and template else None


class _Piece:
    """A stretch of inline content: text with its emphasis, or a link."""

    def __init__(self, text, bold=False, italic=False, underline=False, url=None):
        self.text, self.bold, self.italic, self.underline, self.url = text, bold, italic, underline, url

    @property
    def emphasis(self):
        return (self.bold, self.italic, self.underline)


class _Converter:
    def __init__(self, name, base, given_styles):
        self.name = name
        self.base = base
        self.given_styles = given_styles  # the style names of the command line's template, if any
        self.template_given = given_styles is not None
        self.official = None
        self._official_template = None
        self.warnings = []
        self.elements = []
        self.pending_images = []  # image elements of the block being converted
        self.styles = dict(DEFAULT_STYLES)
        self.template = None
        self.markdown = True

    def warn(self, line, message):
        self.warnings.append("%s:%d: %s" % (self.name, line, message))

    # --- front matter -------------------------------------------------------

    def front_matter(self, data):
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
            self.official = self.read_official(data["official"])
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
            self._official_template = json.loads(OFFICIAL_TEMPLATE_PATH.read_text(encoding="utf-8"))
        return self._official_template

    @staticmethod
    def read_official(data):
        """The `official` mapping as the JSON input holds it: text, a list of
        text for copies_to, and dates written as YAML dates kept as ISO
        dates."""
        where = "front matter: official"
        if not isinstance(data, dict):
            raise InputError(where, "expected a mapping of %s" % ", ".join(OFFICIAL_KEYS))
        unknown = sorted(str(k) for k in data if k not in OFFICIAL_KEYS)
        if unknown:
            raise InputError(where, "unexpected %s (expected %s)" % (", ".join(map(repr, unknown)),
                                                                   ", ".join(OFFICIAL_KEYS)))
        official = {}
        for key, value in data.items():
            values = value if key == "copies_to" and isinstance(value, list) else [value]
            if key == "copies_to" and not isinstance(value, list):
                raise InputError(where + ": copies_to", "expected a list of names")
            texts = []
            for item in values:
                if isinstance(item, datetime.date) and key == "printed_on":
                    item = item.isoformat()[:10]
                if not isinstance(item, str) or not item:
                    raise InputError(where + ": " + key, "expected text, got %s (put it in quotes)" % (
                        "nothing" if item is None or item == "" else repr(item)))
                texts.append(item)
            official[key] = texts if key == "copies_to" else texts[0]
        return official

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

    # --- blocks -------------------------------------------------------------

    def convert(self, tokens):
        quote_depth, lists = 0, []
        index = 0
        while index < len(tokens):
            token = tokens[index]
            kind = token.type
            if kind == "heading_open":
                self.heading(token, tokens[index + 1])
                index += 2
            elif kind == "blockquote_open":
                quote_depth += 1
            elif kind == "blockquote_close":
                quote_depth -= 1
            elif kind in ("bullet_list_open", "ordered_list_open"):
                start = int(token.attrGet("start") or 1) if kind == "ordered_list_open" else None
                lists.append({"number": start, "item_started": False})
            elif kind in ("bullet_list_close", "ordered_list_close"):
                lists.pop()
            elif kind == "list_item_open":
                lists[-1]["item_started"] = True
                lists[-1]["markup"] = token.markup
            elif kind == "list_item_close":
                if lists[-1]["number"] is not None:
                    lists[-1]["number"] += 1
            elif kind == "paragraph_open":
                self.paragraph(token, tokens[index + 1], quote_depth, lists)
                index += 2
            elif kind in ("fence", "code_block"):
                self.code(token)
            elif kind == "table_open":
                index = self.table(tokens, index)
            elif kind == "html_block":
                self.warn(token.map[0] + 1, "HTML dropped: only <u>…</u> is understood")
            elif kind == "hr":
                self.warn(token.map[0] + 1, "thematic break dropped: the document model has none")
            elif kind == "footnote_block_open":
                index = self.footnotes(tokens, index)
            index += 1

    def heading(self, token, inline):
        line = token.map[0] + 1
        depth = int(token.tag[1])
        if depth == 1:
            element = {"type": "title", "style_name": self.styles["title"]}
        else:
            level = depth - 1
            if level > 3:
                self.warn(line, "heading of level %d written as level 3: headers go three levels deep" % depth)
                level = 3
            element = {"type": "header", "style_name": self.styles["heading%d" % level], "level": level}
        self.add(element, self.inline(inline, line), line)

    def paragraph(self, token, inline, quote_depth, lists):
        line = token.map[0] + 1
        kind = "quote" if quote_depth else "list" if lists else "paragraph"
        prefix = ""
        if lists:
            current = lists[-1]
            prefix = INDENT * (len(lists) - 1)
            if current["item_started"]:
                marker = BULLET if current["number"] is None else "%d%s" % (current["number"], current["markup"])
                prefix += marker + " "
                current["item_started"] = False
            else:  # a later paragraph of the same item
                prefix += INDENT
        pieces = self.inline(inline, line)
        if prefix:
            pieces.insert(0, _Piece(prefix))
        self.add({"type": "paragraph", "style_name": self.styles[kind]}, pieces, line)

    def code(self, token):
        line = token.map[0] + 1
        self.warn(line, "code block written as plain paragraphs: the document model has no code")
        for text in token.content.rstrip("\n").split("\n"):
            self.literal(self.styles["code"], text, line)

    def table(self, tokens, index):
        line = tokens[index].map[0] + 1
        self.warn(line, "table written as plain paragraphs, one a row with cells separated by tabs")
        row = []
        while tokens[index].type != "table_close":
            token = tokens[index]
            if token.type == "inline":
                row_line = token.map[0] + 1 if token.map else line
                row.append(self.plain_text(self.inline(token, row_line, False)))
            elif token.type == "tr_close":
                self.literal(self.styles["table"], "\t".join(row), row_line)
                row = []
            index += 1
        return index

    def footnotes(self, tokens, index):
        label = None
        while tokens[index].type != "footnote_block_close":
            token = tokens[index]
            if token.type == "footnote_open":
                label = token.meta.get("label", token.meta.get("id"))
            elif token.type == "inline":
                line = token.map[0] + 1
                self.warn(line, "footnote [^%s] written as a plain paragraph at the end" % label)
                text = self.plain_text(self.inline(token, line, False))
                self.literal(self.styles["paragraph"], "[^%s]: %s" % (label, text), line)
            index += 1
        return index

    def literal(self, style, text, line):
        """A paragraph whose text stays exactly as it is: runs, which the
        generator never scans for links."""
        element = {"type": "paragraph", "style_name": style}
        element["runs" if text else "text"] = [{"text": text}] if text else ""
        self.append(element, line)

    def append(self, element, line):
        """Adds an element, refusing a character a Word document cannot hold
        that a character reference (&#12;, say) put into it."""
        for path, text in strings(element):
            index = first_unwritable(text)
            if index is not None:
                raise InputError("line %d" % line, unwritable_message(text, index))
        self.elements.append(element)

    # --- inline content -----------------------------------------------------

    def inline(self, token, line, warn_images=True):
        """The inline content of `token`, which starts on `line`, as pieces;
        images become image elements of their own. Warnings name the line
        of the construct: each line break inside the block moves on a
        line."""
        pieces = []
        bold = italic = underline = 0
        link = None
        for child in token.children or []:
            kind = child.type
            if kind == "text" or kind == "code_inline":
                pieces.append(_Piece(child.content, bold > 0, italic > 0, underline > 0, link))
            elif kind == "softbreak":
                pieces.append(_Piece(_SOFT_BREAK, bold > 0, italic > 0, underline > 0, link))
                line += 1
            elif kind == "hardbreak":
                pieces.append(_Piece("\n", bold > 0, italic > 0, underline > 0, link))
                line += 1
            elif kind in ("strong_open", "strong_close"):
                bold += 1 if kind.endswith("open") else -1
            elif kind in ("em_open", "em_close"):
                italic += 1 if kind.endswith("open") else -1
            elif kind == "html_inline":
                tag = child.content.strip().lower()
                if tag == "<u>":
                    underline += 1
                elif tag == "</u>":
                    underline = max(0, underline - 1)
                else:
                    self.warn(line, "HTML %s dropped: only <u>…</u> is understood" % child.content)
                line += child.content.count("\n")
            elif kind == "link_open":
                link = child.attrGet("href") or ""
            elif kind == "link_close":
                link = None
            elif kind == "image":
                alt = "".join(c.content for c in child.children or [])
                if warn_images:
                    self.warn(line, "image %s skipped: the generator does not write images" % (
                        child.attrGet("src") or ""))
                    self.pending_images.append({"type": "image", "style_name": self.styles["paragraph"],
                                                "text": alt})
                else:
                    pieces.append(_Piece(alt))
                line += sum(1 for c in child.children or [] if c.type in ("softbreak", "hardbreak"))
            elif kind == "footnote_ref":
                label = child.meta.get("label", child.meta.get("id"))
                self.warn(line, "footnote reference [^%s] written as plain text" % label)
                pieces.append(_Piece("[^%s]" % label, bold > 0, italic > 0, underline > 0, link))
        return self.join_lines(pieces)

    @staticmethod
    def join_lines(pieces):
        """Soft line breaks joined as a reader expects: nothing between two
        CJK characters, one space otherwise."""
        # The last character of text before each piece and the first after
        # it, breaks skipped, found in one pass each way.
        before, last = [], ""
        for piece in pieces:
            before.append(last)
            if piece.text and piece.text is not _SOFT_BREAK:
                last = piece.text[-1]
        after, first = [""] * len(pieces), ""
        for i in range(len(pieces) - 1, -1, -1):
            after[i] = first
            if pieces[i].text and pieces[i].text is not _SOFT_BREAK:
                first = pieces[i].text[0]
        for i, piece in enumerate(pieces):
            if piece.text is _SOFT_BREAK:
                joined = before[i] and after[i] and _is_cjk(before[i]) and _is_cjk(after[i])
                piece.text = "" if joined else " "
        return [p for p in pieces if p.text]

    def add(self, element, pieces, line):
        images, self.pending_images = self.pending_images, []
        has_links = any(p.url is not None for p in pieces)
        emphasised = any(any(p.emphasis) for p in pieces)
        if has_links:
            if emphasised:
                self.warn(line, "emphasis dropped: a paragraph with links cannot also carry bold or italic")
            text, spans = self.linked_text(pieces)
            found = [(start, end) for start, end, _, _ in iter_links(text)]
            if found == spans and all(spans):
                element["text"] = text
            else:
                self.warn(line, "links written as text (text then address in parentheses): the paragraph "
                                "holds text the generator would otherwise read as a link")
                element["runs"] = [{"text": self.plain_text(pieces)}]
        elif emphasised:
            element["runs"] = self.runs(pieces)
        else:
            text = "".join(p.text for p in pieces)
            if has_link(text):
                element["runs"] = [{"text": text}]  # stays literal: runs are never scanned for links
            else:
                element["text"] = text
        if element.get("text") or element.get("runs") or not images:
            self.append(element, line)
        for image in images:
            self.append(image, line)

    @staticmethod
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

    def linked_text(self, pieces):
        """The text with each link as [text](url), and the spans the links
        take; a span is None where a link cannot be written that way."""
        parts, spans, length = [], [], 0
        for label, url in self.segments(pieces):
            if url is not None:
                markup = "[%s](%s)" % (label, url)
                ok = label and url and "]" not in label and ")" not in url and "\n" not in label
                spans.append((length, length + len(markup)) if ok else None)
                label = markup
            parts.append(label)
            length += len(label)
        return "".join(parts), spans

    def plain_text(self, pieces):
        """The text with each link as "text (url)"."""
        return "".join(label if url is None else "%s (%s)" % (label, url) for label, url in self.segments(pieces))

    @staticmethod
    def runs(pieces):
        """Runs of the pieces, neighbours with the same emphasis joined."""
        runs = []
        for emphasis, group in itertools.groupby(pieces, key=lambda piece: piece.emphasis):
            settings = dict(zip(("bold", "italic", "underline"), emphasis))
            runs.append(dict({"text": "".join(piece.text for piece in group)},
                             **{key: True for key, value in settings.items() if value}))
        return runs


def _check_characters(text):
    """Refuses a character a Word document cannot hold, with its line and
    column."""
    index = first_unwritable(text)
    if index is not None:
        line = text.count("\n", 0, index) + 1
        column = index - text.rfind("\n", 0, index)
        raise InputError("line %d column %d" % (line, column), unwritable_message(text, index, position=False))


def markdown_to_description(data, name, base, given_styles=None):
    """(the JSON description, warnings) for Markdown `data` (bytes) of the
    input called `name`, whose relative paths start at `base`. With
    `given_styles` (the style names of a template from the command line),
    the front matter's template is not read."""
    text = decode_text(data)
    _check_characters(text)
    converter = _Converter(name, Path(base), given_styles)
    tokens = _parser().parse(text)
    if tokens and tokens[0].type == "front_matter":
        front_matter = _read_front_matter(tokens[0])
        if front_matter is None:
            converter.warn(1, "the lines between the --- lines are not front matter (not a YAML mapping): read "
                              "as Markdown")
            tokens = _parser(front_matter=False).parse(text)
            front_matter = {}
        else:
            tokens = tokens[1:]
    else:
        front_matter = {}
    converter.front_matter(front_matter)
    converter.convert(tokens)
    template = converter.template
    if template is None:
        template = converter.official_template()
    description = {
        "config": {"markdown": converter.markdown},
        "template": template,
    }
    if converter.official is not None:
        description["official"] = converter.official
    description["document"] = {"elements": converter.elements}
    return description, converter.warnings
