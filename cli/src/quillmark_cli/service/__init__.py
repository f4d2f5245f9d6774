"""`quillmark serve`: the web editor with its live page preview and the HTTP
API, an ASGI application that keeps nothing between requests. Conversion is
the command's own (conversion.py), so a request gives the bytes and the
messages the command gives for the same input; `rendering/` keeps
LibreOffice running for PDFs and page images.

The web libraries are an optional extra (`pip install 'quillmark-cli[serve]'`),
imported only by `quillmark serve`: the rest of the command runs without
them."""
