"""Fenced and indented code blocks: the document model has no code, so each
line becomes a plain paragraph of its text, with a warning."""


def code_block(converter, tokens, index, containers):
    token = tokens[index]
    line = token.map[0] + 1
    converter.warn(line, "code block written as plain paragraphs: the document model has no code")
    for text in token.content.rstrip("\n").split("\n"):
        converter.literal(converter.styles["code"], text, line)
    return index
