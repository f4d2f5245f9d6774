"""The ASGI application: the editor page, its static files and the API,
with the security headers and one log line per request. Nothing is kept
between requests but the LibreOffices that render them, so a deployment
scales by adding workers or instances behind a load balancer."""

from contextlib import asynccontextmanager

from starlette.applications import Starlette
from starlette.concurrency import run_in_threadpool
from starlette.middleware import Middleware
from starlette.routing import Mount, Route
from starlette.staticfiles import StaticFiles

from quillmark_cli.service import api
from quillmark_cli.service.converting import convert_body
from quillmark_cli.service.editor_page import STATIC, editor_page
from quillmark_cli.service.headers import SecurityHeaders
from quillmark_cli.service.rendering.pool import RendererPool
from quillmark_cli.service.request_log import RequestLog
from quillmark_cli.service.settings import Settings

DOCUMENT_ROUTES = (
    ("/api/docx", api.docx),
    ("/api/pdf", api.pdf),
    ("/api/png", api.png),
    ("/api/convert", api.convert),
    ("/api/preview", api.preview),
)


def create_app(settings=None):
    settings = settings or Settings()

    @asynccontextmanager
    async def lifespan(app):
        # The bundled notice, converted now and rendered by each LibreOffice
        # as it starts: the first request then costs what every other does.
        from quillmark_cli.planning import BUNDLED_EXAMPLE

        notice = await run_in_threadpool(convert_body, BUNDLED_EXAMPLE.read_bytes(), True)
        await app.state.pool.start(notice.data)
        try:
            yield
        finally:
            await app.state.pool.close()

    routes = [Route("/", editor_page(), methods=["GET"])]
    routes += [Route(path, endpoint, methods=["POST"]) for path, endpoint in DOCUMENT_ROUTES]
    routes += [
        Route("/api/health", api.health, methods=["GET"]),
        Route("/api/schema", api.schema, methods=["GET"]),
        Route("/api/openapi.json", api.openapi, methods=["GET"]),
        Mount("/static", StaticFiles(directory=str(STATIC)), name="static"),
    ]
    app = Starlette(routes=routes, lifespan=lifespan, exception_handlers=api.EXCEPTION_HANDLERS,
                    middleware=[Middleware(RequestLog), Middleware(SecurityHeaders)])
    app.state.settings = settings
    app.state.pool = RendererPool(settings)
    return app


def app_from_environment():
    """The application of a worker process (uvicorn --workers), with the
    settings `quillmark serve` put in the environment."""
    return create_app(Settings.from_environment())
