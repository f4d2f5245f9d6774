"""Footnotes: the document model has none, so each is written as a plain
paragraph "[^label]: text" at the end, with a warning (the reference stays
in the text as "[^label]")."""

from quillmark_cli.input.markdown.element_text import plain_text


def footnotes(converter, tokens, index, containers):
    label = None
    while tokens[index].type != "footnote_block_close":
        token = tokens[index]
        if token.type == "footnote_open":
            label = token.meta.get("label", token.meta.get("id"))
        elif token.type == "inline":
            line = token.map[0] + 1
            converter.warn(line, "footnote [^%s] written as a plain paragraph at the end" % label)
            text = plain_text(converter.inline(token, line, False))
            converter.literal(converter.styles["paragraph"], "[^%s]: %s" % (label, text), line)
        index += 1
    return index
