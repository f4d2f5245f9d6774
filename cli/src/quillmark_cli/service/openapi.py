"""The API's OpenAPI description, served at /api/openapi.json."""

from quillmark_cli import __version__

_DOCUMENT_BODY = {
    "required": True,
    "description": "The document: a Markdown notice, as the command reads a .md file (front matter included; a "
                   "template named by path is refused), or a JSON description (the schema at /api/schema). "
                   "Decoded as the command decodes a file: UTF-8, or UTF-16/32 with a byte-order mark.",
    "content": {
        "text/markdown": {"schema": {"type": "string"}},
        "application/json": {"schema": {"$ref": "/api/schema"}},
    },
}
_ERROR = {
    "type": "object",
    "required": ["error", "message"],
    "properties": {
        "error": {"type": "string", "description": "bad-input, too-large, unsupported-media-type, bad-parameter, "
                                                   "not-acceptable, busy, render-failed, no-renderer, failed"},
        "message": {"type": "string"},
    },
}
_PROBLEM = {
    "type": "object",
    "properties": {
        "message": {"type": "string", "description": "the line the command prints for the input, after its name"},
        "where": {"type": ["string", "null"], "description": "the place the message names"},
        "line": {"type": ["integer", "null"], "description": "the line in the input, counted from 1"},
        "column": {"type": ["integer", "null"]},
        "path": {"type": ["string", "null"], "description": "the JSON path of the value, for JSON inputs"},
    },
}
_WARNING = {"type": "object", "properties": {"line": {"type": ["integer", "null"]}, "message": {"type": "string"}}}
_WARNINGS_HEADER = {
    "Quillmark-Warnings": {
        "description": "what the document lost in conversion, as the JSON array of warnings (left out when "
                       "there are none, or when they pass 4 KiB)",
        "schema": {"type": "string"},
    },
    "Content-Disposition": {"description": "attachment, with the generator's file name", "schema": {"type": "string"}},
}


def _json(schema, description, headers=None):
    response = {"description": description, "content": {"application/json": {"schema": schema}}}
    if headers:
        response["headers"] = headers
    return response


_RETRY = {"Retry-After": {"description": "seconds to wait before trying again", "schema": {"type": "integer"}}}
_FAILURES = {
    "413": _json(_ERROR, "the body is larger than the server's limit (quillmark serve --max-body)"),
    "415": _json(_ERROR, "the body is neither text/markdown nor application/json"),
    "422": _json({"allOf": [_ERROR, {"type": "object", "properties": {
        "problems": {"type": "array", "items": _PROBLEM},
        "warnings": {"type": "array", "items": _WARNING}}}]},
        "bad input: the problem the command reports for it, with its place"),
    "500": _json(_ERROR, "the generator, the layout or LibreOffice failed on an input it accepted"),
}
_RENDER_FAILURES = dict(_FAILURES, **{
    "400": _json(_ERROR, "a query parameter out of its range"),
    "503": _json(_ERROR, "busy: every LibreOffice is busy and the line of waiting renders is full (Retry-After); "
                         "render-failed: LibreOffice died or passed its time limit and is being restarted "
                         "(Retry-After); no-renderer: LibreOffice is not installed, or --renderers 0",
                 _RETRY),
})
_DPI = {"name": "dpi", "in": "query", "schema": {"type": "integer", "minimum": 24, "maximum": 300, "default": 96},
        "description": "the image's resolution, in pixels per inch"}


def _binary(media_type, description):
    return {"description": description, "headers": _WARNINGS_HEADER,
            "content": {media_type: {"schema": {"type": "string", "format": "binary"}}}}


def _document_operation(summary, responses, parameters=()):
    return {"post": {"summary": summary, "requestBody": _DOCUMENT_BODY, "parameters": list(parameters),
                     "responses": responses}}


def description():
    docx = "application/vnd.openxmlformats-officedocument.wordprocessingml.document"
    return {
        "openapi": "3.1.0",
        "info": {
            "title": "quillmark",
            "version": __version__,
            "description": "Markdown notices and JSON descriptions into Word packages laid out as official "
                           "documents, PDFs and page images: the quillmark command's conversion over HTTP. "
                           "The format is chosen by the path, or on /api/convert by the Accept header.",
        },
        "paths": {
            "/api/docx": _document_operation("The Word package (.docx)", dict(
                _FAILURES, **{"200": _binary(docx, "the package, byte for byte what the command writes")})),
            "/api/pdf": _document_operation("The PDF, rendered by LibreOffice", dict(
                _RENDER_FAILURES, **{"200": _binary("application/pdf", "the PDF")})),
            "/api/png": _document_operation("One page as a PNG image", dict(
                _RENDER_FAILURES, **{"200": _binary("image/png", "the page")}), [
                {"name": "page", "in": "query", "schema": {"type": "integer", "minimum": 1, "default": 1},
                 "description": "the page, counted from 1"}, _DPI]),
            "/api/convert": _document_operation(
                "The format the Accept header prefers: the .docx (also for */* or no Accept), the PDF, or the "
                "first page as PNG", dict(_RENDER_FAILURES, **{
                    "200": {"description": "the document in the format accepted",
                            "content": {media: {"schema": {"type": "string", "format": "binary"}}
                                        for media in (docx, "application/pdf", "image/png")}},
                    "406": _json(_ERROR, "the Accept header names none of the three formats")}), [
                    {"name": "page", "in": "query", "schema": {"type": "integer", "minimum": 1, "default": 1},
                     "description": "for PNG: the page, counted from 1"}, _DPI]),
            "/api/preview": _document_operation("Every page as PNG, with the warnings (what the editor shows)", dict(
                _RENDER_FAILURES, **{"200": _json({"type": "object", "properties": {
                    "pages": {"type": "array", "items": {"type": "object", "properties": {
                        "width": {"type": "integer"}, "height": {"type": "integer"},
                        "png": {"type": "string", "contentEncoding": "base64"}}}},
                    "page_count": {"type": "integer", "description": "the document's pages; the first 30 are "
                                                                        "drawn"},
                    "warnings": {"type": "array", "items": _WARNING}}}, "the pages")}), [_DPI]),
            "/api/schema": {"get": {"summary": "The JSON Schema of a JSON description", "responses": {
                "200": {"description": "the schema", "content": {"application/schema+json": {}}}}}},
            "/api/health": {"get": {"summary": "The server's health, and its LibreOffices'", "responses": {
                "200": _json({"type": "object"}, "always, while the server runs: libreoffice.available says "
                                                 "whether PDFs and images can be had")}}},
            "/api/openapi.json": {"get": {"summary": "This description", "responses": {
                "200": _json({"type": "object"}, "the OpenAPI description")}}},
        },
    }
