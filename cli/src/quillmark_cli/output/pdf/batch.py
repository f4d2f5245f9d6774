"""A batch of packages rendered into PDFs by up to N LibreOffice processes
at once, each with a profile of its own.

- The packages are dealt to the processes in turn, so that the PDFs come
  back in about the batch's order and are handed on as they come, in order.
- LibreOffice renders a process's packages one after another in the order
  given, so a PDF that appears means the ones before it are complete. A
  process that makes no progress (no new PDF) for the limit per document,
  with a start-up allowance before its first, has hung and is ended: the
  time a batch may take grows with what it renders, not with its size.
- A process that crashes or hangs after rendering something costs only the
  package it was rendering: a new process on the same profile renders the
  rest. One that ends having rendered nothing gives up its packages; when
  nothing of the batch has been rendered at all, LibreOffice cannot render
  here, and the batch fails as a whole with one line.
- Everything LibreOffice is given and writes, its temporary files and
  profiles included, lives in one temporary directory that is removed at
  the end, interrupted or not (and by the keepers, should the command be
  killed outright).
"""

import errno
import os
import select
import shutil
import tempfile
import time
from pathlib import Path

from quillmark_cli.output.pdf import fonts
from quillmark_cli.output.pdf.faults import RenderError, ending_message, last_word, no_room, pdf_fault
from quillmark_cli.output.pdf.process import Ending, Place, Process
from quillmark_cli.output.pdf.profile import installed_version, make_profile

DOCUMENT_SECONDS = 60  # how long a document may take, by default
START_SECONDS = 60  # the allowance for LibreOffice starting on a new profile, on a busy machine
TICK = 0.2  # seconds between looks at the processes' output directories


class _Slot:
    """One of the batch's LibreOffice processes, and the ones that replace
    it: its place, the packages it has still to render, and its progress on
    the current run."""

    def __init__(self, place):
        self.place = place
        self.queue = []  # the indexes of the packages it has still to render
        self.process = None
        self.run = []  # the indexes the current process was given
        self.seen = 0  # how many of them have a PDF (the last may still be being written)
        self.taken = 0  # how many of them were handed on
        self.progress_at = 0.0

    def name(self, index):
        return "%06d" % index


