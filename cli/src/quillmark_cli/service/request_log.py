"""One log line per request: the client, the method and path, the status,
the bytes sent and the time taken, written when the response is done (or
the client has gone)."""

import logging
import time

log = logging.getLogger("quillmark.serve.requests")


class RequestLog:
    """ASGI middleware writing one line per HTTP request."""

    def __init__(self, app):
        self.app = app

    async def __call__(self, scope, receive, send):
        if scope["type"] != "http":
            return await self.app(scope, receive, send)
        started = time.perf_counter()
        status, sent = 0, 0

        async def counting_send(message):
            nonlocal status, sent
            if message["type"] == "http.response.start":
                status = message["status"]
            elif message["type"] == "http.response.body":
                sent += len(message.get("body", b""))
            await send(message)

        try:
            await self.app(scope, receive, counting_send)
        finally:
            client = scope.get("client")
            path = scope.get("raw_path") or scope.get("path", "").encode("utf-8")
            if scope.get("query_string"):
                path += b"?" + scope["query_string"]
            log.info("%s %s %s %d %d %.1fms", "%s:%d" % tuple(client) if client else "-", scope.get("method"),
                     _printable(path), status or 500, sent, (time.perf_counter() - started) * 1000)


def _printable(raw):
    """The request target as it came, on one line whatever it holds."""
    return "".join(c if " " < c < "\x7f" else "\\x%02x" % ord(c) for c in raw.decode("latin-1"))
