"""Laying out the package as an official document: the page (paper, margins,
character grid, page numbers) a template's `page` object gives, and the
masthead, signature and record block an input's `official` mapping asks for.

The generator builds the document as it always does; a subclass applies the
layout in `save`, just before the package is written, so nothing is parsed
twice. Without `page` and `official` the plain generator runs and the
package is byte for byte what it would be without this module.
"""

from tolvek.doc.generator.generate.generators.quillmark import Quillmark

from quillmark_cli.official.masthead import add_masthead
from quillmark_cli.official.page_setup import set_page
from quillmark_cli.official.record_block import add_record_block
from quillmark_cli.official.signature import place_signature


class OfficialQuillmark(Quillmark):
    """The generator, laying the document out in `save`, just before the
    package is written."""

    layout = (None, {})  # (page, official)

    def save(self, doc):
        lay_out(doc, *self.layout)
        return super().save(doc)


def generator(config, page, official):
    """The generator for an input: the host's own, or one that lays the
    package out when the input has a page layout or an `official` mapping."""
    if page is None and not official:
        return Quillmark(config)
    laid_out = OfficialQuillmark(config)
    laid_out.layout = (page, official or {})
    return laid_out


def lay_out(doc, page, official):
    if page is not None:
        set_page(doc, page)
    place_signature(doc, page)
    add_masthead(doc, page, official)
    add_record_block(doc, page, official)
