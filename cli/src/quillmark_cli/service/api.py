"""The HTTP API: a Markdown notice (text/markdown) or a JSON description
(application/json) in; the .docx, the PDF, one page as PNG, or the page
preview out. The format is chosen by the path (/api/docx, /api/pdf,
/api/png), or on /api/convert by the Accept header. Problems are 422 with
each problem's place and the command's message; errors are JSON with an
`error` code and a `message`."""

import base64
import json
from pathlib import PurePosixPath
from urllib.parse import quote

from starlette.concurrency import run_in_threadpool
from starlette.responses import JSONResponse, Response

from quillmark_cli import __version__
from quillmark_cli.service.bodies import TooLarge, UnsupportedType, is_markdown, read_body
from quillmark_cli.service.converting import ConversionFailed, Rejected, convert_body
from quillmark_cli.service.rendering.page_images import NoSuchPage, page_images
from quillmark_cli.service.rendering.pool import NoRenderer, QueueFull
from quillmark_cli.service.rendering.renderer import RenderError, RenderFailed

DOCX = "application/vnd.openxmlformats-officedocument.wordprocessingml.document"
PDF = "application/pdf"
PNG = "image/png"
FORMATS = {DOCX: "docx", PDF: "pdf", PNG: "png"}
DEFAULT_DPI, MIN_DPI, MAX_DPI = 96, 24, 300
PREVIEW_PAGES = 30  # drawn for the preview; a longer document says how many it has
# Warnings go with a download in this header, as JSON in ASCII, up to this size.
WARNINGS_HEADER, WARNINGS_HEADER_LIMIT = "Quillmark-Warnings", 4096


class BadParameter(Exception):
    """A query parameter out of its range (400)."""


class NotAcceptable(Exception):
    """An Accept header that names none of the formats (406)."""


def error(status, code, message, headers=None, **more):
    return JSONResponse(dict({"error": code, "message": message}, **more), status, headers=headers)


# Each failure's status and code; the handlers below are the application's.
def rejected(request, exc):
    return error(422, "bad-input", exc.problems[0]["message"], problems=exc.problems, warnings=exc.warnings)


def too_large(request, exc):
    return error(413, "too-large", str(exc))


def unsupported_type(request, exc):
    return error(415, "unsupported-media-type", str(exc))


def bad_parameter(request, exc):
    return error(400, "bad-parameter", str(exc))


def not_acceptable(request, exc):
    return error(406, "not-acceptable", str(exc))


def queue_full(request, exc):
    return error(503, "busy", str(exc), headers={"Retry-After": str(exc.retry_after)})


def render_failed(request, exc):
    return error(503, "render-failed", str(exc), headers={"Retry-After": "1"})


def no_renderer(request, exc):
    return error(503, "no-renderer", str(exc))


def failed(request, exc):
    return error(500, "failed", str(exc))


EXCEPTION_HANDLERS = {
    Rejected: rejected, TooLarge: too_large, UnsupportedType: unsupported_type, BadParameter: bad_parameter,
    NotAcceptable: not_acceptable, QueueFull: queue_full, RenderFailed: render_failed, NoRenderer: no_renderer,
    ConversionFailed: failed, RenderError: failed,
}


async def _converted(request):
    settings = request.app.state.settings
    markdown = is_markdown(request.headers.get("content-type"))
    body = await read_body(request, settings.max_body)
    return await run_in_threadpool(convert_body, body, markdown)


def _integer(request, name, default, low, high):
    text = request.query_params.get(name)
    if text is None:
        return default
    try:
        value = int(text)
    except ValueError:
        raise BadParameter("%s: expected a whole number, got %r" % (name, text)) from None
    if not low <= value <= high:
        raise BadParameter("%s: expected a number from %d to %d, got %d" % (name, low, high, value))
    return value


def _download(data, media_type, file_name, warnings):
    headers = {"Content-Disposition": _disposition(file_name)}
    if warnings:
        text = json.dumps(warnings)
        if len(text) <= WARNINGS_HEADER_LIMIT:
            headers[WARNINGS_HEADER] = text
    return Response(data, media_type=media_type, headers=headers)


def _disposition(file_name):
    """The name as it is (RFC 6266's filename*), and a plain one for older
    clients where it is not plain ASCII."""
    plain = file_name.isascii() and file_name.isprintable() and not set(file_name) & set('"\\;')
    fallback = file_name if plain else "output" + PurePosixPath(file_name).suffix
    return "attachment; filename=\"%s\"; filename*=UTF-8''%s" % (fallback, quote(file_name, safe=""))


def _named(file_name, suffix):
    stem = file_name[:-len(".docx")] if file_name.lower().endswith(".docx") else file_name
    return stem + suffix


async def _pdf(request, converted):
    return await request.app.state.pool.render_pdf(converted.data)


async def docx(request):
    converted = await _converted(request)
    return _download(converted.data, DOCX, converted.file_name, converted.warnings)


async def pdf(request):
    converted = await _converted(request)
    return _download(await _pdf(request, converted), PDF, _named(converted.file_name, ".pdf"), converted.warnings)


async def png(request):
    page = _integer(request, "page", 1, 1, 10000)
    dpi = _integer(request, "dpi", DEFAULT_DPI, MIN_DPI, MAX_DPI)
    converted = await _converted(request)
    document = await _pdf(request, converted)
    try:
        _, [(_, _, image)] = await run_in_threadpool(page_images, document, dpi, [page])
    except NoSuchPage as missing:
        raise BadParameter("page: %s" % missing) from None
    return _download(image, PNG, _named(converted.file_name, "-page-%d.png" % page), converted.warnings)


def _accepted(header):
    """The format an Accept header prefers among ours (docx when it names
    none, or accepts anything)."""
    best, best_quality = None, 0.0
    for item in (header or "*/*").split(","):
        parts = [part.strip() for part in item.split(";")]
        media, quality = parts[0].lower(), 1.0
        for parameter in parts[1:]:
            if parameter.startswith("q="):
                try:
                    quality = float(parameter[2:])
                except ValueError:
                    quality = 0.0
        if media in ("*/*", "application/*"):
            media = DOCX
        elif media == "image/*":
            media = PNG
        if media in FORMATS and quality > best_quality:
            best, best_quality = media, quality
    if best is None:
        raise NotAcceptable("accept one of %s" % ", ".join(FORMATS))
    return FORMATS[best]


async def convert(request):
    return await {"docx": docx, "pdf": pdf, "png": png}[_accepted(request.headers.get("accept"))](request)


async def preview(request):
    """Every page as PNG, in JSON, with the warnings: what the editor shows."""
    dpi = _integer(request, "dpi", DEFAULT_DPI, MIN_DPI, MAX_DPI)
    converted = await _converted(request)
    document = await _pdf(request, converted)
    count, images = await run_in_threadpool(page_images, document, dpi, None, PREVIEW_PAGES)
    pages = [{"width": width, "height": height, "png": base64.b64encode(image).decode("ascii")}
             for width, height, image in images]
    return JSONResponse({"pages": pages, "page_count": count, "warnings": converted.warnings})


async def health(request):
    return JSONResponse({"status": "ok", "version": __version__, "libreoffice": request.app.state.pool.state()})


async def schema(request):
    from quillmark_cli.input.schema import SCHEMA_PATH

    return Response(SCHEMA_PATH.read_bytes(), media_type="application/schema+json")


async def openapi(request):
    from quillmark_cli.service.openapi import description

    return JSONResponse(description())
