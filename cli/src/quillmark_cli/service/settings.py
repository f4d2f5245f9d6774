"""The server's limits and renderers, as `quillmark serve` sets them. Worker
processes (--workers) read them from the environment, where the command puts
them before it starts the workers."""

import json
import os
from dataclasses import asdict, dataclass
from typing import Optional

ENVIRONMENT_KEY = "QUILLMARK_SERVE_SETTINGS"


@dataclass(frozen=True)
class Settings:
    max_body: int = 2 * 1024 * 1024  # bytes in a request body; a notice is a few kilobytes
    render_seconds: float = 30.0  # one render's time limit; LibreOffice is restarted past it
    queue: int = 8  # renders waiting for a LibreOffice, per worker; more get 503
    renderers: int = 1  # LibreOffice processes per worker
    libreoffice: Optional[str] = None  # the program, when not soffice on PATH
    uno_python: Optional[str] = None  # the Python that has LibreOffice's uno module, when not found by itself
    start_seconds: float = 90.0  # for a LibreOffice to start and take its first document

    def to_environment(self):
        return json.dumps(asdict(self))

    @classmethod
    def from_environment(cls, environ=None):
        text = (environ if environ is not None else os.environ).get(ENVIRONMENT_KEY)
        return cls(**json.loads(text)) if text else cls()
