"""Tables: the document model has none, so each row becomes a plain
paragraph of its cells' text separated by tabs, with a warning."""

from quillmark_cli.input.markdown.element_text import plain_text


def table(converter, tokens, index, containers):
    line = tokens[index].map[0] + 1
    converter.warn(line, "table written as plain paragraphs, one a row with cells separated by tabs")
    row = []
    while tokens[index].type != "table_close":
        token = tokens[index]
        if token.type == "inline":
            row_line = token.map[0] + 1 if token.map else line
            row.append(plain_text(converter.inline(token, row_line, False)))
        elif token.type == "tr_close":
            converter.literal(converter.styles["table"], "\t".join(row), row_line)
            row = []
        index += 1
    return index
