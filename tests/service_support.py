"""Shared by the tests of `quillmark serve`: skipping where the web stack
cannot be, clients of the application, and reading packages back."""

import io
import os
import re
import shutil
import socket
import sys
import zipfile
from pathlib import Path

import pytest

WEB_STACK_REASON = "quillmark serve needs Python 3.9 or later (its web libraries do)"
EXTRA_REASON = "quillmark serve's extra is not installed (pip install './cli[serve]')"


def require_web_stack():
    """Skips the calling test module where the server cannot run."""
    if sys.version_info < (3, 9):
        pytest.skip(WEB_STACK_REASON, allow_module_level=True)
    for module in ("starlette", "uvicorn", "pypdfium2", "PIL", "httpx"):
        pytest.importorskip(module, reason=EXTRA_REASON)


def starlette_test_client():
    """Starlette's TestClient class (it asks for httpx2, which needs Python
    3.11; httpx, which it still takes, serves every version)."""
    import warnings

    with warnings.catch_warnings():
        warnings.filterwarnings("ignore", "Using `httpx` with `starlette.testclient`")
        from starlette.testclient import TestClient
    return TestClient


def renders():
    """Whether LibreOffice and its Python bridge are here to render (and
    not under a sanitizer's preloaded runtime, where it does not start)."""
    if shutil.which("soffice") is None or "asan" in os.environ.get("LD_PRELOAD", ""):
        return False
    from quillmark_cli.service.rendering.renderer import find_uno_python

    return find_uno_python(shutil.which("soffice")) is not None


RENDER_REASON = "LibreOffice with its Python bridge (python3-uno) renders the PDFs"


_CONVERSION_TIMES = re.compile(rb"(<dcterms:(?:created|modified)[^>]*>)[^<]*")


def members(data):
    """A package's members, name and content, in order, the time of
    conversion its properties give aside: two packages with the same members
    differ only in their zip timestamps and when they were made."""
    with zipfile.ZipFile(io.BytesIO(data)) as package:
        return [(info.filename, _CONVERSION_TIMES.sub(rb"\1", package.read(info))) for info in package.infolist()]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def descendants(pid):
    """The processes below `pid`, read from /proc."""
    children = {}
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        children.setdefault(int(fields[1]), []).append(int(entry.name))
    found, waiting = [], [pid]
    while waiting:
        for child in children.get(waiting.pop(), []):
            found.append(child)
            waiting.append(child)
    return found


def command_line(pid):
    try:
        return Path("/proc/%d/cmdline" % pid).read_bytes()
    except OSError:
        return b""


def alive(pid):
    """Whether `pid` runs (a zombie, dead but not reaped, does not)."""
    try:
        state = Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()[0]
    except OSError:
        return False
    return state != "Z"


class Server:
    """`quillmark serve` running in a process of its own on loopback."""

    def __init__(self, *arguments, environment=None, ready_renderers=True):
        import subprocess
        import tempfile

        self.port = free_port()
        self.url = "http://127.0.0.1:%d" % self.port
        self.log = tempfile.TemporaryFile()  # read by output(); a pipe nobody reads would stop the server
        self.process = subprocess.Popen(
            [sys.executable, "-m", "quillmark_cli", "serve", "--port", str(self.port), *arguments],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT,
            env=dict(os.environ, **(environment or {})))
        self.ready_renderers = ready_renderers

    def health(self):
        import httpx

        return httpx.get(self.url + "/api/health", timeout=5).json()

    def wait(self, seconds=120):
        """Waits until the server answers (and, where they can start, its
        LibreOffices are ready)."""
        import time

        import httpx

        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            assert self.process.poll() is None, self.output()
            try:
                state = self.health()["libreoffice"]
            except (httpx.HTTPError, ValueError):
                time.sleep(0.1)
                continue
            if not (self.ready_renderers and state["available"]) or state["ready"] == state["renderers"]:
                return self
            time.sleep(0.1)
        raise AssertionError("the server did not become ready")

    def stop(self, seconds=60):
        """SIGTERM; the exit status. Every process below the server must be
        gone by then."""
        import signal
        import time

        below = descendants(self.process.pid)
        self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(seconds)
        deadline = time.monotonic() + 10  # multiprocessing's resource tracker ends a moment after the server
        while [pid for pid in below if alive(pid)] and time.monotonic() < deadline:
            time.sleep(0.05)
        assert [pid for pid in below if alive(pid)] == []
        return status

    def output(self):
        """What the server has logged so far."""
        if self.log.closed:
            return self.logged
        self.log.seek(0)
        return self.log.read().decode("utf-8", "replace")

    def __enter__(self):
        return self.wait()

    def __exit__(self, *exc):
        try:
            if self.process.poll() is None:
                self.stop()
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()
            self.logged = self.output()
            self.log.close()
