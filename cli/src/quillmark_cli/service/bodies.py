"""A request's document: its format, from the Content-Type, and its bytes,
read up to the size limit."""

MARKDOWN_TYPES = ("text/markdown", "text/x-markdown")
JSON_TYPES = ("application/json",)


class TooLarge(Exception):
    """A body over the limit (413)."""

    def __init__(self, limit):
        super().__init__("the body is larger than %d bytes, the limit" % limit)


class UnsupportedType(Exception):
    """A body neither Markdown nor JSON (415)."""

    def __init__(self, given):
        super().__init__("send Markdown as text/markdown or JSON as application/json, not %s" % (
            given or "a body without a Content-Type"))


def is_markdown(content_type):
    """True for Markdown, False for JSON, from a Content-Type header (its
    parameters, a charset say, are not read: the bytes are decoded as the
    command decodes a file); raises UnsupportedType."""
    media = (content_type or "").split(";", 1)[0].strip().lower()
    if media in MARKDOWN_TYPES:
        return True
    if media in JSON_TYPES or (media.startswith("application/") and media.endswith("+json")):
        return False
    raise UnsupportedType(media)


async def read_body(request, limit):
    """The body's bytes; raises TooLarge as soon as it passes `limit`,
    before a body announced as larger is read at all."""
    length = request.headers.get("content-length", "")
    if length.isdigit() and int(length) > limit:
        raise TooLarge(limit)
    chunks, size = [], 0
    async for chunk in request.stream():
        size += len(chunk)
        if size > limit:
            raise TooLarge(limit)
        chunks.append(chunk)
    return b"".join(chunks)
