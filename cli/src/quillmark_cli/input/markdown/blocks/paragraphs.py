"""Paragraphs, also inside block quotes and list items: one paragraph
element each, in the style of where it stands."""

from quillmark_cli.input.markdown.inline import Piece


def paragraph(converter, tokens, index, containers):
    token, inline = tokens[index], tokens[index + 1]
    line = token.map[0] + 1
    kind = containers.block_kind()
    prefix = containers.paragraph_prefix()
    pieces = converter.inline(inline, line)
    if prefix:
        pieces.insert(0, Piece(prefix))
    element = {"type": "paragraph", "style_name": converter.styles[kind]}
    # A paragraph of one line directly under the title may be the
    # addressees' line (see addressees).
    if kind == "paragraph" and token.map[1] - token.map[0] == 1 and converter.elements and \
            converter.elements[-1]["type"] == "title" and converter.addressee_line is None:
        converter.addressee_line = element
    converter.add(element, pieces, line)
    return index + 2
