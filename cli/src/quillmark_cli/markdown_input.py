"""Markdown input: a CommonMark file (with optional YAML front matter) turned
into the command's JSON description, the same model a host would build.

What the model cannot hold is said, one warning a thing, never dropped
silently; the warnings come back with the description.
"""

import json
import re
from pathlib import Path

import yaml
from markdown_it import MarkdownIt
from mdit_py_plugins.footnote import footnote_plugin
from mdit_py_plugins.front_matter import front_matter_plugin

from tolvek.doc.generator.core.enums import StyleNames

from quillmark_cli.loading import InputError, parse_json, validate

OFFICIAL_TEMPLATE_PATH = Path(__file__).with_name("official-template.json")

# The generator's link pattern: text it matches becomes a hyperlink when
# markdown is on.
LINK_PATTERN = re.compile(r"\[([^\]]+)\]\(([^)]+)\)")

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
FRONT_MATTER_KEYS = ("template", "markdown", "styles")

BULLET = "\u2022"
# Nested list items are indented by two ideographic spaces a level.
INDENT = "\u3000\u3000"


def _is_cjk(char):
    code = ord(char)
    return (0x2E80 <= code <= 0x9FFF or 0xAC00 <= code <= 0xD7AF or 0xF900 <= code <= 0xFAFF
            or 0xFE30 <= code <= 0xFE4F or 0xFF00 <= code <= 0xFFEF or 0x20000 <= code <= 0x3FFFF)


def _parser():
    return MarkdownIt("commonmark").enable("table").use(front_matter_plugin).use(footnote_plugin)


class _Piece:
    """A stretch of inline content: text with its emphasis, or a link."""

    def __init__(self, text, bold=False, italic=False, underline=False, url=None):
        self.text, self.bold, self.italic, self.underline, self.url = text, bold, italic, underline, url

    @property
    def emphasis(self):
        return (self.bold, self.italic, self.underline)


