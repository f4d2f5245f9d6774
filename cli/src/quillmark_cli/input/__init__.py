"""Reading an input into what the generator takes.

A file (or standard input) is read as bytes and decoded (`reading`); JSON
text is parsed (`json_parsing`), checked against the shipped schema
(`schema`) and for characters a Word document cannot hold (`characters`);
the template's styles are checked against Word's own (`style_checks`); and
the value becomes the host's model objects (`loading`). A Markdown file is
first turned into that same JSON description (`markdown`).
"""