class Batch:
    """A context manager: on entering, the batch's directory, profiles and
    packages are made and `stand_ins` lists the (font, face) pairs the
    packages' rendering stands in; `results()` then gives each package's PDF
    (bytes) or RenderError in order; leaving ends every process and removes
    the directory."""

    def __init__(self, packages, program, processes=1, pdf_a=False, limit=DOCUMENT_SECONDS):
        self.packages, self.program, self.pdf_a, self.limit = packages, program, pdf_a, limit
        self.count = max(1, min(processes, len(packages)))
        self.root = self.temporary = None
        self.slots = []
        self.stand_ins = []
        self.rendered = 0  # PDFs rendered, in the whole batch

    def __enter__(self):
        self.temporary = tempfile.gettempdir()
        try:
            self.root = tempfile.mkdtemp(prefix="quillmark-pdf-")
        except OSError as error:
            raise RenderError(_cannot_prepare(self.temporary, error)) from None
        try:
            self._prepare()
        except BaseException as error:
            self._remove()
            if isinstance(error, OSError):
                raise RenderError(_cannot_prepare(self.temporary, error)) from None
            raise
        return self

    def __exit__(self, *_):
        self.close()

    def _prepare(self):
        home = os.path.join(self.root, "home")
        os.mkdir(home)
        self.environment = _environment(home)
        installed = fonts.installed_families(dict(self.environment, TMPDIR=self.root))
        substitutions = fonts.substitutions(installed) if installed is not None else {}
        named = fonts.NamedFonts()
        used = set().union(*(named.of(package) for package in self.packages))
        self.stand_ins = sorted((font, substitutions[font].shown) for font in used if font in substitutions)
        families = {font: face.family for font, face in substitutions.items()}
        version = installed_version(self.program)
        for number in range(self.count):
            slot = _Slot(Place(Path(self.root) / ("p%d" % number)))
            slot.place.make()
            make_profile(slot.place.profile, families, self.pdf_a, version)
            slot.queue = list(range(number, len(self.packages), self.count))
            for index in slot.queue:
                (slot.place.sources / (slot.name(index) + ".docx")).write_bytes(self.packages[index])
            self.slots.append(slot)

    def results(self):
        """Each package's PDF (bytes) or RenderError, in order; raises
        RenderError when LibreOffice cannot render here at all."""
        finished, next_index = {}, 0
        for slot in self.slots:
            self._start(slot)
        while next_index < len(self.packages):
            while next_index in finished:
                yield finished.pop(next_index)
                next_index += 1
            if next_index >= len(self.packages):
                break
            self._wait()
            now = time.monotonic()
            for slot in self.slots:
                if slot.process is not None:
                    self._look(slot, finished, now)

    def _start(self, slot):
        slot.run, slot.seen, slot.taken = list(slot.queue), 0, 0
        slot.progress_at = time.monotonic()
        documents = [slot.place.sources / (slot.name(index) + ".docx") for index in slot.run]
        environment = dict(self.environment, TMPDIR=str(slot.place.temporary))
        slot.process = Process(self.program, slot.place, documents, environment)
        try:
            slot.process.start()
        except OSError as error:  # no process could be made: too many, say
            slot.process = None
            raise RenderError("cannot start LibreOffice: %s" % (error.strerror or error)) from None

    def _wait(self):
        streams = [stream for slot in self.slots if slot.process is not None for stream in slot.process.streams()]
        if not streams:
            time.sleep(TICK)
            return
        ready, _, _ = select.select(streams, [], [], TICK)
        for slot in self.slots:
            if slot.process is not None:
                for stream in slot.process.streams():
                    if stream in ready:
                        slot.process.read(stream)

    def _pdf(self, slot, position):
        return slot.place.out / (slot.name(slot.run[position]) + ".pdf")

    def _look(self, slot, finished, now):
        process = slot.process
        ended = process.finished
        self._scan(slot, now)
        if not ended:
            allowance = self.limit + (START_SECONDS if slot.seen == 0 else 0)
            if now - slot.progress_at <= allowance:
                self._take(slot, finished, slot.seen - 1)
                return
            process.stop(Ending("hung"))
            self._scan(slot, now)
        self._take(slot, finished, slot.seen)
        self._ended(slot, finished)

    def _scan(self, slot, now):
        while slot.seen < len(slot.run) and self._pdf(slot, slot.seen).exists():
            slot.seen += 1
            slot.progress_at = now

    def _take(self, slot, finished, complete):
        """Hands on the PDFs of the run's first `complete` packages."""
        while slot.taken < complete:
            index = slot.run[slot.taken]
            path = self._pdf(slot, slot.taken)
            try:
                data = path.read_bytes()
            except OSError as error:
                finished[index] = RenderError("cannot read LibreOffice's PDF: %s" % (error.strerror or error))
            else:
                fault = pdf_fault(data)
                finished[index] = RenderError(fault) if fault else data
                self.rendered += fault is None
            for done in (path, slot.place.sources / (slot.name(index) + ".docx")):
                try:
                    done.unlink()
                except OSError:
                    pass
            slot.taken += 1

    def _ended(self, slot, finished):
        process, slot.process = slot.process, None
        ending = process.ending
        left = slot.run[slot.taken:]
        slot.queue = []
        if ending.kind == "exit" and ending.number == 0:
            detail = last_word(process.errors)
            for index in left:
                finished[index] = RenderError("LibreOffice did not render it" + detail)
            return
        message = ending_message(ending, process.errors, self.program, self.temporary, self.limit)
        anything = self.rendered or any(other.seen for other in self.slots if other is not slot)
        if ending.kind == "error" or (not anything and slot.taken == 0):
            raise RenderError(message)  # LibreOffice cannot render here
        if slot.taken == 0:  # this process rendered nothing: its packages are given up
            for index in left:
                finished[index] = RenderError(message)
            return
        last = slot.run[slot.taken - 1]
        if isinstance(finished.get(last), RenderError):
            finished[last] = RenderError(message)  # cut short when LibreOffice stopped
        elif left:
            finished[left.pop(0)] = RenderError(message)  # the one it was rendering
        if left:
            slot.queue = left
            self._start(slot)

    def close(self):
        """Ends every process and removes the batch's directory."""
        running = [slot.process for slot in self.slots if slot.process is not None]
        for process in running:
            process.ask_to_stop()
        for process in running:
            process.stop()
        for slot in self.slots:
            slot.process = None
        self._remove()

    def _remove(self):
        if self.root is not None:
            shutil.rmtree(self.root, ignore_errors=True)
            self.root = None


def _environment(home):
    """LibreOffice's environment: a home of its own, so that nothing of the
    user's is read or written, but the user's own fonts still found."""
    environment = dict(os.environ)
    environment.setdefault("XDG_DATA_HOME", os.path.join(os.path.expanduser("~"), ".local", "share"))
    environment["HOME"] = home
    return environment


def _cannot_prepare(directory, error):
    if error.errno == errno.ENOSPC:
        return no_room(directory)
    return "cannot prepare the rendering in %s: %s" % (directory, error.strerror or error)
