"""One LibreOffice kept running for the server: the bridge script, run by
LibreOffice's Python, starts it with a private profile and a private
directory, and renders one package at a time; a render that passes its time
limit, or a LibreOffice that dies, ends both (the pool starts another)."""

import asyncio
import json
import os
import secrets
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

from quillmark_cli.service.rendering.profile import prepare_profile

BRIDGE = Path(__file__).with_name("uno_bridge.py")
# The export the command's PDFs get: LibreOffice's Writer PDF filter.
PDF_EXPORT = {"filter": "writer_pdf_Export"}
INSTALL_HINT = ("the page preview and PDFs need LibreOffice and its Python bridge: install them, for example "
                "with 'apt-get install libreoffice-writer-nogui python3-uno' on Debian or Ubuntu")
_LENGTH = struct.Struct(">I")
_STOP_SECONDS = 10


class RenderFailed(Exception):
    """LibreOffice did not start, died, or passed the time limit: the render
    may succeed when tried again (503)."""


class RenderError(Exception):
    """LibreOffice, running, could not render the package (500)."""


def find_uno_python(program, given=None):
    """A Python that imports LibreOffice's uno module: `given`, or the one
    in the office's program folder, this interpreter, or the system's
    python3; None when none does."""
    candidates = [given] if given else [
        str(Path(os.path.realpath(program)).parent / "python"), sys.executable, "/usr/bin/python3",
        shutil.which("python3")]
    for candidate in candidates:
        if not candidate or not os.access(candidate, os.X_OK):
            continue
        try:
            found = subprocess.run([candidate, "-c", "import uno"], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        except (OSError, subprocess.TimeoutExpired):
            continue
        if found.returncode == 0:
            return candidate
    return None


class Renderer:
    """One LibreOffice and its bridge; start() again after it has ended."""

    def __init__(self, program, uno_python, start_seconds):
        self.program, self.uno_python, self.start_seconds = program, uno_python, start_seconds
        self.process = None
        self.office_pid = None
        self.work = None
        self.pipe = None  # the name LibreOffice listens on

    @property
    def pids(self):
        """The process groups to end: the office's and the bridge's."""
        return [pid for pid in (self.office_pid, self.process and self.process.pid) if pid]

    async def start(self):
        self.work = Path(tempfile.mkdtemp(prefix="quillmark-serve-"))
        self.pipe = pipe = "quillmark-%s" % secrets.token_hex(12)
        # LibreOffice's temporary files go into the private directory too,
        # and nothing of the user's home is read or written.
        environment = dict(os.environ, TMPDIR=str(self.work), HOME=str(self.work))
        profile = prepare_profile(self.work / "profile", self.program, environment)
        self.process = await asyncio.create_subprocess_exec(
            self.uno_python, str(BRIDGE), "--program", self.program, "--profile", profile, "--pipe", pipe,
            "--work", str(self.work), "--start-seconds", str(self.start_seconds),
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=environment, start_new_session=True)
        try:
            header = await asyncio.wait_for(self._read_header(), self.start_seconds + 5)
        except (asyncio.TimeoutError, asyncio.IncompleteReadError, ValueError) as error:
            await self.kill()
            raise RenderFailed("LibreOffice did not start: %s" % (type(error).__name__,)) from None
        if not header.get("ok"):
            await self.kill()
            raise RenderFailed("LibreOffice did not start: %s" % header.get("error"))
        self.office_pid = header["pid"]

    async def _read_frame(self):
        (length,) = _LENGTH.unpack(await self.process.stdout.readexactly(_LENGTH.size))
        return await self.process.stdout.readexactly(length)

    async def _read_header(self):
        return json.loads((await self._read_frame()).decode("utf-8"))

    async def render(self, package, export, seconds):
        """The PDF of `package`, within `seconds`."""
        request = json.dumps(export).encode("utf-8")
        try:
            self.process.stdin.write(_LENGTH.pack(len(request)) + request + _LENGTH.pack(len(package)) + package)
            header, data = await asyncio.wait_for(self._answer(), seconds)
        except asyncio.TimeoutError:
            await self.kill()
            raise RenderFailed("LibreOffice did not finish within %g seconds; it was restarted" % seconds) from None
        except (asyncio.IncompleteReadError, ConnectionError, ValueError):
            await self.kill()
            raise RenderFailed("LibreOffice stopped in the middle of the render; it is being restarted") from None
        if header.get("ok"):
            return data
        if header.get("died"):
            await self.kill()
            raise RenderFailed("LibreOffice stopped in the middle of the render; it is being restarted")
        raise RenderError("LibreOffice did not render the package: %s" % header.get("error"))

    async def _answer(self):
        await self.process.stdin.drain()
        return await self._read_header(), await self._read_frame()

    async def ended(self):
        """Waits until the bridge has ended."""
        await self.process.wait()

    def running(self):
        return self.process is not None and self.process.returncode is None

    async def stop(self):
        """Asks LibreOffice to close (the bridge ends it when its input
        ends), and kills what is left after a few seconds."""
        if self.running():
            self.process.stdin.close()
            try:
                await asyncio.wait_for(self.process.wait(), _STOP_SECONDS)
            except asyncio.TimeoutError:
                pass
        await self.kill()

    async def kill(self):
        """Ends LibreOffice and the bridge, at once, and removes the
        private directory."""
        if self.process is not None:
            if self.office_pid:
                _kill_group(self.office_pid)
                try:  # the bridge reaps the office and removes its sockets
                    await asyncio.wait_for(self.process.wait(), 3)
                except asyncio.TimeoutError:
                    pass
            _kill_group(self.process.pid)
            await self.process.wait()
        if self.work is not None:
            shutil.rmtree(str(self.work), ignore_errors=True)
        self.office_pid = None
        self.work = None


def _kill_group(pid):
    try:
        os.killpg(pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
