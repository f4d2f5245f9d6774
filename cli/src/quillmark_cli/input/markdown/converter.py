"""The walk over a Markdown file's blocks, each handed to the module for its
kind, and the JSON description that comes of it."""

from pathlib import Path

from quillmark_cli.errors import InputError
from quillmark_cli.input.characters import first_unwritable, strings, unwritable_message
from quillmark_cli.input.limits import check_markdown_size
from quillmark_cli.input.markdown.addressees import take_addressees
from quillmark_cli.input.markdown.blocks.code import code_block
from quillmark_cli.input.markdown.blocks.containers import Containers
from quillmark_cli.input.markdown.blocks.dropped import html_block, thematic_break
from quillmark_cli.input.markdown.blocks.footnotes import footnotes
from quillmark_cli.input.markdown.blocks.headings import heading
from quillmark_cli.input.markdown.blocks.paragraphs import paragraph
from quillmark_cli.input.markdown.blocks.tables import table
from quillmark_cli.input.markdown.element_text import fill
from quillmark_cli.input.markdown.front_matter import Settings, read_front_matter
from quillmark_cli.input.markdown.inline import read_inline
from quillmark_cli.input.markdown.parser import parser
from quillmark_cli.input.reading import decode_text

# The token that opens each kind of block, and the module that writes it.
BLOCKS = {
    "heading_open": heading,
    "paragraph_open": paragraph,
    "fence": code_block,
    "code_block": code_block,
    "table_open": table,
    "footnote_block_open": footnotes,
    "html_block": html_block,
    "hr": thematic_break,
}


class Converter:
    """One input's elements and warnings, as its blocks are converted."""

    def __init__(self, name, settings):
        self.name = name
        self.settings = settings
        self.warnings = []
        self.elements = []
        self.pending_images = []  # image elements of the block being converted
        self.addressee_line = None  # the paragraph of one line right under the first title

    @property
    def styles(self):
        return self.settings.styles

    def warn(self, line, message):
        self.warnings.append("%s:%d: %s" % (self.name, line, message))

    def convert(self, tokens):
        containers = Containers()
        index = 0
        while index < len(tokens):
            token = tokens[index]
            block = BLOCKS.get(token.type)
            if block is not None:
                index = block(self, tokens, index, containers)
            else:
                containers.follow(token)
            index += 1

    def inline(self, token, line, warn_images=True):
        return read_inline(self, token, line, warn_images)

    def add(self, element, pieces, line):
        """Adds an element of `pieces`, then the images its block held."""
        images, self.pending_images = self.pending_images, []
        fill(element, pieces, lambda message: self.warn(line, message))
        if element.get("text") or element.get("runs") or not images:
            self.append(element, line)
        for image in images:
            self.append(image, line)

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
    check_markdown_size(text)
    _check_characters(text)
    settings = Settings(Path(base), given_styles)
    converter = Converter(name, settings)
    tokens = parser().parse(text)
    if tokens and tokens[0].type == "front_matter":
        front_matter = read_front_matter(tokens[0])
        if front_matter is None:
            converter.warn(1, "the lines between the --- lines are not front matter (not a YAML mapping): read "
                              "as Markdown")
            tokens = parser(front_matter=False).parse(text)
            front_matter = {}
        else:
            tokens = tokens[1:]
    else:
        front_matter = {}
    settings.read(front_matter)
    converter.convert(tokens)
    take_addressees(converter, settings)
    template = settings.template
    if template is None:
        template = settings.official_template()
    description = {
        "config": {"markdown": settings.markdown},
        "template": template,
    }
    if settings.official is not None:
        description["official"] = settings.official
    description["document"] = {"elements": converter.elements}
    return description, converter.warnings
