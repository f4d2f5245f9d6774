"""Rendering packages whose record block must fall on an even page. A
package is rendered as it is; where its PDF has an odd number of pages, the
record block (always on the last page) is moved to the next page and the
package rendered again; where the count is still odd, the text ended on an
even page with the block on a page of its own, and a blank page goes before
the block. A third rendering is needed only then."""

import re

from quillmark_cli.official.record_block_page import on_even_page
from quillmark_cli.output.pdf.batch import Batch
from quillmark_cli.output.pdf.faults import RenderError

# The page objects of a PDF as LibreOffice writes it (no object streams):
# /Type /Page, not /Pages.
_PAGE_OBJECT = re.compile(rb"/Type\s*/Page(?![A-Za-z])")


def page_count(pdf):
    return len(_PAGE_OBJECT.findall(pdf))


def render_on_even_pages(packages, even, rendering):
    """(packages, results, stand_ins): each package as it is to be written
    (moved where `even[i]` asks for the record block on an even page), its
    PDF (bytes) or RenderError, and the (font, face) pairs the rendering
    stood in. Raises RenderError when LibreOffice cannot render here at
    all."""
    laid_out = list(packages)
    packages = list(packages)
    results = [None] * len(packages)
    stand_ins = []
    waiting = list(range(len(packages)))
    for moved in (None, False, True):  # as laid out; to the next page; after a blank page
        if not waiting:
            break
        if moved is not None:
            for index in waiting:
                packages[index] = on_even_page(laid_out[index], blank=moved)
        with Batch([packages[index] for index in waiting], rendering.program, rendering.processes,
                   rendering.pdf_a, rendering.limit) as batch:
            stand_ins = stand_ins or batch.stand_ins
            rendered = list(batch.results())
        still = []
        for index, pdf in zip(waiting, rendered):
            results[index] = pdf
            if even[index] and moved is not True and not isinstance(pdf, RenderError) and page_count(pdf) % 2:
                still.append(index)
        waiting = still
    return packages, results, stand_ins
