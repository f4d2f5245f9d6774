"""The LibreOffices a server worker keeps running, and the bounded line of
requests that wait for one: each renders one package at a time; a request
that would wait behind a full line is turned away at once (503 with
Retry-After), and a LibreOffice that dies or passes its time limit is
started again while the next request waits for it."""

import asyncio
import logging
import math
import shutil
import time
from collections import deque

from quillmark_cli.service.rendering.renderer import (
    INSTALL_HINT, PDF_EXPORT, Renderer, RenderError, RenderFailed, find_uno_python,
)

log = logging.getLogger("quillmark.serve")
# Between failed starts of a LibreOffice, growing to the last.
_RESTART_PAUSES = (1, 2, 5, 10, 30)


class QueueFull(Exception):
    """Every LibreOffice is busy and the line is full."""

    def __init__(self, retry_after):
        super().__init__("every LibreOffice is busy and %d renders are waiting" % retry_after)
        self.retry_after = retry_after


class NoRenderer(Exception):
    """LibreOffice, or its Python bridge, is not installed."""


class _Slot:
    """One renderer, with the generation that counts its starts: an entry
    in the idle line is only good for the start it was made in."""

    def __init__(self, renderer):
        self.renderer = renderer
        self.generation = 0
        self.ready = False


class RendererPool:
    def __init__(self, settings):
        from quillmark_cli.output.pdf.program import find_libreoffice

        self.settings = settings
        given = settings.libreoffice
        self.program = (shutil.which(given) if given else find_libreoffice()) if settings.renderers > 0 else None
        self.uno_python = None
        self.problem = None
        if settings.renderers < 1:
            self.problem = "rendering is turned off (--renderers 0): the server gives .docx only"
        elif self.program is None:
            self.problem = INSTALL_HINT if not given else "%s: no such program" % given
        else:
            self.uno_python = find_uno_python(self.program, settings.uno_python)
            if self.uno_python is None:
                self.problem = INSTALL_HINT if settings.uno_python is None else (
                    "%s cannot import LibreOffice's uno module" % settings.uno_python)
        self.slots = []
        self.waiting = 0
        self.busy = 0
        self.durations = deque(maxlen=32)
        self._idle = None
        self._warm_up = None
        self._tasks = []
        self._closing = False

    @property
    def available(self):
        return self.problem is None

    async def start(self, warm_up=None):
        """Starts the LibreOffices in the background: requests wait for the
        first that is ready. Each renders the package `warm_up` before it
        takes requests, so that the first request waits no longer than the
        others."""
        self._idle = asyncio.Queue()
        self._warm_up = warm_up
        if not self.available:
            log.warning("no preview or PDF: %s", self.problem)
            return
        for _ in range(self.settings.renderers):
            slot = _Slot(Renderer(self.program, self.uno_python, self.settings.start_seconds))
            self.slots.append(slot)
            self._tasks.append(asyncio.ensure_future(self._keep(slot)))

    async def _keep(self, slot):
        """Keeps one LibreOffice running: starts it, and starts it again
        after it ends, until the pool closes."""
        failures = 0
        while not self._closing:
            try:
                await slot.renderer.start()
                if self._warm_up is not None:
                    await slot.renderer.render(self._warm_up, PDF_EXPORT, self.settings.start_seconds)
            except RenderError:
                pass  # it runs, and will say so again for a request
            except RenderFailed as error:
                pause = _RESTART_PAUSES[min(failures, len(_RESTART_PAUSES) - 1)]
                failures += 1
                log.warning("%s; trying again in %d s", error, pause)
                await asyncio.sleep(pause)
                continue
            failures = 0
            slot.generation += 1
            slot.ready = True
            self._idle.put_nowait((slot, slot.generation))
            await slot.renderer.ended()
            slot.ready = False
            if not self._closing:
                log.warning("LibreOffice ended; starting another")
                await slot.renderer.kill()

    async def _take(self):
        while True:
            slot, generation = await self._idle.get()
            if slot.ready and slot.generation == generation and slot.renderer.running():
                return slot

    def retry_after(self):
        """Seconds until a place in the line is likely free."""
        mean = sum(self.durations) / len(self.durations) if self.durations else 1.0
        return max(1, math.ceil(mean * (self.waiting + 1) / max(1, len(self.slots))))

    async def render_pdf(self, package):
        """The PDF of `package`; raises NoRenderer, QueueFull or
        RenderFailed (503s) or RenderError (500)."""
        if not self.available:
            raise NoRenderer(self.problem)
        if self._closing:
            raise RenderFailed("the server is stopping")
        if self._idle.empty() and self.waiting >= self.settings.queue:
            raise QueueFull(self.retry_after())
        self.waiting += 1
        try:
            slot = await asyncio.wait_for(self._take(), self.settings.start_seconds)
        except asyncio.TimeoutError:
            raise RenderFailed("no LibreOffice was ready within %g seconds" % self.settings.start_seconds) from None
        finally:
            self.waiting -= 1
        generation = slot.generation
        self.busy += 1
        started = time.monotonic()
        try:
            data = await slot.renderer.render(package, PDF_EXPORT, self.settings.render_seconds)
        except RenderFailed:
            slot.ready = False
            raise
        finally:
            self.busy -= 1
            if slot.ready and slot.generation == generation:
                self._idle.put_nowait((slot, generation))
        self.durations.append(time.monotonic() - started)
        return data

    def state(self):
        """For the health check."""
        return {
            "available": self.available,
            "problem": self.problem,
            "renderers": len(self.slots),
            "ready": sum(1 for slot in self.slots if slot.ready),
            "busy": self.busy,
            "waiting": self.waiting,
            "queue": self.settings.queue,
        }

    async def close(self):
        """Ends every LibreOffice (they are asked to close first)."""
        self._closing = True
        for task in self._tasks:
            task.cancel()
        await asyncio.gather(*self._tasks, return_exceptions=True)
        await asyncio.gather(*(slot.renderer.stop() for slot in self.slots), return_exceptions=True)
