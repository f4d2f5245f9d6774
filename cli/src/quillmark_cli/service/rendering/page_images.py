"""PDF pages as PNG images, drawn by PDFium (pypdfium2) and written by
Pillow, one document at a time: PDFium is not made for threads."""

import io
import threading

_LOCK = threading.Lock()
POINTS_PER_INCH = 72


class NoSuchPage(Exception):
    """A page number past the document's last page."""


def page_images(pdf, dpi, pages=None, at_most=None):
    """(the number of pages, [(width, height, PNG bytes)]) for the pages of
    `pdf` numbered in `pages` (from 1), or for the first `at_most` pages
    when `pages` is None, drawn at `dpi`."""
    import pypdfium2

    with _LOCK:
        document = pypdfium2.PdfDocument(pdf)
        try:
            count = len(document)
            numbers = range(1, min(count, at_most or count) + 1) if pages is None else pages
            images = []
            for number in numbers:
                if not 1 <= number <= count:
                    raise NoSuchPage("page %d asked for, the document has %d" % (number, count))
                page = document[number - 1]
                try:
                    bitmap = page.render(scale=dpi / POINTS_PER_INCH)
                    image = bitmap.to_pil()
                    bitmap.close()
                finally:
                    page.close()
                out = io.BytesIO()
                # Pages are mostly white: the fastest compression costs little in size.
                image.save(out, format="PNG", compress_level=1)
                images.append((image.width, image.height, out.getvalue()))
            return count, images
        finally:
            document.close()