class _Converter:
    def __init__(self, name, base, template_given):
        self.name = name
        self.base = base
        self.template_given = template_given
        self.warnings = []
        self.elements = []
        self.pending_images = []  # image elements of the block being converted
        self.styles = dict(DEFAULT_STYLES)
        self.template = None
        self.markdown = True

    def warn(self, line, message):
        self.warnings.append("%s:%d: %s" % (self.name, line, message))

    # --- front matter -------------------------------------------------------

    def front_matter(self, token):
        where = "front matter"
        try:
            data = yaml.safe_load(token.content)
        except yaml.YAMLError as error:
            mark = getattr(error, "problem_mark", None)
            line = " (line %d)" % (mark.line + 2) if mark is not None else ""
            raise InputError(where, "not valid YAML%s: %s" % (line, getattr(error, "problem", None) or error)) \
                from None
        if data is None:
            return
        if not isinstance(data, dict):
            raise InputError(where, "expected a mapping of %s" % ", ".join(FRONT_MATTER_KEYS))
        unknown = sorted(str(k) for k in data if k not in FRONT_MATTER_KEYS)
        if unknown:
            raise InputError(where, "unexpected %s (expected %s)" % (", ".join(map(repr, unknown)),
                                                                   ", ".join(FRONT_MATTER_KEYS)))
        if "markdown" in data:
            if not isinstance(data["markdown"], bool):
                raise InputError(where + ": markdown", "expected true or false")
            self.markdown = data["markdown"]
        if "styles" in data:
            self.set_styles(data["styles"])
        if "template" in data and not self.template_given:
            self.load_template(data["template"])

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
            raw = path.read_bytes()
        except OSError as error:
            raise InputError(where, "cannot read %s: %s" % (template, error.strerror or error)) from None
        try:
            self.template = parse_json(raw)
            validate(self.template, "template")
        except InputError as error:
            raise InputError(where, "%s: %s" % (template, error)) from None

    # --- blocks -------------------------------------------------------------

    def convert(self, tokens):
        quote_depth, lists = 0, []
        index = 0
        while index < len(tokens):
            token = tokens[index]
            kind = token.type
            if kind == "front_matter":
                self.front_matter(token)
            elif kind == "heading_open":
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
            self.literal(self.styles["code"], text)

    def table(self, tokens, index):
        line = tokens[index].map[0] + 1
        self.warn(line, "table written as plain paragraphs, one a row with cells separated by tabs")
        row = []
        while tokens[index].type != "table_close":
            token = tokens[index]
            if token.type == "inline":
                row.append(self.plain_text(self.inline(token, line, False)))
            elif token.type == "tr_close":
                self.literal(self.styles["table"], "\t".join(row))
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
                self.literal(self.styles["paragraph"], "[^%s]: %s" % (label, text))
            index += 1
        return index

    def literal(self, style, text):
        """A paragraph whose text stays exactly as it is: runs, which the
        generator never scans for links."""
        element = {"type": "paragraph", "style_name": style}
        element["runs" if text else "text"] = [{"text": text}] if text else ""
        self.elements.append(element)

    # --- inline content -----------------------------------------------------

    def inline(self, token, line, warn_images=True):
        """The inline content of `token` as pieces; images become image
        elements of their own."""
        pieces = []
        bold = italic = underline = 0
        link = None
        for child in token.children or []:
            kind = child.type
            if kind == "text" or kind == "code_inline":
                pieces.append(_Piece(child.content, bold > 0, italic > 0, underline > 0, link))
            elif kind == "softbreak":
                pieces.append(_Piece("\0soft", bold > 0, italic > 0, underline > 0, link))
            elif kind == "hardbreak":
                pieces.append(_Piece("\n", bold > 0, italic > 0, underline > 0, link))
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
            elif kind == "footnote_ref":
                label = child.meta.get("label", child.meta.get("id"))
                self.warn(line, "footnote reference [^%s] written as plain text" % label)
                pieces.append(_Piece("[^%s]" % label, bold > 0, italic > 0, underline > 0, link))
        return self.join_lines(pieces)

    @staticmethod
    def join_lines(pieces):
        """Soft line breaks joined as a reader expects: nothing between two
        CJK characters, one space otherwise."""
        for i, piece in enumerate(pieces):
            if piece.text != "\0soft":
                continue
            before = next((p.text[-1] for p in reversed(pieces[:i]) if p.text and p.text != "\0soft"), "")
            after = next((p.text[0] for p in pieces[i + 1:] if p.text and p.text != "\0soft"), "")
            piece.text = "" if before and after and _is_cjk(before) and _is_cjk(after) else " "
        return [p for p in pieces if p.text]

    def add(self, element, pieces, line):
        images, self.pending_images = self.pending_images, []
        has_links = any(p.url is not None for p in pieces)
        emphasised = any(any(p.emphasis) for p in pieces)
        if has_links:
            if emphasised:
                self.warn(line, "emphasis dropped: a paragraph with links cannot also carry bold or italic")
            text, spans = self.linked_text(pieces)
            found = [m.span() for m in LINK_PATTERN.finditer(text)]
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
            if LINK_PATTERN.search(text):
                element["runs"] = [{"text": text}]  # stays literal: runs are never scanned for links
            else:
                element["text"] = text
        if element.get("text") or element.get("runs") or not images:
            self.elements.append(element)
        self.elements.extend(images)

    @staticmethod
    def segments(pieces):
        """(text, url) for each stretch of plain text (url None) and each
        link, its pieces joined."""
        i = 0
        while i < len(pieces):
            url, text = pieces[i].url, ""
            while i < len(pieces) and pieces[i].url == url:
                text += pieces[i].text
                i += 1
            yield text, url

    def linked_text(self, pieces):
        """The text with each link as [text](url), and the spans the links
        take; a span is None where a link cannot be written that way."""
        text, spans = "", []
        for label, url in self.segments(pieces):
            if url is None:
                text += label
                continue
            markup = "[%s](%s)" % (label, url)
            ok = label and url and "]" not in label and ")" not in url and "\n" not in label
            spans.append((len(text), len(text) + len(markup)) if ok else None)
            text += markup
        return text, spans

    def plain_text(self, pieces):
        """The text with each link as "text (url)"."""
        return "".join(label if url is None else "%s (%s)" % (label, url) for label, url in self.segments(pieces))

    @staticmethod
    def runs(pieces):
        runs = []
        for piece in pieces:
            settings = {"bold": piece.bold or None, "italic": piece.italic or None,
                        "underline": piece.underline or None}
            if runs and all(runs[-1].get(k) == v for k, v in settings.items()):
                runs[-1]["text"] += piece.text
            else:
                runs.append(dict({"text": piece.text}, **{k: v for k, v in settings.items() if v}))
        return runs


def markdown_to_description(data, name, base, template_given=False):
    """(the JSON description, warnings) for Markdown `data` (bytes) of the
    input called `name`, whose relative paths start at `base`. With
    `template_given` (a template from the command line), the front matter's
    template is not read."""
    try:
        text = data.decode("utf-8-sig")
    except UnicodeDecodeError:
        raise InputError(None, "not UTF-8 text") from None
    converter = _Converter(name, Path(base), template_given)
    converter.convert(_parser().parse(text))
    template = converter.template
    if template is None:
        template = json.loads(OFFICIAL_TEMPLATE_PATH.read_text(encoding="utf-8"))
    description = {
        "config": {"markdown": converter.markdown},
        "template": template,
        "document": {"elements": converter.elements},
    }
    return description, converter.warnings
