"""Shared by the tests of `quillmark serve`: skipping where the web stack
cannot be, clients of the application, and reading packages back."""

import io
import os
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


def members(data):
    """A package's members, name and content, in order: two packages with
    the same members differ only in their zip timestamps."""
    with zipfile.ZipFile(io.BytesIO(data)) as package:
        return [(info.filename, package.read(info)) for info in package.infolist()]


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


def alive(pid):
    """Whether `pid` runs (a zombie, dead but not reaped, does not)."""
    try:
        state = Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()[0]
    except OSError:
        return False
    return state != "Z"
