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
    converter.add({"type": "paragraph", "style_name": converter.styles[kind]}, pieces, line)
    return index + 2
