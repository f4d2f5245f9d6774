"""The editor page at /: static/index.html with the bundled official notice
in its editor, escaped as HTML text (the page's script and styles are files
of their own, served from /static)."""

import html
from pathlib import Path

from starlette.responses import HTMLResponse

STATIC = Path(__file__).with_name("static")
_PLACE = "<!-- the notice -->"


def page_html():
    """The page's HTML, made once: the bundled notice in the editor."""
    from quillmark_cli.planning import BUNDLED_EXAMPLE

    page = (STATIC / "index.html").read_text(encoding="utf-8")
    notice = BUNDLED_EXAMPLE.read_text(encoding="utf-8")
    return page.replace(_PLACE, html.escape(notice, quote=False))


def editor_page():
    """The endpoint for /."""
    body = page_html().encode("utf-8")

    async def page(request):
        return HTMLResponse(body, headers={"Cache-Control": "no-cache"})

    return page
