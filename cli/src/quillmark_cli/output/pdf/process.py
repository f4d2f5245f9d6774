"""One LibreOffice process rendering a list of packages into PDFs, started
and ended through its keeper (`keeper`), so that it never outlives the
command. The command reads, without blocking, the keeper's word on how
LibreOffice ended and the end of LibreOffice's error output (the rest is
dropped as it comes: that output has no bound of its own)."""

import os
import signal
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path
from typing import Optional

from quillmark_cli.output.pdf.keeper import STOP
from quillmark_cli.running.signals import deferred

KEEPER = Path(__file__).with_name("keeper.py")
ERROR_TAIL = 16 * 1024  # bytes of LibreOffice's error output kept: its last lines say what went wrong
STOP_SECONDS = 10.0  # how long the keeper may take to end LibreOffice before both are killed outright
OPTIONS = ("--headless", "--norestore", "--nolockcheck", "--nodefault", "--nologo")


@dataclass
class Place:
    """A LibreOffice process's own directories: its profile, the packages it
    renders, the PDFs it writes, and its temporary files (its TMPDIR, so
    that what it leaves behind when it is killed goes with the rest)."""
    root: Path

    @property
    def profile(self):
        return self.root / "profile"

    @property
    def sources(self):
        return self.root / "in"

    @property
    def out(self):
        return self.root / "out"

    @property
    def temporary(self):
        return self.root / "tmp"

    def make(self):
        for directory in (self.root, self.sources, self.out, self.temporary):
            directory.mkdir()


@dataclass
class Ending:
    """How a LibreOffice process ended: "exit" or "signal" with its number,
    "error" with the error number of starting it, "hung" when it was ended
    for making no progress, "keeper" with the keeper's exit status when the
    keeper itself ended without a word."""
    kind: str
    number: int = 0


class Process:
    def __init__(self, program, place, documents, environment):
        self.program, self.place, self.documents, self.environment = program, place, documents, environment
        self.keeper = None
        self.ending: Optional[Ending] = None
        self.errors = b""  # the end of LibreOffice's error output
        self.group = None  # LibreOffice's process group, once it started
        self._said = b""
        self._open = []

    def start(self):
        command = [self.program, *OPTIONS, "-env:UserInstallation=" + self.place.profile.as_uri(),
                   "--convert-to", "pdf:writer_pdf_Export", "--outdir", str(self.place.out)]
        command += [str(document) for document in self.documents]
        with deferred():  # the keeper is never left unrecorded
            self.keeper = subprocess.Popen(
                [sys.executable, "-I", "-S", str(KEEPER), str(self.place.root.parent), "--", *command],
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.environment,
                start_new_session=True)
        self._open = [self.keeper.stdout, self.keeper.stderr]
        for stream in self._open:
            os.set_blocking(stream.fileno(), False)

    def streams(self):
        """The streams still open, to wait on."""
        return list(self._open)

    @property
    def finished(self):
        """LibreOffice and its keeper are done, and all they said is read."""
        return self.keeper is not None and not self._open

    def read(self, stream):
        """Reads what `stream` (one of `streams()`) has."""
        try:
            data = os.read(stream.fileno(), 65536)
        except BlockingIOError:
            return
        except OSError:
            data = b""
        if not data:
            self._open.remove(stream)
            stream.close()
            if not self._open:
                self._finish()
            return
        if stream is self.keeper.stderr:
            self.errors = (self.errors + data)[-ERROR_TAIL:]
            return
        self._said += data
        *lines, self._said = self._said.split(b"\n")
        for line in lines:
            kind, _, number = line.decode("ascii", "replace").partition(" ")
            if kind == "started":
                self.group = int(number)
            elif kind in ("exit", "signal", "error") and self.ending is None:
                self.ending = Ending(kind, int(number))

    def _finish(self):
        self._close_input()
        try:
            status = self.keeper.wait(STOP_SECONDS)
        except subprocess.TimeoutExpired:
            self._kill()
            status = self.keeper.wait()
        if self.ending is None:
            self.ending = Ending("keeper", status)

    def ask_to_stop(self):
        """Tells the keeper to end LibreOffice, without waiting for it (so
        that a batch's processes end together)."""
        if self.keeper is not None and self.keeper.returncode is None and not self.keeper.stdin.closed:
            try:
                self.keeper.stdin.write(STOP)
                self.keeper.stdin.flush()
            except OSError:
                pass
            self._close_input()

    def stop(self, ending=None):
        """Ends LibreOffice, at once, and waits until it has; `ending` says
        why, where it was not already over."""
        if self.keeper is None:
            return
        if self.ending is None and ending is not None:
            self.ending = ending
        self.ask_to_stop()
        if self.keeper.returncode is None:
            try:
                self.keeper.wait(STOP_SECONDS)
            except subprocess.TimeoutExpired:
                self._kill()
                self.keeper.wait()
        self._close_input()
        for stream in self._open:
            stream.close()
        self._open = []

    def _close_input(self):
        try:
            self.keeper.stdin.close()
        except OSError:
            pass

    def _kill(self):
        """The keeper did not answer: it and LibreOffice are killed."""
        for group in (self.keeper.pid, self.group):
            if group is not None:
                try:
                    os.killpg(group, signal.SIGKILL)
                except (ProcessLookupError, PermissionError):
                    pass
