"""Markdown input: a CommonMark file (with optional YAML front matter) turned
into the command's JSON description, the same model a host would build.

The text is parsed (`parser`); the front matter gives the settings
(`front_matter`); the converter walks the blocks (`converter`), each kind
of block written by a module of its own (`blocks/`), their inline content
read into pieces (`inline`) and the pieces written as an element's text or
runs (`element_text`).

What the model cannot hold is said, one warning a thing, never dropped
silently; the warnings come back with the description.
"""
