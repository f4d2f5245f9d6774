"""A bad input's problem as the API gives it: the command's message, and the
place it names as numbers an editor can move to (the line and column) or,
for a JSON input, the path of the value."""

import re

# What the command's messages name as the place in a text.
_LINE = re.compile(r"^line (\d+)(?: column (\d+))?$")
_FRONT_MATTER = "front matter"
# A YAML error's own line inside the front matter ("not valid YAML (line 4): ...").
_YAML_LINE = re.compile(r"^not valid YAML \(line (\d+)\)")
# How the converter names an input in a warning: NAME:LINE: message.
_WARNING = re.compile(r"^(\d+): (.*)$", re.S)


def problem(where, message, text=None):
    """The problem for `message`, the command's line for an input without
    its name ("WHERE: DETAIL", or DETAIL), whose place is `where`; `text`,
    the Markdown input's text, gives front-matter places their line."""
    found = {"where": where, "message": message, "line": None, "column": None, "path": None}
    if not where:
        return found
    match = _LINE.match(where)
    if match:
        found["line"] = int(match.group(1))
        found["column"] = int(match.group(2)) if match.group(2) else None
    elif where == _FRONT_MATTER or where.startswith(_FRONT_MATTER + ": "):
        detail = message[len(where) + 2:]
        yaml_line = _YAML_LINE.match(detail)
        if yaml_line:
            found["line"] = int(yaml_line.group(1))
        elif text is not None:
            keys = where.split(": ")[1:]
            found["line"] = front_matter_line(text, keys)
    else:
        found["path"] = where
    return found


def warning(line, name):
    """A converter's warning ("NAME:LINE: message") as {line, message}."""
    prefix = name + ":"
    rest = line[len(prefix):] if line.startswith(prefix) else line
    match = _WARNING.match(rest)
    if match:
        return {"line": int(match.group(1)), "message": match.group(2)}
    return {"line": None, "message": rest}


def front_matter_line(text, keys):
    """The line of the value `keys` leads to in the front matter of `text`
    (the deepest key found, for a key the mapping lacks); its first line
    when the keys lead nowhere."""
    import yaml

    from quillmark_cli.input.markdown.parser import front_matter_only

    tokens = front_matter_only().parse(text)
    if not tokens or tokens[0].type != "front_matter":
        return None
    first = tokens[0].map[0] + 1  # the opening --- line, counted from 1
    try:
        node = yaml.compose(tokens[0].content)
    except yaml.YAMLError:
        return first
    line = first
    for key in keys:
        if not isinstance(node, yaml.MappingNode):
            break
        for key_node, value_node in node.value:
            if isinstance(key_node, yaml.ScalarNode) and key_node.value == key:
                line = first + 1 + key_node.start_mark.line
                node = value_node
                break
        else:
            break
    return line
