"""The CommonMark parser the converter reads with: tables and footnotes on,
front matter recognised, and block quotes and lists nested deeper than the
parser follows refused rather than dropped."""

import functools

from markdown_it import MarkdownIt
from mdit_py_plugins.footnote import footnote_plugin
from mdit_py_plugins.front_matter import front_matter_plugin

from quillmark_cli.errors import InputError


def _guard_nesting(md):
    """markdown-it drops, without a word, the content of block quotes and
    lists nested deeper than its limit; such a file is refused instead,
    naming the first line that would be lost."""
    tokenize = md.block.tokenize

    def guarded(state, start_line, end_line, *rest):
        if state.level >= md.options["maxNesting"]:
            line = state.skipEmptyLines(start_line)
            if line < end_line and state.sCount[line] >= state.blkIndent:
                raise InputError("line %d" % (line + 1), "block quotes and lists nested too deeply to be read "
                                 "(at most %d block quotes or %d lists, one inside another)" % (
                                     md.options["maxNesting"] - 1, md.options["maxNesting"] // 2 - 1))
        return tokenize(state, start_line, end_line, *rest)

    md.block.tokenize = guarded
    return md


@functools.lru_cache(maxsize=None)
def parser(front_matter=True):
    """The parser, made once per process: parsing keeps its state in the
    parse, not in the parser."""
    md = MarkdownIt("commonmark").enable("table").use(footnote_plugin)
    if front_matter:
        md.use(front_matter_plugin)
    return _guard_nesting(md)


@functools.lru_cache(maxsize=None)
def front_matter_only():
    """A parser that finds the front matter and nothing else: the rest of
    the text is left in paragraphs, their inline content unread."""
    return MarkdownIt("zero").use(front_matter_plugin).disable("inline")
