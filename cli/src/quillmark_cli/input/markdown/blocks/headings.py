"""ATX and setext headings: the first level is a title, the four levels
below it headers of level 1 to 4, numbered 一、（一）1.（1） in an official
document (deeper ones are written as level 4, with a warning)."""

# Headers go this many levels deep.
DEEPEST_LEVEL = 4


def heading(converter, tokens, index, containers):
    token, inline = tokens[index], tokens[index + 1]
    line = token.map[0] + 1
    depth = int(token.tag[1])
    if depth == 1:
        element = {"type": "title", "style_name": converter.styles["title"]}
    else:
        level = depth - 1
        if level > DEEPEST_LEVEL:
            converter.warn(line, "heading of level %d written as level 4: headers go four levels deep" % depth)
            level = DEEPEST_LEVEL
        element = {"type": "header", "style_name": converter.styles["heading%d" % level], "level": level}
    converter.add(element, converter.inline(inline, line), line)
    return index + 2
