"""Blocks the document model has no place for, dropped with a warning: raw
HTML (only <u>…</u> inside a paragraph is understood) and thematic
breaks."""


def html_block(converter, tokens, index, containers):
    converter.warn(tokens[index].map[0] + 1, "HTML dropped: only <u>…</u> is understood")
    return index


def thematic_break(converter, tokens, index, containers):
    converter.warn(tokens[index].map[0] + 1, "thematic break dropped: the document model has none")
    return index
