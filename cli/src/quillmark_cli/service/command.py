"""`quillmark serve` (also `python -m quillmark_cli.service`): the command
line, the logging (one line per request) and uvicorn. SIGTERM or Ctrl-C
stops taking connections, lets the requests in flight finish (up to a
render's time limit), and ends every LibreOffice before the process
exits."""

import argparse
import ipaddress
import logging
import logging.config
import os
import sys

from quillmark_cli.errors import FAILED_STATUS
from quillmark_cli.service.settings import ENVIRONMENT_KEY, Settings

MINIMUM_PYTHON = (3, 9)
EXTRA_HINT = "install the server with: pip install 'quillmark-cli[serve]'"
_UNITS = {"": 1, "K": 1024, "M": 1024 ** 2, "G": 1024 ** 3}
DEFAULTS = Settings()


def _size(text):
    """Bytes from 512K, 2M and the like."""
    number, unit = text.strip().upper().rstrip("IB"), ""
    if number and number[-1] in _UNITS:
        number, unit = number[:-1], number[-1]
    try:
        value = int(number) * _UNITS[unit]
    except ValueError:
        raise argparse.ArgumentTypeError("expected a size such as 2M or 512K, got %s" % text) from None
    if value < 1:
        raise argparse.ArgumentTypeError("expected a size of at least one byte, got %s" % text)
    return value


def _count(low):
    def parse(text):
        try:
            value = int(text)
        except ValueError:
            raise argparse.ArgumentTypeError("expected a whole number, got %s" % text) from None
        if value < low:
            raise argparse.ArgumentTypeError("expected a number of at least %d, got %s" % (low, text))
        return value
    return parse


def _seconds(text):
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError("expected a number of seconds, got %s" % text) from None
    if not value > 0:
        raise argparse.ArgumentTypeError("expected a positive number of seconds, got %s" % text)
    return value


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="quillmark serve",
        description="The web editor (at /: write a notice in Markdown and see its pages as you type) and the "
                    "HTTP API (/api/docx, /api/pdf, /api/png; described at /api/openapi.json).",
        epilog="Each worker is a process with its own LibreOffices; nothing is kept between requests, so more "
               "workers, or more servers behind a load balancer, serve more requests.")
    parser.add_argument("--host", default="127.0.0.1",
                        help="the address to listen on (default: 127.0.0.1, this machine only; 0.0.0.0 for every "
                             "interface)")
    parser.add_argument("--port", type=_count(0), default=8000, help="the port (default: 8000)")
    parser.add_argument("--workers", type=_count(1), default=1, help="worker processes (default: 1)")
    parser.add_argument("--renderers", type=_count(0), default=DEFAULTS.renderers,
                        help="LibreOffice processes per worker, for the preview and PDFs (default: %d; 0 serves "
                             ".docx only)" % DEFAULTS.renderers)
    parser.add_argument("--queue", type=_count(0), default=DEFAULTS.queue,
                        help="renders that may wait for a LibreOffice, per worker; more get 503 with Retry-After "
                             "(default: %d)" % DEFAULTS.queue)
    parser.add_argument("--render-timeout", type=_seconds, default=DEFAULTS.render_seconds, metavar="SECONDS",
                        help="one render's time limit; LibreOffice is restarted past it (default: %g)"
                             % DEFAULTS.render_seconds)
    parser.add_argument("--max-body", type=_size, default=DEFAULTS.max_body, metavar="SIZE",
                        help="the largest request body, as 512K or 2M; larger ones get 413 (default: 2M)")
    parser.add_argument("--libreoffice", metavar="PROGRAM", help="the LibreOffice program (default: soffice on PATH)")
    parser.add_argument("--uno-python", metavar="PYTHON",
                        help="a Python that imports LibreOffice's uno module (default: the office's own, or "
                             "python3 where python3-uno is installed)")
    parser.add_argument("--log-level", choices=("debug", "info", "warning", "error"), default="info",
                        help="info logs one line per request (default: info)")
    args = parser.parse_args(argv)
    args.settings = Settings(max_body=args.max_body, render_seconds=args.render_timeout, queue=args.queue,
                             renderers=args.renderers, libreoffice=args.libreoffice, uno_python=args.uno_python)
    return args


def log_config(level):
    """uvicorn's logging, with the server's own lines (one per request)
    in its format, on standard error."""
    handler = {"class": "logging.StreamHandler", "formatter": "plain", "stream": "ext://sys.stderr"}
    return {
        "version": 1,
        "disable_existing_loggers": False,
        "formatters": {"plain": {"format": "%(asctime)s %(levelname)s %(message)s"}},
        "handlers": {"stderr": handler},
        "loggers": {
            "uvicorn": {"handlers": ["stderr"], "level": level.upper(), "propagate": False},
            "quillmark": {"handlers": ["stderr"], "level": level.upper(), "propagate": False},
        },
    }


def _is_loopback(host):
    if host == "localhost":
        return True
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        return False


def main(argv=None):
    argv = sys.argv[1:] if argv is None else list(argv)
    args = parse_arguments(argv)
    if sys.version_info < MINIMUM_PYTHON:
        sys.stderr.write("quillmark serve: needs Python %d.%d or later (its web libraries do); this is %d.%d\n"
                         % (MINIMUM_PYTHON + sys.version_info[:2]))
        return FAILED_STATUS
    try:
        import uvicorn

        from quillmark_cli.service.app import create_app
    except ImportError as error:
        sys.stderr.write("quillmark serve: %s (%s)\n" % (EXTRA_HINT, error))
        return FAILED_STATUS

    logging.config.dictConfig(log_config(args.log_level))
    log = logging.getLogger("quillmark.serve")
    shown = "[%s]" % args.host if ":" in args.host else args.host
    log.info("the editor: http://%s:%d/  the API: http://%s:%d/api/openapi.json", shown, args.port, shown, args.port)
    if not _is_loopback(args.host):
        log.warning("listening on %s: whoever reaches this machine there can use the server", args.host)
    options = dict(host=args.host, port=args.port, log_config=log_config(args.log_level), access_log=False,
                   server_header=False, timeout_graceful_shutdown=int(args.settings.render_seconds) + 5)
    try:
        if args.workers > 1:
            os.environ[ENVIRONMENT_KEY] = args.settings.to_environment()
            uvicorn.run("quillmark_cli.service.app:app_from_environment", factory=True, workers=args.workers,
                        **options)
        else:
            uvicorn.run(create_app(args.settings), **options)
    except SystemExit as stop:  # uvicorn's own statuses (3: the port is taken, say), logged by it
        return FAILED_STATUS if stop.code else 0
    return 0
